#pragma once
// TfrmProgress: the small window that shows how far a read or a restore has come, one
// bar and one label per kind (groups, contacts, events, custom ring tones), with a
// Cancel button.
//
// The application creates it once, hidden, right after the main window, and never
// destroys it before the end. The read and the restore drive it through
// IProgressWindow; it shares exactly one piece of state with the main window, the stop
// flag, which every close sets (Cancel, the close box, or the operation's own close).
// Everything runs on the window thread; nothing here throws.

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <array>

#include "MainWindowHost.h"

class TfrmProgress : public QWidget, public IProgressWindow {
 public:
  // stopRequested is the main window's StopRequested; it must outlive this window.
  explicit TfrmProgress(bool& stopRequested);

  // IProgressWindow
  void SetCaption(const QString& caption) override;
  void ResetBars() override;
  void ShowProgress() override;
  void SetTotal(TProgressKind kind, int n) override;
  void StepDone(TProgressKind kind, int done, int n) override;
  void CloseProgress() override;

  // Controls, top to bottom.
  QProgressBar* pbGroups;
  QLabel* lblGroups;
  QProgressBar* pbContacts;
  QLabel* lblContacts;
  QProgressBar* pbEvents;
  QLabel* lblEvents;
  QProgressBar* pbRingTones;
  QLabel* lblRingTones;
  QPushButton* btnCancel;

  QProgressBar& Bar(TProgressKind kind) const;
  QLabel& Label(TProgressKind kind) const;

  // Handlers.
  void btnCancelClick();

 protected:
  void closeEvent(QCloseEvent* event) override;  // FormClose

 private:
  void FormClose();

  bool& stopRequested_;
  std::array<QProgressBar*, 4> bars_{};
  std::array<QLabel*, 4> labels_{};
};

// "0 of ? groups.", "3 of 12 groups." and so on; a negative total is the unknown "?".
QString ProgressText(TProgressKind kind, int done, int total);
