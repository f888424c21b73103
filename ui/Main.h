#pragma once
// TfrmMain: the application's one main window, and the owner of everything that lives
// longer than one click: the serial component VaComm, the answer timer, the AT command
// exchange, the five entry lists, ParseLines, the tree with its image list, the log
// pane reLog and the stop flag that the progress window sets.
//
// All logic runs on the window thread inside the button handlers; the read, Save, Load
// and the restore reach the window through IMainWindowHost, and the exchange writes its
// log through ILogPane. Every handler runs inside the handler wrapper (Handler.h): its
// end steps run, then whatever it threw is shown by the standard exception report.
//
// While a handler runs (a read or a restore waits for the phone and lets the window
// process its messages), closing the window releases nothing: the close acts as Cancel
// (the progress window closes, which sets StopRequested) and the window closes once the
// handler and its end steps are done. Closing (FormClose) releases ParseLines, switches
// the phone's data mode off if the port is open and the mode is on, and closes the port.

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "AtExchange.h"
#include "Dialogs.h"
#include "LogPane.h"
#include "LogView.h"
#include "MainWindowHost.h"
#include "VaComm.h"

class QMenu;
class TfrmProgress;

class TfrmMain : public QWidget, public IMainWindowHost, public ILogPane {
 public:
  // The dialogs must outlive the window. FormCreate has run when this returns.
  explicit TfrmMain(IDialogs& dialogs);
  ~TfrmMain() override;
  TfrmMain(const TfrmMain&) = delete;
  TfrmMain& operator=(const TfrmMain&) = delete;

  // The application creates the progress window after this one and hands it over.
  void SetProgressWindow(TfrmProgress* progress);

  // IMainWindowHost
  TVaComm& VaComm() override { return vaComm_; }
  TAtExchange& Exchange() override { return exchange_; }
  TEntryLists& Lists() override { return lists_; }
  TLines& ParseLines() override;  // throws std::logic_error once released
  IDialogs& Dialogs() override { return dialogs_; }
  IProgressWindow& Progress() override;
  bool& StopRequested() override { return stopRequested_; }
  TPortChoice PortTarget() const override;
  // The selected entry of cbxCOMPort (0 for "COM 1").
  int SelectedPortIndex() const;
  void SetControlEnabled(TMainControl control, bool enabled) override;
  void SetWindowEnabled(bool enabled) override;
  void RepaintWindow() override;
  void FocusWindow() override;
  void SetBusyCursor(bool busy) override;
  void ClearTree() override;
  void AddFixedNode(TTreeNode node, const QString& text, int image) override;
  bool HasNode(TNodeRef node) const override;
  void AddEntryNode(TNodeRef parent, const QString& text, int image, std::optional<std::int32_t> carried) override;
  void ExpandTree() override;
  void SelectFirstNode() override;

  // The tree and its pictures, and a node by reference (null while missing).
  QTreeWidget& TreeView() { return *treeView_; }
  const QIcon& Image(int index) const;  // throws std::out_of_range
  QTreeWidgetItem* Node(TNodeRef node) const;

  // ILogPane: the 8-bit line, Latin-1, broken at CR LF, lone CR and lone LF, then a
  // line break; the caret stays at the end and the pane scrolls there. The pane takes
  // the lines in batches (LogView.h): reLog->Text() is the whole log at any moment.
  void InsertLine(const std::string& rendered) override;

  // Controls, in tab order; the tree is TreeView().
  QComboBox* cbxCOMPort;
  QPushButton* btnRead;
  QPushButton* btnSave;
  QPushButton* btnLoad;
  QPushButton* btnExit;
  TLogView* reLog;
  QLabel* lblVersion;
  QTimer Timer;  // the exchange's answer timer: 5000 ms, stopped at start

  // Handlers.
  void FormCreate();
  void btnReadClick();
  void btnSaveClick();
  void btnLoadClick();
  void btnExitClick();
  void btnExitKeyDown(int key);
  void FormClose();
  // The tree's context menu: "Export contacts (vCard)..." and "Export calendar
  // (iCalendar)...", each enabled when the lists hold its kind and nothing runs, and
  // "Add to phone from file...", enabled while the port is open (after a read) and
  // nothing runs.
  void FillTreeMenu(QMenu& menu);
  // "Add to phone from file...": the files chosen, the phone read again, the entries it
  // does not hold stored; the details go to the log, the summary into one box.
  void AddToPhoneClick();

  // The handler wrapper with the "operation running" state: runs body and endSteps as
  // RunHandler does, and a close of the window that arrives meanwhile is carried out
  // once they are done. Refuses to start anything while the window is closing.
  void RunButtonHandler(const std::function<void()>& body,
                        const std::function<void()>& endSteps = {});
  // A button handler is on the stack (a read, Save, Load or restore runs).
  bool OperationRunning() const { return handlerDepth_ > 0; }
  // The window was asked to close while an operation ran; it closes after the operation.
  bool ClosePending() const { return closePending_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Forwards the progress window's operations; a progress window shown while a close is
  // pending is closed again at once, so the operation stops at its next check.
  class TProgressRelay : public IProgressWindow {
   public:
    explicit TProgressRelay(TfrmMain& owner) : owner_(owner) {}
    void SetCaption(const QString& caption) override;
    void ResetBars() override;
    void ShowProgress() override;
    void SetTotal(TProgressKind kind, int n) override;
    void StepDone(TProgressKind kind, int done, int n) override;
    void CloseProgress() override;

   private:
    IProgressWindow& Target();
    TfrmMain& owner_;
  };

  void BuildControls();
  // A node below parent, or at the top level for none, made the selected node.
  QTreeWidgetItem* NewNode(QTreeWidgetItem* parent, const QString& text, int image);
  void LoadImages();

  IDialogs& dialogs_;
  QTreeWidget* treeView_ = nullptr;
  std::array<QIcon, 8> ilBitmaps_;
  // The four fixed nodes, by TTreeNode (Root to RingTones); null until a read made them.
  std::array<QTreeWidgetItem*, 4> fixedNodes_{};
  TVaComm vaComm_;
  TAtExchange exchange_;
  TEntryLists lists_;
  std::unique_ptr<TLines> parseLines_;
  bool stopRequested_ = false;
  TfrmProgress* progress_ = nullptr;
  TProgressRelay progressRelay_{*this};
  bool busyCursor_ = false;
  int handlerDepth_ = 0;
  bool closePending_ = false;
  bool closing_ = false;
};

// Item data roles of a tree node: its image index, and for a group node the carried
// group identifier; and their values for a node (-1 when it has none).
inline constexpr int NodeImageRole = Qt::UserRole + 1;
inline constexpr int NodeGroupIdRole = Qt::UserRole + 2;
int NodeImage(const QTreeWidgetItem* node);
std::int32_t NodeGroupId(const QTreeWidgetItem* node);

// The port list's entries, "COM 1" to "COM 8"; entry i stands for port number i + 1.
inline constexpr const char* PortListEntries[] = {"COM 1", "COM 2", "COM 3", "COM 4",
                                                  "COM 5", "COM 6", "COM 7", "COM 8"};
inline constexpr int DefaultPortIndex = 3;  // "COM 4"
