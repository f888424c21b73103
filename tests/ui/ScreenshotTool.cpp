// Takes the pictures in docs/: the main window with its log pane hidden and shown, the
// progress window during a read, and an error box. Run it on a real display server so
// that fonts render as a user sees them:
//
//     xvfb-run -a build/<dir>/tests/ui/zarvo_screenshots docs
//
// Without a phone, the tree is filled the way a read fills it (the four fixed nodes and
// a few entries under them), so that every image of the tree can be looked at.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <string>

#include "Main.h"
#include "Progress.h"
#include "QtDialogs.h"
#include "WindowDesign.h"

namespace {

QTreeWidgetItem* AddNode(TfrmMain& m, QTreeWidgetItem* parent, const char* text, int image) {
  auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(&m.TreeView());
  node->setText(0, QString::fromLatin1(text));
  node->setIcon(0, m.Image(image));
  node->setData(0, NodeImageRole, image);
  return node;
}

void FillTreeAsAReadWould(TfrmMain& m) {
  m.RootNode = AddNode(m, nullptr, "Siemens S40", imgPhone);
  m.AddressBookNode = AddNode(m, m.RootNode, "Address book", imgAddressBook);
  m.CalendarNode = AddNode(m, m.RootNode, "Calendar", imgCalendar);
  m.RingTonesNode = AddNode(m, m.RootNode, "Custom ring tones", imgRingTones);
  QTreeWidgetItem* family = AddNode(m, m.AddressBookNode, "Family", imgGroup);
  AddNode(m, family, "Anna Berger", imgContact);
  AddNode(m, family, "Jonas Berger", imgContact);
  QTreeWidgetItem* work = AddNode(m, m.AddressBookNode, "Work", imgGroup);
  AddNode(m, work, "Dr. Petra Hollenstein", imgContact);
  AddNode(m, m.AddressBookNode, "Pizza Express", imgContact);
  AddNode(m, m.CalendarNode, "Dentist", imgEvent);
  AddNode(m, m.CalendarNode, "Birthday party at Anna's", imgEvent);
  AddNode(m, m.RingTonesNode, "Morning tune", imgRingTone);
  m.TreeView().expandAll();
  m.TreeView().setCurrentItem(m.RootNode);
}

bool Save(QWidget& widget, const QDir& dir, const char* name) {
  QApplication::processEvents();
  const QString path = dir.filePath(QString::fromLatin1(name));
  const bool ok = widget.grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "could not write", path.toLocal8Bit().constData());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(ApplicationTitle));
  const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs"));
  if (!dir.exists()) {
    std::fprintf(stderr, "no folder %s\n", dir.path().toLocal8Bit().constData());
    return 2;
  }

  TQtDialogs dialogs;
  TfrmMain frmMain(dialogs);
  TfrmProgress frmProgress(frmMain.StopRequested());
  frmMain.SetProgressWindow(&frmProgress);
  frmMain.show();
  FillTreeAsAReadWould(frmMain);
  frmMain.btnSave->setEnabled(true);
  bool ok = Save(frmMain, dir, "main-window.png");

  using namespace std::string_literals;  // "..."s keeps the listing's zero bytes
  for (const std::string& line :
       {"AT+C#SMDE?\r\n"s, "\r\n+C#SMDE: 1\r\nOK\r\n"s, "AT+C#SLST=1\r\n"s,
        "\r\n+C#SLST: 0,12\r\n\x01\x00\x07\x19\x00\x00\x02\x00\x07\x19\x00\x00\r\nOK\r\n"s,
        "Line 0002  BEGIN:VCARD"s, "Line 0003  N:Berger;Anna"s, "Parser end: 08.12.2026 10:15:02"s})
    frmMain.AddLogLine(line);  // rendered as the exchange renders it
  frmMain.btnExitKeyDown(71);
  ok = Save(frmMain, dir, "main-window-log.png") && ok;

  frmProgress.SetCaption(QStringLiteral("Reading..."));
  frmProgress.ResetBars();
  frmProgress.ShowProgress();
  frmProgress.SetTotal(TProgressKind::Groups, 2);
  frmProgress.StepDone(TProgressKind::Groups, 1, 2);
  frmProgress.StepDone(TProgressKind::Groups, 2, 2);
  frmProgress.SetTotal(TProgressKind::Contacts, 12);
  for (int done = 1; done <= 5; ++done) frmProgress.StepDone(TProgressKind::Contacts, done, 12);
  frmProgress.SetTotal(TProgressKind::Events, 0);
  ok = Save(frmProgress, dir, "progress-window.png") && ok;
  frmProgress.CloseProgress();

  QMessageBox box(&frmMain);
  ConfigureMessageBox(box, TMsgKind::Error, QStringLiteral("Error"),
                      QStringLiteral("+CME ERROR 265: UPPB not ready.\r\n\r\nPlease wait while processing data."));
  box.show();
  ok = Save(box, dir, "error-box.png") && ok;
  box.close();

  frmMain.SetProgressWindow(nullptr);
  return ok ? 0 : 1;
}
