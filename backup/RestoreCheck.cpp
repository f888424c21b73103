#include "RestoreCheck.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "AppException.h"
#include "DateNumber.h"
#include "EntryKinds.h"
#include "MainWindowHost.h"
#include "PhoneReader.h"
#include "VObjectParser.h"

namespace {

using TFields = std::vector<std::pair<const char*, std::string>>;

std::string Number(std::int32_t value) { return std::to_string(value); }

// 8-bit text as one readable UTF-8 line.
std::string Readable(std::string_view latin1) {
  std::string out;
  for (std::size_t i = 0; i < latin1.size(); ++i) {
    const auto c = static_cast<unsigned char>(latin1[i]);
    if (c == '\r' && i + 1 < latin1.size() && latin1[i + 1] == '\n') {
      out += "\\n";
      ++i;
    } else if (c < 0x20) {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02X", c);
      out += code;
    } else {
      AppendLatin1AsUtf8(out, static_cast<char>(c));
    }
  }
  return out;
}

// A contact's group by its name: the restored group that the phone's group number
// stands for.
std::string GroupName(const TEntryLists& lists, std::int32_t groupId) {
  if (groupId == -1) return {};
  for (const TGroup& g : lists.Groups)
    if (g.NewGroupID == groupId) return g.Name;
  return "(group " + Number(groupId) + ")";
}

std::string Label(const char* kind, const std::string& name) { return std::string(kind) + " \"" + Readable(name) + "\""; }
std::string Label(const TGroup& g) { return Label("group", g.Name); }
std::string Label(const TContact& c) { return Label("contact", c.Name); }
std::string Label(const TEvent& e) { return Label("event", e.Description); }

// The numbering plans of a group's or a contact's five numbers, at the end of its fields.
template <class Record>
TFields WithNumberingPlans(TFields fields, const Record& r) {
  fields.insert(fields.end(), {{"NPI home", Number(r.NPIHome)},
                               {"NPI work", Number(r.NPIWork)},
                               {"NPI mobile", Number(r.NPICell)},
                               {"NPI fax", Number(r.NPIFax)},
                               {"NPI data", Number(r.NPIModem)}});
  return fields;
}

TFields Fields(const TGroup& g, const TEntryLists&) {
  return WithNumberingPlans({{"Name", g.Name}, {"Ring tone", Number(g.GroupSoundID)}}, g);
}

TFields Fields(const TContact& c, const TEntryLists& lists) {
  TFields fields{{"Name", c.Name}};
  for (const TContactText& text : ContactTexts) fields.emplace_back(text.Label, c.*text.Field);
  fields.insert(fields.end(), {{"Birthday", IsoDateText(c.Birthday)},
                               {"Note", c.Note},
                               {"Group", GroupName(lists, c.GroupID)},
                               {"Group ring tone", Number(c.GroupSoundID)}});
  return WithNumberingPlans(std::move(fields), c);
}

TFields Fields(const TEvent& e, const TEntryLists&) {
  return {{"Description", e.Description},
          {"Start", IsoDateTimeText(e.StartDate, e.StartTime, true)},
          {"End", IsoDateTimeText(e.EndDate, e.EndTime, true)},
          {"Repetition", Number(e.RepeatKind)},
          {"Repetition end", e.RepeatUntil == RepeatForever ? std::string("none") : IsoDateText(e.RepeatUntil)},
          {"Reminder", IsoDateTimeText(e.AlarmDate, e.AlarmTime, true)},
          {"Reminder sound", Number(e.AlarmContentID)}};
}

void Compare(const std::string& entry, const TFields& sent, const TFields& stored,
             std::vector<TStoredDifference>& out) {
  for (std::size_t i = 0; i < sent.size(); ++i)
    if (sent[i].second != stored[i].second)
      out.push_back({entry, sent[i].first, Readable(sent[i].second), Readable(stored[i].second)});
}

// The record a text parses into, as the read takes it, without a word in the log.
template <class Record>
Record Parsed(const std::string& text) {
  std::vector<TvObject> objects;
  Record r{};
  if (ParseVObjects(SplitLines(text), objects, [](const std::string&) {}) && !objects.empty())
    TEntryKind<Record>::Fill(r, objects.front());
  return r;
}

template <class Record>
bool CheckKind(IMainWindowHost& host, TEntryLists& lists, int count, std::vector<TStoredDifference>& out) {
  using Kind = TEntryKind<Record>;
  for (int n = 1; n <= count; ++n) {
    const Record& r = Kind::List(lists)[Kind::FirstSlot + static_cast<std::size_t>(n) - 1];
    const Record sent = Parsed<Record>(Kind::PhoneText(r, host.ParseLines()));
    if (!FetchEntry(host, Kind::PhoneType, r.UID)) return false;
    Record stored{};
    if (const TvObject* v = ParseFetchedEntry(host)) Kind::Fill(stored, *v);
    Compare(Label(sent), Fields(sent, lists), Fields(stored, lists), out);
    host.Progress().StepDone(Kind::Progress, n, count);
    if (host.StopRequested()) return false;
  }
  return true;
}

TFields Fields(const TRingToneRecordInfo& r) { return {{"Name", r.Name}, {"Melody", r.Data}}; }

bool CheckRingTones(IMainWindowHost& host, const TEntryLists& lists, int count, std::size_t before,
                    std::vector<TStoredDifference>& out) {
  if (count == 0) return true;
  std::vector<std::int32_t> ids;
  if (!ListIdentifiers(host, etRingTones, ids)) return false;
  const std::size_t first = std::min(ids.size(), FactoryRingToneCount + before);
  for (int n = 1; n <= count; ++n) {
    const std::size_t k = static_cast<std::size_t>(n) - 1;
    const TDynamicCharArray record = BuildRingToneRecord(lists.RingTones[FactoryRingToneCount + k]);
    const TRingToneRecordInfo sent = DecodeRingToneRecord(std::string(record.begin(), record.end()));
    const std::string label = Label("ring tone", sent.Name);
    if (first + k >= ids.size()) {
      out.push_back({label, {}, {}, {}});
    } else {
      if (!FetchEntry(host, etRingTones, ids[first + k])) return false;
      Compare(label, Fields(sent), Fields(DecodeRingToneRecord(host.Exchange().Answer)), out);
    }
    host.Progress().StepDone(TProgressKind::RingTones, n, count);
    if (host.StopRequested()) return false;
  }
  return true;
}

}  // namespace

bool CheckRestore(IMainWindowHost& host, const TLoadCounts& counts, std::vector<TStoredDifference>& differences) {
  return CheckStored(host, host.Lists(), counts, 0, differences);
}

bool CheckStored(IMainWindowHost& host, TEntryLists& stored, const TLoadCounts& counts,
                 std::size_t ringTonesBefore, std::vector<TStoredDifference>& differences) {
  IProgressWindow& progress = host.Progress();
  progress.SetCaption(QStringLiteral("Verifying..."));
  progress.ResetBars();
  progress.SetTotal(TProgressKind::Groups, counts.Groups);
  progress.SetTotal(TProgressKind::Contacts, counts.Contacts);
  progress.SetTotal(TProgressKind::Events, counts.Events);
  progress.SetTotal(TProgressKind::RingTones, counts.RingTones);
  // A fetch waits for its answer as long as in a read, not as long as a store.
  host.SetAnswerTimeout(AnswerTimeoutMs);
  return CheckKind<TGroup>(host, stored, counts.Groups, differences) &&
         CheckKind<TContact>(host, stored, counts.Contacts, differences) &&
         CheckKind<TEvent>(host, stored, counts.Events, differences) &&
         CheckRingTones(host, stored, counts.RingTones, ringTonesBefore, differences);
}
