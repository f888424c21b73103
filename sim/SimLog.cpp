#include "SimLog.h"

#include <chrono>
#include <ctime>
#include <stdexcept>

std::string SimEscape(const std::string& bytes) {
  static const char hex[] = "0123456789ABCDEF";
  std::string text;
  for (char c : bytes) {
    auto b = static_cast<unsigned char>(c);
    if (b == '\r') text += "\\r";
    else if (b == '\n') text += "\\n";
    else if (b == '\\') text += "\\\\";
    else if (b >= 32 && b < 127) text += c;
    else text += std::string("\\x") + hex[b >> 4] + hex[b & 15];
  }
  return text;
}

TSimLog::TSimLog(const std::string& path) : file_(std::fopen(path.c_str(), "a")) {
  if (!file_) throw std::runtime_error("cannot open the log file " + path);
}

TSimLog::~TSimLog() { std::fclose(file_); }

void TSimLog::Line(const std::string& text) {
  auto now = std::chrono::system_clock::now();
  std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  auto micros = std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count() % 1000000;
  std::tm local{};
  localtime_r(&seconds, &local);
  char stamp[40];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  std::lock_guard lock(mutex_);
  std::fprintf(file_, "%s.%06ld %s\n", stamp, long(micros), text.c_str());
  std::fflush(file_);
}

void TSimLog::Bytes(const char* direction, const std::string& bytes) {
  Line(std::string(direction) + " " + std::to_string(bytes.size()) + " " + SimEscape(bytes));
}

void TSimLog::Note(const std::string& text) { Line("-- " + text); }
