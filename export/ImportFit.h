#pragma once
// The fit of foreign entries onto the phone's fields, with a finding for everything that
// was changed or left out. Used by the importer (Import.h); each property of a card or
// an event is looked up in one table of fits and handled by one loop.
//
// A contact (vCard 2.1, 3.0, 4.0) takes:
//  - Name: N, its parts joined by ";" with empty trailing parts dropped and escapes
//    undone (as the export splits the phone's name); FN, then ORG, when N is empty. A
//    card that this program's export wrote keeps an empty N empty.
//  - One number per slot: TEL types HOME, WORK, CELL/MOBILE/IPHONE, FAX, MODEM/DATA
//    (FAX, then data, then cell, home, work when a number has several); PREF numbers
//    first. A voice number without such a type, or whose slot is taken, goes to the
//    first free of cell, home and work; a second fax or data number, and any number
//    left over, goes to the note with its label (item1.X-ABLabel, else its types).
//  - The first e-mail and the first address (PREF first; post office box and extended
//    address as further street lines); the birthday (not a date without a year); NOTE.
//  - The group: the first CATEGORIES value (Google's system label "myContacts" aside).
//  - Appended to the note as labelled lines: further numbers, e-mails and addresses,
//    ORG, TITLE, ROLE, NICKNAME, URL, IMPP, ANNIVERSARY; LABEL when there is no ADR.
//  - Left out and counted: everything else (PHOTO, KEY, GEO, X- properties, ...).
// A card of KIND:group (or Apple's X-ADDRESSBOOKSERVER-KIND:group) is a group by its FN.
//
// The phone keeps ISO-8859-1 (Latin1Fold.h) with CR LF line breaks; a one-line field
// gets its line breaks as blanks, and a ";" in an address part before the country
// becomes ",". Its numbers carry the numbering plan the phone writes
// for its own entries: 145 for a number that begins with "+", else 129.

#include <QString>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "ContentLines.h"
#include "Import.h"
#include "Latin1Fold.h"

// The phone's field limits. They are not known, but for the ring tone's name, which its
// record has room for 21 characters for; 0 means not known and not cut (a store checked
// with --verify shows what the phone cut).
struct TFieldLimit {
  std::string_view Field;
  std::size_t Characters;
};
inline constexpr TFieldLimit kFieldLimits[] = {
    {"Name", 0},   {"Number", 0},  {"E-mail", 0},  {"Street", 0},      {"City", 0},       {"Region", 0},
    {"Postal code", 0}, {"Country", 0}, {"Note", 0}, {"Description", 0}, {"Group name", 0}, {"Ring tone name", 21},
};

inline constexpr std::int32_t kNpiInternational = 145;
inline constexpr std::int32_t kNpiNational = 129;

// One line; lines; lines without ";", which ends an address part in the phone's text.
enum class TTextShape { OneLine, Lines, AddressPart };

// The findings of one file; kMaxFileFindings of them are kept, the rest counted in one.
class TFileNotes {
 public:
  TFileNotes(TImportSet& set, std::string file)
      : set_(set), file_(std::move(file)), first_(set.FileFindings.size()) {}
  void Add(TFindingKind kind, std::size_t line, std::string text, std::string entry = {});
  // Puts the file's findings in line order and adds the count of those not kept.
  void Finish();
  const std::string& File() const { return file_; }
  TImportSet& Set() { return set_; }

 private:
  TImportSet& set_;
  std::string file_;
  std::size_t first_;  // the file's first finding in set_.FileFindings
  std::size_t added_ = 0, dropped_ = 0;
};

// The findings of one entry.
class TEntryNotes {
 public:
  explicit TEntryNotes(std::string file) : file_(std::move(file)) {}
  void Add(TFindingKind kind, std::size_t line, std::string text);
  // A property the phone has no field for: all of an entry's go into one finding.
  void LeftOut(const TContentLine& line, std::string_view what = {});
  // Text for the phone's field (a name of kFieldLimits): folded to ISO-8859-1, line
  // breaks as CR LF (or blanks for one line), cut to the field's limit.
  std::string Text(const QString& text, std::string_view field, TTextShape shape, std::size_t line);
  // Text that is ISO-8859-1 already (from a backup): only the limit is applied.
  std::string Latin1Text(std::string text, std::string_view field, std::size_t line);
  std::vector<TImportFinding> Finish(const std::string& label);
  const std::string& File() const { return file_; }

 private:
  std::string file_;
  std::vector<TImportFinding> findings_;
  std::string leftOut_;
  std::size_t leftOutLine_ = 0;
  int leftOutCount_ = 0;
  TFoldReport fold_;
  std::string foldedFields_;
  std::size_t foldedLine_ = 0;
};

// The records of a new contact and group as a load gives them: no identifiers, no group,
// no numbering plans.
TContact NewContact();
TGroup NewGroup(std::string name);

// A value as text of the phone's kind of field, its decoding problems noted.
QString ValueText(const TContentLine& line, TEntryNotes& notes);

// A card: a contact or a group into set.
void FitCard(const TComponent& card, TFileNotes& file);

// A calendar's events into set; to-dos and journal entries are counted.
void FitCalendar(const TComponent& calendar, TFileNotes& file, const QTimeZone& local);
