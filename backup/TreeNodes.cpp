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

QTreeWidgetItem* AddEntryNode(IMainWindowHost& host, QTreeWidgetItem* parent, const std::string& text,
                              int image) {
  auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(&host.TreeView());
  node->setText(0, NodeText(text));
  node->setIcon(0, host.Image(image));
  node->setData(0, NodeImageRole, image);
  host.TreeView().setCurrentItem(node);
  return node;
}

void AddPlacedNode(IMainWindowHost& host, TNodePlace place, const std::string& text, int image,
                   std::int32_t groupId) {
  switch (place) {
    case TNodePlace::AddressBookCarryingGroup:
      AddEntryNode(host, host.AddressBookNode, text, image)->setData(0, NodeGroupIdRole, groupId);
      return;
    case TNodePlace::OwnGroup: {
      QTreeWidgetItem* book = host.AddressBookNode;
      if (groupId == -1 || !book) {
        AddEntryNode(host, book, text, image);
        return;
      }
      // Groups come first below "Address book"; the walk stops at the first other node.
      for (int i = 0; i < book->childCount(); ++i) {
        QTreeWidgetItem* child = book->child(i);
        if (NodeImage(child) != imgGroup) break;
        if (NodeGroupId(child) == groupId) {
          AddEntryNode(host, child, text, image);
          return;
        }
      }
      return;
    }
    case TNodePlace::Calendar:
      AddEntryNode(host, host.CalendarNode, text, image);
      return;
    case TNodePlace::RingTones:
      AddEntryNode(host, host.RingTonesNode, text, image);
      return;
  }
}

int NodeImage(const QTreeWidgetItem* node) {
  const QVariant v = node->data(0, NodeImageRole);
  return v.isValid() ? v.toInt() : -1;
}

std::int32_t NodeGroupId(const QTreeWidgetItem* node) {
  const QVariant v = node->data(0, NodeGroupIdRole);
  return v.isValid() ? v.toInt() : -1;
}

void SelectFirstNode(IMainWindowHost& host) {
  QTreeWidget& tree = host.TreeView();
  if (tree.topLevelItemCount() > 0) tree.setCurrentItem(tree.topLevelItem(0));
}
