#pragma once
// Where the log lines go: the main window's hidden log pane, or a recorder in tests.

#include <string>
#include <string_view>

class ILogPane {
 public:
  virtual ~ILogPane() = default;
  // Appends one rendered line (8-bit text that may itself hold CR and LF) followed by
  // CR LF at the end of the pane, and scrolls so that the end is visible.
  virtual void InsertLine(const std::string& rendered) = 0;
};

// The lines a rendered line shows as in the pane: CR LF, a lone CR and a lone LF each end
// one, and the text after the last of them is a line too (empty after a final CR LF).
template <class F>
void ForEachLogLine(std::string_view rendered, F&& line) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < rendered.size(); ++i) {
    const char c = rendered[i];
    if (c != '\r' && c != '\n') continue;
    line(rendered.substr(start, i - start));
    if (c == '\r' && i + 1 < rendered.size() && rendered[i + 1] == '\n') ++i;
    start = i + 1;
  }
  line(rendered.substr(start));
}
