#pragma once
// A pseudo-terminal for the link's tests: the component opens the slave side by its
// path, the test (or a script on a thread of its own) plays the phone on the master
// side. The peer keeps a slave descriptor of its own, so the line stays up between
// opens until HangUp.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "LogPane.h"
#include "TestSupport.h"

class TPtyPeer {
 public:
  TPtyPeer();
  ~TPtyPeer();
  TPtyPeer(const TPtyPeer&) = delete;
  TPtyPeer& operator=(const TPtyPeer&) = delete;

  const std::string& Path() const { return path_; }
  int Master() const { return master_; }
  int Slave() const { return slave_; }

  // Writes all the bytes to the line.
  void Send(std::string_view bytes);
  // Reads until the bytes received so far contain text, or the time is up.
  bool Expect(std::string_view text, int timeoutMs);
  // Reads until n bytes have come (in total, since the last Take), or the time is up.
  bool ReceiveTotal(std::size_t n, int timeoutMs);
  // Reads until nothing has come for quietMs.
  void Drain(int quietMs);
  // Everything received so far; Take also forgets it.
  std::string Received();
  std::string Take();
  // Closes the master side (and the peer's slave descriptor): the line hangs up.
  void HangUp();

  // Plays script on a thread of its own; Join waits for it to end.
  void Play(std::function<void(TPtyPeer&)> script);
  void Join();

 private:
  bool ReadSome(int timeoutMs);
  std::string path_;
  int master_ = -1;
  int slave_ = -1;
  std::mutex lock_;
  std::string received_;
  std::thread player_;
};

// A log pane that a peer thread can watch: the window thread adds lines, the peer
// waits for their number to grow before it sends the next piece, so every piece
// arrives as a read of its own.
class TWatchedLog : public ILogPane {
 public:
  // Time each line takes, as a real pane takes to lay out its text.
  std::chrono::microseconds Delay{0};
  void InsertLine(const std::string& rendered) override;
  bool WaitForLines(std::size_t n, int timeoutMs);
  std::vector<std::string> Lines();

 private:
  std::mutex lock_;
  std::condition_variable grown_;
  std::vector<std::string> lines_;
};

