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

#include "BackupFile.h"

class IMainWindowHost;

// The restore hook of LoadBackup: the bar maxima, the time-out, the stores, completion.
// True when every entry was stored; false after a failed exchange or a stop (the window
// does not look).
bool RestoreToPhone(IMainWindowHost& host, const TLoadCounts& counts);
