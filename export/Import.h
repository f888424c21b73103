#pragma once
// Import of today's contact and calendar files, and of backups, into the phone's records:
// the first half of "add to phone". Nothing here talks to the phone.
//
// A file is recognised by its content, not its name: a backup by its first line, then
// vCards (2.1, 3.0 and 4.0, many per file) and calendars (iCalendar 2.0, vCalendar 1.0)
// by their BEGIN lines, wherever in the file they stand. A UTF-8 or UTF-16 byte order
// mark is honoured. Properties are unfolded (a line that begins with a blank or a tab
// continues the one before, the blank removed), quoted-printable values are joined at
// their soft breaks and decoded in their CHARSET (UTF-8 when none is given and the bytes
// are valid UTF-8, else Windows-1252), and text escapes are undone.
//
// Every entry is fitted to the phone's fields (ImportFit.h says how) and carries the
// findings of what was changed or left out; a line that cannot be read, a missing END,
// a file that is none of these formats are findings of their own that name the file and
// the line, and everything intact around them is still taken. A backup is read as Load
// reads it (ParseVObjects, FileParsedEntries); its texts are ISO-8859-1 already.
//
// Limits, so that no input can make the import hold or take too much: a file of at most
// MaxBackupFileSize (16 MiB, as a backup), at most kMaxImportEntries entries over all
// files, at most kMaxEntryLines property lines per entry, at most kMaxFileFindings
// findings listed per file (the rest are counted in one more).
//
// Event times are turned into the local time of settings.LocalZone, as the phone keeps
// local times. Pure functions on the caller's thread; they throw nothing but
// std::bad_alloc (a file that cannot be read is a finding).

#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "Entries.h"

inline constexpr std::size_t kMaxImportEntries = 20000;
inline constexpr std::size_t kMaxEntryLines = 5000;
inline constexpr std::size_t kMaxFileFindings = 1000;

enum class TImportKind { Group, Contact, Event, RingTone };

enum class TFindingKind {
  Changed,   // a field was changed to fit: letters folded, moved into the note, cut
  LeftOut,   // a field or part of one was left out (counted as "fields left out")
  NotTaken,  // an entry or a whole file could not be taken
  Broken,    // a line or a component of a file is damaged; the rest was read
};

// Where something stands: the file as it was named, and its 1-based line (0: the file).
struct TEntryOrigin {
  std::string File;  // UTF-8
  std::size_t Line = 0;
  bool operator==(const TEntryOrigin&) const = default;
};

struct TImportFinding {
  TFindingKind Kind = TFindingKind::Changed;
  TEntryOrigin Where;
  std::string Entry;  // "contact Doe;John", "event 2026-03-10 09:30 Dentist"; empty for the file
  std::string Text;   // UTF-8, what happened: "TITLE added to the note"
  int Count = 1;      // fields it stands for ("left out: PHOTO, X-ABUID" stands for 2)
};

TImportFinding MakeFinding(TFindingKind kind, TEntryOrigin where, std::string entry, std::string text);

// "contacts.vcf:12: contact Doe;John: TITLE added to the note" (the entry part only when
// there is one, the line only when it is known).
std::string FindingLine(const TImportFinding& finding);

// One imported entry: the record as the phone would store it, with UID -1 (ring tones:
// their backup's identifier) and, for groups and contacts, NewGroupID -1.
template <class Record>
struct TImported {
  Record Entry;
  TEntryOrigin Origin;
  std::string Label;  // "contact Doe;John" and the like, UTF-8
  std::vector<TImportFinding> Findings;
  std::string GroupName;  // contacts: the name of their group (ISO-8859-1), empty for none
};

struct TImportSet {
  std::vector<TImported<TGroup>> Groups;
  std::vector<TImported<TContact>> Contacts;
  std::vector<TImported<TEvent>> Events;
  std::vector<TImported<TRingTone>> RingTones;
  std::vector<TImportFinding> FileFindings;  // not about one entry: damaged lines, unknown files
  std::size_t LeftOutTodos = 0;              // VTODO and VJOURNAL components, counted only
  std::size_t LeftOutJournals = 0;
  std::size_t Entries() const { return Groups.size() + Contacts.size() + Events.size() + RingTones.size(); }
};

struct TImportSettings {
  QTimeZone LocalZone = QTimeZone::systemTimeZone();
};

// Reads each file in turn into one set (regular files only, at most 16 MiB each).
TImportSet ImportFiles(const QStringList& files, const TImportSettings& settings = {});

// The content of one file, named fileName (UTF-8) in the findings, added to set.
void ImportText(TImportSet& set, const std::string& fileName, std::string_view bytes,
                const TImportSettings& settings = {});

// The phone's name of an entry for messages: "contact Doe;John", "group Family",
// "event 2026-03-10 09:30 Dentist", "ring tone Elise" (UTF-8).
std::string EntryLabel(const TGroup& g);
std::string EntryLabel(const TContact& c);
std::string EntryLabel(const TEvent& e);
std::string EntryLabel(const TRingTone& r);
