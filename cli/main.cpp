// zarvo-cli: the phone from a shell. identify, backup and restore through the same code
// as the ZARVO window, with the exit status a script can rely on (Commands.h).
#include <QCoreApplication>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Commands.h"

#ifndef ZARVO_VERSION
#define ZARVO_VERSION "0"
#endif

namespace {

constexpr const char* kUsage =
    "Usage: zarvo-cli [OPTIONS] COMMAND [FILE.zrv]\n"
    "\n"
    "Backs up a Siemens S40 phone from a shell, stores a backup on a phone that holds no\n"
    "entries, or tells which phone is attached, through the same code as the ZARVO window.\n"
    "\n"
    "Examples:\n"
    "  zarvo-cli identify\n"
    "  zarvo-cli backup\n"
    "  zarvo-cli --port /dev/ttyUSB0 restore --verify s40-2026-12-08-074900.zrv\n"
    "\n"
    "Commands:\n"
    "  identify           check for a Siemens S40 and print its port, device and totals\n"
    "  backup [FILE.zrv]  read the phone into a backup (s40-YYYY-MM-DD-HHMMSS.zrv here)\n"
    "  restore FILE.zrv   store a backup on a phone that holds no entries\n"
    "\n"
    "Options, before or after the command:\n"
    "  --port P          the phone's port: COM4, 4 or a device path (default COM4, or the\n"
    "                    one USB serial cable plugged in when COM4 leads nowhere)\n"
    "  -q, --quiet       no progress and no notes: errors and warnings only\n"
    "  --progress=WHEN   auto (in place on a terminal, a line per kind elsewhere), lines,\n"
    "                    or json: one object per line with operation, kind, done, total\n"
    "  --log FILE        every line of the window's log pane (all bytes exchanged) to FILE\n"
    "  -h, --help        this help; COMMAND --help for a command's own\n"
    "  --version         the version\n"
    "\n"
    "Exit status: 0 done, 1 restore --verify found differences, 2 trouble (usage, port,\n"
    "phone error, file, nothing to save), 3 a backup written with the read's warnings,\n"
    "130 after SIGINT, 143 after SIGTERM. More in zarvo-cli(1).\n";

constexpr const char* kIdentifyUsage =
    "Usage: zarvo-cli identify [--port P]\n"
    "\n"
    "Opens the port and checks for a Siemens S40 (\"AT+CGSN\") as Read does, switches the\n"
    "phone's data mode on, and prints the port, the device it led to, \"Siemens S40\" and\n"
    "the totals of contacts, groups and events. Then the data mode goes off and the port\n"
    "closes, as when the window closes.\n"
    "\n"
    "Example:\n"
    "  zarvo-cli --port /dev/ttyUSB0 identify\n";

constexpr const char* kBackupUsage =
    "Usage: zarvo-cli backup [--force] [FILE.zrv]\n"
    "\n"
    "Reads the phone as Read does and writes the backup as Save does, byte for byte, to\n"
    "FILE or to s40-YYYY-MM-DD-HHMMSS.zrv in the current folder; prints the file's name.\n"
    "The file is written whole at the end or not at all: a read that fails or is stopped\n"
    "leaves no file, and an existing file as it was.\n"
    "\n"
    "  --force   replace FILE if it exists (looked at before the read and at the end)\n"
    "\n"
    "Exit status 3: the backup was written, but the read gave warnings (shown).\n"
    "\n"
    "Examples:\n"
    "  zarvo-cli backup\n"
    "  zarvo-cli --quiet backup --force /srv/phones/s40.zrv\n";

constexpr const char* kRestoreUsage =
    "Usage: zarvo-cli restore [--verify] FILE.zrv\n"
    "\n"
    "Reads the phone first: as in the window, a backup goes only onto a phone that holds\n"
    "no group, contact, event or custom ring tone. Then loads FILE as Load does and stores\n"
    "every entry. A restore that stops says how many entries of which kind are on the\n"
    "phone now.\n"
    "\n"
    "  --verify  fetch every stored entry back and compare it field by field with what\n"
    "            was sent; each difference is printed, exit status 1 if there are any\n"
    "\n"
    "Example:\n"
    "  zarvo-cli restore --verify s40-2026-12-08-074900.zrv\n";

struct TArguments {
  TCliOptions Options;
  std::vector<std::string> Files;
  bool Help = false;
  bool Version = false;
};

const char* CommandUsage(const std::string& command) {
  if (command == "identify") return kIdentifyUsage;
  if (command == "backup") return kBackupUsage;
  if (command == "restore") return kRestoreUsage;
  return kUsage;
}

int UsageError(const std::string& command, const std::string& text) {
  std::fprintf(stderr, "zarvo-cli: %s\n\n%s", text.c_str(), CommandUsage(command));
  return ExitTrouble;
}

// Options anywhere, "--" ends them; the first other word is the command. An error text,
// or nothing.
std::optional<std::string> Parse(int argc, char** argv, TArguments& a) {
  TCliOptions& o = a.Options;
  TCommandLine line(argc, argv);
  while (line.Next()) {
    if (!line.IsOption()) {
      if (o.Command.empty())
        o.Command = line.Word();
      else
        a.Files.push_back(line.Word());
      continue;
    }
    const std::string& arg = line.Word();
    std::optional<std::string> error;
    if (arg == "--port") {
      error = line.Value(o.Port);
      if (!error && !PortFromArgument(*o.Port)) error = "--port takes COMn, n or a device path, not \"" + *o.Port + "\"";
    } else if (arg == "--progress") {
      std::optional<std::string> when;
      error = line.Value(when);
      if (!error) {
        if (*when == "auto")
          o.Progress = TProgressStyle::Auto;
        else if (*when == "lines")
          o.Progress = TProgressStyle::Lines;
        else if (*when == "json")
          o.Progress = TProgressStyle::Json;
        else
          error = "--progress takes auto, lines or json, not \"" + *when + "\"";
      }
    } else if (arg == "--log") {
      error = line.Value(o.Log);
    } else if (arg == "--force") {
      error = line.Flag(o.Force);
    } else if (arg == "--verify") {
      error = line.Flag(o.Verify);
    } else if (arg == "-q" || arg == "--quiet") {
      error = line.Flag(o.Quiet);
    } else if (arg == "-h" || arg == "--help") {
      error = line.Flag(a.Help);
    } else if (arg == "--version") {
      error = line.Flag(a.Version);
    } else {
      error = "unknown option " + arg;
    }
    if (error) return error;
  }
  return std::nullopt;
}

// What the command takes; an error text, or nothing.
std::optional<std::string> Check(TArguments& a) {
  TCliOptions& o = a.Options;
  if (o.Command.empty()) return "no command given";
  if (o.Command != "identify" && o.Command != "backup" && o.Command != "restore")
    return "unknown command \"" + o.Command + "\"";
  const std::size_t files = o.Command == "identify" ? 0 : 1;
  if (a.Files.size() > files) return "too many arguments for " + o.Command;
  if (o.Command == "restore" && a.Files.empty()) return "restore needs the backup file to store";
  if (o.Force && o.Command != "backup") return "--force is for backup only";
  if (o.Verify && o.Command != "restore") return "--verify is for restore only";
  if (!a.Files.empty()) o.File = a.Files.front();
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  TArguments a;
  if (const auto error = Parse(argc, argv, a)) return UsageError(a.Options.Command, *error);
  if (a.Help) {
    std::fputs(CommandUsage(a.Options.Command), stdout);
    return ExitDone;
  }
  if (a.Version) {
    std::printf("zarvo-cli %s\n", ZARVO_VERSION);
    return ExitDone;
  }
  if (const auto error = Check(a)) return UsageError(a.Options.Command, *error);

  // Qt Core only: no display, no platform plugin.
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("zarvo-cli"));
  try {
    return RunCommand(a.Options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zarvo-cli: Error: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "zarvo-cli: Error: unexpected failure\n");
  }
  return ExitTrouble;
}
