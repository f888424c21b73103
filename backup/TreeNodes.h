#pragma once
// Where the read and the restore put the tree's nodes. Node texts are the entries' 8-bit
// texts shown as ISO-8859-1; every added node becomes the selected node so that the tree
// follows the progress.

#include <cstdint>
#include <string>

class IMainWindowHost;

// Where an entry's node goes in the tree.
enum class TNodePlace {
  AddressBookCarryingGroup,  // below "Address book", carrying the group identifier
  OwnGroup,                  // below the node of its group, or "Address book" for -1
  Calendar,
  RingTones,
};

// The four fixed nodes ("Siemens S40" with "Address book", "Calendar" and "Custom ring
// tones" below it), expanded.
void AddFixedTreeNodes(IMainWindowHost& host);

// An entry's node at its place. A contact's node (OwnGroup) goes directly below "Address
// book" for groupId -1, otherwise below the first of the leading group nodes that carries
// groupId; no node when none does.
void AddPlacedNode(IMainWindowHost& host, TNodePlace place, const std::string& text, int image,
                   std::int32_t groupId);
