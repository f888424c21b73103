#include "ParserTestSupport.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "DateNumber.h"
#include "VObjectParser.h"

std::vector<std::string> TParsed::Findings() const {
  if (Log.size() < 4) return {};
  return std::vector<std::string>(Log.begin() + 2, Log.end() - 2);
}

TParsed Parse(const TLines& lines) {
  TParsed p;
  p.Records.resize(2);  // left over from an earlier parse: must be emptied
  TParseSummary summary{{true, true, true}};  // left over as well
  p.Ok = ParseVObjects(lines, p.Records, [&p](const std::string& text) { p.Log.push_back(text); }, &summary);
  p.Whole = summary.Whole;
  return p;
}

TLines InVCard(const TLines& body) {
  TLines lines{"BEGIN:VCARD"};
  lines.insert(lines.end(), body.begin(), body.end());
  lines.push_back("END:VCARD");
  return lines;
}

TLines InVEvent(const TLines& body) {
  TLines lines{"BEGIN:VCALENDAR", "VERSION:1.0", "BEGIN:VEVENT"};
  lines.insert(lines.end(), body.begin(), body.end());
  lines.push_back("END:VEVENT");
  lines.push_back("END:VCALENDAR");
  return lines;
}

TLines SplitText(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  TLines lines;
  std::string line;
  for (std::size_t k = 0; k < text.size(); ++k) {
    const char c = text[k];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      if (c == '\r' && k + 1 < text.size() && text[k + 1] == '\n') ++k;
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

namespace {

bool IsEndLine(const std::string& line) {
  const std::size_t colon = line.find(':');
  std::string name = line.substr(0, std::min(colon, line.find(';')));
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return colon != std::string::npos && name == "END";
}

bool Continues(const std::string& line) {
  return !line.empty() && (line.back() == '=' || line.back() == '\\');
}

bool BeginsVObject(const std::string& line) {
  std::string upper = line;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper.find("BEGIN") != std::string::npos;  // an upper bound: every vObject begins so
}

}  // namespace

std::vector<std::string> CheckInvariants(const TLines& lines, const TParsed& parsed) {
  std::vector<std::string> faults;
  const auto& log = parsed.Log;
  if (log.size() < 4 || !log.front().empty() || !log.back().empty() ||
      log[1].rfind("Parser start: ", 0) != 0 || log[log.size() - 2].rfind("Parser end: ", 0) != 0) {
    faults.push_back("frame lines missing");
    return faults;
  }
  if (parsed.Ok != (lines.size() >= 3)) faults.push_back("wrong result");
  if (lines.size() < 3) return faults;

  std::vector<bool> logged(lines.size(), false);
  std::size_t previous = 0;
  bool previousEndedOpen = false;
  for (const std::string& f : parsed.Findings()) {
    // "Line " + at least four digits + ": "
    std::size_t k = 5;
    while (k < f.size() && f[k] >= '0' && f[k] <= '9') ++k;
    if (f.rfind("Line ", 0) != 0 || k < 9 || f.compare(k, 2, ": ") != 0) {
      faults.push_back("finding without line prefix: " + f.substr(0, 80));
      continue;
    }
    const std::size_t number = std::stoul(f.substr(5, k - 5));
    // A line that ends a vObject left open is also read for what it is.
    const bool again = number == previous && previousEndedOpen;
    if ((number <= previous && !again) || number > lines.size()) {
      faults.push_back("finding out of order: " + f.substr(0, 80));
      continue;
    }
    previous = number;
    previousEndedOpen = f.ends_with(" end missing");
    logged[number - 1] = true;
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (logged[i] || IsEndLine(lines[i]) || (i > 0 && Continues(lines[i - 1]))) continue;
    faults.push_back("line " + std::to_string(i + 1) + " silent: " + lines[i].substr(0, 80));
  }
  const auto begun = std::count_if(lines.begin(), lines.end(), BeginsVObject);
  if (static_cast<std::ptrdiff_t>(parsed.Records.size()) > begun) faults.push_back("more records than vObjects");
  return faults;
}

TDateTime Day(int year, int month, int day) {
  TDateTime d = -1;
  TryEncodeDate(year, month, day, d);
  return d;
}

TDateTime Clock(int hour, int minute, int second) {
  TDateTime t = -1;
  TryEncodeTime(hour, minute, second, t);
  return t;
}
