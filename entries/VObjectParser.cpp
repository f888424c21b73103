#include "VObjectParser.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "DateNumber.h"
#include "VObjectText.h"

namespace {

// vCard property names in lookup order; the handling goes by index.
constexpr std::array<std::string_view, 32> kVCardNames = {
    "END", "VERSION", "N", "TEL", "ADR", "EMAIL", "BDAY",
    "X-SIEMENS-GROUP-NAME", "X-SIEMENS-GROUP-ID", "X-SIEMENS-GROUP-SOUND-ID",
    "X-SIEMENS-GROUP-NOF-ENTRIES", "X-SIEMENS-NPI", "NOTE", "UID",
    "X-ZARVO-RINGTONE-UID", "X-ZARVO-RINGTONE-NAME", "X-ZARVO-RINGTONE-DATA",
    // known but not supported
    "FN", "PHOTO", "LABEL", "MAILER", "TZ", "GEO", "TITLE", "ROLE", "LOGO", "AGENT", "ORG",
    "REV", "SOUND", "URL", "KEY"};
enum : int {
  vcEnd, vcVersion, vcN, vcTel, vcAdr, vcEMail, vcBDay, vcGroupName, vcGroupID,
  vcGroupSoundID, vcGroupNofEntries, vcNPI, vcNote, vcUID, vcRingToneUID, vcRingToneName,
  vcRingToneData, vcFirstUnsupported
};

// Telephone types: the first five are stored, in the order of kTelFields.
constexpr std::array<std::string_view, 13> kTelTypes = {
    "HOME", "WORK", "CELL", "FAX", "MODEM",
    "PREF", "VOICE", "MSG", "PAGER", "BBS", "CAR", "ISDN", "VIDEO"};
constexpr std::array<std::string_view, 5> kTelWords = {"home", "work", "mobile", "fax", "data"};
constexpr std::array<std::string TvObject::*, 5> kTelFields = {
    &TvObject::TelHome, &TvObject::TelWork, &TvObject::TelCell, &TvObject::TelFax,
    &TvObject::TelModem};

// E-mail types: only the first is stored.
constexpr std::array<std::string_view, 12> kEMailTypes = {
    "INTERNET", "AOL", "APPLELINK", "ATTMAIL", "CIS", "EWORLD", "IBMMAIL", "MCIMAIL",
    "POWERSTAGE", "PRODIGY", "TLX", "X400"};

// Numbering-plan types, all stored.
constexpr std::array<std::string_view, 5> kNPITypes = {"HOME", "WORK", "CELL", "FAX", "MODEM"};
constexpr std::array<std::string_view, 5> kNPIWords = {"home", "work", "cell", "fax", "modem"};
constexpr std::array<std::int32_t TvObject::*, 5> kNPIFields = {
    &TvObject::NPIHome, &TvObject::NPIWork, &TvObject::NPICell, &TvObject::NPIFax,
    &TvObject::NPIModem};

// vCalendar property names in lookup order.
constexpr std::array<std::string_view, 7> kVCalendarNames = {
    "END", "VERSION", "BEGIN",
    // known but not supported
    "DAYLIGHT", "GEO", "PRODID", "TZ"};
enum : int { vlEnd, vlVersion, vlBegin, vlFirstUnsupported };

// vEvent property names in lookup order.
constexpr std::array<std::string_view, 31> kVEventNames = {
    "END", "UID", "DTSTART", "DTEND", "RRULE", "AALARM", "ATTACH", "DESCRIPTION",
    // known but not supported
    "ATTENDEE", "CATEGORIES", "CLASS", "DCREATED", "DALARM", "DUE", "EXDATE", "EXRULE",
    "LAST-MODIFIED", "LOCATION", "MALARM", "COMPLETED", "RNUM", "PRIORITY", "PALARM",
    "RELATED-TO", "RDATE", "RESOURCES", "SEQUENCE", "STATUS", "SUMMARY", "TRANSP", "URL"};
enum : int {
  veEnd, veUID, veDTStart, veDTEnd, veRRule, veAAlarm, veAttach, veDescription,
  veFirstUnsupported
};

// Recurrence frequency words and the kinds they set.
struct TFrequency {
  std::string_view Word;
  std::int32_t Kind;
};
constexpr std::array<TFrequency, 4> kFrequencies = {
    {{"D1", rkDaily}, {"W1", rkWeekly}, {"W2", rkEveryTwoWeeks}, {"YM1", rkYearly}}};
// The log's words for each recurrence kind, indexed by kind.
constexpr std::array<std::string_view, 5> kRepeatWords = {"", "daily", "weekly",
                                                          "every 2nd week", "yearly"};

constexpr std::string_view kCharsetAccepted = "CHARSET=ISO-8859-1";
constexpr std::string_view kEncodingAccepted = "ENCODING=QUOTED-PRINTABLE";

// How a continued value's lines are joined.
enum class TJoinForm { jfAddress, jfText, jfData };

// The outcome of reading the YYYYMMDD or HHMMSS digits of a date-time text.
enum class TDigits { dgOk, dgNotNumber, dgInvalid };

// The lines that begin a vCard or a vCalendar outside any vObject. Inside an unfinished
// vObject they end it, so that a damaged entry does not swallow the intact ones after it.
bool BeginsVCard(std::string_view line) { return SameUpper(line, "BEGIN:VCARD"); }
bool BeginsVCalendar(std::string_view line) { return SameUpper(line, "BEGIN:VCALENDAR"); }

std::string_view DropFinalZ(std::string_view text) {
  if (!text.empty() && (text.back() == 'Z' || text.back() == 'z')) text.remove_suffix(1);
  return text;
}

// Reads three numbers of the given widths from the start of text (which holds them all).
// A piece that is no number is left in bad.
bool ReadNumbers(std::string_view text, const std::array<int, 3>& widths,
                 std::array<int, 3>& numbers, std::string_view& bad) {
  std::size_t at = 0;
  for (std::size_t k = 0; k < 3; ++k) {
    const std::string_view piece = text.substr(at, static_cast<std::size_t>(widths[k]));
    std::int32_t n = 0;
    if (!TryStrToInt(piece, n)) {
      bad = piece;
      return false;
    }
    numbers[k] = n;
    at += static_cast<std::size_t>(widths[k]);
  }
  return true;
}

// The date of characters 1 to 8 of a 15-character date-time text.
TDigits ReadDate(std::string_view text, TDateTime& date, std::array<int, 3>& ymd,
                 std::string_view& bad) {
  if (!ReadNumbers(text.substr(0, 8), {4, 2, 2}, ymd, bad)) return TDigits::dgNotNumber;
  return TryEncodeDate(ymd[0], ymd[1], ymd[2], date) ? TDigits::dgOk : TDigits::dgInvalid;
}

// The time of characters 10 to 15 of a 15-character date-time text. 24:00:00 is no time.
TDigits ReadTime(std::string_view text, TDateTime& time, std::array<int, 3>& hms,
                 std::string_view& bad) {
  if (!ReadNumbers(text.substr(9, 6), {2, 2, 2}, hms, bad)) return TDigits::dgNotNumber;
  return TryEncodeTime(hms[0], hms[1], hms[2], time) ? TDigits::dgOk : TDigits::dgInvalid;
}

// DD.MM.YYYY and HH:MM:SS of the numbers read, for the messages about invalid ones.
std::string DottedDate(const std::array<int, 3>& ymd) {
  std::string d;
  AppendPadded(d, ymd[2], 2);
  d += '.';
  AppendPadded(d, ymd[1], 2);
  d += '.';
  AppendPadded(d, ymd[0], 4);
  return d;
}

std::string ColonTime(const std::array<int, 3>& hms) {
  std::string t;
  AppendPadded(t, hms[0], 2);
  t += ':';
  AppendPadded(t, hms[1], 2);
  t += ':';
  AppendPadded(t, hms[2], 2);
  return t;
}

class TParser {
 public:
  TParser(const TLines& lines, std::vector<TvObject>& vObjects, const TParserLog& log)
      : lines_(lines), vObjects_(vObjects), log_(log) {}

  bool Run();
  void Summarise(TParseSummary& summary) const {
    summary.Whole.clear();
    for (const unsigned char end : ends_) summary.Whole.push_back(end == 2);
  }

 private:
  // The lines the parser has handled or consumed end at i_: is there one more?
  bool HasNextLine() const { return i_ + 1 < lines_.size(); }
  // Line i begins an entry however it is met: "BEGIN:VCARD" or "BEGIN:VCALENDAR" with a
  // "VERSION:" line after it.
  bool BeginsEntryAt(std::size_t i) const {
    return i + 1 < lines_.size() && (BeginsVCard(lines_[i]) || BeginsVCalendar(lines_[i])) &&
           SameUpper(std::string_view(lines_[i + 1]).substr(0, 8), "VERSION:");
  }
  TvObject& Record() { return vObjects_.back(); }
  void AppendRecord();

  // One log line about line `line`: the prefix, ": " and the parts.
  template <typename... TParts>
  void LogAt(std::size_t line, const TParts&... parts) {
    text_.clear();
    AppendLinePrefix(text_, line);
    text_ += ": ";
    (text_.append(std::string_view(parts)), ...);
    log_(text_);
  }
  template <typename... TParts>
  void Log(const TParts&... parts) {
    LogAt(i_, parts...);
  }
  void LogNotANumber(std::string_view value) { Log("\"", value, "\" is not a valid integer value"); }
  void LogFrameLine(std::string_view what);
  // Ends the open vObject whose END line is missing, leaving the current line to the
  // loop around it.
  void EndMissing(bool& inside, std::string_view what);

  void VCardLoop();
  void VCardProperty(const TPropertyLine& p);
  void VCalendarLoop();
  void VCalendarProperty(const TPropertyLine& p);
  void VEventLoop();
  void VEventProperty(const TPropertyLine& p);

  bool CharsetSupported(std::string_view params);
  bool EncodingSupported(std::string_view params);
  bool ParamSupported(std::string_view params, std::string_view key, std::string_view accepted,
                      std::string_view message);
  std::string JoinContinued(std::string_view value, TJoinForm form);
  // The continued lines of a rejected value belong to it and go with it.
  void SkipContinued(std::string_view value, TJoinForm form) { (void)JoinContinued(value, form); }

  void StoreInteger(std::int32_t& field, std::string_view value, std::string_view what);
  void Address(const TPropertyLine& p);
  void Birthday(std::string_view value);
  bool DateTime(std::string_view text, std::string_view subject, TDateTime& date,
                TDateTime& time);
  void StartOrEnd(std::string_view value, std::string_view subject, TDateTime& date,
                  TDateTime& time);
  void Recurrence(std::string_view value);
  void AudioAlarm(const TPropertyLine& p);
  void Attachment(const TPropertyLine& p);

  const TLines& lines_;
  std::vector<TvObject>& vObjects_;
  const TParserLog& log_;
  // By record: 0 open, 1 its own END line came (a vEvent's vCalendar still open), 2 whole.
  std::vector<unsigned char> ends_;
  std::size_t calendarFirst_ = 0;  // the first record of the open vCalendar
  std::size_t i_ = 0;  // the current line
  bool insideVCard_ = false;
  bool insideVCalendar_ = false;
  bool insideVEvent_ = false;
  std::string text_;  // the log line being built, kept to reuse its room
};

void TParser::LogFrameLine(std::string_view what) {
  text_.assign(what);
  text_ += NowText();
  log_(text_);
}

void TParser::EndMissing(bool& inside, std::string_view what) {
  Log(what, " end missing");
  inside = false;
  --i_;
}

bool TParser::Run() {
  vObjects_.clear();
  log_(std::string());
  LogFrameLine("Parser start: ");
  const bool enough = lines_.size() >= 3;
  if (!enough) {
    log_("Not enough data - parsing aborted");
  } else {
    for (i_ = 0; i_ < lines_.size(); ++i_) {
      const std::string& line = lines_[i_];
      if (BeginsVCard(line)) {
        Log("vCard start");
        AppendRecord();
        VCardLoop();
      } else if (FindUpper(line, "BEGIN:VCALENDAR") != std::string_view::npos) {
        VCalendarLoop();
      } else {
        Log("no vObject found");
      }
    }
  }
  LogFrameLine("Parser end: ");
  log_(std::string());
  return enough;
}

void TParser::AppendRecord() {
  vObjects_.emplace_back();
  ClearVObject(vObjects_.back());
  ends_.push_back(0);
}

// ---- vCard ----

void TParser::VCardLoop() {
  // A "BEGIN:VCARD" on the last line, or a vCard without "END:VCARD", ends with the list.
  insideVCard_ = true;
  while (insideVCard_ && HasNextLine()) {
    ++i_;
    const std::string& line = lines_[i_];
    if (BeginsVCard(line) || BeginsVCalendar(line)) {
      EndMissing(insideVCard_, "vCard");
      break;
    }
    const TPropertyLine p = SplitPropertyLine(line);
    if (p.Name.find('.') != std::string_view::npos) {
      Log("grouped vCard properties not supported");
    } else {
      VCardProperty(p);
    }
  }
}

void TParser::VCardProperty(const TPropertyLine& p) {
  TvObject& r = Record();
  const int index = IndexOfUpper(kVCardNames, p.Name);
  switch (index) {
    case -1:
      Log("vCard property \"", p.Name, "\" invalid");
      break;
    case vcEnd:
      if (SameUpper(p.Value, "VCARD")) {
        Log("vCard end");
        insideVCard_ = false;
        ends_.back() = 2;
      }
      break;
    case vcVersion:
      if (p.Value == "2.1") {
        Log("vCard version valid (2.1)");
      } else {
        Log("vCard version \"", p.Value, "\" invalid, must be 2.1");
      }
      break;
    case vcN:
      if (CharsetSupported(p.Params) && EncodingSupported(p.Params)) {
        r.Name = p.Value;
        Log("name = \"", p.Value, "\"");
      } else {
        r.Name = ErrorFieldText;
      }
      break;
    case vcTel: {
      const int type = IndexOfUpper(kTelTypes, p.Params);
      if (type < 0) {
        Log("telephone type \"", p.Params, "\" invalid");
      } else if (type >= static_cast<int>(kTelFields.size())) {
        Log("telephone type \"", kTelTypes[static_cast<std::size_t>(type)], "\" not supported");
      } else {
        r.*kTelFields[static_cast<std::size_t>(type)] = p.Value;
        Log("telephone number ", kTelWords[static_cast<std::size_t>(type)], " = \"", p.Value, "\"");
      }
      break;
    }
    case vcAdr:
      Address(p);
      break;
    case vcEMail: {
      const int type = IndexOfUpper(kEMailTypes, p.Params);
      if (type < 0) {
        Log("eMail type \"", p.Params, "\" invalid");
      } else if (type > 0) {
        Log("eMail type \"", kEMailTypes[static_cast<std::size_t>(type)], "\" not supported");
      } else {
        r.EMail = p.Value;
        Log("eMail = \"", p.Value, "\"");
      }
      break;
    }
    case vcBDay:
      Birthday(p.Value);
      break;
    case vcGroupName:
      r.Kind = vkGroup;
      r.Name = p.Value;
      Log("group name = \"", p.Value, "\"");
      break;
    case vcGroupID:
      StoreInteger(r.GroupID, p.Value, "group ID = \"");
      break;
    case vcGroupSoundID:
      StoreInteger(r.GroupSoundID, p.Value, "group sound ID = \"");
      break;
    case vcGroupNofEntries:
      StoreInteger(r.GroupNofEntries, p.Value, "group NOF entries = \"");
      break;
    case vcNPI: {
      const int type = IndexOfUpper(kNPITypes, p.Params);
      if (type < 0) {
        Log("NPI type \"", p.Params, "\" invalid");
      } else {
        const auto k = static_cast<std::size_t>(type);
        std::string what = "NPI ";
        what += kNPIWords[k];
        what += " = \"";
        StoreInteger(r.*kNPIFields[k], p.Value, what);
      }
      break;
    }
    case vcNote:
      if (CharsetSupported(p.Params) && EncodingSupported(p.Params)) {
        const std::size_t first = i_;
        r.Note = JoinContinued(p.Value, TJoinForm::jfText);
        LogAt(first, "note = \"", r.Note, "\"");
      } else {
        r.Note = ErrorFieldText;
        SkipContinued(p.Value, TJoinForm::jfText);
      }
      break;
    case vcUID:
      StoreInteger(r.UID, p.Value, "UID = \"");
      break;
    case vcRingToneUID:
      r.Kind = vkRingTone;
      StoreInteger(r.RingToneUID, p.Value, "custom ring tone UID = \"");
      break;
    case vcRingToneName:
      r.RingToneName = p.Value;
      Log("custom ring tone Name = \"", p.Value, "\"");
      break;
    case vcRingToneData: {
      const std::size_t first = i_;
      r.RingToneData = JoinContinued(p.Value, TJoinForm::jfData);
      LogAt(first, "custom ring tone data = ", r.RingToneData);
      break;
    }
    default:
      Log("vCard property \"", kVCardNames[static_cast<std::size_t>(index)], "\" not supported");
      break;
  }
}

void TParser::StoreInteger(std::int32_t& field, std::string_view value, std::string_view what) {
  std::int32_t n = 0;
  if (!TryStrToInt(value, n)) {
    LogNotANumber(value);
    return;
  }
  field = n;
  Log(what, value, "\"");
}

void TParser::Address(const TPropertyLine& p) {
  TvObject& r = Record();
  if (!CharsetSupported(p.Params) || !EncodingSupported(p.Params)) {
    r.Street = r.City = r.Region = r.PostalCode = r.Country = ErrorFieldText;
    SkipContinued(p.Value, TJoinForm::jfAddress);
    return;
  }
  const std::size_t first = i_;
  const std::string joined = JoinContinued(p.Value, TJoinForm::jfAddress);
  // Post office box and extended address are skipped; a missing semicolon drops
  // nothing and leaves the component empty, so text without one lands in Country.
  std::string_view rest = joined;
  const auto skip = [&rest] {
    const std::size_t semicolon = rest.find(';');
    if (semicolon != std::string_view::npos) rest.remove_prefix(semicolon + 1);
  };
  const auto component = [&rest](std::string& field) {
    const std::size_t semicolon = rest.find(';');
    if (semicolon == std::string_view::npos) {
      field.clear();
      return;
    }
    field.assign(rest.substr(0, semicolon));
    rest.remove_prefix(semicolon + 1);
  };
  skip();
  skip();
  component(r.Street);
  component(r.City);
  component(r.Region);
  component(r.PostalCode);
  r.Country.assign(rest);
  LogAt(first, "address = \"", joined, "\"");
}

void TParser::Birthday(std::string_view value) {
  std::string text;
  text.reserve(value.size());
  for (const char c : value) {
    if (c != '-') text += c;
  }
  const std::string_view digits = DropFinalZ(text);
  if (digits.size() != 15) {
    Log("birthday date \"", digits, "\" invalid");
    return;
  }
  TDateTime date = 0;
  std::array<int, 3> ymd{};
  std::string_view bad;
  switch (ReadDate(digits, date, ymd, bad)) {
    case TDigits::dgNotNumber:
      LogNotANumber(bad);
      break;
    case TDigits::dgInvalid:
      Log("birthday date ", DottedDate(ymd), " invalid");
      break;
    case TDigits::dgOk:
      Record().Birthday = date;
      Log("birthday = ", ShortDateText(date));
      break;
  }
}

// ---- checks and continued values ----

bool TParser::CharsetSupported(std::string_view params) {
  return ParamSupported(params, "CHARSET", kCharsetAccepted, "\" character set invalid or not supported");
}

bool TParser::EncodingSupported(std::string_view params) {
  return ParamSupported(params, "ENCODING", kEncodingAccepted, "\" encoding invalid or not supported");
}

bool TParser::ParamSupported(std::string_view params, std::string_view key,
                             std::string_view accepted, std::string_view message) {
  const std::size_t at = FindUpper(params, key);
  if (at == std::string_view::npos) return true;
  std::string_view setting = params.substr(at);
  const std::size_t semicolon = setting.find(';');
  if (semicolon != std::string_view::npos) setting = setting.substr(0, semicolon);
  if (SameUpper(setting, accepted)) return true;
  const std::size_t equals = setting.find('=');
  if (equals != std::string_view::npos) setting.remove_prefix(equals + 1);
  Log("\"", setting, message);
  return false;
}

std::string TParser::JoinContinued(std::string_view value, TJoinForm form) {
  std::string joined(value);
  std::string_view current = value;  // the line whose last character is looked at
  while (!current.empty()) {
    const char mark = current.back();
    if (mark != '=' && !(mark == '\\' && form == TJoinForm::jfAddress)) break;
    joined.pop_back();
    // A value still continued on the last line of the list ends there, without its mark;
    // so does one cut before the next entry, which must not be taken for its text.
    if (!HasNextLine() || BeginsEntryAt(i_ + 1)) break;
    if (mark == '\\') joined += "=0D=0A";
    ++i_;
    current = lines_[i_];
    joined += current;
  }
  if (form == TJoinForm::jfData) return joined;
  return DecodeEscapes(joined);
}

// ---- vCalendar and vEvent ----

void TParser::VCalendarLoop() {
  Log("vCalendar start");
  insideVCalendar_ = true;
  calendarFirst_ = vObjects_.size();
  while (insideVCalendar_ && HasNextLine()) {
    ++i_;
    if (BeginsVCard(lines_[i_]) || BeginsEntryAt(i_)) {
      EndMissing(insideVCalendar_, "vCalendar");
      break;
    }
    VCalendarProperty(SplitPropertyLine(lines_[i_]));
  }
}

void TParser::VCalendarProperty(const TPropertyLine& p) {
  const int index = IndexOfUpper(kVCalendarNames, p.Name);
  switch (index) {
    case -1:
      Log("vCalendar property \"", p.Name, "\" invalid");
      break;
    case vlEnd:
      if (SameUpper(p.Value, "VCALENDAR")) {
        Log("vCalendar end");
        insideVCalendar_ = false;
        for (std::size_t k = calendarFirst_; k < ends_.size(); ++k)
          if (ends_[k] == 1) ends_[k] = 2;
      }
      break;
    case vlVersion:
      if (p.Value == "1.0") {
        Log("vCalendar version valid (1.0)");
      } else {
        Log("vCalendar version ", p.Value, " invalid, must be 1.0");
      }
      break;
    case vlBegin:
      if (SameUpper(p.Value, "VEVENT")) {
        VEventLoop();
      } else if (SameUpper(p.Value, "VTODO")) {
        Log("vToDo entity not supported");
      } else {
        Log("vCalendar entity \"", p.Value, "\" invalid");
      }
      break;
    default:
      Log("vCalendar property \"", kVCalendarNames[static_cast<std::size_t>(index)],
          "\" not supported");
      break;
  }
}

void TParser::VEventLoop() {
  Log("vEvent start");
  insideVEvent_ = true;
  AppendRecord();
  Record().Kind = vkEvent;
  while (insideVEvent_ && HasNextLine()) {
    ++i_;
    const TPropertyLine p = SplitPropertyLine(lines_[i_]);
    // The next vEvent, the vCalendar's end or a vCard: this one's END line is missing.
    const bool next = SameUpper(p.Name, "BEGIN") && SameUpper(p.Value, "VEVENT");
    const bool calendarEnd = SameUpper(p.Name, "END") && SameUpper(p.Value, "VCALENDAR");
    if (next || calendarEnd || BeginsVCard(lines_[i_]) || BeginsEntryAt(i_)) {
      EndMissing(insideVEvent_, "vEvent");
      break;
    }
    VEventProperty(p);
  }
}

void TParser::VEventProperty(const TPropertyLine& p) {
  TvObject& r = Record();
  const int index = IndexOfUpper(kVEventNames, p.Name);
  switch (index) {
    case -1:
      Log("vEvent property \"", p.Name, "\" invalid");
      break;
    case veEnd:
      if (SameUpper(p.Value, "VEVENT")) {
        Log("vEvent end");
        insideVEvent_ = false;
        ends_.back() = 1;
      }
      break;
    case veUID:
      StoreInteger(r.UID, p.Value, "UID = \"");
      break;
    case veDTStart:
      StartOrEnd(p.Value, "start", r.StartDate, r.StartTime);
      break;
    case veDTEnd:
      StartOrEnd(p.Value, "end", r.EndDate, r.EndTime);
      break;
    case veRRule:
      Recurrence(p.Value);
      break;
    case veAAlarm:
      AudioAlarm(p);
      break;
    case veAttach:
      Attachment(p);
      break;
    case veDescription:
      if (CharsetSupported(p.Params) && EncodingSupported(p.Params)) {
        const std::size_t first = i_;
        r.Note = JoinContinued(p.Value, TJoinForm::jfText);
        LogAt(first, "description = \"", r.Note, "\"");
      } else {
        r.Note = ErrorFieldText;
        SkipContinued(p.Value, TJoinForm::jfText);
      }
      break;
    default:
      Log("vEvent property \"", kVEventNames[static_cast<std::size_t>(index)], "\" not supported");
      break;
  }
}

// Reads a date-time text into date and time; true when both were stored. Every failure
// is logged with the subject ("start", "end", "audio reminder"): a bad length or date
// stores nothing, a good date with a bad time stores the date and time 0, and digits
// that are no number leave the rest unchanged.
bool TParser::DateTime(std::string_view text, std::string_view subject, TDateTime& date,
                       TDateTime& time) {
  text = DropFinalZ(text);
  if (text.size() != 15) {
    Log(subject, " date and time \"", text, "\" invalid");
    return false;
  }
  std::array<int, 3> parts{};
  std::string_view bad;
  TDateTime value = 0;
  switch (ReadDate(text, value, parts, bad)) {
    case TDigits::dgNotNumber:
      LogNotANumber(bad);
      return false;
    case TDigits::dgInvalid:
      Log(subject, " date ", DottedDate(parts), " invalid");
      return false;
    case TDigits::dgOk:
      break;
  }
  date = value;
  switch (ReadTime(text, value, parts, bad)) {
    case TDigits::dgNotNumber:
      LogNotANumber(bad);
      return false;
    case TDigits::dgInvalid:
      time = 0;
      Log(subject, " time ", ColonTime(parts), " invalid");
      return false;
    case TDigits::dgOk:
      break;
  }
  time = value;
  return true;
}

void TParser::StartOrEnd(std::string_view value, std::string_view subject, TDateTime& date,
                         TDateTime& time) {
  if (DateTime(value, subject, date, time)) {
    Log(subject, " date = ", ShortDateText(date), ", ", subject, " time = ", LongTimeText(time));
  }
}

void TParser::Recurrence(std::string_view value) {
  TvObject& r = Record();
  const std::size_t blank = value.find(' ');
  const std::string_view frequency =
      blank == std::string_view::npos ? std::string_view() : value.substr(0, blank);
  for (const TFrequency& f : kFrequencies) {
    if (SameUpper(frequency, f.Word)) r.RepeatKind = f.Kind;
  }
  if (r.RepeatKind <= rkNone || r.RepeatKind >= static_cast<std::int32_t>(kRepeatWords.size())) {
    Log("vEvent recurrence frequency \"", UpperAscii(frequency), "\" invalid or not supported");
    return;
  }
  const std::string_view word = kRepeatWords[static_cast<std::size_t>(r.RepeatKind)];
  const std::size_t lastBlank = value.rfind(' ');
  std::string_view duration =
      lastBlank == std::string_view::npos ? value : value.substr(lastBlank + 1);
  if (duration == "#0") {
    r.RepeatUntil = RepeatForever;
    Log("repeat event ", word, " forever");
    return;
  }
  duration = DropFinalZ(duration);
  if (duration.size() == 15) {
    // An end date that is no date is a bad duration like any other.
    TDateTime until = 0;
    std::array<int, 3> ymd{};
    std::string_view bad;
    if (ReadDate(duration, until, ymd, bad) == TDigits::dgOk) {
      r.RepeatUntil = until;
      Log("repeat event ", word, " until ", ShortDateText(until));
      return;
    }
  }
  r.RepeatKind = rkNone;
  Log("vEvent recurrence duration \"", duration, "\" invalid or not supported");
}

void TParser::AudioAlarm(const TPropertyLine& p) {
  TvObject& r = Record();
  if (!SameUpper(p.Params, "TYPE=RTTTL;VALUE=CONTENT-ID") &&
      !SameUpper(p.Params, "VALUE=CONTENT-ID;TYPE=RTTTL")) {
    Log("audio alarm parameter(s) \"", p.Params, "\" invalid or not supported");
    return;
  }
  // Run time; snooze time; repeat count; content identifier.
  const std::string_view value = p.Value;
  const std::size_t first = value.find(';');
  if (!DateTime(value.substr(0, first), "audio reminder", r.AlarmDate, r.AlarmTime)) return;
  std::string_view content;  // empty without a third semicolon
  if (first != std::string_view::npos) {
    const std::size_t second = value.find(';', first + 1);
    if (second != std::string_view::npos) {
      const std::size_t third = value.find(';', second + 1);
      if (third != std::string_view::npos) content = value.substr(third + 1);
    }
  }
  std::int32_t id = 0;
  if (!TryStrToInt(content, id)) {
    LogNotANumber(content);
    return;
  }
  if (id == -1 || id >= 400) {
    r.AlarmContentID = id;
    Log("audio reminder date = ", ShortDateText(r.AlarmDate), ", time = ",
        LongTimeText(r.AlarmTime), ", content ID = \"", content, "\"");
  } else {
    Log("audio content ID \"", content, "\" invalid");
  }
}

void TParser::Attachment(const TPropertyLine& p) {
  TvObject& r = Record();
  if (SameUpper(p.Params, "VALUE=PB-ID")) {
    StoreInteger(r.PBID, p.Value, "PB-ID = \"");
  } else if (SameUpper(p.Params, "VALUE=MEMO-ID")) {
    StoreInteger(r.MemoID, p.Value, "MEMO-ID = \"");
  } else {
    Log("attachment \"", p.Value, "\" invalid or not supported");
  }
}

}  // namespace

bool ParseVObjects(const TLines& lines, std::vector<TvObject>& vObjects, const TParserLog& log,
                   TParseSummary* summary) {
  TParser parser(lines, vObjects, log);
  const bool enough = parser.Run();
  if (summary) parser.Summarise(*summary);
  return enough;
}
