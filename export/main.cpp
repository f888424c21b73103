// zarvo-export: takes a backup file to programs that read vCard 3.0 and iCalendar 2.0,
// lists what a backup holds, or compares two backups. Exit status as diff has it:
// 0 done or the same, 1 the backups differ, 2 trouble.
#include <QDateTime>
#include <QFile>
#include <QString>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "CommandLine.h"
#include "ExportBackup.h"

#ifndef ZARVO_VERSION
#define ZARVO_VERSION "0"
#endif

namespace {

constexpr int kDone = 0;
constexpr int kDiffer = 1;
constexpr int kTrouble = 2;

constexpr const char* kUsage =
    "Usage: zarvo-export [-o DIR] [--force] BACKUP.zrv\n"
    "       zarvo-export --list BACKUP.zrv\n"
    "       zarvo-export --compare OTHER.zrv BACKUP.zrv\n"
    "\n"
    "Writes the contacts of a ZARVO backup to contacts.vcf (vCard 3.0) and its calendar\n"
    "to calendar.ics (iCalendar 2.0), lists what the backup holds, or compares it with\n"
    "another backup entry by entry.\n"
    "\n"
    "  -o, --output DIR       write the files into DIR (created if missing) instead of\n"
    "                         the current folder\n"
    "      --force            replace files that exist\n"
    "      --list             print what the backup holds; writes nothing\n"
    "      --compare OTHER.zrv\n"
    "                         compare the backup with OTHER.zrv; writes nothing\n"
    "  -h, --help             print this help and exit\n"
    "      --version          print the version and exit\n"
    "\n"
    "Exit status: 0 done (or the backups hold the same), 1 the backups differ,\n"
    "2 trouble (wrong usage, a file that cannot be read or written, not a backup).\n";

struct TOptions {
  std::optional<std::string> Output;
  bool Force = false;
  bool List = false;
  std::optional<std::string> Compare;
  bool Help = false;
  bool Version = false;
  std::vector<std::string> Files;
};

int UsageError(const std::string& text) {
  std::fprintf(stderr, "zarvo-export: %s\n\n%s", text.c_str(), kUsage);
  return kTrouble;
}

void PrintLines(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
}

// Options before or after the file; "--" ends them. An error text, or nothing.
std::optional<std::string> ParseArguments(int argc, char** argv, TOptions& options) {
  TCommandLine line(argc, argv, "-o");
  while (line.Next()) {
    if (!line.IsOption()) {
      options.Files.push_back(line.Word());
      continue;
    }
    const std::string& arg = line.Word();
    std::optional<std::string> error;
    if (arg == "-o" || arg == "--output")
      error = line.Value(options.Output);
    else if (arg == "--force")
      error = line.Flag(options.Force);
    else if (arg == "--list")
      error = line.Flag(options.List);
    else if (arg == "--compare")
      error = line.Value(options.Compare);
    else if (arg == "-h" || arg == "--help")
      error = line.Flag(options.Help);
    else if (arg == "--version")
      error = line.Flag(options.Version);
    else
      error = "unknown option " + arg;
    if (error) return error;
  }
  return std::nullopt;
}

int Run(const TOptions& options) {
  const QString backup = QFile::decodeName(options.Files.front().c_str());
  const TEntryLists lists = ReadBackupForExport(backup);
  if (options.List) {
    PrintLines(ListBackup(lists));
    return kDone;
  }
  if (options.Compare) {
    const TEntryLists other = ReadBackupForExport(QFile::decodeName(options.Compare->c_str()));
    const TComparison comparison = CompareBackups(lists, options.Files.front(), other, *options.Compare);
    PrintLines(comparison.Lines);
    return comparison.Same ? kDone : kDiffer;
  }
  const QString folder = options.Output ? QFile::decodeName(options.Output->c_str()) : QString();
  PrintLines(ExportToFolder(lists, folder, options.Force, QDateTime::currentDateTimeUtc()));
  return kDone;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions options;
  if (const auto error = ParseArguments(argc, argv, options)) return UsageError(*error);
  if (options.Help) {
    std::fputs(kUsage, stdout);
    return kDone;
  }
  if (options.Version) {
    std::printf("zarvo-export %s\n", ZARVO_VERSION);
    return kDone;
  }
  if (options.Files.empty()) return UsageError("no backup file given");
  if (options.Files.size() > 1) return UsageError("more than one backup file given");
  if (options.List && options.Compare) return UsageError("--list and --compare cannot go together");
  if ((options.List || options.Compare) && (options.Output || options.Force))
    return UsageError(std::string(options.List ? "--list" : "--compare") + " writes nothing: -o and --force do not apply");
  try {
    const int status = Run(options);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) throw std::runtime_error("Cannot write to standard output");
    return status;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zarvo-export: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "zarvo-export: unexpected error\n");
  }
  return kTrouble;
}
