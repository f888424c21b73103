// zarvo-cli: the phone from a shell. identify, backup, restore and add through the same
// code as the ZARVO window, with the exit status a script can rely on (Commands.h).
#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <utility>
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
    "Usage: zarvo-cli [OPTIONS] COMMAND [FILE...]\n"
    "\n"
    "Backs up a Siemens S40 phone from a shell, stores a backup on a phone that holds no\n"
    "entries, adds contacts and calendars to it, or tells which phone is attached, through\n"
    "the same code as the ZARVO window.\n"
    "\n"
    "Examples:\n"
    "  zarvo-cli identify\n"
    "  zarvo-cli backup\n"
    "  zarvo-cli --port /dev/ttyUSB0 restore --verify s40-2026-12-08-074900.zrv\n"
    "  zarvo-cli add --dry-run contacts.vcf calendar.ics\n"
    "\n"
    "Commands:\n"
    "  identify           check for a Siemens S40 and print its port, device and totals\n"
    "  backup [FILE.zrv]  read the phone into a backup (s40-YYYY-MM-DD-HHMMSS.zrv here)\n"
    "  restore FILE.zrv   store a backup on a phone that holds no entries\n"
    "  add FILE...        add what the phone does not hold of vCard, iCalendar and backup\n"
    "                     files\n"
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
    "Exit status: 0 done, 1 --verify found differences or add could not store entries,\n"
    "2 trouble (usage, port, phone error, file, nothing to save), 3 a backup written with\n"
    "the read's warnings, 130 after SIGINT, 143 after SIGTERM. More in zarvo-cli(1).\n";

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

constexpr const char* kAddUsage =
    "Usage: zarvo-cli add [--dry-run] [--verify] [--duplicates] [--country CC] [--verbose]\n"
    "                     FILE...\n"
    "\n"
    "Adds to the phone what it does not hold yet of the files: contacts of vCard files\n"
    "(2.1, 3.0, 4.0), events of iCalendar and vCalendar files, and whole backups (.zrv),\n"
    "which also finishes a restore that stopped half way. The phone is read first, as Read\n"
    "does; then each entry that is not there already is stored, groups first. Each entry\n"
    "is fitted to the phone's fields: what has no field goes into the note or is left out,\n"
    "and letters outside ISO-8859-1 become their nearest form. A store the phone refuses\n"
    "is reported and the next entry goes out; a time-out or a lost line stops the add.\n"
    "\n"
    "Prints one line per entry not stored whole (what was changed or left out), then the\n"
    "summary: \"added 180 contacts, 2 groups, 12 events; 20 already on the phone\".\n"
    "\n"
    "  --dry-run     read the phone and print the same report, but store nothing\n"
    "  --verify      fetch every stored entry back and compare it with what was sent\n"
    "  --duplicates  store contacts, events and ring tones the phone holds already\n"
    "  --country CC  the phone's country calling code (49 or +49): +49 30 1234 then\n"
    "                matches 030 1234 on the phone\n"
    "  --verbose     also one line per entry skipped as a duplicate\n"
    "\n"
    "Exit status 1: --verify found differences, the phone refused entries, or an entry or\n"
    "file could not be taken.\n"
    "\n"
    "Examples:\n"
    "  zarvo-cli add --dry-run --verbose contacts.vcf\n"
    "  zarvo-cli add --country 49 contacts.vcf calendar.ics\n"
    "  zarvo-cli add s40-2026-12-08-074900.zrv\n";

struct TArguments {
  TCliOptions Options;
  std::vector<std::string> Files;
  bool Help = false;
  bool Version = false;
};

// "49", "+49": one to three digits.
bool IsCountryCode(const std::string& text) {
  const std::string digits = !text.empty() && text.front() == '+' ? text.substr(1) : text;
  return !digits.empty() && digits.size() <= 3 &&
         std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

const char* CommandUsage(const std::string& command) {
  if (command == "identify") return kIdentifyUsage;
  if (command == "backup") return kBackupUsage;
  if (command == "restore") return kRestoreUsage;
  if (command == "add") return kAddUsage;
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
  // The options that take no value, each with what it sets.
  const std::pair<const char*, bool*> flags[] = {
      {"--force", &o.Force},     {"--verify", &o.Verify}, {"--dry-run", &o.DryRun}, {"--duplicates", &o.Duplicates},
      {"--verbose", &o.Verbose}, {"-q", &o.Quiet},        {"--quiet", &o.Quiet},    {"-h", &a.Help},
      {"--help", &a.Help},       {"--version", &a.Version}};
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
    const auto flag = std::find_if(std::begin(flags), std::end(flags), [&](const auto& f) { return arg == f.first; });
    if (flag != std::end(flags)) {
      error = line.Flag(*flag->second);
    } else if (arg == "--port") {
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
    } else if (arg == "--country") {
      error = line.Value(o.Country);
      if (!error && !IsCountryCode(*o.Country))
        error = "--country takes a country calling code such as 49 or +49, not \"" + *o.Country + "\"";
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
  if (o.Command != "identify" && o.Command != "backup" && o.Command != "restore" && o.Command != "add")
    return "unknown command \"" + o.Command + "\"";
  const bool add = o.Command == "add";
  const std::size_t files = o.Command == "identify" ? 0 : 1;
  if (!add && a.Files.size() > files) return "too many arguments for " + o.Command;
  if (o.Command == "restore" && a.Files.empty()) return "restore needs the backup file to store";
  if (add && a.Files.empty()) return "add needs the files to add";
  if (o.Force && o.Command != "backup") return "--force is for backup only";
  if (o.Verify && o.Command != "restore" && !add) return "--verify is for restore and add only";
  if (!add && (o.DryRun || o.Duplicates || o.Verbose || o.Country))
    return "--dry-run, --duplicates, --country and --verbose are for add only";
  if (o.DryRun && o.Verify) return "--dry-run stores nothing to verify";
  if (add) o.Files = a.Files;
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
