#pragma once
// The application as the end-to-end tests drive it: the real main window and progress
// window (offscreen), the real serial component and exchange, and simulated phones on
// pseudo-terminals reached through a private port map. A test presses the buttons as a
// user would; the dialogs seam records every message box and answers the file dialogs.
//
// Everything here runs on the test's (window) thread, except where said.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "BackupFile.h"
#include "Main.h"
#include "PhoneSimulator.h"
#include "Progress.h"
#include "TestSupport.h"
#include "When.h"

// A private configuration folder whose port map points COMn at phones' lines.
class TPorts {
 public:
  TPorts() : hadPrevious_(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")), previous_(qgetenv("XDG_CONFIG_HOME")) {
    QDir(dir_.path()).mkpath(QStringLiteral("zarvo/ports"));
    qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
  }
  ~TPorts() {
    if (hadPrevious_)
      qputenv("XDG_CONFIG_HOME", previous_);
    else
      qunsetenv("XDG_CONFIG_HOME");
  }
  TPorts(const TPorts&) = delete;
  TPorts& operator=(const TPorts&) = delete;
  // The link the simulator keeps pointing at its current line.
  std::string Path(int port) const {
    return dir_.filePath(QStringLiteral("zarvo/ports/COM%1").arg(port)).toStdString();
  }
  QString File(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

 private:
  QTemporaryDir dir_;
  bool hadPrevious_;
  QByteArray previous_;
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

// The two windows as the application makes them.
struct TApp {
  TRecordingDialogs Dialogs;
  TTestMain Main{Dialogs};
  TfrmProgress Progress{Main.StopRequested()};
  TApp() {
    Main.SetProgressWindow(&Progress);
    Main.show();
  }
  ~TApp() { Main.SetProgressWindow(nullptr); }
  TApp(const TApp&) = delete;
  TApp& operator=(const TApp&) = delete;

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
  void ExpectUnlocked() const {
    EXPECT_TRUE(Main.btnRead->isEnabled());
    EXPECT_TRUE(Main.btnExit->isEnabled());
    EXPECT_TRUE(Main.cbxCOMPort->isEnabled());
    EXPECT_TRUE(Main.isEnabled());
    EXPECT_FALSE(Progress.isVisible());
  }
  void ExpectSaveLoad(bool save, bool load) const {
    EXPECT_EQ(Main.btnSave->isEnabled(), save);
    EXPECT_EQ(Main.btnLoad->isEnabled(), load);
  }
};

inline std::vector<QString> Q(std::initializer_list<const char*> texts) {
  std::vector<QString> v;
  for (const char* t : texts) v.push_back(QString::fromLatin1(t));
  return v;
}

inline std::size_t CountOf(const std::vector<std::string>& commands, const std::string& prefix) {
  return static_cast<std::size_t>(std::count_if(commands.begin(), commands.end(), [&](const std::string& c) {
    return c.rfind(prefix, 0) == 0;
  }));
}

inline std::string Latin1(const QString& s) { return s.toLatin1().toStdString(); }

inline std::string FileText(const QString& name) {
  QFile f(name);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll().toStdString();
}

// A phone with entries of every kind, written with the program's own writers so that
// the phone stores what the program would. Contacts carry notes with line breaks,
// folded addresses and Latin-1 letters; the first ring tone's pairs hold the bytes
// CR LF ">" of a store prompt, the second has bigTonePairs pairs (255, the most a
// record takes: 1068 bytes, more than the output buffer).
inline TSimContent GeneratedPhone(int groups, int contacts, int events, int ringTones, int bigTonePairs = 255) {
  TEntryLists lists;
  for (int g = 1; g <= groups; ++g) {
    TGroup group;
    group.UID = -1;
    group.Name = "Group " + std::to_string(g);
    group.GroupID = g;
    group.GroupSoundID = 400 + g;
    group.GroupNofEntries = -1;
    group.NPIHome = group.NPIWork = group.NPICell = group.NPIFax = group.NPIModem = -1;
    lists.Groups.push_back(group);
  }
  for (int c = 1; c <= contacts; ++c) {
    TContact contact;
    contact.UID = -1;
    contact.Name = "Contact\xe4" + std::to_string(c) + ";First";
    contact.TelCell = "+4917" + std::to_string(1000000 + c);
    if (c % 3 == 0) contact.Note = "Line one of " + std::to_string(c) + "\r\nline two = two";
    if (c % 4 == 0) contact.Street = "Stra\xdf" "e " + std::to_string(c) + "\r\nHinterhaus";
    contact.GroupID = c % 5 == 0 ? -1 : 1 + c % std::max(groups, 1);
    contact.GroupSoundID = contact.GroupNofEntries = -1;
    contact.NPIHome = contact.NPIWork = contact.NPICell = contact.NPIFax = contact.NPIModem = -1;
    lists.Contacts.push_back(contact);
  }
  for (int e = 1; e <= events; ++e) {
    TEvent event;
    event.UID = -1;
    event.StartDate = 40000 + e;
    event.StartTime = (e % 24) / 24.0;
    event.EndDate = 40000 + e;
    event.EndTime = (e % 24) / 24.0 + 1.0 / 48;
    event.RepeatKind = e % 5;
    event.RepeatUntil = e % 2 ? RepeatForever : 41000;
    event.AlarmContentID = 400;
    event.PBID = event.MemoID = -1;
    event.Description = "Event " + std::to_string(e);
    lists.Events.push_back(event);
  }
  lists.RingTones.resize(FactoryRingToneCount);
  for (int r = 1; r <= ringTones; ++r) {
    TRingTone tone;
    tone.UID = 0x19090000 + r;
    tone.Name = "Tone " + std::to_string(r);
    const int pairs = r == 2 ? bigTonePairs : 3;
    tone.Data = std::to_string(pairs);
    for (int k = 0; k < pairs; ++k) {
      tone.Data += "," + std::to_string(r == 1 && k == 1 ? 0x0A0D : 440 + k);
      tone.Data += "," + std::to_string(r == 1 && k == 1 ? 62 : 100 + k);
    }
    lists.RingTones.push_back(tone);
  }
  TLines parseLines;
  std::string text;
  for (const auto& line : BuildBackupLines(lists, parseLines)) text += line + "\r\n";
  return TSimContent::FromBackupText(text);
}
