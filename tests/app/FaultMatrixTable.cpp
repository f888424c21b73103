#include "FaultMatrixTable.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>

namespace {

const char* Mark(int check) { return check < 0 ? "-" : check ? "ok" : "FAIL"; }

std::string Seconds(const TMatrixRow& row) {
  if (row.Seconds < 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f/%.1f", row.Seconds, row.Limit);
  return text;
}

std::string Clip(std::string text, std::size_t width) {
  if (text.size() > width) text = text.substr(0, width - 3) + "...";
  return text;
}

// Tab-separated fields; texts lose their tabs and line breaks.
std::string Flat(std::string text) {
  std::replace_if(text.begin(), text.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
  return text;
}

std::optional<TMatrixRow> Parse(const std::string& text) {
  std::vector<std::string> f;
  std::istringstream in(text);
  for (std::string field; std::getline(in, field, '\t');) f.push_back(field);
  if (f.size() < 10) return std::nullopt;
  TMatrixRow r;
  try {
    r.Order = std::stoi(f[0]);
    r.Fault = f[1];
    r.Phase = f[2];
    r.Message = f[3];
    r.Seconds = std::stod(f[4]);
    r.Limit = std::stod(f[5]);
    r.Controls = std::stoi(f[6]);
    r.NextRead = std::stoi(f[7]);
    r.NothingLost = std::stoi(f[8]);
    r.Passed = f[9] == "1";
    r.Note = f.size() > 10 ? f[10] : "";
  } catch (const std::exception&) {
    return std::nullopt;
  }
  return r;
}

}  // namespace

std::string MatrixTable(std::vector<TMatrixRow> rows) {
  std::sort(rows.begin(), rows.end(), [](const TMatrixRow& a, const TMatrixRow& b) {
    return a.Order != b.Order ? a.Order < b.Order : a.Phase < b.Phase;
  });
  std::ostringstream out;
  auto line = [&](const std::string& fault, const std::string& phase, const std::string& message,
                  const std::string& seconds, const std::string& controls, const std::string& next,
                  const std::string& lost, const std::string& result) {
    out << std::left << std::setw(40) << Clip(fault, 40) << ' ' << std::setw(7) << phase << ' ' << std::setw(66)
        << Clip(message, 66) << ' ' << std::setw(9) << seconds << ' ' << std::setw(8) << controls << ' '
        << std::setw(9) << next << ' ' << std::setw(12) << lost << ' ' << result << '\n';
  };
  line("fault", "phase", "message", "s/limit", "controls", "next read", "nothing lost", "result");
  out << std::string(164, '-') << '\n';
  std::size_t failed = 0, skipped = 0;
  for (const TMatrixRow& r : rows) {
    const bool skip = r.Passed && r.Note.rfind("skipped", 0) == 0;
    std::string result = skip ? "SKIP" : r.Passed ? "PASS" : "FAIL";
    if (!r.Note.empty()) result += " (" + r.Note + ")";
    failed += r.Passed ? 0 : 1;
    skipped += skip ? 1 : 0;
    line(r.Fault, r.Phase, r.Message.empty() ? "-" : r.Message, Seconds(r), Mark(r.Controls), Mark(r.NextRead),
         Mark(r.NothingLost), result);
  }
  out << "fault matrix: " << rows.size() << " rows, " << rows.size() - failed - skipped << " pass, " << failed
      << " fail, " << skipped << " skipped\n";
  return out.str();
}

bool WriteRowFile(const std::string& folder, const TMatrixRow& r) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  char name[64];
  std::snprintf(name, sizeof name, "%03d-%s.row", r.Order, r.Phase.c_str());
  std::ofstream file(std::filesystem::path(folder) / name, std::ios::trunc);
  file << r.Order << '\t' << Flat(r.Fault) << '\t' << Flat(r.Phase) << '\t' << Flat(r.Message) << '\t'
       << r.Seconds << '\t' << r.Limit << '\t' << r.Controls << '\t' << r.NextRead << '\t' << r.NothingLost << '\t'
       << (r.Passed ? 1 : 0) << '\t' << Flat(r.Note) << '\n';
  return static_cast<bool>(file);
}

std::vector<TMatrixRow> ReadRowFiles(const std::string& folder, std::vector<std::string>& unreadable) {
  std::vector<TMatrixRow> rows;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() != ".row") continue;
    std::ifstream file(entry.path());
    std::string text;
    std::getline(file, text);
    if (auto row = Parse(text))
      rows.push_back(*row);
    else
      unreadable.push_back(entry.path().filename().string());
  }
  return rows;
}
