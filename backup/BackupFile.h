#pragma once
// The backup file (".zrv"): Save and Load up to the restore.
//
// A backup is plain 8-bit text: three comment lines, then the groups, the contacts,
// one vCalendar around all events (only when there are events) and the custom ring
// tones from slot 42 on, each as the writers produce it; CR LF after every line, the
// bytes as the records hold them. Save writes a temporary file in the target's folder,
// flushes it to disk and renames it over the target, so that a failure or a crash in the
// middle leaves the old backup as it was. Load reads the whole file (CR LF, CR or LF end
// a line, a NUL ends the text), parses it in one go and files the records into the kind
// lists; the restore then takes over.
//
// Everything runs on the window thread. The file functions throw std::runtime_error
// with the text to show; SaveBackup and LoadBackup are button handler bodies: they catch
// what is raised, run their end steps, and only then show the text through the
// application's standard exception report. They throw nothing.

#include <QString>
#include <cstddef>
#include <functional>

#include "Dialogs.h"
#include "Entries.h"
#include "MainWindowHost.h"

// The first and third header line; the second is "// " + MakersNotice.
inline constexpr const char* BackupHeaderFirst = "// ZARVO";
inline constexpr const char* BackupHeaderLast = "// This is a generated backup file. Do not edit!";

// No phone holds anything near this: a larger file is refused before it is read.
inline constexpr std::size_t MaxBackupFileSize = 16u * 1024 * 1024;

// The two dialogs, alike but for the title.
struct TBackupDialogs {
  TFileDialogSettings Open;  // "Load backup"
  TFileDialogSettings Save;  // "Save backup"
};
const TBackupDialogs& BackupDialogSettings();

// The backup's lines: the header, then the writers' lines for every entry (parseLines is
// the writers' list, ParseLines). The factory ring tone slots 0 to 41 are never written.
TLines BuildBackupLines(const TEntryLists& lists, TLines& parseLines);

// Every line followed by CR LF, atomically replacing the file. Throws
// std::runtime_error("Cannot create file <name>") when the file cannot be created or
// written to the end; the old file is then untouched. With TExistingFile::Keep a file of
// that name is never replaced, also one that appears while the new one is written
// ("Cannot create file <name>: a file of that name exists").
enum class TExistingFile { Replace, Keep };
void WriteBackupFile(const QString& fileName, const TLines& lines, TExistingFile existing = TExistingFile::Replace);

// The file's lines. Throws std::runtime_error("Cannot open file <name>"),
// and a clear error for a file above MaxBackupFileSize.
TLines ReadBackupFile(const QString& fileName);
// The same file's bytes, as they are (the importer reads other files with it too).
std::string ReadBackupBytes(const QString& fileName);

// Empties the kind lists and files every record of lists.vObjects
// by its Kind: groups, contacts and events with UID -1 (and NewGroupID -1), ring tones
// from slot 42 on with the file's identifiers, slots 0 to 41 empty records.
void FileParsedEntries(TEntryLists& lists);

// What was filed, kind by kind.
struct TLoadCounts {
  int Groups = 0;
  int Contacts = 0;
  int Events = 0;
  int RingTones = 0;  // custom ring tones, slots 42 and up
  bool operator==(const TLoadCounts&) const = default;
};
TLoadCounts CountFiledEntries(const TEntryLists& lists);

// btnSaveClick: the save dialog (Cancel changes nothing), the hourglass, build, write,
// the cursor back; an error is shown after the cursor is restored.
void SaveBackup(IMainWindowHost& host) noexcept;

// The restore, run by LoadBackup after the entries are filed, with the progress window
// shown ("Writing...", bars reset) and StopRequested cleared. It does the rest of its
// preparation, stores the entries and does the completion (enabling Save or Load); it may
// throw. LoadBackup runs the end steps afterwards, whatever happened.
using TRestoreHook = std::function<void(IMainWindowHost& host, const TLoadCounts& counts)>;

// btnLoadClick: the open dialog (Cancel changes nothing), then with the end steps on
// every way out: buttons disabled, the file read and parsed, the progress window shown,
// the entries filed and counted, the restore. The end steps: answer time-out back to
// 5000 ms, progress window closed, the tree's first node selected, Read, Exit, the port
// list and the window enabled and focused. Load and Save are left to the restore's
// completion, so after a failure both stay disabled. Errors are shown after the end steps.
void LoadBackup(IMainWindowHost& host, const TRestoreHook& restore) noexcept;
