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

 private:
  bool Detect();
  bool SwitchDataModeOn();
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
};

void TReadRun::Run() {
  host_.ClearTree();
  LockControls(host_, /*window=*/true);

  // Another port: the phone on the old one leaves data mode before that port closes,
  // so that it is usable again without a restart.
  const int port = host_.SelectedPortIndex() + 1;
  if (!OfferPortLink(host_, port)) return;  // before anything is sent to an old port
  if (port != comm_.PortNum()) {
    if (comm_.IsOpen()) {
      if (ex_.IsDataModeOn() && !ex_.SendCommand(std::string(cmdDataModeOff))) return;
      comm_.Close();
    }
    comm_.SetPortNum(port);
  }
  host_.RepaintWindow();

  // A port that is still open has its phone detected already (a second read skips it).
  if (!comm_.IsOpen() && !Detect()) return;

  // The stop flag is cleared before the progress window shows, since every close of it
  // sets the flag.
  AddFixedTreeNodes(host_);
  host_.StopRequested() = false;
  IProgressWindow& progress = host_.Progress();
  progress.SetCaption(QStringLiteral("Reading..."));
  progress.ResetBars();
  progress.ShowProgress();
  host_.Lists().ClearKindLists();

  if (!SwitchDataModeOn()) return;
  if (Stopped()) return;
  if (!ListAll()) return;
  if (Stopped()) return;

  if (!FetchKind<TGroup>() || !FetchKind<TContact>() || !FetchKind<TEvent>()) return;
  if (!factoryMissing_ && !FetchKind<TRingTone>()) return;
  Succeed();
}

bool TReadRun::Detect() {
  TPortOpening opening(host_);
  ex_.AnswerDone = false;
  ex_.TimedOut = false;
  opening.Open();
  ex_.Timer().start();
  ex_.WaitForAnswer();
  if (ex_.TimedOut) {
    comm_.Close();
    return false;
  }
  ex_.Timer().stop();
  if (ex_.SendCommand(std::string(cmdIdentify))) {
    if (ex_.Answer.find(S40Identity) != std::string::npos) return true;
    host_.Dialogs().ShowMessage(TMsgKind::Error, QStringLiteral("Error"),
                                QStringLiteral("ERROR: No Siemens S40 detected."));
  }
  // The port is closed again, so that the next read opens it and detects anew.
  if (comm_.IsOpen()) comm_.Close();
  return false;
}

bool TReadRun::SwitchDataModeOn() {
  if (ex_.IsDataModeOn()) {
    if (!ex_.SendCommand(std::string(cmdDataModeOff))) return false;
    QThread::msleep(kDataModePauseMs);
  }
  if (!ex_.SendCommand(std::string(cmdDataModeOn))) return false;
  totals_ = DecodeTotals(ex_.Answer);
  return true;
}

template <class Record>
bool TReadRun::ListEntries(std::size_t& count) {
  using Kind = TEntryKind<Record>;
  std::vector<Record>& list = Kind::List(host_.Lists());
  count = 0;
  const std::string command = ListCommand(Kind::PhoneType);
  while (true) {
    if (!ex_.SendCommand(command)) return false;
    const TListingPiece piece = DecodeListingPiece(ex_.Answer);
    for (std::int32_t uid : piece.Entries) list.emplace_back().UID = uid;
    count += piece.Entries.size();
    // A piece that promises more but brings nothing ends the listing: a phone that
    // misbehaves so must not keep the read asking for ever.
    if (piece.Last || piece.Entries.empty()) return true;
  }
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

bool TReadRun::Fetch(int type, std::int32_t uid) {
  if (!ex_.SendCommand(GetCommand(type, uid))) return false;
  const std::size_t lineEnd = ex_.Answer.find("\r\n");
  ex_.Answer.erase(0, lineEnd == std::string::npos ? ex_.Answer.size() : lineEnd + 2);
  return true;
}

template <class Record>
bool TReadRun::TakeFetched(Record& r) {
  TLines& lines = host_.ParseLines();
  // A NUL has no place in an entry's text; kept, it would end the backup file's text
  // when that is loaded again, and everything behind it would be lost.
  std::string text = ex_.Answer;
  std::erase(text, '\0');
  lines = SplitLines(text);
  TEntryLists& lists = host_.Lists();
  TParseSummary summary;
  const bool parsed =
      ParseVObjects(lines, lists.vObjects, [this](const std::string& s) { ex_.AddLogLine(s); }, &summary);
  // r keeps its identifier from the listing, and gets its node also when nothing parsed.
  using Kind = TEntryKind<Record>;
  if (parsed && !lists.vObjects.empty()) Kind::Fill(r, lists.vObjects.front());
  // Anything but one whole entry of the kind asked for is kept, but not passed as good.
  const bool whole = parsed && lists.vObjects.size() == 1 && summary.Whole.front() &&
                     lists.vObjects.front().Kind == Kind::ObjectKind;
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
  const bool entries = Count(TProgressKind::Groups) != 0 || Count(TProgressKind::Contacts) != 0 ||
                       Count(TProgressKind::Events) != 0;
  const std::size_t ringTones = Count(TProgressKind::RingTones);
  if (entries || (ringTones != 0 && !factoryMissing_)) host_.SetControlEnabled(TMainControl::Save, true);
  if (!entries && ringTones == 0) host_.SetControlEnabled(TMainControl::Load, true);
}

}  // namespace

void ReadPhone(IMainWindowHost& host) noexcept {
  // However the read ends, the entries that did not come whole are named before its end steps.
  RunHandler(
      [&] {
        TReadRun run(host);
        RunEachStep([&] { run.Run(); }, [&] { run.WarnNotWhole(); });
      },
      [&] { UnlockControls(host); });
}
