#pragma once
// TLogView: the log pane reLog, a read-only plain-text pane that only ever grows at its
// end, with the caret kept at the end and the end kept in view.
//
// Lines are collected and put into the document in one insertion when the window next
// processes its messages (before anything is painted), when the pane is shown, and
// whenever its text is asked for through Text(): one insertion costs about what one line
// alone would, so a read that logs every byte stays cheap however long the log grows.
//
// The pane keeps the latest MaxLines lines; older ones leave it from the top, and lines
// that would leave it before they were ever shown are dropped while still collected, so
// a burst of millions of lines (the parser's findings over a file of millions of garbage
// lines, in one go without messages processed) costs no more than MaxLines do. A line
// longer than MaxLineLength characters is cut there and marked " ...": nothing the phone
// or a backup file holds comes near it, but one line of megabytes would take the pane
// seconds to lay out. Window thread only.

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
  // The whole log (its latest MaxLines lines), one "\n" between lines.
  QString Text();

  static constexpr int MaxLines = 100000;
  static constexpr int MaxLineLength = 16384;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QStringList pending_;
  QTimer flushTimer_;
  bool started_ = false;  // the document holds at least one line (it may be empty)
};
