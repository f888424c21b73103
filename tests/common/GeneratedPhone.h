#pragma once
// The pieces of a generated phone that tests and benchmarks share: group g and event e
// with the fields every generated one has, and a phone holding the lists, written with
// the program's own writers so that it stores what the program would send it. Needs no
// windows and no test framework.

#include <string>

#include "BackupFile.h"
#include "SimContent.h"

inline TGroup GeneratedGroup(int g) {
  TGroup group;
  group.UID = -1;
  group.Name = "Group " + std::to_string(g);
  group.GroupID = g;
  group.GroupSoundID = 400 + g;
  group.GroupNofEntries = -1;
  group.NPIHome = group.NPIWork = group.NPICell = group.NPIFax = group.NPIModem = -1;
  return group;
}

inline TEvent GeneratedEvent(int e) {
  TEvent event;
  event.UID = -1;
  event.StartDate = 40000 + e;
  event.StartTime = (e % 24) / 24.0;
  event.EndDate = 40000 + e;
  event.EndTime = (e % 24) / 24.0 + 1.0 / 48;
  event.RepeatKind = e % 5;
  event.RepeatUntil = e % 2 ? RepeatForever : 41000;
  event.PBID = event.MemoID = -1;
  return event;
}

inline TSimContent PhoneHolding(const TEntryLists& lists) {
  TLines parseLines;
  std::string text;
  for (const auto& line : BuildBackupLines(lists, parseLines)) text += line + "\r\n";
  return TSimContent::FromBackupText(text);
}
