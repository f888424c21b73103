#pragma once
// Time zones of calendar files: a TZID turned into UTC, and UTC into the computer's
// local time.
//
// A TZID is looked up first among the VTIMEZONE components of its calendar, then in the
// system's zone database (an IANA name, a Windows name as Outlook writes them, or a
// path-like name that ends in an IANA name, "/mozilla.org/20050126_1/Europe/Berlin").
// A VTIMEZONE is read for what calendars write: STANDARD and DAYLIGHT observances with
// their offsets, a yearly RRULE by BYMONTH with BYDAY (an ordinal weekday, or a weekday
// within BYMONTHDAY days), UNTIL or COUNT, RDATEs, or a single onset; a fixed offset is
// one observance. A local time that a change of offset skips is read with the offset
// before the change; one that occurs twice is its first occurrence (RFC 5545).

#include <QTimeZone>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ContentLines.h"
#include "ImportTime.h"

class TZoneRules {
 public:
  struct TObservance {
    int OffsetFrom = 0;      // seconds east of UTC before the onset
    int OffsetTo = 0;        // and after it
    std::int64_t Start = 0;  // civil seconds of the first onset, in OffsetFrom time
    bool Yearly = false;
    int Month = 0;  // 0: the month of Start
    std::vector<TByDay> ByDay;
    std::vector<int> ByMonthDay;
    std::optional<std::int64_t> UntilUtc;
    int Count = 0;
    std::vector<std::int64_t> RDates;  // civil seconds in OffsetFrom time
  };

  // False when the component holds no observance that can be read.
  bool Read(const TComponent& vtimezone);
  // UTC seconds of civil seconds of this zone.
  std::int64_t ToUtc(std::int64_t local) const;

 private:
  struct TOnset {
    std::int64_t Utc;
    int From, To;
  };
  std::vector<TOnset> Onsets(int fromYear, int toYear) const;
  int OffsetAt(const std::vector<TOnset>& onsets, std::int64_t utc) const;

  std::vector<TObservance> observances_;
};

class TZones {
 public:
  // The zones of one calendar: its VTIMEZONE components.
  void Define(const std::string& tzid, TZoneRules rules);
  // UTC seconds of local civil seconds in the zone tzid; nullopt when the zone is unknown.
  std::optional<std::int64_t> ToUtc(const std::string& tzid, std::int64_t local);

 private:
  std::map<std::string, TZoneRules> defined_;
  std::map<std::string, QTimeZone> system_;
};

// Civil seconds in zone of UTC seconds.
std::int64_t UtcToZone(std::int64_t utc, const QTimeZone& zone);
