#include "PhoneRestorer.h"

#include "BackupFile.h"
#include "MainWindowHost.h"
#include "PhoneCommands.h"
#include "PhoneProtocol.h"
#include "PhoneReader.h"
#include "TreeNodes.h"
#include "VObjectWriter.h"
#include "VaComm.h"

namespace {

constexpr int kRestoreTimeoutMs = 180000;

class TRestoreRun {
 public:
  explicit TRestoreRun(IMainWindowHost& host) : host_(host), ex_(host.Exchange()) {}
  void Run(const TLoadCounts& counts);

 private:
  // The store command with the exact byte count, then the entry; false when either
  // exchange failed (it has shown its message).
  bool StoreText(int type, const std::string& text);
  bool StoreGroups();
  bool StoreContacts();
  bool StoreEvents();
  bool StoreRingTones();
  bool Stopped() const { return host_.StopRequested(); }

  IMainWindowHost& host_;
  TAtExchange& ex_;
  std::size_t ng_ = 0, nc_ = 0, ne_ = 0, nr_ = 0;
};


void TRestoreRun::Run(const TLoadCounts& counts) {
  ng_ = static_cast<std::size_t>(counts.Groups);
  nc_ = static_cast<std::size_t>(counts.Contacts);
  ne_ = static_cast<std::size_t>(counts.Events);
  nr_ = static_cast<std::size_t>(counts.RingTones);
  IProgressWindow& progress = host_.Progress();
  progress.SetTotal(TProgressKind::Groups, counts.Groups);
  progress.SetTotal(TProgressKind::Contacts, counts.Contacts);
  progress.SetTotal(TProgressKind::Events, counts.Events);
  progress.SetTotal(TProgressKind::RingTones, counts.RingTones);
  host_.SetAnswerTimeout(kRestoreTimeoutMs);

  // The restore adds below the read's nodes; a tree without them gets them first.
  if (!host_.AddressBookNode) AddFixedTreeNodes(host_);

  if (!StoreGroups() || !StoreContacts() || !StoreEvents() || !StoreRingTones()) return;
  if (ng_ + nc_ + ne_ + nr_ > 0)
    host_.SetControlEnabled(TMainControl::Save, true);
  else
    host_.SetControlEnabled(TMainControl::Load, true);  // nothing written: the phone is still empty
}

bool TRestoreRun::StoreText(int type, const std::string& text) {
  return ex_.SendCommand(PutCommand(type, static_cast<long long>(text.size()))) && ex_.SendCommand(text);
}

bool TRestoreRun::StoreGroups() {
  TEntryLists& lists = host_.Lists();
  for (std::size_t n = 1; n <= ng_; ++n) {
    TGroup& group = lists.Groups[n - 1];
    if (!StoreText(etGroups, EntryText(GroupToVCard(group, host_.ParseLines())))) return false;
    group.UID = DecodeNewIdentifier(ex_.Answer);
    group.NewGroupID = static_cast<std::int32_t>(static_cast<std::int64_t>(group.UID) - GroupIdOffset);
    for (TContact& contact : lists.Contacts)
      if (contact.GroupID == group.GroupID) contact.NewGroupID = group.NewGroupID;
    host_.Progress().StepDone(TProgressKind::Groups, static_cast<int>(n), static_cast<int>(ng_));
    AddGroupNode(host_, group.Name, group.NewGroupID);
    if (Stopped()) return false;
  }
  return true;
}

bool TRestoreRun::StoreContacts() {
  TEntryLists& lists = host_.Lists();
  for (std::size_t n = 1; n <= nc_; ++n) {
    TContact& contact = lists.Contacts[n - 1];
    // The contact goes out with its group's new identifier. Writing a copy that carries
    // it gives the text a replacement of its "X-SIEMENS-GROUP-ID:" line would, without
    // touching a note that happens to hold the same characters.
    TContact relinked = contact;
    relinked.GroupID = contact.NewGroupID;
    if (!StoreText(etContacts, EntryText(ContactToVCard(relinked, host_.ParseLines())))) return false;
    contact.UID = DecodeNewIdentifier(ex_.Answer);
    host_.Progress().StepDone(TProgressKind::Contacts, static_cast<int>(n), static_cast<int>(nc_));
    AddContactNode(host_, contact.Name, contact.NewGroupID);
    if (Stopped()) return false;
  }
  return true;
}

bool TRestoreRun::StoreEvents() {
  TEntryLists& lists = host_.Lists();
  for (std::size_t n = 1; n <= ne_; ++n) {
    TEvent& event = lists.Events[n - 1];
    if (!StoreText(etEvents, EventEntryText(EventToVEvent(event, host_.ParseLines())))) return false;
    event.UID = DecodeNewIdentifier(ex_.Answer);
    host_.Progress().StepDone(TProgressKind::Events, static_cast<int>(n), static_cast<int>(ne_));
    AddEntryNode(host_, host_.CalendarNode, event.Description, 2);
    if (Stopped()) return false;
  }
  return true;
}

bool TRestoreRun::StoreRingTones() {
  TEntryLists& lists = host_.Lists();
  for (std::size_t n = 1; n <= nr_; ++n) {
    const TRingTone& ringTone = lists.RingTones[FactoryRingToneCount - 1 + n];
    const TDynamicCharArray record = BuildRingToneRecord(ringTone);  // refuses bad data before sending
    if (!ex_.SendCommand(PutCommand(etRingTones, static_cast<long long>(record.size()))) || !ex_.SendData(record)) return false;
    host_.Progress().StepDone(TProgressKind::RingTones, static_cast<int>(n), static_cast<int>(nr_));
    AddEntryNode(host_, host_.RingTonesNode, ringTone.Name, 7);
    if (Stopped()) return false;
  }
  return true;
}

}  // namespace

void RestoreToPhone(IMainWindowHost& host, const TLoadCounts& counts) { TRestoreRun(host).Run(counts); }
