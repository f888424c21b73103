// The fault matrix's machinery: the watch on the phone's command log, the second ZARVO
// process, and the row runners with their checks.
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QThread>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <map>
#include <iostream>
#include <ostream>

#include "FaultMatrix.h"
#include "PhoneProtocol.h"
#include "PortHints.h"
#include "VObjectParser.h"

#ifndef FAULTMATRIX_ROWS_DIR
#error "FAULTMATRIX_ROWS_DIR names the folder of the rows' files"
#endif
#ifndef FAULTMATRIX_ZARVO
#error "FAULTMATRIX_ZARVO names the second ZARVO program"
#endif

extern char** environ;

namespace {

constexpr uid_t kNobody = 65534;

double SecondsBetween(TMatrixClock::time_point from, TMatrixClock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      const char c = text[++i];
      out += c == 'r' ? '\r' : c == 'n' ? '\n' : c;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The program's own decoding of a fetched text: the first record the parser makes.
std::optional<TvObject> Parse(const std::string& text) {
  std::vector<TvObject> objects;
  if (!ParseVObjects(SplitLines(text), objects, [](const std::string&) {}) || objects.empty()) return std::nullopt;
  return objects.front();
}

// A record as the listing leaves it before its fetch: the identifier alone.
template <class T>
bool Bare(const T& record) {
  T bare;
  bare.UID = record.UID;
  return record == bare;
}

// Kept records of one kind: each is bare or equal to the phone's record of its identifier.
template <class T>
std::size_t ExpectKind(const char* kind, const std::vector<T>& kept, const std::vector<T>& expected) {
  std::map<std::int32_t, const T*> byId;
  for (const T& e : expected) byId[e.UID] = &e;
  std::size_t fetched = 0;
  for (const T& r : kept) {
    const auto it = byId.find(r.UID);
    if (it == byId.end()) {
      ADD_FAILURE() << kind << " " << r.UID << " is not on the phone";
      continue;
    }
    if (Bare(r)) continue;
    EXPECT_TRUE(r == *it->second) << kind << " " << r.UID << " was changed on its way";
    ++fetched;
  }
  return fetched;
}

int EntryNodes(QTreeWidgetItem* node) {
  int count = 0;
  for (int i = 0; node && i < node->childCount(); ++i) count += 1 + EntryNodes(node->child(i));
  return count;
}

}  // namespace

void PlugBackIn(TPhoneSimulator& phone) {
  phone.PlugIn();
  EXPECT_TRUE(phone.WaitForCable(true, 5000));
}

// ---------------------------------------------------------------------------------------
// Shown texts

TShown ErrorBox(const std::string& text) { return {false, TMsgKind::Error, "Error", text}; }
TShown WarningBox(const std::string& text) { return {false, TMsgKind::Warning, "Warning", text}; }
TShown Report(const std::string& text) { return {true, TMsgKind::Error, "", text}; }

void PrintTo(const TShown& shown, std::ostream* os) {
  if (shown.Exception)
    *os << "report \"" << shown.Text << '"';
  else
    *os << (shown.Kind == TMsgKind::Error ? "error" : "warning") << " box \"" << shown.Title << "\": \""
        << shown.Text << '"';
}

void PrintTo(const TGroup& g, std::ostream* os) { *os << "group " << g.UID << " \"" << g.Name << '"'; }
void PrintTo(const TContact& c, std::ostream* os) { *os << "contact " << c.UID << " \"" << c.Name << '"'; }
void PrintTo(const TEvent& e, std::ostream* os) { *os << "event " << e.UID << " \"" << e.Description << '"'; }
void PrintTo(const TRingTone& r, std::ostream* os) { *os << "ring tone " << r.UID << " \"" << r.Name << '"'; }

// ---------------------------------------------------------------------------------------
// The rows' table: each row prints itself and leaves its file for the collected table;
// when more than one row ran in this process, the whole table closes the run.

namespace {

std::vector<TMatrixRow>& ProcessRows() {
  static std::vector<TMatrixRow> rows;
  return rows;
}

class TMatrixPrinter : public ::testing::Environment {
 public:
  void TearDown() override {
    if (ProcessRows().size() > 1) std::cout << "\nThe fault matrix\n" << MatrixTable(ProcessRows()) << std::flush;
  }
};
[[maybe_unused]] const auto* const printer = ::testing::AddGlobalTestEnvironment(new TMatrixPrinter);

}  // namespace

void RecordMatrixRow(const TMatrixRow& row) {
  ProcessRows().push_back(row);
  std::cout << MatrixTable({row}) << std::flush;
  EXPECT_TRUE(WriteRowFile(FAULTMATRIX_ROWS_DIR, row)) << "the row's file in " << FAULTMATRIX_ROWS_DIR;
}

// ---------------------------------------------------------------------------------------
// TFaultWatch

TFaultWatch::TFaultWatch(TPhoneSimulator& phone)
    : phone_(phone), baseline_(phone.Commands().size()), scanned_(baseline_) {
  thread_ = std::thread([this] { Run(); });
}

TFaultWatch::~TFaultWatch() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  stopped_.notify_all();
  thread_.join();
}

void TFaultWatch::MarkAt(std::string prefix, int occurrence, bool data) {
  std::lock_guard lock(mutex_);
  markPrefix_ = std::move(prefix);
  markOccurrence_ = occurrence;
  markData_ = data;
}

void TFaultWatch::MarkNow() {
  std::lock_guard lock(mutex_);
  faultAt_ = TMatrixClock::now();
}

void TFaultWatch::ArmAfter(std::string prefix, int seen, TFault fault) {
  RunAfter(std::move(prefix), seen, [this, fault] { phone_.Faults().Add(fault); });
}

void TFaultWatch::RunAfter(std::string prefix, int seen, std::function<void()> action) {
  std::lock_guard lock(mutex_);
  TTrigger trigger{std::move(prefix), seen, 0, std::move(action)};
  if (seen <= 0) {
    trigger.Action();
    return;
  }
  triggers_.push_back(std::move(trigger));
}

void TFaultWatch::Run() {
  std::unique_lock lock(mutex_);
  while (!stop_) {
    lock.unlock();
    Poll();
    lock.lock();
    stopped_.wait_for(lock, std::chrono::milliseconds(2), [this] { return stop_; });
  }
}

void TFaultWatch::Poll() {
  const std::vector<std::string> commands = phone_.Commands();
  const auto now = TMatrixClock::now();
  std::lock_guard lock(mutex_);
  for (; scanned_ < commands.size(); ++scanned_) {
    const std::string& command = commands[scanned_];
    for (TTrigger& t : triggers_)
      if (t.Count < t.Seen && StartsWith(command, t.Prefix) && ++t.Count == t.Seen) t.Action();
    if (markIndex_ < 0 && !markPrefix_.empty() && StartsWith(command, markPrefix_) &&
        ++markCount_ == markOccurrence_)
      markIndex_ = static_cast<long>(scanned_) + (markData_ ? 1 : 0);
  }
  if (markIndex_ >= 0 && !faultAt_ && commands.size() > static_cast<std::size_t>(markIndex_)) faultAt_ = now;
  if (markIndex_ >= 0 && faultAt_ && !nextAt_ && commands.size() > static_cast<std::size_t>(markIndex_) + 1)
    nextAt_ = now;
}

double TFaultWatch::Seconds(TMatrixClock::time_point end) const {
  // The log may have moved on since the last poll.
  const_cast<TFaultWatch*>(this)->Poll();
  std::lock_guard lock(mutex_);
  if (!faultAt_) return -1;
  const auto until = nextAt_ && *nextAt_ < end ? *nextAt_ : end;
  return std::max(0.0, SecondsBetween(*faultAt_, until));
}

long TFaultWatch::FaultIndex() const {
  std::lock_guard lock(mutex_);
  return markIndex_;
}

// ---------------------------------------------------------------------------------------
// TSecondZarvo

TSecondZarvo::TSecondZarvo(const std::string& device, bool asNobody) {
  std::signal(SIGPIPE, SIG_IGN);  // a program that has ended must not end the test with it
  std::string program = FAULTMATRIX_ZARVO;
  if (asNobody) {
    if (::geteuid() != 0) {
      noSetuid_ = true;
      failure_ = "not root: setuid to nobody is impossible";
      return;
    }
    // The build folder may be closed to nobody; a copy in a folder of its own is not.
    char dir[] = "/tmp/zarvo-faultmatrix-XXXXXX";
    if (!::mkdtemp(dir)) {
      failure_ = std::string("mkdtemp: ") + std::strerror(errno);
      return;
    }
    copyDir_ = dir;
    ::chmod(dir, 0755);
    const std::string copy = copyDir_ + "/faultmatrix_zarvo";
    std::error_code error;
    std::filesystem::copy_file(program, copy, error);
    if (error) {
      failure_ = "copy of the program: " + error.message();
      return;
    }
    ::chmod(copy.c_str(), 0755);
    program = copy;
  }

  // Everything the child needs is made before the fork: after it, only exec and the
  // calls that drop privileges.
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (StartsWith(entry, "HOME=") || StartsWith(entry, "TMPDIR=") || StartsWith(entry, "XDG_")) continue;
    env.push_back(entry);
  }
  env.push_back("HOME=/tmp");
  env.push_back("TMPDIR=/tmp");
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string arg0 = program, arg1 = device;
  char* argv[] = {arg0.data(), arg1.data(), nullptr};

  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) {
    failure_ = std::string("pipe: ") + std::strerror(errno);
    return;
  }
  if (::pipe2(out, O_CLOEXEC) != 0) {
    failure_ = std::string("pipe: ") + std::strerror(errno);
    ::close(in[0]);
    ::close(in[1]);
    return;
  }
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    if (asNobody && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(97);
    ::execve(program.c_str(), argv, envp.data());
    ::_exit(98);
  }
  ::close(in[0]);
  ::close(out[1]);
  toChild_ = in[1];
  fromChild_ = out[0];
  if (pid_ < 0) {
    failure_ = std::string("fork: ") + std::strerror(errno);
    return;
  }
  reader_ = std::thread([this] { ReadOutput(); });

  const auto deadline = TMatrixClock::now() + std::chrono::seconds(60);
  while (auto line = NextLine(deadline)) {
    if (StartsWith(*line, "READY ")) {
      portLink_ = line->substr(6);
      return;
    }
  }
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) {
    pid_ = -1;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 97) {
      noSetuid_ = true;
      failure_ = "setuid to nobody failed";
    } else {
      failure_ = "the second ZARVO ended at its start (status " + std::to_string(status) + ")";
    }
  } else {
    failure_ = "the second ZARVO did not start within 60 s";
  }
}

TSecondZarvo::~TSecondZarvo() {
  if (toChild_ >= 0) {
    Send("quit");
    ::close(toChild_);
  }
  if (pid_ > 0) {
    // The window's closing says goodbye to the phone; it is bounded by the exchange.
    const auto deadline = TMatrixClock::now() + std::chrono::seconds(20);
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (TMatrixClock::now() > deadline) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  if (reader_.joinable()) reader_.join();
  if (fromChild_ >= 0) ::close(fromChild_);
  if (!copyDir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(copyDir_, ignored);
  }
}

void TSecondZarvo::ReadOutput() {
  std::string pending;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fromChild_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    pending.append(buffer, static_cast<std::size_t>(n));
    std::size_t end;
    while ((end = pending.find('\n')) != std::string::npos) {
      {
        std::lock_guard lock(mutex_);
        lines_.push_back(pending.substr(0, end));
      }
      changed_.notify_all();
      pending.erase(0, end + 1);
    }
  }
  {
    std::lock_guard lock(mutex_);
    ended_ = true;
  }
  changed_.notify_all();
}

std::optional<std::string> TSecondZarvo::NextLine(TMatrixClock::time_point deadline) {
  std::unique_lock lock(mutex_);
  if (!changed_.wait_until(lock, deadline, [this] { return !lines_.empty() || ended_; })) return std::nullopt;
  if (lines_.empty()) return std::nullopt;
  std::string line = std::move(lines_.front());
  lines_.pop_front();
  return line;
}

void TSecondZarvo::Send(const std::string& line) {
  if (toChild_ < 0) return;
  const std::string text = line + "\n";
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(toChild_, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

std::optional<TZarvoReport> TSecondZarvo::Wait(int timeoutMs) {
  const auto deadline = TMatrixClock::now() + std::chrono::milliseconds(timeoutMs);
  TZarvoReport report;
  while (auto line = NextLine(deadline)) {
    if (StartsWith(*line, "SHOWN ")) {
      // "SHOWN error|Error|text"
      const std::string rest = line->substr(6);
      const std::size_t a = rest.find('|'), b = rest.find('|', a + 1);
      if (a == std::string::npos || b == std::string::npos) continue;
      report.Shown.push_back({false, rest.substr(0, a) == "warning" ? TMsgKind::Warning : TMsgKind::Error,
                              rest.substr(a + 1, b - a - 1), Unescape(rest.substr(b + 1))});
    } else if (StartsWith(*line, "EXCEPTION ")) {
      report.Shown.push_back(Report(Unescape(line->substr(10))));
    } else if (StartsWith(*line, "CONTROLS ")) {
      // read exit ports window save load progress open, as digits
      const std::string d = line->substr(9);
      if (d.size() < 8) continue;
      report.Read = d[0] == '1';
      report.Exit = d[1] == '1';
      report.Ports = d[2] == '1';
      report.Window = d[3] == '1';
      report.Save = d[4] == '1';
      report.Load = d[5] == '1';
      report.ProgressShown = d[6] == '1';
      report.PortOpen = d[7] == '1';
    } else if (StartsWith(*line, "MS ")) {
      report.Seconds = std::stod(line->substr(3)) / 1000.0;
    } else if (*line == "DONE") {
      return report;
    }
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------------------
// The rows

void FaultMatrix::SetUp() {
  QApplication::setQuitOnLastWindowClosed(false);
  std::signal(SIGPIPE, SIG_IGN);
}

void FaultMatrix::TearDown() {
  row_.Passed = !HasFailure();
  if (IsSkipped() && row_.Note.rfind("skipped", 0) != 0) row_.Note = "skipped";
  RecordMatrixRow(row_);
}

void FaultMatrix::Row(int order, std::string fault, std::string phase) {
  row_.Order = order;
  row_.Fault = std::move(fault);
  row_.Phase = std::move(phase);
  row_.Limit = (row_.Phase == "read" ? ReadTimeoutMs : RestoreTimeoutMs) / 1000.0 + 1.0;
}

TSimContent FaultMatrix::Content() { return GeneratedPhone(2, 4, 2, 2, 4); }

TEntryLists FaultMatrix::Expected(TPhoneSimulator& phone) {
  TEntryLists lists;
  for (const TSimEntry& e : phone.Entries(1)) {
    TGroup& g = lists.Groups.emplace_back();
    g.UID = e.Id;
    if (auto v = Parse(e.Data)) FillGroup(g, *v);
  }
  for (const TSimEntry& e : phone.Entries(0)) {
    TContact& c = lists.Contacts.emplace_back();
    c.UID = e.Id;
    if (auto v = Parse(e.Data)) FillContact(c, *v);
  }
  for (const TSimEntry& e : phone.Entries(2)) {
    TEvent& ev = lists.Events.emplace_back();
    ev.UID = e.Id;
    if (auto v = Parse(e.Data)) FillEvent(ev, *v);
  }
  phone.Edit([&](TSimContent& content) {
    for (std::int32_t id : content.FactoryRingTones()) lists.RingTones.emplace_back().UID = id;
  });
  lists.RingTones.resize(FactoryRingToneCount);
  for (const TSimEntry& e : phone.Entries(9)) {
    TRingTone& r = lists.RingTones.emplace_back();
    r.UID = e.Id;
    TRingToneRecordInfo info = DecodeRingToneRecord(e.Data);
    r.Name = info.Name;
    r.Data = info.Data;
  }
  return lists;
}

TEntryLists FaultMatrix::Filed(const QString& file) {
  TEntryLists lists;
  const TLines lines = ReadBackupFile(file);
  ParseVObjects(lines, lists.vObjects, [](const std::string&) {});
  FileParsedEntries(lists);
  return lists;
}

std::vector<TShown> FaultMatrix::TakeShown(TApp& app, TExceptionRecorder& report) {
  std::vector<TShown> shown;
  for (const auto& m : app.Dialogs.Messages)
    shown.push_back({false, m.Kind, Latin1(m.Title), Latin1(m.Text)});
  for (const auto& e : app.Dialogs.Exceptions) shown.push_back(Report(Latin1(e)));
  for (const auto& e : report.Texts) shown.push_back(Report(Latin1(e)));
  app.Dialogs.Messages.clear();
  app.Dialogs.Exceptions.clear();
  report.Texts.clear();
  return shown;
}

std::string FaultMatrix::Describe(const std::vector<TShown>& shown) const {
  if (shown.empty()) return "-";
  const std::string folder = ports.File("").toStdString();
  std::string text;
  for (const TShown& s : shown) {
    if (!text.empty()) text += " / ";
    std::string t = s.Text;
    for (std::size_t at; (at = t.find(folder)) != std::string::npos;) t.replace(at, folder.size(), "<ports>");
    for (std::size_t at; (at = t.find("\r\n")) != std::string::npos;) t.replace(at, 2, " ");
    text += (s.Exception ? "" : s.Kind == TMsgKind::Warning ? "[Warning] " : "[Error] ") + t;
  }
  return text;
}

void FaultMatrix::CheckShown(const std::vector<TShown>& shown, const std::vector<TShown>& expected) {
  const std::string seen = Describe(shown);
  if (row_.Message.empty() || row_.Message == seen)
    row_.Message = seen;
  else if (row_.Message.find(seen) == std::string::npos)
    row_.Message += " | " + seen;
  EXPECT_EQ(shown, expected);
}

void FaultMatrix::CheckSeconds(double seconds) {
  row_.Seconds = std::max(row_.Seconds, seconds);
  EXPECT_GE(seconds, 0.0) << "the fault never came";
  EXPECT_LE(seconds, row_.Limit) << "the operation took too long to end after the fault";
}

void FaultMatrix::CheckControls(TApp& app, bool saveExpected, bool loadExpected, bool portOpen) {
  const bool ok = Checked([&] {
    app.ExpectUnlocked();
    app.ExpectSaveLoad(saveExpected, loadExpected);
    EXPECT_EQ(app.Main.VaComm().IsOpen(), portOpen) << "the port";
    QTreeWidget& tree = app.Main.TreeView();
    if (tree.topLevelItemCount() > 0) {
      EXPECT_EQ(tree.currentItem(), tree.topLevelItem(0)) << "the first node is selected";
    }
  });
  NoteCheck(row_.Controls, ok);
}

void FaultMatrix::CheckNextRead(TApp& app, TExceptionRecorder& report, TPhoneSimulator& phone) {
  const bool ok = Checked([&] {
    ClearFaults(phone);
    if (undo_) undo_(phone);
    TakeShown(app, report);
    app.Read();
    EXPECT_EQ(TakeShown(app, report), std::vector<TShown>{}) << "the next read";
    const TEntryLists expected = Expected(phone);
    const TEntryLists& lists = app.Main.Lists();
    EXPECT_EQ(lists.Groups, expected.Groups);
    EXPECT_EQ(lists.Contacts, expected.Contacts);
    EXPECT_EQ(lists.Events, expected.Events);
    EXPECT_EQ(lists.RingTones, expected.RingTones);
    const bool entries = !expected.Groups.empty() || !expected.Contacts.empty() || !expected.Events.empty() ||
                         expected.RingTones.size() > FactoryRingToneCount;
    app.ExpectUnlocked();
    app.ExpectSaveLoad(entries, !entries);
    EXPECT_TRUE(app.Main.VaComm().IsOpen());
  });
  NoteCheck(row_.NextRead, ok);
}

void FaultMatrix::ExpectReadKept(TApp& app, const TEntryLists& expected, std::size_t fetched, int nodeless) {
  const TEntryLists& lists = app.Main.Lists();
  std::size_t kept = ExpectKind("group", lists.Groups, expected.Groups);
  kept += ExpectKind("contact", lists.Contacts, expected.Contacts);
  kept += ExpectKind("event", lists.Events, expected.Events);
  kept += ExpectKind("ring tone", lists.RingTones, expected.RingTones);
  EXPECT_EQ(kept, fetched) << "every entry fetched before the fault stays in the lists";
  const int nodes =
      EntryNodes(app.Main.Node({TTreeNode::AddressBook})) + EntryNodes(app.Main.Node({TTreeNode::Calendar})) + EntryNodes(app.Main.Node({TTreeNode::RingTones}));
  if (app.Main.Node({TTreeNode::AddressBook})) {
    EXPECT_EQ(nodes, static_cast<int>(fetched) - nodeless) << "the tree keeps a node for each";
  }
}

void FaultMatrix::ExpectRestoreKept(const TEntryLists& lists, const TEntryLists& filed, TPhoneSimulator& phone,
                                    bool mayHoldUnanswered) {
  ASSERT_EQ(lists.Groups.size(), filed.Groups.size());
  ASSERT_EQ(lists.Contacts.size(), filed.Contacts.size());
  ASSERT_EQ(lists.Events.size(), filed.Events.size());
  ASSERT_EQ(lists.RingTones.size(), filed.RingTones.size());
  std::size_t unanswered = 0;
  // The entries the phone accepted carry its identifiers, in storing order; the others
  // are as the file gave them.
  auto kind = [&](const char* name, int type, auto& kept, const auto& file, auto normalise) {
    const std::vector<TSimEntry> stored = phone.Entries(type);
    std::size_t known = 0;
    for (std::size_t i = 0; i < kept.size(); ++i) {
      auto record = kept[i];
      if (record.UID != -1) {
        ASSERT_LT(known, stored.size()) << name << " " << i << " has an identifier the phone does not know";
        EXPECT_EQ(record.UID, stored[known].Id) << name << " " << i;
        ++known;
      }
      normalise(record);
      EXPECT_TRUE(record == file[i]) << name << " " << i << " was changed";
    }
    EXPECT_GE(stored.size(), known);
    unanswered += stored.size() - known;
  };
  kind("group", 1, lists.Groups, filed.Groups, [](TGroup& g) { g.UID = -1; g.NewGroupID = -1; });
  kind("contact", 0, lists.Contacts, filed.Contacts, [](TContact& c) { c.UID = -1; c.NewGroupID = -1; });
  kind("event", 2, lists.Events, filed.Events, [](TEvent& e) { e.UID = -1; });
  EXPECT_EQ(lists.RingTones, filed.RingTones) << "ring tones keep the file's identifiers";
  EXPECT_LE(unanswered, mayHoldUnanswered ? 1u : 0u) << "entries on the phone the program does not know of";
}

void FaultMatrix::ClearFaults(TPhoneSimulator& phone) {
  TSimFaults& f = phone.Faults();
  f.Clear();
  f.SplitEveryByte = false;
  f.WrongIdentity = false;
  f.FactoryRingTones = 42;
  f.ContactsTotalDelta = 0;
  f.GroupsTotalDelta = 0;
  f.EventsTotalDelta = 0;
  f.FoldResultCodes = false;
  f.SetUnsolicited("");
}

std::string FaultMatrix::CantOpen(const std::string& name, const std::string& link, const std::string& device,
                                  int error) {
  return "Can't open specified device " + name + " at " + link + " -> " + device + " (Error " +
         std::to_string(error) + ", " + std::strerror(error) + ")\n" + OpenFailureHint(name, link, error);
}

std::string FaultMatrix::NotFound(const std::string& name, const std::string& link, const std::string& device) {
  return "Specified device not found (" + name + " at " + link + " -> " + device + ").\n" +
         OpenFailureHint(name, link, ENOENT);
}

void FaultMatrix::RunReadRow(const std::vector<TStep>& steps, TSimContent content) {
  TPhoneSimulator phone(std::move(content), OnPort(ports, 4));
  const TEntryLists expected = Expected(phone);
  const std::string onPhone = phone.BackupText();
  const QString file = ports.File("kept.zrv");
  phone.WriteBackupFile(file.toStdString());
  const std::string saved = FileText(file);
  TExceptionRecorder report;
  TApp app;
  for (const TStep& step : steps) {
    SCOPED_TRACE(step.Name);
    TFaultWatch watch(phone);
    step.Arm(phone, watch);
    app.Read();
    const auto end = TMatrixClock::now();
    CheckShown(TakeShown(app, report), step.Shown);
    CheckSeconds(watch.Seconds(end));
    CheckControls(app, step.Succeeds, false, step.PortOpen);
    // The entries fetched before the fault: every fetch of this read, or those before
    // the faulted command.
    const std::vector<std::string> commands = phone.Commands();
    const long fault = watch.FaultIndex();
    const std::size_t until = step.Succeeds || fault < 0 ? commands.size() : static_cast<std::size_t>(fault);
    std::size_t fetched = 0;
    for (std::size_t i = watch.Baseline(); i < until && i < commands.size(); ++i)
      fetched += StartsWith(commands[i], "AT+C#SGET=") ? 1 : 0;
    NoteCheck(row_.NothingLost, Checked([&] {
                ExpectReadKept(app, expected, fetched, step.NodelessKept);
                EXPECT_EQ(phone.BackupText(), onPhone) << "the phone's entries";
                EXPECT_EQ(FileText(file), saved) << "the backup file";
              }));
    if (step.Verify) step.Verify(phone);
    ClearFaults(phone);
  }
  CheckNextRead(app, report, phone);
  NoteCheck(row_.NothingLost, Checked([&] { EXPECT_EQ(phone.BackupText(), onPhone); }));
}

void FaultMatrix::RunRestoreRow(const std::vector<TStep>& steps, const std::string& fileText) {
  const QString file = ports.File("backup.zrv");
  if (fileText.empty()) {
    Content().WriteBackupFile(file.toStdString());
  } else {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(fileText.data(), static_cast<qint64>(fileText.size()));
  }
  const std::string saved = FileText(file);
  const TEntryLists filed = Filed(file);
  for (std::size_t s = 0; s < steps.size(); ++s) {
    const TStep& step = steps[s];
    SCOPED_TRACE(step.Name);
    TPhoneSimulator phone(TSimContent::Empty(), OnPort(ports, 4));
    TExceptionRecorder report;
    TApp app;
    app.Main.RestoreTimeoutMs = RestoreTimeoutMs;
    app.Read();
    ASSERT_EQ(TakeShown(app, report), std::vector<TShown>{}) << "the read of the empty phone";
    ASSERT_TRUE(app.Main.btnLoad->isEnabled());
    app.Main.TimeoutsAsked.clear();

    TFaultWatch watch(phone);
    step.Arm(phone, watch);
    app.Load(file);
    const auto end = TMatrixClock::now();
    CheckShown(TakeShown(app, report), step.Shown);
    CheckSeconds(watch.Seconds(end));
    CheckControls(app, step.Succeeds, false, step.PortOpen);
    EXPECT_EQ(app.Main.Exchange().Timer().interval(), ReadTimeoutMs) << "the time-out is put back";
    EXPECT_FALSE(app.Main.TimeoutsAsked.empty()) << "the restore sets its time-out";
    if (!app.Main.TimeoutsAsked.empty()) {
      EXPECT_EQ(app.Main.TimeoutsAsked.front(), ThreeMinutesMs) << "the restore asks for three minutes";
    }
    NoteCheck(row_.NothingLost, Checked([&] {
                EXPECT_EQ(FileText(file), saved) << "the backup file";
                ExpectRestoreKept(app.Main.Lists(), filed, phone, step.MayHoldUnanswered);
              }));
    if (step.Verify) step.Verify(phone);
    if (s + 1 == steps.size()) CheckNextRead(app, report, phone);
  }
}
