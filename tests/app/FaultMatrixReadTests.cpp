// The fault matrix, during a read: one test per row (FaultMatrix.h tells what each
// checks). The faults hit different commands of the read, so that between them the
// rows cover the identity, the data mode, every listing and fetches of every kind.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "FaultMatrix.h"

namespace {

const std::string kGarbage("\x00\x11\xff~#\x1b[0m noise", 15);

std::string Id(std::int32_t id) { return std::to_string(id); }

// The whole answer to "AT+C#SGET=" for an entry, echo included, as the phone sends it.
std::size_t FetchAnswerSize(int type, const TSimEntry& e) {
  const std::string arguments = std::to_string(type) + "," + Id(e.Id);
  const std::string echo = "AT+C#SGET=" + arguments + "\r\n";
  const std::string answer = "\r\n+C#SGET: " + arguments + "\r\n" + e.Data + "\r\nOK\r\n";
  return echo.size() + answer.size();
}

// A failing first command of the data mode: the read has not fetched anything yet.
TStep OnDataModeOn(std::string name, std::vector<TFault> faults, TShown shown) {
  return {std::move(name),
          [faults](TPhoneSimulator& p, TFaultWatch& w) {
            for (const TFault& f : faults) p.Faults().Add(TFault(f).On("AT+C#SMDE=1").Once());
            w.MarkAt("AT+C#SMDE=1");
          },
          {std::move(shown)}};
}

// Echo of "AT+C#SMDE=1" with its CR LF: where the answer's own bytes begin.
constexpr std::size_t kDataModeEcho = 13;

}  // namespace

TEST_F(FaultMatrix, ReadErrorAnswer) {
  Row(1, "ERROR", "read");
  RunReadRow({{"ERROR to the second contact's fetch",
               [](TPhoneSimulator& p, TFaultWatch& w) {
                 const std::int32_t id = p.Entries(0)[1].Id;
                 p.Faults().Add(TFault::Error().On("AT+C#SGET=0").ForEntry(id));
                 w.MarkAt("AT+C#SGET=0," + Id(id));
               },
               {ErrorBox("ERROR: Invalid command.")}}});
}

TEST_F(FaultMatrix, ReadKnownPhoneError) {
  Row(2, "+CME ERROR: n, known n (21)", "read");
  RunReadRow({{"+CME ERROR: 21 to the events' listing",
               [](TPhoneSimulator& p, TFaultWatch& w) {
                 p.Faults().CmeErrorOn("AT+C#SLST=2", 21);
                 w.MarkAt("AT+C#SLST=2");
               },
               {ErrorBox("+CME ERROR 21: Invalid index.")}}});
}

TEST_F(FaultMatrix, ReadUnknownPhoneError) {
  Row(3, "+CME ERROR: n, unknown n (99)", "read");
  RunReadRow({{"+CME ERROR: 99 to the first event's fetch",
               [](TPhoneSimulator& p, TFaultWatch& w) {
                 p.Faults().CmeErrorOn("AT+C#SGET=2", 99);
                 w.MarkAt("AT+C#SGET=2");
               },
               {ErrorBox("+CME ERROR 99: .")}}});
}

TEST_F(FaultMatrix, ReadNoAnswer) {
  Row(4, "no answer", "read");
  RunReadRow({{"no answer to the first ring tone's fetch",
               [](TPhoneSimulator& p, TFaultWatch& w) {
                 p.Faults().NoAnswerOn("AT+C#SGET=9");
                 w.MarkAt("AT+C#SGET=9");
               },
               {ErrorBox("ERROR: No answer from phone (timeout).")}}});
}

TEST_F(FaultMatrix, ReadAnswerThatStartsAndStops) {
  Row(5, "answer starts and stops", "read");
  RunReadRow({{"the second group's fetch stops before its OK",
               [](TPhoneSimulator& p, TFaultWatch& w) {
                 const std::int32_t id = p.Entries(1)[1].Id;
                 p.Faults().Add(TFault::NeverFinish().On("AT+C#SGET=1").ForEntry(id));
                 w.MarkAt("AT+C#SGET=1," + Id(id));
               },
               {ErrorBox("ERROR: No answer from phone (timeout).")}}});
}

TEST_F(FaultMatrix, ReadEveryTerminatorSplitAtEveryByte) {
  Row(6, "terminators split at every byte", "read");
  auto everyByte = [](TFault f) { return std::vector<TFault>{std::move(f), TFault::EveryByte()}; };
  RunReadRow({{"OK: the data mode query, one byte a piece",
               [](TPhoneSimulator& p, TFaultWatch& w) {
                 p.Faults().Add(TFault::EveryByte().On("AT+C#SMDE?").Once());
                 w.MarkAt("AT+C#SMDE?");
               },
               {},
               true},
              OnDataModeOn("ERROR, one byte a piece", everyByte(TFault::Error()), ErrorBox("ERROR: Invalid command.")),
              OnDataModeOn("+CME ERROR: 21, one byte a piece", everyByte(TFault::CmeError(21)),
                           ErrorBox("+CME ERROR 21: Invalid index."))});
}

TEST_F(FaultMatrix, ReadOkCutAtEachPosition) {
  Row(7, "\"\\r\\nOK\\r\\n\" cut at each position", "read");
  RunReadRow({{"OK cut at 1 to 5 in fetches of groups, a contact, an event and a ring tone",
               [](TPhoneSimulator& p, TFaultWatch& w) {
                 const std::pair<int, TSimEntry> fetches[] = {{1, p.Entries(1)[0]}, {1, p.Entries(1)[1]},
                                                              {0, p.Entries(0)[0]}, {2, p.Entries(2)[0]},
                                                              {9, p.Entries(9)[0]}};
                 std::size_t k = 1;
                 for (const auto& [type, entry] : fetches) {
                   const std::size_t okAt = FetchAnswerSize(type, entry) - 6;
                   p.Faults().Add(TFault::CutAt({okAt + k++})
                                      .On("AT+C#SGET=" + std::to_string(type))
                                      .ForEntry(entry.Id)
                                      .Once());
                 }
                 w.MarkAt("AT+C#SGET=1");
               },
               {},
               true,
               true,
               0,
               false,
               [](TPhoneSimulator& p) { EXPECT_EQ(p.Faults().RuleCount(), 0u) << "every cut was used"; }}});
}

TEST_F(FaultMatrix, ReadErrorCutAtEachPosition) {
  Row(8, "\"\\r\\nERROR\\r\\n\" cut at each position", "read");
  std::vector<TStep> steps;
  for (std::size_t k = 1; k < 9; ++k)
    steps.push_back(OnDataModeOn("ERROR cut at " + std::to_string(k),
                                 {TFault::Error(), TFault::CutAt({kDataModeEcho + k})},
                                 ErrorBox("ERROR: Invalid command.")));
  RunReadRow(steps);
}

TEST_F(FaultMatrix, ReadPhoneErrorCutAtEachPosition) {
  Row(9, "\"\\r\\n+CME ERROR: 21\\r\\n\" cut at each position", "read");
  std::vector<TStep> steps;
  for (std::size_t k = 1; k < 18; ++k)
    steps.push_back(OnDataModeOn("+CME ERROR: 21 cut at " + std::to_string(k),
                                 {TFault::CmeError(21), TFault::CutAt({kDataModeEcho + k})},
                                 ErrorBox("+CME ERROR 21: Invalid index.")));
  RunReadRow(steps);
}

TEST_F(FaultMatrix, ReadSlowPhone) {
  Row(10, "slow phone (4.5 s, inside 5 s)", "read");
  RunReadRow({{"the third contact's fetch begins after 4.5 s",
               [](TPhoneSimulator& p, TFaultWatch& w) {
                 const std::int32_t id = p.Entries(0)[2].Id;
                 p.Faults().Add(TFault::Slow(ReadTimeoutMs - 500).On("AT+C#SGET=0").ForEntry(id));
                 w.MarkAt("AT+C#SGET=0," + Id(id));
               },
               {},
               true}});
}

TEST_F(FaultMatrix, ReadWrongIdentity) {
  Row(11, "wrong identity", "read");
  RunReadRow({{"another maker's phone",
               [](TPhoneSimulator& p, TFaultWatch& w) {
                 p.Faults().WrongIdentity = true;
                 w.MarkAt("AT+CGSN");
               },
               {ErrorBox("ERROR: No Siemens S40 detected.")},
               false,
               false}});
}

TEST_F(FaultMatrix, ReadTotalsThatDisagree) {
  Row(12, "totals that disagree", "read");
  RunReadRow({{"every total off",
               [](TPhoneSimulator& p, TFaultWatch& w) {
                 p.Faults().GroupsTotalDelta = 1;
                 p.Faults().ContactsTotalDelta = -1;
                 p.Faults().EventsTotalDelta = 2;
                 w.MarkAt("AT+C#SMDE=1");
               },
               {WarningBox("Groups data inconsistent!"), WarningBox("Contacts data inconsistent!"),
                WarningBox("Events data inconsistent!")},
               true}});
}

TEST_F(FaultMatrix, ReadMissingFactoryRingTones) {
  Row(13, "missing factory ring tones", "read");
  RunReadRow({{"30 factory ring tones listed",
               [](TPhoneSimulator& p, TFaultWatch& w) {
                 p.Faults().FactoryRingTones = 30;
                 w.MarkAt("AT+C#SLST=9");
               },
               {WarningBox("One or more factory ring tones are missing!")},
               true,
               true,
               0,
               false,
               [](TPhoneSimulator& p) {
                 EXPECT_EQ(CountOf(p.Commands(), "AT+C#SGET=9"), 0u) << "no ring tone is fetched";
               }}});
}

TEST_F(FaultMatrix, ReadBadRingToneRecord) {
  Row(14, "bad ring tone record", "read");
  RunReadRow({{"byte 46 of the first ring tone is 0",
               [](TPhoneSimulator& p, TFaultWatch& w) {
                 p.Faults().BadRingToneRecord(p.Entries(9).front().Id);
                 w.MarkAt("AT+C#SGET=9");
               },
               {WarningBox("Ring tone data inconsistent!")},
               true,
               true,
               1,
               false,
               [](TPhoneSimulator& p) {
                 EXPECT_EQ(CountOf(p.Commands(), "AT+C#SGET=9"), 1u) << "the fetching ends at the bad record";
               }}});
}

TEST_F(FaultMatrix, ReadGarbageBetweenAnswers) {
  Row(15, "garbage bytes between answers", "read");
  RunReadRow({{"noise after every answer",
               [](TPhoneSimulator& p, TFaultWatch& w) {
                 p.Faults().GarbageAfter("", kGarbage);
                 w.MarkAt("AT+C#SLST=1");
               },
               {},
               true}});
}

TEST_F(FaultMatrix, ReadCablePulledDuringTheIdentity) {
  Row(16, "cable pulled: identity", "read");
  undo_ = PlugBackIn;
  RunReadRow({{"after 12 bytes of the identity",
               [](TPhoneSimulator& p, TFaultWatch& w) {
                 p.Faults().PullCableAfterBytes("AT+CGSN", 12);
                 w.MarkAt("AT+CGSN");
               },
               {ErrorBox("ERROR: Connection to phone lost.")},
               false,
               false}});
}

TEST_F(FaultMatrix, ReadCablePulledDuringAListing) {
  Row(17, "cable pulled: listing", "read");
  undo_ = PlugBackIn;
  RunReadRow({{"inside the contacts' listing, in its binary part",
               [](TPhoneSimulator& p, TFaultWatch& w) {
                 p.Faults().PullCableAfterBytes("AT+C#SLST=0", 33);
                 w.MarkAt("AT+C#SLST=0");
               },
               {ErrorBox("ERROR: Connection to phone lost.")},
               false,
               false}});
}

TEST_F(FaultMatrix, ReadCablePulledDuringAFetch) {
  Row(18, "cable pulled: fetch", "read");
  undo_ = PlugBackIn;
  RunReadRow({{"inside the first event's vCalendar",
               [](TPhoneSimulator& p, TFaultWatch& w) {
                 p.Faults().PullCableAfterBytes("AT+C#SGET=2", 60);
                 w.MarkAt("AT+C#SGET=2");
               },
               {ErrorBox("ERROR: Connection to phone lost.")},
               false,
               false}});
}

TEST_F(FaultMatrix, ReadPauseInsideAnEntry) {
  Row(25, "pause inside an entry (4.5 s after a line \"OK\")", "read");
  RunReadRow({{"the first contact's folded note pauses after its line OK",
               [](TPhoneSimulator& p, TFaultWatch& w) {
                 const std::int32_t id = p.Entries(0)[0].Id;
                 p.Faults().FoldResultCodes = true;
                 p.Faults().Add(TFault::PauseAfterLine("OK", ReadTimeoutMs - 500).On("AT+C#SGET=0").ForEntry(id));
                 w.MarkAt("AT+C#SGET=0," + Id(id));
               },
               {}, true}},
             GeneratedPhone(2, 4, 2, 2, 4, 0, true));
}

TEST_F(FaultMatrix, ReadUnsolicitedResultCodes) {
  Row(26, "unsolicited result codes after every answer", "read");
  RunReadRow({{"RING, +CIEV, +CMTI and +CMT behind every answer and as pieces of their own",
               [](TPhoneSimulator& p, TFaultWatch& w) { p.Faults().SetUnsolicited(kUnsolicited); w.MarkAt("AT+CGSN"); },
               {}, true, true, 0, false,
               [](TPhoneSimulator& p) { EXPECT_EQ(CountOf(p.Commands(), "AT+C#SMDE=0"), 0u) << "data mode misread"; }}});
}

TEST_F(FaultMatrix, ReadEntryNotWhole) {
  Row(27, "fetched entry not whole (END line left out)", "read");
  const TSimEntry contact = Content().List(0)[1];
  RunReadRow({{"the second contact without its END:VCARD",
               [contact](TPhoneSimulator& p, TFaultWatch& w) {
                 p.Faults().Add(TFault::LeaveOutLine("END:VCARD").On("AT+C#SGET=0").ForEntry(contact.Id));
                 w.MarkAt("AT+C#SGET=0," + Id(contact.Id));
               },
               {WarningBox("These entries did not come whole from the phone and are kept as they came:\ncontact " +
                           Id(contact.Id) + " \"Contact\xe4" "2;First\"")}, true}});
}

TEST_F(FaultMatrix, ReadPortInUseByASecondZarvo) {
  Row(21, "port in use by a second ZARVO (" + AsWhom() + ")", "read");
  TPhoneSimulator phone(Content(), OnPort(ports, 4));
  const std::string onPhone = phone.BackupText();
  // The second ZARVO reads the phone and keeps the port, as the program does.
  auto other = std::make_unique<TSecondZarvo>(phone.SlavePath(), false);
  ASSERT_EQ(other->Failure(), "");
  const auto held = other->Run("read", 60000);
  ASSERT_TRUE(held);
  ASSERT_EQ(held->Shown, std::vector<TShown>{});
  ASSERT_TRUE(held->PortOpen);

  TExceptionRecorder report;
  TApp app;
  TFaultWatch watch(phone);
  watch.MarkNow();
  app.Read();
  const auto end = TMatrixClock::now();
  CheckShown(TakeShown(app, report), {Report(CantOpen("COM4", ports.Path(4), phone.SlavePath(), EBUSY))});
  CheckSeconds(watch.Seconds(end));
  CheckControls(app, false, false, false);
  NoteCheck(row_.NothingLost, Checked([&] {
              EXPECT_EQ(app.Main.TreeView().topLevelItemCount(), 0);
              EXPECT_EQ(phone.BackupText(), onPhone);
            }));
  // The second ZARVO ends (its closing lets go of the port); then Read works.
  undo_ = [&](TPhoneSimulator&) { other.reset(); };
  CheckNextRead(app, report, phone);
}

TEST_F(FaultMatrix, ReadDeviceThatDoesNotExist) {
  Row(22, "device that does not exist", "read");
  TPhoneSimulator phone(Content(), OnPort(ports, 4));
  const std::string onPhone = phone.BackupText();
  // The adapter is gone: its line, and the device node with it.
  const std::string line = phone.SlavePath();
  phone.PullCable();
  ASSERT_TRUE(phone.WaitForCable(false, 5000));
  ASSERT_FALSE(QFile::exists(QString::fromStdString(line)));

  TExceptionRecorder report;
  TApp app;
  TFaultWatch watch(phone);
  watch.MarkNow();
  app.Read();
  const auto end = TMatrixClock::now();
  CheckShown(TakeShown(app, report), {Report(NotFound("COM4", ports.Path(4), line))});
  CheckSeconds(watch.Seconds(end));
  CheckControls(app, false, false, false);
  NoteCheck(row_.NothingLost, Checked([&] { EXPECT_EQ(phone.BackupText(), onPhone); }));
  undo_ = PlugBackIn;
  CheckNextRead(app, report, phone);
}

TEST_F(FaultMatrix, ReadDeviceTheUserMayNotOpen) {
  Row(23, "device the user may not open", "read");
  TPhoneSimulator phone(Content(), OnPort(ports, 4));
  const std::string onPhone = phone.BackupText();
  const std::string line = phone.SlavePath();
  if (::geteuid() != 0) {
    // Not root: this user is kept out by the device's mode, as by another group's.
    row_.Note = "as this user (not root), device mode 000";
    struct stat before {};
    ASSERT_EQ(::stat(line.c_str(), &before), 0);
    ASSERT_EQ(::chmod(line.c_str(), 0), 0);
    TExceptionRecorder report;
    TApp app;
    TFaultWatch watch(phone);
    watch.MarkNow();
    app.Read();
    const auto end = TMatrixClock::now();
    CheckShown(TakeShown(app, report), {Report(CantOpen("COM4", ports.Path(4), line, EACCES))});
    CheckSeconds(watch.Seconds(end));
    CheckControls(app, false, false, false);
    NoteCheck(row_.NothingLost, Checked([&] { EXPECT_EQ(phone.BackupText(), onPhone); }));
    undo_ = [&](TPhoneSimulator&) { ::chmod(line.c_str(), before.st_mode & 07777); };
    CheckNextRead(app, report, phone);
    return;
  }
  // Root may open anything: the user is nobody, in a second ZARVO that drops to uid 65534.
  TSecondZarvo nobody(line, true);
  if (nobody.CouldNotDropPrivileges()) {
    row_.Note = "skipped: " + nobody.Failure();
    GTEST_SKIP() << nobody.Failure();
  }
  ASSERT_EQ(nobody.Failure(), "");
  const auto refused = nobody.Run("read", 60000);
  ASSERT_TRUE(refused);
  CheckShown(refused->Shown, {Report(CantOpen("COM4", nobody.PortLink(), line, EACCES))});
  CheckSeconds(refused->Seconds);
  NoteCheck(row_.Controls, Checked([&] {
              EXPECT_TRUE(refused->Read && refused->Exit && refused->Ports && refused->Window);
              EXPECT_FALSE(refused->Save || refused->Load || refused->ProgressShown || refused->PortOpen);
            }));
  NoteCheck(row_.NothingLost, Checked([&] { EXPECT_EQ(phone.BackupText(), onPhone); }));
  // The user may open the device now: the same window reads the phone.
  ASSERT_EQ(::chmod(line.c_str(), 0666), 0);
  const auto again = nobody.Run("read", 60000);
  NoteCheck(row_.NextRead, Checked([&] {
              ASSERT_TRUE(again);
              EXPECT_EQ(again->Shown, std::vector<TShown>{});
              EXPECT_TRUE(again->Save && again->PortOpen && again->Read && again->Window);
              EXPECT_FALSE(again->Load || again->ProgressShown);
            }));
}
