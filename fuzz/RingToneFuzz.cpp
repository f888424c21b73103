// Fuzz target of the binary ring tone record in both directions.
//
// The input is decoded as a fetched record, and also taken apart as a ring tone to
// build: byte 0 is the name's length, the name follows, and the rest is the pairs, two
// 16-bit values of four bytes each, at most 255 of them. Beyond not crashing:
// - a decoded record names itself with at most 21 characters, none of them NUL, taken
//   from every second byte, and its Data always builds again into a record that decodes
//   to the same name and Data;
// - a record built from a name and pairs decodes to the name (cut at 21 characters, or
//   at a NUL) and to exactly the Data text "n,a1,b1,...";
// - the rest of the input as a Data text either builds (and decodes the same after a
//   second build) or is refused with a clear error.
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

TRingToneRecordInfo Decode(const TDynamicCharArray& record) {
  return DecodeRingToneRecord(std::string(record.begin(), record.end()));
}

TRingTone Tone(const std::string& name, const std::string& data) {
  TRingTone tone;
  tone.Name = name;
  tone.Data = data;
  return tone;
}

void CheckDecoded(const std::string& record) {
  const TRingToneRecordInfo info = DecodeRingToneRecord(record);
  Require(info.Name.size() <= 21);
  for (std::size_t k = 0; k < info.Name.size(); ++k) {
    Require(info.Name[k] != '\0');
    Require(info.Name[k] == record[4 + 2 * k]);
  }
  Require(info.Consistent == (record.size() > 46 && record[46] == 1));
  const TDynamicCharArray again = BuildRingToneRecord(Tone(info.Name, info.Data));
  const unsigned n = record.size() > 47 ? static_cast<unsigned char>(record[47]) : 0;
  Require(again.size() == 48 + 4 * n);
  const TRingToneRecordInfo back = Decode(again);
  Require(back.Name == info.Name && back.Data == info.Data && back.Consistent);
}

void CheckBuilt(const std::string& name, const std::string& pairs) {
  const std::size_t n = std::min<std::size_t>(pairs.size() / 4, 255);
  std::string data = std::to_string(n) + ",";
  for (std::size_t k = 0; k < n; ++k) {
    const auto word = [&](std::size_t at) {
      return static_cast<unsigned char>(pairs[at]) | static_cast<unsigned>(static_cast<unsigned char>(pairs[at + 1])) << 8;
    };
    if (k > 0) data += ",";
    data += std::to_string(word(4 * k)) + "," + std::to_string(word(4 * k + 2));
  }
  const TDynamicCharArray record = BuildRingToneRecord(Tone(name, data));
  Require(record.size() == 48 + 4 * n);
  const TRingToneRecordInfo info = Decode(record);
  std::string expected = name.substr(0, 21);
  expected = expected.substr(0, expected.find('\0'));
  Require(info.Name == expected);
  Require(info.Data == data);
  Require(info.Consistent);
}

void CheckDataText(const std::string& name, const std::string& data) {
  TDynamicCharArray record;
  try {
    record = BuildRingToneRecord(Tone(name, data));
  } catch (const std::runtime_error& e) {
    Require(e.what()[0] != '\0');
    return;
  }
  // Built again from what it decodes to, the record holds the same pairs (the name's
  // bytes behind a NUL are nothing a phone reads).
  const TRingToneRecordInfo info = Decode(record);
  const TDynamicCharArray again = BuildRingToneRecord(Tone(info.Name, info.Data));
  Require(again.size() == record.size());
  Require(std::equal(again.begin() + 46, again.end(), record.begin() + 46));
  Require(Decode(again).Name == info.Name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  CheckDecoded(input);
  if (size == 0) return 0;
  const std::string name = input.substr(1, data[0]);
  const std::string rest = input.substr(1 + name.size());
  CheckBuilt(name, rest);
  CheckDataText(name, rest);
  return 0;
}
