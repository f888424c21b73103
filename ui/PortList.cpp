#include "PortList.h"

#include <QEvent>

#include "PortHints.h"
#include "PortMap.h"
#include "VaComm.h"

TPortList::TPortList(QWidget* parent, const TVaComm& comm) : QComboBox(parent), comm_(comm) {}

QString TPortList::ToolTipFor(int index) const {
  const std::string text = DescribePortTarget(ProbePort(FormatDeviceName(comm_.DeviceName(), index + 1)));
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

void TPortList::RefreshToolTips() {
  for (int i = 0; i < count(); ++i) setItemData(i, ToolTipFor(i), Qt::ToolTipRole);
}

void TPortList::showPopup() {
  RefreshToolTips();
  QComboBox::showPopup();
}

bool TPortList::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip && currentIndex() >= 0) setToolTip(ToolTipFor(currentIndex()));
  return QComboBox::event(event);
}
