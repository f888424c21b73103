// Fuzz target of the vObject parser. The input's bytes are cut into lines at LF (a CR
// before it goes too, as a file load drops it); every other byte, NUL and a lone CR
// included, stays in its line. Beyond not crashing, the parse must write its frame and
// at most one finding per line (besides those about an END line missing there), in line
// order, naming lines that exist, and make no more records than the text has lines.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "VObjectParser.h"

namespace {

TLines SplitLines(std::string_view text) {
  TLines lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r' && end != std::string_view::npos) line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// The number of a "Line 0007: ..." finding, or 0 for any other text.
std::size_t LineNumber(const std::string& text) {
  if (text.rfind("Line ", 0) != 0) return 0;
  std::size_t n = 0;
  std::size_t k = 5;
  for (; k < text.size() && text[k] >= '0' && text[k] <= '9' && k < 25; ++k) n = n * 10 + static_cast<std::size_t>(text[k] - '0');
  if (k < 9 || text.compare(k, 2, ": ") != 0) return 0;
  return n;
}

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TLines lines = SplitLines(std::string_view(reinterpret_cast<const char*>(data), size));
  std::vector<TvObject> records(1);
  // The log is checked as it is written, line by line, to keep each run cheap.
  std::size_t count = 0;
  std::size_t previous = 0;
  bool endedOpen = false;  // the last finding closed a vObject whose END line is missing
  bool aborted = false;
  const auto check = [&](const std::string& text) {
    const std::size_t k = count++;
    if (k == 0) return Require(text.empty());
    if (k == 1) return Require(text.rfind("Parser start: ", 0) == 0);
    if (text.empty() || text.rfind("Parser end: ", 0) == 0) return;  // the closing lines
    if (text == "Not enough data - parsing aborted") {
      Require(k == 2 && !aborted);
      aborted = true;
      return;
    }
    const std::size_t n = LineNumber(text);
    Require((n > previous || (n == previous && endedOpen)) && n <= lines.size());
    previous = n;
    endedOpen = text.ends_with(" end missing");
  };
  const bool ok = ParseVObjects(lines, records, check);

  Require(ok == (lines.size() >= 3) && aborted == !ok);
  Require(count >= 4);
  Require(records.size() <= lines.size());
  if (!ok) Require(records.empty() && count == 5);
  for (const TvObject& v : records) {
    Require(v.Kind == vkContact || v.Kind == vkGroup || v.Kind == vkEvent || v.Kind == vkRingTone);
    Require(v.RepeatKind >= rkNone && v.RepeatKind <= rkYearly);
  }
  return 0;
}
