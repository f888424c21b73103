#include "LogView.h"

#include <QTextCursor>
#include <QTextDocument>

TLogView::TLogView(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setUndoRedoEnabled(false);  // the log only grows; an undo history would double it
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setMaximumBlockCount(MaxLines);
  flushTimer_.setSingleShot(true);
  flushTimer_.setInterval(0);
  QObject::connect(&flushTimer_, &QTimer::timeout, this, [this] { Flush(); });
}

void TLogView::AppendLine(const QString& line) {
  if (line.size() > MaxLineLength)
    pending_.append(line.left(MaxLineLength) + QStringLiteral(" ..."));
  else
    pending_.append(line);
  // This one would leave the pane at once when the collected lines go in.
  if (pending_.size() > MaxLines) pending_.removeFirst();
  if (!flushTimer_.isActive()) flushTimer_.start();
}

void TLogView::ClearLog() {
  pending_.clear();
  flushTimer_.stop();
  clear();
  started_ = false;
}

void TLogView::Flush() {
  flushTimer_.stop();
  if (pending_.isEmpty()) return;
  QTextCursor end(document());
  end.movePosition(QTextCursor::End);
  // An empty first line must stay a line of its own, so a block is opened after any
  // earlier line rather than only when the document has text.
  if (started_) end.insertBlock();
  end.insertText(pending_.join(QLatin1Char('\n')));
  pending_.clear();
  started_ = true;
  setTextCursor(end);
  ensureCursorVisible();
}

QString TLogView::Text() {
  Flush();
  return toPlainText();
}

void TLogView::showEvent(QShowEvent* event) {
  Flush();
  QPlainTextEdit::showEvent(event);
  ensureCursorVisible();
}
