// The fit of calendar events (iCalendar 2.0 and vCalendar 1.0 VEVENTs) onto the phone's
// event record: start and end in the computer's local time, the repetitions the phone
// has, the first reminder, and one description.
#include <algorithm>

#include "AppException.h"
#include "DateNumber.h"
#include "ImportFit.h"
#include "ImportTime.h"
#include "ImportZones.h"
#include "VObjectText.h"

namespace {

enum class TEventFit { Start, End, Duration, Rule, Exception, Summary, Description, Location, OldAlarm, Override, Silent };

struct TEventProperty {
  std::string_view Name;
  TEventFit Fit;
};

// Every property an event may carry that the phone takes; the rest is left out and
// counted. AALARM, DALARM, PALARM and MALARM are vCalendar 1.0's reminders.
constexpr TEventProperty kEventFits[] = {
    {"DTSTART", TEventFit::Start},         {"DTEND", TEventFit::End},
    {"DURATION", TEventFit::Duration},     {"RRULE", TEventFit::Rule},
    {"EXDATE", TEventFit::Exception},      {"RDATE", TEventFit::Exception},
    {"EXRULE", TEventFit::Exception},      {"SUMMARY", TEventFit::Summary},
    {"DESCRIPTION", TEventFit::Description}, {"LOCATION", TEventFit::Location},
    {"AALARM", TEventFit::OldAlarm},       {"DALARM", TEventFit::OldAlarm},
    {"PALARM", TEventFit::OldAlarm},       {"MALARM", TEventFit::OldAlarm},
    {"RECURRENCE-ID", TEventFit::Override}, {"UID", TEventFit::Silent},
    {"DTSTAMP", TEventFit::Silent},        {"CREATED", TEventFit::Silent},
    {"DCREATED", TEventFit::Silent},       {"LAST-MODIFIED", TEventFit::Silent},
    {"SEQUENCE", TEventFit::Silent},
};

// The reminder's tone: -1 names none, so that it never points at a tone the phone may
// lack; the phone's own reminders carry it too. A reminder from the phone keeps its own.
constexpr std::int32_t kReminderContentId = -1;
constexpr std::int32_t kFirstToneContentId = 400;
constexpr qsizetype kLabelCharacters = 40;

const TEventProperty* EventFitOf(const std::string& name) {
  for (const TEventProperty& p : kEventFits)
    if (p.Name == name) return &p;
  return nullptr;
}

// A point in time of the event, in the computer's local civil seconds.
struct TLocalTime {
  std::int64_t Civil = 0;
  bool DateOnly = false;
};

class TEventFitter {
 public:
  TEventFitter(TFileNotes& file, TZones& zones, const QTimeZone& local)
      : file_(file), zones_(zones), local_(local), notes_(file.File()) {}
  void Fit(const TComponent& vevent);

 private:
  std::optional<TLocalTime> TimeOf(const TContentLine& line);
  std::optional<TLocalTime> LocalOf(const TTimeValue& v, const std::string& tzid, std::size_t line);
  void Repetition(const TContentLine& rule, bool vcalendar, bool exceptions, TEvent& e, const TLocalTime& start,
                  const std::string& tzid);
  void Reminder(const TComponent* alarm, const TContentLine* oldAlarm, TEvent& e, std::int64_t start, std::int64_t end);
  std::string Description(const TContentLine* summary, const TContentLine* description, const TContentLine* location);

  TFileNotes& file_;
  TZones& zones_;
  const QTimeZone& local_;
  TEntryNotes notes_;
  bool unknownZoneNoted_ = false;
};

std::optional<TLocalTime> TEventFitter::LocalOf(const TTimeValue& v, const std::string& tzid, std::size_t line) {
  TLocalTime t{v.Civil, v.DateOnly};
  if (v.DateOnly) return t;
  if (v.Utc) {
    t.Civil = UtcToZone(v.Civil, local_);
  } else if (!tzid.empty()) {
    if (const std::optional<std::int64_t> utc = zones_.ToUtc(tzid, v.Civil)) {
      t.Civil = UtcToZone(*utc, local_);
    } else if (!unknownZoneNoted_) {
      unknownZoneNoted_ = true;
      notes_.Add(TFindingKind::Changed, line, "time zone \"" + tzid + "\" not known: its times taken as local times");
    }
  }
  return t;
}

std::optional<TLocalTime> TEventFitter::TimeOf(const TContentLine& line) {
  std::optional<TTimeValue> v = ParseTimeValue(line.Value);
  if (!v) return std::nullopt;
  if (SameUpper(line.First("VALUE"), "DATE")) {
    v->DateOnly = true;
    v->Civil = DaysOf(v->Civil) * kSecondsPerDay;
  }
  return LocalOf(*v, line.First("TZID"), line.Line);
}

// The last occurrence's date of a repetition that ends after count occurrences; false
// when that lies beyond the years a date can hold.
bool LastOfCount(std::int32_t kind, std::int64_t startDays, int count, std::int64_t& lastDays) {
  if (kind == rkYearly) {
    int y = 0, m = 0, d = 0;
    CivilFromDays(startDays, y, m, d);
    // A repetition on 29 February falls in leap years only.
    int seen = 0;
    for (int year = y; year <= 9999; ++year) {
      if (d > DaysInMonth(year, m)) continue;
      if (++seen == count) {
        lastDays = DaysFromCivil(year, m, d);
        return true;
      }
    }
    return false;
  }
  const std::int64_t step = kind == rkDaily ? 1 : kind == rkWeekly ? 7 : 14;
  lastDays = startDays + step * (static_cast<std::int64_t>(count) - 1);
  int y = 0, m = 0, d = 0;
  CivilFromDays(lastDays, y, m, d);
  return y <= 9999;
}

void TEventFitter::Repetition(const TContentLine& line, bool vcalendar, bool exceptions, TEvent& e,
                              const TLocalTime& start, const std::string& tzid) {
  const TRecurrence r = vcalendar ? ParseVCalendarRule(line.Value) : ParseRRule(line.Value);
  const std::int64_t startDays = DaysOf(start.Civil);
  int y = 0, m = 0, d = 0;
  CivilFromDays(startDays, y, m, d);
  const int weekday = WeekdayOfDays(startDays);

  std::int32_t kind = rkNone;
  if (r.Valid && !r.OtherParts) {
    const bool onStartDay = r.ByDay.empty() || (r.ByDay.size() == 1 && r.ByDay[0].Ordinal == 0 && r.ByDay[0].Weekday == weekday);
    const bool inStartMonth = r.ByMonth.empty() || (r.ByMonth.size() == 1 && r.ByMonth[0] == m);
    const bool onStartDate = r.ByMonthDay.empty() || (r.ByMonthDay.size() == 1 && r.ByMonthDay[0] == d);
    if (r.Frequency == TFrequency::Daily && r.Interval == 1 && r.ByDay.empty() && r.ByMonth.empty() && r.ByMonthDay.empty())
      kind = rkDaily;
    else if (r.Frequency == TFrequency::Weekly && r.Interval <= 2 && onStartDay && r.ByMonth.empty() && r.ByMonthDay.empty())
      kind = r.Interval == 1 ? rkWeekly : rkEveryTwoWeeks;
    else if (r.Frequency == TFrequency::Yearly && r.Interval == 1 && r.ByDay.empty() && inStartMonth && onStartDate)
      kind = rkYearly;
  }
  if (kind == rkNone || exceptions) {
    std::string why = exceptions && kind != rkNone ? "with exceptions (EXDATE, RDATE)" : "\"" + line.Value + "\"";
    notes_.Add(TFindingKind::LeftOut, line.Line, "the phone cannot repeat " + why + ": only the first occurrence stored");
    return;
  }

  std::int64_t lastDays = 0;
  if (r.Count > 0) {
    if (r.Count == 1) return;  // one occurrence is no repetition
    if (!LastOfCount(kind, startDays, r.Count, lastDays)) {
      e.RepeatKind = kind;
      e.RepeatUntil = RepeatForever;
      return;
    }
  } else if (r.Until) {
    // A floating UNTIL is a time of the start's zone.
    const TLocalTime until = *LocalOf(*r.Until, tzid, line.Line);
    lastDays = DaysOf(until.Civil);
    // An end before the event's time of day on its last day ends the day before.
    const std::int64_t untilTime = until.Civil - lastDays * kSecondsPerDay;
    if (!until.DateOnly && !start.DateOnly && untilTime < start.Civil - startDays * kSecondsPerDay) --lastDays;
  } else {
    e.RepeatKind = kind;
    e.RepeatUntil = RepeatForever;
    return;
  }
  TDateTime date = 0, time = 0;
  if (!ToDateNumbers(lastDays * kSecondsPerDay, date, time)) {
    notes_.Add(TFindingKind::LeftOut, line.Line, "the repetition's end is not a date: only the first occurrence stored");
    return;
  }
  e.RepeatKind = kind;
  e.RepeatUntil = date;
}

void TEventFitter::Reminder(const TComponent* alarm, const TContentLine* oldAlarm, TEvent& e, std::int64_t start,
                            std::int64_t end) {
  std::optional<std::int64_t> at;
  std::int32_t contentId = kReminderContentId;
  std::size_t line = 0;
  if (alarm) {
    const TContentLine* trigger = alarm->Property("TRIGGER");
    line = trigger ? trigger->Line : alarm->Line;
    if (trigger) {
      if (const std::optional<std::int64_t> offset = ParseDuration(trigger->Value)) {
        at = (SameUpper(trigger->First("RELATED"), "END") ? end : start) + *offset;
      } else if (const std::optional<TTimeValue> v = ParseTimeValue(trigger->Value)) {
        at = LocalOf(*v, {}, line)->Civil;
      }
    }
  } else if (oldAlarm) {
    line = oldAlarm->Line;
    const std::string_view value = oldAlarm->Value;
    const std::size_t semi = value.find(';');
    if (const std::optional<TTimeValue> v = ParseTimeValue(value.substr(0, semi))) at = LocalOf(*v, {}, line)->Civil;
    // The phone's own reminder names its tone in the fourth part.
    if (SameUpper(oldAlarm->First("VALUE"), "CONTENT-ID")) {
      std::size_t pos = semi;
      for (int k = 0; k < 2 && pos != std::string_view::npos; ++k) pos = value.find(';', pos + 1);
      std::int32_t id = 0;
      if (pos != std::string_view::npos && TryStrToInt(value.substr(pos + 1), id) && (id == -1 || id >= kFirstToneContentId))
        contentId = id;
    }
  }
  if (!at) {
    if (alarm || oldAlarm) notes_.Add(TFindingKind::LeftOut, line, "reminder without a time it can be given at: left out");
    return;
  }
  if (!ToDateNumbers(*at, e.AlarmDate, e.AlarmTime)) {
    e.AlarmDate = e.AlarmTime = 0;
    notes_.Add(TFindingKind::LeftOut, line, "reminder outside the years a date can hold: left out");
    return;
  }
  e.AlarmContentID = contentId;
}

// "event Dentist" for an event that is not taken, by its summary.
std::string Headed(const TComponent& vevent) {
  const TContentLine* summary = vevent.Property("SUMMARY");
  const QString text = summary ? Unescaped(DecodedValue(*summary, nullptr, nullptr)).trimmed() : QString();
  return text.isEmpty() ? "event" : "event " + text.left(kLabelCharacters).toStdString();
}

QString TextOf(const TContentLine* line, TEntryNotes& notes) {
  return line ? Unescaped(ValueText(*line, notes)) : QString();
}

// The summary leads the description that this program's export writes, cut to a title
// and perhaps ended with an ellipsis; skipping leading blanks and line breaks, compare.
bool BeginsWithSummary(const QString& description, QString summary) {
  summary = summary.trimmed();
  for (const QString& ellipsis : {QStringLiteral("\u2026"), QStringLiteral("...")})
    if (summary.endsWith(ellipsis)) summary.chop(ellipsis.size());
  summary = summary.trimmed();
  qsizetype at = 0;
  while (at < description.size() && description[at].isSpace()) ++at;
  return description.mid(at).startsWith(summary);
}

std::string TEventFitter::Description(const TContentLine* summaryLine, const TContentLine* descriptionLine,
                                      const TContentLine* locationLine) {
  const QString summary = TextOf(summaryLine, notes_), description = TextOf(descriptionLine, notes_);
  QString text;
  if (description.isEmpty())
    text = summary;
  else if (summary.trimmed().isEmpty() || BeginsWithSummary(description, summary))
    text = description;
  else
    text = summary + QStringLiteral("\r\n") + description;
  const QString location = TextOf(locationLine, notes_).trimmed();
  if (!location.isEmpty()) {
    while (!text.isEmpty() && text.back().isSpace()) text.chop(1);
    if (!text.isEmpty()) text += QStringLiteral("\r\n");
    text += QStringLiteral("Location: ") + location;
    notes_.Add(TFindingKind::Changed, locationLine->Line, "LOCATION added to the description");
  }
  const std::size_t line = descriptionLine ? descriptionLine->Line : summaryLine ? summaryLine->Line : 0;
  return notes_.Text(text, "Description", TTextShape::Lines, line);
}

void TEventFitter::Fit(const TComponent& vevent) {
  const TContentLine *start = nullptr, *end = nullptr, *duration = nullptr, *rule = nullptr, *summary = nullptr,
                     *description = nullptr, *location = nullptr, *oldAlarm = nullptr;
  bool exceptions = false;
  for (const TContentLine& p : vevent.Properties) {
    const TEventProperty* fit = EventFitOf(p.Name);
    if (!fit) {
      notes_.LeftOut(p);
      continue;
    }
    const TContentLine** slot = nullptr;
    switch (fit->Fit) {
      case TEventFit::Start: slot = &start; break;
      case TEventFit::End: slot = &end; break;
      case TEventFit::Duration: slot = &duration; break;
      case TEventFit::Rule: slot = &rule; break;
      case TEventFit::Summary: slot = &summary; break;
      case TEventFit::Description: slot = &description; break;
      case TEventFit::Location: slot = &location; break;
      case TEventFit::Exception: exceptions = true; break;
      case TEventFit::OldAlarm:
        // A display and a sound reminder at one time are one reminder to the phone.
        if (oldAlarm && oldAlarm->Value.substr(0, oldAlarm->Value.find(';')) != p.Value.substr(0, p.Value.find(';')))
          notes_.LeftOut(p, "further reminder");
        if (!oldAlarm) oldAlarm = &p;
        break;
      case TEventFit::Override:
        file_.Add(TFindingKind::NotTaken, p.Line, "a changed occurrence of a repeating event: not added",
                  Headed(vevent));
        return;
      case TEventFit::Silent: break;
    }
    if (!slot) continue;
    if (*slot)
      notes_.LeftOut(p, "second " + p.Name);
    else
      *slot = &p;
  }
  const TComponent* alarm = nullptr;
  for (const TComponent& sub : vevent.Children) {
    if (sub.Name == "VALARM" && !alarm) {
      alarm = &sub;
      continue;
    }
    TContentLine where;
    where.Line = sub.Line;
    notes_.LeftOut(where, sub.Name == "VALARM" ? "further reminder" : sub.Name);
  }

  const std::optional<TLocalTime> from = start ? TimeOf(*start) : std::nullopt;
  if (!from) {
    file_.Add(TFindingKind::NotTaken, start ? start->Line : vevent.Line, "an event without a valid start: not added",
              Headed(vevent));
    return;
  }
  TImported<TEvent> out;
  out.Origin = {file_.File(), vevent.Line};
  TEvent& e = out.Entry;
  e.UID = -1;
  e.PBID = -1;
  e.MemoID = -1;

  // The end, and the moment a reminder "before the end" counts from.
  std::int64_t endAt = from->Civil;
  std::int64_t last = from->Civil;
  if (const std::optional<TLocalTime> to = end ? TimeOf(*end) : std::nullopt) {
    endAt = to->Civil;
  } else if (const std::optional<std::int64_t> length = duration ? ParseDuration(duration->Value) : std::nullopt) {
    endAt = from->Civil + *length;
  } else if (from->DateOnly) {
    endAt = from->Civil + kSecondsPerDay;
  }
  if (end && !TimeOf(*end)) notes_.Add(TFindingKind::LeftOut, end->Line, "end \"" + end->Value + "\" is not a time: left out");
  if (from->DateOnly) {
    // All day: from 00:00 of the first day to 23:59 of the last, the day before the end.
    const std::int64_t firstDay = DaysOf(from->Civil);
    const std::int64_t lastDay = std::max(DaysOf(endAt - 1), firstDay);
    last = lastDay * kSecondsPerDay + 23 * 3600 + 59 * 60;
    endAt = std::max(endAt, (firstDay + 1) * kSecondsPerDay);
  } else if (endAt < from->Civil) {
    notes_.Add(TFindingKind::Changed, end ? end->Line : duration->Line, "end before the start: the end set to the start");
    endAt = last = from->Civil;
  } else {
    last = endAt;
  }
  if (!ToDateNumbers(from->Civil, e.StartDate, e.StartTime) || !ToDateNumbers(last, e.EndDate, e.EndTime)) {
    file_.Add(TFindingKind::NotTaken, start->Line, "an event outside the years a date can hold: not added",
              Headed(vevent));
    return;
  }

  if (rule) {
    Repetition(*rule, rule->Value.find('=') == std::string::npos, exceptions, e, *from, start->First("TZID"));
  } else if (exceptions) {
    notes_.Add(TFindingKind::LeftOut, vevent.Line, "the phone cannot repeat on the dates of RDATE: only the first occurrence stored");
  }
  Reminder(alarm, oldAlarm, e, from->Civil, endAt);
  e.Description = Description(summary, description, location);

  out.Label = EntryLabel(e);
  out.Findings = notes_.Finish(out.Label);
  file_.Set().Events.push_back(std::move(out));
}

}  // namespace

void FitCalendar(const TComponent& calendar, TFileNotes& file, const QTimeZone& local) {
  TZones zones;
  for (const TComponent& sub : calendar.Children) {
    if (sub.Name != "VTIMEZONE") continue;
    TZoneRules rules;
    const TContentLine* tzid = sub.Property("TZID");
    if (tzid && rules.Read(sub))
      zones.Define(tzid->Value, std::move(rules));
    else
      file.Add(TFindingKind::Broken, sub.Line, "a VTIMEZONE without a TZID or offsets: not used");
  }
  std::size_t todos = 0, journals = 0;
  for (const TComponent& sub : calendar.Children) {
    if (sub.Name == "VEVENT") {
      if (file.Set().Entries() >= kMaxImportEntries) continue;
      TEventFitter(file, zones, local).Fit(sub);
    } else if (sub.Name == "VTODO") {
      ++todos;
    } else if (sub.Name == "VJOURNAL") {
      ++journals;
    } else if (sub.Name != "VTIMEZONE") {
      file.Add(TFindingKind::NotTaken, sub.Line, "a " + sub.Name + " is no event: left out");
    }
  }
  file.Set().LeftOutTodos += todos;
  file.Set().LeftOutJournals += journals;
  if (todos + journals > 0) {
    std::string what;
    if (todos > 0) what = std::to_string(todos) + (todos == 1 ? " to-do" : " to-dos");
    if (journals > 0)
      what += (what.empty() ? "" : " and ") + std::to_string(journals) + (journals == 1 ? " journal entry" : " journal entries");
    file.Add(TFindingKind::LeftOut, calendar.Line, what + " left out: the phone keeps events only");
  }
}
