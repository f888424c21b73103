#include "PhoneRestorer.h"

#include <array>
#include <type_traits>

#include "BackupFile.h"
#include "EntryKinds.h"
#include "MainWindowHost.h"
#include "PhoneCommands.h"
#include "PhoneProtocol.h"
#include "TreeNodes.h"
#include "VObjectWriter.h"
#include "VaComm.h"

namespace {

class TStoreRun {
 public:
  TStoreRun(IMainWindowHost& host, TEntryLists& lists, const TStoreCallbacks& callbacks)
      : host_(host), ex_(host.Exchange()), lists_(lists), callbacks_(callbacks) {}
  bool Run(const TLoadCounts& counts);

 private:
  template <class Record>
  bool StoreKind();
  // The store command with the exact byte count, then the entry; false when either
  // exchange failed (it has shown its message, or holds it for the Refused callback).
  template <class Record>
  bool Store(Record& r);
  bool Store(TRingTone& r);
  // A stored group's new group identifier, and its contacts' link to it.
  void Relink(TGroup& group);
  bool Stopped() const { return host_.StopRequested(); }

  IMainWindowHost& host_;
  TAtExchange& ex_;
  TEntryLists& lists_;
  const TStoreCallbacks& callbacks_;
  std::array<std::size_t, 4> count_{};  // by TProgressKind
};

bool TStoreRun::Run(const TLoadCounts& counts) {
  count_ = {static_cast<std::size_t>(counts.Groups), static_cast<std::size_t>(counts.Contacts),
            static_cast<std::size_t>(counts.Events), static_cast<std::size_t>(counts.RingTones)};
  IProgressWindow& progress = host_.Progress();
  progress.SetTotal(TProgressKind::Groups, counts.Groups);
  progress.SetTotal(TProgressKind::Contacts, counts.Contacts);
  progress.SetTotal(TProgressKind::Events, counts.Events);
  progress.SetTotal(TProgressKind::RingTones, counts.RingTones);
  host_.SetAnswerTimeout(RestoreAnswerTimeoutMs);

  // The stores add below the read's nodes; a tree without them gets them first.
  if (!host_.HasNode({TTreeNode::AddressBook})) AddFixedTreeNodes(host_);

  // The refusals are the caller's to report, for as long as the loop runs.
  struct THold {
    TAtExchange& Ex;
    bool Was;
    ~THold() { Ex.HoldRefusals = Was; }
  } hold{ex_, ex_.HoldRefusals};
  ex_.HoldRefusals = static_cast<bool>(callbacks_.Refused);

  return StoreKind<TGroup>() && StoreKind<TContact>() && StoreKind<TEvent>() && StoreKind<TRingTone>();
}

template <class Record>
bool TStoreRun::StoreKind() {
  using Kind = TEntryKind<Record>;
  std::vector<Record>& list = Kind::List(lists_);
  const std::size_t count = count_[static_cast<std::size_t>(Kind::Progress)];
  for (std::size_t n = 1; n <= count; ++n) {
    const std::size_t index = Kind::FirstSlot + n - 1;
    Record& r = list[index];
    const bool stored = Store(r);
    if (!stored && !(callbacks_.Refused && ex_.Failure == TSendFailure::Refused)) return false;
    host_.Progress().StepDone(Kind::Progress, static_cast<int>(n), static_cast<int>(count));
    if (stored) {
      AddKindNode(host_, r, /*restored=*/true);
      if (callbacks_.Accepted) callbacks_.Accepted(Kind::Progress, index);
    } else {
      callbacks_.Refused(Kind::Progress, index, ex_.FailureText);
    }
    if (Stopped()) return false;
  }
  return true;
}

template <class Record>
bool TStoreRun::Store(Record& r) {
  using Kind = TEntryKind<Record>;
  const std::string text = Kind::PhoneText(r, host_.ParseLines());
  if (!ex_.SendCommand(PutCommand(Kind::PhoneType, static_cast<long long>(text.size()))) || !ex_.SendCommand(text))
    return false;
  r.UID = DecodeNewIdentifier(ex_.Answer);
  if constexpr (std::is_same_v<Record, TGroup>) Relink(r);
  return true;
}

// A ring tone goes as a binary record, and the phone answers no identifier: the record
// keeps the file's.
bool TStoreRun::Store(TRingTone& r) {
  const TDynamicCharArray record = BuildRingToneRecord(r);  // refuses bad data before sending
  return ex_.SendCommand(PutCommand(etRingTones, static_cast<long long>(record.size()))) && ex_.SendData(record);
}

void TStoreRun::Relink(TGroup& group) {
  group.NewGroupID = static_cast<std::int32_t>(static_cast<std::int64_t>(group.UID) - GroupIdOffset);
  for (TContact& contact : lists_.Contacts)
    if (contact.GroupID == group.GroupID) contact.NewGroupID = group.NewGroupID;
}

}  // namespace

bool StoreEntries(IMainWindowHost& host, TEntryLists& lists, const TLoadCounts& counts,
                  const TStoreCallbacks& callbacks) {
  return TStoreRun(host, lists, callbacks).Run(counts);
}

bool RestoreToPhone(IMainWindowHost& host, const TLoadCounts& counts) {
  if (!StoreEntries(host, host.Lists(), counts)) return false;
  if (counts.Groups + counts.Contacts + counts.Events + counts.RingTones > 0)
    host.SetControlEnabled(TMainControl::Save, true);
  else
    host.SetControlEnabled(TMainControl::Load, true);  // nothing written: the phone is still empty
  return true;
}
