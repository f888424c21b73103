// The application's start: the framework, the title "ZARVO", the main window (its
// FormCreate runs as it is made), the progress window, hidden, and the message loop
// until the main window has closed. The program takes no command line of its own.

#include <QApplication>
#include <QIcon>

#include "AppException.h"
#include "Main.h"
#include "Progress.h"
#include "QtDialogs.h"
#include "WindowDesign.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // The name, not the display name: Qt would append a display name to every caption.
  QApplication::setApplicationName(QString::fromLatin1(ApplicationTitle));
  // The installed menu entry and icon, so that a desktop shows the handset for the
  // window; the tree's handset when zarvo runs from its build folder.
  QApplication::setDesktopFileName(QStringLiteral("zarvo"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("zarvo"), QIcon(QStringLiteral(":/images/phone.png"))));

  TQtDialogs dialogs;
  SetExceptionReporter([&dialogs](const QString& text) { dialogs.ShowException(text); });

  int result = 0;
  {
    TfrmMain frmMain(dialogs);
    TfrmProgress frmProgress(frmMain.StopRequested());
    frmMain.SetProgressWindow(&frmProgress);
    frmMain.show();
    result = QApplication::exec();
    frmMain.SetProgressWindow(nullptr);
  }
  SetExceptionReporter({});
  return result;
}
