#pragma once
// The four kinds of phone entry, each described once: its entry type on the phone, its
// list, its progress bar, where its tree node goes and with which image, how a record is
// filled from a parsed vObject and how it is written for the phone. The read's fetch
// loop, the restore's store loop and Load's filing are written once over these
// descriptions (TEntryKind<TGroup> and so on), in the phone's order: groups, contacts,
// events, ring tones.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Entries.h"
#include "MainWindowHost.h"
#include "PhoneCommands.h"
#include "PhoneProtocol.h"
#include "TreeNodes.h"
#include "VObjectWriter.h"

template <class Record>
struct TEntryKind;

template <>
struct TEntryKind<TGroup> {
  static constexpr int PhoneType = etGroups;
  static constexpr TProgressKind Progress = TProgressKind::Groups;
  static constexpr std::size_t FirstSlot = 0;
  static constexpr TNodePlace Place = TNodePlace::AddressBookCarryingGroup;
  static constexpr int Image = imgGroup;
  static constexpr const char* Word = "group";
  static constexpr std::int32_t ObjectKind = vkGroup;  // what its fetched text must parse as
  static const std::string& NodeText(const TGroup& g) { return g.Name; }
  static std::vector<TGroup>& List(TEntryLists& lists) { return lists.Groups; }
  static void Fill(TGroup& g, const TvObject& v) { FillGroup(g, v); }
  static std::string PhoneText(const TGroup& g, TLines& parseLines) { return EntryText(GroupToVCard(g, parseLines)); }
};

template <>
struct TEntryKind<TContact> {
  static constexpr int PhoneType = etContacts;
  static constexpr TProgressKind Progress = TProgressKind::Contacts;
  static constexpr std::size_t FirstSlot = 0;
  static constexpr TNodePlace Place = TNodePlace::OwnGroup;
  static constexpr int Image = imgContact;
  static constexpr const char* Word = "contact";
  static constexpr std::int32_t ObjectKind = vkContact;
  static const std::string& NodeText(const TContact& c) { return c.Name; }
  static std::vector<TContact>& List(TEntryLists& lists) { return lists.Contacts; }
  static void Fill(TContact& c, const TvObject& v) { FillContact(c, v); }
  // The contact goes out with its group's new identifier. Writing a copy that carries it
  // gives the text a replacement of its "X-SIEMENS-GROUP-ID:" line would, without
  // touching a note that happens to hold the same characters.
  static std::string PhoneText(const TContact& c, TLines& parseLines) {
    TContact relinked = c;
    relinked.GroupID = c.NewGroupID;
    return EntryText(ContactToVCard(relinked, parseLines));
  }
};

template <>
struct TEntryKind<TEvent> {
  static constexpr int PhoneType = etEvents;
  static constexpr TProgressKind Progress = TProgressKind::Events;
  static constexpr std::size_t FirstSlot = 0;
  static constexpr TNodePlace Place = TNodePlace::Calendar;
  static constexpr int Image = imgEvent;
  static constexpr const char* Word = "event";
  static constexpr std::int32_t ObjectKind = vkEvent;
  static const std::string& NodeText(const TEvent& e) { return e.Description; }
  static std::vector<TEvent>& List(TEntryLists& lists) { return lists.Events; }
  static void Fill(TEvent& e, const TvObject& v) { FillEvent(e, v); }
  static std::string PhoneText(const TEvent& e, TLines& parseLines) {
    return EventEntryText(EventToVEvent(e, parseLines));
  }
};

// Ring tones travel as a binary record, not as text, and only the custom ones behind the
// 42 factory slots are fetched, stored and saved.
template <>
struct TEntryKind<TRingTone> {
  static constexpr int PhoneType = etRingTones;
  static constexpr TProgressKind Progress = TProgressKind::RingTones;
  static constexpr std::size_t FirstSlot = FactoryRingToneCount;
  static constexpr TNodePlace Place = TNodePlace::RingTones;
  static constexpr int Image = imgRingTone;
  static const std::string& NodeText(const TRingTone& r) { return r.Name; }
  static std::vector<TRingTone>& List(TEntryLists& lists) { return lists.RingTones; }
  static void Fill(TRingTone& r, const TvObject& v) { FillRingTone(r, v); }
};

// An entry's node, placed as its kind says. A group or contact is placed by the group
// identifier that holds on the phone: GroupID after a read, NewGroupID after a restore.
template <class Record>
void AddKindNode(IMainWindowHost& host, const Record& r, bool restored) {
  using Kind = TEntryKind<Record>;
  std::int32_t groupId = -1;
  if constexpr (requires { r.NewGroupID; }) groupId = restored ? r.NewGroupID : r.GroupID;
  AddPlacedNode(host, Kind::Place, Kind::NodeText(r), Kind::Image, groupId);
}
