#pragma once
// The serial component's two background threads and what they share with it.
//
// One TVaPortSession exists per open port. The component and both threads hold it, so
// a thread never depends on the component being alive: it reaches the component only
// by placing a call for the window thread through the session, which does so only
// while the component is attached (Close detaches it under the session's lock). The
// call runs there through the component's event queue; a call still queued when the
// component is destroyed is dropped. A thread waits for its call to run (or be dropped)
// or for its stop signal, whichever comes first, so a window thread that is closing the
// port can never deadlock with it. The device is closed when the component has let go
// and no thread runs any more.
//
// Event thread: polls the device and its WaitSignal; hands a received-bytes event when
// new bytes wait, line-error events where the driver counts them, and a hang-up once.
// Write thread: drains the bounded output buffer; a failed write is reported as an
// error event and retried at a slow pace; a write that finds the line gone (EIO)
// reports the hang-up instead, and first releases a window thread that waits for room
// in Queue (it could not take the hand-off while it waits).

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "SerialDevice.h"
#include "VaCommSettings.h"
#include "VaSync.h"

class TVaCustomComm;

// Where a thread waits for the call it placed for the window thread: set once the call
// has run or been dropped, and ended as well by the thread's stop, which wins when both
// came. A lock and a condition variable rather than a descriptor: the wait and the
// signal are one system call each, and arming costs none.
class TVaHandOffDone {
 public:
  // Before each call is placed.
  void Arm();
  // The call ran, or was dropped unrun.
  void Set();
  // The thread was told to stop: ends the wait in progress and every later one.
  void Stop();
  // Until Set or Stop; true when the call ran and no stop came.
  bool Wait();

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  bool done_ = false;
  bool stopped_ = false;
};

class TVaPortSession : public std::enable_shared_from_this<TVaPortSession> {
 public:
  TVaPortSession(TSerialDevice device, std::string deviceText);
  TVaPortSession(const TVaPortSession&) = delete;
  TVaPortSession& operator=(const TVaPortSession&) = delete;

  TSerialDevice Device;
  const std::string DeviceText;  // how messages name the device

  // Fixed at open (the settings they come from are refused while the port is open).
  unsigned EventMask = 0;
  bool ErrorMonitored = false;
  bool TxEmptyMonitored = false;

  // Successful reads so far: lets the event thread tell new bytes from untaken ones.
  std::atomic<std::uint64_t> ReadCount{0};
  // The hang-up is handed once, by whichever thread finds it first.
  std::atomic<bool> HangUpHanded{false};

  // Window thread only: the line counters at the last status query.
  TSerialLineCounters CountersAtStatus;
  bool CountersSupported = true;

  void Attach(TVaCustomComm* owner);
  void Detach();
  // Places call for the window thread; done is set once it has run or been dropped.
  // False when the component has let go (nothing is placed, done is left alone).
  bool Post(std::function<void(TVaCustomComm&)> call, const std::shared_ptr<TVaHandOffDone>& done);

  void ThreadStarted();
  void ThreadFinished();
  // The component's last word on the session: the device closes as soon as no thread runs.
  void Release();

 private:
  std::mutex ownerLock_;
  TVaCustomComm* owner_ = nullptr;
  std::mutex deviceLock_;
  int running_ = 0;
  bool released_ = false;
};

// Output buffer of the write thread: fixed storage, allocated once.
class TVaCommBuffer {
 public:
  explicit TVaCommBuffer(std::size_t capacity);
  const unsigned char* Data() const { return data_.get(); }
  std::size_t Capacity() const { return capacity_; }
  std::size_t Size = 0;
  // Copies n bytes behind the held ones; the caller has made sure that they fit.
  void Append(const void* bytes, std::size_t n);
  // Drops n bytes from the front; the rest moves to the start.
  void Consume(std::size_t n);

 private:
  std::unique_ptr<unsigned char[]> data_;
  std::size_t capacity_;
};

class TVaCommThread {
 public:
  virtual ~TVaCommThread();
  TVaCommThread(const TVaCommThread&) = delete;
  TVaCommThread& operator=(const TVaCommThread&) = delete;

  // Starts the thread; it keeps itself alive until it ends.
  static void Start(const std::shared_ptr<TVaCommThread>& thread);
  // Tells the thread to stop; it ends on its own soon after.
  virtual void Stop() = 0;
  // Waits until the thread has ended or the deadline passed, then joins or lets go.
  void Finish(std::chrono::steady_clock::time_point deadline);
  void SetPriority(TThreadPriority priority);

 protected:
  TVaCommThread(std::shared_ptr<TVaPortSession> session, TThreadPriority priority);
  virtual void Execute() = 0;
  // The stop signal that ends every wait of this thread.
  virtual TVaWaitEvent& StopEvent() = 0;
  // Each Stop calls this first: the flag that Stopping reads without a system call, and
  // the end of a hand-off's wait.
  void StopHandOff();
  bool Stopping() const { return stopping_.load(); }
  // Hands call to the window thread and waits until it has run; false when the thread
  // was told to stop meanwhile or the component has let go.
  bool HandOff(std::function<void(TVaCustomComm&)> call);
  // Hands the hang-up unless a thread already did, then waits a while: the component
  // closes the port, which stops the thread.
  void ReportHangUp();
  // Waits up to ms for the stop signal; true when it came.
  bool Pause(int ms) { return StopEvent().WaitFor(ms) == wrSignaled; }

  std::shared_ptr<TVaPortSession> session_;

 private:
  void ApplyPriority();
  std::atomic<bool> stopping_{false};
  std::shared_ptr<TVaHandOffDone> handOffDone_ = std::make_shared<TVaHandOffDone>();
  TVaWaitEvent finished_;
  std::thread thread_;
  std::atomic<int> tid_{0};
  std::atomic<TThreadPriority> priority_;
};

class TVaCommEventThread : public TVaCommThread {
 public:
  TVaCommEventThread(std::shared_ptr<TVaPortSession> session, TThreadPriority priority);
  void Stop() override;

  std::atomic<bool> Stopped{false};
  TVaWaitEvent WaitSignal;

 protected:
  void Execute() override;
  TVaWaitEvent& StopEvent() override { return WaitSignal; }

 private:
  // Line errors counted by the driver since the last look; false where it keeps none.
  bool LineErrorsSince(TSerialLineCounters& last, bool& supported);
};

class TVaCommWriteThread : public TVaCommThread {
 public:
  TVaCommWriteThread(std::shared_ptr<TVaPortSession> session, std::shared_ptr<TVaCriticalSection> writeLock,
                     std::size_t capacity, TThreadPriority priority);
  void Stop() override {
    StopHandOff();
    stopped_ = true;
    StopSignal.SetEvent();
  }

  enum TQueueResult { qrQueued, qrNoRoom, qrLineGone };
  // Window thread: queues n bytes of any number. What does not fit goes in behind the
  // rest in parts as the thread frees room, each wait for room lasting up to timeoutMs:
  // qrNoRoom when none came in time (what of the bytes is not yet written is taken back
  // out of the buffer, so only a beginning that the line took goes out), qrLineGone
  // when the thread found the line gone meanwhile (its hang-up is on its way; the port
  // will close and drop the rest). With writeThrough, bytes that find the buffer empty
  // (nothing in flight) go to the device at once and only what it does not take is
  // queued: the same bytes in the same order, without waking the thread.
  TQueueResult Queue(const void* bytes, std::size_t n, int timeoutMs, bool writeThrough);
  // Bytes waiting to be written (for the output count).
  std::size_t Pending();

  TVaWaitEvent StopSignal;
  TVaWaitEvent DataReadySignal;

 protected:
  void Execute() override;
  TVaWaitEvent& StopEvent() override { return StopSignal; }

 private:
  // Waits until the device takes bytes again; false on stop.
  bool WaitWritable();
  // A write found the line gone: a writer waiting for room stops waiting, since the
  // room would never come.
  void NoteLineGone();

  std::shared_ptr<TVaCriticalSection> writeLock_;
  std::condition_variable_any roomFreed_;
  TVaCommBuffer buffer_;
  bool dataReady_ = false;  // DataReadySignal's state, kept under the lock to save calls
  bool lineGone_ = false;   // under the lock
  std::size_t inFlight_ = 0;  // bytes at the front handed to the device now (under the lock)
  std::atomic<bool> stopped_{false};
};
