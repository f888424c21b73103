#include "VaComm.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "AppException.h"
#include "PortMap.h"
#include "SerialDevice.h"
#include "VaCommThreads.h"

namespace {

// How long Close gives its threads to end. They wake on their stop signals at once, so
// this only bounds the unexpected; a thread past it closes the device when it ends.
constexpr auto ThreadEndLimit = std::chrono::milliseconds(2000);

constexpr struct {
  TVaCommEvent Event;
  unsigned Flag;
} EventFlags[] = {
    {ceBreak, EV_BREAK},   {ceCts, EV_CTS},   {ceDsr, EV_DSR},           {ceError, EV_ERR},
    {ceRing, EV_RING},     {ceRlsd, EV_RLSD}, {ceRxChar, EV_RXCHAR},     {ceTxEmpty, EV_TXEMPTY},
    {ceRxFlag, EV_RXFLAG}, {cePErr, EV_PERR}, {ceRx80Full, EV_RX80FULL}, {ceEvent1, EV_EVENT1},
    {ceEvent2, EV_EVENT2},
};

std::string Replace(std::string text, const char* marker, const std::string& value) {
  const auto at = text.find(marker);
  if (at != std::string::npos) text.replace(at, std::strlen(marker), value);
  return text;
}

// Line error flags from the growth of the driver's counters.
unsigned ErrorFlags(const TSerialLineCounters& before, const TSerialLineCounters& now) {
  unsigned flags = 0;
  if (now.BufferOverrun != before.BufferOverrun) flags |= CE_RXOVER;
  if (now.Overrun != before.Overrun) flags |= CE_OVERRUN;
  if (now.Parity != before.Parity) flags |= CE_RXPARITY;
  if (now.Frame != before.Frame) flags |= CE_FRAME;
  if (now.Break != before.Break) flags |= CE_BREAK;
  return flags;
}

// A device that has gone away answers EIO; its hang-up is reported by the threads, so
// the window thread's queries just find nothing.
bool LineGone(int error) { return error == EIO; }

}  // namespace

std::string CommErrorText(const char* message, int code, const std::string& text) {
  return Replace(Replace(message, "%d", std::to_string(code)), "%s", text);
}

EVaCommError CommError(const char* message, int code) {
  return EVaCommError(CommErrorText(message, code, SystemErrorText(code)), code);
}

unsigned EventMaskFor(TVaCommEvents events, bool directWrite) {
  unsigned mask = 0;
  for (const auto& e : EventFlags)
    if (events.Contains(e.Event)) mask |= e.Flag;
  if (!directWrite) mask &= ~EV_TXEMPTY;
  return mask;
}

// --- life --------------------------------------------------------------------------

TVaCustomComm::TVaCustomComm(QObject* owner) : TVaComponent(owner) {
  buffers_.OnChanging = [this] { RequireClosed(); };
  flowControl_.OnChanged = [this] { Reapply(); };
  eventChars_.OnChanged = [this] { Reapply(); };
}

TVaCustomComm::~TVaCustomComm() {
  destroying_ = true;
  Close();
}

TVaComm* TVaCustomComm::Self() { return dynamic_cast<TVaComm*>(this); }

void TVaCustomComm::Loaded() {
  TVaComponent::Loaded();
  if (autoOpen_) Open();
}

std::string TVaCustomComm::FormattedDeviceName() const { return FormatDeviceName(deviceName_, portNum_); }

void TVaCustomComm::AddLink(TVaComponent* link) {
  if (link) links_.push_back(link);
}

void TVaCustomComm::RemoveLink(TVaComponent* link) { std::erase(links_, link); }

// --- open and close ----------------------------------------------------------------

void TVaCustomComm::Open() {
  if (IsOpen()) throw EVaCommError(msgPortOpen);
  OpenDevice();
  try {
    if (updateDcb_) ApplyLineSettings();
    SetupQueues();
    SetTimeouts();
    SetEventMask();
    StartThreads();
  } catch (...) {
    StopThreads();
    throw;
  }
  ++openCount_;
  if (OnOpen) RunGuarded([this] { OnOpen(Self()); });
}

void TVaCustomComm::OpenDevice() {
  const std::string name = FormattedDeviceName();
  const std::string path = PortPathFor(name);
  TSerialDevice device;
  if (const int error = device.Open(path)) {
    const std::string text = DescribeDevice(name, path);
    if (error == ENOENT || error == ENXIO || error == ENODEV)
      throw EVaCommError(CommErrorText(msgDeviceNotFound, 0, text), error);
    throw EVaCommError(CommErrorText(msgCantOpenDevice, 0, text) +
                           CommErrorText(msgErrorSuffix, error, SystemErrorText(error)),
                       error);
  }
  session_ = std::make_shared<TVaPortSession>(std::move(device), DescribeDevice(name, path));
  session_->Attach(this);
  // A driver counts line errors from its start: only those from now on are this port's.
  session_->Device.LineCounters(session_->CountersAtStatus, session_->CountersSupported);
}

void TVaCustomComm::ApplyLineSettings() {
  TVaDcb dcb;
  dcb.BaudRate = baudrate_ == brUser ? userBaudrate_ : BaudrateBits(baudrate_);
  dcb.ByteSize = 4 + static_cast<int>(databits_);
  dcb.Parity = static_cast<int>(parity_);
  dcb.StopBits = static_cast<int>(stopbits_);
  dcb.fBinary = true;
  dcb.fParity = parityCheck_;
  dcb.fOutxCtsFlow = flowControl_.OutCtsFlow();
  dcb.fOutxDsrFlow = flowControl_.OutDsrFlow();
  dcb.fDtrControl = static_cast<int>(flowControl_.ControlDtr());
  dcb.fDsrSensitivity = flowControl_.DsrSensitivity();
  dcb.fTXContinueOnXoff = flowControl_.TxContinueOnXoff();
  dcb.fOutX = flowControl_.XonXoffOut();
  dcb.fInX = flowControl_.XonXoffIn();
  dcb.fErrorChar = options_.Contains(coErrorChar);
  dcb.fNull = options_.Contains(coNullStrip);
  dcb.fRtsControl = static_cast<int>(flowControl_.ControlRts());
  dcb.fAbortOnError = false;
  dcb.XonLim = std::min(buffers_.ReadSize() / 4, 1024);
  dcb.XoffLim = dcb.XonLim;
  dcb.XonChar = eventChars_.XonChar();
  dcb.XoffChar = eventChars_.XoffChar();
  dcb.ErrorChar = eventChars_.ErrorChar();
  dcb.EofChar = eventChars_.EofChar();
  dcb.EvtChar = eventChars_.EventChar();
  if (const int error = session_->Device.ApplyDcb(dcb)) throw CommError(msgWriteDcb, error);
}

void TVaCustomComm::Reapply() {
  if (IsOpen() && updateDcb_) ApplyLineSettings();
}

// The driver sizes its own queues; the sizes only set the output buffer and the limits.
void TVaCustomComm::SetupQueues() {}

void TVaCustomComm::SetTimeouts() {
  if (const int error = session_->Device.SetReadReturnsAtOnce()) throw CommError(msgSetTimeouts, error);
}

// The mask is what the event thread watches; no system call can refuse it.
void TVaCustomComm::SetEventMask() {
  EventMask = EventMaskFor(monitorEvents_, directWrite_);
  session_->EventMask = EventMask;
  session_->ErrorMonitored = (EventMask & EV_ERR) != 0;
  // Handing the transmit-empty notice makes the write thread wait for the window thread,
  // so it is handed only when asked for: a caller that writes many bytes in a row without
  // processing messages must not find the buffer stuck.
  session_->TxEmptyMonitored = !directWrite_ && monitorEvents_.Contains(ceTxEmpty);
}

void TVaCustomComm::StartThreads() {
  if (EventMask != 0) {
    eventThread_ = std::make_shared<TVaCommEventThread>(session_, eventPriority_);
    TVaCommThread::Start(eventThread_);
  }
  if (!directWrite_) {
    writeThread_ = std::make_shared<TVaCommWriteThread>(session_, WriteLock,
                                                        static_cast<std::size_t>(buffers_.WriteSize()), writePriority_);
    TVaCommThread::Start(writeThread_);
  }
}

// Takes the port from the threads and lets the session close the device.
void TVaCustomComm::StopThreads() {
  std::shared_ptr<TVaPortSession> session;
  std::shared_ptr<TVaCommEventThread> events;
  std::shared_ptr<TVaCommWriteThread> writer;
  {
    std::lock_guard<TVaCriticalSection> lock(ReadLock);
    session = std::move(session_);
    events = std::move(eventThread_);
    writer = std::move(writeThread_);
    if (session) session->Detach();
    if (events) events->Stop();
    if (writer) writer->Stop();
  }
  const auto deadline = std::chrono::steady_clock::now() + ThreadEndLimit;
  if (events) events->Finish(deadline);
  if (writer) writer->Finish(deadline);
  if (session) session->Release();
}

void TVaCustomComm::Close() {
  if (!IsOpen()) return;
  StopThreads();
  if (!destroying_ && OnClose) OnClose(Self());
}

// --- properties --------------------------------------------------------------------

void TVaCustomComm::RequireClosed() const {
  if (IsOpen()) throw EVaCommError(msgPortOpen);
}

void TVaCustomComm::SetBaudrate(TVaBaudrate value) {
  if (value == baudrate_) return;
  baudrate_ = value;
  if (value != brUser) userBaudrate_ = 0;
  Reapply();
}

void TVaCustomComm::SetUserBaudrate(int value) {
  if (value == userBaudrate_) return;
  userBaudrate_ = value;
  baudrate_ = brUser;
  Reapply();
}

void TVaCustomComm::SetParity(TVaParity value) {
  if (value == parity_) return;
  parity_ = value;
  Reapply();
}

void TVaCustomComm::SetParityCheck(bool value) {
  if (value == parityCheck_) return;
  parityCheck_ = value;
  Reapply();
}

void TVaCustomComm::SetDatabits(TVaDatabits value) {
  if (value == databits_) return;
  databits_ = value;
  Reapply();
}

void TVaCustomComm::SetStopbits(TVaStopbits value) {
  if (value == stopbits_) return;
  stopbits_ = value;
  Reapply();
}

void TVaCustomComm::SetOptions(TVaCommOptions value) {
  if (value == options_) return;
  options_ = value;
  Reapply();
}

void TVaCustomComm::SetPortNum(TVaPortInt value) {
  RequireClosed();
  if (value < 0) throw std::out_of_range("PortNum must be 0 to 2147483647");
  portNum_ = value;
}

void TVaCustomComm::SetDeviceName(const std::string& value) {
  RequireClosed();
  deviceName_ = value;
}

void TVaCustomComm::SetMonitorEvents(TVaCommEvents value) {
  RequireClosed();
  monitorEvents_ = value;
}

void TVaCustomComm::SetDirectWrite(bool value) {
  RequireClosed();
  directWrite_ = value;
}

void TVaCustomComm::SetUpdateDCB(bool value) {
  RequireClosed();
  updateDcb_ = value;
}

void TVaCustomComm::SetEventPriority(TThreadPriority value) {
  if (value == eventPriority_) return;
  eventPriority_ = value;
  if (eventThread_) eventThread_->SetPriority(value);
}

void TVaCustomComm::SetWritePriority(TThreadPriority value) {
  if (value == writePriority_) return;
  writePriority_ = value;
  if (writeThread_) writeThread_->SetPriority(value);
}

// --- writing and reading -----------------------------------------------------------

int TVaCustomComm::WriteBytes(const void* bytes, int count) {
  if (!IsOpen()) return 0;
  if (count <= 0) return 0;
  if (directWrite_) {
    WriteDirect(static_cast<const unsigned char*>(bytes), count);
    return count;
  }
  // Bytes written past the buffer would never give a transmit-empty notice.
  switch (writeThread_->Queue(bytes, static_cast<std::size_t>(count), buffers_.WriteTimeout(),
                              !session_->TxEmptyMonitored)) {
    case TVaCommWriteThread::qrQueued:
      return count;
    case TVaCommWriteThread::qrLineGone:
      // As for a closed port: the hang-up already on its way closes this one.
      return 0;
    case TVaCommWriteThread::qrNoRoom:
      break;
  }
  throw EVaCommError(msgBufferFull);
}

// Without the write thread: the bytes go out now, waiting up to WriteTimeout for the
// driver to take them.
void TVaCustomComm::WriteDirect(const unsigned char* bytes, int count) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(buffers_.WriteTimeout());
  int done = 0;
  while (done < count) {
    const ssize_t n = session_->Device.Write(bytes + done, static_cast<std::size_t>(count - done));
    if (n >= 0) {
      done += static_cast<int>(n);
      continue;
    }
    if (errno != EAGAIN && errno != EWOULDBLOCK) throw CommError(msgWriteError, errno);
    pollfd p{session_->Device.Fd(), POLLOUT, 0};
    if (SerialPoll(&p, 1, MillisecondsUntil(deadline)) <= 0) throw EVaCommError(msgBufferFull);
  }
}

bool TVaCustomComm::WriteString(const std::string& text) {
  return WriteBytes(text.data(), static_cast<int>(text.size())) == static_cast<int>(text.size());
}

bool TVaCustomComm::WriteByte(unsigned char byte) { return WriteBytes(&byte, 1) == 1; }

int TVaCustomComm::ReadBytes(void* buffer, int count) {
  if (count <= 0) return 0;
  std::lock_guard<TVaCriticalSection> lock(ReadLock);
  if (!session_) return 0;
  // Reads return at once (VMIN 0): there is never a transfer left pending.
  const ssize_t n = session_->Device.Read(buffer, static_cast<std::size_t>(count));
  if (n < 0) {
    const int error = errno;
    if (error == EAGAIN || error == EWOULDBLOCK || LineGone(error)) return 0;
    throw CommError(msgReadError, error);
  }
  if (n > 0) session_->ReadCount.fetch_add(1);
  return static_cast<int>(n);
}

std::string TVaCustomComm::ReadString() {
  const int n = InputCount();
  if (n <= 0) return {};
  std::string text(static_cast<std::size_t>(n), '\0');
  text.resize(static_cast<std::size_t>(ReadBytes(text.data(), n)));
  return text;
}

int TVaCustomComm::InputCount() {
  unsigned errors = 0;
  TVaComStat stat;
  Status(errors, stat, false);
  return static_cast<int>(stat.InQue);
}

void TVaCustomComm::QueryStatus(unsigned& errors, TVaComStat& stat) { Status(errors, stat, true); }

// Like the status query; the input count alone leaves out the output count, which
// costs calls on every received-bytes notice and changes nothing else.
void TVaCustomComm::Status(unsigned& errors, TVaComStat& stat, bool withOutput) {
  errors = 0;
  stat = TVaComStat{};
  std::lock_guard<TVaCriticalSection> lock(ReadLock);
  if (!session_) return;
  TVaPortSession& s = *session_;
  int in = 0;
  if (const int error = s.Device.InputCount(in)) {
    if (LineGone(error)) return;
    throw CommError(msgStatistics, error);
  }
  int out = 0;
  if (withOutput) {
    if (const int error = s.Device.OutputCount(out)) {
      if (LineGone(error)) return;
      throw CommError(msgStatistics, error);
    }
    if (writeThread_) out += static_cast<int>(writeThread_->Pending());
  }
  stat.InQue = static_cast<unsigned>(in);
  stat.OutQue = static_cast<unsigned>(out);
  if (s.CountersSupported) {
    TSerialLineCounters now;
    if (s.Device.LineCounters(now, s.CountersSupported) == 0 && s.CountersSupported) {
      errors = ErrorFlags(s.CountersAtStatus, now);
      s.CountersAtStatus = now;
    }
  }
}

// --- port events on the window thread ----------------------------------------------

void TVaCustomComm::RunFromThread(const std::shared_ptr<TVaPortSession>& session,
                                  const std::function<void(TVaCustomComm&)>& call) {
  // A call of an earlier open, or one that was queued just before a close, finds nothing.
  if (!session || session != session_) return;
  call(*this);
}

void TVaCustomComm::DispatchEvents(unsigned events) {
  if (events & EV_RXCHAR) {
    RunGuarded([this] { HandleRxChar(); });
    events &= ~EV_RXCHAR;
  }
  if (events != 0) RunGuarded([this, events] { HandleEvents(events); });
}

void TVaCustomComm::DispatchHangUp() {
  if (session_ && session_->ErrorMonitored) RunGuarded([this] { HandleEvents(EV_ERR); });
  RunGuarded([this] { Close(); });
}

void TVaCustomComm::HandleRxChar() {
  const int n = InputCount();
  if (n <= 0) return;
  if (OnRxChar) OnRxChar(Self(), n);
}

void TVaCustomComm::HandleEvents(unsigned events) {
  if (events & EV_ERR) {
    unsigned errors = 0;
    TVaComStat stat;
    QueryStatus(errors, stat);
    if (errors != 0 && OnError) RunGuarded([this, errors] { OnError(Self(), static_cast<int>(errors)); });
  }
  static constexpr struct {
    unsigned Flag;
    TVaNotifyEvent TVaCustomComm::*Handler;
  } order[] = {
      {EV_RXFLAG, &TVaCustomComm::OnRxFlag},     {EV_CTS, &TVaCustomComm::OnCts},
      {EV_DSR, &TVaCustomComm::OnDsr},           {EV_RING, &TVaCustomComm::OnRing},
      {EV_RLSD, &TVaCustomComm::OnRlsd},         {EV_TXEMPTY, &TVaCustomComm::OnTxEmpty},
      {EV_BREAK, &TVaCustomComm::OnBreak},       {EV_PERR, &TVaCustomComm::OnPErr},
      {EV_RX80FULL, &TVaCustomComm::OnRx80Full}, {EV_EVENT1, &TVaCustomComm::OnEvent1},
      {EV_EVENT2, &TVaCustomComm::OnEvent2},
  };
  for (const auto& e : order) {
    if ((events & e.Flag) == 0) continue;
    const TVaNotifyEvent& handler = this->*e.Handler;
    if (handler) handler(Self());
  }
}

// --- the main window's design ------------------------------------------------------

void ApplyPhoneDesignSettings(TVaComm& comm) {
  comm.SetBaudrate(br115200);
  TVaFlowControl flow;
  flow.SetControlDtr(dtrEnabled);
  flow.SetControlRts(rtsEnabled);
  comm.SetFlowControl(flow);
  comm.SetPortNum(4);
  comm.SetDeviceName("COM%d");
  comm.SetMonitorEvents({ceError, ceRxChar, cePErr});
  comm.Buffers().SetReadSize(1024);
  comm.Buffers().SetWriteSize(1024);
}
