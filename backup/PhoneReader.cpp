#include "PhoneReader.h"

#include <QThread>
#include <array>

#include "MainWindowHost.h"
#include "PhoneCommands.h"
#include "PhoneProtocol.h"
#include "PortFinding.h"
#include "TreeNodes.h"
#include "VObjectParser.h"
#include "VaComm.h"

namespace {

constexpr int kDataModePauseMs = 500;

// The end of the read: "fail" leaves Save and Load as they are (disabled since the read
// began); success enables them by what was found. The common steps run in both cases
// and when an exception passes through.
class TReadRun {
 public:
  explicit TReadRun(IMainWindowHost& host) : host_(host), ex_(host.Exchange()), comm_(host.VaComm()) {}

  void Run();
  void CommonEnd();

 private:
  bool Detect();
  bool SwitchDataModeOn();
  bool ListEntries(int type, std::size_t& count, const std::function<void(std::int32_t)>& add);
  bool ListAll();
  bool FetchGroups();
  bool FetchContacts();
  bool FetchEvents();
  bool FetchRingTones();
  // Sends "AT+C#SGET=" for one entry and drops the answer's first line.
  bool Fetch(int type, std::int32_t uid);
  // Parses the fetched text; the first record it made, or null.
  const TvObject* ParseFetched();
  bool Stopped() const { return host_.StopRequested(); }
  void Succeed();

  IMainWindowHost& host_;
  TAtExchange& ex_;
  TVaComm& comm_;
  TPhoneTotals totals_;
  std::size_t groups_ = 0, contacts_ = 0, events_ = 0, ringTones_ = 0;
  bool factoryMissing_ = false;
};

void TReadRun::Run() {
  // 1. Lock the window.
  host_.TreeView().clear();
  host_.RootNode = host_.AddressBookNode = host_.CalendarNode = host_.RingTonesNode = nullptr;
  for (auto c : {TMainControl::Read, TMainControl::Load, TMainControl::Save, TMainControl::Exit,
                 TMainControl::PortList})
    host_.SetControlEnabled(c, false);
  host_.SetWindowEnabled(false);

  // 2. Another port: data mode off on the old one first, then close it.
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

  // 4. Detection, only when the port is not open (a second read on the same port skips it).
  if (!comm_.IsOpen() && !Detect()) return;

  // 5. to 7.
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

  if (!FetchGroups() || !FetchContacts() || !FetchEvents()) return;
  if (!factoryMissing_ && !FetchRingTones()) return;
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

bool TReadRun::ListEntries(int type, std::size_t& count, const std::function<void(std::int32_t)>& add) {
  count = 0;
  const std::string command = ListCommand(type);
  while (true) {
    if (!ex_.SendCommand(command)) return false;
    const TListingPiece piece = DecodeListingPiece(ex_.Answer);
    for (std::int32_t uid : piece.Entries) add(uid);
    count += piece.Entries.size();
    // A piece that promises more but brings nothing ends the listing: a phone that
    // misbehaves so must not keep the read asking for ever.
    if (piece.Last || piece.Entries.empty()) return true;
  }
}

bool TReadRun::ListAll() {
  TEntryLists& lists = host_.Lists();
  IProgressWindow& progress = host_.Progress();
  IDialogs& dialogs = host_.Dialogs();
  auto warn = [&](const char* text) {
    dialogs.ShowMessage(TMsgKind::Warning, QStringLiteral("Warning"), QString::fromLatin1(text));
  };

  if (!ListEntries(etGroups, groups_, [&](std::int32_t uid) { lists.Groups.emplace_back().UID = uid; })) return false;
  if (groups_ != static_cast<std::size_t>(totals_.Groups)) warn("Groups data inconsistent!");
  progress.SetTotal(TProgressKind::Groups, static_cast<int>(groups_));

  if (!ListEntries(etContacts, contacts_, [&](std::int32_t uid) { lists.Contacts.emplace_back().UID = uid; })) return false;
  if (contacts_ != static_cast<std::size_t>(totals_.Contacts)) warn("Contacts data inconsistent!");
  progress.SetTotal(TProgressKind::Contacts, static_cast<int>(contacts_));

  if (!ListEntries(etEvents, events_, [&](std::int32_t uid) { lists.Events.emplace_back().UID = uid; })) return false;
  if (events_ != static_cast<std::size_t>(totals_.Events)) warn("Events data inconsistent!");
  progress.SetTotal(TProgressKind::Events, static_cast<int>(events_));

  if (!ListEntries(etRingTones, ringTones_, [&](std::int32_t uid) { lists.RingTones.emplace_back().UID = uid; }))
    return false;
  if (ringTones_ >= FactoryRingToneCount) {
    ringTones_ -= FactoryRingToneCount;
  } else {
    warn("One or more factory ring tones are missing!");
    factoryMissing_ = true;
  }
  progress.SetTotal(TProgressKind::RingTones, static_cast<int>(ringTones_));
  return true;
}

bool TReadRun::Fetch(int type, std::int32_t uid) {
  if (!ex_.SendCommand(GetCommand(type, uid))) return false;
  const std::size_t lineEnd = ex_.Answer.find("\r\n");
  ex_.Answer.erase(0, lineEnd == std::string::npos ? ex_.Answer.size() : lineEnd + 2);
  return true;
}

const TvObject* TReadRun::ParseFetched() {
  TLines& lines = host_.ParseLines();
  // A NUL has no place in an entry's text; kept, it would end the backup file's text
  // when that is loaded again, and everything behind it would be lost.
  std::string text = ex_.Answer;
  std::erase(text, '\0');
  lines = SplitLines(text);
  TEntryLists& lists = host_.Lists();
  const bool parsed = ParseVObjects(lines, lists.vObjects, [this](const std::string& s) { ex_.AddLogLine(s); });
  return parsed && !lists.vObjects.empty() ? &lists.vObjects.front() : nullptr;
}

bool TReadRun::FetchGroups() {
  auto& groups = host_.Lists().Groups;
  for (std::size_t k = 1; k <= groups_; ++k) {
    TGroup& g = groups[k - 1];
    if (!Fetch(etGroups, g.UID)) return false;
    host_.Progress().StepDone(TProgressKind::Groups, static_cast<int>(k), static_cast<int>(groups_));
    if (const TvObject* v = ParseFetched()) FillGroup(g, *v);
    AddGroupNode(host_, g.Name, g.GroupID);
    if (Stopped()) return false;
  }
  return true;
}

bool TReadRun::FetchContacts() {
  auto& contacts = host_.Lists().Contacts;
  for (std::size_t k = 1; k <= contacts_; ++k) {
    TContact& c = contacts[k - 1];
    if (!Fetch(etContacts, c.UID)) return false;
    host_.Progress().StepDone(TProgressKind::Contacts, static_cast<int>(k), static_cast<int>(contacts_));
    if (const TvObject* v = ParseFetched()) FillContact(c, *v);
    AddContactNode(host_, c.Name, c.GroupID);
    if (Stopped()) return false;
  }
  return true;
}

bool TReadRun::FetchEvents() {
  auto& events = host_.Lists().Events;
  for (std::size_t k = 1; k <= events_; ++k) {
    TEvent& e = events[k - 1];
    if (!Fetch(etEvents, e.UID)) return false;
    host_.Progress().StepDone(TProgressKind::Events, static_cast<int>(k), static_cast<int>(events_));
    if (const TvObject* v = ParseFetched()) FillEvent(e, *v);
    AddEntryNode(host_, host_.CalendarNode, e.Description, 2);
    if (Stopped()) return false;
  }
  return true;
}

bool TReadRun::FetchRingTones() {
  auto& ringTones = host_.Lists().RingTones;
  for (std::size_t k = 1; k <= ringTones_; ++k) {
    TRingTone& r = ringTones[FactoryRingToneCount - 1 + k];
    if (!Fetch(etRingTones, r.UID)) return false;
    host_.Progress().StepDone(TProgressKind::RingTones, static_cast<int>(k), static_cast<int>(ringTones_));
    TRingToneRecordInfo info = DecodeRingToneRecord(ex_.Answer);
    r.Name = std::move(info.Name);
    r.Data = std::move(info.Data);
    if (!info.Consistent) {
      host_.Dialogs().ShowMessage(TMsgKind::Warning, QStringLiteral("Warning"),
                                  QStringLiteral("Ring tone data inconsistent!"));
      return true;  // the fetching ends here as if it were complete
    }
    AddEntryNode(host_, host_.RingTonesNode, r.Name, 7);
    if (Stopped()) return false;
  }
  return true;
}

void TReadRun::Succeed() {
  const bool entries = groups_ != 0 || contacts_ != 0 || events_ != 0;
  if (entries || (ringTones_ != 0 && !factoryMissing_)) host_.SetControlEnabled(TMainControl::Save, true);
  if (!entries && ringTones_ == 0) host_.SetControlEnabled(TMainControl::Load, true);
}

void TReadRun::CommonEnd() {
  host_.Progress().CloseProgress();
  SelectFirstNode(host_);
  for (auto c : {TMainControl::Read, TMainControl::Exit, TMainControl::PortList})
    host_.SetControlEnabled(c, true);
  host_.SetWindowEnabled(true);
  host_.FocusWindow();
}

}  // namespace

void AddFixedTreeNodes(IMainWindowHost& host) {
  host.RootNode = AddEntryNode(host, nullptr, "Siemens S40", 3);
  host.AddressBookNode = AddEntryNode(host, host.RootNode, "Address book", 4);
  host.CalendarNode = AddEntryNode(host, host.RootNode, "Calendar", 5);
  host.RingTonesNode = AddEntryNode(host, host.RootNode, "Custom ring tones", 6);
  host.TreeView().expandAll();
}

void ReadPhone(IMainWindowHost& host) {
  TReadRun run(host);
  try {
    run.Run();
  } catch (...) {
    run.CommonEnd();
    throw;
  }
  run.CommonEnd();
}
