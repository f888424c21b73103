#pragma once
// The tree's nodes for entries, as the read and the restore add them. Node texts are the
// entries' 8-bit texts shown as ISO-8859-1; every added node becomes the selected node so
// that the tree follows the progress.

#include <QTreeWidgetItem>
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

// A new child of parent with the given text and image (image and selected image are the
// same).
QTreeWidgetItem* AddEntryNode(IMainWindowHost& host, QTreeWidgetItem* parent, const std::string& text,
                              int image);

// An entry's node at its place. A contact's node (OwnGroup) goes directly below "Address
// book" for groupId -1, otherwise below the first of the leading group nodes that carries
// groupId; no node when none does.
void AddPlacedNode(IMainWindowHost& host, TNodePlace place, const std::string& text, int image,
                   std::int32_t groupId);

// The image index a node was given, and the group identifier a group node carries.
int NodeImage(const QTreeWidgetItem* node);
std::int32_t NodeGroupId(const QTreeWidgetItem* node);

// Selects the first node of the tree, if it has any.
void SelectFirstNode(IMainWindowHost& host);
