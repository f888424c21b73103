#pragma once
// The application's windows as tests, benchmarks and tools assemble them: the real main
// window and progress window (offscreen), a private port map that points COMn at
// simulated phones' lines, and the buttons pressed as a user would. Nothing here needs
// the test framework (AppHarness.h adds the expectations).
//
// Everything here runs on the window thread.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <string>
#include <vector>

#include "BackupFile.h"
#include "GeneratedPhone.h"
#include "Main.h"
#include "PhoneSimulator.h"
#include "Progress.h"
#include "TestSupport.h"

// Sets an environment variable for the life of the object.
class TEnv {
 public:
  TEnv(const char* name, const QByteArray& value)
      : name_(name), had_(qEnvironmentVariableIsSet(name)), previous_(qgetenv(name)) {
    qputenv(name, value);
  }
  ~TEnv() {
    if (had_)
      qputenv(name_, previous_);
    else
      qunsetenv(name_);
  }
  TEnv(const TEnv&) = delete;
  TEnv& operator=(const TEnv&) = delete;

 private:
  const char* name_;
  bool had_;
  QByteArray previous_;
};

// A private configuration folder whose port map points COMn at phones' lines.
class TPorts {
 public:
  TPorts() { QDir(dir_.path()).mkpath(QStringLiteral("zarvo/ports")); }
  // COM4, the port the window starts with, pointing at line.
  explicit TPorts(const std::string& line) : TPorts() { Link(4, line); }
  TPorts(const TPorts&) = delete;
  TPorts& operator=(const TPorts&) = delete;
  // Points COMn at a line (a simulator given OnPort keeps such a link itself).
  bool Link(int port, const std::string& line) const {
    return QFile::link(QString::fromStdString(line), QString::fromStdString(Path(port)));
  }
  // The link the simulator keeps pointing at its current line.
  std::string Path(int port) const {
    return dir_.filePath(QStringLiteral("zarvo/ports/COM%1").arg(port)).toStdString();
  }
  QString File(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

 private:
  QTemporaryDir dir_;
  TEnv config_{"XDG_CONFIG_HOME", dir_.path().toLocal8Bit()};
};

inline TSimOptions OnPort(const TPorts& ports, int port) {
  TSimOptions o;
  o.LinkPath = ports.Path(port);
  return o;
}

// The restore's answer time-out as the phone's side expects it, written apart from the
// program's own constant so that a change to that is caught.
inline constexpr int ThreeMinutesMs = 180000;

// The main window with the answer time-out seam of IMainWindowHost: every interval asked
// for is noted, and a test may have the restore wait less than its three minutes.
class TTestMain : public TfrmMain {
 public:
  using TfrmMain::TfrmMain;
  int RestoreTimeoutMs = 0;  // 0: the restore's own three minutes
  std::vector<int> TimeoutsAsked;
  void SetAnswerTimeout(int milliseconds) override {
    TimeoutsAsked.push_back(milliseconds);
    const bool shorten = RestoreTimeoutMs > 0 && milliseconds == ThreeMinutesMs;
    TfrmMain::SetAnswerTimeout(shorten ? RestoreTimeoutMs : milliseconds);
  }
};

// The two windows as the application makes them, not yet shown, with the given dialogs
// (the recording ones for tests and benchmarks, the Qt ones for the screenshots).
template <class TDialogs>
struct TWindowsWith {
  TDialogs Dialogs;
  TTestMain Main{Dialogs};
  TfrmProgress Progress{Main.StopRequested()};
  TWindowsWith() { Main.SetProgressWindow(&Progress); }
  ~TWindowsWith() { Main.SetProgressWindow(nullptr); }
  TWindowsWith(const TWindowsWith&) = delete;
  TWindowsWith& operator=(const TWindowsWith&) = delete;
};
using TWindows = TWindowsWith<TRecordingDialogs>;

// The application running: its windows with the main window shown, and the buttons
// pressed as a person would.
struct TAppDriver : TWindows {
  TAppDriver() { Main.show(); }

  void Read(int port = 4) {
    Main.cbxCOMPort->setCurrentIndex(port - 1);
    Main.btnRead->click();
  }
  void Save(const QString& file) {
    Dialogs.FileAnswers.push_back(file);
    Main.btnSave->click();
  }
  void Load(const QString& file) {
    Dialogs.FileAnswers.push_back(file);
    Main.btnLoad->click();
  }
  std::vector<QString> Texts() const { return Dialogs.Texts(); }
  // After every read or restore, however it ended.
  bool Unlocked() const {
    return Main.btnRead->isEnabled() && Main.btnExit->isEnabled() && Main.cbxCOMPort->isEnabled() &&
           Main.isEnabled() && !Progress.isVisible();
  }
};
