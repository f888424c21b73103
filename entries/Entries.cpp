#include "Entries.h"

void ClearVObject(TvObject& v) { v = TvObject{}; }

void TEntryLists::ClearKindLists() {
  Groups.clear();
  Contacts.clear();
  Events.clear();
  RingTones.clear();
}

void FillGroup(TGroup& g, const TvObject& v) {
  g.Name = v.Name;
  g.GroupID = v.GroupID;
  g.GroupSoundID = v.GroupSoundID;
  g.GroupNofEntries = v.GroupNofEntries;
  g.NPIHome = v.NPIHome;
  g.NPIWork = v.NPIWork;
  g.NPICell = v.NPICell;
  g.NPIFax = v.NPIFax;
  g.NPIModem = v.NPIModem;
}

void FillContact(TContact& c, const TvObject& v) {
  c.Name = v.Name;
  c.TelHome = v.TelHome;
  c.TelWork = v.TelWork;
  c.TelCell = v.TelCell;
  c.TelFax = v.TelFax;
  c.TelModem = v.TelModem;
  c.EMail = v.EMail;
  c.Street = v.Street;
  c.City = v.City;
  c.Region = v.Region;
  c.PostalCode = v.PostalCode;
  c.Country = v.Country;
  c.Birthday = v.Birthday;
  c.Note = v.Note;
  c.GroupID = v.GroupID;
  c.GroupSoundID = v.GroupSoundID;
  c.GroupNofEntries = v.GroupNofEntries;
  c.NPIHome = v.NPIHome;
  c.NPIWork = v.NPIWork;
  c.NPICell = v.NPICell;
  c.NPIFax = v.NPIFax;
  c.NPIModem = v.NPIModem;
}

void FillEvent(TEvent& e, const TvObject& v) {
  e.StartDate = v.StartDate;
  e.StartTime = v.StartTime;
  e.EndDate = v.EndDate;
  e.EndTime = v.EndTime;
  e.RepeatKind = v.RepeatKind;
  e.RepeatUntil = v.RepeatUntil;
  e.AlarmDate = v.AlarmDate;
  e.AlarmTime = v.AlarmTime;
  e.AlarmContentID = v.AlarmContentID;
  e.PBID = v.PBID;
  e.MemoID = v.MemoID;
  e.Description = v.Note;
}

void FillRingTone(TRingTone& r, const TvObject& v) {
  r.UID = v.RingToneUID;
  r.Name = v.RingToneName;
  r.Data = v.RingToneData;
}
