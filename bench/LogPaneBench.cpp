// The log pane's cost: 100,000 lines appended through the main window's log interface
// (InsertLine, as the exchange and the parser write them), once with the pane hidden
// and once shown, the window offscreen. The window processes its messages after every
// 100 lines, as the exchange's wait would between pieces, so the lines reach the
// document and a shown pane is painted along the way. Prints the total time (wall and
// the window thread's processor time) and the cost per line over the first and the last
// 10,000 lines: a pane whose cost grows with its length would show it there. The cost
// per line is processor time, which other work on the machine hardly disturbs.
//
//   bench_logpane
#include <QApplication>
#include <QCoreApplication>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "Main.h"

namespace {

using TClock = std::chrono::steady_clock;
constexpr int kLines = 100000;
constexpr int kChunk = 1000;        // lines per timing
constexpr int kEdge = 10;           // chunks at the start and at the end compared
constexpr int kLinesPerPass = 100;  // lines between two passes of the message loop

// Lines as a read writes them: commands, received pieces, data bytes, parser findings.
std::vector<std::string> SampleLines() {
  std::vector<std::string> lines;
  for (int i = 0; i < 64; ++i) {
    // Built by appending: g++ 12 warns falsely (-Wrestrict) on "..." + std::string&&.
    std::string line;
    switch (i % 4) {
      case 0: line = "AT+C#SGET=0,"; line += std::to_string(419889153 + i); break;
      case 1: line = "+C#SGET: 0,"; line += std::to_string(419889153 + i); line += "(0)(0)BEGIN:VCARD"; break;
      case 2: line = "["; line += std::to_string(i * 3 % 256); line += ']'; break;
      default:
        line = "Line 0";
        line += std::to_string(100 + i);
        line += ": Property \"TEL;CELL\" = \"+49171";
        line += std::to_string(1000000 + i);
        line += '"';
    }
    lines.push_back(line);
  }
  return lines;
}

double ThreadCpu() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct TRun {
  double Total = 0;
  double Cpu = 0;  // the window thread's processor time for the same
  double StartPerLine = 0;  // seconds of processor time
  double EndPerLine = 0;
  int Blocks = 0;
};

TRun Append(bool shown) {
  TBenchDialogs dialogs;
  TfrmMain window(dialogs);
  window.show();
  window.reLog->setVisible(shown);
  QCoreApplication::processEvents();
  const std::vector<std::string> lines = SampleLines();
  ILogPane& pane = window;

  std::vector<double> chunks;
  const double cpuStart = ThreadCpu();
  const auto start = TClock::now();
  double chunkStart = cpuStart;
  for (int i = 1; i <= kLines; ++i) {
    pane.InsertLine(lines[static_cast<std::size_t>(i) % lines.size()]);
    if (i % kLinesPerPass == 0) QCoreApplication::processEvents();
    if (i % kChunk == 0) {
      const double now = ThreadCpu();
      chunks.push_back(now - chunkStart);
      chunkStart = now;
    }
  }
  TRun run;
  run.Total = std::chrono::duration<double>(TClock::now() - start).count();
  run.Cpu = ThreadCpu() - cpuStart;
  for (int k = 0; k < kEdge; ++k) {
    run.StartPerLine += chunks[static_cast<std::size_t>(k)] / (kEdge * kChunk);
    run.EndPerLine += chunks[chunks.size() - 1 - static_cast<std::size_t>(k)] / (kEdge * kChunk);
  }
  run.Blocks = window.reLog->document()->blockCount();
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  UseQuietOffscreenPlatform();
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  bool ok = true;
  std::printf("%d lines through InsertLine, messages processed every %d lines\n", kLines, kLinesPerPass);
  for (const bool shown : {false, true}) {
    const TRun r = Append(shown);
    std::printf("pane %-6s  total %.3f s (cpu %.3f s)  cpu per line: first %d lines %.2f us, last %d lines %.2f us, end/start %.2f\n",
                shown ? "shown" : "hidden", r.Total, r.Cpu, kEdge * kChunk, r.StartPerLine * 1e6, kEdge * kChunk,
                r.EndPerLine * 1e6, r.EndPerLine / r.StartPerLine);
    if (r.Blocks != kLines) {
      std::fprintf(stderr, "bench_logpane: the pane holds %d lines, not %d\n", r.Blocks, kLines);
      ok = false;
    }
  }
  return ok ? 0 : 1;
}
