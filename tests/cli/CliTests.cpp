// zarvo-cli as a shell runs it (no display, no Qt platform plugin) over the simulated
// phone: one table of runs, each backup compared byte for byte with the window's Save of
// the sample phone, which the real window makes offscreen first.
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
  QStringList Args;  // "%f" stands for the backup file, the window's save for a restore
  int Status;
  std::vector<const char*> Says;  // in standard output or error
  TFileEnd File = TFileEnd::None;
  TPhoneEnd Phone = TPhoneEnd::DataModeOff;
  const char* SignalAt = nullptr;  // SIGINT once the phone saw a command beginning so
  int EntriesAfter = -1;           // on the phone, all kinds
  int DelayMs = 0;                 // the phone's thinking time per answer
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

TCliResult RunCli(const TCliRun& run, const QString& dir, const TPhoneSimulator& sim) {
  QProcess cli;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("DISPLAY"));
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("none"));
  cli.setProcessEnvironment(env);
  cli.setWorkingDirectory(dir);
  QStringList args = run.Args;
  args.replaceInStrings(QStringLiteral("%f"), dir + QStringLiteral("/b.zrv"));
  cli.start(QStringLiteral(ZARVO_CLI_PROGRAM), args);
  EXPECT_TRUE(cli.waitForStarted());
  if (run.SignalAt) {
    const auto seen = [&] { return CountOf(sim.Commands(), run.SignalAt) > 0; };
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

  for (const TCliRun& run : kRuns) {
    SCOPED_TRACE(run.Name);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("b.zrv"));
    // A restore's backup, or the file that a backup finds in its way.
    const bool restore = run.Args.contains(QStringLiteral("restore"));
    if (restore || run.File == TFileEnd::Old || run.Args.contains(QStringLiteral("--force"))) {
      QFile f(file);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(restore ? QByteArray::fromStdString(windowSave) : QByteArray("old"));
    }
    TSimOptions options = OnPort(ports, 4);
    options.AnswerDelayMs = run.DelayMs;
    TPhoneSimulator sim(run.EmptyPhone ? TSimContent::Empty() : TSimContent::Sample(), options);
    if (run.Fault) run.Fault(sim.Faults());

    const TCliResult result = RunCli(run, dir.path(), sim);
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
