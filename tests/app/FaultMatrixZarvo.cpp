// A second ZARVO for the fault matrix: the real main window (offscreen) in a process of
// its own, driven line by line on standard input, so that a test can have another
// program hold the phone's port, or try to open it as another user.
//
// Usage: faultmatrix_zarvo DEVICE
//   A private port map (XDG_CONFIG_HOME in a temporary folder) points COM4 at DEVICE.
//   It prints "READY <its COM4 link>", then answers each line of standard input:
//     read   presses Read on "COM 4" and reports
//     quit   closes the window as Exit does (data mode off, port closed) and ends
//   A report is "SHOWN <error|warning>|<title>|<text>" and "EXCEPTION <text>" lines (CR
//   and LF escaped), "CONTROLS" with eight digits (Read, Exit, port list, window, Save,
//   Load enabled, progress window shown, port open), "MS <milliseconds>" and "DONE".
#include <QApplication>
#include <QElapsedTimer>

#include <iostream>
#include <string>

#include "AppWindows.h"

namespace {

std::string Escaped(const QString& text) {
  std::string out;
  for (const char c : text.toLatin1().toStdString()) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\\')
      out += "\\\\";
    else
      out += c;
  }
  return out;
}

char Digit(bool b) { return b ? '1' : '0'; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: faultmatrix_zarvo DEVICE\n";
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  TPorts ports;
  const QString link = QString::fromStdString(ports.Path(4));
  if (!ports.Link(4, argv[1])) {
    std::cerr << "faultmatrix_zarvo: no port link\n";
    return 3;
  }

  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  TExceptionRecorder reported;
  TWindows windows;
  TRecordingDialogs& dialogs = windows.Dialogs;
  TfrmMain* window = &windows.Main;
  TfrmProgress& progress = windows.Progress;
  window->show();
  std::cout << "READY " << link.toStdString() << std::endl;

  for (std::string line; std::getline(std::cin, line);) {
    if (line == "quit") break;
    if (line != "read") continue;
    dialogs.Messages.clear();
    dialogs.Exceptions.clear();
    reported.Texts.clear();
    window->cbxCOMPort->setCurrentIndex(3);
    QElapsedTimer clock;
    clock.start();
    window->btnRead->click();
    const qint64 ms = clock.elapsed();
    for (const auto& m : dialogs.Messages)
      std::cout << "SHOWN " << (m.Kind == TMsgKind::Warning ? "warning" : "error") << '|' << Escaped(m.Title) << '|'
                << Escaped(m.Text) << '\n';
    for (const auto& e : dialogs.Exceptions) std::cout << "EXCEPTION " << Escaped(e) << '\n';
    for (const auto& e : reported.Texts) std::cout << "EXCEPTION " << Escaped(e) << '\n';
    std::cout << "CONTROLS " << Digit(window->btnRead->isEnabled()) << Digit(window->btnExit->isEnabled())
              << Digit(window->cbxCOMPort->isEnabled()) << Digit(window->isEnabled())
              << Digit(window->btnSave->isEnabled()) << Digit(window->btnLoad->isEnabled())
              << Digit(progress.isVisible()) << Digit(window->VaComm().IsOpen()) << '\n';
    std::cout << "MS " << ms << "\nDONE" << std::endl;
  }
  window->close();
  return 0;
}
