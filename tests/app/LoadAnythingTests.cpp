// Load of anything a file can hold, over the real main window (its log pane included):
// huge lines, NUL bytes, binary garbage, files at and above the size limit. Load never
// crashes, never holds the window for long, and a file no phone could have filled is
// refused with a clear message before it is read.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <random>
#include <string>

#include "AppHarness.h"
#include "LogView.h"

namespace {

// Random bytes without NUL (a NUL ends the text, and the rest would not be looked at).
std::string Garbage(std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(1 + random() % 255);
  return bytes;
}

std::string Repeat(const std::string& unit, std::size_t size) {
  std::string bytes;
  bytes.reserve(size);
  while (bytes.size() + unit.size() <= size) bytes += unit;
  bytes.append(size - bytes.size(), 'x');
  return bytes;
}

class LoadAnything : public ::testing::Test {
 protected:
  void SetUp() override { QApplication::setQuitOnLastWindowClosed(false); }

  QString Write(const char* name, const std::string& bytes) {
    const QString path = dir_.filePath(QString::fromLatin1(name));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    EXPECT_EQ(f.write(bytes.data(), static_cast<qint64>(bytes.size())), static_cast<qint64>(bytes.size()));
    return path;
  }

  // Load of the file as the Load button runs it, with a restore that only notes what it
  // was handed; the time until the window has handled everything the load left for it.
  struct TOutcome {
    std::optional<TLoadCounts> Restored;
    std::vector<QString> Reported;
    qint64 Ms = 0;
  };
  TOutcome Load(TApp& app, const QString& file) {
    TOutcome out;
    TExceptionRecorder report;
    app.Dialogs.FileAnswers.push_back(file);
    QElapsedTimer clock;
    clock.start();
    LoadBackup(app.Main, [&](IMainWindowHost&, const TLoadCounts& counts) { out.Restored = counts; });
    QCoreApplication::processEvents();
    out.Ms = clock.elapsed();
    out.Reported = report.Texts;
    app.ExpectUnlocked();
    return out;
  }

  QTemporaryDir dir_;
};

TEST_F(LoadAnything, HugeLinesNulBytesAndGarbage) {
  const std::string header = "// ZARVO\r\n// x\r\n// This is a generated backup file. Do not edit!\r\n";
  const std::string contact = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;John\r\nTEL;CELL:+491711234567\r\nEND:VCARD\r\n";
  struct TCase {
    const char* Name;
    std::string Bytes;
    std::optional<TLoadCounts> Restored;  // nothing: the parse ended the load
  };
  const std::vector<TCase> cases = {
      {"one line of 10 MB", std::string(10u << 20, 'A'), std::nullopt},
      {"a 10 MB note", header + "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Big\r\nNOTE:" + std::string(10u << 20, 'n') +
                           "\r\nEND:VCARD\r\n",
       TLoadCounts{0, 1, 0, 0}},
      {"a 10 MB property name", header + "BEGIN:VCARD\r\n" + std::string(10u << 20, 'P') + "\r\nEND:VCARD\r\n",
       TLoadCounts{0, 1, 0, 0}},
      {"a NUL ends the text", header + contact + std::string(1, '\0') + contact + contact, TLoadCounts{0, 1, 0, 0}},
      {"a NUL in the first line", std::string("//\0", 3) + header + contact, std::nullopt},
      {"binary garbage", Garbage(1u << 20, 7), TLoadCounts{}},
      {"garbage around an entry", Garbage(100000, 8) + "\r\n" + contact + Garbage(100000, 9), TLoadCounts{0, 1, 0, 0}},
  };
  TApp app;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TOutcome out = Load(app, Write("file.zrv", c.Bytes));
    EXPECT_EQ(out.Reported, std::vector<QString>{});
    ASSERT_EQ(out.Restored.has_value(), c.Restored.has_value());
    if (c.Restored && c.Restored->Contacts > 0) {
      EXPECT_EQ(*out.Restored, *c.Restored);
    }
    std::printf("%s: %lld ms\n", c.Name, static_cast<long long>(out.Ms));
  }
}

TEST_F(LoadAnything, FilesAtTheSizeLimit) {
  TApp app;
  // The largest file that loads, of garbage; just above it, and far above it, Load
  // refuses before reading. Files of a line for every byte or two, the worst content for
  // the parser's log (a log line per line, the pane keeping the latest 100000), load too;
  // at a fraction of the limit here, since at the limit (8 to 16 million lines) they take
  // minutes in the sanitizer build (4 to 7 s in a release build).
  struct TCase {
    const char* Name;
    std::function<std::string()> Bytes;
    std::size_t SparseSize;  // instead of bytes: a file of this many zero bytes
    bool Loads;
  };
  const std::vector<TCase> cases = {
      {"garbage at the limit", [] { return Garbage(MaxBackupFileSize, 11); }, 0, true},
      {"short lines, 512 KiB", [] { return Repeat("x\n", 512u << 10); }, 0, true},
      {"empty lines, 256 KiB", [] { return std::string(256u << 10, '\n'); }, 0, true},
      {"short lines in a vCard, 512 KiB", [] { return "BEGIN:VCARD\r\n" + Repeat("x\n", (512u << 10) - 13); }, 0, true},
      {"one byte above the limit", [] { return Garbage(MaxBackupFileSize + 1, 12); }, 0, false},
      {"100 MB", nullptr, 100u << 20, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    QString path;
    if (c.Bytes) {
      path = Write("limit.zrv", c.Bytes());
    } else {
      path = dir_.filePath(QStringLiteral("sparse.zrv"));
      QFile f(path);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
      ASSERT_TRUE(f.resize(static_cast<qint64>(c.SparseSize)));
    }
    const TOutcome out = Load(app, path);
    std::printf("%s: %lld ms\n", c.Name, static_cast<long long>(out.Ms));
    if (c.Loads) {
      EXPECT_EQ(out.Reported, std::vector<QString>{});
      EXPECT_TRUE(out.Restored.has_value());
    } else {
      EXPECT_EQ(out.Reported, std::vector<QString>{QStringLiteral("Cannot open file %1: it is larger than 16 MiB, more than any phone holds").arg(path)});
      EXPECT_FALSE(out.Restored.has_value());
    }
  }
}

}  // namespace

namespace {

// The log pane under what a garbage file makes the parser write: it keeps the latest
// lines only, however many come in one go, and cuts a line of megabytes.
TEST(LogPaneLimits, KeepsTheLatestLinesAndCutsHugeOnes) {
  TLogView pane(nullptr);
  const int extra = 2500;
  for (int k = 0; k < TLogView::MaxLines + extra; ++k) pane.AppendLine(QString::number(k));
  QStringList lines = pane.Text().split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), TLogView::MaxLines);
  EXPECT_EQ(lines.front(), QString::number(extra));
  EXPECT_EQ(lines.back(), QString::number(TLogView::MaxLines + extra - 1));

  // Lines that come after a flush push the oldest ones out of the document as well.
  pane.AppendLine(QStringLiteral("after"));
  lines = pane.Text().split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), TLogView::MaxLines);
  EXPECT_EQ(lines.front(), QString::number(extra + 1));
  EXPECT_EQ(lines.back(), QStringLiteral("after"));

  pane.ClearLog();
  const QString atLimit(TLogView::MaxLineLength, QLatin1Char('a'));
  pane.AppendLine(atLimit);
  pane.AppendLine(QString(10 << 20, QLatin1Char('b')));
  pane.AppendLine(QStringLiteral("next"));
  lines = pane.Text().split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines[0], atLimit) << "a line of the limit's length stays whole";
  EXPECT_EQ(lines[1], QString(TLogView::MaxLineLength, QLatin1Char('b')) + QStringLiteral(" ..."));
  EXPECT_EQ(lines[2], QStringLiteral("next"));
}

}  // namespace
