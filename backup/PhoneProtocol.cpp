#include "PhoneProtocol.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "AppException.h"
#include "VObjectText.h"

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kTotalRecords = "Total-Records: ";
constexpr std::string_view kNewIdentifier = "+C#SPUT: ";

// Positions of the listing piece and of the ring tone record.
constexpr std::size_t kListingMark = 9;
constexpr std::size_t kListingCount = 11;
constexpr std::size_t kListingEntrySize = 6;
constexpr std::size_t kRecordName = 4;
constexpr std::size_t kRecordNameBytes = 42;
constexpr std::size_t kRecordCheck = 46;
constexpr std::size_t kRecordPairCount = 47;
constexpr std::size_t kRecordPairs = 48;
constexpr std::size_t kMaxNameLength = kRecordNameBytes / 2;
constexpr long kMaxPairs = 255;
constexpr long kMaxPairValue = 65535;

[[noreturn]] void ThrowNotInteger(std::string_view text) {
  throw std::runtime_error("'" + Latin1ToUtf8(text) + "' is not a valid integer value");
}

// A byte of the text, or 0 where the text has ended: a short answer reads as zeros.
unsigned char ByteAt(const std::string& s, std::size_t i) {
  return i < s.size() ? static_cast<unsigned char>(s[i]) : 0;
}

unsigned Word16At(const std::string& s, std::size_t i) {
  return ByteAt(s, i) | (static_cast<unsigned>(ByteAt(s, i + 1)) << 8);
}

bool IsLineBlank(unsigned char c) { return c <= 32; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsLineBlank(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && IsLineBlank(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// The text after a position up to the next CR LF, or to the end when there is none.
std::string_view UpToLineEnd(std::string_view s) {
  const std::size_t end = s.find(kCrLf);
  return end == std::string_view::npos ? s : s.substr(0, end);
}

}  // namespace

std::int32_t StrToInt(std::string_view text) {
  std::int32_t value = 0;
  if (!TryStrToInt(text, value)) ThrowNotInteger(text);
  return value;
}

std::string ByteToHex(unsigned char b) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[b >> 4], kDigits[b & 15]};
}

std::int32_t HexToInt(std::string_view eightDigits) {
  std::uint32_t value = 0;
  for (char ch : eightDigits) {
    unsigned digit;
    if (ch >= '0' && ch <= '9')
      digit = static_cast<unsigned>(ch - '0');
    else if (ch >= 'A' && ch <= 'F')
      digit = static_cast<unsigned>(ch - 'A' + 10);
    else if (ch >= 'a' && ch <= 'f')
      digit = static_cast<unsigned>(ch - 'a' + 10);
    else
      ThrowNotInteger(eightDigits);
    value = (value << 4) | digit;
  }
  return static_cast<std::int32_t>(value);
}

TPhoneTotals DecodeTotals(std::string answer) {
  int totals[3] = {0, 0, 0};
  std::string_view rest = answer;
  for (int& total : totals) {
    const std::size_t p = rest.find(kTotalRecords);
    // Without the label there is no count to read: the conversion error says so.
    if (p == std::string_view::npos) ThrowNotInteger(UpToLineEnd(rest.substr(std::min(rest.size(), kTotalRecords.size() - 1))));
    rest.remove_prefix(p + kTotalRecords.size());
    total = StrToInt(UpToLineEnd(rest));
  }
  return {totals[0], totals[1], totals[2]};
}

TListingPiece DecodeListingPiece(const std::string& answer) {
  TListingPiece piece;
  // A piece too short to hold its mark is the last one.
  piece.Last = answer.size() <= kListingMark || answer[kListingMark] == '0';
  const std::size_t lineEnd = answer.find(kCrLf);
  const std::size_t countEnd = lineEnd == std::string::npos ? answer.size() : lineEnd;
  const std::string_view countText =
      kListingCount < countEnd ? std::string_view(answer).substr(kListingCount, countEnd - kListingCount)
                               : std::string_view();
  const std::int32_t n = StrToInt(countText);
  if (n <= 0) return piece;
  const std::size_t dataStart = lineEnd == std::string::npos ? answer.size() : lineEnd + kCrLf.size();
  const std::size_t received = answer.size() - dataStart;
  // Bytes missing from an entry that has begun read as zeros; entries of which not one
  // byte arrived are not made up, so that a count far beyond the answer costs nothing.
  const std::size_t promised = static_cast<std::size_t>(n) / kListingEntrySize;
  const std::size_t possible = (received + kListingEntrySize - 1) / kListingEntrySize;
  const std::size_t count = std::min(promised, possible);
  piece.Entries.reserve(count);
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t at = dataStart + k * kListingEntrySize;
    const std::string hex = ByteToHex(ByteAt(answer, at + 3)) + ByteToHex(ByteAt(answer, at + 2)) +
                            ByteToHex(ByteAt(answer, at + 1)) + ByteToHex(ByteAt(answer, at));
    piece.Entries.push_back(HexToInt(hex));
  }
  return piece;
}

TRingToneRecordInfo DecodeRingToneRecord(const std::string& record) {
  TRingToneRecordInfo info;
  // One character in every second byte of the 42 name bytes, up to the first zero; a
  // character counts only when the text goes on behind it.
  for (std::size_t i = kRecordName; i < kRecordName + kRecordNameBytes; i += 2) {
    if (i + 1 >= record.size() || record[i] == '\0') break;
    info.Name.push_back(record[i]);
  }
  info.Consistent = ByteAt(record, kRecordCheck) == 1;
  const unsigned n = ByteAt(record, kRecordPairCount);
  std::string data = std::to_string(n);
  data += ',';
  for (unsigned k = 0; k < n; ++k) {
    const std::size_t at = kRecordPairs + 4 * k;
    if (k > 0) data += ',';
    data += std::to_string(Word16At(record, at));
    data += ',';
    data += std::to_string(Word16At(record, at + 2));
  }
  info.Data = std::move(data);
  return info;
}

TDynamicCharArray BuildRingToneRecord(const TRingTone& ringTone) {
  // Take Data apart first: nothing is built or sent for a text that is not a count
  // followed by that many pairs.
  std::vector<std::string_view> parts;
  std::string_view rest = ringTone.Data;
  while (true) {
    const std::size_t comma = rest.find(',');
    parts.push_back(rest.substr(0, comma));
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  if (parts.size() > 1 && parts.back().empty()) parts.pop_back();  // "0," and a final comma
  const std::int32_t n = StrToInt(parts.front());
  std::string quoted = "\"";
  quoted += Latin1ToUtf8(ringTone.Name);
  quoted += '"';
  if (n < 0 || n > kMaxPairs)
    throw std::runtime_error("Ring tone " + quoted + " has " + std::to_string(n) +
                             " value pairs; the phone takes 0 to 255.");
  if (parts.size() != 1 + 2 * static_cast<std::size_t>(n))
    throw std::runtime_error("Ring tone " + quoted + ": its data holds " + std::to_string(parts.size() - 1) +
                             " values where " + std::to_string(2 * n) + " were announced.");
  std::vector<unsigned> values;
  values.reserve(parts.size() - 1);
  for (std::size_t i = 1; i < parts.size(); ++i) {
    const std::int32_t v = StrToInt(parts[i]);
    if (v < 0 || v > kMaxPairValue)
      throw std::runtime_error("Ring tone " + quoted + ": the value " + std::to_string(v) +
                               " is out of range (0 to 65535).");
    values.push_back(static_cast<unsigned>(v));
  }

  TDynamicCharArray record(kRecordPairs + 4 * static_cast<std::size_t>(n), 0);
  const std::size_t nameLength = std::min(ringTone.Name.size(), kMaxNameLength);
  for (std::size_t k = 0; k < nameLength; ++k)
    record[kRecordName + 2 * k] = static_cast<unsigned char>(ringTone.Name[k]);
  record[kRecordCheck] = 1;
  record[kRecordPairCount] = static_cast<unsigned char>(n);
  for (std::size_t i = 0; i < values.size(); ++i) {
    record[kRecordPairs + 2 * i] = static_cast<unsigned char>(values[i] % 256);
    record[kRecordPairs + 2 * i + 1] = static_cast<unsigned char>(values[i] / 256);
  }
  return record;
}

std::string EntryText(const TLines& lines) {
  std::string joined;
  for (const auto& line : lines) {
    joined += line;
    joined += kCrLf;
  }
  std::string text;
  for (const auto& line : SplitLines(Trim(joined))) {
    text += line;
    text += kCrLf;
  }
  return text;
}

std::string EventEntryText(const TLines& veventLines) {
  return "BEGIN:VCALENDAR\r\nVERSION:1.0\r\n" + EntryText(veventLines) + "END:VCALENDAR\r\n";
}

std::int32_t DecodeNewIdentifier(const std::string& answer) {
  const std::size_t p = answer.find(kNewIdentifier);
  const std::string_view taken =
      p == std::string::npos ? std::string_view() : std::string_view(answer).substr(p + kNewIdentifier.size(), 9);
  // The identifier may be followed by the end of its line within the nine characters.
  std::size_t digitsEnd = 0;
  if (digitsEnd < taken.size() && taken[digitsEnd] == '-') ++digitsEnd;
  while (digitsEnd < taken.size() && taken[digitsEnd] >= '0' && taken[digitsEnd] <= '9') ++digitsEnd;
  const std::string_view rest = taken.substr(digitsEnd);
  if (!Trim(rest).empty()) ThrowNotInteger(taken);
  std::int32_t id = 0;
  const auto [ptr, ec] = std::from_chars(taken.data(), taken.data() + digitsEnd, id);
  if (ec != std::errc() || ptr != taken.data() + digitsEnd) ThrowNotInteger(taken);
  return id;
}
