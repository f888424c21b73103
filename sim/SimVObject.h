#pragma once
// The phone's light handling of vObject text: it splits text into lines, picks a
// property's name and value, folds long values the way backup files carry them, and
// turns custom ring tones between their binary record and their backup vCard.
//
// The phone does not parse entries: it stores their text as sent. Only the ring tone,
// which travels as a binary record, needs taking apart and putting together.
// Pure functions, any thread. SimParseRingToneData throws std::invalid_argument.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A line ends at CR LF, a lone CR or a lone LF; the ends are not kept.
std::vector<std::string> SimSplitLines(const std::string& text);
// Every line followed by CR LF.
std::string SimJoinLines(const std::vector<std::string>& lines);

std::string SimUpper(std::string text);
// The property name of a line, upper-cased, without parameters ("TEL;HOME:1" -> "TEL").
std::string SimPropertyName(const std::string& line);
// The text after the first colon (empty when there is none).
std::string SimPropertyValue(const std::string& line);
// A whole decimal number with an optional "-", in 32 bits; nothing else.
std::optional<std::int32_t> SimParseInt(const std::string& text);

// Cut into pieces of 75 characters; every piece but the last ends in "=".
std::vector<std::string> SimFold(const std::string& text);

struct TSimRingTone {
  std::string Name;  // at most 21 characters fit the record
  std::vector<std::pair<std::uint16_t, std::uint16_t>> Pairs;  // at most 255
};

inline constexpr std::size_t SimRingToneNameRoom = 21;
inline constexpr std::size_t SimRingToneHeader = 48;

// The binary record: 4 zero bytes, the name in every second byte of 42, 1, the pair
// count, then each pair's two values least significant byte first.
std::string SimRingToneRecord(const TSimRingTone& tone);
// The record taken apart; nothing when it is shorter than its count promises.
std::optional<TSimRingTone> SimDecodeRingToneRecord(const std::string& record);
// "n,a1,b1,...,an,bn" ("0," for no pairs), and back.
std::string SimRingToneData(const TSimRingTone& tone);
TSimRingTone SimParseRingToneData(const std::string& name, const std::string& data);
// The ring tone's vCard lines as a backup file holds them.
std::vector<std::string> SimRingToneCard(std::int32_t id, const TSimRingTone& tone);
