#include "PhoneReader.h"

#include <QThread>
#include <array>
#include <string>
#include <vector>

#include "EntryKinds.h"
#include "Handler.h"
#include "MainWindowHost.h"
#include "OperationEdge.h"
#include "PhoneCommands.h"
#include "PhoneProtocol.h"
#include "PortFinding.h"
#include "TreeNodes.h"
#include "VObjectParser.h"
#include "VaComm.h"

namespace {

constexpr int kDataModePauseMs = 500;

// A failed read leaves Save and Load as they are (disabled since it began); a read that
// got through enables them by what it found.
class TReadRun {
 public:
  explicit TReadRun(IMainWindowHost& host) : host_(host), ex_(host.Exchange()), comm_(host.VaComm()) {}

  void Run();
  // The one box, and its log line, naming the fetched entries that did not come whole.
  void WarnNotWhole();
  bool Completed() const { return completed_; }

 private:
  // Lists a kind's identifiers into its list, piece by piece; the count listed.
  template <class Record>
  bool ListEntries(std::size_t& count);
  // Lists a kind that the data mode gave a total for, and warns when they differ.
  template <class Record>
  bool ListKind(int total, const char* inconsistent);
  bool ListAll();
  template <class Record>
  bool FetchKind();
  // Sends "AT+C#SGET=" for one entry and drops the answer's first line.
  bool Fetch(int type, std::int32_t uid);
  // Copies the fetched entry into r; false for a ring tone record that is inconsistent.
  template <class Record>
  bool TakeFetched(Record& r);
  bool TakeFetched(TRingTone& r);
  std::size_t& Count(TProgressKind kind) { return count_[static_cast<std::size_t>(kind)]; }
  void Warn(const char* text);
  bool Stopped() const { return host_.StopRequested(); }
  void Succeed();

  IMainWindowHost& host_;
  TAtExchange& ex_;
  TVaComm& comm_;
  TPhoneTotals totals_;
  std::array<std::size_t, 4> count_{};  // by TProgressKind; ring tones: the custom ones
  bool factoryMissing_ = false;
  std::vector<std::string> notWhole_;  // "contact 25 \"Doe\"", in fetching order
  bool completed_ = false;
};

TPortChoice PortOf(const TVaComm& comm) { return {comm.DeviceName(), comm.PortNum()}; }

void TReadRun::Run() {
  host_.ClearTree();
  LockControls(host_, /*window=*/true);

  if (!ChoosePort(host_)) return;
  host_.RepaintWindow();

  // A port that is still open has its phone detected already (a second read skips it).
  if (!comm_.IsOpen() && !DetectPhone(host_)) return;

  // The stop flag is cleared before the progress window shows, since every close of it
  // sets the flag.
  AddFixedTreeNodes(host_);
  host_.StopRequested() = false;
  IProgressWindow& progress = host_.Progress();
  progress.SetCaption(QStringLiteral("Reading..."));
  progress.ResetBars();
  progress.ShowProgress();
  host_.Lists().ClearKindLists();

  if (!SwitchDataModeOn(host_, totals_)) return;
  if (Stopped()) return;
  if (!ListAll()) return;
  if (Stopped()) return;

  if (!FetchKind<TGroup>() || !FetchKind<TContact>() || !FetchKind<TEvent>()) return;
  if (!factoryMissing_ && !FetchKind<TRingTone>()) return;
  Succeed();
}

template <class Record>
bool TReadRun::ListEntries(std::size_t& count) {
  using Kind = TEntryKind<Record>;
  std::vector<Record>& list = Kind::List(host_.Lists());
  std::vector<std::int32_t> ids;
  const bool listed = ListIdentifiers(host_, Kind::PhoneType, ids);
  for (std::int32_t uid : ids) list.emplace_back().UID = uid;
  count = ids.size();
  return listed;
}

template <class Record>
bool TReadRun::ListKind(int total, const char* inconsistent) {
  constexpr TProgressKind kind = TEntryKind<Record>::Progress;
  if (!ListEntries<Record>(Count(kind))) return false;
  if (Count(kind) != static_cast<std::size_t>(total)) Warn(inconsistent);
  host_.Progress().SetTotal(kind, static_cast<int>(Count(kind)));
  return true;
}

bool TReadRun::ListAll() {
  if (!ListKind<TGroup>(totals_.Groups, "Groups data inconsistent!") ||
      !ListKind<TContact>(totals_.Contacts, "Contacts data inconsistent!") ||
      !ListKind<TEvent>(totals_.Events, "Events data inconsistent!"))
    return false;

  // Ring tones have no total; the listing begins with the factory ones, which are not
  // fetched.
  std::size_t& ringTones = Count(TProgressKind::RingTones);
  if (!ListEntries<TRingTone>(ringTones)) return false;
  if (ringTones >= FactoryRingToneCount) {
    ringTones -= FactoryRingToneCount;
  } else {
    Warn("One or more factory ring tones are missing!");
    factoryMissing_ = true;
  }
  host_.Progress().SetTotal(TProgressKind::RingTones, static_cast<int>(ringTones));
  return true;
}

void TReadRun::Warn(const char* text) {
  host_.Dialogs().ShowMessage(TMsgKind::Warning, QStringLiteral("Warning"), QString::fromLatin1(text));
}

bool TReadRun::Fetch(int type, std::int32_t uid) { return FetchEntry(host_, type, uid); }

template <class Record>
bool TReadRun::TakeFetched(Record& r) {
  // r keeps its identifier from the listing, and gets its node also when nothing parsed.
  using Kind = TEntryKind<Record>;
  TParseSummary summary;
  const TvObject* v = ParseFetchedEntry(host_, &summary);
  if (v) Kind::Fill(r, *v);
  // Anything but one whole entry of the kind asked for is kept, but not passed as good.
  const std::vector<TvObject>& parsed = host_.Lists().vObjects;
  const bool whole = v && parsed.size() == 1 && summary.Whole.front() && v->Kind == Kind::ObjectKind;
  if (!whole) {
    std::string entry = std::string(Kind::Word) + " " + std::to_string(r.UID);
    if (!Kind::NodeText(r).empty()) entry += " \"" + Kind::NodeText(r) + "\"";
    notWhole_.push_back(std::move(entry));
  }
  return true;
}

void TReadRun::WarnNotWhole() {
  if (notWhole_.empty()) return;
  constexpr std::size_t kNamedAtMost = 10;
  std::string text = "These entries did not come whole from the phone and are kept as they came:";
  for (std::size_t k = 0; k < notWhole_.size() && k < kNamedAtMost; ++k) text += "\n" + notWhole_[k];
  if (notWhole_.size() > kNamedAtMost) text += "\nand " + std::to_string(notWhole_.size() - kNamedAtMost) + " more";
  ex_.AddLogLine(text);
  host_.Dialogs().ShowMessage(TMsgKind::Warning, QStringLiteral("Warning"),
                              QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

bool TReadRun::TakeFetched(TRingTone& r) {
  TRingToneRecordInfo info = DecodeRingToneRecord(ex_.Answer);
  r.Name = std::move(info.Name);
  r.Data = std::move(info.Data);
  if (!info.Consistent) Warn("Ring tone data inconsistent!");
  return info.Consistent;
}

template <class Record>
bool TReadRun::FetchKind() {
  using Kind = TEntryKind<Record>;
  std::vector<Record>& list = Kind::List(host_.Lists());
  const std::size_t count = Count(Kind::Progress);
  for (std::size_t k = 1; k <= count; ++k) {
    Record& r = list[Kind::FirstSlot + k - 1];
    if (!Fetch(Kind::PhoneType, r.UID)) return false;
    host_.Progress().StepDone(Kind::Progress, static_cast<int>(k), static_cast<int>(count));
    // An inconsistent ring tone record ends the fetching as if it were complete (ring
    // tones come last); the record keeps what was taken but gets no node.
    if (!TakeFetched(r)) return true;
    AddKindNode(host_, r, /*restored=*/false);
    if (Stopped()) return false;
  }
  return true;
}

void TReadRun::Succeed() {
  completed_ = true;
  const bool entries = Count(TProgressKind::Groups) != 0 || Count(TProgressKind::Contacts) != 0 ||
                       Count(TProgressKind::Events) != 0;
  const std::size_t ringTones = Count(TProgressKind::RingTones);
  if (entries || (ringTones != 0 && !factoryMissing_)) host_.SetControlEnabled(TMainControl::Save, true);
  if (!entries && ringTones == 0) host_.SetControlEnabled(TMainControl::Load, true);
}

}  // namespace

bool ReadPhone(IMainWindowHost& host) noexcept {
  bool completed = false;
  RunHandler(
      [&] {
        TReadRun run(host);
        // However the read ends, the entries that did not come whole are named before its
        // end steps.
        RunEachStep([&] { run.Run(); }, [&] { run.WarnNotWhole(); });
        completed = run.Completed();
      },
      [&] { UnlockControls(host); });
  return completed;
}

bool ChoosePort(IMainWindowHost& host) {
  const TPortChoice port = host.PortTarget();
  if (!OfferPortLink(host, port)) return false;  // before anything is sent to an old port
  TVaComm& comm = host.VaComm();
  if (port == PortOf(comm)) return true;
  // Another port: the phone on the old one leaves data mode before that port closes,
  // so that it is usable again without a restart.
  if (comm.IsOpen()) {
    TAtExchange& ex = host.Exchange();
    if (ex.IsDataModeOn() && !ex.SendCommand(std::string(cmdDataModeOff))) return false;
    comm.Close();
  }
  comm.SetDeviceName(port.DeviceName);
  comm.SetPortNum(port.PortNum);
  return true;
}

bool DetectPhone(IMainWindowHost& host) {
  TAtExchange& ex = host.Exchange();
  TVaComm& comm = host.VaComm();
  TPortOpening opening(host);
  ex.AnswerDone = false;
  ex.TimedOut = false;
  opening.Open();
  ex.Timer().start();
  ex.WaitForAnswer();
  if (ex.TimedOut) {
    comm.Close();
    return false;
  }
  ex.Timer().stop();
  if (ex.SendCommand(std::string(cmdIdentify))) {
    if (ex.Answer.find(S40Identity) != std::string::npos) return true;
    host.Dialogs().ShowMessage(TMsgKind::Error, QStringLiteral("Error"),
                               QStringLiteral("ERROR: No Siemens S40 detected."));
  }
  // The port is closed again, so that the next read opens it and detects anew.
  if (comm.IsOpen()) comm.Close();
  return false;
}

bool SwitchDataModeOn(IMainWindowHost& host, TPhoneTotals& totals) {
  TAtExchange& ex = host.Exchange();
  if (ex.IsDataModeOn()) {
    if (!ex.SendCommand(std::string(cmdDataModeOff))) return false;
    QThread::msleep(kDataModePauseMs);
  }
  if (!ex.SendCommand(std::string(cmdDataModeOn))) return false;
  totals = DecodeTotals(ex.Answer);
  return true;
}

bool ListIdentifiers(IMainWindowHost& host, int type, std::vector<std::int32_t>& ids) {
  TAtExchange& ex = host.Exchange();
  const std::string command = ListCommand(type);
  while (true) {
    if (!ex.SendCommand(command)) return false;
    const TListingPiece piece = DecodeListingPiece(ex.Answer);
    ids.insert(ids.end(), piece.Entries.begin(), piece.Entries.end());
    // A piece that promises more but brings nothing ends the listing: a phone that
    // misbehaves so must not keep the read asking for ever.
    if (piece.Last || piece.Entries.empty()) return true;
  }
}

bool FetchEntry(IMainWindowHost& host, int type, std::int32_t uid) {
  TAtExchange& ex = host.Exchange();
  if (!ex.SendCommand(GetCommand(type, uid))) return false;
  const std::size_t lineEnd = ex.Answer.find("\r\n");
  ex.Answer.erase(0, lineEnd == std::string::npos ? ex.Answer.size() : lineEnd + 2);
  return true;
}

const TvObject* ParseFetchedEntry(IMainWindowHost& host, TParseSummary* summary) {
  TAtExchange& ex = host.Exchange();
  TLines& lines = host.ParseLines();
  // A NUL has no place in an entry's text; kept, it would end the backup file's text
  // when that is loaded again, and everything behind it would be lost.
  std::string text = ex.Answer;
  std::erase(text, '\0');
  lines = SplitLines(text);
  TEntryLists& lists = host.Lists();
  const bool parsed =
      ParseVObjects(lines, lists.vObjects, [&ex](const std::string& s) { ex.AddLogLine(s); }, summary);
  return parsed && !lists.vObjects.empty() ? &lists.vObjects.front() : nullptr;
}
