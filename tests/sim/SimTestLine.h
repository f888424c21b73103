#pragma once
// The test's end of the simulated cable: the slave path opened with plain open, read
// and write, as a serial port would be, and the program's rules for cleaning a
// successful answer, to check that the simulator's framing survives them.

#include <string>
#include <vector>

class TTestLine {
 public:
  explicit TTestLine(const std::string& path);
  ~TTestLine();
  TTestLine(const TTestLine&) = delete;
  TTestLine& operator=(const TTestLine&) = delete;

  int Fd() const { return fd_; }
  void Write(const std::string& bytes);
  // Reads until the bytes end in a final result ("OK", "ERROR", "+CME ERROR: n") or
  // the input prompt, or until timeoutMs pass.
  std::string ReadAnswer(int timeoutMs = 3000);
  // The same, one entry per read() call; each read waits pauseMs after the bytes show.
  std::vector<std::string> ReadPieces(int timeoutMs = 3000, int pauseMs = 2);
  // Everything that arrives within ms.
  std::string ReadFor(int ms);
  // Sends command + CR LF and reads the answer.
  std::string Command(const std::string& command, int timeoutMs = 3000);
  // True once the other end has gone (poll reports a hang-up).
  bool HungUp(int timeoutMs = 1000);

 private:
  int fd_ = -1;
};

bool EndsAnswer(const std::string& bytes);
// The program's cleaning of an answer that holds CR LF "OK" CR LF: trim bytes 0..32
// at both ends, delete an echo through the first CR LF CR LF, delete the first CR LF OK.
std::string CleanAnswer(std::string answer);
// The fetch's first line (through the first CR LF) dropped.
std::string DropFirstLine(const std::string& text);
// The listing's identifiers, least significant byte first, from a cleaned piece.
std::vector<int> ListedIds(const std::string& cleaned, char* mark = nullptr);
