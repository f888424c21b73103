#include "ImportTime.h"

#include <cmath>

#include "DateNumber.h"
#include "VObjectText.h"

namespace {

// Days from 1899-12-30, the phone's day 0, to 1970-01-01.
constexpr std::int64_t kEpochDateNumber = 25569;
constexpr std::int64_t kMaxNumber = 1000000000;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads exactly n digits at text[at], moving at past them.
bool Digits(std::string_view text, std::size_t& at, std::size_t n, int& value) {
  if (at + n > text.size()) return false;
  value = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (!IsDigit(text[at + i])) return false;
    value = value * 10 + (text[at + i] - '0');
  }
  at += n;
  return true;
}

// One or more digits, at most kMaxNumber.
bool Number(std::string_view text, std::size_t& at, std::int64_t& value) {
  const std::size_t start = at;
  value = 0;
  while (at < text.size() && IsDigit(text[at])) {
    value = value * 10 + (text[at] - '0');
    if (value > kMaxNumber) return false;
    ++at;
  }
  return at > start;
}

bool Skip(std::string_view text, std::size_t& at, char c) {
  if (at < text.size() && text[at] == c) {
    ++at;
    return true;
  }
  return false;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

bool IntegerOf(std::string_view text, int& value) {
  std::int32_t v = 0;
  if (!TryStrToInt(text, v) || std::abs(static_cast<std::int64_t>(v)) > kMaxNumber) return false;
  value = v;
  return true;
}

std::optional<TByDay> ByDayOf(std::string_view text) {
  if (text.size() < 2) return std::nullopt;
  TByDay d;
  d.Weekday = WeekdayOfName(text.substr(text.size() - 2));
  if (d.Weekday < 0) return std::nullopt;
  const std::string_view ordinal = text.substr(0, text.size() - 2);
  if (!ordinal.empty() && !IntegerOf(ordinal, d.Ordinal)) return std::nullopt;
  return d;
}

}  // namespace

std::int64_t DaysFromCivil(int year, int month, int day) {
  // The days-from-civil algorithm over 400-year eras, for the proleptic Gregorian calendar.
  const std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t doe = days - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

std::int64_t DaysOf(std::int64_t civil) {
  return civil / kSecondsPerDay - (civil % kSecondsPerDay < 0 ? 1 : 0);
}

int WeekdayOfDays(std::int64_t days) {
  const std::int64_t w = (days + 4) % 7;  // 1970-01-01 was a Thursday
  return static_cast<int>(w < 0 ? w + 7 : w);
}

std::int64_t CivilSeconds(int year, int month, int day, int hour, int minute, int second) {
  return DaysFromCivil(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60 + second;
}

bool ToDateNumbers(std::int64_t civil, TDateTime& date, TDateTime& time) {
  const std::int64_t days = DaysOf(civil);
  const std::int64_t rest = civil - days * kSecondsPerDay;
  int y = 0, m = 0, d = 0;
  CivilFromDays(days, y, m, d);
  if (y < 1 || y > 9999) return false;
  date = static_cast<TDateTime>(days + kEpochDateNumber);
  time = 0;
  TryEncodeTime(static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60), time);
  return true;
}

std::int64_t FromDateNumbers(TDateTime date, TDateTime time) {
  int h = 0, mi = 0, s = 0;
  DecodeTime(std::isfinite(time) ? time : 0, h, mi, s);
  const double whole = std::isfinite(date) ? std::trunc(date) : 0;
  return (static_cast<std::int64_t>(whole) - kEpochDateNumber) * kSecondsPerDay + h * 3600 + mi * 60 + s;
}

std::optional<TTimeValue> ParseTimeValue(std::string_view text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  std::size_t at = 0;
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (!Digits(text, at, 4, y)) return std::nullopt;
  const bool dashes = Skip(text, at, '-');
  if (!Digits(text, at, 2, mo) || (dashes && !Skip(text, at, '-')) || !Digits(text, at, 2, d)) return std::nullopt;
  if (!IsValidDate(y, mo, d)) return std::nullopt;
  TTimeValue v;
  if (at == text.size()) {
    v.DateOnly = true;
    v.Civil = CivilSeconds(y, mo, d, 0, 0, 0);
    return v;
  }
  if (text[at] != 'T' && text[at] != 't' && text[at] != ' ') return std::nullopt;
  ++at;
  const auto colon = [&] { Skip(text, at, ':'); };
  if (!Digits(text, at, 2, h)) return std::nullopt;
  colon();
  if (!Digits(text, at, 2, mi)) return std::nullopt;
  colon();
  if (at < text.size() && IsDigit(text[at]) && !Digits(text, at, 2, s)) return std::nullopt;
  if (Skip(text, at, '.') || Skip(text, at, ',')) {
    while (at < text.size() && IsDigit(text[at])) ++at;
  }
  if (s == 60) s = 59;  // a leap second
  const bool endOfDay = h == 24 && mi == 0 && s == 0;
  if (!endOfDay && !IsValidTime(h, mi, s)) return std::nullopt;
  v.Civil = CivilSeconds(y, mo, d, h, mi, s);
  if (at < text.size() && (text[at] == 'Z' || text[at] == 'z')) {
    v.Utc = true;
    ++at;
  } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    const std::optional<int> offset = ParseUtcOffset(text.substr(at));
    if (!offset) return std::nullopt;
    v.Civil -= *offset;
    v.Utc = true;
    at = text.size();
  }
  if (at != text.size()) return std::nullopt;
  return v;
}

std::optional<std::int64_t> ParseDuration(std::string_view text) {
  std::size_t at = 0;
  int sign = 1;
  if (Skip(text, at, '-'))
    sign = -1;
  else
    Skip(text, at, '+');
  if (!Skip(text, at, 'P') && !Skip(text, at, 'p')) return std::nullopt;
  bool inTime = false, any = false;
  std::int64_t total = 0;
  while (at < text.size()) {
    if (text[at] == 'T' || text[at] == 't') {
      inTime = true;
      ++at;
      continue;
    }
    std::int64_t n = 0;
    if (!Number(text, at, n) || at >= text.size()) return std::nullopt;
    const char unit = UpperAscii(text[at++]);
    if (unit == 'W' && !inTime)
      total += n * 7 * kSecondsPerDay;
    else if (unit == 'D' && !inTime)
      total += n * kSecondsPerDay;
    else if (unit == 'H' && inTime)
      total += n * 3600;
    else if (unit == 'M' && inTime)
      total += n * 60;
    else if (unit == 'S' && inTime)
      total += n;
    else
      return std::nullopt;
    any = true;
  }
  if (!any) return std::nullopt;
  return sign * total;
}

std::optional<int> ParseUtcOffset(std::string_view text) {
  std::size_t at = 0;
  int sign = 1;
  if (Skip(text, at, '-'))
    sign = -1;
  else if (!Skip(text, at, '+'))
    return std::nullopt;
  int h = 0, m = 0, s = 0;
  if (!Digits(text, at, 2, h)) return std::nullopt;
  Skip(text, at, ':');
  if (at < text.size() && !Digits(text, at, 2, m)) return std::nullopt;
  Skip(text, at, ':');
  if (at < text.size() && !Digits(text, at, 2, s)) return std::nullopt;
  if (at != text.size() || h > 23 || m > 59 || s > 59) return std::nullopt;
  return sign * (h * 3600 + m * 60 + s);
}

int WeekdayOfName(std::string_view twoLetters) {
  static constexpr std::string_view kNames[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
  for (int i = 0; i < 7; ++i)
    if (SameUpper(twoLetters, kNames[i])) return i;
  return -1;
}

TRecurrence ParseRRule(std::string_view value) {
  static constexpr std::pair<std::string_view, TFrequency> kFrequencies[] = {
      {"SECONDLY", TFrequency::Secondly}, {"MINUTELY", TFrequency::Minutely}, {"HOURLY", TFrequency::Hourly},
      {"DAILY", TFrequency::Daily},       {"WEEKLY", TFrequency::Weekly},     {"MONTHLY", TFrequency::Monthly},
      {"YEARLY", TFrequency::Yearly}};
  TRecurrence r;
  for (std::string_view part : Split(value, ';')) {
    const std::size_t eq = part.find('=');
    if (part.empty()) continue;
    if (eq == std::string_view::npos) {
      r.Valid = false;
      continue;
    }
    const std::string name = UpperAscii(part.substr(0, eq));
    const std::string_view v = part.substr(eq + 1);
    if (name == "FREQ") {
      r.Frequency = TFrequency::None;
      for (const auto& [text, f] : kFrequencies)
        if (SameUpper(v, text)) r.Frequency = f;
    } else if (name == "INTERVAL") {
      if (!IntegerOf(v, r.Interval) || r.Interval < 1) r.Valid = false;
    } else if (name == "COUNT") {
      if (!IntegerOf(v, r.Count) || r.Count < 1) r.Valid = false;
    } else if (name == "UNTIL") {
      r.Until = ParseTimeValue(v);
      if (!r.Until) r.Valid = false;
    } else if (name == "BYDAY") {
      for (std::string_view d : Split(v, ',')) {
        const std::optional<TByDay> day = ByDayOf(d);
        if (day) r.ByDay.push_back(*day);
        else r.Valid = false;
      }
    } else if (name == "BYMONTH" || name == "BYMONTHDAY") {
      for (std::string_view n : Split(v, ',')) {
        int k = 0;
        if (IntegerOf(n, k)) (name == "BYMONTH" ? r.ByMonth : r.ByMonthDay).push_back(k);
        else r.Valid = false;
      }
    } else if (name != "WKST") {
      r.OtherParts = true;
    }
  }
  if (r.Frequency == TFrequency::None) r.Valid = false;
  return r;
}

TRecurrence ParseVCalendarRule(std::string_view value) {
  std::vector<std::string_view> words;
  for (std::string_view w : Split(value, ' '))
    if (!w.empty()) words.push_back(w);
  TRecurrence r;
  if (words.empty()) {
    r.Valid = false;
    return r;
  }
  static constexpr std::pair<std::string_view, TFrequency> kKinds[] = {
      {"MP", TFrequency::Monthly}, {"MD", TFrequency::Monthly}, {"YM", TFrequency::Yearly},
      {"YD", TFrequency::Yearly},  {"D", TFrequency::Daily},    {"W", TFrequency::Weekly}};
  const std::string head = UpperAscii(words.front());
  std::string_view kind;
  for (const auto& [k, f] : kKinds) {
    if (head.rfind(k, 0) != 0) continue;
    kind = k;
    r.Frequency = f;
    break;
  }
  if (kind.empty() || !IntegerOf(std::string_view(head).substr(kind.size()), r.Interval) || r.Interval < 1) {
    r.Valid = false;
    return r;
  }
  // Without a duration a vCalendar rule repeats twice.
  r.Count = 2;
  std::size_t modifiers = words.size();
  const std::string_view last = words.back();
  if (words.size() > 1 && last.front() == '#') {
    if (!IntegerOf(last.substr(1), r.Count) || r.Count < 0) r.Valid = false;
    --modifiers;
  } else if (words.size() > 1 && last.size() >= 8 && IsDigit(last.front())) {
    r.Until = ParseTimeValue(last);
    r.Count = 0;
    if (!r.Until) r.Valid = false;
    --modifiers;
  }
  for (std::size_t i = 1; i < modifiers; ++i) {
    const std::string_view w = words[i];
    int n = 0;
    if (kind == "W" && WeekdayOfName(w) >= 0)
      r.ByDay.push_back({0, WeekdayOfName(w)});
    else if (kind == "YM" && IntegerOf(w, n))
      r.ByMonth.push_back(n);
    else if (kind == "MD" && IntegerOf(w, n))
      r.ByMonthDay.push_back(n);
    else
      r.OtherParts = true;
  }
  return r;
}
