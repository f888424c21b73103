// Through a real file: Save's lines written, read back, parsed in one go and filed give
// the lists again; LF-only copies load the same; the shared corpus loads without harm.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <string>

#include "WriterRecordGenerator.h"
#include "BackupFile.h"
#include "VObjectParser.h"

namespace {

TEntryLists GeneratedLists(std::uint32_t seed, int perKind) {
  TRecordGenerator gen(seed);
  TEntryLists lists;
  for (int i = 0; i < perKind; ++i) {
    lists.Groups.push_back(gen.Group());
    lists.Contacts.push_back(gen.Contact());
    TEvent e = gen.Event();
    if (e.RepeatKind == rkNone) e.RepeatUntil = 0;  // not written without a recurrence
    lists.Events.push_back(e);
  }
  lists.RingTones.resize(FactoryRingToneCount);
  for (int i = 0; i < perKind; ++i) lists.RingTones.push_back(gen.RingTone());
  return lists;
}

void Load(const QString& fileName, TEntryLists& lists, std::string* log = nullptr) {
  const TLines lines = ReadBackupFile(fileName);
  ASSERT_TRUE(ParseVObjects(lines, lists.vObjects, [log](const std::string& l) {
    if (log) *log += l + "\n";
  }));
  FileParsedEntries(lists);
}

void ExpectSameLists(const TEntryLists& back, const TEntryLists& saved) {
  ASSERT_EQ(back.Groups.size(), saved.Groups.size());
  for (std::size_t i = 0; i < saved.Groups.size(); ++i) ASSERT_EQ(back.Groups[i], saved.Groups[i]) << i;
  ASSERT_EQ(back.Contacts.size(), saved.Contacts.size());
  for (std::size_t i = 0; i < saved.Contacts.size(); ++i)
    ASSERT_EQ(back.Contacts[i], saved.Contacts[i]) << i;
  ASSERT_EQ(back.Events.size(), saved.Events.size());
  for (std::size_t i = 0; i < saved.Events.size(); ++i) ASSERT_EQ(back.Events[i], saved.Events[i]) << i;
  ASSERT_EQ(back.RingTones.size(), saved.RingTones.size());
  for (std::size_t i = 0; i < saved.RingTones.size(); ++i)
    ASSERT_EQ(back.RingTones[i], saved.RingTones[i]) << i;
}

TEST(BackupRoundTrip, SavedListsLoadAgainInTheSameOrder) {
  QTemporaryDir dir;
  const QString name = dir.filePath("all.zrv");
  for (std::uint32_t seed = 10; seed < 14; ++seed) {
    const TEntryLists saved = GeneratedLists(seed, 150);
    TLines parseLines;
    WriteBackupFile(name, BuildBackupLines(saved, parseLines));
    TEntryLists back;
    Load(name, back);
    ExpectSameLists(back, saved);
  }
}

TEST(BackupRoundTrip, IdentifiersAfterALoad) {
  TEntryLists saved = GeneratedLists(20, 20);
  for (auto& g : saved.Groups) g.UID = 419889153, g.NewGroupID = 1;  // as a restore leaves them
  for (auto& c : saved.Contacts) c.UID = 5, c.NewGroupID = 1;
  for (auto& e : saved.Events) e.UID = 6;
  QTemporaryDir dir;
  const QString name = dir.filePath("ids.zrv");
  TLines parseLines;
  WriteBackupFile(name, BuildBackupLines(saved, parseLines));
  TEntryLists back;
  Load(name, back);
  for (auto& g : saved.Groups) g.UID = -1, g.NewGroupID = -1;
  for (auto& c : saved.Contacts) c.UID = -1, c.NewGroupID = -1;
  for (auto& e : saved.Events) e.UID = -1;
  ExpectSameLists(back, saved);  // ring tones keep the file's identifiers
}

TEST(BackupRoundTrip, LfOnlyAndCrOnlyCopiesLoadAlike) {
  const TEntryLists saved = GeneratedLists(30, 60);
  QTemporaryDir dir;
  const QString name = dir.filePath("crlf.zrv");
  TLines parseLines;
  WriteBackupFile(name, BuildBackupLines(saved, parseLines));
  QFile f(name);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray crlf = f.readAll();
  for (const char* end : {"\n", "\r"}) {
    QByteArray other = crlf;
    other.replace("\r\n", end);
    const QString otherName = dir.filePath("other.zrv");
    QFile o(otherName);
    ASSERT_TRUE(o.open(QIODevice::WriteOnly | QIODevice::Truncate));
    o.write(other);
    o.close();
    TEntryLists back;
    Load(otherName, back);
    ExpectSameLists(back, saved);
  }
}

QString CorpusDir() { return QStringLiteral(ZARVO_CORPUS_DIR); }

TEST(BackupCorpus, EveryFileLoadsFilesWhatItKnowsAndLogsTheRest) {
  if (!QDir(CorpusDir()).exists()) GTEST_SKIP() << "no corpus at " << CorpusDir().toStdString();
  int files = 0;
  QDirIterator it(CorpusDir(), QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    if (path.endsWith("SOURCES.txt")) continue;
    SCOPED_TRACE(path.toStdString());
    ++files;
    const TLines lines = ReadBackupFile(path);
    TEntryLists lists;
    std::vector<std::string> log;
    const bool parsed =
        ParseVObjects(lines, lists.vObjects, [&log](const std::string& l) { log.push_back(l); });
    EXPECT_EQ(parsed, lines.size() >= 3);
    FileParsedEntries(lists);
    const TLoadCounts n = CountFiledEntries(lists);
    EXPECT_EQ(static_cast<std::size_t>(n.Groups + n.Contacts + n.Events + n.RingTones),
              lists.vObjects.size());
    EXPECT_GE(lists.RingTones.size(), FactoryRingToneCount);
    // The findings lie between the parser's start and end lines.
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[1].rfind("Parser start: ", 0), 0u);
    EXPECT_EQ(log[log.size() - 2].rfind("Parser end: ", 0), 0u);
    bool hasCard = false;
    for (const auto& l : lines)
      hasCard = hasCard || QByteArray::fromStdString(l).toUpper() == "BEGIN:VCARD";
    if (hasCard) {
      EXPECT_FALSE(lists.vObjects.empty());
    }
  }
  EXPECT_GT(files, 50);
}

}  // namespace
