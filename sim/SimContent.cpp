#include "SimContent.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "SimVObject.h"

namespace {

const std::vector<TSimEntry> NoEntries;

// One line of a raw text: where it starts and where its text ends (before CR/LF).
struct TLineSpan {
  std::size_t Begin, End;
};

std::vector<TLineSpan> LineSpans(const std::string& text) {
  std::vector<TLineSpan> spans;
  std::size_t begin = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\r' || text[i] == '\n') {
      if (i > begin || i < text.size()) spans.push_back({begin, i});
      if (i < text.size() && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      begin = i + 1;
    }
  }
  return spans;
}

// Replaces the value of the first line with this property name, in place, so that the
// text keeps its bytes and line ends otherwise.
void RewriteValue(std::string& text, const std::string& name, const std::string& value) {
  for (const auto& span : LineSpans(text)) {
    std::string line = text.substr(span.Begin, span.End - span.Begin);
    if (SimPropertyName(line) != name) continue;
    std::size_t colon = span.Begin + line.find(':');
    text.replace(colon + 1, span.End - colon - 1, value);
    return;
  }
}

std::optional<std::int32_t> FirstValue(const std::vector<std::string>& lines, const std::string& name) {
  for (const auto& line : lines)
    if (SimPropertyName(line) == name) return SimParseInt(SimPropertyValue(line));
  return std::nullopt;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& upper) {
  for (const auto& line : lines)
    if (SimUpper(line) == upper) return true;
  return false;
}

std::vector<std::string> TrimmedLines(const std::string& text) {
  std::vector<std::string> lines = SimSplitLines(text);
  while (!lines.empty() && lines.front().empty()) lines.erase(lines.begin());
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

TSimRingTone RingToneFromCard(const std::vector<std::string>& card) {
  std::string name, data;
  for (std::size_t i = 0; i < card.size(); ++i) {
    std::string property = SimPropertyName(card[i]);
    if (property == "X-ZARVO-RINGTONE-NAME") name = SimPropertyValue(card[i]);
    if (property != "X-ZARVO-RINGTONE-DATA") continue;
    data = SimPropertyValue(card[i]);
    while (!data.empty() && data.back() == '=' && i + 1 < card.size()) {
      data.pop_back();
      data += card[++i];
    }
  }
  return SimParseRingToneData(name, data);
}

}  // namespace

bool SimIdentifierFits(std::int64_t id) {
  if (id <= 0 || id > SimMaxId) return false;
  for (int k = 0; k < 4; ++k)
    if (((id >> (8 * k)) & 0xFF) == 13) return false;
  return (id & 0xFF) != '>';
}

TSimContent TSimContent::Empty() {
  TSimContent content;
  for (std::int32_t i = 1; content.factory_.size() < SimFactoryRingToneCount; ++i)
    if (SimIdentifierFits(0x19080000 + i)) content.factory_.push_back(0x19080000 + i);
  return content;
}

const std::vector<TSimEntry>& TSimContent::List(int type) const {
  switch (type) {
    case stContact: return contacts_;
    case stGroup: return groups_;
    case stEvent: return events_;
    case stRingTone: return ringTones_;
    default: return NoEntries;
  }
}

std::vector<TSimEntry>& TSimContent::MutableList(int type) {
  if (!IsType(type)) throw std::runtime_error("entry type " + std::to_string(type) + " does not exist");
  return const_cast<std::vector<TSimEntry>&>(List(type));
}

const TSimEntry* TSimContent::Find(int type, std::int32_t id) const {
  for (const auto& entry : List(type))
    if (entry.Id == id) return &entry;
  return nullptr;
}

bool TSimContent::IsFactoryRingTone(std::int32_t id) const {
  for (auto factory : factory_)
    if (factory == id) return true;
  return false;
}

bool TSimContent::Usable(int type, std::int64_t id) const {
  if (id <= 0 || id > SimMaxId) return false;
  if (Find(type, std::int32_t(id))) return false;
  return type != stRingTone || !IsFactoryRingTone(std::int32_t(id));
}

std::int32_t TSimContent::NextId(int type) {
  for (;;) {
    std::int64_t id = 0;
    switch (type) {
      case stGroup: id = SimGroupBase + std::int64_t(nextGroup_++); break;
      case stContact: id = 0x19000000 + 131 * std::int64_t(nextContact_++); break;
      case stEvent: id = 0x100 + 37 * std::int64_t(nextEvent_++); break;
      default: id = 0x19090000 + std::int64_t(nextRingTone_++); break;
    }
    if (id > SimMaxId) throw std::runtime_error("the phone has no identifiers left");
    if (SimIdentifierFits(id) && Usable(type, id)) return std::int32_t(id);
  }
}

std::int32_t TSimContent::Store(int type, const std::string& data) {
  auto& list = MutableList(type);
  std::int32_t id = NextId(type);
  std::string stored = data;
  if (type != stRingTone) RewriteValue(stored, "UID", std::to_string(id));
  if (type == stGroup) RewriteValue(stored, "X-SIEMENS-GROUP-ID", std::to_string(id - SimGroupBase));
  list.push_back({id, std::move(stored), data});
  return id;
}

void TSimContent::Add(int type, std::int32_t id, const std::string& data) {
  auto& list = MutableList(type);
  if (!Usable(type, id))
    throw std::runtime_error("identifier " + std::to_string(id) + " is taken or out of range");
  list.push_back({id, data, data});
}

std::optional<int> TSimContent::CheckEntry(int type, const std::string& data) {
  if (type == stRingTone) {
    if (data.size() < SimRingToneHeader ||
        data.size() != SimRingToneHeader + 4 * std::size_t(static_cast<unsigned char>(data[47])))
      return 262;  // "Wrong amount of data transferred"
    if (data[46] != 1) return 267;
    return std::nullopt;
  }
  std::vector<std::string> lines = TrimmedLines(data);
  if (lines.empty()) return 267;  // "Parse syntax error"
  std::string first = SimUpper(lines.front()), last = SimUpper(lines.back());
  if (type == stEvent) {
    if (first != "BEGIN:VCALENDAR" || last != "END:VCALENDAR") return 267;
    if (!HasLine(lines, "VERSION:1.0")) return 270;  // "Parse VERSION"
    int begins = 0, ends = 0;
    for (const auto& line : lines) {
      begins += SimUpper(line) == "BEGIN:VEVENT";
      ends += SimUpper(line) == "END:VEVENT";
    }
    if (begins == 0) return 267;
    if (begins > 1) return 266;  // "Parse too complex"
    if (ends == 0) return 269;   // "Parse VEND"
    return std::nullopt;
  }
  if (first != "BEGIN:VCARD" || last != "END:VCARD") return 267;
  if (!HasLine(lines, "VERSION:2.1")) return 270;
  bool group = false;
  for (const auto& line : lines) group = group || SimPropertyName(line) == "X-SIEMENS-GROUP-NAME";
  if (group != (type == stGroup)) return 267;
  return std::nullopt;
}

TSimContent TSimContent::FromBackupText(const std::string& text) {
  TSimContent content = Empty();
  std::vector<std::string> lines = SimSplitLines(text);
  if (lines.size() > 1 && lines[0].rfind("//", 0) == 0 && lines[1].rfind("// ", 0) == 0)
    content.Notice = lines[1].substr(3);

  auto fail = [](std::size_t line, const std::string& what) {
    throw std::runtime_error("line " + std::to_string(line + 1) + ": " + what);
  };
  // Everything up to the end line, or a failure when the text ends first.
  auto collect = [&](std::size_t& i, const std::string& end) {
    std::size_t start = i;
    std::vector<std::string> object;
    for (; i < lines.size(); ++i) {
      object.push_back(lines[i]);
      if (SimUpper(lines[i]) == end) return object;
    }
    fail(start, "no " + end + " before the end of the file");
    return object;
  };
  auto place = [&](int type, std::optional<std::int32_t> id, const std::string& data) {
    bool keep = id && content.Usable(type, *id) && (type != stGroup || *id > SimGroupBase);
    if (keep)
      content.Add(type, *id, data);
    else
      content.Store(type, data);
  };

  bool inCalendar = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string upper = SimUpper(lines[i]);
    if (!inCalendar && upper == "BEGIN:VCARD") {
      std::size_t start = i;
      std::vector<std::string> card = collect(i, "END:VCARD");
      bool ringTone = false, group = false;
      for (const auto& line : card) {
        std::string name = SimPropertyName(line);
        ringTone = ringTone || name.rfind("X-ZARVO-RINGTONE-", 0) == 0;
        group = group || name == "X-SIEMENS-GROUP-NAME";
      }
      if (ringTone) {
        TSimRingTone tone;
        try {
          tone = RingToneFromCard(card);
        } catch (const std::invalid_argument& error) {
          fail(start, error.what());
        }
        place(stRingTone, FirstValue(card, "X-ZARVO-RINGTONE-UID"), SimRingToneRecord(tone));
      } else {
        place(group ? stGroup : stContact, FirstValue(card, "UID"), SimJoinLines(card));
      }
    } else if (!inCalendar && upper.find("BEGIN:VCALENDAR") != std::string::npos) {
      inCalendar = true;
    } else if (inCalendar && upper == "BEGIN:VEVENT") {
      std::vector<std::string> event = collect(i, "END:VEVENT");
      std::vector<std::string> calendar = {"BEGIN:VCALENDAR", "VERSION:1.0"};
      calendar.insert(calendar.end(), event.begin(), event.end());
      calendar.push_back("END:VCALENDAR");
      place(stEvent, FirstValue(event, "UID"), SimJoinLines(calendar));
    } else if (inCalendar && upper == "END:VCALENDAR") {
      inCalendar = false;
    }
  }
  return content;
}

TSimContent TSimContent::FromBackupFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot open " + path);
  std::ostringstream text;
  text << file.rdbuf();
  try {
    return FromBackupText(text.str());
  } catch (const std::runtime_error& error) {
    throw std::runtime_error(path + ", " + error.what());
  }
}

std::string TSimContent::BackupText() const {
  std::vector<std::string> lines = {"// ZARVO", "// " + Notice,
                                    "// This is a generated backup file. Do not edit!"};
  for (const auto* list : {&groups_, &contacts_}) {
    for (const auto& entry : *list) {
      lines.emplace_back();
      for (auto& line : TrimmedLines(entry.Data)) lines.push_back(std::move(line));
    }
  }
  if (!events_.empty()) {
    lines.insert(lines.end(), {"", "BEGIN:VCALENDAR", "VERSION:1.0"});
    for (const auto& entry : events_) {
      bool inEvent = false;
      for (auto& line : SimSplitLines(entry.Data)) {
        std::string upper = SimUpper(line);
        inEvent = inEvent || upper == "BEGIN:VEVENT";
        if (inEvent) lines.push_back(line);
        if (upper == "END:VEVENT") inEvent = false;
      }
    }
    lines.push_back("END:VCALENDAR");
  }
  for (const auto& entry : ringTones_) {
    lines.emplace_back();
    auto tone = SimDecodeRingToneRecord(entry.Data);
    for (auto& line : SimRingToneCard(entry.Id, tone.value_or(TSimRingTone{})))
      lines.push_back(std::move(line));
  }
  return SimJoinLines(lines);
}

void TSimContent::WriteBackupFile(const std::string& path) const {
  // Written beside the target and renamed, so a reader never sees half a file.
  std::string temporary = path + ".part";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (!file) throw std::runtime_error("cannot create " + temporary);
    file << BackupText();
    if (!file.flush()) throw std::runtime_error("cannot write " + temporary);
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    throw std::runtime_error("cannot rename " + temporary + " to " + path);
  }
}
