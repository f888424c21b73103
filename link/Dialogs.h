#pragma once
// The seam between the program's logic and the person in front of it: modal message
// boxes with a single OK button, the file dialogs, the choice among a few items (the
// offer to link a port name to a cable found) and the application's standard exception
// report. The windows install the Qt implementation; tests install a recording
// one that answers without a person.

#include <QString>
#include <QStringList>
#include <optional>

// Information: an outcome to take note of, such as the summary of an add to the phone.
enum class TMsgKind { Error, Warning, Information };

// A modal choice: a text, a list of items with the first chosen, a button of its own
// caption that accepts the choice, and Cancel.
struct TChoiceSettings {
  QString Title;
  QString Text;
  QStringList Items;
  QString AcceptCaption;  // "&Link"
};

struct TFileDialogSettings {
  QString Title;          // "Load backup" / "Save backup"
  QString Filter;         // "S40 backup file (*.zrv)", or "text|pattern|text|pattern"
  QString DefaultSuffix;  // "zrv"
  QString FileName;       // "*.zrv"
};

class IDialogs {
 public:
  virtual ~IDialogs() = default;
  // A modal box with the error, warning or information icon and one OK button; returns
  // once closed.
  virtual void ShowMessage(TMsgKind kind, const QString& title, const QString& text) = 0;
  // The chosen file, or nothing when the user cancelled.
  virtual std::optional<QString> OpenFile(const TFileDialogSettings& settings) = 0;
  virtual std::optional<QString> SaveFile(const TFileDialogSettings& settings) = 0;
  // Several existing files chosen at once, or nothing when the user cancelled.
  virtual std::optional<QStringList> OpenFiles(const TFileDialogSettings& settings) = 0;
  // The index of the chosen item, or nothing when the user cancelled.
  virtual std::optional<int> ChooseItem(const TChoiceSettings& settings) = 0;
  // The standard exception report: a modal box with the exception's text.
  virtual void ShowException(const QString& text) = 0;
};
