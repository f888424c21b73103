#pragma once
// TLogView: the log pane reLog, a read-only plain-text pane that only ever grows at its
// end, with the caret kept at the end and the end kept in view.
//
// Lines are collected and put into the document in batches: one insertion per batch
// costs about what one line alone would, so a read that logs every byte stays cheap
// however long the log grows. A batch goes in when it is full, when the window next
// processes its messages (before anything is painted), when the pane is shown, and
// whenever its text is asked for through Text(). Window thread only.

#include <QPlainTextEdit>
#include <QString>
#include <QStringList>
#include <QTimer>

class TLogView : public QPlainTextEdit {
 public:
  explicit TLogView(QWidget* parent);

  // One line (already split: it holds no line break) at the end of the log.
  void AppendLine(const QString& line);
  // Empties the log, lines not yet shown included.
  void ClearLog();
  // Puts the collected lines into the document now.
  void Flush();
  // The whole log, one "\n" between lines.
  QString Text();

  static constexpr int MaxBatch = 128;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QStringList pending_;
  QTimer flushTimer_;
  bool started_ = false;  // the document holds at least one line (it may be empty)
};
