// Fuzz target of the importer over arbitrary files: the bytes are imported as one file,
// fitted and planned against an empty phone, then planned again against a phone that
// holds what the first plan stores.
//
// Beyond not crashing: every text that would go to the phone is one the phone's vCard
// text can carry (no NUL; one-line fields without line breaks, the others with CR LF
// only) and reads back through the phone's writer and parser as it was; ring tone names
// fit their record and their data builds one; every finding and label is UTF-8; the
// plan stores what it counts; and a phone that holds the first plan's entries already
// gets nothing more from the same file.
#include <QStringDecoder>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Import.h"
#include "ImportMatch.h"
#include "PhoneProtocol.h"
#include "VObjectParser.h"
#include "VObjectWriter.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool Utf8(const std::string& s) {
  QStringDecoder decoder(QStringDecoder::Utf8);
  (void)QString(decoder(QByteArrayView(s.data(), static_cast<qsizetype>(s.size()))));
  return !decoder.hasError();
}

void RequireOneLine(const std::string& s) { Require(s.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos); }

void RequireLines(const std::string& s) {
  Require(s.find('\0') == std::string::npos);
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') Require(i + 1 < s.size() && s[i + 1] == '\n');
    if (s[i] == '\n') Require(i > 0 && s[i - 1] == '\r');
  }
}

// An entry's text as the restore sends it, parsed as a read of it would be.
TvObject ReadBack(const std::string& entryText) {
  std::vector<TvObject> parsed;
  ParseVObjects(SplitLines(entryText), parsed, [](const std::string&) {});
  Require(parsed.size() == 1);
  return parsed.front();
}

void CheckStored(const TEntryLists& store) {
  TLines parseLines;
  for (const TGroup& g : store.Groups) {
    RequireOneLine(g.Name);
    Require(ReadBack(EntryText(GroupToVCard(g, parseLines))).Name == g.Name);
  }
  for (const TContact& c : store.Contacts) {
    for (const std::string* s : {&c.Name, &c.TelHome, &c.TelWork, &c.TelCell, &c.TelFax, &c.TelModem, &c.EMail})
      RequireOneLine(*s);
    for (const std::string* s : {&c.Street, &c.City, &c.Region, &c.PostalCode, &c.Country, &c.Note}) RequireLines(*s);
    TContact back;
    FillContact(back, ReadBack(EntryText(ContactToVCard(c, parseLines))));
    back.UID = c.UID;
    back.NewGroupID = c.NewGroupID;
    Require(back == c);
  }
  for (const TEvent& e : store.Events) {
    RequireLines(e.Description);
    TEvent back;
    FillEvent(back, ReadBack(EventEntryText(EventToVEvent(e, parseLines))));
    back.UID = e.UID;
    if (back.RepeatKind == rkNone) back.RepeatUntil = e.RepeatUntil;  // written only with a repetition
    Require(back == e);
  }
  for (std::size_t i = FactoryRingToneCount; i < store.RingTones.size(); ++i) {
    Require(store.RingTones[i].Name.size() <= 21);
    BuildRingToneRecord(store.RingTones[i]);  // throws, and so aborts, for bad data
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TImportSet set;
  ImportText(set, "input", std::string_view(reinterpret_cast<const char*>(data), size), {QTimeZone::utc()});
  Require(set.Entries() <= kMaxImportEntries);

  TEntryLists empty;
  empty.RingTones.resize(FactoryRingToneCount);
  const TImportPlan plan = PlanImport(empty, set, {});
  const TImportCounts& n = plan.Counts;
  Require(static_cast<std::size_t>(n.Groups + n.Contacts + n.Events + n.RingTones) == plan.Entries.size());
  Require(static_cast<std::size_t>(n.Contacts) == plan.Store.Contacts.size());
  Require(static_cast<std::size_t>(n.RingTones) + FactoryRingToneCount == plan.Store.RingTones.size());
  CheckStored(plan.Store);
  for (const std::string& line : ImportReport(plan, true)) Require(Utf8(line));
  Require(Utf8(ImportSummary(n)));

  const TImportPlan again = PlanImport(plan.Store, set, {});
  Require(again.Entries.empty());
  return 0;
}
