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

QTreeWidgetItem* AddGroupNode(IMainWindowHost& host, const std::string& name, std::int32_t groupId) {
  QTreeWidgetItem* node = AddEntryNode(host, host.AddressBookNode, name, 1);
  node->setData(0, NodeGroupIdRole, groupId);
  return node;
}

QTreeWidgetItem* AddContactNode(IMainWindowHost& host, const std::string& name, std::int32_t groupId) {
  QTreeWidgetItem* book = host.AddressBookNode;
  if (groupId == -1 || !book) return AddEntryNode(host, book, name, 0);
  // Groups come first below "Address book"; the walk stops at the first other node.
  for (int i = 0; i < book->childCount(); ++i) {
    QTreeWidgetItem* child = book->child(i);
    if (NodeImage(child) != 1) break;
    if (NodeGroupId(child) == groupId) return AddEntryNode(host, child, name, 0);
  }
  return nullptr;
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
