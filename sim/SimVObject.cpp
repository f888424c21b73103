#include "SimVObject.h"

#include <charconv>
#include <stdexcept>

std::vector<std::string> SimSplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(std::move(line));
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

std::string SimJoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

std::string SimUpper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return text;
}

std::string SimPropertyName(const std::string& line) {
  std::size_t colon = line.find(':');
  std::string name = line.substr(0, colon == std::string::npos ? 0 : colon);
  std::size_t semicolon = name.find(';');
  if (semicolon != std::string::npos) name.resize(semicolon);
  return SimUpper(name);
}

std::string SimPropertyValue(const std::string& line) {
  std::size_t colon = line.find(':');
  return colon == std::string::npos ? std::string() : line.substr(colon + 1);
}

std::optional<std::int32_t> SimParseInt(const std::string& text) {
  std::int32_t value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
  return value;
}

std::vector<std::string> SimFold(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size(); at += 75) {
    std::string piece = text.substr(at, 75);
    if (at + 75 < text.size()) piece += '=';
    lines.push_back(std::move(piece));
  }
  return lines;
}

std::string SimRingToneRecord(const TSimRingTone& tone) {
  std::string record(SimRingToneHeader, '\0');
  for (std::size_t k = 0; k < tone.Name.size() && k < SimRingToneNameRoom; ++k)
    record[4 + 2 * k] = tone.Name[k];
  record[46] = 1;
  std::size_t count = std::min<std::size_t>(tone.Pairs.size(), 255);
  record[47] = char(count);
  for (std::size_t k = 0; k < count; ++k) {
    for (std::uint16_t value : {tone.Pairs[k].first, tone.Pairs[k].second}) {
      record += char(value & 0xFF);
      record += char(value >> 8);
    }
  }
  return record;
}

std::optional<TSimRingTone> SimDecodeRingToneRecord(const std::string& record) {
  if (record.size() < SimRingToneHeader) return std::nullopt;
  auto byte = [&](std::size_t at) { return static_cast<unsigned char>(record[at]); };
  std::size_t count = byte(47);
  if (record.size() < SimRingToneHeader + 4 * count) return std::nullopt;
  TSimRingTone tone;
  for (std::size_t at = 4; at < 46 && byte(at) != 0; at += 2) tone.Name += record[at];
  for (std::size_t k = 0; k < count; ++k) {
    std::size_t at = SimRingToneHeader + 4 * k;
    tone.Pairs.emplace_back(std::uint16_t(byte(at) | byte(at + 1) << 8),
                            std::uint16_t(byte(at + 2) | byte(at + 3) << 8));
  }
  return tone;
}

std::string SimRingToneData(const TSimRingTone& tone) {
  std::string data = std::to_string(tone.Pairs.size()) + ",";
  for (std::size_t k = 0; k < tone.Pairs.size(); ++k) {
    if (k > 0) data += ",";
    data += std::to_string(tone.Pairs[k].first) + "," + std::to_string(tone.Pairs[k].second);
  }
  return data;
}

TSimRingTone SimParseRingToneData(const std::string& name, const std::string& data) {
  std::vector<std::string> numbers;
  std::string current;
  for (char c : data + ",") {
    if (c == ',') {
      numbers.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  // "0," and "n,a,b" both end in an empty field or none; drop one empty trailing field.
  if (numbers.size() > 1 && numbers.back().empty()) numbers.pop_back();
  auto number = [&](std::size_t k, int limit) {
    auto value = SimParseInt(numbers[k]);
    if (!value || *value < 0 || *value > limit)
      throw std::invalid_argument("ring tone data \"" + data + "\": bad number \"" + numbers[k] + "\"");
    return *value;
  };
  int count = number(0, 255);
  if (numbers.size() != std::size_t(1 + 2 * count))
    throw std::invalid_argument("ring tone data \"" + data + "\" does not hold " +
                                std::to_string(count) + " pairs");
  TSimRingTone tone;
  tone.Name = name.substr(0, SimRingToneNameRoom);
  for (int k = 0; k < count; ++k)
    tone.Pairs.emplace_back(std::uint16_t(number(1 + 2 * k, 65535)),
                            std::uint16_t(number(2 + 2 * k, 65535)));
  return tone;
}

std::vector<std::string> SimRingToneCard(std::int32_t id, const TSimRingTone& tone) {
  std::vector<std::string> lines = {"BEGIN:VCARD", "VERSION:2.1",
                                    "X-ZARVO-RINGTONE-UID:" + std::to_string(id),
                                    "X-ZARVO-RINGTONE-NAME:" + tone.Name};
  for (auto& line : SimFold("X-ZARVO-RINGTONE-DATA:" + SimRingToneData(tone)))
    lines.push_back(std::move(line));
  lines.push_back("END:VCARD");
  return lines;
}
