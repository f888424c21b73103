#pragma once
// A phone on a pseudo-terminal that answers from a script: each command line it
// receives (up to its CR) is looked up and the scripted bytes go back; everything
// received is recorded, byte for byte, and so is the moment the program's side of the
// line closes (the hang-up). Its own thread serves the line while the window thread of
// the test waits in the exchange.

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TScriptedPhone {
 public:
  // answers: command without its CR LF -> the bytes sent back.
  explicit TScriptedPhone(std::map<std::string, std::string> answers);
  ~TScriptedPhone();
  TScriptedPhone(const TScriptedPhone&) = delete;
  TScriptedPhone& operator=(const TScriptedPhone&) = delete;

  // The path of the line the program opens.
  const std::string& SlavePath() const { return slavePath_; }
  // Lets go of the phone's own hold on the program's side, once the program has opened
  // it, so that the program's close shows as a hang-up.
  void ReleaseSlave();

  // What happened, in order: every command received (with its CR LF) and "hang-up".
  std::vector<std::string> Events() const;
  // Every byte received.
  std::string Received() const;

 private:
  void Serve();
  void Record(const std::string& event);

  std::map<std::string, std::string> answers_;
  int master_ = -1;
  int slave_ = -1;
  int wake_[2] = {-1, -1};
  std::string slavePath_;
  std::atomic<bool> released_{false};
  mutable std::mutex lock_;
  std::vector<std::string> events_;
  std::string received_;
  std::thread thread_;
};
