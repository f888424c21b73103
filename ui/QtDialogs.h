#pragma once
// The dialogs seam on Qt: modal message boxes with the error, warning or information
// icon and one OK button, the file dialogs, the choice among items (a plain dialog: the text,
// a list, the accepting button and Cancel), and the box of the standard exception report.
//
// Window thread only. Each call blocks in a nested event loop until the person answers,
// so the phone's received bytes and the timer are still handled meanwhile, as they are
// in the exchange's own wait. A box is owned by the window that should stay under it:
// the progress window while it is shown (it stays on top of everything else), otherwise
// the active window, unless that window is disabled, as the main window is during a read
// (a box owned by a disabled window could not be answered).

#include <QDialog>
#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>

#include "Dialogs.h"

class TQtDialogs : public IDialogs {
 public:
  void ShowMessage(TMsgKind kind, const QString& title, const QString& text) override;
  std::optional<QString> OpenFile(const TFileDialogSettings& settings) override;
  std::optional<QString> SaveFile(const TFileDialogSettings& settings) override;
  std::optional<QStringList> OpenFiles(const TFileDialogSettings& settings) override;
  std::optional<int> ChooseItem(const TChoiceSettings& settings) override;
  // A critical box titled with the application's name ("ZARVO").
  void ShowException(const QString& text) override;
};

// The window that should own a new modal box, or nullptr for none.
QWidget* DialogOwner();

// Gives a file dialog the backup file's settings: the title, the one name filter, the
// default suffix, the initial name "*.zrv", and for saving the question before an
// existing file is replaced. Qt's own dialog is used on every desktop, so the initial
// wildcard name always acts as a filter rather than as a file name.
void ConfigureFileDialog(QFileDialog& dialog, const TFileDialogSettings& settings, bool save);

// The box ShowMessage shows, before it is run.
void ConfigureMessageBox(QMessageBox& box, TMsgKind kind, const QString& title,
                         const QString& text);

// Fills an empty dialog with the choice: its title, the text, the items in a list with
// the first chosen (a double click accepts it), the accepting button and Cancel. Returns
// the list.
QListWidget* ConfigureChoiceDialog(QDialog& dialog, const TChoiceSettings& settings);
