#include "VObjectText.h"

#include <charconv>
#include <limits>

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = UpperAscii(c);
  return upper;
}

bool SameUpper(std::string_view text, std::string_view upper) {
  if (text.size() != upper.size()) return false;
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (UpperAscii(text[k]) != upper[k]) return false;
  }
  return true;
}

std::size_t FindUpper(std::string_view text, std::string_view upper) {
  if (upper.empty()) return 0;
  if (text.size() < upper.size()) return std::string_view::npos;
  const std::size_t last = text.size() - upper.size();
  for (std::size_t start = 0; start <= last; ++start) {
    if (UpperAscii(text[start]) == upper[0] && SameUpper(text.substr(start, upper.size()), upper)) {
      return start;
    }
  }
  return std::string_view::npos;
}

int IndexOfUpper(std::span<const std::string_view> table, std::string_view name) {
  for (std::size_t k = 0; k < table.size(); ++k) {
    if (SameUpper(name, table[k])) return static_cast<int>(k);
  }
  return -1;
}

TPropertyLine SplitPropertyLine(std::string_view line) {
  TPropertyLine p;
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) {
    p.Value = line;
  } else {
    p.Name = line.substr(0, colon);
    p.Value = line.substr(colon + 1);
  }
  const std::size_t semicolon = p.Name.find(';');
  if (semicolon != std::string_view::npos) {
    p.Params = p.Name.substr(semicolon + 1);
    p.Name = p.Name.substr(0, semicolon);
  }
  return p;
}

bool TryStrToInt(std::string_view text, std::int32_t& value) {
  std::size_t k = 0;
  while (k < text.size() && text[k] == ' ') ++k;
  bool negative = false;
  if (k < text.size() && (text[k] == '+' || text[k] == '-')) {
    negative = text[k] == '-';
    ++k;
  }
  if (k == text.size()) return false;
  // Accumulate as a negative number so that -2147483648 fits.
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  std::int64_t n = 0;
  for (; k < text.size(); ++k) {
    const char c = text[k];
    if (c < '0' || c > '9') return false;
    n = n * 10 - (c - '0');
    if (n < kMin) return false;
  }
  if (!negative) {
    if (-n > std::numeric_limits<std::int32_t>::max()) return false;
    n = -n;
  }
  value = static_cast<std::int32_t>(n);
  return true;
}

std::string DecodeEscapes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t k = 0;
  while (k < text.size()) {
    const std::size_t mark = text.find('=', k);
    if (mark == std::string_view::npos) {
      out.append(text.substr(k));
      break;
    }
    out.append(text.substr(k, mark - k));
    const std::string_view rest = text.substr(mark);
    if (rest.size() >= 3 && SameUpper(rest.substr(0, 3), "=3D")) {
      out += '=';
      k = mark + 3;
    } else if (rest.size() >= 6 && SameUpper(rest.substr(0, 6), "=0D=0A")) {
      out += "\r\n";
      k = mark + 6;
    } else {
      out += '=';
      k = mark + 1;
    }
  }
  return out;
}

void AppendLinePrefix(std::string& out, std::size_t lineIndex) {
  out += "Line ";
  AppendPadded(out, static_cast<std::int64_t>(lineIndex) + 1, 4);
}

void AppendPadded(std::string& out, std::int64_t value, int width) {
  char digits[24];
  const std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, magnitude);
  (void)ec;  // 24 characters hold every 64-bit number
  const int count = static_cast<int>(end - digits);
  if (value < 0) out += '-';
  if (count < width) out.append(static_cast<std::size_t>(width - count), '0');
  out.append(digits, end);
}

TLines SplitLines(std::string_view text) {
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  TLines lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}
