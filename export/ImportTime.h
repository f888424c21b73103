#pragma once
// Times of calendar files: the values of DTSTART, DTEND, DURATION, TRIGGER, RRULE and
// the UTC offsets of a VTIMEZONE, read into plain numbers.
//
// A time is a count of seconds on the calendar's own time line from 1970-01-01 00:00,
// without a time zone ("civil" seconds): a floating time, a local time of some zone and
// a UTC time all take this form, and which one it is travels beside it. Dates are the
// proleptic Gregorian calendar of years 1 to 9999. Pure functions; nothing is thrown.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Entries.h"

inline constexpr std::int64_t kSecondsPerDay = 86400;

// Days from 1970-01-01 to a date, and back.
std::int64_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(std::int64_t days, int& year, int& month, int& day);
// The day of civil seconds (rounded down, also before 1970).
std::int64_t DaysOf(std::int64_t civil);
// 0 Sunday to 6 Saturday.
int WeekdayOfDays(std::int64_t days);
// Civil seconds of a date and time of day.
std::int64_t CivilSeconds(int year, int month, int day, int hour, int minute, int second);
// The phone's date and time numbers of civil seconds; false outside years 1 to 9999.
bool ToDateNumbers(std::int64_t civil, TDateTime& date, TDateTime& time);
// Civil seconds of the phone's date and time numbers.
std::int64_t FromDateNumbers(TDateTime date, TDateTime time);

// A DATE or DATE-TIME value: "20260310", "2026-03-10", "20260310T093000", with "Z" for
// UTC; the time may be missing seconds ("T0930").
struct TTimeValue {
  std::int64_t Civil = 0;
  bool DateOnly = false;
  bool Utc = false;
};
std::optional<TTimeValue> ParseTimeValue(std::string_view text);

// An RFC 5545 duration, "-P1DT2H30M", "P2W", "PT15M": seconds, nominal days counted as
// 86400 seconds.
std::optional<std::int64_t> ParseDuration(std::string_view text);

// A UTC offset, "+0200", "-0500", "+013045", "+01:00", "+01": seconds east of UTC.
std::optional<int> ParseUtcOffset(std::string_view text);

// The recurrence of an RRULE (RFC 5545) or a vCalendar 1.0 rule ("W1 FR #9").
enum class TFrequency { None, Secondly, Minutely, Hourly, Daily, Weekly, Monthly, Yearly };
struct TByDay {
  int Ordinal = 0;  // 0 for every such day, else 1..53 or -1..-53
  int Weekday = 0;  // 0 Sunday to 6 Saturday
};
struct TRecurrence {
  TFrequency Frequency = TFrequency::None;
  int Interval = 1;
  int Count = 0;  // 0 for none
  std::optional<TTimeValue> Until;
  std::vector<TByDay> ByDay;
  std::vector<int> ByMonth;
  std::vector<int> ByMonthDay;
  bool OtherParts = false;  // BYSETPOS, BYYEARDAY, BYWEEKNO, BYHOUR and the like
  bool Valid = true;
};
TRecurrence ParseRRule(std::string_view value);
TRecurrence ParseVCalendarRule(std::string_view value);

// Two-letter day names of iCalendar: SU, MO, ... (-1 for none).
int WeekdayOfName(std::string_view twoLetters);
