// Real-world input: every vCard and vCalendar file of the shared corpus parses to its end
// with at most one log line per line (skipped when ../shared is absent), a few files
// give the fields expected of them, and the fuzz seeds and the inputs the fuzzer once
// crashed on stay harmless.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "ParserTestSupport.h"

namespace {

namespace fs = std::filesystem;

fs::path CorpusDir() { return ::CorpusDir(ZARVO_SHARED_DIR); }

#define SKIP_WITHOUT_CORPUS()                                                          \
  if (!fs::is_directory(CorpusDir())) GTEST_SKIP() << "no corpus at " << CorpusDir()

TParsed ParseFile(const fs::path& path) { return Parse(SplitText(ReadFile(path))); }

void ExpectHarmless(const fs::path& path) {
  SCOPED_TRACE(path.string());
  const TLines lines = SplitText(ReadFile(path));
  const TParsed parsed = Parse(lines);
  const std::vector<std::string> faults = CheckInvariants(lines, parsed);
  EXPECT_TRUE(faults.empty()) << faults.size() << " faults, the first: " << faults.front();
}

TEST(ParserCorpus, EveryFileParsesWithOneLogLineAtMostPerLine) {
  SKIP_WITHOUT_CORPUS();
  std::size_t files = 0;
  for (const fs::path& path : FilesBelow(CorpusDir())) {
    if (path.filename() == "SOURCES.txt") continue;
    ExpectHarmless(path);
    ++files;
  }
  EXPECT_GE(files, 50u);
}

TEST(ParserCorpus, DesktopEventWithZoneRecurrenceAndLongDescription) {
  SKIP_WITHOUT_CORPUS();
  const TParsed p = ParseFile(CorpusDir() / "gammu-vcal/outlook.vcs");
  ASSERT_EQ(p.Records.size(), 1u);
  const TvObject& e = p.Records[0];
  EXPECT_EQ(e.Kind, vkEvent);
  EXPECT_EQ(e.UID, -1);  // a text identifier is no number
  EXPECT_EQ(e.StartDate, Day(2010, 2, 26));
  EXPECT_EQ(e.StartTime, Clock(8, 0, 0));
  EXPECT_EQ(e.EndTime, Clock(8, 30, 0));
  EXPECT_EQ(e.RepeatKind, rkDaily);
  EXPECT_EQ(e.RepeatUntil, Day(2010, 2, 28));
  EXPECT_EQ(e.Note.rfind("The Northeast Council of Aquarium Societies=e2=80=99 35th", 0), 0u);
  const auto f = p.Findings();
  EXPECT_EQ(f[1], "Line 0002: vCalendar property \"PRODID\" not supported");
  EXPECT_EQ(f[5], "Line 0006: \"4b1d7e0a273af\" is not a valid integer value");
}

TEST(ParserCorpus, PhoneCalendarWithSeveralVCalendars) {
  SKIP_WITHOUT_CORPUS();
  const TParsed p = ParseFile(CorpusDir() / "gammu-vcal/k770.vcs");
  ASSERT_EQ(p.Records.size(), 2u);
  for (const TvObject& e : p.Records) {
    EXPECT_EQ(e.Kind, vkEvent);
    EXPECT_EQ(e.RepeatKind, rkYearly);
    EXPECT_EQ(e.RepeatUntil, RepeatForever);
    EXPECT_EQ(e.AlarmDate, 0.0);  // AALARM without the phone's parameters
  }
  EXPECT_EQ(p.Records[0].StartDate, Day(1981, 12, 27));
  EXPECT_EQ(p.Records[0].StartTime, Clock(23, 0, 0));
  EXPECT_EQ(p.Records[0].Note, "1981");
  EXPECT_EQ(p.Records[1].EndDate, Day(1985, 5, 20));
  EXPECT_EQ(p.Records[1].EndTime, Clock(22, 59, 0));
  EXPECT_EQ(p.Records[1].Note, "1985");
}

TEST(ParserCorpus, DesktopContactKeepsWhatFitsAndLogsTheRest) {
  SKIP_WITHOUT_CORPUS();
  const TParsed p = ParseFile(CorpusDir() / "ez-vcard/John_Doe_MS_OUTLOOK.vcf");
  ASSERT_EQ(p.Records.size(), 1u);
  const TvObject& c = p.Records[0];
  EXPECT_EQ(c.Kind, vkContact);
  EXPECT_EQ(c.Name, "Doe;John;Richter,James;Mr.;Sr.");
  EXPECT_EQ(c.TelWork, "");  // TEL;WORK;VOICE is no single type
  EXPECT_EQ(c.EMail, "");    // nor is EMAIL;PREF;INTERNET
  EXPECT_EQ(c.Birthday, 0.0);  // 8 digits, no time
  // The second address (HOME) overwrites the first.
  EXPECT_EQ(c.Street, "Silicon Alley 5,");
  EXPECT_EQ(c.City, "New York");
  EXPECT_EQ(c.Region, "New York");
  EXPECT_EQ(c.PostalCode, "12345");
  EXPECT_EQ(c.Country, "United States of America");
  EXPECT_EQ(c.Note.rfind("THIS SOFTWARE IS PROVIDED", 0), 0u);
}

TEST(ParserFuzzInputs, SeedsAndRegressionsAreHarmless) {
  const fs::path fuzz(ZARVO_FUZZ_DIR);
  const auto seeds = FilesBelow(fuzz / "corpus/parser");
  EXPECT_FALSE(seeds.empty());
  for (const fs::path& path : seeds) ExpectHarmless(path);
  for (const fs::path& path : FilesBelow(fuzz / "regressions/parser")) ExpectHarmless(path);
}

}  // namespace
