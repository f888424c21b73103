#pragma once
// The export tests' one harness: backups (one with every kind of field, generated ones,
// an empty one) saved as a backup file, read back as zarvo-export reads it and exported;
// and what a reader that we did not write must give back for each contact and event.

#include <QDir>
#include <QJsonArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Entries.h"

// A backup with its expectations where the exporter decides something beyond the
// values (the formatted name, the summary, the reminder): UTF-8, in the backup's order;
// empty lists are not checked.
struct TExportCase {
  std::string Name;
  TEntryLists Lists;
  std::vector<std::string> FormattedNames;  // by contact
  std::vector<std::string> Summaries;       // by exported event; "" for none
  std::vector<std::optional<long>> Triggers;  // by exported event, seconds after the start
  std::vector<std::string> Lines;           // the two summary lines, without the folder
};

// What a calendar reader must give back for an event with a valid start.
struct TExpectedEvent {
  std::string Start;        // YYYYMMDDTHHMMSS
  std::string End;          // "" for none
  std::string Description;  // UTF-8, line breaks as "\n"
  int RepeatKind = rkNone;
  std::string Until;        // YYYYMMDD, "" for none
  std::optional<long> Trigger;
};
std::vector<TExpectedEvent> ExpectedEvents(const TEntryLists& lists);

// The every-field backup, the empty one, one whose events all lack a start, and
// generated ones (the writers' record generator).
std::vector<TExportCase> ExportCases();

struct TExported {
  std::string Contacts;  // contacts.vcf, empty when not written
  std::string Calendar;  // calendar.ics, empty when not written
  std::vector<std::string> Summaries;
};

// Saves lists as a backup file in folder, reads it back as zarvo-export does and exports
// it into folder.
TExported ExportThroughBackup(const TEntryLists& lists, const QString& folder);

// What a vCard reader must give back: per contact an object with "n" (5 texts), "fn"
// (text or null), "tel" ([types, value] pairs), "email", "adr" (7 texts or null), "bday",
// "note", "categories" (text or null), all UTF-8 with line breaks as "\n".
QJsonArray ExpectedCards(const TExportCase& c);

// ISO-8859-1 text as an importer shows it: UTF-8, line breaks as "\n", control
// characters but tab dropped.
std::string ReadableUtf8(const std::string& latin1);
