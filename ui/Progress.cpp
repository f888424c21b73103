#include "Progress.h"

#include <algorithm>

#include "WindowDesign.h"

namespace {

// Endings of the labels, in the window's order top to bottom.
constexpr const char* kEndings[] = {" groups.", " contacts.", " events.", " custom ring tones."};

// Names for assistive tools, in the same order.
constexpr const char* kKindNames[] = {"Groups", "Contacts", "Events", "Custom ring tones"};

constexpr int kClientWidth = 209;
constexpr int kClientHeight = 241;

int Index(TProgressKind kind) { return static_cast<int>(kind); }

}  // namespace

QString ProgressText(TProgressKind kind, int done, int total) {
  const QString totalText = total < 0 ? QStringLiteral("?") : QString::number(total);
  return QString::number(done) + QStringLiteral(" of ") + totalText +
         QString::fromLatin1(kEndings[Index(kind)]);
}

TfrmProgress::TfrmProgress(bool& stopRequested) : stopRequested_(stopRequested) {
  setObjectName(QStringLiteral("frmProgress"));
  setFont(DesignFont());
  SetFixedWindow(*this, kClientWidth, kClientHeight, Qt::Tool | Qt::WindowStaysOnTopHint);
  // Closing this window must never end the application; only the main window does.
  setAttribute(Qt::WA_QuitOnClose, false);
  setCursor(Qt::WaitCursor);

  const char* barNames[] = {"pbGroups", "pbContacts", "pbEvents", "pbRingTones"};
  const char* labelNames[] = {"lblGroups", "lblContacts", "lblEvents", "lblRingTones"};
  for (int i = 0; i < 4; ++i) {
    auto* bar = new QProgressBar(this);
    bar->setObjectName(QString::fromLatin1(barNames[i]));
    bar->setAccessibleName(QString::fromLatin1(kKindNames[i]));
    bar->setRange(0, 100);
    bar->setValue(100);
    bar->setTextVisible(false);
    Place(*bar, 8, 16 + 48 * i, 193, 16);
    bars_[i] = bar;

    auto* label = new QLabel(QString::fromLatin1(labelNames[i]), this);
    label->setObjectName(QString::fromLatin1(labelNames[i]));
    label->setAlignment(Qt::AlignCenter);
    label->setTextFormat(Qt::PlainText);
    Place(*label, 8, 40 + 48 * i, 193, 13);
    labels_[i] = label;
  }
  pbGroups = bars_[0];
  pbContacts = bars_[1];
  pbEvents = bars_[2];
  pbRingTones = bars_[3];
  lblGroups = labels_[0];
  lblContacts = labels_[1];
  lblEvents = labels_[2];
  lblRingTones = labels_[3];

  btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnCancel->setAccessibleName(QStringLiteral("Cancel"));
  btnCancel->setCursor(Qt::ArrowCursor);
  Place(*btnCancel, 64, 208, 75, 25);
  // The bars take no focus, so Cancel is the first and only stop of the tab order.
  setFocusProxy(btnCancel);
  QObject::connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
  CentreOnScreen(*this);
}

QProgressBar& TfrmProgress::Bar(TProgressKind kind) const { return *bars_[Index(kind)]; }

QLabel& TfrmProgress::Label(TProgressKind kind) const { return *labels_[Index(kind)]; }

void TfrmProgress::SetCaption(const QString& caption) { setWindowTitle(caption); }

void TfrmProgress::ResetBars() {
  for (int i = 0; i < 4; ++i) {
    const auto kind = static_cast<TProgressKind>(i);
    Bar(kind).setValue(Bar(kind).minimum());
    Label(kind).setText(ProgressText(kind, 0, -1));
  }
}

void TfrmProgress::ShowProgress() {
  CentreOnScreen(*this);
  show();
  raise();
  activateWindow();
  btnCancel->setFocus();
}

void TfrmProgress::SetTotal(TProgressKind kind, int n) {
  // A bar whose maximum equals its minimum shows Qt's busy animation; a kind without
  // entries shows an empty bar instead.
  Bar(kind).setRange(0, std::max(n, 1));
  Bar(kind).setValue(0);
  Label(kind).setText(ProgressText(kind, 0, n));
}

void TfrmProgress::StepDone(TProgressKind kind, int done, int n) {
  QProgressBar& bar = Bar(kind);
  bar.setValue(std::min(bar.value() + 1, bar.maximum()));
  Label(kind).setText(ProgressText(kind, done, n));
}

void TfrmProgress::CloseProgress() {
  // close() on a hidden window still runs FormClose, so the flag is set either way.
  close();
}

void TfrmProgress::btnCancelClick() { close(); }

void TfrmProgress::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();  // hidden, not destroyed: the next read or restore shows it again
}

void TfrmProgress::FormClose() { stopRequested_ = true; }
