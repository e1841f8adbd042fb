#pragma once
// A read-only multi-line text box whose contents are a list of lines, as the item list of
// the circulation window needs it: an empty line is still a line, and the line count is
// the number of lines put in, not the number of text blocks shown.
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStringList>

class TVXMemo : public QPlainTextEdit {
  Q_OBJECT
  Q_PROPERTY(QStringList Lines READ lines WRITE setLines)

 public:
  explicit TVXMemo(QWidget* parent = nullptr) : QPlainTextEdit(parent) {}

  const QStringList& lines() const { return lines_; }
  void setLines(const QStringList& lines) {
    lines_ = lines;
    setPlainText(lines_.join('\n'));
  }
  void clearLines() { setLines({}); }
  // Scrolls to the end, so that the last line is in view.
  void showLastLine() {
    moveCursor(QTextCursor::End);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
  }
  int lineCount() const { return int(lines_.size()); }

 private:
  QStringList lines_;
};
