#pragma once
// The date-time number: days since 30 December 1899 00:00 as a double, the fraction the
// time of day. Whole-day dates and fraction-only times are built and taken apart here,
// and this is the one place that turns them into the user's short date and long time
// texts (through the default QLocale, which tests fix).

#include <string>

#include "Entries.h"

bool IsLeapYear(int year);
// Days of the month in the Gregorian calendar; 0 for a month outside 1..12.
int DaysInMonth(int year, int month);

// Year 1 to 9999, month 1 to 12, day 1 to the days of that month.
bool IsValidDate(int year, int month, int day);
// Hour 0 to 23, minute and second 0 to 59.
bool IsValidTime(int hour, int minute, int second);

// False (and date left alone) for an invalid date.
bool TryEncodeDate(int year, int month, int day, TDateTime& date);
// False (and time left alone) for an invalid time.
bool TryEncodeTime(int hour, int minute, int second, TDateTime& time);

// The calendar date of the whole days of a number (its fraction is ignored).
void DecodeDate(TDateTime value, int& year, int& month, int& day);
// The time of day of the fraction, rounded to the nearest second and kept below 24:00:00.
void DecodeTime(TDateTime value, int& hour, int& minute, int& second);

// A date-time number that is set and lies within 0001-01-01 .. 9999-12-31.
bool DateSet(TDateTime value);
// "yyyy-mm-dd", the same in every locale (reports, comparisons); empty for a date not set.
std::string IsoDateText(TDateTime date);
// "yyyy-mm-dd hh:mm", with ":ss" when seconds; empty for a date not set.
std::string IsoDateTimeText(TDateTime date, TDateTime time, bool seconds = false);

// The user's short date format and long time format (without a time zone), as 8-bit text.
std::string ShortDateText(TDateTime date);
std::string LongTimeText(TDateTime time);
// Now, as the short date, a blank and the long time: the parser's start and end lines.
std::string NowText();
