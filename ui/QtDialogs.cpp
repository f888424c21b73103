#include "QtDialogs.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>
#include <algorithm>

#include "WindowDesign.h"

namespace {

// "S40 backup file (*.zrv)" as it is, or the two-part form "text|pattern" that names the
// pattern separately; Qt wants the pattern in brackets after the text.
QStringList NameFilters(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  if (parts.size() < 2) return {filter};
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    const QString& text = parts[i];
    const QString& pattern = parts[i + 1];
    filters << (text.contains(QLatin1Char('(')) ? text : text + QStringLiteral(" (") + pattern + QLatin1Char(')'));
  }
  return filters;
}

QStringList RunFileDialog(const TFileDialogSettings& settings, bool save, bool several = false) {
  QFileDialog dialog(DialogOwner());
  ConfigureFileDialog(dialog, settings, save);
  if (several) dialog.setFileMode(QFileDialog::ExistingFiles);
  if (dialog.exec() != QDialog::Accepted) return {};
  QStringList chosen = dialog.selectedFiles();
  chosen.removeAll(QString());
  return chosen;
}

std::optional<QString> OneFile(const QStringList& chosen) {
  if (chosen.isEmpty()) return std::nullopt;
  return chosen.front();
}

}  // namespace

QWidget* DialogOwner() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  const QList<QWidget*> windows = QApplication::topLevelWidgets();
  for (QWidget* window : windows) {
    if (window->isVisible() && window->isEnabled() &&
        window->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
      return window;
  }
  QWidget* active = QApplication::activeWindow();
  if (active && active->isEnabled()) return active;
  for (QWidget* window : windows) {
    if (window->isVisible() && window->isEnabled() && window->isWindow() &&
        !window->windowFlags().testFlag(Qt::Popup) && !window->windowFlags().testFlag(Qt::ToolTip))
      return window;
  }
  return nullptr;
}

void ConfigureFileDialog(QFileDialog& dialog, const TFileDialogSettings& settings, bool save) {
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setWindowTitle(settings.Title);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  dialog.setNameFilters(NameFilters(settings.Filter));
  dialog.setDefaultSuffix(settings.DefaultSuffix);
  dialog.selectFile(settings.FileName);
}

void ConfigureMessageBox(QMessageBox& box, TMsgKind kind, const QString& title,
                         const QString& text) {
  box.setIcon(kind == TMsgKind::Error     ? QMessageBox::Critical
              : kind == TMsgKind::Warning ? QMessageBox::Warning
                                          : QMessageBox::Information);
  box.setWindowTitle(title);
  box.setTextFormat(Qt::PlainText);
  box.setText(text);
  box.setStandardButtons(QMessageBox::Ok);
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(QMessageBox::Ok);
}

void TQtDialogs::ShowMessage(TMsgKind kind, const QString& title, const QString& text) {
  QMessageBox box(DialogOwner());
  ConfigureMessageBox(box, kind, title, text);
  box.exec();
}

std::optional<QString> TQtDialogs::OpenFile(const TFileDialogSettings& settings) {
  return OneFile(RunFileDialog(settings, false));
}

std::optional<QString> TQtDialogs::SaveFile(const TFileDialogSettings& settings) {
  return OneFile(RunFileDialog(settings, true));
}

std::optional<QStringList> TQtDialogs::OpenFiles(const TFileDialogSettings& settings) {
  QStringList chosen = RunFileDialog(settings, false, /*several=*/true);
  if (chosen.isEmpty()) return std::nullopt;
  return chosen;
}

QListWidget* ConfigureChoiceDialog(QDialog& dialog, const TChoiceSettings& settings) {
  dialog.setWindowTitle(settings.Title);
  auto* layout = new QVBoxLayout(&dialog);
  auto* text = new QLabel(settings.Text, &dialog);
  text->setTextFormat(Qt::PlainText);
  text->setWordWrap(true);
  layout->addWidget(text);
  auto* list = new QListWidget(&dialog);
  list->setAccessibleName(QStringLiteral("Choices"));
  list->addItems(settings.Items);
  if (list->count() > 0) list->setCurrentRow(0);
  // As many rows as there are items, up to six, without a scroll bar for one or two.
  const int rows = std::clamp(static_cast<int>(list->count()), 1, 6);
  list->setFixedHeight(list->sizeHintForRow(0) * rows + 2 * list->frameWidth() + 4);
  list->setMinimumWidth(std::min(list->sizeHintForColumn(0) + 2 * list->frameWidth() + 24, 640));
  layout->addWidget(list);
  auto* buttons = new QDialogButtonBox(&dialog);
  QPushButton* accept = buttons->addButton(settings.AcceptCaption, QDialogButtonBox::AcceptRole);
  buttons->addButton(QDialogButtonBox::Cancel);
  accept->setDefault(true);
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
  return list;
}

std::optional<int> TQtDialogs::ChooseItem(const TChoiceSettings& settings) {
  QDialog dialog(DialogOwner());
  QListWidget* list = ConfigureChoiceDialog(dialog, settings);
  if (dialog.exec() != QDialog::Accepted || list->currentRow() < 0) return std::nullopt;
  return list->currentRow();
}

void TQtDialogs::ShowException(const QString& text) {
  ShowMessage(TMsgKind::Error, QString::fromLatin1(ApplicationTitle), text);
}
