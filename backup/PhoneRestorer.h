#pragma once
// Restoring a backup to the phone: the second half of the Load button.
//
// On the window thread, after Load has parsed the file: the entries are filed into the
// main window's lists and stored on the phone one at a time with "AT+C#SPUT=", all groups
// first, then contacts, events and custom ring tones. The phone answers every stored
// group, contact and event with its new identifier; groups get their new group
// identifier from it, and every contact of a group is sent with the group's new
// identifier. Each accepted entry gets a node in the tree. Cancel stops after the entry in
// hand; a failed exchange stops at once. The port must be open and the phone in data mode,
// as a read leaves them.
//
// Load has filed the parsed entries and shown the progress window ("Writing...") when
// this starts, and runs the end steps on every way out afterwards; this part sets the
// answer time-out to three minutes and leaves it so for those end steps to put back.
//
// The store loop itself (StoreEntries) also stores entries that are not the window's:
// adding files to a phone runs it over the entries it planned.

#include <cstddef>
#include <functional>
#include <string>

#include "BackupFile.h"

class IMainWindowHost;

// What the store loop tells its caller about each entry: the kind and the index in its
// kind's list (ring tones: the slot, 42 and up).
struct TStoreCallbacks {
  // The phone took the entry; its record holds the new identifier.
  std::function<void(TProgressKind kind, std::size_t index)> Accepted;
  // The phone refused the entry (reason: the text its box would show); the loop goes on
  // with the next one, and refusals show no box meanwhile. Without it, a refusal ends
  // the loop as any failed exchange does.
  std::function<void(TProgressKind kind, std::size_t index, const std::string& reason)> Refused;
};

// The store loop over lists: the first counts.Groups groups, then contacts and events,
// then counts.RingTones custom ring tones from slot 42. It sets the progress bars'
// maxima and the restore's answer time-out, adds the fixed tree nodes if the tree has
// none, and gives each stored entry a node; a stored group's contacts in lists get its
// new group identifier. True when every entry was tried; false after a failed exchange
// or a stop.
bool StoreEntries(IMainWindowHost& host, TEntryLists& lists, const TLoadCounts& counts,
                  const TStoreCallbacks& callbacks = {});

// The restore hook of LoadBackup: the store loop over the host's lists, then completion.
// True when every entry was stored; false after a failed exchange or a stop (the window
// does not look).
bool RestoreToPhone(IMainWindowHost& host, const TLoadCounts& counts);
