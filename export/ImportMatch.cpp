#include "ImportMatch.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "CountText.h"
#include "ImportFit.h"
#include "ImportTime.h"

namespace {

bool IsBlankByte(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0xA0; }

// What a number keeps for comparison: no blanks, dashes, dots or brackets.
bool IsNumberFiller(unsigned char c) {
  return IsBlankByte(c) || c == '-' || c == '.' || c == '(' || c == ')' || c == '[' || c == ']';
}

std::string Digits(std::string_view country) {
  std::string out;
  for (char c : country)
    if (c >= '0' && c <= '9') out += c;
  return out;
}

// The sorted numbers of a contact, one key each.
std::string NumberSetKey(const TContact& c, const TMatchOptions& options) {
  std::vector<std::string> keys;
  for (const std::string* n : {&c.TelHome, &c.TelWork, &c.TelCell, &c.TelFax, &c.TelModem}) {
    std::string key = NumberKey(*n, options);
    if (!key.empty()) keys.push_back(std::move(key));
  }
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  std::string joined;
  for (const std::string& k : keys) joined += k + '\n';
  return joined;
}

std::string EventKey(const TEvent& e) {
  std::string key = std::to_string(FromDateNumbers(e.StartDate, e.StartTime)) + '|' + std::to_string(e.RepeatKind);
  if (e.RepeatKind != rkNone)
    key += '|' + (e.RepeatUntil == RepeatForever ? std::string("forever")
                                                 : std::to_string(std::isfinite(e.RepeatUntil) ? std::trunc(e.RepeatUntil) : 0));
  return key + '|' + TextKey(e.Description);
}

std::string RingToneKey(const TRingTone& r) { return TextKey(r.Name) + '\n' + r.Data; }

// The phone may have cut the name it stores, so its name may begin the file's.
bool NameMatches(const std::string& phoneKey, const std::string& fileKey) {
  return phoneKey == fileKey || (!phoneKey.empty() && fileKey.rfind(phoneKey, 0) == 0);
}

std::string Where(const TEntryOrigin& o) { return o.Line > 0 ? o.File + ":" + std::to_string(o.Line) : o.File; }


class TPlanner {
 public:
  TPlanner(const TEntryLists& phone, const TMatchOptions& options) : options_(options) {
    plan_.Store.RingTones.resize(FactoryRingToneCount);
    for (const TGroup& g : phone.Groups) {
      phoneGroups_.emplace(TextKey(g.Name), &g);
      used_.insert(g.GroupID);
    }
    for (const TContact& c : phone.Contacts) {
      used_.insert(c.GroupID);
      phoneContacts_[NumberSetKey(c, options)].push_back(&c);
    }
    for (const TEvent& e : phone.Events) phoneEvents_.emplace(EventKey(e), &e);
    for (std::size_t i = FactoryRingToneCount; i < phone.RingTones.size(); ++i)
      phoneTones_.emplace(RingToneKey(phone.RingTones[i]), &phone.RingTones[i]);
  }

  TImportPlan Run(const TImportSet& set) {
    for (const TImported<TGroup>& g : set.Groups) Group(g);
    for (const TImported<TContact>& c : set.Contacts) Contact(c);
    for (const TImported<TEvent>& e : set.Events) {
      Keyed(TImportKind::Event, e, EventKey(e.Entry), phoneEvents_, planned_[2], plan_.Store.Events, others_);
    }
    for (const TImported<TRingTone>& r : set.RingTones) {
      Keyed(TImportKind::RingTone, r, RingToneKey(r.Entry), phoneTones_, planned_[3], plan_.Store.RingTones, others_);
    }
    plan_.Entries = std::move(groups_);
    plan_.Entries.insert(plan_.Entries.end(), contacts_.begin(), contacts_.end());
    plan_.Entries.insert(plan_.Entries.end(), others_.begin(), others_.end());

    plan_.FileFindings = set.FileFindings;
    TImportCounts& n = plan_.Counts;
    n.Groups = static_cast<int>(plan_.Store.Groups.size());
    n.Contacts = static_cast<int>(plan_.Store.Contacts.size());
    n.Events = static_cast<int>(plan_.Store.Events.size());
    n.RingTones = static_cast<int>(plan_.Store.RingTones.size() - FactoryRingToneCount);
    for (const TSkippedDuplicate& d : plan_.Duplicates) ++(d.OnPhone ? n.OnPhone : n.InFiles);
    for (const TPlannedEntry& e : plan_.Entries)
      for (const TImportFinding& f : e.Findings)
        if (f.Kind == TFindingKind::LeftOut) n.FieldsLeftOut += f.Count;
    for (const TImportFinding& f : set.FileFindings) n.NotTaken += f.Kind == TFindingKind::NotTaken;
    n.TodosLeftOut = static_cast<int>(set.LeftOutTodos + set.LeftOutJournals);
    return std::move(plan_);
  }

 private:
  std::int32_t NextGroupId() {
    while (used_.count(nextId_)) ++nextId_;
    used_.insert(nextId_);
    return nextId_;
  }

  template <class Record>
  void Skip(TImportKind kind, const TImported<Record>& entry, bool onPhone, std::string match) {
    plan_.Duplicates.push_back({kind, entry.Label, entry.Origin, onPhone, std::move(match)});
  }

  template <class Record>
  void Plan(std::vector<TPlannedEntry>& into, TImportKind kind, std::size_t index, const TImported<Record>& from) {
    into.push_back({kind, index, from.Label, from.Origin, from.Findings});
  }

  // A new group; its GroupID is one that no group or contact of the phone uses.
  std::size_t NewStoredGroup(TGroup g, const TImported<TGroup>* from, const TImported<TContact>* forContact) {
    g.UID = -1;
    g.NewGroupID = -1;
    g.GroupID = NextGroupId();
    const std::size_t index = plan_.Store.Groups.size();
    plannedGroups_.emplace(TextKey(g.Name), index);
    if (from) {
      Plan(groups_, TImportKind::Group, index, *from);
    } else {
      groups_.push_back({TImportKind::Group, index, EntryLabel(g), forContact->Origin, {}});
    }
    plan_.Store.Groups.push_back(std::move(g));
    return index;
  }

  void Group(const TImported<TGroup>& g) {
    const std::string key = TextKey(g.Entry.Name);
    if (const auto on = phoneGroups_.find(key); on != phoneGroups_.end())
      return Skip(TImportKind::Group, g, true, EntryLabel(*on->second));
    if (const auto earlier = plannedGroups_.find(key); earlier != plannedGroups_.end())
      return Skip(TImportKind::Group, g, false, Where(groups_[earlier->second].Origin));
    NewStoredGroup(g.Entry, &g, nullptr);
  }

  void Contact(const TImported<TContact>& ic) {
    const std::string numbers = NumberSetKey(ic.Entry, options_);
    const std::string name = TextKey(ic.Entry.Name);
    const TContact* onPhone = nullptr;
    if (const auto bucket = phoneContacts_.find(numbers); bucket != phoneContacts_.end()) {
      for (const TContact* p : bucket->second)
        if (NameMatches(TextKey(p->Name), name)) {
          onPhone = p;
          break;
        }
    }
    const std::string key = numbers + '\x01' + name;
    const auto earlier = planned_[1].find(key);
    if (!options_.KeepDuplicates) {
      if (onPhone) return Skip(TImportKind::Contact, ic, true, EntryLabel(*onPhone));
      if (earlier != planned_[1].end()) return Skip(TImportKind::Contact, ic, false, Where(earlier->second));
    }
    planned_[1].emplace(key, ic.Origin);

    TContact c = ic.Entry;
    c.UID = -1;
    c.GroupID = c.NewGroupID = -1;
    if (!ic.GroupName.empty()) {
      const std::string group = TextKey(ic.GroupName);
      if (const auto on = phoneGroups_.find(group); on != phoneGroups_.end()) {
        c.GroupID = c.NewGroupID = on->second->GroupID;
      } else {
        auto planned = plannedGroups_.find(group);
        const std::size_t index = planned != plannedGroups_.end()
                                      ? planned->second
                                      : NewStoredGroup(NewGroup(ic.GroupName), nullptr, &ic);
        c.GroupID = plan_.Store.Groups[index].GroupID;
      }
    }
    Plan(contacts_, TImportKind::Contact, plan_.Store.Contacts.size(), ic);
    plan_.Store.Contacts.push_back(std::move(c));
  }

  template <class Record>
  void Keyed(TImportKind kind, const TImported<Record>& entry, const std::string& key,
             const std::map<std::string, const Record*>& onPhone, std::map<std::string, TEntryOrigin>& planned,
             std::vector<Record>& store, std::vector<TPlannedEntry>& into) {
    if (!options_.KeepDuplicates) {
      if (const auto on = onPhone.find(key); on != onPhone.end()) return Skip(kind, entry, true, EntryLabel(*on->second));
      if (const auto earlier = planned.find(key); earlier != planned.end())
        return Skip(kind, entry, false, Where(earlier->second));
    }
    planned.emplace(key, entry.Origin);
    Record r = entry.Entry;
    if constexpr (!std::is_same_v<Record, TRingTone>) r.UID = -1;
    Plan(into, kind, store.size(), entry);
    store.push_back(std::move(r));
  }

  const TMatchOptions& options_;
  TImportPlan plan_;
  std::map<std::string, const TGroup*> phoneGroups_;
  std::map<std::string, std::vector<const TContact*>> phoneContacts_;
  std::map<std::string, const TEvent*> phoneEvents_;
  std::map<std::string, const TRingTone*> phoneTones_;
  std::map<std::string, std::size_t> plannedGroups_;
  std::map<std::string, TEntryOrigin> planned_[4];  // by TImportKind: the keys taken from the files
  std::set<std::int32_t> used_{-1};
  std::int32_t nextId_ = 1;
  std::vector<TPlannedEntry> groups_, contacts_, others_;
};

}  // namespace

std::string TextKey(std::string_view latin1) {
  std::string key;
  for (char ch : latin1) {
    auto c = static_cast<unsigned char>(ch);
    if (IsBlankByte(c)) continue;
    // ISO-8859-1's capitals, the multiplication sign aside, are 32 below their small letters.
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c = static_cast<unsigned char>(c + 32);
    key += static_cast<char>(c);
  }
  return key;
}

std::string NumberKey(std::string_view number, const TMatchOptions& options) {
  std::string key;
  for (char c : number)
    if (!IsNumberFiller(static_cast<unsigned char>(c))) key += c;
  key = TextKey(key);
  const std::string country = Digits(options.Country);
  if (country.empty()) return key;
  for (const std::string& international : {"+" + country, "00" + country}) {
    if (key.rfind(international, 0) == 0 && key.size() > international.size())
      return "0" + key.substr(international.size());
  }
  return key;
}

TImportPlan PlanImport(const TEntryLists& phone, const TImportSet& imported, const TMatchOptions& options) {
  return TPlanner(phone, options).Run(imported);
}

std::string ImportSummary(const TImportCounts& n, bool dryRun) {
  std::vector<std::string> kinds;
  if (n.Contacts) kinds.push_back(CountText(n.Contacts, "contact", "contacts"));
  if (n.Groups) kinds.push_back(CountText(n.Groups, "group", "groups"));
  if (n.Events) kinds.push_back(CountText(n.Events, "event", "events"));
  if (n.RingTones) kinds.push_back(CountText(n.RingTones, "ring tone", "ring tones"));
  std::string line = dryRun ? "would add " : "added ";
  if (kinds.empty()) line += "nothing";
  for (std::size_t i = 0; i < kinds.size(); ++i) line += (i ? ", " : "") + kinds[i];
  const auto part = [&](int count, const std::string& text) {
    if (count > 0) line += "; " + text;
  };
  part(n.OnPhone, std::to_string(n.OnPhone) + " already on the phone");
  part(n.InFiles, CountText(n.InFiles, "duplicate", "duplicates") + " within the files");
  part(n.FieldsLeftOut, CountText(n.FieldsLeftOut, "field", "fields") + " left out");
  part(n.TodosLeftOut, CountText(n.TodosLeftOut, "to-do or journal entry", "to-dos and journal entries") + " left out");
  part(n.NotTaken, CountText(n.NotTaken, "entry or file", "entries and files") + " not taken");
  part(n.Refused, std::to_string(n.Refused) + " refused by the phone");
  return line;
}

std::vector<std::string> ImportReport(const TImportPlan& plan, bool verbose) {
  std::vector<std::string> lines;
  for (const TImportFinding& f : plan.FileFindings) lines.push_back(FindingLine(f));
  for (const TPlannedEntry& e : plan.Entries) {
    if (e.Findings.empty()) continue;
    TImportFinding joined = MakeFinding(TFindingKind::Changed, e.Origin, e.Label, {});
    for (const TImportFinding& f : e.Findings) joined.Text += (joined.Text.empty() ? "" : "; ") + f.Text;
    lines.push_back(FindingLine(joined));
  }
  if (!verbose) return lines;
  for (const TSkippedDuplicate& d : plan.Duplicates) {
    const TImportFinding f = MakeFinding(TFindingKind::Changed, d.Origin, d.Label,
                                         d.OnPhone ? "already on the phone as " + d.Match : "already in " + d.Match);
    lines.push_back(FindingLine(f));
  }
  return lines;
}
