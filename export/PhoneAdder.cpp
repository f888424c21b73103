#include "PhoneAdder.h"

#include <algorithm>
#include <map>
#include <utility>

#include "EntryKinds.h"
#include "Handler.h"
#include "MainWindowHost.h"
#include "OperationEdge.h"
#include "PhoneCommands.h"
#include "PhoneReader.h"
#include "PhoneRestorer.h"
#include "TreeNodes.h"

namespace {

// The plan's kinds in the store loop's terms.
TImportKind ImportKindOf(TProgressKind kind) {
  switch (kind) {
    case TProgressKind::Groups: return TImportKind::Group;
    case TProgressKind::Contacts: return TImportKind::Contact;
    case TProgressKind::Events: return TImportKind::Event;
    case TProgressKind::RingTones: return TImportKind::RingTone;
  }
  return TImportKind::Contact;
}

std::size_t CustomRingTones(const TEntryLists& lists) {
  return lists.RingTones.size() > FactoryRingToneCount ? lists.RingTones.size() - FactoryRingToneCount : 0;
}

// The tree as a read of the lists would make it: the stores add nodes as they go, but a
// new group's node then stands behind contacts of the phone, where its own contacts are
// not looked for.
void ShowListsInTree(IMainWindowHost& host) {
  host.ClearTree();
  AddFixedTreeNodes(host);
  const TEntryLists& lists = host.Lists();
  for (const TGroup& g : lists.Groups) AddKindNode(host, g, /*restored=*/false);
  for (const TContact& c : lists.Contacts) AddKindNode(host, c, /*restored=*/false);
  for (const TEvent& e : lists.Events) AddKindNode(host, e, /*restored=*/false);
  for (std::size_t i = FactoryRingToneCount; i < lists.RingTones.size(); ++i)
    AddKindNode(host, lists.RingTones[i], /*restored=*/false);
}

class TAddRun {
 public:
  TAddRun(IMainWindowHost& host, const TAddOptions& options, TAddResult& result)
      : host_(host), options_(options), result_(result), plan_(result.Plan) {}
  // The stores behind the progress window, with the end steps of a restore.
  void Store();

 private:
  void Stores();
  void Accepted(TProgressKind kind, std::size_t index);
  void Refused(TProgressKind kind, std::size_t index, const std::string& reason);
  // The plan's entry for a store of the loop.
  std::size_t Entry(TProgressKind kind, std::size_t index) const {
    return entries_.at({ImportKindOf(kind), index});
  }
  void Note(std::size_t entry, TFindingKind kind, std::string text);
  void Count();
  void Check();

  IMainWindowHost& host_;
  const TAddOptions& options_;
  TAddResult& result_;
  TImportPlan& plan_;
  std::map<std::pair<TImportKind, std::size_t>, std::size_t> entries_;
  std::vector<bool> taken_;  // by plan entry
  TEntryLists added_;        // what the phone took, as it was sent
  std::size_t phoneGroups_ = 0, phoneRingTones_ = 0;
};

void TAddRun::Store() {
  for (std::size_t e = 0; e < plan_.Entries.size(); ++e)
    entries_[{plan_.Entries[e].Kind, plan_.Entries[e].Index}] = e;
  taken_.assign(plan_.Entries.size(), false);
  TEntryLists& lists = host_.Lists();
  phoneGroups_ = lists.Groups.size();
  phoneRingTones_ = CustomRingTones(lists);
  lists.RingTones.resize(std::max(lists.RingTones.size(), FactoryRingToneCount));
  added_.RingTones.resize(FactoryRingToneCount);

  result_.End = TAddEnd::Stopped;
  RunHandler([&] { Stores(); },
             [&] {
               Count();
               RunEachStep([&] { host_.SetAnswerTimeout(AnswerTimeoutMs); },
                           [&] {
                             if (!added_.Groups.empty() || !added_.Contacts.empty() || !added_.Events.empty() ||
                                 CustomRingTones(added_) > 0)
                               ShowListsInTree(host_);
                           },
                           [&] { UnlockControls(host_); });
             });
}

void TAddRun::Stores() {
  LockControls(host_, /*window=*/false);
  host_.StopRequested() = false;
  IProgressWindow& progress = host_.Progress();
  progress.SetCaption(QStringLiteral("Writing..."));
  progress.ResetBars();
  progress.ShowProgress();

  const TImportCounts& n = plan_.Counts;
  TStoreCallbacks callbacks;
  callbacks.Accepted = [this](TProgressKind kind, std::size_t index) { Accepted(kind, index); };
  callbacks.Refused = [this](TProgressKind kind, std::size_t index, const std::string& reason) {
    Refused(kind, index, reason);
  };
  if (!StoreEntries(host_, plan_.Store, {n.Groups, n.Contacts, n.Events, n.RingTones}, callbacks)) return;
  result_.End = TAddEnd::Stored;

  TEntryLists& lists = host_.Lists();
  const bool entries = !lists.Groups.empty() || !lists.Contacts.empty() || !lists.Events.empty();
  host_.SetControlEnabled(entries || CustomRingTones(lists) > 0 ? TMainControl::Save : TMainControl::Load, true);
  if (options_.Verify) Check();
}

// A stored entry as it was sent, and as a read of the phone gives it: a group carries
// its group identifier, a contact the one of the group it went out with.
template <class Record>
void Keep(const Record& stored, std::vector<Record>& sent, std::vector<Record>& phone) {
  sent.push_back(stored);
  Record& r = phone.emplace_back(stored);
  if constexpr (requires { r.NewGroupID; }) r.GroupID = r.NewGroupID;
}

void TAddRun::Accepted(TProgressKind kind, std::size_t index) {
  taken_[Entry(kind, index)] = true;
  TEntryLists& lists = host_.Lists();
  switch (kind) {
    case TProgressKind::Groups: return Keep(plan_.Store.Groups[index], added_.Groups, lists.Groups);
    case TProgressKind::Contacts: return Keep(plan_.Store.Contacts[index], added_.Contacts, lists.Contacts);
    case TProgressKind::Events: return Keep(plan_.Store.Events[index], added_.Events, lists.Events);
    case TProgressKind::RingTones: return Keep(plan_.Store.RingTones[index], added_.RingTones, lists.RingTones);
  }
}

void TAddRun::Refused(TProgressKind kind, std::size_t index, const std::string& reason) {
  ++plan_.Counts.Refused;
  Note(Entry(kind, index), TFindingKind::NotTaken, "refused by the phone: " + reason);
  if (kind != TProgressKind::Groups) return;
  // Its contacts keep no link to it and go out without a group.
  const TGroup& group = plan_.Store.Groups[index];
  for (std::size_t c = 0; c < plan_.Store.Contacts.size(); ++c)
    if (plan_.Store.Contacts[c].GroupID == group.GroupID && plan_.Store.Contacts[c].NewGroupID == -1)
      Note(Entry(TProgressKind::Contacts, c), TFindingKind::Changed,
           "goes without a group: the phone refused " + EntryLabel(group));
}

void TAddRun::Note(std::size_t entry, TFindingKind kind, std::string text) {
  TPlannedEntry& e = plan_.Entries[entry];
  e.Findings.push_back(MakeFinding(kind, e.Origin, e.Label, std::move(text)));
}

// The counts of what the phone took, and of the fields left out of those entries.
void TAddRun::Count() {
  TImportCounts& n = plan_.Counts;
  n.Groups = static_cast<int>(added_.Groups.size());
  n.Contacts = static_cast<int>(added_.Contacts.size());
  n.Events = static_cast<int>(added_.Events.size());
  n.RingTones = static_cast<int>(CustomRingTones(added_));
  n.FieldsLeftOut = 0;
  for (std::size_t e = 0; e < plan_.Entries.size(); ++e)
    for (const TImportFinding& f : plan_.Entries[e].Findings)
      if (taken_[e] && f.Kind == TFindingKind::LeftOut) n.FieldsLeftOut += f.Count;
}

void TAddRun::Check() {
  const TLoadCounts counts{static_cast<int>(added_.Groups.size()), static_cast<int>(added_.Contacts.size()),
                           static_cast<int>(added_.Events.size()), static_cast<int>(CustomRingTones(added_))};
  // Behind the checked groups, the phone's own, so that a contact's group is named by
  // its name there too.
  TEntryLists checked = added_;
  for (std::size_t g = 0; g < phoneGroups_; ++g) {
    TGroup group = host_.Lists().Groups[g];
    group.NewGroupID = group.GroupID;
    checked.Groups.push_back(std::move(group));
  }
  result_.Verified = CheckStored(host_, checked, counts, phoneRingTones_, result_.Differences);
}

}  // namespace

TAddResult AddToPhone(IMainWindowHost& host, const QStringList& files, const TAddOptions& options) {
  TAddResult result;
  const TImportSet set = ImportFiles(files, options.Import);
  if (set.Entries() == 0) {
    result.Plan = PlanImport(TEntryLists{}, set, options.Match);
  } else if (!ReadPhone(host)) {
    result.End = TAddEnd::NotRead;  // what the phone holds is not known: nothing planned
  } else {
    result.Plan = PlanImport(host.Lists(), set, options.Match);
    const TImportCounts& n = result.Plan.Counts;
    if (options.DryRun) {
      result.End = TAddEnd::Planned;
    } else if (n.Groups + n.Contacts + n.Events + n.RingTones == 0) {
      result.End = TAddEnd::Stored;  // nothing the phone does not hold already
      result.Verified = true;
    } else {
      TAddRun(host, options, result).Store();
    }
  }
  result.Report = ImportReport(result.Plan, options.Verbose);
  result.Summary = ImportSummary(result.Plan.Counts, options.DryRun);
  return result;
}

TAddBox AddResultBox(const TAddResult& result) {
  TAddBox box;
  if (result.End == TAddEnd::NotRead) {
    box.Kind = TMsgKind::Warning;
    box.Text = "Nothing was added: the phone could not be read to its end, so what it holds is not known.";
    return box;
  }
  std::string summary = result.Summary;
  if (!summary.empty()) summary[0] = static_cast<char>(summary[0] - 'a' + 'A');
  box.Text = (result.End == TAddEnd::Stopped ? "The add stopped before its end. " : "") + summary + ".";
  // What could not be taken and what the phone refused, a few by name.
  constexpr std::size_t kNamedAtMost = 10;
  std::vector<std::string> refused;
  for (const TImportFinding& f : result.Plan.FileFindings)
    if (f.Kind == TFindingKind::NotTaken) refused.push_back(FindingLine(f));
  for (const TPlannedEntry& e : result.Plan.Entries)
    for (const TImportFinding& f : e.Findings)
      if (f.Kind == TFindingKind::NotTaken) refused.push_back(FindingLine(f));
  for (std::size_t k = 0; k < refused.size() && k < kNamedAtMost; ++k) box.Text += "\n" + refused[k];
  if (refused.size() > kNamedAtMost) box.Text += "\nand " + std::to_string(refused.size() - kNamedAtMost) + " more";
  if (!result.Report.empty()) box.Text += "\nThe details are in the log.";
  const TImportCounts& n = result.Plan.Counts;
  if (result.End == TAddEnd::Stopped || n.Refused > 0 || n.NotTaken > 0) box.Kind = TMsgKind::Warning;
  return box;
}

const TFileDialogSettings& AddDialogSettings() {
  static const TFileDialogSettings settings{
      QStringLiteral("Add to phone from file"),
      QStringLiteral("Contacts and calendars (*.vcf *.ics *.vcs *.zrv)|*.vcf *.ics *.vcs *.zrv|All files (*)|*"),
      QString(), QString()};
  return settings;
}
