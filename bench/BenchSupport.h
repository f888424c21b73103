#pragma once
// What the benchmarks that drive the real windows share: dialogs that nobody answers
// (every message is recorded, a file dialog takes the next queued name), the offscreen
// platform chosen before the application exists, and its chatter kept off the output.

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <deque>
#include <optional>
#include <vector>

#include "Dialogs.h"

class TBenchDialogs : public IDialogs {
 public:
  std::vector<QString> Texts;  // every message and exception, "title: text"
  std::deque<QString> Files;   // answers of the next file dialogs; none left is a Cancel

  void ShowMessage(TMsgKind, const QString& title, const QString& text) override {
    Texts.push_back(title + QStringLiteral(": ") + text);
  }
  std::optional<QString> OpenFile(const TFileDialogSettings&) override { return Next(); }
  std::optional<QString> SaveFile(const TFileDialogSettings&) override { return Next(); }
  std::optional<QStringList> OpenFiles(const TFileDialogSettings&) override {
    const std::optional<QString> file = Next();
    if (!file) return std::nullopt;
    return QStringList{*file};
  }
  std::optional<int> ChooseItem(const TChoiceSettings&) override { return std::nullopt; }
  void ShowException(const QString& text) override { Texts.push_back(QStringLiteral("Exception: ") + text); }

 private:
  std::optional<QString> Next() {
    if (Files.empty()) return std::nullopt;
    QString file = Files.front();
    Files.pop_front();
    return file;
  }
};

// Call first in main. The offscreen platform says so whenever a window is raised, and
// Qt notes a missing runtime folder; neither is news in a benchmark.
inline void UseQuietOffscreenPlatform() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains(QLatin1String("does not support raise()")) ||
        text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
      return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
  });
}
