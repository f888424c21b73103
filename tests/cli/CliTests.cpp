// zarvo-cli as a shell runs it (no display, no Qt platform plugin) over the simulated
// phone: one table of runs, each backup compared byte for byte with the window's Save of
// the sample phone, which the real window makes offscreen first. A run may follow
// others on the same phone (a pulled cable plugged in again between them), and a step
// may be zarvo-export's.
#include <QDir>
#include <QProcess>
#include <csignal>
#include <thread>

#include "AppHarness.h"

namespace {

// What the run leaves on the phone's side.
enum class TPhoneEnd { Untouched, DataModeOff, DataModeOn };
// What the backup file ("%f", or the one s40-*.zrv) is afterwards.
enum class TFileEnd { None, WindowSave, Old };

struct TCliRun {
  const char* Name;
  bool EmptyPhone;
  std::function<void(TSimFaults&)> Fault;
  // "%f" stands for the backup file, the window's save for a restore or an add; "%g" for
  // a generated backup, "%d" for the run's folder, "%i" for the importer's test files.
  QStringList Args;
  int Status;
  std::vector<const char*> Says;  // in standard output or error
  TFileEnd File = TFileEnd::None;
  TPhoneEnd Phone = TPhoneEnd::DataModeOff;
  const char* SignalAt = nullptr;  // SIGINT once the phone saw a command beginning so
  int EntriesAfter = -1;           // on the phone, all kinds
  int DelayMs = 0;                 // the phone's thinking time per answer
  std::vector<QStringList> Before = {};  // runs on the same phone first, unchecked
};

const std::vector<TCliRun> kRuns = {
    {"sample phone", false, {}, {"backup"}, 0,
     {"saved 4 groups, 13 contacts, 10 events, 4 custom ring tones to s40-"}, TFileEnd::WindowSave},
    {"split answers", false,
     [](TSimFaults& f) {
       f.Add(TFault::EveryByte().On("AT+C#SMDE=1"));
       f.CutOn("AT+C#SGET=", {5, 17, 60});
     },
     {"backup", "%f"}, 0, {}, TFileEnd::WindowSave},
    {"empty phone", true, {}, {"--progress=json", "backup", "%f"}, 2,
     {"{\"operation\":\"reading\",\"kind\":\"events\",\"done\":0,\"total\":0}", "COM4: nothing to save"}},
    {"phone error", false, [](TSimFaults& f) { f.CmeErrorOn("AT+C#SGET=2", 258); }, {"backup", "%f"}, 2,
     {"zarvo-cli: COM4: Error: +CME ERROR 258: Entry does not exist."}},
    {"pulled cable", false, [](TSimFaults& f) { f.PullCableAfterBytes("AT+C#SGET=0", 30); }, {"backup", "%f"}, 2,
     {"COM4: Error: ERROR: Connection to phone lost."}, TFileEnd::None, TPhoneEnd::DataModeOn},
    {"read warnings", false, [](TSimFaults& f) { f.GroupsTotalDelta = 1; }, {"backup", "%f"}, 3,
     {"zarvo-cli: COM4: Warning: Groups data inconsistent!"}, TFileEnd::WindowSave},
    {"existing file", false, {}, {"backup", "%f"}, 2, {"b.zrv: exists (use --force"}, TFileEnd::Old,
     TPhoneEnd::Untouched},
    {"existing file, --force", false, {}, {"-q", "backup", "--force", "%f"}, 0, {}, TFileEnd::WindowSave},
    {"SIGINT during a read", false, {}, {"backup", "%f"}, 130, {"stopped: no file was written"}, TFileEnd::None,
     TPhoneEnd::DataModeOff, "AT+C#SGET=0"},
    {"identify", false, {}, {"identify", "--port", "4"}, 0,
     {"Port: COM4\nDevice: ", "(pseudo-terminal)\nPhone: Siemens S40\nContacts: 13\nGroups: 4\nEvents: 10\n"}},
    {"unknown option", false, {}, {"backup", "--frob"}, 2, {"unknown option --frob", "Usage: zarvo-cli"},
     TFileEnd::None, TPhoneEnd::Untouched},
    {"non-empty phone refused", false, {}, {"restore", "%f"}, 2,
     {"COM4: the phone is not empty: it holds 4 groups, 13 contacts, 10 events, 4 custom ring tones;"},
     TFileEnd::WindowSave, TPhoneEnd::DataModeOff, nullptr, 31},
    {"restore --verify", true, {}, {"restore", "--verify", "%f"}, 0,
     {"stored 4 groups, 13 contacts, 10 events, 4 custom ring tones\n",
      "verify: every entry is on the phone as it was sent"},
     TFileEnd::WindowSave, TPhoneEnd::DataModeOff, nullptr, 31},
    {"restore --verify, names cut", true, [](TSimFaults& f) { f.CutNamesTo = 20; }, {"restore", "--verify", "%f"}, 1,
     {"verify: contact \"Pizzeria Bella Napoli\": Name: sent \"Pizzeria Bella Napoli\", stored \"Pizzeria Bella "
      "Napol\"\n",
      "verify: group \"Sportverein Grün-Weiß\": Name: ", "verify: 3 differences found"},
     TFileEnd::WindowSave, TPhoneEnd::DataModeOff, nullptr, 31},
    {"SIGINT during a restore", true, {}, {"restore", "%f"}, 130,
     {"now on the phone: 4 groups, 1 contact, 0 events, 0 custom ring tones"}, TFileEnd::WindowSave,
     TPhoneEnd::DataModeOff, "AT+C#SPUT=0", 5, 300},
    {"the same file added twice", true, {}, {"add", "%g"}, 0, {"added nothing; 10 already on the phone\n"},
     TFileEnd::WindowSave, TPhoneEnd::DataModeOff, nullptr, 10, 0, {{"-q", "add", "%g"}}},
    {"add --dry-run", true, {}, {"add", "--dry-run", "%f"}, 0,
     {"\nwould add 13 contacts, 4 groups, 10 events, 4 ring tones; 1 field left out\n"}, TFileEnd::WindowSave,
     TPhoneEnd::DataModeOff, nullptr, 0},
    {"Google and Outlook onto the sample phone, --verify", false, {},
     {"add", "--verify", "%i/google-contacts.vcf", "%i/outlook.ics"}, 0,
     {"\nadded 2 contacts, 4 events; 8 fields left out\nverify: every entry is on the phone as it was sent"},
     TFileEnd::WindowSave, TPhoneEnd::DataModeOff, nullptr, 37},
    {"a refused group, then the next entries", true,
     [](TSimFaults& f) { f.Add(TFault::CmeError(20).On("AT+C#SPUT=1").Once()); }, {"add", "%g"}, 1,
     {"g.zrv:5: group Group 1: refused by the phone: +CME ERROR 20: Memory full.\n",
      "contact Contact\xc3\xa4" "2;First: goes without a group: the phone refused group Group 1\n",
      "added 5 contacts, 1 group, 3 events; 1 refused by the phone\n"},
     TFileEnd::WindowSave, TPhoneEnd::DataModeOff, nullptr, 9},
    {"pulled cable during an add", true, [](TSimFaults& f) { f.PullCableAfterBytes("AT+C#SPUT=0", 10); },
     {"add", "%g"}, 2,
     {"COM4: Error: ERROR: Connection to phone lost.",
      "the add stopped; added to the phone: 2 groups, 0 contacts, 0 events, 0 custom ring tones"},
     TFileEnd::WindowSave, TPhoneEnd::DataModeOn, nullptr, 2},
    {"a restore stopped by a pulled cable, finished by add", true,
     [](TSimFaults& f) { f.PullCableAfterBytes("AT+C#SPUT=2", 10); }, {"add", "%f"}, 0,
     {"\nadded 10 events, 4 ring tones; 17 already on the phone; 1 field left out\n"}, TFileEnd::WindowSave,
     TPhoneEnd::DataModeOff, nullptr, 31, 0, {{"restore", "%f"}}},
    {"SIGINT during an add", true, {}, {"add", "%g"}, 130,
     {"the add stopped; added to the phone: 2 groups, 1 contact, 0 events", "stopped: the add was not finished"},
     TFileEnd::WindowSave, TPhoneEnd::DataModeOff, "AT+C#SPUT=0", 3, 150},
    // Exported, added onto an empty phone, backed up: the same backup again.
    {"round trip through zarvo-export", true, {}, {"zarvo-export", "--compare", "%g", "%d/second.zrv"}, 0,
     {"The backups hold the same entries: 2 groups, 5 contacts, 3 events, 0 ring tones."}, TFileEnd::WindowSave,
     TPhoneEnd::DataModeOff, nullptr, 10, 0,
     {{"zarvo-export", "-o", "%d", "%g"}, {"-q", "add", "%d/contacts.vcf", "%d/calendar.ics"},
      {"-q", "backup", "%d/second.zrv"}}},
};

int EntriesOn(const TPhoneSimulator& sim) {
  std::size_t n = 0;
  for (int type : {0, 1, 2, 9}) n += sim.Entries(type).size();
  return static_cast<int>(n);
}

struct TCliResult {
  int Status = -1;
  std::string Said;  // standard output, then standard error
};

TCliResult RunCli(QStringList args, const char* signalAt, const QString& dir, const TPhoneSimulator& sim) {
  QProcess cli;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("DISPLAY"));
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("none"));
  cli.setProcessEnvironment(env);
  cli.setWorkingDirectory(dir);
  for (const auto& [mark, by] : {std::pair{"%f", dir + QStringLiteral("/b.zrv")}, std::pair{"%g", dir + QStringLiteral("/g.zrv")},
                                 std::pair{"%d", dir}, std::pair{"%i", QStringLiteral(ZARVO_IMPORT_FILES)}})
    args.replaceInStrings(QLatin1String(mark), by);
  const bool exporter = args.front() == QStringLiteral("zarvo-export");
  if (exporter) args.pop_front();
  cli.start(exporter ? QStringLiteral(ZARVO_EXPORT_PROGRAM) : QStringLiteral(ZARVO_CLI_PROGRAM), args);
  EXPECT_TRUE(cli.waitForStarted());
  if (signalAt) {
    const auto seen = [&] { return CountOf(sim.Commands(), signalAt) > 0; };
    for (int waited = 0; !seen() && waited < 30000; waited += 5) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(seen());
    ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
  }
  EXPECT_TRUE(cli.waitForFinished(180000));
  return {cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1,
          (cli.readAllStandardOutput() + cli.readAllStandardError()).toStdString()};
}

TEST_F(TAppTest, ZarvoCliRunsOverTheSimulatedPhone) {
  std::string windowSave;
  {
    TApp app;
    TPhoneSimulator sim(TSimContent::Sample(), OnPort(ports, 4));
    app.Read();
    app.Save(ports.File("window.zrv"));
    windowSave = FileText(ports.File("window.zrv"));
    ASSERT_TRUE(app.Texts().empty());
    app.Main.close();
  }
  ASSERT_NE(windowSave.find("END:VCALENDAR"), std::string::npos);
  // The round trip's backup: nothing in it that the export cannot carry.
  TEntryLists generated = GeneratedLists(2, 5, 3, 0);
  for (TGroup& g : generated.Groups) g.GroupSoundID = -1;
  TLines parseLines;
  QByteArray generatedText;
  for (const std::string& line : BuildBackupLines(generated, parseLines)) generatedText += QByteArray::fromStdString(line + "\r\n");

  for (const TCliRun& run : kRuns) {
    SCOPED_TRACE(run.Name);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("b.zrv"));
    // A restore's or an add's backup, or the file that a backup finds in its way.
    std::vector<QStringList> runs = run.Before;
    runs.push_back(run.Args);
    const bool restore = std::any_of(runs.begin(), runs.end(), [](const QStringList& args) {
      return args.contains(QStringLiteral("restore")) || args.contains(QStringLiteral("add"));
    });
    if (restore || run.File == TFileEnd::Old || run.Args.contains(QStringLiteral("--force"))) {
      QFile f(file);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(restore ? QByteArray::fromStdString(windowSave) : QByteArray("old"));
    }
    QFile g(dir.filePath(QStringLiteral("g.zrv")));
    ASSERT_TRUE(g.open(QIODevice::WriteOnly) && g.write(generatedText) == generatedText.size());
    g.close();
    TSimOptions options = OnPort(ports, 4);
    options.AnswerDelayMs = run.DelayMs;
    TPhoneSimulator sim(run.EmptyPhone ? TSimContent::Empty() : TSimContent::Sample(), options);
    if (run.Fault) run.Fault(sim.Faults());

    for (const QStringList& before : run.Before) {
      RunCli(before, nullptr, dir.path(), sim);
      if (!sim.CableConnected()) sim.PlugIn();
    }
    const TCliResult result = RunCli(run.Args, run.SignalAt, dir.path(), sim);
    EXPECT_EQ(result.Status, run.Status) << result.Said;
    for (const char* text : run.Says) EXPECT_NE(result.Said.find(text), std::string::npos) << text << "\n" << result.Said;
    EXPECT_EQ(result.Said.find('\r'), std::string::npos) << "a carriage return into a pipe";

    const QStringList dated = QDir(dir.path()).entryList({QStringLiteral("s40-*.zrv")});
    const QString written = run.Args.contains(QStringLiteral("%f")) || dated.isEmpty() ? file : dir.filePath(dated.front());
    EXPECT_EQ(QFile::exists(written), run.File != TFileEnd::None);
    const std::string content = run.File == TFileEnd::None ? "" : run.File == TFileEnd::Old ? "old" : windowSave;
    EXPECT_EQ(FileText(written), content);
    EXPECT_EQ(sim.Commands().empty(), run.Phone == TPhoneEnd::Untouched);
    EXPECT_EQ(sim.DataMode(), run.Phone == TPhoneEnd::DataModeOn);
    if (run.EntriesAfter >= 0) {
      EXPECT_EQ(EntriesOn(sim), run.EntriesAfter);
    }
  }
}

}  // namespace
