#pragma once
// The fault matrix: every fault of the phone, the line and the port, met during a read
// and during a restore, over the real windows, the real serial component and the
// simulated phone. Each row is a test of its own (ctest runs them side by side); it
// checks what the user is shown, how soon after the fault its exchange or the whole
// operation ends, the controls afterwards, that a following Read works once the fault
// is gone, and that nothing already read, saved or stored is lost. Every row reports
// one line of the printed matrix (FaultMatrixTable.h): this process prints the table of
// the rows it ran, and the ctest step "faultmatrix_table" the table of all of them.
//
// The restore's three-minute answer time-out is shortened for the matrix through the
// main window's SetAnswerTimeout seam (TTestMain in AppHarness.h): the rows check that
// the restore asks for 180000 ms and that the exchange then keeps to the interval set.

#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "AppHarness.h"
#include "FaultMatrixTable.h"

using TMatrixClock = std::chrono::steady_clock;

// The answer time-outs the rows run with: the read's own, and the restore's shortened.
inline constexpr int ReadTimeoutMs = 5000;
inline constexpr int RestoreTimeoutMs = 2500;

// Unsolicited result codes the phone sends behind every answer: a call, a network
// indicator, a text message stored and one shown with its text, "OK".
inline const std::string kUnsolicited =
    "RING\r\n\r\n+CIEV: 2,3\r\n\r\n+CMTI: \"SM\",1\r\n\r\n+CMT: \"+491701234567\",,\"26/01/05,10:00:00+04\"\r\nOK";

// Who this process is, for the rows whose outcome depends on it (the lock must stop root).
inline std::string AsWhom() { return ::geteuid() == 0 ? "root" : "uid " + std::to_string(::geteuid()); }

// Undoes a pulled cable: the phone's side of the line is back and seen to be.
void PlugBackIn(TPhoneSimulator& phone);

// Keeps the row for the table printed at the end of the run and for the collected table
// of a ctest run, and prints it now.
void RecordMatrixRow(const TMatrixRow& row);

// A message box or an exception report, as the user sees it.
struct TShown {
  bool Exception = false;
  TMsgKind Kind = TMsgKind::Error;
  std::string Title;
  std::string Text;
  bool operator==(const TShown&) const = default;
};
TShown ErrorBox(const std::string& text);
TShown WarningBox(const std::string& text);
TShown Report(const std::string& text);
void PrintTo(const TShown& shown, std::ostream* os);

// Entries in failure messages: the identifier and the name.
void PrintTo(const TGroup& g, std::ostream* os);
void PrintTo(const TContact& c, std::ostream* os);
void PrintTo(const TEvent& e, std::ostream* os);
void PrintTo(const TRingTone& r, std::ostream* os);

// Watches the phone's command log from a thread of its own: notes when the fault's
// command arrives and when the next one follows, arms rules and runs actions once a
// command has been seen a number of times. The phone takes its rules when a command
// arrives, so a rule armed on seeing command n applies from the next command on; one
// armed on seeing a store command applies to that store's data, which follows at least
// one wait of the exchange (100 ms) later.
class TFaultWatch {
 public:
  explicit TFaultWatch(TPhoneSimulator& phone);
  ~TFaultWatch();
  TFaultWatch(const TFaultWatch&) = delete;
  TFaultWatch& operator=(const TFaultWatch&) = delete;

  // The fault comes with the occurrence-th command (counted from now) that begins with
  // prefix; with data, with the data of that store command.
  void MarkAt(std::string prefix, int occurrence = 1, bool data = false);
  // The fault is there from now on (the port rows).
  void MarkNow();
  void ArmAfter(std::string prefix, int seen, TFault fault);
  void RunAfter(std::string prefix, int seen, std::function<void()> action);

  // Seconds from the fault until the next command arrived or until end, whichever came
  // first; -1 when the fault never came.
  double Seconds(TMatrixClock::time_point end) const;
  // Index in the phone's command log of the command the fault came with; -1 when none.
  long FaultIndex() const;
  std::size_t Baseline() const { return baseline_; }

 private:
  struct TTrigger {
    std::string Prefix;
    int Seen = 0;
    int Count = 0;
    std::function<void()> Action;
  };
  void Run();
  void Poll();

  TPhoneSimulator& phone_;
  std::size_t baseline_;
  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  bool stop_ = false;
  std::size_t scanned_;
  std::vector<TTrigger> triggers_;
  std::string markPrefix_;
  int markOccurrence_ = 0, markCount_ = 0;
  bool markData_ = false;
  long markIndex_ = -1;  // the command (or data) of the fault, once seen
  std::optional<TMatrixClock::time_point> faultAt_, nextAt_;
  std::thread thread_;
};

// What a second ZARVO reported for one Read.
struct TZarvoReport {
  std::vector<TShown> Shown;
  bool Read = false, Exit = false, Ports = false, Window = false, Save = false, Load = false;
  bool ProgressShown = true, PortOpen = false;
  double Seconds = -1;
};

// A second ZARVO (FaultMatrixZarvo.cpp) in a process of its own, with a port map of its
// own whose COM4 is the given device; optionally as the user nobody (uid 65534).
class TSecondZarvo {
 public:
  TSecondZarvo(const std::string& device, bool asNobody);
  ~TSecondZarvo();
  TSecondZarvo(const TSecondZarvo&) = delete;
  TSecondZarvo& operator=(const TSecondZarvo&) = delete;

  // Empty once the program runs and waits for commands; otherwise why it does not.
  const std::string& Failure() const { return failure_; }
  bool CouldNotDropPrivileges() const { return noSetuid_; }
  // The path of its COM4 link, as its messages name it.
  const std::string& PortLink() const { return portLink_; }
  // Presses Read ("read"); any thread.
  void Send(const std::string& line);
  // The report of the command sent before; empty when none came in time.
  std::optional<TZarvoReport> Wait(int timeoutMs);
  std::optional<TZarvoReport> Run(const std::string& line, int timeoutMs) {
    Send(line);
    return Wait(timeoutMs);
  }

 private:
  std::optional<std::string> NextLine(TMatrixClock::time_point deadline);
  void ReadOutput();

  pid_t pid_ = -1;
  int toChild_ = -1, fromChild_ = -1;
  std::string copyDir_;
  std::string failure_;
  bool noSetuid_ = false;
  std::string portLink_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::string> lines_;
  bool ended_ = false;
  std::thread reader_;
};

// One step of a row: the fault, and what must follow it.
struct TStep {
  std::string Name = {};
  // Sets the fault: rules and switches on the phone, marks and arms on the watch.
  std::function<void(TPhoneSimulator&, TFaultWatch&)> Arm = {};
  std::vector<TShown> Shown = {};
  bool Succeeds = false;  // the operation runs through (a read's success branch, a restore's completion)
  bool PortOpen = true;   // the port is still open afterwards
  int NodelessKept = 0;   // entries kept in the lists without a tree node (a bad ring tone record)
  bool MayHoldUnanswered = false;  // the phone stored an entry whose answer never came
  std::function<void(TPhoneSimulator&)> Verify = {};  // checks of the row's own, after the step
};

class FaultMatrix : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Names the row and its limit: the phase's answer time-out plus one second.
  void Row(int order, std::string fault, std::string phase);

  // Every row's phone: 2 groups, 4 contacts (notes, a folded address, Latin-1), 2 events,
  // 2 custom ring tones (one with the bytes CR LF ">" in its record).
  static TSimContent Content();
  // What a read of the phone must give: its entries through the program's decoders.
  static TEntryLists Expected(TPhoneSimulator& phone);
  // What Load files from the backup file.
  static TEntryLists Filed(const QString& file);

  // A read with the fault of each step in turn (the first step's read is the window's
  // first), then the fault taken away and a Read that must work.
  void RunReadRow(const std::vector<TStep>& steps, TSimContent content = Content());
  // For each step: an empty phone read, then Load of the backup file with the fault;
  // after the last step the fault is taken away and a Read must show what was stored.
  void RunRestoreRow(const std::vector<TStep>& steps, const std::string& fileText = {});

  // The checks; each notes its finding in the row and passes on GoogleTest's verdict.
  void CheckShown(const std::vector<TShown>& shown, const std::vector<TShown>& expected);
  void CheckSeconds(double seconds);
  // Read, Exit, the port list and the window enabled, the progress window closed, the
  // first node selected; Save, Load and the port as given.
  void CheckControls(TApp& app, bool saveExpected, bool loadExpected, bool portOpen);
  void CheckNextRead(TApp& app, TExceptionRecorder& report, TPhoneSimulator& phone);
  // The read's lists: every record fetched before the fault as the phone holds it, the
  // others as the listing gave them; the tree has a node for each kept one.
  void ExpectReadKept(TApp& app, const TEntryLists& expected, std::size_t fetched, int nodeless);
  // The restore's lists: the file's entries, those the phone accepted with its
  // identifiers, and the phone holding exactly those (and at most one unanswered).
  void ExpectRestoreKept(const TEntryLists& lists, const TEntryLists& filed, TPhoneSimulator& phone,
                         bool mayHoldUnanswered);

  // What the window showed since the last call (message boxes and exception reports).
  static std::vector<TShown> TakeShown(TApp& app, TExceptionRecorder& report);
  static void ClearFaults(TPhoneSimulator& phone);
  // The exact text of the serial component's refusal to open a device, and on the box's
  // next line the hint the read adds to it.
  static std::string CantOpen(const std::string& name, const std::string& link, const std::string& device, int error);
  static std::string NotFound(const std::string& name, const std::string& link, const std::string& device);

  // The rows' note of what the user saw, with the private folders shortened.
  std::string Describe(const std::vector<TShown>& shown) const;

  TPorts ports;
  TMatrixRow row_;
  // Set by a row that undoes its fault itself before the next read.
  std::function<void(TPhoneSimulator&)> undo_;
};

// Runs f and tells whether it added no failure to the running test.
template <class F>
bool Checked(F&& f) {
  const ::testing::TestResult* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
  const int before = result->total_part_count();
  f();
  return result->total_part_count() == before;
}
