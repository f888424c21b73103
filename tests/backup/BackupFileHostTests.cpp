// Save and Load as the buttons run them, against a small fake main window.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "BackupFile.h"
#include "PhoneProtocol.h"
#include "TestSupport.h"

namespace {

std::string Utf8(const QString& s) { return s.toUtf8().toStdString(); }

// Everything the operations do to the window, in one ordered list, so that a test can
// see that an error is shown only after the end steps.
using TJournal = std::vector<std::string>;

class TFakeProgress : public IProgressWindow {
 public:
  TFakeProgress(TJournal& journal, bool& stop) : journal_(journal), stop_(stop) {}
  bool Shown = false;
  void SetCaption(const QString& caption) override { journal_.push_back("caption " + Utf8(caption)); }
  void ResetBars() override { journal_.push_back("reset bars"); }
  void ShowProgress() override {
    Shown = true;
    journal_.push_back("show progress");
  }
  void SetTotal(TProgressKind, int n) override { journal_.push_back("total " + std::to_string(n)); }
  void StepDone(TProgressKind, int, int) override { journal_.push_back("step"); }
  void CloseProgress() override {
    Shown = false;
    stop_ = true;  // as the real window's closing does
    journal_.push_back("close progress");
  }

 private:
  TJournal& journal_;
  bool& stop_;
};

class TFakeHost : public IMainWindowHost {
 public:
  TJournal Journal;
  TEntryLists EntryLists;
  TLines Parse;
  TRecordingDialogs Recorded;
  bool Stop = true;
  TFakeProgress ProgressWindow{Journal, Stop};
  std::map<TMainControl, bool> Enabled{{TMainControl::Read, true},
                                       {TMainControl::Load, true},
                                       {TMainControl::Save, true},
                                       {TMainControl::Exit, true},
                                       {TMainControl::PortList, true}};
  bool WindowEnabled = false;
  std::vector<std::string> Log;
  QTreeWidget Tree;

  TVaComm& VaComm() override { throw std::logic_error("no serial port here"); }
  TAtExchange& Exchange() override { throw std::logic_error("no exchange here"); }
  TEntryLists& Lists() override { return EntryLists; }
  TLines& ParseLines() override { return Parse; }
  IDialogs& Dialogs() override { return Recorded; }
  IProgressWindow& Progress() override { return ProgressWindow; }
  bool& StopRequested() override { return Stop; }
  TPortChoice PortTarget() const override { return {}; }
  void SetControlEnabled(TMainControl control, bool enabled) override {
    Enabled[control] = enabled;
    Journal.push_back(std::string(enabled ? "enable " : "disable ") +
                      std::to_string(static_cast<int>(control)));
  }
  void SetWindowEnabled(bool enabled) override {
    WindowEnabled = enabled;
    Journal.push_back(enabled ? "enable window" : "disable window");
  }
  void RepaintWindow() override {}
  void FocusWindow() override { Journal.push_back("focus"); }
  void SetBusyCursor(bool busy) override { Journal.push_back(busy ? "hourglass" : "cursor back"); }
  void ClearTree() override { Tree.clear(); }
  void AddFixedNode(TTreeNode, const QString& text, int) override { new QTreeWidgetItem(&Tree, QStringList{text}); }
  bool HasNode(TNodeRef) const override { return false; }
  void AddEntryNode(TNodeRef, const QString& text, int, std::optional<std::int32_t>) override {
    new QTreeWidgetItem(&Tree, QStringList{text});
  }
  void ExpandTree() override {}
  void SelectFirstNode() override {
    if (Tree.topLevelItemCount() > 0) Tree.setCurrentItem(Tree.topLevelItem(0));
  }
  void AddLogLine(const std::string& text) override { Log.push_back(text); }
  void SetAnswerTimeout(int ms) override { Journal.push_back("timeout " + std::to_string(ms)); }

  bool IsEnabled(TMainControl c) const { return Enabled.at(c); }
};

// Routes the standard exception report, as the application does, to the dialogs seam's
// box, and notes it in the host's journal.
class TJournalReport {
 public:
  explicit TJournalReport(TFakeHost& host)
      : previous_(SetExceptionReporter([&host](const QString& t) {
          host.Journal.push_back("report " + Utf8(t));
          host.Recorded.ShowException(t);
        })) {}
  ~TJournalReport() { SetExceptionReporter(previous_); }

 private:
  TExceptionReporter previous_;
};

void WriteBytes(const QString& fileName, const std::string& bytes) {
  QFile f(fileName);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::string ReadBytes(const QString& fileName) {
  QFile f(fileName);
  if (!f.open(QIODevice::ReadOnly)) return "<missing>";
  return f.readAll().toStdString();
}

TEntryLists SomeLists() {
  TEntryLists lists;
  TGroup g;
  g.Name = "Family";
  lists.Groups = {g};
  TContact c;
  c.Name = "Doe;John";
  lists.Contacts = {c};
  return lists;
}

const TJournal kLoadEndSteps = {"timeout 5000", "close progress", "enable 0", "enable 3",
                                "enable 4",     "enable window",  "focus"};

TJournal Tail(const TJournal& j, std::size_t n) {
  return TJournal(j.end() - static_cast<long>(std::min(n, j.size())), j.end());
}

TEST(SaveBackup, CancelChangesNothing) {
  TFakeHost host;
  host.EntryLists = SomeLists();
  SaveBackup(host);
  ASSERT_EQ(host.Recorded.FileDialogs.size(), 1u);
  EXPECT_EQ(host.Recorded.FileDialogs[0].Title, "Save backup");
  EXPECT_TRUE(host.Journal.empty());
  EXPECT_TRUE(host.Recorded.Texts().empty());
}

TEST(SaveBackup, WritesTheListsUnderTheHourglass) {
  QTemporaryDir dir;
  const QString name = dir.filePath("b.zrv");
  TFakeHost host;
  host.EntryLists = SomeLists();
  const TEntryLists before = host.EntryLists;
  host.Recorded.FileAnswers = {name};
  TJournalReport report(host);
  SaveBackup(host);

  TLines scratch;
  std::string expected;
  for (const auto& l : BuildBackupLines(before, scratch)) expected += l + "\r\n";
  EXPECT_EQ(ReadBytes(name), expected);
  EXPECT_EQ(host.Journal, (TJournal{"hourglass", "cursor back"}));  // no button, no message
  EXPECT_EQ(host.EntryLists.Contacts, before.Contacts);
  EXPECT_EQ(host.EntryLists.Groups, before.Groups);
}

TEST(SaveBackup, ErrorShownAfterTheCursorIsBack) {
  QTemporaryDir dir;
  const QString name = dir.filePath("missing/b.zrv");
  TFakeHost host;
  host.EntryLists = SomeLists();
  host.Recorded.FileAnswers = {name};
  TJournalReport report(host);
  SaveBackup(host);
  EXPECT_EQ(host.Journal,
            (TJournal{"hourglass", "cursor back", "report Cannot create file " + Utf8(name)}));
}

// Load with a restore that records what it was handed and the state it found.
struct TLoadRun {
  TFakeHost Host;
  QTemporaryDir Dir;
  bool RestoreRan = false;
  TLoadCounts Counts;
  bool StopAtRestore = true;
  bool ProgressShownAtRestore = false;
  std::function<void()> RestoreBody;

  void Run(const std::string& fileBytes) {
    const QString name = Dir.filePath("in.zrv");
    WriteBytes(name, fileBytes);
    Host.Recorded.FileAnswers = {name};
    Load();
  }
  void Load() {
    TJournalReport report(Host);
    LoadBackup(Host, [this](IMainWindowHost& host, const TLoadCounts& counts) {
      RestoreRan = true;
      Counts = counts;
      StopAtRestore = host.StopRequested();
      ProgressShownAtRestore = Host.ProgressWindow.Shown;
      Host.Journal.push_back("restore");
      if (RestoreBody) RestoreBody();
    });
  }
};

const char* const kHeader =
    "// ZARVO\r\n// note\r\n// This is a generated backup file. Do not edit!\r\n";

TEST(LoadBackup, CancelChangesNothing) {
  TLoadRun run;
  run.Host.EntryLists = SomeLists();
  run.Load();
  ASSERT_EQ(run.Host.Recorded.FileDialogs.size(), 1u);
  EXPECT_EQ(run.Host.Recorded.FileDialogs[0].Title, "Load backup");
  EXPECT_TRUE(run.Host.Journal.empty());
  EXPECT_FALSE(run.RestoreRan);
  EXPECT_EQ(run.Host.EntryLists.Contacts.size(), 1u);
}

TEST(LoadBackup, FilesTheEntriesThenRestoresThenEndSteps) {
  TLoadRun run;
  new QTreeWidgetItem(&run.Host.Tree, QStringList{"Siemens S40"});
  new QTreeWidgetItem(&run.Host.Tree, QStringList{"other"});
  run.Host.Tree.setCurrentItem(run.Host.Tree.topLevelItem(1));
  run.Run(std::string(kHeader) +
          "\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nX-SIEMENS-GROUP-NAME:Family\r\nEND:VCARD\r\n"
          "\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=ISO-8859-1:Doe;John\r\nEND:VCARD\r\n"
          "\r\nBEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\nEND:VEVENT\r\n"
          "BEGIN:VEVENT\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"
          "\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nX-ZARVO-RINGTONE-UID:1000\r\nEND:VCARD\r\n");

  ASSERT_TRUE(run.RestoreRan);
  EXPECT_EQ(run.Counts, (TLoadCounts{1, 1, 2, 1}));
  EXPECT_FALSE(run.StopAtRestore);
  EXPECT_TRUE(run.ProgressShownAtRestore);
  EXPECT_EQ(run.Host.EntryLists.RingTones.size(), 43u);
  EXPECT_EQ(run.Host.EntryLists.RingTones[42].UID, 1000);
  EXPECT_EQ(run.Host.EntryLists.Contacts.at(0).Name, "Doe;John");
  const TJournal expected = {"disable 0",        "disable 1",  "disable 2",   "disable 3",
                             "disable 4",        "caption Writing...",        "reset bars",
                             "show progress",    "restore",    "timeout 5000", "close progress",
                             "enable 0",         "enable 3",   "enable 4",    "enable window",
                             "focus"};
  EXPECT_EQ(run.Host.Journal, expected);
  // Load and Save are the restore's to enable; the first node is selected again.
  EXPECT_FALSE(run.Host.IsEnabled(TMainControl::Load));
  EXPECT_FALSE(run.Host.IsEnabled(TMainControl::Save));
  EXPECT_EQ(run.Host.Tree.currentItem(), run.Host.Tree.topLevelItem(0));
  EXPECT_FALSE(run.Host.Log.empty());
  EXPECT_TRUE(run.Host.Recorded.Texts().empty());
}

TEST(LoadBackup, FewerThanThreeLinesEndTheLoadBeforeTheRestore) {
  const char* const files[] = {"", "// ZARVO\r\n", "// ZARVO\r\n// two\r\n", "a\nb"};
  for (const char* bytes : files) {
    TLoadRun run;
    run.Host.EntryLists = SomeLists();
    run.Run(bytes);
    EXPECT_FALSE(run.RestoreRan) << bytes;
    EXPECT_FALSE(run.Host.ProgressWindow.Shown);
    EXPECT_EQ(run.Host.EntryLists.Contacts.size(), 1u) << "the lists keep what they held";
    EXPECT_EQ(run.Host.EntryLists.Groups.size(), 1u);
    TJournal expected = {"disable 0", "disable 1", "disable 2", "disable 3", "disable 4"};
    expected.insert(expected.end(), kLoadEndSteps.begin(), kLoadEndSteps.end());
    EXPECT_EQ(run.Host.Journal, expected) << bytes;
    EXPECT_FALSE(run.Host.IsEnabled(TMainControl::Load));
    EXPECT_FALSE(run.Host.IsEnabled(TMainControl::Save));
    EXPECT_NE(std::find(run.Host.Log.begin(), run.Host.Log.end(),
                        "Not enough data - parsing aborted"),
              run.Host.Log.end());
  }
}

TEST(LoadBackup, HeaderAloneRestoresNothing) {
  TLoadRun run;
  run.Host.EntryLists = SomeLists();
  run.Run(kHeader);
  ASSERT_TRUE(run.RestoreRan);
  EXPECT_EQ(run.Counts, TLoadCounts{});
  EXPECT_TRUE(run.Host.EntryLists.Contacts.empty());
  EXPECT_EQ(run.Host.EntryLists.RingTones.size(), 42u);
}

TEST(LoadBackup, FileThatCannotBeOpenedIsShownAfterTheEndSteps) {
  TLoadRun run;
  run.Host.EntryLists = SomeLists();
  const QString name = run.Dir.filePath("gone.zrv");
  run.Host.Recorded.FileAnswers = {name};
  run.Load();
  EXPECT_FALSE(run.RestoreRan);
  EXPECT_EQ(run.Host.EntryLists.Contacts.size(), 1u);
  ASSERT_GE(run.Host.Journal.size(), kLoadEndSteps.size() + 1);
  TJournal expected = kLoadEndSteps;
  expected.push_back("report Cannot open file " + Utf8(name));
  EXPECT_EQ(Tail(run.Host.Journal, expected.size()), expected);
  EXPECT_FALSE(run.Host.IsEnabled(TMainControl::Load));
  EXPECT_FALSE(run.Host.IsEnabled(TMainControl::Save));
}

TEST(LoadBackup, ErrorOfTheRestoreIsShownAfterTheEndSteps) {
  TLoadRun run;
  run.RestoreBody = [] { throw std::runtime_error("'+C#SPUT:' is not a valid integer value"); };
  run.Run(kHeader);
  ASSERT_TRUE(run.RestoreRan);
  TJournal expected = {"restore"};
  expected.insert(expected.end(), kLoadEndSteps.begin(), kLoadEndSteps.end());
  expected.push_back("report '+C#SPUT:' is not a valid integer value");
  EXPECT_EQ(Tail(run.Host.Journal, expected.size()), expected);
}

TEST(LoadBackup, BackupTextShowsAsLatin1AndFileNamesAsTheFileSystemSpellsThem) {
  const std::string latin1 = "Gr\xfc\xdf" "e";
  const QString tone = QString::fromLatin1(latin1);
  struct TCase {
    const char* Title;
    std::string Data;
    QString Box;
  };
  const TCase cases[] = {
      {"the ring tone's name", "300", "Ring tone \"" + tone + "\" has 300 value pairs; the phone takes 0 to 255."},
      {"a value of its data", "1," + latin1 + ",2", "'" + tone + "' is not a valid integer value"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Title);
    TLoadRun run;
    // What the restore does first with a ring tone.
    run.RestoreBody = [&run] { BuildRingToneRecord(run.Host.EntryLists.RingTones.at(FactoryRingToneCount)); };
    run.Run(std::string(kHeader) + "\r\nBEGIN:VCARD\r\nX-ZARVO-RINGTONE-UID:1000\r\nX-ZARVO-RINGTONE-NAME:" + latin1 +
            "\r\nX-ZARVO-RINGTONE-DATA:" + c.Data + "\r\nEND:VCARD\r\n");
    EXPECT_EQ(run.Host.Recorded.Exceptions, std::vector<QString>{c.Box});
  }
  TLoadRun run;
  const QString name = run.Dir.filePath(tone + ".zrv");
  run.Host.Recorded.FileAnswers = {name};
  run.Load();
  EXPECT_EQ(run.Host.Recorded.Exceptions, std::vector<QString>{"Cannot open file " + name});
}

}  // namespace
