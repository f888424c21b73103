#pragma once
// The application as the whole-program tests drive it (AppWindows.h), with the
// expectations on its controls, the fixture, and a generated phone. The dialogs seam
// records every message box and answers the file dialogs.
//
// Everything here runs on the test's (window) thread.

#include <QFile>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "AppWindows.h"
#include "BackupFile.h"
#include "When.h"

// The application running, with the expectations every operation's end must meet.
struct TApp : TAppDriver {
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

// The fixture of the whole-program tests: a port map of their own, and the application
// goes on when a window closes.
class TAppTest : public ::testing::Test {
 protected:
  void SetUp() override { QApplication::setQuitOnLastWindowClosed(false); }
  TPorts ports;
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

// A phone with entries of every kind (and its lists), written with the program's own
// writers so that the phone stores what the program would. Contacts carry notes with line breaks,
// folded addresses and Latin-1 letters; the first ring tone's pairs hold the bytes
// CR LF ">" of a store prompt, the second has bigTonePairs pairs (255, the most a
// record takes: 1068 bytes, more than the output buffer). With longText, the first
// contact's note and the first event's description are that many bytes long.
// With resultCodes, odd contacts' notes end in "> is OK" and their addresses in a line
// "OK", events' descriptions in "+CME ERROR: 3 ERROR".
inline TEntryLists GeneratedLists(int groups, int contacts, int events, int ringTones, int bigTonePairs = 255,
                                  std::size_t longText = 0, bool resultCodes = false) {
  std::string longValue;
  for (int k = 1; longValue.size() < longText; ++k) longValue += "Zeile " + std::to_string(k) + " \xfc" "ber\r\n";
  longValue.resize(longText);
  while (!longValue.empty() && (longValue.back() == '\r' || longValue.back() == '\n')) longValue.pop_back();
  longValue.resize(longText, '.');  // ends in text, never in half a line break
  TEntryLists lists;
  for (int g = 1; g <= groups; ++g) lists.Groups.push_back(GeneratedGroup(g));
  for (int c = 1; c <= contacts; ++c) {
    TContact contact;
    contact.UID = -1;
    contact.Name = "Contact\xe4" + std::to_string(c) + ";First";
    contact.TelCell = "+4917" + std::to_string(1000000 + c);
    if (c % 3 == 0) contact.Note = "Line one of " + std::to_string(c) + "\r\nline two = two";
    if (c == 1 && longText > 0) contact.Note = longValue;
    if (c % 4 == 0) contact.Street = "Stra\xdf" "e " + std::to_string(c) + "\r\nHinterhaus";
    if (resultCodes && c % 2 == 1) {
      contact.Note += " > is OK";
      contact.Country = "Land\r\nOK";
    }
    contact.GroupID = c % 5 == 0 ? -1 : 1 + c % std::max(groups, 1);
    contact.GroupSoundID = contact.GroupNofEntries = -1;
    contact.NPIHome = contact.NPIWork = contact.NPICell = contact.NPIFax = contact.NPIModem = -1;
    lists.Contacts.push_back(contact);
  }
  for (int e = 1; e <= events; ++e) {
    TEvent event = GeneratedEvent(e);
    event.AlarmContentID = 400;
    event.Description = e == 1 && longText > 0 ? longValue : "Event " + std::to_string(e);
    if (resultCodes) event.Description += " +CME ERROR: 3 ERROR";
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
  return lists;
}

inline TSimContent GeneratedPhone(int groups, int contacts, int events, int ringTones, int bigTonePairs = 255,
                                  std::size_t longText = 0, bool resultCodes = false) {
  return PhoneHolding(GeneratedLists(groups, contacts, events, ringTones, bigTonePairs, longText, resultCodes));
}
