#pragma once
// Entry records of the phone: groups, contacts, calendar events and custom ring tones.
//
// Every entry exists in two shapes. TvObject is the flat record the vObject parser
// produces for every vCard or vEvent, whatever its kind; Kind says which fields matter.
// TGroup, TContact, TEvent and TRingTone are what the program keeps of the entries that
// are on the phone or in a loaded backup, what the tree shows and what the writers turn
// back into vObject text.
//
// Conventions shared by every record here:
//  - Integer fields are 32-bit signed.
//  - Text is a std::string of 8-bit ISO-8859-1 bytes, never converted.
//  - A date-time number (TDateTime) counts days since 30 December 1899 00:00; its
//    fraction is the time of day. Date fields hold whole days, time fields the fraction
//    only. 0 means "not set".
// All records are plain values; copying one copies its texts.

#include <cstdint>
#include <string>
#include <vector>

using TDateTime = double;

// One list of text lines without their line ends: ParseLines, the parser's input and
// the writers' output.
using TLines = std::vector<std::string>;

// The byte buffer in which binary data (a ring tone record) travels to the phone.
using TDynamicCharArray = std::vector<unsigned char>;

// Kinds of a TvObject.
inline constexpr std::int32_t vkContact = 0;
inline constexpr std::int32_t vkGroup = 1;
inline constexpr std::int32_t vkEvent = 2;
inline constexpr std::int32_t vkRingTone = 8;  // 8, not 3

// Recurrence kinds of an event.
inline constexpr std::int32_t rkNone = 0;
inline constexpr std::int32_t rkDaily = 1;
inline constexpr std::int32_t rkWeekly = 2;
inline constexpr std::int32_t rkEveryTwoWeeks = 3;
inline constexpr std::int32_t rkYearly = 4;

// RepeatUntil of a recurrence without end.
inline constexpr TDateTime RepeatForever = -1.0;

// RingTones always begins with this many slots for the phone's factory ring tones.
inline constexpr std::size_t FactoryRingToneCount = 42;

// Text stored in a field whose property was refused for its character set or encoding.
inline constexpr const char* ErrorFieldText = "<Error>";

// The parser's record. The member initialisers are the initial values that ClearVObject
// gives every new record.
struct TvObject {
  std::int32_t Kind = vkContact;
  std::int32_t UID = -1;
  std::string Name;
  std::string TelHome;
  std::string TelWork;
  std::string TelCell;
  std::string TelFax;
  std::string TelModem;
  std::string EMail;
  std::string Street;
  std::string City;
  std::string Region;
  std::string PostalCode;
  std::string Country;
  TDateTime Birthday = 0;
  std::int32_t GroupID = -1;
  std::int32_t GroupSoundID = -1;
  std::int32_t GroupNofEntries = -1;
  std::int32_t NPIHome = -1;
  std::int32_t NPIWork = -1;
  std::int32_t NPICell = -1;
  std::int32_t NPIFax = -1;
  std::int32_t NPIModem = -1;
  TDateTime StartDate = 0;
  TDateTime StartTime = 0;
  TDateTime EndDate = 0;
  TDateTime EndTime = 0;
  std::int32_t RepeatKind = rkNone;
  TDateTime RepeatUntil = 0;
  TDateTime AlarmDate = 0;
  TDateTime AlarmTime = 0;
  std::int32_t AlarmContentID = 0;
  std::int32_t PBID = -1;
  std::int32_t MemoID = -1;
  std::string Note;
  std::int32_t RingToneUID = 0;
  std::string RingToneName;
  std::string RingToneData;

  bool operator==(const TvObject&) const = default;
};

// Gives a record the initial values; nothing of an earlier entry carries over.
void ClearVObject(TvObject& v);

// The kind records. A record made by growing a list is zeroed (integers 0, dates 0,
// texts empty), as the member initialisers say.
struct TGroup {
  std::int32_t UID = 0;
  std::string Name;
  std::int32_t GroupID = 0;
  std::int32_t NewGroupID = 0;  // the group identifier the phone gave on a restore; -1 after a load
  std::int32_t GroupSoundID = 0;
  std::int32_t GroupNofEntries = 0;
  std::int32_t NPIHome = 0;
  std::int32_t NPIWork = 0;
  std::int32_t NPICell = 0;
  std::int32_t NPIFax = 0;
  std::int32_t NPIModem = 0;

  bool operator==(const TGroup&) const = default;
};

struct TContact {
  std::int32_t UID = 0;
  std::string Name;
  std::string TelHome;
  std::string TelWork;
  std::string TelCell;
  std::string TelFax;
  std::string TelModem;
  std::string EMail;
  std::string Street;
  std::string City;
  std::string Region;
  std::string PostalCode;
  std::string Country;
  TDateTime Birthday = 0;
  std::string Note;
  std::int32_t GroupID = 0;     // the group the contact belongs to; -1 for none
  std::int32_t NewGroupID = 0;  // that group's identifier after a restore; -1 after a load
  std::int32_t GroupSoundID = 0;
  std::int32_t GroupNofEntries = 0;
  std::int32_t NPIHome = 0;
  std::int32_t NPIWork = 0;
  std::int32_t NPICell = 0;
  std::int32_t NPIFax = 0;
  std::int32_t NPIModem = 0;

  bool operator==(const TContact&) const = default;
};

struct TEvent {
  std::int32_t UID = 0;
  TDateTime StartDate = 0;
  TDateTime StartTime = 0;
  TDateTime EndDate = 0;
  TDateTime EndTime = 0;
  std::int32_t RepeatKind = rkNone;
  TDateTime RepeatUntil = 0;
  TDateTime AlarmDate = 0;
  TDateTime AlarmTime = 0;
  std::int32_t AlarmContentID = 0;
  std::string Description;
  std::int32_t PBID = 0;
  std::int32_t MemoID = 0;

  bool operator==(const TEvent&) const = default;
};

// Data: "n,a1,b1,...,an,bn" in decimal without blanks; "0," when n is 0.
struct TRingTone {
  std::int32_t UID = 0;
  std::string Name;  // at most 21 characters fit the phone's record
  std::string Data;

  bool operator==(const TRingTone&) const = default;
};

// A contact's one-line texts from the numbers to the country, in the record's order, by
// the names people give them (the export's comparison and the check of a restore).
struct TContactText {
  const char* Label;
  std::string TContact::*Field;
};
inline constexpr TContactText ContactTexts[] = {
    {"Home number", &TContact::TelHome}, {"Work number", &TContact::TelWork},
    {"Mobile number", &TContact::TelCell}, {"Fax number", &TContact::TelFax},
    {"Data number", &TContact::TelModem},  {"E-mail", &TContact::EMail},
    {"Street", &TContact::Street},         {"City", &TContact::City},
    {"Region", &TContact::Region},         {"Postal code", &TContact::PostalCode},
    {"Country", &TContact::Country}};

// The five lists the main window keeps. RingTones holds the 42 factory slots in front of
// the custom ring tones once a read or a load has filled it.
struct TEntryLists {
  std::vector<TvObject> vObjects;
  std::vector<TGroup> Groups;
  std::vector<TContact> Contacts;
  std::vector<TEvent> Events;
  std::vector<TRingTone> RingTones;

  // Empties Groups, Contacts, Events and RingTones (vObjects belongs to the parser).
  void ClearKindLists();
};

// Copy the fields a kind record takes from a parsed record. The TvObject's own UID goes
// into no kind record, and NewGroupID is left as it is; the caller sets both.
void FillGroup(TGroup& g, const TvObject& v);
void FillContact(TContact& c, const TvObject& v);
void FillEvent(TEvent& e, const TvObject& v);
void FillRingTone(TRingTone& r, const TvObject& v);  // UID from RingToneUID
