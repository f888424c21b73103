// The phone's content and backup files: seeding, dumping, ring tone records, the
// sample phone, and the s40sim program itself.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "PhoneSimulator.h"
#include "SimTestLine.h"
#include "SimVObject.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

class TTempFolder {
 public:
  TTempFolder() : path_(std::filesystem::temp_directory_path() / ("s40sim-backup-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(path_);
  }
  ~TTempFolder() { std::filesystem::remove_all(path_); }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace

TEST(SimBackup, ASeededPhoneDumpsTheSameFile) {
  std::string file = TSimContent::Sample().BackupText();
  TSimContent seeded = TSimContent::FromBackupText(file);
  EXPECT_EQ(seeded.BackupText(), file);
  TSimContent sample = TSimContent::Sample();
  for (int type : {stContact, stGroup, stEvent, stRingTone}) {
    ASSERT_EQ(seeded.List(type).size(), sample.List(type).size());
    for (std::size_t k = 0; k < sample.List(type).size(); ++k) {
      EXPECT_EQ(seeded.List(type)[k].Id, sample.List(type)[k].Id);
      EXPECT_EQ(seeded.List(type)[k].Data, sample.List(type)[k].Data);
    }
  }
  // Other line ends load alike; a file of another maker keeps its notice.
  EXPECT_EQ(TSimContent::FromBackupText(Replace(file, "\r\n", "\n")).BackupText(), file);
  std::string other = Replace(file, "// S40 phone backup", "// Other notice");
  EXPECT_EQ(TSimContent::FromBackupText(other).BackupText(), other);
}

TEST(SimBackup, EntriesWithoutAUsableIdentifierGetTheirOwn) {
  const std::string file =
      "// ZARVO\r\n// x\r\n// y\r\n\r\n"
      "BEGIN:VCARD\r\nVERSION:2.1\r\nUID:-1\r\nX-SIEMENS-GROUP-NAME:G\r\nX-SIEMENS-GROUP-ID:7\r\nEND:VCARD\r\n"
      "BEGIN:VCARD\r\nVERSION:2.1\r\nN:A\r\nUID:1000\r\nEND:VCARD\r\n"
      "BEGIN:VCARD\r\nVERSION:2.1\r\nN:B\r\nUID:1000\r\nEND:VCARD\r\n"  // taken
      "BEGIN:VCARD\r\nVERSION:2.1\r\nN:C\r\nUID:x\r\nEND:VCARD\r\n"
      "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\nUID:0\r\nEND:VEVENT\r\n"
      "BEGIN:VEVENT\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"
      "BEGIN:VCARD\r\nVERSION:2.1\r\nX-ZARVO-RINGTONE-UID:419954689\r\nX-ZARVO-RINGTONE-NAME:Ab\r\n"
      "X-ZARVO-RINGTONE-DATA:2,1,=\r\n2,3,4\r\nEND:VCARD\r\n";  // a factory identifier; folded data
  TSimContent content = TSimContent::FromBackupText(file);
  ASSERT_EQ(content.List(stGroup).size(), 1u);
  EXPECT_EQ(content.List(stGroup)[0].Id, SimGroupBase + 1);
  EXPECT_NE(content.List(stGroup)[0].Data.find("UID:419889153\r\n"), std::string::npos);
  EXPECT_NE(content.List(stGroup)[0].Data.find("X-SIEMENS-GROUP-ID:1\r\n"), std::string::npos);
  ASSERT_EQ(content.List(stContact).size(), 3u);
  EXPECT_EQ(content.List(stContact)[0].Id, 1000);
  std::set<std::int32_t> ids;
  for (const auto& entry : content.List(stContact)) {
    ids.insert(entry.Id);
    EXPECT_TRUE(entry.Id == 1000 || SimIdentifierFits(entry.Id));
    EXPECT_NE(entry.Data.find("UID:" + std::to_string(entry.Id) + "\r\n"), std::string::npos);
  }
  EXPECT_EQ(ids.size(), 3u);
  ASSERT_EQ(content.List(stEvent).size(), 2u);
  EXPECT_EQ(content.List(stEvent)[1].Data, "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
  ASSERT_EQ(content.List(stRingTone).size(), 1u);
  EXPECT_FALSE(content.IsFactoryRingTone(content.List(stRingTone)[0].Id));
  std::string record = content.List(stRingTone)[0].Data;
  EXPECT_EQ(record.size(), 56u);
  EXPECT_EQ(record.substr(48), std::string("\1\0\2\0\3\0\4\0", 8));
}

TEST(SimBackup, BrokenFilesAreRefusedWithTheLine) {
  struct TCase {
    std::string Text, Message;
  } cases[] = {
      {"// a\r\n\r\nBEGIN:VCARD\r\nN:A\r\n", "line 3"},
      {"BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:1\r\n", "line 2"},
      {"BEGIN:VCARD\r\nX-ZARVO-RINGTONE-UID:5\r\nX-ZARVO-RINGTONE-DATA:2,1,2\r\nEND:VCARD\r\n", "line 1"},
  };
  for (const auto& c : cases) {
    try {
      TSimContent::FromBackupText(c.Text);
      ADD_FAILURE() << c.Text;
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find(c.Message), std::string::npos) << error.what();
    }
  }
  EXPECT_THROW(TSimContent::FromBackupFile("/nonexistent/x.zrv"), std::runtime_error);
}

TEST(SimBackup, RingToneRecordsAndCards) {
  struct TCase {
    std::string Name, Data, RecordStart;
    std::size_t Size;
  } cases[] = {
      {"Ab", "0,", std::string("\0\0\0\0A\0b\0", 8), 48},
      {"Ab", "2,1,2,3,4", std::string("\0\0\0\0A\0b\0", 8), 56},
      {"123456789012345678901XY", "1,440,4", std::string("\0\0\0\0" "1\0" "2\0", 8), 52},  // cut to 21
  };
  for (const auto& c : cases) {
    TSimRingTone tone = SimParseRingToneData(c.Name, c.Data);
    std::string record = SimRingToneRecord(tone);
    EXPECT_EQ(record.size(), c.Size);
    EXPECT_EQ(record.substr(0, 8), c.RecordStart);
    EXPECT_EQ(record[46], 1);
    auto decoded = SimDecodeRingToneRecord(record);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->Name, c.Name.substr(0, 21));
    EXPECT_EQ(SimRingToneData(*decoded), c.Data);
  }
  EXPECT_EQ(SimRingToneRecord(SimParseRingToneData("x", "1,440,4")).substr(48), std::string("\xB8\x01\x04\x00", 4));
  for (const char* bad : {"", "2,1,2,3", "1,70000,1", "x,", "256," })
    EXPECT_THROW(SimParseRingToneData("x", bad), std::invalid_argument) << bad;
  EXPECT_FALSE(SimDecodeRingToneRecord(std::string(47, '\0')));

  // The card folds its data line at 75 characters, the property name included.
  TSimRingTone many{"Lang", {}};
  for (int k = 0; k < 40; ++k) many.Pairs.emplace_back(1000 + k, 200);
  std::vector<std::string> card = SimRingToneCard(7, many);
  EXPECT_EQ(card[2], "X-ZARVO-RINGTONE-UID:7");
  EXPECT_EQ(card[4].size(), 76u);
  EXPECT_EQ(card[4].substr(0, 22), "X-ZARVO-RINGTONE-DATA:");
  EXPECT_EQ(card[4].back(), '=');
  EXPECT_EQ(card.back(), "END:VCARD");
}

TEST(SimBackup, TheSamplePhoneHoldsWhatAReadMustCope) {
  TSimContent sample = TSimContent::Sample();
  std::string file = sample.BackupText();
  EXPECT_GE(sample.List(stGroup).size(), 3u);
  EXPECT_GE(sample.List(stContact).size(), 10u);
  for (const char* needle : {"TEL;HOME:", "TEL;WORK:", "TEL;CELL:", "TEL;FAX:", "TEL;MODEM:", "EMAIL;INTERNET:",
                             "BDAY:", "NOTE;", "\\\r\n", "=0D=0A", "X-SIEMENS-GROUP-ID:-1", "\xE4", "\xF6",
                             "\xDF", "\xE9", "RRULE:D1 #0", "RRULE:W1 #0", "RRULE:W2 #0", "RRULE:YM1 03 #0",
                             "RRULE:D1 20260430T235959", "RRULE:W1 20260626T235959", "RRULE:W2 20261217T235959", "RRULE:YM1 12 20301231T235959",
                             "DESCRIPTION;", "X-ZARVO-RINGTONE-NAME:Morgenstimmung, Grieg\r\n",
                             "X-ZARVO-RINGTONE-DATA:0,\r\n"})
    EXPECT_NE(file.find(needle), std::string::npos) << needle;
  EXPECT_EQ(file.find("\xC3"), std::string::npos) << "UTF-8 left in the sample";
  std::size_t longest = 0;
  for (const auto& entry : sample.List(stRingTone)) longest = std::max(longest, entry.Data.size());
  EXPECT_GT(longest, 48u + 4u * 100u) << "a ring tone with many pairs";
  // Folded values: every line that goes on in the next has 75 characters and the "=".
  for (const auto& line : SimSplitLines(file)) {
    if (!line.empty() && line.back() == '=' && line.find("ENCODING=QUOTED-PRINTABLE:") == std::string::npos) {
      EXPECT_EQ(line.size(), 76u) << line;
    }
  }
}

TEST(SimBackup, TheProgramServesDumpsAndStopsOnSignals) {
  TTempFolder folder;
  std::string seed = folder / "seed.zrv", dump = folder / "dump.zrv", path = folder / "line", log = folder / "log";
  TSimContent sample = TSimContent::Sample();
  sample.WriteBackupFile(seed);

  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::freopen("/dev/null", "w", stdout);
    ::execl(S40SIM_PATH, "s40sim", "--from", seed.c_str(), "--dump", dump.c_str(), "--print-path",
            path.c_str(), "--log", log.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  for (int k = 0; k < 100 && !std::filesystem::exists(path); ++k)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::string slave = ReadFile(path);
  ASSERT_FALSE(slave.empty());
  slave.pop_back();  // the line end
  {
    TTestLine line(slave);
    line.Command("AT+C#SMDE=1");
    const TSimEntry& contact = sample.List(stContact)[2];
    EXPECT_EQ(DropFirstLine(CleanAnswer(line.Command("AT+C#SGET=0," + std::to_string(contact.Id)))), contact.Data);
  }
  ::kill(child, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadFile(dump), ReadFile(seed));
  EXPECT_NE(ReadFile(log).find("in  13 AT+C#SMDE=1\\r\\n"), std::string::npos);

  // Options it does not know end it at once with a word on what to do.
  std::string command = std::string(S40SIM_PATH) + " --bogus 2>/dev/null";
  EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 2);
  command = std::string(S40SIM_PATH) + " --help >/dev/null";
  EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 0);
}
