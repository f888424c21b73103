#include "ImportZones.h"

#include <QDateTime>
#include <algorithm>

#include "DateNumber.h"
#include "VObjectText.h"

namespace {

int YearOf(std::int64_t civil) {
  int y = 0, m = 0, d = 0;
  CivilFromDays(DaysOf(civil), y, m, d);
  return y;
}

// The day of the month of a yearly onset, 0 when the month has none such.
int OnsetDay(const TZoneRules::TObservance& o, int year, int month, int startDay) {
  const int length = DaysInMonth(year, month);
  const auto resolve = [&](int d) { return d < 0 ? length + 1 + d : d; };
  if (o.ByDay.empty()) {
    const int d = o.ByMonthDay.empty() ? std::min(startDay, length) : resolve(o.ByMonthDay.front());
    return d >= 1 && d <= length ? d : 0;
  }
  const TByDay& by = o.ByDay.front();
  const int firstWeekday = WeekdayOfDays(DaysFromCivil(year, month, 1));
  const int first = 1 + (by.Weekday - firstWeekday + 7) % 7;  // the first such weekday
  if (by.Ordinal > 0) {
    const int d = first + 7 * (by.Ordinal - 1);
    return d <= length ? d : 0;
  }
  if (by.Ordinal < 0) {
    const int lastWeekday = WeekdayOfDays(DaysFromCivil(year, month, length));
    const int last = length - (lastWeekday - by.Weekday + 7) % 7;
    const int d = last + 7 * (by.Ordinal + 1);
    return d >= 1 ? d : 0;
  }
  // A weekday within a set of month days: the old form of "the second Sunday".
  std::vector<int> days;
  for (int d : o.ByMonthDay) days.push_back(resolve(d));
  std::sort(days.begin(), days.end());
  for (int d : days)
    if (d >= 1 && d <= length && WeekdayOfDays(DaysFromCivil(year, month, d)) == by.Weekday) return d;
  return days.empty() ? first : 0;
}

QTimeZone SystemZone(const std::string& id) {
  const QByteArray name = QByteArray::fromStdString(id);
  if (name.isEmpty()) return {};
  if (QTimeZone::isTimeZoneIdAvailable(name)) return QTimeZone(name);
  const QByteArray iana = QTimeZone::windowsIdToDefaultIanaId(name);
  if (!iana.isEmpty()) return QTimeZone(iana);
  for (qsizetype slash = name.indexOf('/'); slash >= 0; slash = name.indexOf('/', slash + 1)) {
    const QByteArray tail = name.mid(slash + 1);
    if (!tail.isEmpty() && QTimeZone::isTimeZoneIdAvailable(tail)) return QTimeZone(tail);
  }
  return {};
}

}  // namespace

bool TZoneRules::Read(const TComponent& vtimezone) {
  observances_.clear();
  for (const TComponent& sub : vtimezone.Children) {
    if (sub.Name != "STANDARD" && sub.Name != "DAYLIGHT") continue;
    TObservance o;
    const TContentLine* to = sub.Property("TZOFFSETTO");
    const TContentLine* from = sub.Property("TZOFFSETFROM");
    const std::optional<int> offsetTo = to ? ParseUtcOffset(to->Value) : std::nullopt;
    if (!offsetTo) continue;
    o.OffsetTo = *offsetTo;
    const std::optional<int> offsetFrom = from ? ParseUtcOffset(from->Value) : std::nullopt;
    o.OffsetFrom = offsetFrom.value_or(o.OffsetTo);
    const TContentLine* start = sub.Property("DTSTART");
    const std::optional<TTimeValue> startValue = start ? ParseTimeValue(start->Value) : std::nullopt;
    o.Start = startValue ? startValue->Civil + (startValue->Utc ? o.OffsetFrom : 0) : CivilSeconds(1, 1, 1, 0, 0, 0);
    if (const TContentLine* rule = sub.Property("RRULE")) {
      const TRecurrence r = ParseRRule(rule->Value);
      if (r.Valid && r.Frequency == TFrequency::Yearly && r.Interval == 1) {
        o.Yearly = true;
        o.Month = r.ByMonth.empty() ? 0 : r.ByMonth.front();
        o.ByDay = r.ByDay;
        o.ByMonthDay = r.ByMonthDay;
        o.Count = r.Count;
        if (r.Until) o.UntilUtc = r.Until->Utc ? r.Until->Civil : r.Until->Civil - o.OffsetFrom;
        if (o.Month < 0 || o.Month > 12) o.Yearly = false;
      }
    }
    for (const TContentLine& p : sub.Properties) {
      if (p.Name != "RDATE") continue;
      std::size_t begin = 0;
      while (begin <= p.Value.size()) {
        const std::size_t comma = std::min(p.Value.find(',', begin), p.Value.size());
        if (const auto v = ParseTimeValue(std::string_view(p.Value).substr(begin, comma - begin)))
          o.RDates.push_back(v->Civil + (v->Utc ? o.OffsetFrom : 0));
        begin = comma + 1;
      }
    }
    observances_.push_back(std::move(o));
  }
  return !observances_.empty();
}

std::vector<TZoneRules::TOnset> TZoneRules::Onsets(int fromYear, int toYear) const {
  std::vector<TOnset> onsets;
  for (const TObservance& o : observances_) {
    for (std::int64_t r : o.RDates) onsets.push_back({r - o.OffsetFrom, o.OffsetFrom, o.OffsetTo});
    if (!o.Yearly) {
      onsets.push_back({o.Start - o.OffsetFrom, o.OffsetFrom, o.OffsetTo});
      continue;
    }
    const std::int64_t days = DaysOf(o.Start);
    const std::int64_t timeOfDay = o.Start - days * kSecondsPerDay;
    int startYear = 0, startMonth = 0, startDay = 0;
    CivilFromDays(days, startYear, startMonth, startDay);
    // The rule's last year, when it ended before the years asked for: its last onset
    // still sets the offset.
    int endYear = toYear;
    if (o.Count > 0) endYear = std::min<std::int64_t>(endYear, static_cast<std::int64_t>(startYear) + o.Count - 1);
    if (o.UntilUtc) endYear = std::min(endYear, YearOf(*o.UntilUtc + o.OffsetFrom));
    const int first = std::max(startYear, std::min(fromYear, endYear - 1));
    for (int year = first; year <= endYear && year <= 9999; ++year) {
      const int month = o.Month > 0 ? o.Month : startMonth;
      const int day = OnsetDay(o, year, month, startDay);
      if (day == 0) continue;
      const std::int64_t local = DaysFromCivil(year, month, day) * kSecondsPerDay + timeOfDay;
      if (local < o.Start) continue;
      const std::int64_t utc = local - o.OffsetFrom;
      if (o.UntilUtc && utc > *o.UntilUtc) continue;
      onsets.push_back({utc, o.OffsetFrom, o.OffsetTo});
    }
  }
  std::sort(onsets.begin(), onsets.end(), [](const TOnset& a, const TOnset& b) { return a.Utc < b.Utc; });
  return onsets;
}

int TZoneRules::OffsetAt(const std::vector<TOnset>& onsets, std::int64_t utc) const {
  if (onsets.empty()) return observances_.empty() ? 0 : observances_.front().OffsetTo;
  int offset = onsets.front().From;
  for (const TOnset& o : onsets) {
    if (o.Utc > utc) break;
    offset = o.To;
  }
  return offset;
}

std::int64_t TZoneRules::ToUtc(std::int64_t local) const {
  const int year = YearOf(local);
  const std::vector<TOnset> onsets = Onsets(year - 1, year + 1);
  std::vector<int> candidates;
  for (const TOnset& o : onsets) {
    candidates.push_back(o.From);
    candidates.push_back(o.To);
  }
  if (candidates.empty()) return local - OffsetAt(onsets, local);
  // The larger offset first: of a time that occurs twice, the first occurrence.
  std::sort(candidates.begin(), candidates.end(), std::greater<>());
  for (int c : candidates)
    if (OffsetAt(onsets, local - c) == c) return local - c;
  for (const TOnset& o : onsets)
    if (local >= o.Utc + o.From && local < o.Utc + o.To) return local - o.From;
  return local - OffsetAt(onsets, local - candidates.front());
}

void TZones::Define(const std::string& tzid, TZoneRules rules) { defined_[tzid] = std::move(rules); }

std::optional<std::int64_t> TZones::ToUtc(const std::string& tzid, std::int64_t local) {
  auto defined = defined_.find(tzid);
  if (defined == defined_.end()) {
    defined = std::find_if(defined_.begin(), defined_.end(),
                           [&](const auto& d) { return UpperAscii(d.first) == UpperAscii(tzid); });
  }
  if (defined != defined_.end()) return defined->second.ToUtc(local);

  auto system = system_.find(tzid);
  if (system == system_.end()) system = system_.emplace(tzid, SystemZone(tzid)).first;
  const QTimeZone& zone = system->second;
  if (!zone.isValid()) return std::nullopt;
  const auto offsetAt = [&](std::int64_t utc) {
    return zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(utc, QTimeZone::utc()));
  };
  // The offsets on either side of a change near the time; the larger one first, so that
  // of a time that occurs twice the first occurrence is taken.
  const int early = offsetAt(local - 36 * 3600), late = offsetAt(local + 36 * 3600);
  for (int c : {std::max(early, late), std::min(early, late)})
    if (offsetAt(local - c) == c) return local - c;
  return local - early;
}

std::int64_t UtcToZone(std::int64_t utc, const QTimeZone& zone) {
  if (!zone.isValid()) return utc;
  return utc + zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(utc, QTimeZone::utc()));
}
