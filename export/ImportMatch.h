#pragma once
// Which imported entries the phone holds already, and what is left to store: the second
// half of the phone-free part of "add to phone".
//
// Duplicates are decided on the fitted records (ISO-8859-1), ignoring letter case and
// blanks:
//  - a contact: the same name and the same set of numbers, in whatever slots; numbers
//    compared without blanks, dashes, dots and brackets, and "+CC" equal to a national
//    "0" (and "00CC" to "+CC") only with a country code; a name on the phone that is a
//    prefix of the file's name matches too, as the phone may have cut it;
//  - an event: the same start, description and repetition (kind and last day);
//  - a group: the same name;
//  - a custom ring tone: the same name and data.
// Entries are compared with the phone's and with those of the files taken before them.
// KeepDuplicates stores contacts, events and ring tones anyway; a group of the same name
// is always the same group, so contacts join the phone's group of their group's name.
//
// The plan is in the restore's form, so that the restore's store loop runs it: groups
// first, then contacts, events, and ring tones from slot 42 on. A contact of a group on
// the phone carries that group's identifier as GroupID and NewGroupID, so it goes out
// with it; a contact of a new group carries a GroupID that no group of the phone uses,
// the one its new group carries, which the restore's re-linking turns into the new
// group's identifier. A group is made for a group name the phone has none of, when a
// contact to be stored is in it (groups of a backup are made in any case).
//
// Pure functions; they throw nothing but std::bad_alloc.

#include <string>
#include <string_view>
#include <vector>

#include "Entries.h"
#include "Import.h"

struct TMatchOptions {
  bool KeepDuplicates = false;
  std::string Country;  // the country calling code, "49" or "+49"; empty for none
};

// The comparison forms, exposed for the report and the tests.
std::string TextKey(std::string_view latin1);                          // lower case, no blanks
std::string NumberKey(std::string_view number, const TMatchOptions& options);  // digits and "+"

// An entry to store, with its origin and findings; Index points into its kind's list of
// TImportPlan::Store (ring tones: the slot, 42 and up).
struct TPlannedEntry {
  TImportKind Kind = TImportKind::Contact;
  std::size_t Index = 0;
  std::string Label;
  TEntryOrigin Origin;
  std::vector<TImportFinding> Findings;
};

// An entry not stored because it is there already.
struct TSkippedDuplicate {
  TImportKind Kind = TImportKind::Contact;
  std::string Label;
  TEntryOrigin Origin;
  bool OnPhone = true;  // else a duplicate of an entry earlier in the files
  std::string Match;    // "contact Doe;John" on the phone, or "contacts.vcf:12"
};

struct TImportCounts {
  int Groups = 0, Contacts = 0, Events = 0, RingTones = 0;  // to be stored
  int OnPhone = 0;         // duplicates of the phone's entries, skipped
  int InFiles = 0;         // duplicates within the files, skipped
  int FieldsLeftOut = 0;   // fields left out of entries that are stored
  int NotTaken = 0;        // entries and files that could not be taken
  int TodosLeftOut = 0;    // to-dos and journal entries, which the phone does not keep
  int Refused = 0;         // for the caller: stores the phone refused
  bool operator==(const TImportCounts&) const = default;
};

struct TImportPlan {
  TEntryLists Store;  // RingTones: 42 empty slots, then the ones to store
  std::vector<TPlannedEntry> Entries;         // in store order
  std::vector<TSkippedDuplicate> Duplicates;  // in the files' order
  std::vector<TImportFinding> FileFindings;
  TImportCounts Counts;
};

// phone: the lists as a read leaves them (groups with their GroupID, contacts with the
// GroupID of their group, ring tones from slot 42 on).
TImportPlan PlanImport(const TEntryLists& phone, const TImportSet& imported, const TMatchOptions& options);

// "added 180 contacts, 2 groups, 12 events; 20 already on the phone; 7 fields left out"
// ("would add" for a dry run); the parts that are 0 are not named.
std::string ImportSummary(const TImportCounts& counts, bool dryRun = false);

// The report before the summary: one line per file finding and per planned entry that is
// not stored whole (its findings joined by "; "), then with verbose one per duplicate.
std::vector<std::string> ImportReport(const TImportPlan& plan, bool verbose);
