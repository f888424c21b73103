#include "Commands.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "AppException.h"
#include "BackupFile.h"
#include "CountText.h"
#include "Handler.h"
#include "OperationEdge.h"
#include "PhoneAdder.h"
#include "PhoneReader.h"
#include "PhoneRestorer.h"
#include "PortHints.h"
#include "PortMap.h"
#include "PortProbe.h"
#include "RestoreCheck.h"
#include "Signals.h"

namespace {


// Entries by TProgressKind: "3 groups, 1 contact, 0 events, 2 custom ring tones".
std::string CountsText(const std::array<int, 4>& n) {
  return CountText(n[0], "group", "groups") + ", " + CountText(n[1], "contact", "contacts") + ", " +
         CountText(n[2], "event", "events") + ", " + CountText(n[3], "custom ring tone", "custom ring tones");
}

std::array<int, 4> ListCounts(const TEntryLists& lists) {
  const TLoadCounts c = CountFiledEntries(lists);
  return {c.Groups, c.Contacts, c.Events, c.RingTones};
}

// What a check of stored entries found, on standard output.
void PrintCheck(const std::vector<TStoredDifference>& differences, bool verified) {
  for (const TStoredDifference& d : differences) {
    if (d.Field.empty())
      std::printf("verify: %s: not on the phone\n", d.Entry.c_str());
    else
      std::printf("verify: %s: %s: sent \"%s\", stored \"%s\"\n", d.Entry.c_str(), d.Field.c_str(), d.Sent.c_str(),
                  d.Stored.c_str());
  }
  if (verified)
    std::printf("verify: %s\n", differences.empty() ? "every entry is on the phone as it was sent"
                                                    : (CountText(differences.size(), "difference",
                                                             "differences") + " found").c_str());
}

// s40-YYYY-MM-DD-HHMMSS.zrv in the current folder, by the local time.
QString DefaultBackupName() {
  return QStringLiteral("s40-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss")) +
         QStringLiteral(".zrv");
}

// What stands against writing the backup there, told before the read rather than after.
std::optional<std::string> TargetProblem(const QString& file, bool force) {
  const QFileInfo info(file);
  const std::string name = file.toStdString();
  if (info.isDir()) return "Error: Cannot create file " + name + ": it is a folder";
  if ((info.exists() || info.isSymLink()) && !force) return name + ": exists (use --force to replace it)";
  if (info.exists() && !info.isWritable()) return "Error: Cannot create file " + name + ": it is not writable";
  const QString folder = info.absolutePath();
  if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
    return "Error: Cannot create file " + name + ": the folder " + folder.toStdString() + " is not writable";
  return std::nullopt;
}

class TRun {
 public:
  explicit TRun(const TCliOptions& options);
  int Run();

 private:
  int RunChosen();
  int Identify();
  int Backup();
  int Restore();
  int Add();
  void OnSignal(int signal);
  TPortChoice DefaultPort();
  // A note for the user, unless --quiet.
  void Note(const std::string& text) {
    if (!options_.Quiet) out_.Message(text);
  }
  // The end of every command once a port was chosen; nothing to say to a phone whose
  // port was closed under it.
  void Close() {
    if (!host_.Abandoned()) ClosePhoneConnection(host_);
  }
  int Stopped(const char* outcome);

  const TCliOptions& options_;
  TConsoleOutput out_;
  TConsoleHost host_;
  TSignalWatch signals_;
  int taken_ = 0;  // signals
};

TRun::TRun(const TCliOptions& options)
    : options_(options),
      out_(stderr, ::isatty(STDERR_FILENO) == 1),
      host_(out_, options.Progress.value_or(options.Quiet ? TProgressStyle::None : TProgressStyle::Auto)),
      signals_([this](int signal) { OnSignal(signal); }) {}

void TRun::OnSignal(int signal) {
  const char* again = signal == SIGINT ? "Ctrl-C" : "signal";
  if (++taken_ == 1) {
    out_.Message(std::string(signal == SIGINT ? "interrupted" : "terminated") +
                 ": stopping once the entry in hand is done; a second " + again + " stops at once");
    host_.RequestStop();
  } else if (taken_ == 2) {
    host_.Abandon();
    out_.Message("stopped at once: the port is closed, and the phone may still be in its data mode");
  }
}

int TRun::Stopped(const char* outcome) {
  out_.Message(std::string("stopped: ") + outcome);
  return ExitSignalBase + signals_.First();
}

// COM4, or the one USB serial cable when COM4 leads nowhere: the read would offer to
// link it, which a shell cannot answer.
TPortChoice TRun::DefaultPort() {
  const TPortChoice com4;
  const TPortTarget target = ProbePort(FormatDeviceName(com4.DeviceName, com4.PortNum));
  const std::vector<TFoundDevice> cables = UsbSerialDevices();
  if (cables.size() != 1 || !ShouldOfferLink(target, cables)) return com4;
  Note(target.Name + " leads nowhere (" + DescribePortTarget(target) + "); using the USB serial cable " +
       DescribeFound(cables.front()));
  return *PortFromArgument(LinkTargetFor(cables.front()));
}

int TRun::Run() {
  // The standard exception report of the handlers is a line on standard error.
  struct TReport {
    TExceptionReporter Previous;
    ~TReport() { SetExceptionReporter(Previous); }
  } report{SetExceptionReporter([this](const QString& text) { host_.Messages().ShowException(text); })};
  return RunChosen();
}

int TRun::RunChosen() {
  if (options_.Log) {
    try {
      host_.OpenLog(QFile::decodeName(options_.Log->c_str()));
    } catch (const std::exception& e) {
      out_.Message(std::string("Error: ") + e.what());
      return ExitTrouble;
    }
  }
  const TPortChoice port = options_.Port ? *PortFromArgument(*options_.Port) : DefaultPort();
  host_.SetPort(port);
  host_.Messages().Context = FormatDeviceName(port.DeviceName, port.PortNum);
  if (options_.Command == "identify") return Identify();
  if (options_.Command == "backup") return Backup();
  if (options_.Command == "add") return Add();
  return Restore();
}

int TRun::Identify() {
  TPhoneTotals totals;
  bool identified = false;
  RunHandler([&] {
    if (!ChoosePort(host_) || (!host_.VaComm().IsOpen() && !DetectPhone(host_))) return;
    identified = !host_.StopRequested() && SwitchDataModeOn(host_, totals);
  });
  if (identified && !signals_.First()) {
    const std::string name = host_.VaComm().FormattedDeviceName();
    const TPortTarget target = ProbePort(name);
    std::printf("Port: %s\nDevice: %s\nPhone: Siemens S40\nContacts: %d\nGroups: %d\nEvents: %d\n", name.c_str(),
                DescribeFound({target.Device, target.ById, target.Kind}).c_str(), totals.Contacts, totals.Groups,
                totals.Events);
    std::fflush(stdout);
  }
  Close();
  if (signals_.First()) return Stopped("the phone was not identified");
  return identified ? ExitDone : ExitTrouble;
}

int TRun::Backup() {
  const QString file = options_.File ? QFile::decodeName(options_.File->c_str()) : DefaultBackupName();
  if (const auto problem = TargetProblem(file, options_.Force)) {
    out_.Message(*problem);
    return ExitTrouble;
  }
  const bool read = ReadPhone(host_);
  const bool entries = host_.SaveEnabled();
  const int warnings = host_.Messages().Warnings;
  Close();
  if (signals_.First()) return Stopped("no file was written");
  if (!read) return ExitTrouble;
  if (!entries) {
    out_.Message(host_.Messages().Context + ": nothing to save: the phone holds no entries");
    return ExitTrouble;
  }
  try {
    WriteBackupFile(file, BuildBackupLines(host_.Lists(), host_.ParseLines()),
                    options_.Force ? TExistingFile::Replace : TExistingFile::Keep);
  } catch (const std::exception& e) {
    out_.Message(std::string("Error: ") + e.what());
    return ExitTrouble;
  }
  std::printf("%s\n", file.toStdString().c_str());
  std::fflush(stdout);
  Note("saved " + CountsText(ListCounts(host_.Lists())) + " to " + file.toStdString());
  if (warnings == 0) return ExitDone;
  Note("the backup was written, but the read gave " + CountText(warnings, "warning", "warnings") + " (above)");
  return ExitWarnings;
}

int TRun::Restore() {
  const QString file = QFile::decodeName(options_.File->c_str());
  if (!QFileInfo(file).isFile() || !QFileInfo(file).isReadable()) {
    out_.Message("Error: Cannot open file " + file.toStdString());
    return ExitTrouble;
  }
  const bool read = ReadPhone(host_);
  if (!read || signals_.First()) {
    Close();
    return signals_.First() ? Stopped("nothing was stored") : ExitTrouble;
  }
  if (!host_.LoadEnabled()) {
    const TEntryLists& lists = host_.Lists();
    out_.Message(host_.Messages().Context + ": the phone is not empty: it holds " +
                 (lists.RingTones.size() < FactoryRingToneCount
                      ? CountsText(ListCounts(lists)) + " and ring tones without all the factory ones"
                      : CountsText(ListCounts(lists))) +
                 "; a backup goes only onto a phone that holds no group, contact, event or custom ring tone");
    Close();
    return ExitTrouble;
  }

  host_.Messages().FileAnswer = file;
  const int errorsBefore = host_.Messages().Errors;
  bool started = false, stored = false, verified = false;
  std::array<int, 4> onPhone{};
  std::vector<TStoredDifference> differences;
  LoadBackup(host_, [&](IMainWindowHost& host, const TLoadCounts& counts) {
    started = true;
    {
      // What the stores got through, however the restore ends.
      struct TKeep {
        TConsoleProgress& Progress;
        std::array<int, 4>& Into;
        ~TKeep() { Into = Progress.Done(); }
      } keep{host_.ProgressLine(), onPhone};
      stored = RestoreToPhone(host, counts);
    }
    if (stored && options_.Verify) verified = CheckRestore(host, counts, differences);
  });
  // A goodbye that fails afterwards is shown, but the restore is done.
  const bool troubled = host_.Messages().Errors != errorsBefore;
  Close();

  if (!started) {
    // The exception report has said why, or the parser found fewer than three lines.
    if (!troubled) out_.Message("Error: " + file.toStdString() + ": not a backup file: too short");
    return ExitTrouble;
  }
  if (!stored) {
    out_.Message("the restore stopped; now on the phone: " + CountsText(onPhone) +
                 (host_.Abandoned() ? ", and perhaps the entry that was being stored" : "") +
                 "; \"zarvo-cli add " + file.toStdString() + "\" stores the rest");
  } else if (onPhone == std::array<int, 4>{}) {
    Note("nothing stored: " + file.toStdString() + " holds no entries");
  } else {
    std::printf("stored %s\n", CountsText(onPhone).c_str());
  }
  PrintCheck(differences, verified);
  std::fflush(stdout);
  if (signals_.First()) return Stopped(stored ? "the check was not finished" : "the restore was not finished");
  if (!stored || troubled) return ExitTrouble;
  if (options_.Verify && !verified) return ExitTrouble;
  return differences.empty() ? ExitDone : ExitDiffer;
}

int TRun::Add() {
  QStringList files;
  for (const std::string& name : options_.Files) {
    const QString file = QFile::decodeName(name.c_str());
    if (!QFileInfo(file).isFile() || !QFileInfo(file).isReadable()) {
      out_.Message("Error: Cannot open file " + name);
      return ExitTrouble;
    }
    files << file;
  }
  TAddOptions add;
  add.Match.KeepDuplicates = options_.Duplicates;
  add.Match.Country = options_.Country.value_or(std::string());
  add.DryRun = options_.DryRun;
  add.Verify = options_.Verify;
  add.Verbose = options_.Verbose;
  const int errorsBefore = host_.Messages().Errors;
  const TAddResult result = AddToPhone(host_, files, add);
  // A goodbye that fails afterwards is shown, but the add is done.
  const bool troubled = host_.Messages().Errors != errorsBefore;
  Close();
  if (result.End == TAddEnd::NotRead) return signals_.First() ? Stopped("nothing was stored") : ExitTrouble;

  for (const std::string& line : result.Report) std::printf("%s\n", line.c_str());
  std::printf("%s\n", result.Summary.c_str());
  if (options_.Verify && result.End == TAddEnd::Stored) PrintCheck(result.Differences, result.Verified);
  std::fflush(stdout);
  const TImportCounts& n = result.Plan.Counts;
  const bool stopped = result.End == TAddEnd::Stopped;
  if (stopped)
    out_.Message("the add stopped; added to the phone: " + CountsText({n.Groups, n.Contacts, n.Events, n.RingTones}) +
                 (host_.Abandoned() ? ", and perhaps the entry that was being stored" : ""));
  if (signals_.First()) return Stopped(stopped ? "the add was not finished" : "the check was not finished");
  if (stopped || troubled || (options_.Verify && result.End == TAddEnd::Stored && !result.Verified))
    return ExitTrouble;
  return n.Refused > 0 || n.NotTaken > 0 || !result.Differences.empty() ? ExitDiffer : ExitDone;
}

}  // namespace

std::optional<TPortChoice> PortFromArgument(const std::string& text) {
  if (text.find('/') != std::string::npos) {
    // A path goes through the device name's formatting unchanged.
    std::string name;
    for (char c : text) name += c == '%' ? std::string("%%") : std::string(1, c);
    return TPortChoice{name, 0};
  }
  std::string digits = text;
  if (digits.size() > 3 && std::equal(digits.begin(), digits.begin() + 3, "COM",
                                      [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; }))
    digits.erase(0, 3);
  if (digits.empty() || digits.size() > 6 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
    return std::nullopt;
  const int n = std::stoi(digits);
  if (n < 1) return std::nullopt;
  return TPortChoice{"COM%d", n};
}

int RunCommand(const TCliOptions& options) { return TRun(options).Run(); }
