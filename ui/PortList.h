#pragma once
// The port list cbxCOMPort: a drop-down list that says, in each entry's tooltip, which
// device the entry's port name maps to and what is there (PortHints). The tooltips are
// made anew each time the list opens, so that a cable plugged in meanwhile shows; the
// closed list's own tooltip is that of the chosen entry, made when it is asked for.

#include <QComboBox>

class TVaComm;

class TPortList : public QComboBox {
 public:
  // Entry i stands for port number i + 1, formatted with the component's DeviceName.
  TPortList(QWidget* parent, const TVaComm& comm);

  void RefreshToolTips();
  void showPopup() override;

 protected:
  bool event(QEvent* event) override;

 private:
  QString ToolTipFor(int index) const;
  const TVaComm& comm_;
};
