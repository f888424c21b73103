// The main window: its state after start, the G key on Exit, the log pane, the enabled
// states the operations set, closing with and without a phone on the line, and a close
// that arrives while an operation runs.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "Main.h"
#include "Maker.h"
#include "PhoneSimulator.h"
#include "AppHarness.h"
#include "Progress.h"
#include "ScriptedPhone.h"
#include "TestSupport.h"

namespace {

void ShowActive(QWidget& window) {
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override { QApplication::setQuitOnLastWindowClosed(false); }
};

TEST_F(MainWindow, StateAfterStart) {
  TWindows w;
  TfrmMain& m = w.Main;
  EXPECT_EQ(m.windowTitle(), QStringLiteral("ZARVO - ") + QString::fromLatin1(MakersNotice));
  EXPECT_EQ(m.size(), QSize(313, 449));
  EXPECT_EQ(m.minimumSize(), m.maximumSize()) << "fixed size";
  EXPECT_TRUE(m.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(m.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(m.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

  ASSERT_EQ(m.cbxCOMPort->count(), 8);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(m.cbxCOMPort->itemText(i), QStringLiteral("COM %1").arg(i + 1));
  EXPECT_EQ(m.cbxCOMPort->currentText(), QStringLiteral("COM 4"));
  EXPECT_EQ(m.SelectedPortIndex(), 3);
  EXPECT_FALSE(m.cbxCOMPort->isEditable());

  EXPECT_EQ(m.TreeView().topLevelItemCount(), 0);
  EXPECT_EQ(m.TreeView().editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_TRUE(m.btnRead->isEnabled());
  EXPECT_FALSE(m.btnSave->isEnabled());
  EXPECT_FALSE(m.btnLoad->isEnabled());
  EXPECT_TRUE(m.btnExit->isEnabled());
  EXPECT_TRUE(m.cbxCOMPort->isEnabled());
  EXPECT_TRUE(m.isEnabled());
  // The access keys of the captions.
  EXPECT_EQ(m.btnRead->shortcut(), QKeySequence(QStringLiteral("Alt+R")));
  EXPECT_EQ(m.btnSave->shortcut(), QKeySequence(QStringLiteral("Alt+S")));
  EXPECT_EQ(m.btnLoad->shortcut(), QKeySequence(QStringLiteral("Alt+L")));
  EXPECT_EQ(m.btnExit->shortcut(), QKeySequence(QStringLiteral("Alt+X")));

  EXPECT_TRUE(m.reLog->isHidden());
  EXPECT_TRUE(m.reLog->Text().isEmpty()) << "FormCreate empties the design's text";
  EXPECT_TRUE(m.reLog->isReadOnly());
  EXPECT_EQ(m.reLog->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(m.lblVersion->text(), QStringLiteral("v1.2"));
  EXPECT_TRUE(m.lblVersion->alignment().testFlag(Qt::AlignRight));

  EXPECT_TRUE(m.ParseLines().empty());
  EXPECT_FALSE(m.StopRequested());
  EXPECT_FALSE(m.VaComm().IsOpen());
  EXPECT_EQ(m.VaComm().PortNum(), 4);
  EXPECT_EQ(m.Timer.interval(), 5000);
  EXPECT_FALSE(m.Timer.isActive());
  EXPECT_FALSE(w.Progress.isVisible());
  for (int i = imgContact; i <= imgRingTone; ++i) EXPECT_FALSE(m.Image(i).isNull()) << "image " << i;
  EXPECT_THROW(m.Image(8), std::out_of_range);

  // Tab order, from the port list on.
  std::vector<QString> order;
  QWidget* widget = m.cbxCOMPort;
  do {
    if (widget->focusPolicy() & Qt::TabFocus) order.push_back(widget->objectName());
    widget = widget->nextInFocusChain();
  } while (widget != m.cbxCOMPort && order.size() < 20);
  const std::vector<QString> expected = {"cbxCOMPort", "btnRead", "btnSave", "btnLoad", "btnExit", "TreeView", "reLog"};
  EXPECT_EQ(order, expected);
}

TEST_F(MainWindow, NothingIsCutOffInTheDesignFont) {
  TWindows w;
  for (QPushButton* button : {w.Main.btnRead, w.Main.btnSave, w.Main.btnLoad, w.Main.btnExit}) {
    SCOPED_TRACE(button->objectName().toStdString());
    EXPECT_LE(button->sizeHint().width(), button->width());
    EXPECT_LE(button->fontMetrics().height(), button->height());
  }
  QLabel* version = w.Main.lblVersion;
  EXPECT_LE(version->fontMetrics().horizontalAdvance(version->text()), version->width());
  EXPECT_EQ(version->geometry().right(), 281 + 22 - 1) << "stays right-aligned at its place";
  EXPECT_LE(w.Main.cbxCOMPort->fontMetrics().horizontalAdvance(QStringLiteral("COM 8")) + 20,
            w.Main.cbxCOMPort->width());
}

TEST_F(MainWindow, GOnExitTogglesTheLogPaneWhateverTheModifiers) {
  TWindows w;
  TfrmMain& m = w.Main;
  ShowActive(m);
  QWindow* window = m.windowHandle();

  m.btnExit->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), m.btnExit);
  struct TPress {
    Qt::KeyboardModifiers Modifiers;
    bool VisibleAfter;
  };
  const TPress presses[] = {
      {Qt::NoModifier, true}, {Qt::NoModifier, false}, {Qt::ShiftModifier, true},
      {Qt::ShiftModifier, false}, {Qt::ControlModifier, true}, {Qt::AltModifier, false},
  };
  for (const TPress& press : presses) {
    QTest::keyClick(window, Qt::Key_G, press.Modifiers);
    EXPECT_EQ(m.reLog->isVisible(), press.VisibleAfter) << "modifiers " << press.Modifiers;
  }
  QTest::keyClick(window, Qt::Key_H);
  EXPECT_FALSE(m.reLog->isVisible()) << "other keys do nothing";

  // G while another control has the focus does nothing.
  for (QWidget* other : std::initializer_list<QWidget*>{m.btnRead, m.cbxCOMPort, &m.TreeView()}) {
    other->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), other);
    QTest::keyClick(window, Qt::Key_G);
    EXPECT_FALSE(m.reLog->isVisible()) << other->objectName().toStdString();
  }

  // Shown, the pane lies over the lower part of the tree.
  m.btnExit->setFocus();
  QTest::keyClick(window, Qt::Key_G);
  ASSERT_TRUE(m.reLog->isVisible());
  const QRect tree = m.TreeView().geometry();
  const QRect log = m.reLog->geometry();
  EXPECT_TRUE(tree.contains(log.center()));
  EXPECT_GT(log.top(), tree.top() + tree.height() / 3);
  EXPECT_EQ(m.childAt(log.center()) == m.reLog || m.reLog->isAncestorOf(m.childAt(log.center())), true);
}

TEST_F(MainWindow, LogPaneLines) {
  TWindows w;
  TfrmMain& m = w.Main;
  struct TLine {
    std::string Rendered;
    QStringList Shown;  // the lines it adds
  };
  const TLine lines[] = {
      {"AT+CGSN\r\n", {"AT+CGSN", ""}},  // a command is followed by an empty line
      {"(0)(27)abc", {"(0)(27)abc"}},
      {"\xE9t\xE9 \xFF", {QString::fromUtf8("\xC3\xA9t\xC3\xA9 \xC3\xBF")}},  // Latin-1
      {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
      {"", {""}},
      {"last", {"last"}},
  };
  QStringList all;
  for (const TLine& line : lines) {
    m.InsertLine(line.Rendered);
    all << line.Shown;
    EXPECT_EQ(m.reLog->Text(), all.join(QLatin1Char('\n')));
    EXPECT_TRUE(m.reLog->textCursor().atEnd());
  }

  // Lines reach the pane itself, unasked, as soon as the window processes its messages.
  m.InsertLine("unasked");
  QApplication::processEvents();
  EXPECT_TRUE(m.reLog->toPlainText().endsWith(QStringLiteral("\nunasked")));

  // The first line of the log may be empty too.
  TWindows fresh;
  fresh.Main.InsertLine("");
  fresh.Main.InsertLine("x");
  EXPECT_EQ(fresh.Main.reLog->Text(), QStringLiteral("\nx"));

  // The end of the log is in view when the pane is shown after lines came in hidden,
  // and stays in view while lines come in.
  for (int i = 0; i < 300; ++i) m.InsertLine("hidden " + std::to_string(i));
  ShowActive(m);
  m.btnExitKeyDown(71);
  QApplication::processEvents();
  auto endInView = [&] { return m.reLog->viewport()->rect().contains(m.reLog->cursorRect()); };
  EXPECT_GT(m.reLog->verticalScrollBar()->maximum(), 0);
  EXPECT_TRUE(endInView());
  for (int i = 0; i < 300; ++i) m.InsertLine("shown " + std::to_string(i));
  QApplication::processEvents();
  EXPECT_TRUE(endInView());
  EXPECT_EQ(m.reLog->document()->lastBlock().text(), QStringLiteral("shown 299"));
  EXPECT_FALSE(m.reLog->document()->isUndoRedoEnabled());
}

TEST_F(MainWindow, EnabledStatesFollowTheOperations) {
  TWindows w;
  TfrmMain& m = w.Main;
  // A read disables the buttons, the port list and the whole window.
  for (TMainControl c : {TMainControl::Read, TMainControl::Load, TMainControl::Save, TMainControl::Exit,
                         TMainControl::PortList})
    m.SetControlEnabled(c, false);
  m.SetWindowEnabled(false);
  EXPECT_FALSE(m.TreeView().isEnabled());
  EXPECT_FALSE(m.btnRead->isEnabled());

  // Its end enables Read, Exit, the port list and the window; Save and Load keep the
  // state the read gave them.
  m.SetControlEnabled(TMainControl::Read, true);
  m.SetControlEnabled(TMainControl::Exit, true);
  m.SetControlEnabled(TMainControl::PortList, true);
  m.SetControlEnabled(TMainControl::Save, true);
  m.SetWindowEnabled(true);
  EXPECT_TRUE(m.TreeView().isEnabled());
  EXPECT_TRUE(m.btnRead->isEnabled());
  EXPECT_TRUE(m.btnExit->isEnabled());
  EXPECT_TRUE(m.cbxCOMPort->isEnabled());
  EXPECT_TRUE(m.btnSave->isEnabled());
  EXPECT_FALSE(m.btnLoad->isEnabled()) << "disabled on its own stays disabled";

  // A restore disables the buttons and the port list only: the tree stays usable.
  for (TMainControl c : {TMainControl::Read, TMainControl::Load, TMainControl::Save, TMainControl::Exit,
                         TMainControl::PortList})
    m.SetControlEnabled(c, false);
  EXPECT_TRUE(m.TreeView().isEnabled());
  EXPECT_FALSE(m.cbxCOMPort->isEnabled());

  // The hourglass of Save goes and comes back once, however often it is asked for.
  m.SetBusyCursor(true);
  m.SetBusyCursor(true);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  m.SetBusyCursor(false);
  m.SetBusyCursor(false);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindow, SaveAndLoadAskForTheirFile) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString file = dir.filePath(QStringLiteral("phone.zrv"));
  TWindows w;
  TfrmMain& m = w.Main;
  TGroup family;
  family.UID = 419889153;
  family.Name = "Family";
  family.GroupID = 1;
  m.Lists().Groups.push_back(family);
  m.SetControlEnabled(TMainControl::Save, true);
  m.SetControlEnabled(TMainControl::Load, true);

  // Cancelled, nothing is written and nothing changes.
  m.btnSave->click();
  ASSERT_EQ(w.Dialogs.FileDialogs.size(), 1u);
  EXPECT_EQ(w.Dialogs.FileDialogs[0].Title, QStringLiteral("Save backup"));
  EXPECT_FALSE(QFile::exists(file));

  w.Dialogs.FileAnswers.push_back(file);
  m.btnSave->click();
  QFile saved(file);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  const QByteArray bytes = saved.readAll();
  EXPECT_TRUE(bytes.startsWith("// ZARVO\r\n"));
  EXPECT_TRUE(bytes.contains("\r\nBEGIN:VCARD\r\n"));
  EXPECT_TRUE(bytes.contains("Family"));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the hourglass is gone again";
  EXPECT_FALSE(m.OperationRunning());

  m.btnLoad->click();
  ASSERT_EQ(w.Dialogs.FileDialogs.size(), 3u);
  EXPECT_EQ(w.Dialogs.FileDialogs[2].Title, QStringLiteral("Load backup"));
  EXPECT_EQ(w.Dialogs.FileDialogs[2].FileName, QStringLiteral("*.zrv"));
  EXPECT_TRUE(m.btnLoad->isEnabled()) << "a cancelled Load changes not even the buttons";
  EXPECT_TRUE(m.btnSave->isEnabled());
  EXPECT_TRUE(w.Dialogs.Messages.empty());
}

TEST_F(MainWindow, TheTreesMenuExportsContactsAndCalendar) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  TWindows w;
  TfrmMain& m = w.Main;
  const auto actions = [&m](QMenu& menu) {
    m.FillTreeMenu(menu);
    return menu.actions();
  };
  QMenu empty;
  ASSERT_EQ(actions(empty).size(), 3);
  EXPECT_EQ(empty.actions()[0]->text(), QStringLiteral("Export contacts (vCard)..."));
  EXPECT_EQ(empty.actions()[1]->text(), QStringLiteral("Export calendar (iCalendar)..."));
  EXPECT_EQ(empty.actions()[2]->text(), QStringLiteral("Add to phone from file..."));
  EXPECT_FALSE(empty.actions()[0]->isEnabled());
  EXPECT_FALSE(empty.actions()[1]->isEnabled());
  EXPECT_FALSE(empty.actions()[2]->isEnabled()) << "no port open";

  TContact doe;
  doe.Name = "Doe;John";
  m.Lists().Contacts.push_back(doe);
  QMenu filled;
  ASSERT_EQ(actions(filled).size(), 3);
  EXPECT_TRUE(filled.actions()[0]->isEnabled());
  EXPECT_FALSE(filled.actions()[1]->isEnabled()) << "no events";
  m.RunButtonHandler([&] {
    QMenu during;
    for (QAction* a : actions(during)) EXPECT_FALSE(a->isEnabled()) << "a read or restore runs";
  });

  filled.actions()[0]->trigger();  // cancelled: nothing written
  const QString file = dir.filePath(QStringLiteral("phone.vcf"));
  w.Dialogs.FileAnswers.push_back(file);
  filled.actions()[0]->trigger();
  w.Dialogs.FileAnswers.push_back(dir.filePath(QStringLiteral("missing/phone.vcf")));
  TExceptionRecorder errors;
  filled.actions()[0]->trigger();

  ASSERT_EQ(w.Dialogs.FileDialogs.size(), 3u);
  EXPECT_EQ(w.Dialogs.FileDialogs[0].Filter, QStringLiteral("vCard file (*.vcf)"));
  EXPECT_EQ(w.Dialogs.FileDialogs[0].DefaultSuffix, QStringLiteral("vcf"));
  QFile written(file);
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  EXPECT_TRUE(written.readAll().startsWith("BEGIN:VCARD\r\nVERSION:3.0\r\n"));
  EXPECT_TRUE(m.reLog->Text().contains(file + QStringLiteral(": 1 contact")));
  ASSERT_EQ(errors.Texts.size(), 1u);
  EXPECT_TRUE(errors.Texts[0].startsWith(QStringLiteral("Cannot create file "))) << errors.Texts[0].toStdString();
  EXPECT_FALSE(m.OperationRunning());
}

// The phone's answers to the data mode query, as a Siemens S40 gives them.
const std::map<std::string, std::string> kDataModeOn = {
    {"AT+C#SMDE?", "\r\n+C#SMDE: 1\r\nOK\r\n"}, {"AT+C#SMDE=0", "\r\nOK\r\n"}};
const std::map<std::string, std::string> kDataModeOff = {
    {"AT+C#SMDE?", "\r\n+C#SMDE: 0\r\nOK\r\n"}, {"AT+C#SMDE=0", "\r\nOK\r\n"}};

bool WaitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, 3000); }

TEST_F(MainWindow, ExitAndTheCloseBoxSayGoodbyeToThePhoneAlike) {
  struct TCase {
    const char* Name;
    bool OpenPort;
    const std::map<std::string, std::string>* Phone;
    std::vector<std::string> Expected;  // what the phone sees, in order
  };
  const TCase cases[] = {
      {"before any read", false, &kDataModeOn, {}},
      {"after a read, data mode on", true, &kDataModeOn, {"AT+C#SMDE?\r\n", "AT+C#SMDE=0\r\n", "hang-up"}},
      {"data mode already off", true, &kDataModeOff, {"AT+C#SMDE?\r\n", "hang-up"}},
  };
  struct TWay {
    const char* Name;
    void (*Close)(TfrmMain&);
  };
  const TWay ways[] = {
      {"Exit", [](TfrmMain& m) { m.btnExit->click(); }},
      {"close box", [](TfrmMain& m) { m.windowHandle()->close(); }},
  };
  for (const TCase& c : cases) {
    for (const TWay& way : ways) {
      SCOPED_TRACE(std::string(c.Name) + ", " + way.Name);
      TScriptedPhone phone(*c.Phone);
      TPorts link(phone.SlavePath());
      TWindows w;
      ShowActive(w.Main);
      if (c.OpenPort) {
        w.Main.VaComm().Open();
        ASSERT_TRUE(w.Main.VaComm().IsOpen());
        phone.ReleaseSlave();
      }
      way.Close(w.Main);
      EXPECT_FALSE(w.Main.isVisible());
      EXPECT_FALSE(w.Main.VaComm().IsOpen());
      EXPECT_THROW(w.Main.ParseLines(), std::logic_error) << "ParseLines released";
      if (!c.Expected.empty()) {
        EXPECT_TRUE(WaitFor([&] { return phone.Events().size() >= c.Expected.size(); }));
      }
      QTest::qWait(50);  // anything further would arrive now
      EXPECT_EQ(phone.Events(), c.Expected);
      EXPECT_TRUE(w.Dialogs.Messages.empty());
    }
  }
}

TEST_F(MainWindow, ClosingSwitchesTheSimulatedPhoneOutOfItsDataMode) {
  // The phone model with its echo: data mode switched on the way a read does it, then
  // the window closed.
  TPhoneSimulator phone;
  TPorts link(phone.SlavePath());
  TWindows w;
  ShowActive(w.Main);
  w.Main.VaComm().Open();
  ASSERT_TRUE(w.Main.Exchange().SendCommand("AT+C#SMDE=1\r\n"));
  ASSERT_TRUE(phone.DataMode());
  w.Main.btnExit->click();
  EXPECT_FALSE(w.Main.VaComm().IsOpen());
  EXPECT_FALSE(phone.DataMode());
  EXPECT_EQ(phone.Commands(), (std::vector<std::string>{"AT+C#SMDE=1", "AT+C#SMDE?", "AT+C#SMDE=0"}));
  EXPECT_TRUE(w.Dialogs.Messages.empty());
}

TEST_F(MainWindow, ReadSaveLoadAndRestoreThroughTheButtons) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString file = dir.filePath(QStringLiteral("sample.zrv"));
  TPhoneSimulator full;
  TPhoneSimulator empty(TSimContent::Empty());
  TPorts ports;
  ports.Link(1, full.SlavePath());
  ports.Link(2, empty.SlavePath());
  TWindows w;
  TfrmMain& m = w.Main;
  ShowActive(m);
  auto count = [](const TPhoneSimulator& phone) {
    std::size_t n = 0;
    for (int type : {0, 1, 2, 9}) n += phone.Entries(type).size();
    return n;
  };

  // Read on "COM 1": port number 1, the tree filled, Save offered.
  m.cbxCOMPort->setCurrentIndex(0);
  m.btnRead->click();
  EXPECT_EQ(w.Dialogs.Texts(), std::vector<QString>{});
  EXPECT_EQ(m.VaComm().PortNum(), 1);
  ASSERT_EQ(m.TreeView().topLevelItemCount(), 1);
  EXPECT_EQ(m.TreeView().topLevelItem(0)->text(0), QStringLiteral("Siemens S40"));
  EXPECT_EQ(m.TreeView().currentItem(), m.TreeView().topLevelItem(0));
  EXPECT_GT(m.Lists().Contacts.size(), 0u);
  EXPECT_TRUE(m.btnSave->isEnabled());
  EXPECT_FALSE(m.btnLoad->isEnabled());
  EXPECT_TRUE(m.btnRead->isEnabled() && m.btnExit->isEnabled() && m.cbxCOMPort->isEnabled() && m.isEnabled());
  EXPECT_FALSE(w.Progress.isVisible());
  EXPECT_TRUE(full.DataMode());

  w.Dialogs.FileAnswers.push_back(file);
  m.btnSave->click();
  EXPECT_TRUE(QFile::exists(file));

  // Read on "COM 2": the first phone leaves its data mode, the empty one offers Load.
  m.cbxCOMPort->setCurrentIndex(1);
  m.btnRead->click();
  EXPECT_FALSE(full.DataMode());
  EXPECT_EQ(m.VaComm().PortNum(), 2);
  EXPECT_FALSE(m.btnSave->isEnabled());
  ASSERT_TRUE(m.btnLoad->isEnabled());

  // Load the backup: the restore stores every entry on the empty phone.
  w.Dialogs.FileAnswers.push_back(file);
  m.btnLoad->click();
  EXPECT_EQ(w.Dialogs.Texts(), std::vector<QString>{});
  EXPECT_EQ(count(empty), count(full));
  EXPECT_TRUE(m.btnSave->isEnabled());
  EXPECT_EQ(m.Timer.interval(), 5000);

  m.btnExit->click();
  EXPECT_FALSE(m.VaComm().IsOpen());
  EXPECT_FALSE(empty.DataMode());
}

// A new group's contact hangs below its node, which leads "Address book" with the
// phone's groups; the summary is one box, the details go to the log.
TEST_F(MainWindow, AddToPhoneFromFileStoresWhatThePhoneLacksAndShowsOneBox) {
  TPorts ports;
  TPhoneSimulator phone(GeneratedPhone(2, 5, 0, 0), OnPort(ports, 4));  // contact 5 in no group
  const QString card = ports.File("new.vcf");
  QFile file(card);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("BEGIN:VCARD\nVERSION:3.0\nN:Neu;Nina\nTEL:0301\n"
                                                             "CATEGORIES:Neu\nEND:VCARD\n") > 0);
  file.close();
  TWindows w;
  TfrmMain& m = w.Main;
  m.btnRead->click();
  QMenu menu;
  m.FillTreeMenu(menu);
  ASSERT_TRUE(menu.actions()[2]->isEnabled());
  w.Dialogs.FileAnswers.push_back(card + QStringLiteral("\n" ZARVO_IMPORT_FILES "/google-contacts.vcf"));
  menu.actions()[2]->trigger();

  EXPECT_EQ(w.Dialogs.FileDialogs.back().Title, QStringLiteral("Add to phone from file"));
  ASSERT_EQ(w.Dialogs.Messages.size(), 1u) << w.Dialogs.Texts().front().toStdString();
  EXPECT_EQ(w.Dialogs.Messages[0].Kind, TMsgKind::Information);
  EXPECT_TRUE(w.Dialogs.Messages[0].Text.startsWith(QStringLiteral("Added 3 contacts, 2 groups; 2 fields left out.")))
      << w.Dialogs.Messages[0].Text.toStdString();
  EXPECT_TRUE(m.reLog->Text().contains(QStringLiteral("google-contacts.vcf:20: contact Acme Ltd.: birthday")));
  EXPECT_EQ(phone.Entries(0).size(), 8u);
  const auto group = std::find_if(m.Lists().Groups.begin(), m.Lists().Groups.end(),
                                  [](const TGroup& g) { return g.Name == "Neu"; });
  ASSERT_NE(group, m.Lists().Groups.end());
  QTreeWidgetItem* neu = m.Node({TTreeNode::Group, group->GroupID});
  ASSERT_NE(neu, nullptr);
  EXPECT_EQ(neu->text(0), QStringLiteral("Neu"));
  ASSERT_EQ(neu->childCount(), 1);
  EXPECT_EQ(neu->child(0)->text(0), QStringLiteral("Neu;Nina"));
  EXPECT_TRUE(m.btnSave->isEnabled() && m.btnRead->isEnabled());
}

TEST_F(MainWindow, AClosingWithoutAnswerStillClosesThePort) {
  // The phone does not answer the query: the exchange's time-out is shown, and the
  // port is closed all the same.
  TScriptedPhone phone({});
  TPorts link(phone.SlavePath());
  TWindows w;
  w.Main.Timer.setInterval(300);
  w.Main.VaComm().Open();
  phone.ReleaseSlave();
  w.Main.close();
  EXPECT_FALSE(w.Main.VaComm().IsOpen());
  ASSERT_EQ(w.Dialogs.Messages.size(), 1u);
  EXPECT_EQ(w.Dialogs.Messages[0].Title, QStringLiteral("Error"));
  EXPECT_EQ(w.Dialogs.Messages[0].Text, QStringLiteral("ERROR: No answer from phone (timeout)."));
  EXPECT_TRUE(WaitFor([&] { return phone.Events().size() >= 2; }));
  EXPECT_EQ(phone.Events(), (std::vector<std::string>{"AT+C#SMDE?\r\n", "hang-up"}));
}

TEST_F(MainWindow, ACloseDuringAnOperationActsAsCancelAndHappensAfterItsEnd) {
  TExceptionRecorder recorder;
  TScriptedPhone phone(kDataModeOn);
  TPorts link(phone.SlavePath());
  TWindows w;
  TfrmMain& m = w.Main;
  ShowActive(m);
  m.VaComm().Open();
  phone.ReleaseSlave();

  std::vector<std::string> steps;
  m.RunButtonHandler(
      [&] {
        // As a read does: the window locked, the progress window up.
        m.SetWindowEnabled(false);
        m.StopRequested() = false;
        m.Progress().ResetBars();
        m.Progress().ShowProgress();
        ASSERT_TRUE(w.Progress.isVisible());

        // The close box, while the read waits for the phone.
        m.windowHandle()->close();
        steps.push_back("closed");
        EXPECT_TRUE(m.OperationRunning());
        EXPECT_TRUE(m.ClosePending());
        EXPECT_TRUE(m.isVisible()) << "the window stays until the read has ended";
        EXPECT_FALSE(w.Progress.isVisible()) << "the close acts as Cancel";
        EXPECT_TRUE(m.StopRequested());
        EXPECT_NO_THROW(m.ParseLines().push_back("still usable"));
        EXPECT_TRUE(m.VaComm().IsOpen());

        // A progress window shown after the close request (a read that was still
        // detecting the phone) is stopped at once.
        m.StopRequested() = false;
        m.Progress().ShowProgress();
        EXPECT_FALSE(w.Progress.isVisible());
        EXPECT_TRUE(m.StopRequested());

        // The phone is still there for the entry in hand.
        EXPECT_TRUE(m.Exchange().IsDataModeOn());
        throw std::runtime_error("stopped with a failure");
      },
      [&] {
        steps.push_back("end steps");
        m.Progress().CloseProgress();
        m.SetWindowEnabled(true);
        EXPECT_TRUE(m.isVisible());
      });
  EXPECT_EQ(steps, (std::vector<std::string>{"closed", "end steps"}));
  EXPECT_EQ(recorder.Texts, std::vector<QString>{QStringLiteral("stopped with a failure")});
  EXPECT_FALSE(m.OperationRunning());
  EXPECT_EQ(phone.Events(), (std::vector<std::string>{"AT+C#SMDE?\r\n"})) << "no goodbye during the read";

  // Then the window closes as it would have: goodbye to the phone, port closed.
  EXPECT_TRUE(WaitFor([&] { return !m.isVisible(); }));
  EXPECT_FALSE(m.VaComm().IsOpen());
  EXPECT_TRUE(WaitFor([&] { return phone.Events().size() >= 4; }));
  EXPECT_EQ(phone.Events(),
            (std::vector<std::string>{"AT+C#SMDE?\r\n", "AT+C#SMDE?\r\n", "AT+C#SMDE=0\r\n", "hang-up"}));
  EXPECT_THROW(m.ParseLines(), std::logic_error);
}

TEST_F(MainWindow, AnExceptionInAHandlerIsShownAfterItsEndSteps) {
  TWindows w;
  TfrmMain& m = w.Main;
  std::vector<QString> shown;
  bool enabledWhenShown = false;
  const TExceptionReporter previous = SetExceptionReporter([&](const QString& text) {
    shown.push_back(text);
    enabledWhenShown = m.isEnabled();
  });
  m.RunButtonHandler(
      [&] {
        m.SetWindowEnabled(false);
        throw std::runtime_error("Specified device not found (COM4 at /dev/ttyS3).");
      },
      [&] { m.SetWindowEnabled(true); });
  SetExceptionReporter(previous);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], QStringLiteral("Specified device not found (COM4 at /dev/ttyS3)."));
  EXPECT_TRUE(enabledWhenShown) << "the end steps ran before the box";
  EXPECT_FALSE(m.OperationRunning());
  EXPECT_TRUE(m.isVisible() || !m.ClosePending());
}

}  // namespace
