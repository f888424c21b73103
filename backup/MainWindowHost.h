#pragma once
// What the read, Save, Load and the restore need of the main window.
//
// All phone logic runs on the window thread inside the main window's button handlers;
// the window owns the serial component, the exchange, the entry lists, ParseLines, the
// tree and the stop flag. The code in this folder reaches them through this interface,
// which the main window implements (tests may drive the real window or a fake).

#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "AtExchange.h"
#include "Dialogs.h"
#include "Entries.h"
#include "PortHints.h"

class TVaComm;

// The four kinds as the progress window shows them, in its order top to bottom.
enum class TProgressKind { Groups = 0, Contacts = 1, Events = 2, RingTones = 3 };

// The progress window's operations, in the order a read or restore uses them.
class IProgressWindow {
 public:
  virtual ~IProgressWindow() = default;
  // "Reading..." or "Writing...".
  virtual void SetCaption(const QString& caption) = 0;
  // Every bar at 0 and every label "0 of ? groups." and so on.
  virtual void ResetBars() = 0;
  // Shows the window, not modal, above the others.
  virtual void ShowProgress() = 0;
  // The total of a kind is known: bar maximum n, label "0 of n groups." and so on.
  virtual void SetTotal(TProgressKind kind, int n) = 0;
  // One more entry of a kind done: the bar steps by one, label "done of n groups.".
  virtual void StepDone(TProgressKind kind, int done, int n) = 0;
  // Hides the window; every close sets the main window's StopRequested.
  virtual void CloseProgress() = 0;
};

// The controls whose enabled state the operations set.
enum class TMainControl { Read, Load, Save, Exit, PortList };

// Images of the tree's nodes, indexes into ilBitmaps.
inline constexpr int imgContact = 0;
inline constexpr int imgGroup = 1;
inline constexpr int imgEvent = 2;
inline constexpr int imgPhone = 3;
inline constexpr int imgAddressBook = 4;
inline constexpr int imgCalendar = 5;
inline constexpr int imgRingTones = 6;
inline constexpr int imgRingTone = 7;

// The tree's nodes that the operations name: the four fixed ones, and the group nodes
// below "Address book", found by the group identifier they carry.
enum class TTreeNode { Root, AddressBook, Calendar, RingTones, Group };
struct TNodeRef {
  TTreeNode Node;
  std::int32_t GroupId = -1;  // of a Group
};

// The port a read uses, as the serial component names it: DeviceName formatted with
// PortNum ("COM%d" and 4 for COM4), which the port map turns into a path; a path given
// as DeviceName (with any "%" doubled) is used as it is.
struct TPortChoice {
  std::string DeviceName = "COM%d";
  int PortNum = 4;
  bool operator==(const TPortChoice&) const = default;
};

class IMainWindowHost {
 public:
  virtual ~IMainWindowHost() = default;

  virtual TVaComm& VaComm() = 0;
  virtual TAtExchange& Exchange() = 0;
  virtual TEntryLists& Lists() = 0;
  virtual TLines& ParseLines() = 0;
  virtual IDialogs& Dialogs() = 0;
  virtual IProgressWindow& Progress() = 0;
  virtual bool& StopRequested() = 0;

  // The port the next read uses: the window's selected entry of cbxCOMPort ("COM 4" is
  // COM4), or a name or path given some other way.
  virtual TPortChoice PortTarget() const = 0;
  // Whether the read may offer to link a port name that leads nowhere to a USB serial
  // cable found (a choice put to the person in front of the window).
  virtual bool OffersPortLink() const { return true; }
  // What the port hints tell the user to do once the cause is mended.
  virtual TRetryAction PortHintRetry() const { return TRetryAction::PressRead; }
  virtual void SetControlEnabled(TMainControl control, bool enabled) = 0;
  // The whole main window (disabled during a read, enabled during a restore).
  virtual void SetWindowEnabled(bool enabled) = 0;
  virtual void RepaintWindow() = 0;
  virtual void FocusWindow() = 0;
  // The hourglass over the whole application (Save), and back.
  virtual void SetBusyCursor(bool busy) = 0;

  // One line to the log pane, as the exchange writes it (the parser's findings on Load).
  virtual void AddLogLine(const std::string& text) { Exchange().AddLogLine(text); }
  // The exchange's answer time-out, the timer's interval: 180000 ms during a restore,
  // 5000 ms otherwise.
  virtual void SetAnswerTimeout(int milliseconds) { Exchange().Timer().setInterval(milliseconds); }

  // The tree. Where a node goes is decided in this folder (TreeNodes.h); the window
  // keeps the nodes, shows image indexes as its pictures and finds nodes by reference.
  virtual void ClearTree() = 0;
  // One of the four fixed nodes: the root at the top level, the other three below it.
  virtual void AddFixedNode(TTreeNode node, const QString& text, int image) = 0;
  // A fixed node once added; a group node when one of the group nodes that lead the
  // children of "Address book" carries its identifier.
  virtual bool HasNode(TNodeRef node) const = 0;
  // A new node below parent (at the top level while the parent is missing), selected at
  // once; a group node carries its group identifier.
  virtual void AddEntryNode(TNodeRef parent, const QString& text, int image, std::optional<std::int32_t> carried) = 0;
  virtual void ExpandTree() = 0;
  // The first node, if the tree has any, becomes the selected one.
  virtual void SelectFirstNode() = 0;
};
