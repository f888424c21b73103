#include "DateNumber.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTime>
#include <cmath>
#include <cstdint>

#include "VObjectText.h"

namespace {

// Days from 0001-01-01 to 1899-12-30 in the proleptic Gregorian calendar, so that
// 30 December 1899 is day 0 and 31 December 2002 day 37621.
constexpr std::int64_t kDaysToEpoch = 693593;

std::int64_t DaysBeforeYear(std::int64_t y) {  // days from 0001-01-01 to y-01-01
  const std::int64_t p = y - 1;
  return p * 365 + p / 4 - p / 100 + p / 400;
}

int DaysBeforeMonth(int year, int month) {
  static constexpr int kCumulative[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  return kCumulative[month - 1] + ((month > 2 && IsLeapYear(year)) ? 1 : 0);
}

QDate ToQDate(TDateTime date) {
  int y = 0, m = 0, d = 0;
  DecodeDate(date, y, m, d);
  return QDate(y, m, d);
}

QString LongTimeFormat() {
  // Qt's long format carries the time zone ("t"); the times here are zone-less.
  QString f = QLocale().timeFormat(QLocale::LongFormat);
  f.remove(QLatin1Char('t'));
  return f.trimmed();
}

std::string ToLatin1(const QString& s) {
  const QByteArray b = s.toLatin1();
  return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

// The date-time numbers of 0001-01-01 and 9999-12-31.
constexpr double kFirstDay = -693593.0, kLastDay = 2958465.0;

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return kDays[month - 1] + ((month == 2 && IsLeapYear(year)) ? 1 : 0);
}

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month);
}

bool IsValidTime(int hour, int minute, int second) {
  return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
}

bool TryEncodeDate(int year, int month, int day, TDateTime& date) {
  if (!IsValidDate(year, month, day)) return false;
  const std::int64_t days = DaysBeforeYear(year) + DaysBeforeMonth(year, month) + (day - 1);
  date = static_cast<TDateTime>(days - kDaysToEpoch);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, TDateTime& time) {
  if (!IsValidTime(hour, minute, second)) return false;
  time = (hour * 3600 + minute * 60 + second) / 86400.0;
  return true;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
  // The whole days are the integer part, also for negative values (-1.25 is
  // 29 December 1899, 06:00), as the date-time number has always been read.
  double whole = std::trunc(value);
  if (!std::isfinite(whole)) whole = 0;
  // Keep within 0001-01-01 .. 9999-12-31 so that nothing overflows.
  if (whole < kFirstDay) whole = kFirstDay;
  if (whole > kLastDay) whole = kLastDay;
  std::int64_t n = static_cast<std::int64_t>(whole) + kDaysToEpoch;  // days since 0001-01-01
  std::int64_t y = 1 + n / 146097 * 400;
  n %= 146097;
  std::int64_t c = n / 36524;
  if (c == 4) c = 3;
  y += c * 100;
  n -= c * 36524;
  y += n / 1461 * 4;
  n %= 1461;
  std::int64_t a = n / 365;
  if (a == 4) a = 3;
  y += a;
  n -= a * 365;
  year = static_cast<int>(y);
  month = 1;
  while (month < 12 && n >= DaysInMonth(year, month)) {
    n -= DaysInMonth(year, month);
    ++month;
  }
  day = static_cast<int>(n) + 1;
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second) {
  double frac = std::fabs(value - std::trunc(value));
  if (!std::isfinite(frac)) frac = 0;
  long long secs = std::llround(frac * 86400.0);
  if (secs >= 86400) secs = 86399;
  if (secs < 0) secs = 0;
  hour = static_cast<int>(secs / 3600);
  minute = static_cast<int>(secs / 60 % 60);
  second = static_cast<int>(secs % 60);
}

bool DateSet(TDateTime value) {
  if (value == 0 || !std::isfinite(value)) return false;
  const double whole = std::trunc(value);
  return whole >= kFirstDay && whole <= kLastDay;
}

std::string IsoDateText(TDateTime date) {
  if (!DateSet(date)) return {};
  int y = 0, m = 0, d = 0;
  DecodeDate(date, y, m, d);
  std::string text;
  AppendPadded(text, y, 4);
  text += '-';
  AppendPadded(text, m, 2);
  text += '-';
  AppendPadded(text, d, 2);
  return text;
}

std::string IsoDateTimeText(TDateTime date, TDateTime time, bool seconds) {
  if (!DateSet(date)) return {};
  int h = 0, mi = 0, s = 0;
  DecodeTime(time, h, mi, s);
  std::string text = IsoDateText(date) + ' ';
  AppendPadded(text, h, 2);
  text += ':';
  AppendPadded(text, mi, 2);
  if (seconds) {
    text += ':';
    AppendPadded(text, s, 2);
  }
  return text;
}

std::string ShortDateText(TDateTime date) {
  return ToLatin1(QLocale().toString(ToQDate(date), QLocale::ShortFormat));
}

std::string LongTimeText(TDateTime time) {
  int h = 0, n = 0, s = 0;
  DecodeTime(time, h, n, s);
  return ToLatin1(QLocale().toString(QTime(h, n, s), LongTimeFormat()));
}

std::string NowText() {
  const QDateTime now = QDateTime::currentDateTime();
  return ToLatin1(QLocale().toString(now.date(), QLocale::ShortFormat)) + " " +
         ToLatin1(QLocale().toString(now.time(), LongTimeFormat()));
}
