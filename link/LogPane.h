#pragma once
// Where the log lines go: the main window's hidden log pane, or a recorder in tests.

#include <string>

class ILogPane {
 public:
  virtual ~ILogPane() = default;
  // Appends one rendered line (8-bit text that may itself hold CR and LF) followed by
  // CR LF at the end of the pane, and scrolls so that the end is visible.
  virtual void InsertLine(const std::string& rendered) = 0;
};
