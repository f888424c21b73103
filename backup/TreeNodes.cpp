#include "TreeNodes.h"

#include "MainWindowHost.h"

namespace {

QString NodeText(const std::string& text) {
  // An event's description may span lines; a tree node shows one line.
  QString s = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  s.replace(QLatin1String("\r\n"), QLatin1String(" "));
  s.replace(QLatin1Char('\r'), QLatin1Char(' '));
  s.replace(QLatin1Char('\n'), QLatin1Char(' '));
  return s;
}

}  // namespace

void AddFixedTreeNodes(IMainWindowHost& host) {
  host.AddFixedNode(TTreeNode::Root, QStringLiteral("Siemens S40"), imgPhone);
  host.AddFixedNode(TTreeNode::AddressBook, QStringLiteral("Address book"), imgAddressBook);
  host.AddFixedNode(TTreeNode::Calendar, QStringLiteral("Calendar"), imgCalendar);
  host.AddFixedNode(TTreeNode::RingTones, QStringLiteral("Custom ring tones"), imgRingTones);
  host.ExpandTree();
}

void AddPlacedNode(IMainWindowHost& host, TNodePlace place, const std::string& text, int image,
                   std::int32_t groupId) {
  const QString shown = NodeText(text);
  switch (place) {
    case TNodePlace::AddressBookCarryingGroup:
      host.AddEntryNode({TTreeNode::AddressBook}, shown, image, groupId);
      return;
    case TNodePlace::OwnGroup:
      if (groupId == -1)
        host.AddEntryNode({TTreeNode::AddressBook}, shown, image, std::nullopt);
      else if (host.HasNode({TTreeNode::Group, groupId}))
        host.AddEntryNode({TTreeNode::Group, groupId}, shown, image, std::nullopt);
      return;
    case TNodePlace::Calendar:
      host.AddEntryNode({TTreeNode::Calendar}, shown, image, std::nullopt);
      return;
    case TNodePlace::RingTones:
      host.AddEntryNode({TTreeNode::RingTones}, shown, image, std::nullopt);
      return;
  }
}
