// The export read back by libical (the calendar, with its restriction checker) and the
// program's command line; the contacts are read back by python3-vobject in
// check_vcards.py over the same cases.
#include <gtest/gtest.h>
#include <libical/ical.h>

#include <QFile>
#include <QProcess>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <memory>
#include <set>

#include "BackupFile.h"
#include "ExportBackup.h"
#include "ExportCases.h"

namespace {

struct TIcalFree {
  void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};

int LibicalErrors(icalcomponent* c) {
  int n = icalcomponent_count_properties(c, ICAL_XLICERROR_PROPERTY);
  for (icalcomponent* sub = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT); sub;
       sub = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT))
    n += LibicalErrors(sub);
  return n;
}

// What every file we write keeps to: UTF-8 without BOM in every physical line (so no
// fold cuts a character), CR LF after every line, at most 75 octets before it.
void ExpectWellFormed(const std::string& text) {
  if (text.empty()) return;
  EXPECT_NE(text.substr(0, 3), "\xEF\xBB\xBF");
  ASSERT_EQ(text.substr(text.size() - 2), "\r\n");
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    const std::string line = text.substr(start, end - start);
    EXPECT_LE(line.size(), 75u) << line;
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
    QStringDecoder utf8(QStringDecoder::Utf8);
    (void)QString(utf8(QByteArray::fromStdString(line)));
    EXPECT_FALSE(utf8.hasError()) << line;
    start = end + 2;
  }
}

std::set<std::string> UidLines(const std::string& text) {
  std::set<std::string> uids;
  std::size_t at = 0;
  while ((at = text.find("\r\nUID:", at)) != std::string::npos) {
    at += 2;
    uids.insert(text.substr(at, text.find("\r\n", at) - at));
  }
  return uids;
}

icalrecurrencetype_frequency Frequency(int repeatKind) {
  switch (repeatKind) {
    case rkDaily: return ICAL_DAILY_RECURRENCE;
    case rkWeekly:
    case rkEveryTwoWeeks: return ICAL_WEEKLY_RECURRENCE;
    case rkYearly: return ICAL_YEARLY_RECURRENCE;
    default: return ICAL_NO_RECURRENCE;
  }
}

void ExpectCalendar(const TExportCase& c, const std::string& text) {
  const std::vector<TExpectedEvent> expected = ExpectedEvents(c.Lists);
  if (expected.empty()) {
    // An empty VCALENDAR passes libical's checker but not RFC 5545: none is written.
    EXPECT_EQ(text, "");
    return;
  }
  std::unique_ptr<icalcomponent, TIcalFree> cal(icalparser_parse_string(text.c_str()));
  ASSERT_TRUE(cal);
  EXPECT_EQ(icalrestriction_check(cal.get()), 1);
  EXPECT_EQ(LibicalErrors(cal.get()), 0) << icalcomponent_as_ical_string(cal.get());
  std::size_t i = 0;
  for (icalcomponent* ev = icalcomponent_get_first_component(cal.get(), ICAL_VEVENT_COMPONENT); ev;
       ev = icalcomponent_get_next_component(cal.get(), ICAL_VEVENT_COMPONENT), ++i) {
    ASSERT_LT(i, expected.size());
    const TExpectedEvent& x = expected[i];
    SCOPED_TRACE("event " + std::to_string(i) + " starting " + x.Start);
    const icaltimetype start = icalcomponent_get_dtstart(ev);
    EXPECT_FALSE(start.is_date);
    EXPECT_TRUE(start.zone == nullptr && !icaltime_is_utc(start)) << "floating";
    EXPECT_EQ(icaltime_as_ical_string(start), x.Start);
    icalproperty* end = icalcomponent_get_first_property(ev, ICAL_DTEND_PROPERTY);
    EXPECT_EQ(end ? std::string(icaltime_as_ical_string(icalproperty_get_dtend(end))) : "", x.End);
    // libical drops tabs at either end of a value; the rest must come back as it was.
    const auto trimTabs = [](std::string t) {
      t.erase(0, t.find_first_not_of('\t'));
      t.erase(t.find_last_not_of('\t') + 1);
      return t;
    };
    const char* description = icalcomponent_get_description(ev);
    EXPECT_EQ(description ? description : "", trimTabs(x.Description));
    const char* summary = icalcomponent_get_summary(ev);
    if (i < c.Summaries.size()) {
      EXPECT_EQ(summary ? summary : "", c.Summaries[i]);
    }
    if (!summary) {
      EXPECT_EQ(x.Description.find_first_not_of(" \t\n"), std::string::npos);
    }

    icalproperty* rule = icalcomponent_get_first_property(ev, ICAL_RRULE_PROPERTY);
    EXPECT_EQ(rule ? icalproperty_get_rrule(rule).freq : ICAL_NO_RECURRENCE, Frequency(x.RepeatKind));
    if (rule) {
      const icalrecurrencetype r = icalproperty_get_rrule(rule);
      EXPECT_EQ(r.interval, x.RepeatKind == rkEveryTwoWeeks ? 2 : 1);
      if (x.Until.empty()) {
        EXPECT_TRUE(icaltime_is_null_time(r.until));
      } else {
        // libical takes a date-only UNTIL beside a date-time DTSTART; RFC 5545 does not.
        EXPECT_FALSE(r.until.is_date);
        EXPECT_EQ(icaltime_as_ical_string(r.until), x.Until + "T235959");
      }
    }
    icalcomponent* alarm = icalcomponent_get_first_component(ev, ICAL_VALARM_COMPONENT);
    ASSERT_EQ(alarm != nullptr, x.Trigger.has_value());
    if (alarm) {
      EXPECT_EQ(icalproperty_get_action(icalcomponent_get_first_property(alarm, ICAL_ACTION_PROPERTY)),
                ICAL_ACTION_DISPLAY);
      const icaltriggertype trigger =
          icalproperty_get_trigger(icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY));
      // As a whole: libical's own sum of the parts is an int, too small for centuries.
      const icaldurationtype& d = trigger.duration;
      const long seconds = ((static_cast<long>(d.weeks) * 7 + d.days) * 86400 + d.hours * 3600L + d.minutes * 60L +
                            d.seconds) * (d.is_neg ? -1 : 1);
      EXPECT_EQ(seconds, *x.Trigger);
      if (i < c.Triggers.size()) {
        EXPECT_EQ(x.Trigger, c.Triggers[i]);
      }
    }
  }
  EXPECT_EQ(i, expected.size());
}

TEST(Export, EveryCaseReadsBackThroughLibicalAndKeepsTheFormat) {
  for (const TExportCase& c : ExportCases()) {
    SCOPED_TRACE(c.Name);
    QTemporaryDir dir;
    const TExported first = ExportThroughBackup(c.Lists, dir.path());
    ASSERT_EQ(first.Summaries.size(), 2u);
    for (std::size_t i = 0; i < c.Lines.size(); ++i)
      EXPECT_TRUE(first.Summaries[i].ends_with("/" + c.Lines[i])) << first.Summaries[i];
    ExpectWellFormed(first.Contacts);
    ExpectWellFormed(first.Calendar);
    ExpectCalendar(c, first.Calendar);
    EXPECT_EQ(first.Contacts.empty(), c.Lists.Contacts.empty());

    // The same backup gives the same UIDs, one per entry.
    QTemporaryDir again;
    const TExported second = ExportThroughBackup(c.Lists, again.path());
    EXPECT_EQ(second.Contacts, first.Contacts);
    EXPECT_EQ(UidLines(second.Calendar), UidLines(first.Calendar));
    EXPECT_EQ(UidLines(first.Contacts).size(), c.Lists.Contacts.size());
    EXPECT_EQ(UidLines(first.Calendar).size(), ExpectedEvents(c.Lists).size());

    // The export UIDs across an edit on the phone (a number, a note, a time) stay; the last
    // contact's identifier, given to another name after a delete, makes a new UID.
    if (c.Lists.Contacts.empty() || c.Lists.Contacts[0].UID < 0) continue;  // not from a phone
    TEntryLists edited = c.Lists;
    for (TContact& k : edited.Contacts) k.Note += "edited";
    for (TEvent& e : edited.Events) e.StartTime /= 2;
    edited.Contacts.back().Name = "New;Entry";
    const TExported after = ExportThroughBackup(edited, again.path());
    std::set<std::string> both = UidLines(first.Contacts + first.Calendar);
    both.merge(UidLines(after.Contacts + after.Calendar));
    EXPECT_EQ(both.size(), c.Lists.Contacts.size() + ExpectedEvents(c.Lists).size() + 1);
  }
}

// The program itself: options, exit statuses, messages, what it writes or leaves.
TEST(ZarvoExport, CommandLineTable) {
  QTemporaryDir dir;
  const QString d = dir.path();
  const TExportCase every = ExportCases().front();
  TLines parseLines;
  WriteBackupFile(d + "/a.zrv", BuildBackupLines(every.Lists, parseLines));
  TEntryLists changed = every.Lists;
  changed.Contacts[0].Note = "other";
  changed.Contacts.pop_back();
  WriteBackupFile(d + "/b.zrv", BuildBackupLines(changed, parseLines));
  WriteBackupFile(d + "/empty.zrv", BuildBackupLines(TEntryLists{}, parseLines));
  QFile text(d + "/text.txt");
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  text.write("hello\nworld\nthree lines\n");
  text.close();

  struct TRun {
    QStringList Args;
    int Status;
    const char* Out;  // a part of standard output, "" for none expected
    const char* Err;  // a part of standard error, "" for none expected
    QStringList Files;  // existing afterwards in the working folder
  };
  const TRun runs[] = {
      {{"a.zrv"}, 0, "contacts.vcf: 6 contacts (3 fields left out", "", {"contacts.vcf", "calendar.ics"}},
      {{"a.zrv"}, 2, "", "zarvo-export: contacts.vcf: exists (use --force", {}},
      {{"--force", "a.zrv"}, 0, "calendar.ics: 9 events (1 skipped", "", {}},
      {{"a.zrv", "-o", "out/sub"}, 0, "out/sub/contacts.vcf: 6 contacts", "", {"out/sub/calendar.ics"}},
      {{"--output=out2", "empty.zrv"}, 0, "out2/calendar.ics: no events, not written", "", {}},
      {{"--list", "a.zrv"}, 0, "    M\u00fcller;J\u00fcrgen\n", "", {}},
      {{"a.zrv", "--list"}, 0, "  Solo\n  (no name) (group 99, not in the backup)\n  <Error>\n", "", {}},
      {{"--list", "a.zrv"}, 0, "  2024-05-01 09:30 Dentist, Dr. Wei\u00df; room 3 / bring card; reminder 2024-05-01 09:15", "", {}},
      {{"--list", "-o", "x", "a.zrv"}, 2, "", "--list writes nothing: -o and --force do not apply\n\nUsage:", {}},
      {{"--compare", "b.zrv", "--force", "a.zrv"}, 2, "", "Usage:", {}},
      {{"--compare", "a.zrv", "a.zrv"}, 0, "The backups hold the same entries: 3 groups, 6 contacts, 10 events, 1 ring tone.", "", {}},
      {{"a.zrv", "--compare", "b.zrv"}, 1, "contact M\u00fcller;J\u00fcrgen: Note differs\nonly in a.zrv: contact ;Anna\n", "", {}},
      {{"--compare", "a.zrv", "b.zrv"}, 1, "only in a.zrv: contact ;Anna\nThe backups differ: 0 entries only in b.zrv, 1 entry only in a.zrv, 1 differing field.", "", {}},
      {{"missing.zrv"}, 2, "", "zarvo-export: Cannot open file missing.zrv", {}},
      {{"--list", "."}, 2, "", "zarvo-export: Cannot open file .", {}},
      {{"text.txt"}, 2, "", "zarvo-export: text.txt: not a backup file", {}},
      {{"--compare", "text.txt", "a.zrv"}, 2, "", "text.txt: not a backup file", {}},
      {{}, 2, "", "no backup file given", {}},
      {{"a.zrv", "b.zrv"}, 2, "", "more than one backup file", {}},
      {{"--frobnicate", "a.zrv"}, 2, "", "unknown option --frobnicate", {}},
      {{"a.zrv", "-o"}, 2, "", "option -o needs a value", {}},
      {{"--help"}, 0, "Usage: zarvo-export", "", {}},
      {{"--version"}, 0, "zarvo-export 1.", "", {}},
  };
  for (const TRun& run : runs) {
    SCOPED_TRACE(run.Args.join(' ').toStdString());
    QProcess p;
    p.setWorkingDirectory(d);
    p.start(QStringLiteral(ZARVO_EXPORT_PROGRAM), run.Args);
    ASSERT_TRUE(p.waitForFinished(60000));
    const std::string out = p.readAllStandardOutput().toStdString();
    const std::string err = p.readAllStandardError().toStdString();
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), run.Status) << out << err;
    if (*run.Out) {
      EXPECT_NE(out.find(run.Out), std::string::npos) << out;
    }
    if (*run.Err) {
      EXPECT_NE(err.find(run.Err), std::string::npos) << err;
    }
    if (run.Status != 0) {
      EXPECT_EQ(out.find(".vcf:"), std::string::npos) << out;
    }
    if (run.Status == 0 && run.Args != QStringList{"--help"}) {
      EXPECT_EQ(err, "");
    }
    for (const QString& f : run.Files) EXPECT_TRUE(QFile::exists(d + "/" + f)) << f.toStdString();
  }
  EXPECT_FALSE(QFile::exists(d + "/out2/contacts.vcf"));
  EXPECT_FALSE(QFile::exists(d + "/x"));
  // Nothing of the atomic file's is left over.
  EXPECT_EQ(QDir(d).entryList(QDir::Files | QDir::Hidden).filter(".zarvo-save-").size(), 0);
}

}  // namespace
