#pragma once
// zarvo-cli's commands, run over the console host (ConsoleHost.h) with the window's own
// read, Save, Load and restore:
//   identify         the read's detection and data mode, then the totals printed;
//   backup [FILE]    the read, then the backup's lines written as Save writes them;
//   restore FILE     the read (the phone must hold no entries), then Load and the
//                    restore, optionally checked against the phone (RestoreCheck.h);
//   add FILE...      the window's add to the phone (PhoneAdder.h): the files' entries
//                    that the phone does not hold, stored, optionally checked.
// What the user asked for goes to standard output; messages and progress to standard
// error. Once the port is open every command ends as the window's close does (data mode
// off, port closed), unless a second signal closed the port at once.
// Main thread; a QCoreApplication must exist.

#include <optional>
#include <string>
#include <vector>

#include "ConsoleHost.h"

// The exit status, as the manual page gives it.
inline constexpr int ExitDone = 0;
inline constexpr int ExitDiffer = 1;    // --verify found differences; add: entries not stored
inline constexpr int ExitTrouble = 2;   // usage, port, phone, file, nothing to save
inline constexpr int ExitWarnings = 3;  // a backup written, but the read warned
inline constexpr int ExitSignalBase = 128;  // + the signal's number: 130 SIGINT, 143 SIGTERM

struct TCliOptions {
  std::string Command;  // "identify", "backup", "restore" or "add"
  std::optional<std::string> File;
  std::vector<std::string> Files;  // add's
  bool DryRun = false;
  bool Duplicates = false;
  std::optional<std::string> Country;
  bool Verbose = false;
  std::optional<std::string> Port;
  bool Force = false;
  bool Verify = false;
  bool Quiet = false;  // errors and warnings only
  std::optional<TProgressStyle> Progress;
  std::optional<std::string> Log;
};

// "COM4" (any case), "4" or a device path (anything with a "/"); nothing otherwise.
std::optional<TPortChoice> PortFromArgument(const std::string& text);

// The command, from the port's choice to its end; the exit status.
int RunCommand(const TCliOptions& options);
