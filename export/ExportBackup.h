#pragma once
// What zarvo-export and the window's export do with whole backups: read one as Load
// does, write the two export files, list a backup as text and compare two backups.
//
// Errors are std::runtime_error with a text that names the file. Everything runs on the
// caller's thread.

#include <QDateTime>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "Dialogs.h"
#include "Entries.h"
#include "Export.h"

// Reads, parses and files a backup as Load does (regular files of at most 16 MiB only),
// but groups, contacts and events keep the phone's identifiers that the backup holds.
// A file with neither the backup header line nor any entry is refused:
// "<name>: not a backup file".
TEntryLists ReadBackupForExport(const QString& fileName);

// Writes content to path through the atomic file: the whole new file or nothing.
// "Cannot create file <name>" on failure.
void WriteExportFile(const QString& path, const std::string& content);

// The two files into folder (created if missing; empty for the current folder). Both targets are checked before either
// is written; one that exists is refused ("<name>: exists (use --force to replace it)")
// unless force. A kind with nothing to export writes no file. Returns the summary lines.
std::vector<std::string> ExportToFolder(const TEntryLists& lists, const QString& folder, bool force,
                                        const QDateTime& stamp);

// What a backup holds, as readable UTF-8 lines: groups with their contacts, the contacts
// without a group, the events with date, time, repetition and reminder, the custom ring
// tones by name.
std::vector<std::string> ListBackup(const TEntryLists& lists);

// Two backups entry by entry, ignoring what a phone assigns. Entries are matched by kind
// and key (the n-th of equal keys with the n-th); Lines holds one line per entry found
// in one file only and one per differing field, then a summary line.
struct TComparison {
  std::vector<std::string> Lines;
  bool Same = true;
};
TComparison CompareBackups(const TEntryLists& first, const std::string& firstName,
                           const TEntryLists& second, const std::string& secondName);

// The window's export: the save dialog with the format's filter and suffix (Cancel does
// nothing), the file written, the summary line given to log. Throws on failure.
enum class TExportKind { Contacts, Calendar };
const TFileDialogSettings& ExportDialogSettings(TExportKind kind);
void ExportWithDialog(TExportKind kind, const TEntryLists& lists, IDialogs& dialogs,
                      const std::function<void(const std::string&)>& log);
