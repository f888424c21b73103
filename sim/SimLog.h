#pragma once
// The simulator's log file: every byte in and out with a timestamp, one line per piece,
// and a line for each event on the line (opened, closed, cable pulled, plugged in).
// Bytes are written C-style (\r, \n, \xNN) so that binary answers stay readable.
// Thread-safe; the constructor throws std::runtime_error when the file cannot be made.

#include <cstdio>
#include <mutex>
#include <string>

class TSimLog {
 public:
  explicit TSimLog(const std::string& path);
  ~TSimLog();
  TSimLog(const TSimLog&) = delete;
  TSimLog& operator=(const TSimLog&) = delete;

  void Bytes(const char* direction, const std::string& bytes);
  void Note(const std::string& text);

 private:
  void Line(const std::string& text);
  std::mutex mutex_;
  std::FILE* file_ = nullptr;
};

// C-style rendering of bytes: printable ASCII as is, \r \n \\ and \xNN for the rest.
std::string SimEscape(const std::string& bytes);
