#include "Main.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <stdexcept>

#include "BackupFile.h"
#include "ExportBackup.h"
#include "Handler.h"
#include "Maker.h"
#include "OperationEdge.h"
#include "PhoneAdder.h"
#include "PhoneReader.h"
#include "PhoneRestorer.h"
#include "PhoneCommands.h"
#include "PortList.h"
#include "Progress.h"
#include "WindowDesign.h"

namespace {

constexpr int kClientWidth = 313;
constexpr int kClientHeight = 449;

// Resource names of ilBitmaps, by image index.
constexpr const char* kImageFiles[] = {
    ":/images/contact.png", ":/images/group.png",       ":/images/event.png",
    ":/images/phone.png",   ":/images/addressbook.png", ":/images/calendar.png",
    ":/images/ringtones.png", ":/images/ringtone.png"};
static_assert(std::size(kImageFiles) == imgRingTone + 1);

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption,
                        const char* accessibleName, int left, int top) {
  auto* button = new QPushButton(QString::fromLatin1(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAccessibleName(QString::fromLatin1(accessibleName));
  button->setAutoDefault(false);
  Place(*button, left, top, 89, 25);
  return button;
}

}  // namespace

TfrmMain::TfrmMain(IDialogs& dialogs)
    : dialogs_(dialogs), exchange_(vaComm_, Timer, *this, dialogs) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("ZARVO - ") + QString::fromLatin1(MakersNotice));
  setFont(DesignFont());
  SetFixedWindow(*this, kClientWidth, kClientHeight);

  Timer.setInterval(AnswerTimeoutMs);
  Timer.stop();
  ApplyPhoneDesignSettings(vaComm_);

  LoadImages();
  BuildControls();
  CentreOnScreen(*this);
  FormCreate();
}

TfrmMain::~TfrmMain() {
  // Only reached without FormClose when the application ends some other way; the port
  // is then closed without a word to the phone.
  if (busyCursor_) QApplication::restoreOverrideCursor();
  try {
    if (vaComm_.IsOpen()) vaComm_.Close();
  } catch (...) {
  }
}

void TfrmMain::LoadImages() {
  for (int i = 0; i <= imgRingTone; ++i) ilBitmaps_[i] = QIcon(QString::fromLatin1(kImageFiles[i]));
}

void TfrmMain::BuildControls() {
  treeView_ = new QTreeWidget(this);
  treeView_->setObjectName(QStringLiteral("TreeView"));
  treeView_->setAccessibleName(QStringLiteral("Phone entries"));
  treeView_->setHeaderHidden(true);
  treeView_->setColumnCount(1);
  treeView_->setIndentation(19);
  treeView_->setIconSize(QSize(16, 16));
  treeView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  treeView_->setSelectionMode(QAbstractItemView::SingleSelection);
  Place(*treeView_, 8, 8, 297, 369);
  treeView_->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(treeView_, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QMenu menu(this);
    FillTreeMenu(menu);
    menu.exec(treeView_->viewport()->mapToGlobal(at));
  });

  // Created after the tree so that, when shown, it lies over the tree's lower part.
  reLog = new TLogView(this);
  reLog->setObjectName(QStringLiteral("reLog"));
  reLog->setAccessibleName(QStringLiteral("Log"));
  reLog->setPlainText(QStringLiteral("reLog"));
  reLog->hide();
  Place(*reLog, 10, 201, 294, 175);

  cbxCOMPort = new TPortList(this, vaComm_);
  cbxCOMPort->setObjectName(QStringLiteral("cbxCOMPort"));
  cbxCOMPort->setAccessibleName(QStringLiteral("Serial port"));
  cbxCOMPort->setEditable(false);
  for (const char* entry : PortListEntries) cbxCOMPort->addItem(QString::fromLatin1(entry));
  Place(*cbxCOMPort, 8, 384, 89, 21);

  btnRead = MakeButton(this, "btnRead", "&Read", "Read", 8, 416);
  btnSave = MakeButton(this, "btnSave", "&Save backup", "Save backup", 112, 384);
  btnLoad = MakeButton(this, "btnLoad", "&Load backup", "Load backup", 112, 416);
  btnExit = MakeButton(this, "btnExit", "E&xit", "Exit", 216, 416);
  btnSave->setEnabled(false);
  btnLoad->setEnabled(false);

  lblVersion = new QLabel(QStringLiteral("v1.2"), this);
  lblVersion->setObjectName(QStringLiteral("lblVersion"));
  lblVersion->setAccessibleName(QStringLiteral("Version"));
  lblVersion->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  // Right-aligned at its design place; a stand-in face wider than Tahoma grows it to the
  // left instead of cutting the text.
  const int versionWidth = std::max(22, lblVersion->fontMetrics().horizontalAdvance(lblVersion->text()) + 1);
  Place(*lblVersion, 281 + 22 - versionWidth, 394, versionWidth, 13);

  setTabOrder(cbxCOMPort, btnRead);
  setTabOrder(btnRead, btnSave);
  setTabOrder(btnSave, btnLoad);
  setTabOrder(btnLoad, btnExit);
  setTabOrder(btnExit, treeView_);
  setTabOrder(treeView_, reLog);
  cbxCOMPort->setFocus();

  btnExit->installEventFilter(this);
  QObject::connect(btnRead, &QPushButton::clicked, this, [this] { btnReadClick(); });
  QObject::connect(btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
  QObject::connect(btnLoad, &QPushButton::clicked, this, [this] { btnLoadClick(); });
  QObject::connect(btnExit, &QPushButton::clicked, this, [this] { btnExitClick(); });
}

void TfrmMain::SetProgressWindow(TfrmProgress* progress) { progress_ = progress; }

// ---------------------------------------------------------------------------------------
// Handlers

void TfrmMain::FormCreate() {
  cbxCOMPort->setCurrentIndex(DefaultPortIndex);
  reLog->ClearLog();
  parseLines_ = std::make_unique<TLines>();
}

void TfrmMain::btnReadClick() {
  RunButtonHandler([this] { ReadPhone(*this); });
}

void TfrmMain::btnSaveClick() {
  RunButtonHandler([this] { SaveBackup(*this); });
}

void TfrmMain::btnLoadClick() {
  RunButtonHandler([this] { LoadBackup(*this, RestoreToPhone); });
}

void TfrmMain::btnExitClick() { close(); }

void TfrmMain::btnExitKeyDown(int key) {
  // 71 is the G key; Shift, Ctrl and Alt are not looked at.
  if (key == 71) reLog->setVisible(reLog->isHidden());
}

void TfrmMain::FormClose() {
  parseLines_.reset();
  ClosePhoneConnection(*this);
}

void TfrmMain::FillTreeMenu(QMenu& menu) {
  const auto add = [&](const char* caption, TExportKind kind, bool any) {
    QAction* action = menu.addAction(QString::fromLatin1(caption));
    action->setEnabled(any && !OperationRunning() && !closing_);
    QObject::connect(action, &QAction::triggered, this, [this, kind] {
      RunButtonHandler([this, kind] {
        ExportWithDialog(kind, lists_, dialogs_, [this](const std::string& line) { AddLogLine(line); });
      });
    });
  };
  add("Export contacts (vCard)...", TExportKind::Contacts, !lists_.Contacts.empty());
  add("Export calendar (iCalendar)...", TExportKind::Calendar, !lists_.Events.empty());
  QAction* addToPhone = menu.addAction(QStringLiteral("Add to phone from file..."));
  addToPhone->setEnabled(vaComm_.IsOpen() && !OperationRunning() && !closing_);
  QObject::connect(addToPhone, &QAction::triggered, this, [this] { AddToPhoneClick(); });
}

void TfrmMain::AddToPhoneClick() {
  RunButtonHandler([this] {
    const std::optional<QStringList> files = dialogs_.OpenFiles(AddDialogSettings());
    if (!files) return;
    const TAddResult result = AddToPhone(*this, *files, {});
    // The log pane shows 8-bit text.
    const auto log = [this](const std::string& utf8) { AddLogLine(QString::fromUtf8(utf8).toLatin1().toStdString()); };
    for (const std::string& line : result.Report) log(line);
    if (result.End != TAddEnd::NotRead) log(result.Summary);
    const TAddBox box = AddResultBox(result);
    dialogs_.ShowMessage(box.Kind, QStringLiteral("Add to phone"), QString::fromStdString(box.Text));
  });
}

void TfrmMain::RunButtonHandler(const std::function<void()>& body,
                                const std::function<void()>& endSteps) {
  if (closing_) return;
  ++handlerDepth_;
  RunHandler(
      [&] {
        if (body) body();
      },
      [&] {
        if (endSteps) endSteps();
      });
  --handlerDepth_;
  if (handlerDepth_ == 0 && closePending_) {
    closePending_ = false;
    // Posted, so that the close runs from the event loop and not inside the button's
    // click that is still being delivered.
    QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
  }
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (closing_) {  // a second close while the first still talks to the phone
    event->ignore();
    return;
  }
  if (handlerDepth_ > 0) {
    // Nothing may be released under a running read or restore: stop it instead.
    closePending_ = true;
    progressRelay_.CloseProgress();
    event->ignore();
    return;
  }
  closing_ = true;
  // The goodbye to the phone processes messages while it waits; nothing may start then.
  setEnabled(false);
  RunHandler([this] { FormClose(); });
  event->accept();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == btnExit && event->type() == QEvent::KeyPress)
    btnExitKeyDown(static_cast<QKeyEvent*>(event)->key());
  return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------
// IMainWindowHost

TLines& TfrmMain::ParseLines() {
  if (!parseLines_) throw std::logic_error("ParseLines has been released");
  return *parseLines_;
}

IProgressWindow& TfrmMain::Progress() { return progressRelay_; }

int TfrmMain::SelectedPortIndex() const { return cbxCOMPort->currentIndex(); }

// Entry i of the list, "COM 1" to "COM 8", stands for port number i + 1.
TPortChoice TfrmMain::PortTarget() const { return {"COM%d", SelectedPortIndex() + 1}; }

void TfrmMain::SetControlEnabled(TMainControl control, bool enabled) {
  QWidget* widget = nullptr;
  switch (control) {
    case TMainControl::Read: widget = btnRead; break;
    case TMainControl::Load: widget = btnLoad; break;
    case TMainControl::Save: widget = btnSave; break;
    case TMainControl::Exit: widget = btnExit; break;
    case TMainControl::PortList: widget = cbxCOMPort; break;
  }
  if (widget) widget->setEnabled(enabled);
}

void TfrmMain::SetWindowEnabled(bool enabled) { setEnabled(enabled); }

void TfrmMain::RepaintWindow() { repaint(); }

void TfrmMain::FocusWindow() {
  activateWindow();
  QWidget* focus = focusWidget();
  if (focus && focus->isEnabled()) return;
  if (btnRead->isEnabled())
    btnRead->setFocus();
  else
    cbxCOMPort->setFocus();
}

void TfrmMain::SetBusyCursor(bool busy) {
  if (busy == busyCursor_) return;
  busyCursor_ = busy;
  if (busy)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

const QIcon& TfrmMain::Image(int index) const {
  if (index < 0 || index > imgRingTone) throw std::out_of_range("no image with index " + std::to_string(index));
  return ilBitmaps_[static_cast<std::size_t>(index)];
}

void TfrmMain::ClearTree() {
  treeView_->clear();
  fixedNodes_.fill(nullptr);
}

void TfrmMain::AddFixedNode(TTreeNode node, const QString& text, int image) {
  QTreeWidgetItem*& slot = fixedNodes_.at(static_cast<std::size_t>(node));
  QTreeWidgetItem* root = fixedNodes_[static_cast<std::size_t>(TTreeNode::Root)];
  slot = NewNode(node == TTreeNode::Root ? nullptr : root, text, image);
}

QTreeWidgetItem* TfrmMain::NewNode(QTreeWidgetItem* parent, const QString& text, int image) {
  auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(treeView_);
  item->setText(0, text);
  item->setIcon(0, Image(image));
  item->setData(0, NodeImageRole, image);
  treeView_->setCurrentItem(item);
  return item;
}

QTreeWidgetItem* TfrmMain::Node(TNodeRef node) const {
  if (node.Node != TTreeNode::Group) return fixedNodes_.at(static_cast<std::size_t>(node.Node));
  QTreeWidgetItem* book = fixedNodes_[static_cast<std::size_t>(TTreeNode::AddressBook)];
  // Groups come first below "Address book"; the walk stops at the first other node.
  for (int i = 0; book && i < book->childCount(); ++i) {
    QTreeWidgetItem* child = book->child(i);
    if (NodeImage(child) != imgGroup) break;
    if (NodeGroupId(child) == node.GroupId) return child;
  }
  return nullptr;
}

bool TfrmMain::HasNode(TNodeRef node) const { return Node(node) != nullptr; }

void TfrmMain::AddEntryNode(TNodeRef parent, const QString& text, int image,
                            std::optional<std::int32_t> carried) {
  QTreeWidgetItem* item = NewNode(Node(parent), text, image);
  if (carried) item->setData(0, NodeGroupIdRole, *carried);
}

void TfrmMain::ExpandTree() { treeView_->expandAll(); }

void TfrmMain::SelectFirstNode() {
  if (treeView_->topLevelItemCount() > 0) treeView_->setCurrentItem(treeView_->topLevelItem(0));
}

int NodeImage(const QTreeWidgetItem* node) {
  const QVariant v = node->data(0, NodeImageRole);
  return v.isValid() ? v.toInt() : -1;
}

std::int32_t NodeGroupId(const QTreeWidgetItem* node) {
  const QVariant v = node->data(0, NodeGroupIdRole);
  return v.isValid() ? v.toInt() : -1;
}

// ---------------------------------------------------------------------------------------
// ILogPane

void TfrmMain::InsertLine(const std::string& rendered) {
  ForEachLogLine(rendered, [this](std::string_view line) {
    reLog->AppendLine(QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
  });
}

// ---------------------------------------------------------------------------------------
// The progress window as the operations see it

IProgressWindow& TfrmMain::TProgressRelay::Target() {
  if (!owner_.progress_) throw std::logic_error("the progress window has not been created");
  return *owner_.progress_;
}

void TfrmMain::TProgressRelay::SetCaption(const QString& caption) { Target().SetCaption(caption); }

void TfrmMain::TProgressRelay::ResetBars() { Target().ResetBars(); }

void TfrmMain::TProgressRelay::ShowProgress() {
  Target().ShowProgress();
  if (owner_.closePending_) Target().CloseProgress();
}

void TfrmMain::TProgressRelay::SetTotal(TProgressKind kind, int n) { Target().SetTotal(kind, n); }

void TfrmMain::TProgressRelay::StepDone(TProgressKind kind, int done, int n) {
  Target().StepDone(kind, done, n);
}

void TfrmMain::TProgressRelay::CloseProgress() {
  if (owner_.progress_)
    owner_.progress_->CloseProgress();
  else
    owner_.stopRequested_ = true;  // a close always sets the flag
}
