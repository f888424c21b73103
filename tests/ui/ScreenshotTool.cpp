// Takes the pictures in docs/: the main window after a read with its log pane hidden and
// shown, the progress window during the read, and the error box of a port that does not
// exist. The phone is the simulated sample phone, reached through the port map as COM4
// (as scripts/demo.sh does), so the pictures show what the program really does. Run it
// on a real display server so that fonts render as a user sees them:
//
//     xvfb-run -a build/<dir>/tests/ui/zarvo_screenshots docs
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "AppException.h"
#include "AppWindows.h"
#include "Main.h"
#include "PhoneSimulator.h"
#include "Progress.h"
#include "QtDialogs.h"
#include "WindowDesign.h"

namespace {

bool Save(QWidget& widget, const QDir& dir, const char* name) {
  const QString path = dir.filePath(QString::fromLatin1(name));
  const bool ok = widget.grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "could not write", path.toLocal8Bit().constData());
  return ok;
}

// Runs test every 50 ms while the program waits in its own loops; act runs once, the
// first time test is true.
void WhileRunning(QObject* owner, std::function<bool()> test, std::function<void()> act) {
  auto* poll = new QTimer(owner);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, test, act] {
    if (!test()) return;
    poll->stop();
    act();
  });
  poll->start(50);
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

  TPhoneSimulator phone;
  TPorts ports(phone.SlavePath());

  TWindowsWith<TQtDialogs> windows;
  SetExceptionReporter([&windows](const QString& text) { windows.Dialogs.ShowException(text); });
  TfrmMain& frmMain = windows.Main;
  TfrmProgress& frmProgress = windows.Progress;
  frmMain.show();

  bool ok = true;
  bool progressTaken = false;
  WhileRunning(
      &frmProgress, [&] { return frmProgress.isVisible() && frmProgress.pbContacts->value() >= 3; },
      [&] {
        ok = Save(frmProgress, dir, "progress-window.png") && ok;
        progressTaken = true;
      });
  frmMain.btnRead->click();
  QApplication::processEvents();
  ok = progressTaken && ok;
  ok = Save(frmMain, dir, "main-window.png") && ok;

  frmMain.btnExitKeyDown(71);
  QApplication::processEvents();
  ok = Save(frmMain, dir, "main-window-log.png") && ok;
  frmMain.btnExitKeyDown(71);

  // A read on a port that does not exist: the standard exception report's box.
  bool boxTaken = false;
  WhileRunning(
      &frmMain, [] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; },
      [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        boxTaken = Save(*box, dir, "error-box.png");
        box->accept();
      });
  frmMain.cbxCOMPort->setCurrentIndex(7);
  qputenv("XDG_CONFIG_HOME", QByteArray("/nonexistent"));
  frmMain.btnRead->click();
  ok = boxTaken && ok;

  frmMain.close();
  SetExceptionReporter({});
  return ok ? 0 : 1;
}
