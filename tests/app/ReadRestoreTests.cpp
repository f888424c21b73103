// The read and the restore end to end: the real main window and progress window,
// offscreen, the real serial component and exchange, and the simulated phone on a
// pseudo-terminal reached through the port map. Each test presses the buttons as a user
// would and checks the tree, the lists, the messages, the buttons and what the phone saw
// or stored.
#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "AppHarness.h"
#include "PhoneCommands.h"

namespace {

// The phone's identifiers differ from phone to phone; everything else of a backup must
// come back byte for byte.
std::string WithoutIdentifiers(const std::string& backup) {
  std::string out;
  std::size_t start = 0;
  while (start < backup.size()) {
    std::size_t end = backup.find('\n', start);
    end = end == std::string::npos ? backup.size() : end + 1;
    std::string line = backup.substr(start, end - start);
    for (const char* label : {"UID:", "X-ZARVO-RINGTONE-UID:"})
      if (line.rfind(label, 0) == 0) line = std::string(label) + "#\r\n";
    out += line;
    start = end;
  }
  return out;
}

class ReadRestore : public TAppTest {};

TEST_F(ReadRestore, ReadsTheSamplePhoneIntoListsAndTree) {
  TPhoneSimulator phone(TSimContent::Sample(), OnPort(ports, 4));
  TApp app;
  app.Read();
  EXPECT_EQ(app.Texts(), std::vector<QString>{});
  app.ExpectUnlocked();
  app.ExpectSaveLoad(true, false);

  // The lists hold every entry in the phone's order, with the listed identifiers.
  const TEntryLists& lists = app.Main.Lists();
  const auto groups = phone.Entries(1), contacts = phone.Entries(0), events = phone.Entries(2),
             tones = phone.Entries(9);
  ASSERT_EQ(lists.Groups.size(), groups.size());
  ASSERT_EQ(lists.Contacts.size(), contacts.size());
  ASSERT_EQ(lists.Events.size(), events.size());
  ASSERT_EQ(lists.RingTones.size(), FactoryRingToneCount + tones.size());
  for (std::size_t i = 0; i < groups.size(); ++i) EXPECT_EQ(lists.Groups[i].UID, groups[i].Id);
  for (std::size_t i = 0; i < contacts.size(); ++i) EXPECT_EQ(lists.Contacts[i].UID, contacts[i].Id);
  for (std::size_t i = 0; i < tones.size(); ++i) {
    EXPECT_EQ(lists.RingTones[FactoryRingToneCount + i].UID, tones[i].Id);
    EXPECT_FALSE(lists.RingTones[FactoryRingToneCount + i].Data.empty());
  }
  for (const TGroup& g : lists.Groups) EXPECT_EQ(g.GroupID, g.UID - GroupIdOffset) << g.Name;

  // The tree: the four fixed nodes, the groups first below "Address book" carrying
  // their group identifiers, each contact below its group or directly below the book.
  QTreeWidget& tree = app.Main.TreeView();
  ASSERT_EQ(tree.topLevelItemCount(), 1);
  QTreeWidgetItem* root = tree.topLevelItem(0);
  EXPECT_EQ(root->text(0), QStringLiteral("Siemens S40"));
  EXPECT_EQ(NodeImage(root), imgPhone);
  EXPECT_EQ(tree.currentItem(), root);
  ASSERT_EQ(root->childCount(), 3);
  const char* fixed[] = {"Address book", "Calendar", "Custom ring tones"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(root->child(i)->text(0), QString::fromLatin1(fixed[i]));
    EXPECT_EQ(NodeImage(root->child(i)), imgAddressBook + i);
    EXPECT_TRUE(root->child(i)->isExpanded());
  }
  QTreeWidgetItem* book = root->child(0);
  std::map<std::int32_t, QTreeWidgetItem*> groupNodes;
  for (std::size_t i = 0; i < lists.Groups.size(); ++i) {
    QTreeWidgetItem* node = book->child(static_cast<int>(i));
    EXPECT_EQ(NodeImage(node), imgGroup);
    EXPECT_EQ(node->text(0), QString::fromLatin1(lists.Groups[i].Name.c_str()));
    EXPECT_EQ(NodeGroupId(node), lists.Groups[i].GroupID);
    groupNodes[lists.Groups[i].GroupID] = node;
  }
  int ungrouped = 0, grouped = 0;
  for (const TContact& c : lists.Contacts) {
    QTreeWidgetItem* parent = c.GroupID == -1 ? book : groupNodes.at(c.GroupID);
    const QString name = QString::fromLatin1(c.Name.c_str());
    bool found = false;
    for (int i = 0; i < parent->childCount(); ++i)
      found |= parent->child(i)->text(0) == name && NodeImage(parent->child(i)) == imgContact;
    EXPECT_TRUE(found) << c.Name;
    (c.GroupID == -1 ? ungrouped : grouped) += 1;
  }
  EXPECT_GT(ungrouped, 0);
  EXPECT_GT(grouped, 0);
  EXPECT_EQ(root->child(1)->childCount(), static_cast<int>(events.size()));
  EXPECT_EQ(root->child(2)->childCount(), static_cast<int>(tones.size()));
  for (int i = 0; i < root->child(2)->childCount(); ++i) EXPECT_EQ(NodeImage(root->child(2)->child(i)), imgRingTone);

  // The progress window ended with every kind done.
  EXPECT_EQ(app.Progress.lblGroups->text(), QStringLiteral("%1 of %1 groups.").arg(groups.size()));
  EXPECT_EQ(app.Progress.lblContacts->text(), QStringLiteral("%1 of %1 contacts.").arg(contacts.size()));
  EXPECT_EQ(app.Progress.lblEvents->text(), QStringLiteral("%1 of %1 events.").arg(events.size()));
  EXPECT_EQ(app.Progress.lblRingTones->text(), QStringLiteral("%1 of %1 custom ring tones.").arg(tones.size()));

  // The conversation: detection, data mode, the listings in their order, the fetches.
  std::vector<std::string> commands = phone.Commands();
  ASSERT_GE(commands.size(), 7u);
  EXPECT_EQ(std::vector<std::string>(commands.begin(), commands.begin() + 4),
            (std::vector<std::string>{"AT+CGSN", "AT+C#SMDE?", "AT+C#SMDE=1", "AT+C#SLST=1"}));
  EXPECT_EQ(CountOf(commands, "AT+C#SGET=9,"), tones.size()) << "only custom ring tones are fetched";
  EXPECT_TRUE(app.Main.VaComm().IsOpen());
  EXPECT_TRUE(phone.DataMode());

  // A second read on the same port skips the detection and switches data mode off and
  // on again; it finds the same entries.
  const std::size_t before = commands.size();
  app.Read();
  EXPECT_EQ(app.Texts(), std::vector<QString>{});
  commands = phone.Commands();
  ASSERT_GT(commands.size(), before + 3);
  EXPECT_EQ(std::vector<std::string>(commands.begin() + static_cast<long>(before),
                                     commands.begin() + static_cast<long>(before) + 3),
            (std::vector<std::string>{"AT+C#SMDE?", "AT+C#SMDE=0", "AT+C#SMDE=1"}));
  EXPECT_EQ(CountOf(commands, "AT+CGSN"), 1u);
  EXPECT_EQ(app.Main.Lists().Contacts.size(), contacts.size());
}

TEST_F(ReadRestore, AnotherPortSwitchesTheOldPhoneOffFirst) {
  TPhoneSimulator first(TSimContent::Sample(), OnPort(ports, 4));
  TPhoneSimulator second(TSimContent::Empty(), OnPort(ports, 5));
  TApp app;
  app.Read(4);
  ASSERT_TRUE(first.DataMode());
  const std::size_t before = first.Commands().size();
  app.Read(5);
  EXPECT_EQ(app.Texts(), std::vector<QString>{});
  EXPECT_EQ(app.Main.VaComm().PortNum(), 5);
  const auto old = first.Commands();
  EXPECT_EQ(std::vector<std::string>(old.begin() + static_cast<long>(before), old.end()),
            (std::vector<std::string>{"AT+C#SMDE?", "AT+C#SMDE=0"}));
  EXPECT_FALSE(first.DataMode());
  ASSERT_FALSE(second.Commands().empty());
  EXPECT_EQ(second.Commands().front(), "AT+CGSN");
  // The empty phone: nothing to save, Load offered.
  app.ExpectSaveLoad(false, true);
  EXPECT_EQ(app.Main.Lists().RingTones.size(), FactoryRingToneCount);
}

// Each way a read can go wrong: the message the user sees, the buttons, the port.
TEST_F(ReadRestore, FailuresOfTheRead) {
  struct TCase {
    const char* Name;
    std::function<void(TPhoneSimulator&)> Fault;
    std::vector<QString> Messages;
    bool Save, Load, PortOpen;
  };
  const std::vector<TCase> cases = {
      {"ERROR answer", [](TPhoneSimulator& p) { p.Faults().ErrorOn("AT+C#SLST=0"); },
       Q({"ERROR: Invalid command."}), false, false, true},
      {"known phone error", [](TPhoneSimulator& p) { p.Faults().CmeErrorOn("AT+C#SGET=0", 21); },
       Q({"+CME ERROR 21: Invalid index."}), false, false, true},
      {"unknown phone error", [](TPhoneSimulator& p) { p.Faults().CmeErrorOn("AT+C#SGET=2", 99); },
       Q({"+CME ERROR 99: ."}), false, false, true},
      {"another maker's phone", [](TPhoneSimulator& p) { p.Faults().WrongIdentity = true; },
       Q({"ERROR: No Siemens S40 detected."}), false, false, false},
      {"no answer to the identity", [](TPhoneSimulator& p) { p.Faults().NoAnswerOn("AT+CGSN"); },
       Q({"ERROR: No answer from phone (timeout)."}), false, false, false},
      {"totals that disagree", [](TPhoneSimulator& p) { p.Faults().ContactsTotalDelta = 2; },
       Q({"Contacts data inconsistent!"}), true, false, true},
      {"groups total off", [](TPhoneSimulator& p) { p.Faults().GroupsTotalDelta = -1; },
       Q({"Groups data inconsistent!"}), true, false, true},
      {"factory ring tones missing",
       [](TPhoneSimulator& p) { p.Faults().FactoryRingTones = 41 - static_cast<int>(p.Entries(9).size()); },
       Q({"One or more factory ring tones are missing!"}), true, false, true},
      {"bad ring tone record",
       [](TPhoneSimulator& p) { p.Faults().BadRingToneRecord(p.Entries(9).front().Id); },
       Q({"Ring tone data inconsistent!"}), true, false, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TPhoneSimulator phone(TSimContent::Sample(), OnPort(ports, 4));
    c.Fault(phone);
    TApp app;
    QElapsedTimer clock;
    clock.start();
    app.Read();
    EXPECT_LT(clock.elapsed(), 40000);
    EXPECT_EQ(app.Texts(), c.Messages);
    app.ExpectUnlocked();
    app.ExpectSaveLoad(c.Save, c.Load);
    EXPECT_EQ(app.Main.VaComm().IsOpen(), c.PortOpen);
    if (!c.PortOpen) {
      EXPECT_EQ(app.Main.TreeView().topLevelItemCount(), 0);
    }
  }
}

TEST_F(ReadRestore, DetailsOfTheInconsistentCases) {
  {
    // Fewer than 42 ring tones listed: none is fetched, the count stays as listed, and
    // Save is offered for the other entries only.
    TPhoneSimulator phone(TSimContent::Sample(), OnPort(ports, 4));
    phone.Faults().FactoryRingTones = 40 - static_cast<int>(phone.Entries(9).size());
    TApp app;
    app.Read();
    EXPECT_EQ(CountOf(phone.Commands(), "AT+C#SGET=9"), 0u);
    EXPECT_EQ(app.Progress.lblRingTones->text(), QStringLiteral("0 of 40 custom ring tones."));
    app.ExpectSaveLoad(true, false);
  }
  {
    // A bad record ends the fetching as if complete: the tone keeps what was read but
    // gets no node, and no further ring tone is asked for.
    TPhoneSimulator phone(TSimContent::Sample(), OnPort(ports, 4));
    const auto tones = phone.Entries(9);
    ASSERT_GE(tones.size(), 2u);
    phone.Faults().BadRingToneRecord(tones[1].Id, 7);
    TApp app;
    app.Read();
    EXPECT_EQ(CountOf(phone.Commands(), "AT+C#SGET=9"), 2u);
    EXPECT_EQ(app.Main.Node({TTreeNode::RingTones})->childCount(), 1);
    EXPECT_FALSE(app.Main.Lists().RingTones[FactoryRingToneCount + 1].Name.empty());
  }
}

TEST_F(ReadRestore, AMissingDeviceIsReportedAndTheWindowStaysUsable) {
  QFile::link(QStringLiteral("/nonexistent/ttyUSB9"), QString::fromStdString(ports.Path(6)));
  TExceptionRecorder report;
  TApp app;
  app.Read(6);
  ASSERT_EQ(report.Texts.size(), 1u);
  EXPECT_TRUE(report.Texts[0].startsWith(QStringLiteral("Specified device not found ("))) << Latin1(report.Texts[0]);
  EXPECT_TRUE(report.Texts[0].contains(QStringLiteral("COM6")));
  EXPECT_FALSE(app.Main.VaComm().IsOpen());
  app.ExpectUnlocked();
  app.ExpectSaveLoad(false, false);

  // Once the phone is there, the next read works.
  QFile::remove(QString::fromStdString(ports.Path(6)));
  TPhoneSimulator phone(TSimContent::Sample(), OnPort(ports, 6));
  app.Read(6);
  EXPECT_EQ(app.Texts(), std::vector<QString>{});
  EXPECT_EQ(report.Texts.size(), 1u);
  app.ExpectSaveLoad(true, false);
}

TEST_F(ReadRestore, CancelDuringTheFetchesKeepsWhatWasRead) {
  TPhoneSimulator phone(TSimContent::Sample(), OnPort(ports, 4));
  TApp app;
  TWhen second([&] { return CountOf(phone.Commands(), "AT+C#SGET=0") >= 2; },
               [&] { app.Progress.btnCancel->click(); });
  app.Read();
  EXPECT_TRUE(second.Done());
  EXPECT_EQ(app.Texts(), std::vector<QString>{});
  app.ExpectUnlocked();
  app.ExpectSaveLoad(false, false);
  const auto commands = phone.Commands();
  EXPECT_EQ(CountOf(commands, "AT+C#SGET=0"), 2u) << "the entry in hand is completed, no further one asked";
  EXPECT_EQ(CountOf(commands, "AT+C#SGET=2"), 0u);
  // The lists and the tree keep what was fetched.
  EXPECT_EQ(app.Main.Lists().Contacts.size(), phone.Entries(0).size());
  EXPECT_FALSE(app.Main.Lists().Contacts[1].Name.empty());
  EXPECT_EQ(app.Main.Node({TTreeNode::AddressBook})->childCount() > 0, true);
}

TEST_F(ReadRestore, PulledCableDuringAReadThenPluggedInAgain) {
  TPhoneSimulator phone(TSimContent::Sample(), OnPort(ports, 4));
  phone.Faults().PullCableAfterBytes("AT+C#SGET=0", 25);
  TApp app;
  QElapsedTimer clock;
  clock.start();
  app.Read();
  EXPECT_LT(clock.elapsed(), 15000);
  EXPECT_EQ(app.Texts(), Q({"ERROR: Connection to phone lost."}));
  EXPECT_FALSE(app.Main.VaComm().IsOpen()) << "the hung-up port is closed";
  app.ExpectUnlocked();
  app.ExpectSaveLoad(false, false);
  EXPECT_EQ(app.Main.Lists().Groups.size(), phone.Entries(1).size()) << "the groups read stay";
  EXPECT_FALSE(app.Main.Lists().Groups.back().Name.empty());

  phone.PlugIn();
  ASSERT_TRUE(phone.WaitForCable(true, 3000));
  app.Dialogs.Messages.clear();
  app.Read();
  EXPECT_EQ(app.Texts(), std::vector<QString>{});
  app.ExpectSaveLoad(true, false);
  EXPECT_EQ(app.Main.Lists().Contacts.size(), phone.Entries(0).size());
}

// Entries that hold lines reading as result codes, served folded so, each line ending a
// piece, and the phone pausing after a line "OK" inside them for longer than a quick
// look for more would wait: each is read whole and every later answer stays in step, so
// the backup is the one the phone gives unfolded and in one piece.
TEST_F(ReadRestore, EntriesHoldingResultCodeLinesAreReadWhole) {
  TPhoneSimulator phone(GeneratedPhone(2, 4, 2, 2, 4, 0, true), OnPort(ports, 4));
  TApp app;
  const QString plain = ports.File("plain.zrv"), folded = ports.File("folded.zrv");
  app.Read();
  app.Save(plain);
  phone.Faults().FoldResultCodes = true;
  phone.Faults().Add(TFault::PauseAfterLine("OK", 700).On("AT+C#SGET="));
  app.Read();
  app.Save(folded);
  EXPECT_EQ(app.Texts(), std::vector<QString>{});
  EXPECT_EQ(FileText(folded), FileText(plain));
  const TEntryLists& lists = app.Main.Lists();
  ASSERT_EQ(lists.Contacts.size(), 4u);
  EXPECT_EQ(lists.Contacts[2].Note, "Line one of 3\r\nline two = two > is OK");
  EXPECT_EQ(lists.Contacts[2].Country, "Land\r\nOK");
  for (const TEvent& e : lists.Events) EXPECT_TRUE(e.Description.ends_with(" +CME ERROR: 3 ERROR")) << e.Description;
  ASSERT_EQ(lists.RingTones.size(), FactoryRingToneCount + 2u);
  EXPECT_EQ(lists.RingTones.back().Name, "Tone 2");
}

// Read, save, restore onto an empty phone, read that phone, save again: the same file.
void RoundTrip(TPorts& ports, TSimContent content) {
  TPhoneSimulator full(std::move(content), OnPort(ports, 4));
  TPhoneSimulator empty(TSimContent::Empty(), OnPort(ports, 5));
  TApp app;
  const QString first = ports.File("first.zrv"), second = ports.File("second.zrv");
  app.Read(4);
  app.Save(first);
  app.Read(5);
  app.ExpectSaveLoad(false, true);
  app.Load(first);
  ASSERT_EQ(app.Texts(), std::vector<QString>{});
  app.ExpectUnlocked();
  app.ExpectSaveLoad(true, false);
  EXPECT_EQ(app.Main.Exchange().Timer().interval(), 5000) << "the restore's time-out is put back";
  for (int type : {0, 1, 2, 9}) EXPECT_EQ(empty.Entries(type).size(), full.Entries(type).size()) << type;

  // The contacts went out with their groups' new identifiers and hang below them.
  const TEntryLists& restored = app.Main.Lists();
  std::map<std::string, std::int32_t> groupIdByName;
  for (const TGroup& g : restored.Groups) {
    EXPECT_EQ(g.NewGroupID, g.UID - GroupIdOffset);
    groupIdByName[g.Name] = g.NewGroupID;
  }
  const auto stored = empty.Entries(0);
  for (std::size_t i = 0; i < restored.Contacts.size(); ++i) {
    const TContact& c = restored.Contacts[i];
    EXPECT_EQ(c.UID, stored[i].Id);
    const std::string expected = "X-SIEMENS-GROUP-ID:" + std::to_string(c.NewGroupID) + "\r\n";
    EXPECT_NE(stored[i].Sent.find(expected), std::string::npos) << c.Name;
  }

  app.Read(5);
  app.Save(second);
  EXPECT_EQ(app.Texts(), std::vector<QString>{});
  const std::string a = FileText(first), b = FileText(second);
  ASSERT_FALSE(a.empty());
  EXPECT_EQ(WithoutIdentifiers(a), WithoutIdentifiers(b));
}

TEST_F(ReadRestore, TheSamplePhoneComesBackTheSameAfterARestore) { RoundTrip(ports, TSimContent::Sample()); }

TEST_F(ReadRestore, AGeneratedPhoneWithHundredsOfEntriesComesBackTheSame) {
  RoundTrip(ports, GeneratedPhone(12, 160, 30, 4));
}

// Texts longer than the serial output buffer, which the line takes in parts: a
// contact's note and an event's description of 1, 4 and 16 KB.
TEST_F(ReadRestore, LongEntriesComeBackTheSameAfterARestore) {
  for (const std::size_t size : {1024u, 4096u, 16384u}) {
    SCOPED_TRACE(size);
    TSimContent content = GeneratedPhone(1, 1, 1, 0, 0, size);
    ASSERT_GT(content.List(0).front().Data.size(), size);
    ASSERT_GT(content.List(2).front().Data.size(), size);
    RoundTrip(ports, std::move(content));
  }
}

TEST_F(ReadRestore, CancelAndPulledCableDuringARestore) {
  TPhoneSimulator full(TSimContent::Sample(), OnPort(ports, 4));
  TApp app;
  const QString file = ports.File("sample.zrv");
  app.Read(4);
  app.Save(file);
  const std::size_t groups = full.Entries(1).size();

  {
    // Cancel while the second contact is stored: it is completed and shown, no further
    // entry of any kind goes out.
    TPhoneSimulator empty(TSimContent::Empty(), OnPort(ports, 5));
    app.Read(5);
    TWhen second([&] { return CountOf(empty.Commands(), "AT+C#SPUT=0") >= 2; },
                 [&] { app.Progress.btnCancel->click(); });
    app.Load(file);
    EXPECT_TRUE(second.Done());
    EXPECT_EQ(app.Texts(), std::vector<QString>{});
    app.ExpectUnlocked();
    app.ExpectSaveLoad(false, false);
    EXPECT_EQ(empty.Entries(1).size(), groups);
    EXPECT_EQ(empty.Entries(0).size(), 2u);
    EXPECT_EQ(empty.Entries(2).size(), 0u);
    EXPECT_EQ(app.Main.Lists().Contacts[1].UID, empty.Entries(0)[1].Id);
    EXPECT_EQ(app.Main.Lists().Contacts[2].UID, -1);
  }
  {
    // The cable pulled while a contact's data goes out: a clear message, the entries the
    // phone accepted stay in the lists with their identifiers; the next read works.
    // The phone on the old port is gone by now: leaving it, the read says so and goes on.
    TPhoneSimulator empty(TSimContent::Empty(), OnPort(ports, 6));
    app.Dialogs.Messages.clear();
    app.Read(6);
    EXPECT_EQ(app.Texts(), Q({"ERROR: Connection to phone lost."}));
    ASSERT_TRUE(app.Main.btnLoad->isEnabled());
    app.Dialogs.Messages.clear();
    empty.Faults().Add(TFault::PullCable(3).On("AT+C#SPUT=0").Once());
    QElapsedTimer clock;
    clock.start();
    app.Load(file);
    EXPECT_LT(clock.elapsed(), 30000);
    EXPECT_EQ(app.Texts(), Q({"ERROR: Connection to phone lost."}));
    app.ExpectUnlocked();
    app.ExpectSaveLoad(false, false);
    EXPECT_EQ(empty.Entries(1).size(), groups);
    for (std::size_t i = 0; i < groups; ++i) EXPECT_EQ(app.Main.Lists().Groups[i].UID, empty.Entries(1)[i].Id);
    EXPECT_TRUE(QFile::exists(file)) << "the backup is untouched";

    empty.PlugIn();
    ASSERT_TRUE(empty.WaitForCable(true, 3000));
    app.Dialogs.Messages.clear();
    app.Read(6);
    EXPECT_EQ(app.Texts(), std::vector<QString>{});
    EXPECT_EQ(app.Main.Lists().Groups.size(), groups) << "the groups stored before the cable went";
  }
}

}  // namespace
