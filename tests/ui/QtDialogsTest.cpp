// The Qt side of the dialogs seam: what a person sees in each box and dialog, answered
// by a timer from inside the box's own event loop.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

#include "QtDialogs.h"

namespace {

// Runs answer on the first modal window of type T once it is shown.
template <class T>
void WhenShown(std::function<void(T&)> answer) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
    if (auto* shown = qobject_cast<T*>(QApplication::activeModalWidget())) {
      poll->stop();
      poll->deleteLater();
      answer(*shown);
    }
  });
  poll->start(10);
}

struct TSeenBox {
  QMessageBox::Icon Icon = QMessageBox::NoIcon;
  QString Title;
  QString Text;
  int Buttons = 0;
  bool OkOnly = false;
};

TSeenBox Look(QMessageBox& box) {
  TSeenBox seen;
  seen.Icon = box.icon();
  seen.Title = box.windowTitle();
  seen.Text = box.text();
  seen.Buttons = static_cast<int>(box.buttons().size());
  seen.OkOnly = box.standardButtons() == QMessageBox::Ok;
  return seen;
}

TEST(QtDialogs, MessageBoxesHaveTheirIconTitleTextAndOneOkButton) {
  struct TCase {
    TMsgKind Kind;
    const char* Title;
    const char* Text;
    QMessageBox::Icon Icon;
  };
  const TCase cases[] = {
      {TMsgKind::Error, "Error", "+CME ERROR 21: Invalid index.", QMessageBox::Critical},
      {TMsgKind::Warning, "Warning", "Groups data inconsistent!", QMessageBox::Warning},
      {TMsgKind::Information, "Add to phone", "Added 2 contacts.", QMessageBox::Information},
      // Text that looks like markup is shown as it is.
      {TMsgKind::Error, "Error", "<b>not bold</b>", QMessageBox::Critical},
  };
  TQtDialogs dialogs;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    TSeenBox seen;
    WhenShown<QMessageBox>([&](QMessageBox& box) {
      seen = Look(box);
      box.button(QMessageBox::Ok)->click();
    });
    dialogs.ShowMessage(c.Kind, QString::fromLatin1(c.Title), QString::fromLatin1(c.Text));
    EXPECT_EQ(seen.Icon, c.Icon);
    EXPECT_EQ(seen.Title, QString::fromLatin1(c.Title));
    EXPECT_EQ(seen.Text, QString::fromLatin1(c.Text));
    EXPECT_EQ(seen.Buttons, 1);
    EXPECT_TRUE(seen.OkOnly);
  }

  // The exception report: an error box titled with the application's name.
  TSeenBox seen;
  WhenShown<QMessageBox>([&](QMessageBox& box) {
    seen = Look(box);
    QTest::keyClick(&box, Qt::Key_Escape);  // Escape answers it too
  });
  dialogs.ShowException(QStringLiteral("Specified device not found (COM4)."));
  EXPECT_EQ(seen.Icon, QMessageBox::Critical);
  EXPECT_EQ(seen.Title, QStringLiteral("ZARVO"));
  EXPECT_EQ(seen.Text, QStringLiteral("Specified device not found (COM4)."));
  EXPECT_TRUE(seen.OkOnly);
}

TEST(QtDialogs, BoxesAreNeverOwnedByADisabledWindow) {
  QWidget main;
  main.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
  EXPECT_EQ(DialogOwner(), &main);

  // During a read the main window is disabled and the progress window is on top.
  main.setEnabled(false);
  EXPECT_NE(DialogOwner(), &main);
  QWidget onTop(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint);
  onTop.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&onTop));
  EXPECT_EQ(DialogOwner(), &onTop);

  // A box shown then can be answered.
  TQtDialogs dialogs;
  bool enabled = false;
  WhenShown<QMessageBox>([&](QMessageBox& box) {
    enabled = box.isEnabled();
    box.accept();
  });
  dialogs.ShowMessage(TMsgKind::Error, QStringLiteral("Error"), QStringLiteral("x"));
  EXPECT_TRUE(enabled);
}

TFileDialogSettings Settings(const char* title) {
  return {QString::fromLatin1(title), QStringLiteral("S40 backup file (*.zrv)"), QStringLiteral("zrv"),
          QStringLiteral("*.zrv")};
}

TEST(QtDialogs, FileDialogsCarryTheBackupSettings) {
  for (const bool save : {false, true}) {
    SCOPED_TRACE(save ? "save" : "open");
    QFileDialog dialog;
    ConfigureFileDialog(dialog, Settings(save ? "Save backup" : "Load backup"), save);
    EXPECT_EQ(dialog.windowTitle(), QString::fromLatin1(save ? "Save backup" : "Load backup"));
    EXPECT_EQ(dialog.nameFilters(), QStringList{QStringLiteral("S40 backup file (*.zrv)")});
    EXPECT_EQ(dialog.defaultSuffix(), QStringLiteral("zrv"));
    EXPECT_EQ(dialog.acceptMode(), save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    EXPECT_FALSE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text(), QStringLiteral("*.zrv"));
  }

  // The two-part form "text|pattern" gives the same one filter.
  QFileDialog dialog;
  TFileDialogSettings twoPart = Settings("Load backup");
  twoPart.Filter = QStringLiteral("S40 backup file (*.zrv)|*.zrv");
  ConfigureFileDialog(dialog, twoPart, false);
  EXPECT_EQ(dialog.nameFilters(), QStringList{QStringLiteral("S40 backup file (*.zrv)")});
}

TEST(QtDialogs, FileDialogsReturnTheChosenFileOrNothing) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString existing = dir.filePath(QStringLiteral("phone.zrv"));
  {
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  TQtDialogs dialogs;

  WhenShown<QFileDialog>([&](QFileDialog& d) {
    d.selectFile(existing);
    static_cast<QDialog&>(d).accept();  // as the dialog's own button does
  });
  EXPECT_EQ(dialogs.OpenFile(Settings("Load backup")), std::optional<QString>(existing));

  WhenShown<QFileDialog>([](QFileDialog& d) { d.reject(); });
  EXPECT_EQ(dialogs.OpenFile(Settings("Load backup")), std::nullopt);

  // A typed name without extension gets ".zrv".
  WhenShown<QFileDialog>([&](QFileDialog& d) {
    d.setDirectory(dir.path());
    d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("new"));
    static_cast<QDialog&>(d).accept();  // as the dialog's own button does
  });
  EXPECT_EQ(dialogs.SaveFile(Settings("Save backup")), std::optional<QString>(dir.filePath(QStringLiteral("new.zrv"))));

  WhenShown<QFileDialog>([](QFileDialog& d) { d.reject(); });
  EXPECT_EQ(dialogs.SaveFile(Settings("Save backup")), std::nullopt);
}

TEST(QtDialogs, AChoiceShowsItsTextItemsAndButtonsAndReturnsTheChosenItemOrNothing) {
  const TChoiceSettings settings{
      QStringLiteral("Link COM4"),
      QStringLiteral("COM4 stands for /dev/ttyS3, which does not exist.\nUSB serial cables were found. Choose the "
                     "phone's, and COM4 will be linked to it.\nThe link is kept as ~/.config/zarvo/ports/COM4."),
      {QStringLiteral("usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0 (/dev/ttyUSB0, USB serial adapter)"),
       QStringLiteral("/dev/ttyACM0 (USB modem-class device)")},
      QStringLiteral("&Link")};
  struct TCase {
    const char* Name;
    int Row;         // chosen before the button, -1 for Cancel
    std::optional<int> Expected;
  };
  const TCase cases[] = {{"the first as offered", 0, 0}, {"the second", 1, 1}, {"Cancel", -1, std::nullopt}};
  TQtDialogs dialogs;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    QString title, text;
    QStringList buttons;
    int firstRow = -1;
    WhenShown<QDialog>([&](QDialog& d) {
      title = d.windowTitle();
      text = d.findChild<QLabel*>()->text();
      auto* list = d.findChild<QListWidget*>();
      firstRow = list->currentRow();
      for (QAbstractButton* b : d.findChild<QDialogButtonBox*>()->buttons()) buttons << b->text();
      if (c.Row < 0) {
        d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
        return;
      }
      list->setCurrentRow(c.Row);
      for (QAbstractButton* b : d.findChild<QDialogButtonBox*>()->buttons())
        if (d.findChild<QDialogButtonBox*>()->buttonRole(b) == QDialogButtonBox::AcceptRole) b->click();
    });
    EXPECT_EQ(dialogs.ChooseItem(settings), c.Expected);
    EXPECT_EQ(title, settings.Title);
    EXPECT_EQ(text, settings.Text);
    EXPECT_EQ(firstRow, 0);
    EXPECT_TRUE(buttons.contains(QStringLiteral("&Link"))) << buttons.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(buttons.size(), 2);
  }
}

}  // namespace
