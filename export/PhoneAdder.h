#pragma once
// Adding files to the phone: "zarvo-cli add" and the tree's "Add to phone from file...",
// one function for both hosts.
//
// The files are imported first (Import.h), phone-free; then the phone is read again, as
// Read reads it (the phone may have changed since any earlier read), so that the plan
// (ImportMatch.h) skips what it holds already; then the planned entries are stored with
// the restore's own store loop (PhoneRestorer.h), groups first, behind the progress
// window ("Writing..."). A store the phone refuses is reported and the next entry goes
// out; a refused group's contacts go without a group. A time-out, a lost line or a stop
// ends the stores; what was stored stays stored.
//
// The host's lists are the phone's afterwards: every entry the phone took is appended
// to them as a read would give it, and the tree is made anew from them, so that the tree
// shows the new entries and a Save writes them all.
//
// Window thread, inside a handler; the read and the stores run their own end steps, and
// an exception (a port that cannot be opened, an answer without the new identifier) is
// shown by the standard exception report after them. Nothing leaves but std::bad_alloc.

#include <QStringList>
#include <string>
#include <vector>

#include "Dialogs.h"
#include "Import.h"
#include "ImportMatch.h"
#include "RestoreCheck.h"

class IMainWindowHost;

struct TAddOptions {
  TMatchOptions Match;
  bool DryRun = false;   // read and plan, store nothing
  bool Verify = false;   // fetch every stored entry back and compare it (RestoreCheck.h)
  bool Verbose = false;  // the report names each duplicate skipped
  TImportSettings Import;
};

// How far an add came.
enum class TAddEnd {
  NothingToAdd,  // the files hold no entry to take: the phone was not read
  NotRead,       // the read failed or was stopped: nothing was stored
  Planned,       // a dry run: read and planned, nothing stored
  Stored,        // every planned entry was tried
  Stopped,       // the stores ended early: a time-out, a lost line, a stop, an error
};

struct TAddResult {
  TAddEnd End = TAddEnd::NothingToAdd;
  // The plan; after the stores its counts are what the phone took (Refused: how many
  // it refused), and each refused entry carries a finding that says so.
  TImportPlan Plan;
  // UTF-8: one line per file finding and per entry not stored whole (ImportReport); the
  // summary ("added 180 contacts, 2 groups; 20 already on the phone") goes after them.
  std::vector<std::string> Report;
  std::string Summary;
  bool Verified = false;  // the check ran to its end
  std::vector<TStoredDifference> Differences;
};

TAddResult AddToPhone(IMainWindowHost& host, const QStringList& files, const TAddOptions& options);

// The window's one box after an add (UTF-8): the summary, what could not be taken and
// what the phone refused, and, when the add stopped or the read failed, what that means
// for the phone.
struct TAddBox {
  TMsgKind Kind = TMsgKind::Information;
  std::string Text;
};
TAddBox AddResultBox(const TAddResult& result);

// What the window's open dialog offers: "Contacts and calendars (*.vcf *.ics *.vcs *.zrv)"
// and all files, several at once.
const TFileDialogSettings& AddDialogSettings();
