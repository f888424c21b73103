#include "Import.h"

#include <QStringDecoder>
#include <exception>

#include "AppException.h"
#include "BackupFile.h"
#include "CountText.h"
#include "DateNumber.h"
#include "ImportFit.h"
#include "PhoneProtocol.h"
#include "VObjectParser.h"
#include "VObjectText.h"

namespace {

constexpr std::size_t kLabelCharacters = 40;

// Which component may stand inside which; "" is the file itself. A component of another
// name is carried as it is and left out with a finding.
struct TNesting {
  std::string_view Parent;
  std::string_view Child;
};
constexpr TNesting kNesting[] = {
    {"", "VCARD"},           {"", "VCALENDAR"},           {"VCALENDAR", "VEVENT"},   {"VCALENDAR", "VTODO"},
    {"VCALENDAR", "VJOURNAL"}, {"VCALENDAR", "VFREEBUSY"}, {"VCALENDAR", "VTIMEZONE"}, {"VEVENT", "VALARM"},
    {"VTODO", "VALARM"},     {"VTIMEZONE", "STANDARD"},   {"VTIMEZONE", "DAYLIGHT"},
};

bool MayHold(std::string_view parent, std::string_view child) {
  for (const TNesting& n : kNesting)
    if (n.Parent == parent && n.Child == child) return true;
  return false;
}

bool IsKnown(std::string_view child) {
  for (const TNesting& n : kNesting)
    if (n.Child == child) return true;
  return false;
}

// "BEGIN:VEVENT:" as some phones write it names VEVENT.
std::string ComponentName(std::string_view value) {
  value = value.substr(0, value.find_first_of(":;"));
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  return UpperAscii(value);
}


// Walks a file's content lines into components and hands each finished top-level one to
// its fit. Damaged nesting is mended: a BEGIN that its open component cannot hold, or an
// END of an outer one, closes what is open (with a finding), so that the next entry is
// read whole.
class TWalker {
 public:
  TWalker(TFileNotes& file, const TImportSettings& settings) : file_(file), settings_(settings) {}

  void Run(std::string_view text) {
    TContentReader reader(text);
    TContentLine line;
    while (reader.Next(line)) {
      if (line.IsProperty && line.Name == "BEGIN" && line.Group.empty()) {
        Begin(line);
      } else if (line.IsProperty && line.Name == "END" && line.Group.empty()) {
        End(line);
      } else if (open_.empty()) {
        Outside(line);
      } else {
        Property(std::move(line));
      }
    }
    while (!open_.empty()) Close(false);
    EndOutsideRun();
    if (!found_) {
      file_.Add(TFindingKind::NotTaken, firstLine_, "not a vCard, iCalendar or backup file: nothing taken");
      return;
    }
    for (const auto& [first, count] : outside_)
      file_.Add(TFindingKind::Broken, first,
                CountText(count, "line", "lines") + " outside any card or calendar: skipped");
  }

 private:
  void Begin(const TContentLine& line) {
    EndOutsideRun();
    const std::string name = ComponentName(line.Value);
    if (firstLine_ == 0) firstLine_ = line.Line;
    found_ = true;
    // A card right after an empty AGENT is that agent's card, inside its own.
    if (name == "VCARD" && agentNext_ && !open_.empty() && open_.back().Name == "VCARD") {
      Push(name, line.Line);
      return;
    }
    if (IsKnown(name)) {
      std::size_t keep = open_.size();
      while (keep > 0 && !MayHold(open_[keep - 1].Name, name)) --keep;
      if (keep == 0 && !MayHold("", name)) {
        // An event without its calendar: read as if it had one.
        if (MayHold("VCALENDAR", name)) {
          while (!open_.empty()) Close(false);
          Push("VCALENDAR", line.Line);
          file_.Add(TFindingKind::Broken, line.Line, "a " + name + " outside a VCALENDAR: read as in one");
          Push(name, line.Line);
          return;
        }
        keep = open_.size();  // STANDARD or VALARM astray: carried, then left out
      }
      while (open_.size() > keep) Close(false);
    }
    Push(name, line.Line);
  }

  void End(const TContentLine& line) {
    const std::string name = ComponentName(line.Value);
    std::size_t at = open_.size();
    while (at > 0 && open_[at - 1].Name != name) --at;
    if (at == 0) {
      if (open_.empty()) EndOutsideRun();
      file_.Add(TFindingKind::Broken, line.Line, "END:" + name + " without its BEGIN: skipped");
      return;
    }
    while (open_.size() > at) Close(false);
    Close(true);
    agentNext_ = false;
  }

  void Property(TContentLine line) {
    TComponent& top = open_.back();
    agentNext_ = line.IsProperty && line.Name == "AGENT" && line.Value.empty();
    if (!line.IsProperty) {
      file_.Add(TFindingKind::Broken, line.Line, "not a property line: skipped");
      return;
    }
    if (top.Properties.size() >= kMaxEntryLines) {
      if (top.Properties.size() == kMaxEntryLines)
        file_.Add(TFindingKind::Broken, line.Line,
                  "more than " + std::to_string(kMaxEntryLines) + " lines in one " + top.Name + ": the rest skipped");
      top.Properties.emplace_back();  // counts the skipped one, holds nothing
      return;
    }
    top.Properties.push_back(std::move(line));
  }

  void Outside(const TContentLine& line) {
    if (firstLine_ == 0) firstLine_ = line.Line;
    if (runCount_ == 0) runFirst_ = line.Line;
    ++runCount_;
  }

  void EndOutsideRun() {
    if (runCount_ == 0) return;
    if (outside_.size() < kMaxFileFindings) outside_.emplace_back(runFirst_, runCount_);
    runCount_ = 0;
  }

  void Push(const std::string& name, std::size_t line) {
    TComponent c;
    c.Name = name;
    c.Line = line;
    open_.push_back(std::move(c));
    agentNext_ = false;
  }

  void Close(bool ended) {
    TComponent c = std::move(open_.back());
    open_.pop_back();
    c.Ended = ended;
    // Lines beyond the limit held nothing.
    while (!c.Properties.empty() && c.Properties.back().Name.empty()) c.Properties.pop_back();
    if (!ended)
      file_.Add(TFindingKind::Broken, c.Line, c.Name + " has no END: taken as far as it went");
    if (open_.empty()) {
      Dispatch(c);
      return;
    }
    TComponent& parent = open_.back();
    // A calendar counts its to-dos; it need not hold them.
    if (c.Name == "VTODO" || c.Name == "VJOURNAL") {
      c.Properties.clear();
      c.Children.clear();
    }
    if (parent.Children.size() < kMaxImportEntries) parent.Children.push_back(std::move(c));
  }

  void Dispatch(const TComponent& c) {
    if (file_.Set().Entries() >= kMaxImportEntries) {
      if (!capNoted_)
        file_.Add(TFindingKind::NotTaken, c.Line,
                  "more than " + std::to_string(kMaxImportEntries) + " entries in the files: the rest not read");
      capNoted_ = true;
      return;
    }
    if (c.Name == "VCARD")
      FitCard(c, file_);
    else if (c.Name == "VCALENDAR")
      FitCalendar(c, file_, settings_.LocalZone);
    else
      file_.Add(TFindingKind::NotTaken, c.Line, "a " + c.Name + " is not a contact or an event: left out");
  }

  TFileNotes& file_;
  const TImportSettings& settings_;
  std::vector<TComponent> open_;
  bool agentNext_ = false;
  bool found_ = false;
  bool capNoted_ = false;
  std::size_t firstLine_ = 0;
  std::size_t runFirst_ = 0, runCount_ = 0;
  std::vector<std::pair<std::size_t, std::size_t>> outside_;
};

// A UTF-16 file (with or without its byte order mark) as UTF-8; a UTF-8 one without its
// mark.
std::string_view AsUtf8(std::string_view bytes, std::string& holder) {
  const auto at = [&](std::size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u; };
  if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) return bytes.substr(3);
  std::optional<QStringDecoder::Encoding> utf16;
  std::size_t skip = 0;
  if (at(0) == 0xFF && at(1) == 0xFE) utf16 = QStringDecoder::Utf16LE, skip = 2;
  else if (at(0) == 0xFE && at(1) == 0xFF) utf16 = QStringDecoder::Utf16BE, skip = 2;
  else if (at(0) != 0 && at(1) == 0 && at(2) != 0 && at(3) == 0) utf16 = QStringDecoder::Utf16LE;
  else if (at(0) == 0 && at(1) != 0 && at(2) == 0 && at(3) != 0) utf16 = QStringDecoder::Utf16BE;
  if (!utf16) return bytes;
  QStringDecoder decoder(*utf16);
  const QString text = decoder(QByteArrayView(bytes.data() + skip, static_cast<qsizetype>(bytes.size() - skip)));
  holder = text.toStdString();
  return holder;
}

// What a backup's parse reported about damaged lines, as findings.
void BackupLogFinding(TFileNotes& file, const std::string& log) {
  if (log.rfind("Line ", 0) != 0) return;
  if (log.find(" invalid") == std::string::npos && log.find("missing") == std::string::npos &&
      log.find("not a valid") == std::string::npos)
    return;
  std::size_t line = 0;
  for (std::size_t i = 5; i < log.size() && log[i] >= '0' && log[i] <= '9' && line < kMaxImportEntries * 1000; ++i)
    line = line * 10 + static_cast<std::size_t>(log[i] - '0');
  const std::size_t colon = log.find(": ");
  file.Add(TFindingKind::Broken, line, Latin1ToUtf8(colon == std::string::npos ? log : log.substr(colon + 2)));
}

// A text field that was refused when the backup was loaded.
void ClearRefused(std::string& field, const char* name, TEntryNotes& notes, std::size_t line) {
  if (field != ErrorFieldText) return;
  field.clear();
  TContentLine where;
  where.Line = line;
  notes.LeftOut(where, std::string(name) + " (refused when the backup was read)");
}

template <class Record>
void AddImported(std::vector<TImported<Record>>& to, Record r, TEntryNotes& notes, std::size_t line,
                 std::string groupName = {}) {
  TImported<Record> out;
  out.Entry = std::move(r);
  out.Origin = {notes.File(), line};
  out.Label = EntryLabel(out.Entry);
  out.GroupName = std::move(groupName);
  out.Findings = notes.Finish(out.Label);
  to.push_back(std::move(out));
}

// A backup, read as Load reads it; its texts are the phone's already.
void ImportBackup(TFileNotes& file, std::string_view text) {
  TEntryLists lists;
  const TLines lines = SplitLines(text);
  ParseVObjects(lines, lists.vObjects, [&](const std::string& log) { BackupLogFinding(file, log); });
  FileParsedEntries(lists);

  // The line each record began on, in the parser's order.
  std::vector<std::size_t> begins;
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (SameUpper(lines[i], "BEGIN:VCARD") || SameUpper(lines[i], "BEGIN:VEVENT")) begins.push_back(i + 1);
  if (begins.size() != lists.vObjects.size()) begins.assign(lists.vObjects.size(), 0);

  std::size_t groups = 0, contacts = 0, events = 0, tones = FactoryRingToneCount;
  TImportSet& set = file.Set();
  for (std::size_t k = 0; k < lists.vObjects.size() && set.Entries() < kMaxImportEntries; ++k) {
    const std::size_t line = begins[k];
    TEntryNotes notes(file.File());
    switch (lists.vObjects[k].Kind) {
      case vkGroup: {
        TGroup g = lists.Groups[groups++];
        ClearRefused(g.Name, "Name", notes, line);
        AddImported(set.Groups, std::move(g), notes, line);
        break;
      }
      case vkContact: {
        TContact c = lists.Contacts[contacts++];
        for (auto [field, name] : {std::pair{&TContact::Name, "Name"}, {&TContact::TelHome, "Home number"},
                                   {&TContact::TelWork, "Work number"}, {&TContact::TelCell, "Mobile number"},
                                   {&TContact::TelFax, "Fax number"}, {&TContact::TelModem, "Data number"},
                                   {&TContact::EMail, "E-mail"}, {&TContact::Note, "Note"}})
          ClearRefused(c.*field, name, notes, line);
        if (c.Street == ErrorFieldText) {
          ClearRefused(c.Street, "Address", notes, line);
          c.City = c.Region = c.PostalCode = c.Country = std::string();
        }
        std::string groupName;
        bool found = c.GroupID == -1;
        for (const TGroup& g : lists.Groups) {
          if (g.GroupID != c.GroupID || found) continue;
          groupName = g.Name == ErrorFieldText ? std::string() : g.Name;
          found = true;
        }
        if (!found)
          notes.Add(TFindingKind::Changed, line,
                    "its group (" + std::to_string(c.GroupID) + ") is not in the backup: added without a group");
        AddImported(set.Contacts, std::move(c), notes, line, std::move(groupName));
        break;
      }
      case vkEvent: {
        TEvent e = lists.Events[events++];
        ClearRefused(e.Description, "Description", notes, line);
        // Links to entries of the phone the backup came from mean nothing on this one.
        if (e.PBID != -1 || e.MemoID != -1)
          notes.Add(TFindingKind::LeftOut, line, "the link to an address-book entry or memo left out");
        e.PBID = e.MemoID = -1;
        AddImported(set.Events, std::move(e), notes, line);
        break;
      }
      case vkRingTone: {
        TRingTone r = lists.RingTones[tones++];
        r.Name = notes.Latin1Text(r.Name, "Ring tone name", line);
        try {
          BuildRingToneRecord(r);
        } catch (const std::exception& refused) {
          file.Add(TFindingKind::NotTaken, line, std::string(refused.what()) + ": not added", EntryLabel(r));
          break;
        }
        AddImported(set.RingTones, std::move(r), notes, line);
        break;
      }
      default: break;
    }
  }
}

bool IsBackup(std::string_view text) {
  const std::size_t end = text.find_first_of("\r\n");
  return text.substr(0, end) == BackupHeaderFirst;
}

// The first line of a description, shortened, as UTF-8.
std::string Headline(const std::string& latin1) {
  std::string line = latin1.substr(0, latin1.find_first_of("\r\n"));
  if (line.size() > kLabelCharacters) line = line.substr(0, kLabelCharacters) + "...";
  return Latin1ToUtf8(line);
}

std::string NameOrNone(const std::string& latin1) { return latin1.empty() ? "(no name)" : Latin1ToUtf8(latin1); }

}  // namespace

TImportFinding MakeFinding(TFindingKind kind, TEntryOrigin where, std::string entry, std::string text) {
  TImportFinding f;
  f.Kind = kind;
  f.Where = std::move(where);
  f.Entry = std::move(entry);
  f.Text = std::move(text);
  return f;
}

std::string FindingLine(const TImportFinding& finding) {
  std::string line = finding.Where.File;
  if (finding.Where.Line > 0) {
    line += ':';
    line += std::to_string(finding.Where.Line);
  }
  line += ": ";
  if (!finding.Entry.empty()) {
    line += finding.Entry;
    line += ": ";
  }
  line += finding.Text;
  return line;
}

std::string EntryLabel(const TGroup& g) { return "group " + NameOrNone(g.Name); }
std::string EntryLabel(const TContact& c) { return "contact " + NameOrNone(c.Name); }
std::string EntryLabel(const TRingTone& r) { return "ring tone " + NameOrNone(r.Name); }

std::string EntryLabel(const TEvent& e) {
  std::string label = "event";
  if (DateSet(e.StartDate)) label += ' ' + IsoDateTimeText(e.StartDate, e.StartTime);
  const std::string headline = Headline(e.Description);
  if (!headline.empty()) {
    label += ' ';
    label += headline;
  }
  return label;
}

void ImportText(TImportSet& set, const std::string& fileName, std::string_view bytes, const TImportSettings& settings) {
  TFileNotes file(set, fileName);
  if (bytes.size() > MaxBackupFileSize) {
    file.Add(TFindingKind::NotTaken, 0, "larger than 16 MiB, more than any phone holds: not read");
    return;
  }
  if (IsBackup(bytes)) {
    ImportBackup(file, bytes);
  } else {
    std::string holder;
    TWalker(file, settings).Run(AsUtf8(bytes, holder));
  }
  file.Finish();
}

TImportSet ImportFiles(const QStringList& files, const TImportSettings& settings) {
  TImportSet set;
  for (const QString& name : files) {
    const std::string shown = name.toStdString();
    std::string bytes;
    try {
      // Regular files of at most 16 MiB, read as Load reads a backup.
      bytes = ReadBackupBytes(name);
    } catch (const std::exception& refused) {
      set.FileFindings.push_back(
          MakeFinding(TFindingKind::NotTaken, {shown, 0}, {}, std::string(refused.what()) + ": nothing taken"));
      continue;
    }
    ImportText(set, shown, bytes, settings);
  }
  return set;
}
