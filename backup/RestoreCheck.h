#pragma once
// Checking a restore against the phone: every group, contact and event that the restore
// stored is fetched back by the identifier the phone gave it, and the custom ring tones,
// which get none, are found in a new listing of type 9, behind the factory ones in the
// order they were stored. What came back is compared field by field with what was sent,
// both through the parser (ring tones through the record's decoding). Not compared: the
// entries' own identifiers, the group numbers and the links to other entries, which the
// phone assigns, nor a group's count of entries, which the phone may keep itself; a
// contact's group is compared by the group's name.
//
// Window thread, after RestoreToPhone stored every entry and with its progress window
// still shown. Fetches go through the exchange with the read's own steps (PhoneReader.h).

#include <cstddef>
#include <string>
#include <vector>

#include "BackupFile.h"

class IMainWindowHost;

// One field that the phone holds otherwise than it was sent, or (Field empty) an entry
// that is not on the phone. Texts are readable UTF-8: line breaks as "\n".
struct TStoredDifference {
  std::string Entry;  // "contact \"Doe;John\"", by its kind and name as sent
  std::string Field;  // "Name", "Mobile number", ...
  std::string Sent;
  std::string Stored;
};

// Progress "Verifying..." kind by kind; the stop flag is tested after each entry. False
// when an exchange failed (it has shown its message) or a stop was requested; the
// differences found up to then are in differences.
bool CheckRestore(IMainWindowHost& host, const TLoadCounts& counts, std::vector<TStoredDifference>& differences);

// The same check over entries stored from other lists than the host's: the first counts
// of each kind of stored (ring tones from slot 42), on a phone that held ringTonesBefore
// custom ring tones before them. A contact's group is named by the group of stored
// whose NewGroupID it carries.
bool CheckStored(IMainWindowHost& host, TEntryLists& stored, const TLoadCounts& counts,
                 std::size_t ringTonesBefore, std::vector<TStoredDifference>& differences);
