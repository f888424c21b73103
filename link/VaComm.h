#pragma once
// The serial port component TVaComm (unit VaComm): the program's only line to the phone.
//
// It holds the line settings, opens and closes the port, and runs two background
// threads while the port is open: an event thread that waits for the port's events and
// a write thread that drains a bounded output buffer (WriteSize bytes, allocated once
// per open). Neither thread calls a handler itself: each hands the call to the window
// thread (the thread the component lives on) and waits until it has run. Handlers
// therefore run one at a time, whenever the window thread processes its messages.
//
// Everything public is called on the window thread. Failures raise EVaCommError with
// its exact message; an exception from a handler run for a port event is shown by the
// application's standard exception report and the event thread goes on.
//
// When the line goes away (a pulled USB cable, the other end of a pseudo-terminal
// closed) the event thread hands one error event and the component closes the port
// itself on the window thread: IsOpen turns false and OnClose runs as for any close, so
// that the next read opens the port and detects the phone again.

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "VaCommSettings.h"
#include "VaSync.h"

class TVaComm;
class TVaPortSession;
class TVaCommThread;
class TVaCommEventThread;
class TVaCommWriteThread;

class EVaCommError : public std::runtime_error {
 public:
  explicit EVaCommError(const std::string& message, int systemError = 0)
      : std::runtime_error(message), systemError_(systemError) {}
  // The errno of the failing system call, 0 when there was none; the read picks its
  // hint for the user by it.
  int SystemError() const { return systemError_; }

 private:
  int systemError_;
};

// Flags of an event word.
inline constexpr unsigned EV_RXCHAR = 0x0001;
inline constexpr unsigned EV_RXFLAG = 0x0002;
inline constexpr unsigned EV_TXEMPTY = 0x0004;
inline constexpr unsigned EV_CTS = 0x0008;
inline constexpr unsigned EV_DSR = 0x0010;
inline constexpr unsigned EV_RLSD = 0x0020;
inline constexpr unsigned EV_BREAK = 0x0040;
inline constexpr unsigned EV_ERR = 0x0080;
inline constexpr unsigned EV_RING = 0x0100;
inline constexpr unsigned EV_PERR = 0x0200;
inline constexpr unsigned EV_RX80FULL = 0x0400;
inline constexpr unsigned EV_EVENT1 = 0x0800;
inline constexpr unsigned EV_EVENT2 = 0x1000;

// The line's error flags, as QueryStatus and OnError give them.
inline constexpr unsigned CE_RXOVER = 0x0001;
inline constexpr unsigned CE_OVERRUN = 0x0002;
inline constexpr unsigned CE_RXPARITY = 0x0004;
inline constexpr unsigned CE_FRAME = 0x0008;
inline constexpr unsigned CE_BREAK = 0x0010;

// The messages of EVaCommError; those with "(%d), %s" get the error code and its text.
inline constexpr const char* msgPortOpen = "Can't perform this operation while port is open";
inline constexpr const char* msgDeviceNotFound = "Specified device not found (%s).";
inline constexpr const char* msgCantOpenDevice = "Can't open specified device %s";
inline constexpr const char* msgErrorSuffix = " (Error %d, %s)";
inline constexpr const char* msgWriteDcb = "Error writing dcb (%d), %s";
inline constexpr const char* msgInitBuffers = "Error initializing buffers (%d), %s";
inline constexpr const char* msgSetTimeouts = "Error setting timeouts (%d), %s";
inline constexpr const char* msgSetEventMask = " Error setting EventMask (%d), %s";
inline constexpr const char* msgStatistics = "Error retrieving statistics (%d), %s";
inline constexpr const char* msgReadError = "Read error (%d), %s";
inline constexpr const char* msgWriteError = "Write error (%d), %s";
inline constexpr const char* msgBufferFull = "Output buffer is full. Please check comm status.";

// A message with its "%d" and "%s" filled in.
std::string CommErrorText(const char* message, int code, const std::string& text);
// A message with "(%d), %s" filled from an error code and the system's text for it.
EVaCommError CommError(const char* message, int code);

// The system event mask for the monitored events. Without DirectWrite, EV_TXEMPTY stays
// out: the write thread reports the transmit-empty event itself.
unsigned EventMaskFor(TVaCommEvents events, bool directWrite);

// Status of the line: its flags (always 0 here) and the two queue counts.
struct TVaComStat {
  unsigned Flags = 0;
  unsigned InQue = 0;
  unsigned OutQue = 0;
};

using PVaData = const unsigned char*;
using TVaPortInt = int;  // 0 to 2147483647
using TVaNotifyEvent = std::function<void(TVaComm* sender)>;
using TVaCommRxCharEvent = std::function<void(TVaComm* sender, int count)>;
using TVaCommErrorEvent = std::function<void(TVaComm* sender, int errors)>;
using TVaCommRxBufEvent = std::function<void(TVaComm* sender, PVaData data, int count)>;

// The framework's component base: a QObject on the window thread, which is also where
// the threads' calls are queued.
class TVaComponent : public QObject {
 public:
  explicit TVaComponent(QObject* owner = nullptr) : QObject(owner) {}
  // Loading from the window's design has finished.
  virtual void Loaded() {}
};

class TVaCustomComm : public TVaComponent {
 public:
  ~TVaCustomComm() override;

  // Opens and configures the port and starts the threads; OnOpen runs before it returns.
  void Open();
  // Stops the threads and closes the port; queued output is dropped. Nothing when closed.
  void Close();
  bool IsOpen() const { return session_ != nullptr; }

  // Queues count bytes, any number: what the line does not take at once goes through
  // the buffer in parts as room frees. Count when queued; 0 when the port is closed or
  // its line went away meanwhile (the port then closes itself); raises when the line
  // took nothing, and so freed no room, for WriteTimeout.
  int WriteBytes(const void* bytes, int count);
  bool WriteString(const std::string& text);
  bool WriteByte(unsigned char byte);
  // Up to count bytes of those waiting now; 0 when none or the port is closed.
  int ReadBytes(void* buffer, int count);
  // All bytes waiting now, in the order received.
  std::string ReadString();
  int InputCount();
  // Fetches and clears the line's error flags, with the queue counts; all 0 when closed.
  void QueryStatus(unsigned& errors, TVaComStat& stat);

  // Opens the port when AutoOpen is set.
  void Loaded() override;

  // Successful opens since construction: tells one open of the port from the next.
  unsigned OpenCount() const { return openCount_; }
  // The formatted device name, e.g. "COM4".
  std::string FormattedDeviceName() const;

 protected:
  explicit TVaCustomComm(QObject* owner);

  // The virtual operations, in their order.
  virtual void OpenDevice();
  virtual void StartThreads();
  virtual void HandleRxChar();
  virtual void HandleEvents(unsigned events);
  virtual void AddLink(TVaComponent* link);
  virtual void RemoveLink(TVaComponent* link);

  // Properties (TVaComm publishes them).
  bool AutoOpen() const { return autoOpen_; }
  void SetAutoOpen(bool value) { autoOpen_ = value; }
  TVaBaudrate Baudrate() const { return baudrate_; }
  void SetBaudrate(TVaBaudrate value);
  TVaParity Parity() const { return parity_; }
  void SetParity(TVaParity value);
  bool ParityCheck() const { return parityCheck_; }
  void SetParityCheck(bool value);
  TVaDatabits Databits() const { return databits_; }
  void SetDatabits(TVaDatabits value);
  TVaStopbits Stopbits() const { return stopbits_; }
  void SetStopbits(TVaStopbits value);
  TVaEventChars& EventChars() { return eventChars_; }
  const TVaEventChars& EventChars() const { return eventChars_; }
  void SetEventChars(const TVaEventChars& value) { eventChars_.CopyFrom(value); }
  TVaFlowControl& FlowControl() { return flowControl_; }
  const TVaFlowControl& FlowControl() const { return flowControl_; }
  void SetFlowControl(const TVaFlowControl& value) { flowControl_.CopyFrom(value); }
  TVaCommOptions Options() const { return options_; }
  void SetOptions(TVaCommOptions value);
  TVaPortInt PortNum() const { return portNum_; }
  void SetPortNum(TVaPortInt value);
  const std::string& DeviceName() const { return deviceName_; }
  void SetDeviceName(const std::string& value);
  TVaCommEvents MonitorEvents() const { return monitorEvents_; }
  void SetMonitorEvents(TVaCommEvents value);
  TVaBuffers& Buffers() { return buffers_; }
  const TVaBuffers& Buffers() const { return buffers_; }
  void SetBuffers(const TVaBuffers& value) { buffers_.CopyFrom(value); }
  TThreadPriority EventPriority() const { return eventPriority_; }
  void SetEventPriority(TThreadPriority value);
  TThreadPriority WritePriority() const { return writePriority_; }
  void SetWritePriority(TThreadPriority value);
  bool DirectWrite() const { return directWrite_; }
  void SetDirectWrite(bool value);
  bool UpdateDCB() const { return updateDcb_; }
  void SetUpdateDCB(bool value);
  int UserBaudrate() const { return userBaudrate_; }
  void SetUserBaudrate(int value);

  // Events.
  TVaNotifyEvent OnOpen;
  TVaNotifyEvent OnClose;
  TVaNotifyEvent OnCts;
  TVaNotifyEvent OnDsr;
  TVaNotifyEvent OnRlsd;
  TVaNotifyEvent OnRing;
  TVaNotifyEvent OnBreak;
  TVaCommErrorEvent OnError;
  TVaCommRxCharEvent OnRxChar;
  TVaCommRxBufEvent OnRxBuf;
  TVaNotifyEvent OnRxFlag;
  TVaNotifyEvent OnTxEmpty;
  TVaNotifyEvent OnPErr;
  TVaNotifyEvent OnRx80Full;
  TVaNotifyEvent OnEvent1;
  TVaNotifyEvent OnEvent2;

 private:
  friend class TVaPortSession;
  friend class TVaCommThread;
  friend class TVaCommEventThread;
  friend class TVaCommWriteThread;

  TVaComm* Self();
  void RequireClosed() const;
  void ApplyLineSettings();  // writes the line settings now
  void Reapply();            // ... when open and UpdateDCB is set
  void SetupQueues();
  void SetTimeouts();
  void SetEventMask();
  void WriteDirect(const unsigned char* bytes, int count);
  void Status(unsigned& errors, TVaComStat& stat, bool withOutput);
  void StopThreads();

  // Run on the window thread for the threads.
  void RunFromThread(const std::shared_ptr<TVaPortSession>& session,
                     const std::function<void(TVaCustomComm&)>& call);
  void DispatchEvents(unsigned events);
  void DispatchHangUp();

  // The handle: present exactly while the port is open.
  std::shared_ptr<TVaPortSession> session_;
  TVaCriticalSection ReadLock;
  std::shared_ptr<TVaCriticalSection> WriteLock = std::make_shared<TVaCriticalSection>();
  std::shared_ptr<TVaCommEventThread> eventThread_;
  std::shared_ptr<TVaCommWriteThread> writeThread_;
  unsigned EventMask = 0;

  bool autoOpen_ = false;
  TVaBaudrate baudrate_ = br1200;
  TVaParity parity_ = paNone;
  bool parityCheck_ = false;
  TVaDatabits databits_ = db8;
  TVaStopbits stopbits_ = sb1;
  TVaEventChars eventChars_;
  TVaFlowControl flowControl_;
  TVaCommOptions options_;
  TVaPortInt portNum_ = 0;
  std::string deviceName_ = "COM%d";
  TVaCommEvents monitorEvents_{ceError, ceRxChar, ceTxEmpty};
  TVaBuffers buffers_;
  TThreadPriority eventPriority_ = tpNormal;
  TThreadPriority writePriority_ = tpHighest;
  bool directWrite_ = false;
  bool updateDcb_ = true;
  int userBaudrate_ = 0;

  std::vector<TVaComponent*> links_;  // linked components: none in this program
  unsigned openCount_ = 0;
  bool destroying_ = false;
};

class TVaComm : public TVaCustomComm {
 public:
  explicit TVaComm(QObject* owner = nullptr) : TVaCustomComm(owner) {}

  using TVaCustomComm::AutoOpen;
  using TVaCustomComm::SetAutoOpen;
  using TVaCustomComm::Baudrate;
  using TVaCustomComm::SetBaudrate;
  using TVaCustomComm::Parity;
  using TVaCustomComm::SetParity;
  using TVaCustomComm::ParityCheck;
  using TVaCustomComm::SetParityCheck;
  using TVaCustomComm::Databits;
  using TVaCustomComm::SetDatabits;
  using TVaCustomComm::Stopbits;
  using TVaCustomComm::SetStopbits;
  using TVaCustomComm::EventChars;
  using TVaCustomComm::SetEventChars;
  using TVaCustomComm::FlowControl;
  using TVaCustomComm::SetFlowControl;
  using TVaCustomComm::Options;
  using TVaCustomComm::SetOptions;
  using TVaCustomComm::PortNum;
  using TVaCustomComm::SetPortNum;
  using TVaCustomComm::DeviceName;
  using TVaCustomComm::SetDeviceName;
  using TVaCustomComm::MonitorEvents;
  using TVaCustomComm::SetMonitorEvents;
  using TVaCustomComm::Buffers;
  using TVaCustomComm::SetBuffers;
  using TVaCustomComm::EventPriority;
  using TVaCustomComm::SetEventPriority;
  using TVaCustomComm::WritePriority;
  using TVaCustomComm::SetWritePriority;
  using TVaCustomComm::DirectWrite;
  using TVaCustomComm::SetDirectWrite;
  using TVaCustomComm::UpdateDCB;
  using TVaCustomComm::SetUpdateDCB;
  using TVaCustomComm::UserBaudrate;
  using TVaCustomComm::SetUserBaudrate;

  using TVaCustomComm::OnOpen;
  using TVaCustomComm::OnClose;
  using TVaCustomComm::OnCts;
  using TVaCustomComm::OnDsr;
  using TVaCustomComm::OnRlsd;
  using TVaCustomComm::OnRing;
  using TVaCustomComm::OnBreak;
  using TVaCustomComm::OnError;
  using TVaCustomComm::OnRxChar;
  using TVaCustomComm::OnRxBuf;
  using TVaCustomComm::OnRxFlag;
  using TVaCustomComm::OnTxEmpty;
  using TVaCustomComm::OnPErr;
  using TVaCustomComm::OnRx80Full;
  using TVaCustomComm::OnEvent1;
  using TVaCustomComm::OnEvent2;
};

// The main window's design settings of its VaComm: 115200 bits per second, DTR and RTS
// raised, no flow control, PortNum 4, DeviceName "COM%d", MonitorEvents ceError,
// ceRxChar and cePErr, Buffers 1024/1024; every other setting at its default. Call
// while the port is closed (some of them are refused while it is open). The handlers
// are wired by the exchange.
void ApplyPhoneDesignSettings(TVaComm& comm);
