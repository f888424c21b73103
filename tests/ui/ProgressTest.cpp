// The progress window: what the read and the restore see of it, and that every way of
// closing it hides it and sets the stop flag.
#include <QApplication>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include "Progress.h"

namespace {

struct TKindCase {
  TProgressKind Kind;
  const char* Unknown;
  const char* ThreeOfTwelve;
};

constexpr TKindCase kKinds[] = {
    {TProgressKind::Groups, "0 of ? groups.", "3 of 12 groups."},
    {TProgressKind::Contacts, "0 of ? contacts.", "3 of 12 contacts."},
    {TProgressKind::Events, "0 of ? events.", "3 of 12 events."},
    {TProgressKind::RingTones, "0 of ? custom ring tones.", "3 of 12 custom ring tones."},
};

// A bar that shows nothing: at its minimum and not Qt's busy animation.
bool EmptyBar(const QProgressBar& bar) {
  return bar.maximum() > bar.minimum() && bar.value() == bar.minimum();
}

TEST(ProgressWindow, LabelsAndBarsFollowTheOperation) {
  bool stop = false;
  TfrmProgress progress(stop);
  progress.SetCaption(QStringLiteral("Reading..."));
  progress.ResetBars();
  EXPECT_EQ(progress.windowTitle(), QStringLiteral("Reading..."));
  for (const TKindCase& c : kKinds) {
    SCOPED_TRACE(c.Unknown);
    EXPECT_EQ(progress.Label(c.Kind).text(), QString::fromLatin1(c.Unknown));
    EXPECT_TRUE(EmptyBar(progress.Bar(c.Kind)));
  }

  for (const TKindCase& c : kKinds) {
    SCOPED_TRACE(c.ThreeOfTwelve);
    progress.SetTotal(c.Kind, 12);
    EXPECT_EQ(progress.Bar(c.Kind).maximum(), 12);
    EXPECT_EQ(progress.Bar(c.Kind).value(), 0);
    for (int done = 1; done <= 3; ++done) progress.StepDone(c.Kind, done, 12);
    EXPECT_EQ(progress.Label(c.Kind).text(), QString::fromLatin1(c.ThreeOfTwelve));
    EXPECT_EQ(progress.Bar(c.Kind).value(), 3);
  }

  // A kind without entries: "0 of 0 events." over an empty bar, not a busy one.
  progress.SetTotal(TProgressKind::Events, 0);
  EXPECT_EQ(progress.lblEvents->text(), QStringLiteral("0 of 0 events."));
  EXPECT_TRUE(EmptyBar(*progress.pbEvents));

  // The next operation starts from empty bars again, whatever the last one left.
  progress.ResetBars();
  EXPECT_TRUE(EmptyBar(*progress.pbGroups));
  EXPECT_EQ(progress.lblContacts->text(), QStringLiteral("0 of ? contacts."));

  // More steps than the total keep the bar full rather than wrapping it.
  progress.SetTotal(TProgressKind::Groups, 1);
  progress.StepDone(TProgressKind::Groups, 1, 1);
  progress.StepDone(TProgressKind::Groups, 2, 1);
  EXPECT_EQ(progress.pbGroups->value(), 1);
  EXPECT_FALSE(stop) << "nothing but a close sets the flag";
}

TEST(ProgressWindow, EveryCloseHidesItAndSetsStopRequested) {
  struct TWay {
    const char* Name;
    void (*Close)(TfrmProgress&);
  };
  const TWay ways[] = {
      {"Cancel button", [](TfrmProgress& p) { p.btnCancel->click(); }},
      {"Cancel by its access key",
       [](TfrmProgress& p) {
         QTest::keyClick(p.windowHandle(), Qt::Key_C, Qt::AltModifier);
         // A shortcut presses the button visibly first; the click follows shortly.
         EXPECT_TRUE(QTest::qWaitFor([&p] { return !p.isVisible(); }, 2000));
       }},
      {"close box", [](TfrmProgress& p) { p.windowHandle()->close(); }},
      {"the operation's close", [](TfrmProgress& p) { p.CloseProgress(); }},
  };
  for (const TWay& way : ways) {
    SCOPED_TRACE(way.Name);
    bool stop = false;
    TfrmProgress progress(stop);
    progress.ShowProgress();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&progress));
    EXPECT_TRUE(progress.isVisible());
    way.Close(progress);
    EXPECT_FALSE(progress.isVisible());
    EXPECT_TRUE(stop);

    // Hidden, not destroyed: the next operation shows it again, Cancel focused.
    stop = false;
    progress.ShowProgress();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&progress));
    EXPECT_TRUE(progress.isVisible());
    EXPECT_EQ(QApplication::focusWidget(), progress.btnCancel);
    EXPECT_FALSE(stop);
    progress.CloseProgress();
  }

  // Closing it while it is hidden still counts as a close.
  bool stop = false;
  TfrmProgress hidden(stop);
  hidden.CloseProgress();
  EXPECT_TRUE(stop);
}

TEST(ProgressWindow, DesignOfTheWindow) {
  bool stop = false;
  TfrmProgress progress(stop);
  EXPECT_EQ(progress.size(), QSize(209, 241));
  EXPECT_EQ(progress.minimumSize(), progress.maximumSize()) << "fixed size";
  const Qt::WindowFlags flags = progress.windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_FALSE(progress.isVisible()) << "created hidden";

  // The hourglass over the window, its bars and labels; the arrow over Cancel.
  EXPECT_EQ(progress.cursor().shape(), Qt::WaitCursor);
  EXPECT_EQ(progress.pbRingTones->cursor().shape(), Qt::WaitCursor);
  EXPECT_EQ(progress.lblGroups->cursor().shape(), Qt::WaitCursor);
  EXPECT_EQ(progress.btnCancel->cursor().shape(), Qt::ArrowCursor);

  // The longest label text fits its label, so nothing is cut off.
  const QString longest = ProgressText(TProgressKind::RingTones, 9999, 9999);
  EXPECT_LE(progress.lblRingTones->fontMetrics().horizontalAdvance(longest), progress.lblRingTones->width());
  EXPECT_LE(progress.lblRingTones->fontMetrics().height(), progress.lblRingTones->height() + 1);
}

}  // namespace
