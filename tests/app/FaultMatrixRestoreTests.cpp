// The fault matrix, during a restore: one test per row (FaultMatrix.h tells what each
// checks). Each restore loads the backup of the rows' phone onto an empty phone; the
// faults hit store commands and store data of every kind. The restore's time-out is
// shortened to RestoreTimeoutMs through the window's SetAnswerTimeout seam.
//
// Faults of commands a restore never sends (the identity, the totals, the listing of
// the factory ring tones, fetches) have no restore row.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "FaultMatrix.h"

namespace {

const std::string kGarbage("\x00\x11\xff~#\x1b[0m noise", 15);

// A rule on the store command (its prompt) or on its data, for the first store of a kind.
TFault OnStore(TFault fault, int type) { return std::move(fault).On("AT+C#SPUT=" + std::to_string(type)).Once(); }
TFault OnStoreData(TFault fault, int type) { return OnStore(std::move(fault), type).OnData(); }

// The first group's data answered with the given faults.
TStep OnFirstGroupData(std::string name, std::vector<TFault> faults, TShown shown) {
  return {std::move(name),
          [faults](TPhoneSimulator& p, TFaultWatch& w) {
            for (const TFault& f : faults) p.Faults().Add(OnStoreData(f, 1));
            w.MarkAt("AT+C#SPUT=1", 1, true);
          },
          {std::move(shown)}};
}

// The answer to a group's, a contact's or a ring tone's data: "+C#SPUT: " and nine
// digits; an event's identifier has three (see SimContent.h).
constexpr std::size_t kOkInLongIdAnswer = 20;
constexpr std::size_t kOkInShortIdAnswer = 14;

}  // namespace

TEST_F(FaultMatrix, RestoreErrorAnswer) {
  Row(1, "ERROR", "restore");
  RunRestoreRow({{"ERROR to the first event's data",
                  [](TPhoneSimulator& p, TFaultWatch& w) {
                    p.Faults().Add(OnStoreData(TFault::Error(), 2));
                    w.MarkAt("AT+C#SPUT=2", 1, true);
                  },
                  {ErrorBox("ERROR: Invalid command.")}}});
}

TEST_F(FaultMatrix, RestoreKnownPhoneError) {
  Row(2, "+CME ERROR: n, known n (20)", "restore");
  RunRestoreRow({{"+CME ERROR: 20 to the first contact's store command",
                  [](TPhoneSimulator& p, TFaultWatch& w) {
                    p.Faults().Add(OnStore(TFault::CmeError(20), 0));
                    w.MarkAt("AT+C#SPUT=0");
                  },
                  {ErrorBox("+CME ERROR 20: Memory full.")}}});
}

TEST_F(FaultMatrix, RestoreUnknownPhoneError) {
  Row(3, "+CME ERROR: n, unknown n (99)", "restore");
  RunRestoreRow({{"+CME ERROR: 99 to the first ring tone's record",
                  [](TPhoneSimulator& p, TFaultWatch& w) {
                    p.Faults().Add(OnStoreData(TFault::CmeError(99), 9));
                    w.MarkAt("AT+C#SPUT=9", 1, true);
                  },
                  {ErrorBox("+CME ERROR 99: .")}}});
}

TEST_F(FaultMatrix, RestoreNoAnswer) {
  Row(4, "no answer", "restore");
  RunRestoreRow({{"no answer to the first contact's data",
                  [](TPhoneSimulator& p, TFaultWatch& w) {
                    p.Faults().Add(OnStoreData(TFault::NoAnswer(), 0));
                    w.MarkAt("AT+C#SPUT=0", 1, true);
                  },
                  {ErrorBox("ERROR: No answer from phone (timeout).")}}});
}

TEST_F(FaultMatrix, RestoreAnswerThatStartsAndStops) {
  Row(5, "answer starts and stops", "restore");
  TStep step{"the first event is stored, its answer stops before OK",
             [](TPhoneSimulator& p, TFaultWatch& w) {
               p.Faults().Add(OnStoreData(TFault::NeverFinish(), 2));
               w.MarkAt("AT+C#SPUT=2", 1, true);
             },
             {ErrorBox("ERROR: No answer from phone (timeout).")}};
  step.MayHoldUnanswered = true;
  RunRestoreRow({step});
}

TEST_F(FaultMatrix, RestoreEveryTerminatorSplitAtEveryByte) {
  Row(6, "terminators split at every byte", "restore");
  auto everyByte = [](TFault f) { return std::vector<TFault>{std::move(f), TFault::EveryByte()}; };
  TStep ok{"OK: the first event's answer, one byte a piece",
           [](TPhoneSimulator& p, TFaultWatch& w) {
             p.Faults().Add(OnStoreData(TFault::EveryByte(), 2));
             w.MarkAt("AT+C#SPUT=2", 1, true);
           },
           {},
           true};
  RunRestoreRow({ok, OnFirstGroupData("ERROR, one byte a piece", everyByte(TFault::Error()), ErrorBox("ERROR: Invalid command.")),
                 OnFirstGroupData("+CME ERROR: 21, one byte a piece", everyByte(TFault::CmeError(21)),
                                  ErrorBox("+CME ERROR 21: Invalid index."))});
}

TEST_F(FaultMatrix, RestoreOkCutAtEachPosition) {
  Row(7, "\"\\r\\nOK\\r\\n\" cut at each position", "restore");
  TStep step{"OK cut at 1 to 5 in the answers to groups', a contact's, an event's and a ring tone's data",
             [](TPhoneSimulator& p, TFaultWatch& w) {
               p.Faults().Add(OnStoreData(TFault::CutAt({kOkInLongIdAnswer + 1}), 1));
               w.ArmAfter("AT+C#SPUT=1", 2, OnStoreData(TFault::CutAt({kOkInLongIdAnswer + 2}), 1));
               p.Faults().Add(OnStoreData(TFault::CutAt({kOkInLongIdAnswer + 3}), 0));
               p.Faults().Add(OnStoreData(TFault::CutAt({kOkInShortIdAnswer + 4}), 2));
               p.Faults().Add(OnStoreData(TFault::CutAt({kOkInLongIdAnswer + 5}), 9));
               w.MarkAt("AT+C#SPUT=1", 1, true);
             },
             {},
             true};
  step.Verify = [](TPhoneSimulator& p) {
    EXPECT_EQ(p.Faults().RuleCount(), 0u) << "every cut was used";
    // The cuts were placed for identifiers of these lengths.
    EXPECT_EQ(std::to_string(p.Entries(1).at(1).Id).size(), 9u);
    EXPECT_EQ(std::to_string(p.Entries(0).at(0).Id).size(), 9u);
    EXPECT_EQ(std::to_string(p.Entries(2).at(0).Id).size(), 3u);
    EXPECT_EQ(std::to_string(p.Entries(9).at(0).Id).size(), 9u);
  };
  RunRestoreRow({step});
}

TEST_F(FaultMatrix, RestoreErrorCutAtEachPosition) {
  Row(8, "\"\\r\\nERROR\\r\\n\" cut at each position", "restore");
  std::vector<TStep> steps;
  for (std::size_t k = 1; k < 9; ++k)
    steps.push_back(OnFirstGroupData("ERROR cut at " + std::to_string(k), {TFault::Error(), TFault::CutAt({k})},
                                     ErrorBox("ERROR: Invalid command.")));
  RunRestoreRow(steps);
}

TEST_F(FaultMatrix, RestorePhoneErrorCutAtEachPosition) {
  Row(9, "\"\\r\\n+CME ERROR: 21\\r\\n\" cut at each position", "restore");
  std::vector<TStep> steps;
  for (std::size_t k = 1; k < 18; ++k)
    steps.push_back(OnFirstGroupData("+CME ERROR: 21 cut at " + std::to_string(k),
                                     {TFault::CmeError(21), TFault::CutAt({k})},
                                     ErrorBox("+CME ERROR 21: Invalid index.")));
  RunRestoreRow(steps);
}

TEST_F(FaultMatrix, RestoreSlowPhone) {
  Row(10, "slow phone (2.0 s, inside 2.5 s)", "restore");
  RunRestoreRow({{"the second contact's answer begins 0.5 s inside the time-out",
                  [](TPhoneSimulator&, TFaultWatch& w) {
                    w.ArmAfter("AT+C#SPUT=0", 2, OnStoreData(TFault::Slow(RestoreTimeoutMs - 500), 0));
                    w.MarkAt("AT+C#SPUT=0", 2, true);
                  },
                  {},
                  true}});
}

TEST_F(FaultMatrix, RestoreBadRingToneData) {
  Row(14, "bad ring tone record (data text)", "restore");
  std::string text = Content().BackupText();
  const std::string label = "X-ZARVO-RINGTONE-DATA:";
  const std::size_t first = text.find(label);
  const std::size_t second = text.find(label, first + 1);
  ASSERT_NE(second, std::string::npos);
  const std::size_t value = second + label.size();
  text.replace(value, text.find("\r\n", value) - value, "3,1,2,x,4,5,6");
  RunRestoreRow({{"the second ring tone's data holds a letter",
                  [](TPhoneSimulator&, TFaultWatch& w) { w.MarkAt("AT+C#SPUT=9", 1, true); },
                  {Report("'x' is not a valid integer value")},
                  false,
                  true,
                  0,
                  false,
                  [](TPhoneSimulator& p) {
                    EXPECT_EQ(p.Entries(9).size(), 1u) << "the first ring tone is stored, the second never sent";
                    EXPECT_EQ(CountOf(p.Commands(), "AT+C#SPUT=9"), 1u);
                  }}},
                text);
}

TEST_F(FaultMatrix, RestoreGarbageBetweenAnswers) {
  Row(15, "garbage bytes between answers", "restore");
  RunRestoreRow({{"noise after every answer",
                  [](TPhoneSimulator& p, TFaultWatch& w) {
                    p.Faults().Add(TFault::GarbageAfter(kGarbage).On("AT+C#SPUT="));
                    p.Faults().Add(TFault::GarbageAfter(kGarbage).On("AT+C#SPUT=").OnData());
                    w.MarkAt("AT+C#SPUT=1");
                  },
                  {},
                  true}});
}

TEST_F(FaultMatrix, RestoreUnsolicitedResultCodes) {
  Row(26, "unsolicited result codes after every answer", "restore");
  RunRestoreRow({{"RING, +CIEV, +CMTI and +CMT behind every prompt and store answer, and alone",
                  [](TPhoneSimulator& p, TFaultWatch& w) { p.Faults().SetUnsolicited(kUnsolicited); w.MarkAt("AT+C#SPUT=1"); },
                  {}, true}});
}

TEST_F(FaultMatrix, RestoreCablePulledDuringAStoreCommand) {
  Row(19, "cable pulled: store command", "restore");
  undo_ = PlugBackIn;
  RunRestoreRow({{"after 5 bytes of the first contact's store command",
                  [](TPhoneSimulator& p, TFaultWatch& w) {
                    p.Faults().Add(OnStore(TFault::PullCable(5), 0));
                    w.MarkAt("AT+C#SPUT=0");
                  },
                  {ErrorBox("ERROR: Connection to phone lost.")},
                  false,
                  false}});
}

TEST_F(FaultMatrix, RestoreCablePulledDuringAStoresData) {
  Row(20, "cable pulled: store data", "restore");
  undo_ = PlugBackIn;
  TStep step{"once the first event's data has reached the phone",
             [](TPhoneSimulator& p, TFaultWatch& w) {
               p.Faults().Add(OnStoreData(TFault::PullCable(0), 2));
               w.MarkAt("AT+C#SPUT=2", 1, true);
             },
             {ErrorBox("ERROR: Connection to phone lost.")},
             false,
             false};
  step.MayHoldUnanswered = true;
  RunRestoreRow({step});
}

TEST_F(FaultMatrix, RestoreCablePulledDuringALongEntry) {
  Row(24, "cable pulled: a 16 KB entry's data", "restore");
  undo_ = PlugBackIn;
  // The phone takes none of the data for 300 ms, as a line slower than the program
  // would: the program has written what the line and its buffer hold and waits for
  // room when the cable goes.
  RunRestoreRow({{"while the first contact's data (a 16 KB note) goes out",
                  [](TPhoneSimulator& p, TFaultWatch& w) {
                    p.Faults().Add(OnStore(TFault::PullCableAfterAnswer(300), 0));
                    w.MarkAt("AT+C#SPUT=0");
                  },
                  {ErrorBox("ERROR: Connection to phone lost.")},
                  false,
                  false}},
                GeneratedPhone(2, 4, 2, 2, 4, 16384).BackupText());
}

// A second ZARVO tries the port while the restore runs: it is refused, and the restore
// does not notice.
TEST_F(FaultMatrix, RestorePortInUseBySecondZarvo) {
  Row(21, "port in use by a second ZARVO (" + AsWhom() + ")", "restore");
  const QString file = ports.File("backup.zrv");
  Content().WriteBackupFile(file.toStdString());
  const std::string saved = FileText(file);
  const TEntryLists filed = Filed(file);
  TPhoneSimulator phone(TSimContent::Empty(), OnPort(ports, 4));
  TExceptionRecorder report;
  TApp app;
  app.Main.RestoreTimeoutMs = RestoreTimeoutMs;
  app.Read();
  ASSERT_TRUE(app.Main.btnLoad->isEnabled());
  TSecondZarvo other(phone.SlavePath(), false);
  ASSERT_EQ(other.Failure(), "");

  TFaultWatch watch(phone);
  watch.RunAfter("AT+C#SPUT=", 1, [&] { other.Send("read"); });
  app.Load(file);
  const auto refused = other.Wait(60000);
  ASSERT_TRUE(refused);
  CheckShown(TakeShown(app, report), {});
  CheckShown(refused->Shown, {Report(CantOpen("COM4", other.PortLink(), phone.SlavePath(), EBUSY))});
  row_.Message = "second ZARVO: " + Describe(refused->Shown);
  CheckSeconds(refused->Seconds);
  CheckControls(app, true, false, true);
  NoteCheck(row_.Controls, Checked([&] {
              EXPECT_TRUE(refused->Read && refused->Exit && refused->Ports && refused->Window);
              EXPECT_FALSE(refused->Save || refused->Load || refused->ProgressShown || refused->PortOpen);
            }));
  NoteCheck(row_.NothingLost, Checked([&] {
              EXPECT_EQ(FileText(file), saved);
              ExpectRestoreKept(app.Main.Lists(), filed, phone, false);
              for (int type : {0, 1, 2, 9})
                EXPECT_EQ(phone.Entries(type).size(), Content().List(type).size()) << "every entry stored, type " << type;
            }));
  CheckNextRead(app, report, phone);
}

TEST_F(FaultMatrix, RestoreDeviceThatDoesNotExist) {
  Row(22, "device that does not exist", "restore");
  const QString file = ports.File("backup.zrv");
  Content().WriteBackupFile(file.toStdString());
  const std::string saved = FileText(file);
  const TEntryLists filed = Filed(file);
  TPhoneSimulator phone(TSimContent::Empty(), OnPort(ports, 4));
  TExceptionRecorder report;
  TApp app;
  app.Main.RestoreTimeoutMs = RestoreTimeoutMs;
  app.Read();
  ASSERT_TRUE(app.Main.btnLoad->isEnabled());
  // While the user picks the file, the adapter goes: the line and the device node. The
  // window notices the hang-up by itself and closes the port.
  const std::string line = phone.SlavePath();
  phone.PullCable();
  ASSERT_TRUE(phone.WaitForCable(false, 5000));
  ASSERT_TRUE(PumpUntil([&] { return !app.Main.VaComm().IsOpen(); }, 5000));
  ASSERT_FALSE(QFile::exists(QString::fromStdString(line)));

  TFaultWatch watch(phone);
  watch.MarkNow();
  app.Load(file);
  const auto end = TMatrixClock::now();
  CheckShown(TakeShown(app, report), {ErrorBox("ERROR: Connection to phone lost.")});
  CheckSeconds(watch.Seconds(end));
  CheckControls(app, false, false, false);
  NoteCheck(row_.NothingLost, Checked([&] {
              EXPECT_EQ(FileText(file), saved);
              ExpectRestoreKept(app.Main.Lists(), filed, phone, false);
            }));
  undo_ = PlugBackIn;
  CheckNextRead(app, report, phone);
}

TEST_F(FaultMatrix, RestoreDeviceTheUserMayNotOpen) {
  Row(23, "device the user may not open", "restore");
  const QString file = ports.File("backup.zrv");
  Content().WriteBackupFile(file.toStdString());
  const std::string saved = FileText(file);
  const TEntryLists filed = Filed(file);
  TPhoneSimulator phone(TSimContent::Empty(), OnPort(ports, 4));
  const std::string line = phone.SlavePath();
  TExceptionRecorder report;
  TApp app;
  app.Main.RestoreTimeoutMs = RestoreTimeoutMs;
  app.Read();
  ASSERT_TRUE(app.Main.btnLoad->isEnabled());
  // A user who may not open the device tries it while the restore runs: root's program
  // keeps its port, the other is refused for the device's mode.
  const bool root = ::geteuid() == 0;
  struct stat before {};
  ASSERT_EQ(::stat(line.c_str(), &before), 0);
  if (!root) {
    row_.Note = "as this user (not root), device mode 000";
    ASSERT_EQ(::chmod(line.c_str(), 0), 0);
  }
  TSecondZarvo other(line, root);
  if (other.CouldNotDropPrivileges()) {
    row_.Note = "skipped: " + other.Failure();
    GTEST_SKIP() << other.Failure();
  }
  ASSERT_EQ(other.Failure(), "");

  TFaultWatch watch(phone);
  watch.RunAfter("AT+C#SPUT=", 1, [&] { other.Send("read"); });
  app.Load(file);
  const auto refused = other.Wait(60000);
  ASSERT_TRUE(refused);
  CheckShown(TakeShown(app, report), {});
  CheckShown(refused->Shown, {Report(CantOpen("COM4", other.PortLink(), line, EACCES))});
  row_.Message = "other user: " + Describe(refused->Shown);
  CheckSeconds(refused->Seconds);
  CheckControls(app, true, false, true);
  NoteCheck(row_.Controls, Checked([&] {
              EXPECT_TRUE(refused->Read && refused->Exit && refused->Ports && refused->Window);
              EXPECT_FALSE(refused->Save || refused->Load || refused->ProgressShown || refused->PortOpen);
            }));
  if (!root) ::chmod(line.c_str(), before.st_mode & 07777);
  NoteCheck(row_.NothingLost, Checked([&] {
              EXPECT_EQ(FileText(file), saved);
              ExpectRestoreKept(app.Main.Lists(), filed, phone, false);
              for (int type : {0, 1, 2, 9})
                EXPECT_EQ(phone.Entries(type).size(), Content().List(type).size()) << "every entry stored, type " << type;
            }));
  CheckNextRead(app, report, phone);
}
