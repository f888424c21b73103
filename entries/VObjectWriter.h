#pragma once
// The vObject writers: one entry record in, the lines of one vObject out.
//
// A group, a contact or a custom ring tone becomes a vCard 2.1, an event a vEvent of a
// vCalendar 1.0 (without the vCalendar lines around it). The same text goes into the
// backup file and, through the restore, to the phone; the vObject parser reads every
// line form written here back into the same fields.
//
// Each writer empties parseLines, appends its lines and returns parseLines: the list is
// the main window's ParseLines, valid until the next writer call or parse refills it.
// One item is one line, except that an address with a line break in a component holds
// that CR LF inside its item. The texts are the records' 8-bit bytes, never converted.
// The writers run on the window thread, keep no state and cannot fail.

#include "Entries.h"

// Soft-break folding: pieces of at most this many characters, each but the last
// followed by "=".
inline constexpr std::size_t FoldWidth = 75;

TLines& GroupToVCard(const TGroup& group, TLines& parseLines);
TLines& ContactToVCard(const TContact& contact, TLines& parseLines);
TLines& EventToVEvent(const TEvent& event, TLines& parseLines);
TLines& RingToneToVCard(const TRingTone& ringTone, TLines& parseLines);
