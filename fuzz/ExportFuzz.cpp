// Fuzz target of zarvo-export over arbitrary backup files: the bytes are read as Load
// reads a file's text, parsed and filed, then exported to vCard and iCalendar, listed,
// and compared with themselves.
//
// Beyond not crashing: each export is valid UTF-8, every line ends in CR LF and holds at
// most 75 octets before it, BEGIN and END pair up by name (one VCARD per contact, one
// VEVENT per exported event, a VCALENDAR around them only when there are any); a backup
// compared with itself holds the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "BackupFile.h"
#include "Export.h"
#include "ExportBackup.h"
#include "VObjectParser.h"
#include "VObjectText.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool ValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 9;
    if (n == 9 || (n == 1 && c < 0xC2) || i + n >= s.size()) return false;
    for (std::size_t k = 1; k <= n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n + 1;
  }
  return true;
}

// Checks every line of an export; the names of the components begun, in order.
std::vector<std::string> CheckLines(const std::string& text) {
  std::vector<std::string> begun, open;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    Require(end != std::string::npos);
    const std::string_view line(text.data() + start, end - start);
    Require(line.size() <= 75 && line.find_first_of("\r\n") == std::string_view::npos && ValidUtf8(line));
    if (line.starts_with("BEGIN:")) {
      open.emplace_back(line.substr(6));
      begun.emplace_back(line.substr(6));
    } else if (line.starts_with("END:")) {
      Require(!open.empty() && open.back() == line.substr(4));
      open.pop_back();
    }
    start = end + 2;
  }
  Require(open.empty());
  return begun;
}

std::size_t Count(const std::vector<std::string>& names, const char* name) {
  std::size_t n = 0;
  for (const std::string& s : names) n += s == name;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > MaxBackupFileSize) return 0;
  TEntryLists lists;
  ParseVObjects(SplitLines(std::string_view(reinterpret_cast<const char*>(data), size)), lists.vObjects,
                [](const std::string&) {});
  FileParsedEntries(lists);

  const TExportText contacts = ExportContacts(lists);
  const std::vector<std::string> cards = CheckLines(contacts.Text);
  Require(contacts.Exported == static_cast<int>(lists.Contacts.size()));
  Require(Count(cards, "VCARD") == lists.Contacts.size() && cards.size() == lists.Contacts.size());

  const TExportText calendar = ExportCalendar(lists, QDateTime::fromSecsSinceEpoch(0));
  const std::vector<std::string> events = CheckLines(calendar.Text);
  Require(calendar.Exported + calendar.Skipped == static_cast<int>(lists.Events.size()));
  Require(Count(events, "VEVENT") == static_cast<std::size_t>(calendar.Exported));
  Require(Count(events, "VCALENDAR") == (calendar.Exported > 0 ? 1u : 0u));
  Require(calendar.Text.empty() == (calendar.Exported == 0));

  for (const std::string& line : ListBackup(lists)) Require(ValidUtf8(line));
  Require(CompareBackups(lists, "a", lists, "b").Same);
  return 0;
}
