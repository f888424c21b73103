// The backup file without a window: its lines, the atomic write, reading and filing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>

#include "BackupFile.h"
#include "Maker.h"
#include "VObjectWriter.h"

namespace {

std::string ReadBytes(const QString& fileName) {
  QFile f(fileName);
  if (!f.open(QIODevice::ReadOnly)) return "<missing>";
  const QByteArray b = f.readAll();
  return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

void WriteBytes(const QString& fileName, const std::string& bytes) {
  QFile f(fileName);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(f.write(bytes.data(), static_cast<qint64>(bytes.size())),
            static_cast<qint64>(bytes.size()));
}

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "<no error>";
}

std::string Utf8(const QString& s) { return s.toUtf8().toStdString(); }

long Count(const TLines& lines, const std::string& line) {
  return static_cast<long>(std::count(lines.begin(), lines.end(), line));
}

TRingTone Tone(int uid) { return TRingTone{uid, "T" + std::to_string(uid), "1,440,4"}; }

// A group, two contacts, two events and two custom ring tones behind 42 factory slots.
TEntryLists SampleLists() {
  TEntryLists lists;
  TGroup g;
  g.UID = 1;
  g.Name = "Friends";
  g.GroupID = 7;
  lists.Groups = {g};
  TContact a, b;
  a.Name = "Doe;John";
  a.Street = "Main Street 1\r\nBack door";
  b.Name = "M\xFCller";
  b.Note = "=";
  lists.Contacts = {a, b};
  TEvent e1, e2;
  e1.Description = "first";
  e2.Description = "second";
  lists.Events = {e1, e2};
  lists.RingTones.resize(FactoryRingToneCount);
  lists.RingTones[0].UID = 99;  // a factory slot: never written
  lists.RingTones.push_back(Tone(1000));
  lists.RingTones.push_back(Tone(1001));
  return lists;
}

TEST(BackupLines, HeaderThenGroupsContactsOneCalendarAndCustomRingTones) {
  const TEntryLists lists = SampleLists();
  TLines parseLines;
  const TLines file = BuildBackupLines(lists, parseLines);

  TLines expected = {"// ZARVO", std::string("// ") + MakersNotice,
                     "// This is a generated backup file. Do not edit!"};
  TLines scratch;
  const auto append = [&](const TLines& l) { expected.insert(expected.end(), l.begin(), l.end()); };
  append(GroupToVCard(lists.Groups[0], scratch));
  append(ContactToVCard(lists.Contacts[0], scratch));
  append(ContactToVCard(lists.Contacts[1], scratch));
  append({"", "BEGIN:VCALENDAR", "VERSION:1.0"});
  append(EventToVEvent(lists.Events[0], scratch));
  append(EventToVEvent(lists.Events[1], scratch));
  append({"END:VCALENDAR"});
  append(RingToneToVCard(lists.RingTones[42], scratch));
  append(RingToneToVCard(lists.RingTones[43], scratch));
  EXPECT_EQ(file, expected);
  EXPECT_EQ(Count(file, "BEGIN:VCALENDAR"), 1);
  EXPECT_EQ(Count(file, "END:VCALENDAR"), 1);
  EXPECT_EQ(Count(file, "X-ZARVO-RINGTONE-UID:99"), 0);
  // The writers' list is the one they use, left with the last entry's lines.
  EXPECT_EQ(parseLines, RingToneToVCard(lists.RingTones[43], scratch));
}

TEST(BackupLines, OptionalParts) {
  struct TCase {
    const char* What;
    std::size_t Events, RingToneSlots;
    long Calendars, RingToneCards;
  };
  const TCase cases[] = {
      {"nothing at all", 0, 0, 0, 0},
      {"no events, 42 slots", 0, 42, 0, 0},
      {"one event, 41 slots", 1, 41, 1, 0},
      {"three events, 43 slots", 3, 43, 1, 1},
      {"44 slots", 0, 44, 0, 2},
  };
  for (const TCase& t : cases) {
    TEntryLists lists;
    lists.Events.resize(t.Events);
    for (std::size_t i = 0; i < t.RingToneSlots; ++i)
      lists.RingTones.push_back(Tone(static_cast<int>(i)));
    TLines parseLines;
    const TLines file = BuildBackupLines(lists, parseLines);
    EXPECT_EQ(Count(file, "BEGIN:VCALENDAR"), t.Calendars) << t.What;
    EXPECT_EQ(Count(file, "BEGIN:VEVENT"), static_cast<long>(t.Events)) << t.What;
    EXPECT_EQ(Count(file, "X-ZARVO-RINGTONE-NAME:T41"), 0) << t.What;
    long cards = 0;
    for (const auto& l : file) cards += l.rfind("X-ZARVO-RINGTONE-UID:", 0) == 0;
    EXPECT_EQ(cards, t.RingToneCards) << t.What;
    if (t.RingToneCards == 2) {
      EXPECT_EQ(Count(file, "X-ZARVO-RINGTONE-UID:42"), 1);
      EXPECT_EQ(Count(file, "X-ZARVO-RINGTONE-UID:43"), 1);
    }
    EXPECT_EQ(file.size() == 3, t.Events == 0 && t.RingToneCards == 0) << t.What;
  }
}

TEST(BackupFileWrite, BytesAsStoredEveryLineEndedByCrLf) {
  QTemporaryDir dir;
  const QString name = dir.filePath("a.zrv");
  WriteBytes(name, std::string(10000, 'o'));  // a longer old file is replaced whole
  WriteBackupFile(name, {"// ZARVO", "M\xFCller", "", "ADR:;;a\\\r\nb", "END:VCARD"});
  EXPECT_EQ(ReadBytes(name), "// ZARVO\r\nM\xFCller\r\n\r\nADR:;;a\\\r\nb\r\nEND:VCARD\r\n");
  WriteBackupFile(name, {});
  EXPECT_EQ(ReadBytes(name), "");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.zrv"});
}

TEST(BackupFileWrite, CannotCreate) {
  QTemporaryDir dir;
  const QString missingFolder = dir.filePath("no/such/folder/a.zrv");
  EXPECT_EQ(ErrorOf([&] { WriteBackupFile(missingFolder, {"x"}); }),
            "Cannot create file " + Utf8(missingFolder));
  ASSERT_TRUE(QDir(dir.path()).mkdir("sub.zrv"));
  const QString folder = dir.filePath("sub.zrv");
  EXPECT_EQ(ErrorOf([&] { WriteBackupFile(folder, {"x"}); }), "Cannot create file " + Utf8(folder));
}

// Lowers the process's file size limit so that writes beyond it fail with EFBIG, the way
// a full disk fails a write half-way (root is not exempt, unlike a read-only folder).
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit lowered = old_;
    lowered.rlim_cur = bytes;
    oldHandler_ = signal(SIGXFSZ, SIG_IGN);
    ok_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, oldHandler_);
  }
  bool Ok() const { return ok_; }

 private:
  rlimit old_{};
  void (*oldHandler_)(int) = nullptr;
  bool ok_ = false;
};

TEST(BackupFileWrite, SaveFailingHalfWayLeavesTheOldFile) {
  QTemporaryDir dir;
  const QString name = dir.filePath("backup.zrv");
  const std::string old = "// ZARVO\r\nthe old backup\r\n";
  WriteBytes(name, old);
  const TLines big(2000, std::string(100, 'x'));  // about 200 kB
  std::string error;
  {
    TFileSizeLimit limit(64 * 1024);
    ASSERT_TRUE(limit.Ok());
    error = ErrorOf([&] { WriteBackupFile(name, big); });
  }
  EXPECT_EQ(error, "Cannot create file " + Utf8(name));
  EXPECT_EQ(ReadBytes(name), old);
  // No temporary file is left beside it.
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"backup.zrv"});
  // With room again the same save goes through.
  WriteBackupFile(name, big);
  EXPECT_EQ(ReadBytes(name).size(), 2000u * 102u);
}

TEST(BackupFileRead, LineEnds) {
  struct TCase {
    const char* What;
    std::string Bytes;
    TLines Lines;
  };
  const TCase cases[] = {
      {"empty file", "", {}},
      {"CR LF after every line", "a\r\nb\r\n", {"a", "b"}},
      {"LF only", "a\nb\n", {"a", "b"}},
      {"CR only", "a\rb\r", {"a", "b"}},
      {"mixed", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
      {"no end after the last line", "a\r\nb", {"a", "b"}},
      {"empty lines", "\r\n\n\r", {"", "", ""}},
      {"LF CR is two ends", "a\n\rb", {"a", "", "b"}},
      {"CR CR LF", "a\r\r\nb", {"a", "", "b"}},
      {"NUL ends the text", std::string("a\r\nb\0c\r\nd", 9), {"a", "b"}},
      {"NUL first", std::string("\0a\r\n", 4), {}},
      {"high bytes and tabs kept", "\xE4\t\xFF\r\n", {"\xE4\t\xFF"}},
  };
  QTemporaryDir dir;
  const QString name = dir.filePath("r.zrv");
  for (const TCase& t : cases) {
    WriteBytes(name, t.Bytes);
    EXPECT_EQ(ReadBackupFile(name), t.Lines) << t.What;
  }
}

TEST(BackupFileRead, HugeLineIsOneLine) {
  QTemporaryDir dir;
  const QString name = dir.filePath("huge.zrv");
  WriteBytes(name, "x\r\n" + std::string(3 * 1024 * 1024, 'y') + "\r\nz");
  const TLines lines = ReadBackupFile(name);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].size(), 3u * 1024 * 1024);
  EXPECT_EQ(lines[2], "z");
}

TEST(BackupFileRead, Refusals) {
  QTemporaryDir dir;
  const QString missing = dir.filePath("missing.zrv");
  EXPECT_EQ(ErrorOf([&] { ReadBackupFile(missing); }), "Cannot open file " + Utf8(missing));

  EXPECT_EQ(ErrorOf([&] { ReadBackupFile(dir.path()); }), "Cannot open file " + Utf8(dir.path()));

  // A pipe would block the window until someone writes to it.
  const QString fifo = dir.filePath("pipe.zrv");
  ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  EXPECT_EQ(ErrorOf([&] { ReadBackupFile(fifo); }), "Cannot open file " + Utf8(fifo));

  // Refused by its size before anything is read (the file is sparse).
  const QString large = dir.filePath("large.zrv");
  {
    QFile f(large);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_TRUE(f.resize(static_cast<qint64>(MaxBackupFileSize) + 1));
  }
  EXPECT_EQ(ErrorOf([&] { ReadBackupFile(large); }),
            "Cannot open file " + Utf8(large) + ": it is larger than 16 MiB, more than any phone holds");
}

TEST(BackupFiling, RecordsGoToTheirListsWithFreshIdentifiers) {
  TEntryLists lists = SampleLists();  // replaced whole
  TvObject group, contact, event, tone1, tone2;
  group.Kind = vkGroup;
  group.UID = 5;
  group.Name = "G";
  group.GroupID = 3;
  contact.UID = 6;
  contact.Name = "C";
  contact.GroupID = 3;
  contact.Note = "n";
  event.Kind = vkEvent;
  event.UID = 7;
  event.Note = "d";
  event.PBID = 12;
  tone1.Kind = tone2.Kind = vkRingTone;
  tone1.UID = 8;
  tone1.RingToneUID = 1000;
  tone1.RingToneName = "One";
  tone1.RingToneData = "0,";
  tone2.RingToneUID = 1001;
  TvObject unknown;
  unknown.Kind = 5;
  lists.vObjects = {tone1, contact, group, event, unknown, tone2};

  FileParsedEntries(lists);

  ASSERT_EQ(lists.Groups.size(), 1u);
  EXPECT_EQ(lists.Groups[0].UID, -1);
  EXPECT_EQ(lists.Groups[0].NewGroupID, -1);
  EXPECT_EQ(lists.Groups[0].Name, "G");
  EXPECT_EQ(lists.Groups[0].GroupID, 3);
  ASSERT_EQ(lists.Contacts.size(), 1u);
  EXPECT_EQ(lists.Contacts[0].UID, -1);
  EXPECT_EQ(lists.Contacts[0].NewGroupID, -1);
  EXPECT_EQ(lists.Contacts[0].GroupID, 3);
  EXPECT_EQ(lists.Contacts[0].Note, "n");
  ASSERT_EQ(lists.Events.size(), 1u);
  EXPECT_EQ(lists.Events[0].UID, -1);
  EXPECT_EQ(lists.Events[0].Description, "d");
  EXPECT_EQ(lists.Events[0].PBID, 12);
  ASSERT_EQ(lists.RingTones.size(), 44u);
  for (std::size_t i = 0; i < 42; ++i) EXPECT_EQ(lists.RingTones[i], TRingTone{}) << i;
  EXPECT_EQ(lists.RingTones[42], (TRingTone{1000, "One", "0,"}));
  EXPECT_EQ(lists.RingTones[43].UID, 1001);
  EXPECT_EQ(CountFiledEntries(lists), (TLoadCounts{1, 1, 1, 2}));

  lists.vObjects.clear();
  FileParsedEntries(lists);
  EXPECT_TRUE(lists.Groups.empty() && lists.Contacts.empty() && lists.Events.empty());
  EXPECT_EQ(lists.RingTones.size(), 42u);  // the factory slots are always there
  EXPECT_EQ(CountFiledEntries(lists), TLoadCounts{});
}

TEST(BackupDialogs, BothAlikeButForTheTitle) {
  const TBackupDialogs& d = BackupDialogSettings();
  EXPECT_EQ(d.Open.Title, "Load backup");
  EXPECT_EQ(d.Save.Title, "Save backup");
  for (const TFileDialogSettings* s : {&d.Open, &d.Save}) {
    EXPECT_EQ(s->Filter, "S40 backup file (*.zrv)");
    EXPECT_EQ(s->DefaultSuffix, "zrv");
    EXPECT_EQ(s->FileName, "*.zrv");
  }
}

}  // namespace
