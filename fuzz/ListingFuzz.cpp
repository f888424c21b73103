// Fuzz target of the decoders of the phone's text answers: a listing piece of
// "AT+C#SLST=", the totals of "AT+C#SMDE=1" and the new identifier of "AT+C#SPUT=".
// The input is taken as a cleaned answer. Beyond not crashing (each may only refuse
// with the conversion error): every identifier of a listing entry that arrived whole is
// its four bytes, least significant first; no entry is made up that did not begin; the
// mark is read at position 9; a new identifier is the number that follows its label.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "PhoneProtocol.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

// Only the conversion error may leave a decoder. Its text quotes what it could not
// convert, which may hold a NUL; only its beginning is sure to be seen.
template <typename F>
bool Refused(F&& decode) {
  try {
    decode();
    return false;
  } catch (const std::runtime_error& e) {
    Require(e.what()[0] == '\'');
    return true;
  }
}

void CheckListing(const std::string& answer) {
  TListingPiece piece;
  if (Refused([&] { piece = DecodeListingPiece(answer); })) return;
  Require(piece.Last == (answer.size() <= 9 || answer[9] == '0'));
  const std::size_t lineEnd = answer.find("\r\n");
  if (lineEnd == std::string::npos) {
    Require(piece.Entries.empty());
    return;
  }
  const std::size_t dataStart = lineEnd + 2;
  const std::size_t received = answer.size() - dataStart;
  Require(piece.Entries.size() <= (received + 5) / 6);
  for (std::size_t k = 0; k < piece.Entries.size(); ++k) {
    const std::size_t at = dataStart + 6 * k;
    if (at + 4 > answer.size()) break;
    std::uint32_t id = 0;
    for (int b = 3; b >= 0; --b) id = (id << 8) | static_cast<unsigned char>(answer[at + static_cast<std::size_t>(b)]);
    Require(piece.Entries[k] == static_cast<std::int32_t>(id));
  }
}

void CheckTotals(const std::string& answer) {
  TPhoneTotals totals;
  if (Refused([&] { totals = DecodeTotals(answer); })) return;
  // Three labels, each followed by its count.
  std::size_t at = 0;
  for (int k = 0; k < 3; ++k) {
    at = answer.find("Total-Records: ", at);
    Require(at != std::string::npos);
    at += 15;
  }
}

void CheckNewIdentifier(const std::string& answer) {
  std::int32_t id = 0;
  if (Refused([&] { id = DecodeNewIdentifier(answer); })) return;
  const std::size_t p = answer.find("+C#SPUT: ");
  Require(p != std::string::npos);
  // The value of the sign and digits among the nine characters after the label.
  const std::size_t end = std::min(answer.size(), p + 9 + 9);
  std::size_t k = p + 9;
  const bool negative = k < end && answer[k] == '-';
  if (negative) ++k;
  std::int64_t value = 0;
  for (; k < end && answer[k] >= '0' && answer[k] <= '9'; ++k) value = value * 10 + (answer[k] - '0');
  Require(id == (negative ? -value : value));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string answer(reinterpret_cast<const char*>(data), size);
  CheckListing(answer);
  CheckTotals(answer);
  CheckNewIdentifier(answer);
  return 0;
}
