#include "VaCommThreads.h"

#include <QMetaObject>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "VaComm.h"

namespace {

// Sets done when the queued call has run, or when Qt drops it unrun because its
// receiver was destroyed.
class TDoneGuard {
 public:
  explicit TDoneGuard(std::shared_ptr<TVaHandOffDone> done) : done_(std::move(done)) {}
  TDoneGuard(const TDoneGuard&) = delete;
  TDoneGuard& operator=(const TDoneGuard&) = delete;
  ~TDoneGuard() { done_->Set(); }

 private:
  std::shared_ptr<TVaHandOffDone> done_;
};

// Nice values for the priorities; raising above normal needs privileges and is
// skipped quietly without them.
int NiceFor(TThreadPriority priority) {
  static constexpr int nice[] = {19, 10, 5, 0, -5, -10, -20};
  return nice[static_cast<int>(priority)];
}

// Pauses that keep a dead or refusing line from costing processor time.
constexpr int HangUpPauseMs = 250;
constexpr int WriteRetryPauseMs = 100;
// Bytes are waiting that no handler has taken: look again after this long.
constexpr int UntakenPauseMs = 20;

}  // namespace

// --- TVaPortSession ---------------------------------------------------------------

TVaPortSession::TVaPortSession(TSerialDevice device, std::string deviceText)
    : Device(std::move(device)), DeviceText(std::move(deviceText)) {}

void TVaPortSession::Attach(TVaCustomComm* owner) {
  std::lock_guard<std::mutex> lock(ownerLock_);
  owner_ = owner;
}

void TVaPortSession::Detach() {
  std::lock_guard<std::mutex> lock(ownerLock_);
  owner_ = nullptr;
}

bool TVaPortSession::Post(std::function<void(TVaCustomComm&)> call, const std::shared_ptr<TVaHandOffDone>& done) {
  std::lock_guard<std::mutex> lock(ownerLock_);
  if (!owner_) return false;
  TVaCustomComm* owner = owner_;
  auto guard = std::make_shared<TDoneGuard>(done);
  // Only queued here: Close detaches the owner under this lock before it goes, so the
  // pointer is good while the call is placed; Qt drops the call if the owner dies first.
  // The weak reference keeps a late call of an earlier open from running on a later one.
  QMetaObject::invokeMethod(
      owner,
      [owner, guard, call = std::move(call), session = weak_from_this()]() {
        owner->RunFromThread(session.lock(), call);
      },
      Qt::QueuedConnection);
  return true;
}

void TVaPortSession::ThreadStarted() {
  std::lock_guard<std::mutex> lock(deviceLock_);
  ++running_;
}

void TVaPortSession::ThreadFinished() {
  std::lock_guard<std::mutex> lock(deviceLock_);
  if (--running_ == 0 && released_) Device.Close();
}

void TVaPortSession::Release() {
  std::lock_guard<std::mutex> lock(deviceLock_);
  released_ = true;
  if (running_ == 0) Device.Close();
}

// --- TVaHandOffDone ---------------------------------------------------------------

void TVaHandOffDone::Arm() {
  std::lock_guard<std::mutex> lock(lock_);
  done_ = false;
}

void TVaHandOffDone::Set() {
  {
    std::lock_guard<std::mutex> lock(lock_);
    done_ = true;
  }
  changed_.notify_all();
}

void TVaHandOffDone::Stop() {
  {
    std::lock_guard<std::mutex> lock(lock_);
    stopped_ = true;
  }
  changed_.notify_all();
}

bool TVaHandOffDone::Wait() {
  std::unique_lock<std::mutex> lock(lock_);
  changed_.wait(lock, [this] { return done_ || stopped_; });
  return !stopped_;
}

// --- TVaCommBuffer ----------------------------------------------------------------

TVaCommBuffer::TVaCommBuffer(std::size_t capacity)
    : data_(std::make_unique<unsigned char[]>(capacity > 0 ? capacity : 1)), capacity_(capacity) {}

void TVaCommBuffer::Append(const void* bytes, std::size_t n) {
  if (n == 0) return;
  std::memcpy(data_.get() + Size, bytes, n);
  Size += n;
}

void TVaCommBuffer::Consume(std::size_t n) {
  if (n >= Size) {
    Size = 0;
    return;
  }
  std::memmove(data_.get(), data_.get() + n, Size - n);
  Size -= n;
}

// --- TVaCommThread ----------------------------------------------------------------

TVaCommThread::TVaCommThread(std::shared_ptr<TVaPortSession> session, TThreadPriority priority)
    : session_(std::move(session)), priority_(priority) {}

TVaCommThread::~TVaCommThread() {
  if (thread_.joinable()) thread_.detach();
}

void TVaCommThread::Start(const std::shared_ptr<TVaCommThread>& thread) {
  thread->session_->ThreadStarted();
  try {
    thread->thread_ = std::thread([self = thread]() {
      self->tid_ = static_cast<int>(::syscall(SYS_gettid));
      self->ApplyPriority();
      self->Execute();
      self->session_->ThreadFinished();
      self->finished_.SetEvent();
    });
  } catch (...) {
    thread->session_->ThreadFinished();  // never ran: it must not keep the device open
    thread->finished_.SetEvent();
    throw;
  }
}

void TVaCommThread::Finish(std::chrono::steady_clock::time_point deadline) {
  if (!thread_.joinable()) return;
  if (finished_.WaitFor(MillisecondsUntil(deadline)) == wrSignaled)
    thread_.join();
  else
    thread_.detach();  // it holds what it uses and closes the device when it ends
}

void TVaCommThread::SetPriority(TThreadPriority priority) {
  priority_ = priority;
  ApplyPriority();
}

void TVaCommThread::ApplyPriority() {
  const int tid = tid_.load();
  if (tid != 0) ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), NiceFor(priority_.load()));
}

void TVaCommThread::StopHandOff() {
  stopping_ = true;
  handOffDone_->Stop();
}

bool TVaCommThread::HandOff(std::function<void(TVaCustomComm&)> call) {
  if (Stopping()) return false;
  handOffDone_->Arm();
  if (!session_->Post(std::move(call), handOffDone_)) return false;
  return handOffDone_->Wait();
}

void TVaCommThread::ReportHangUp() {
  if (!session_->HangUpHanded.exchange(true)) HandOff([](TVaCustomComm& comm) { comm.DispatchHangUp(); });
  Pause(HangUpPauseMs);
}

// --- TVaCommEventThread -----------------------------------------------------------

TVaCommEventThread::TVaCommEventThread(std::shared_ptr<TVaPortSession> session, TThreadPriority priority)
    : TVaCommThread(std::move(session), priority) {}

void TVaCommEventThread::Stop() {
  StopHandOff();
  Stopped = true;
  WaitSignal.SetEvent();
}

bool TVaCommEventThread::LineErrorsSince(TSerialLineCounters& last, bool& supported) {
  if (!supported) return false;
  TSerialLineCounters now;
  if (session_->Device.LineCounters(now, supported) != 0 || !supported) return false;
  const bool changed = now.Frame != last.Frame || now.Overrun != last.Overrun || now.Parity != last.Parity ||
                       now.Break != last.Break || now.BufferOverrun != last.BufferOverrun;
  last = now;
  return changed;
}

void TVaCommEventThread::Execute() {
  TVaPortSession& s = *session_;
  const bool watchRx = (s.EventMask & EV_RXCHAR) != 0;
  bool countersSupported = s.ErrorMonitored;
  TSerialLineCounters counters;
  LineErrorsSince(counters, countersSupported);

  // What was waiting at the last notice (-1: not counted): bytes still waiting, with no
  // read since, are not new and get no second notice until more arrive.
  int countAtNotice = 0;
  std::uint64_t readsAtNotice = 0;

  while (!Stopped) {
    pollfd fds[2] = {{WaitSignal.Handle(), POLLIN, 0}, {s.Device.Fd(), static_cast<short>(watchRx ? POLLIN : 0), 0}};
    if (SerialPoll(fds, 2, -1) < 0) {
      Pause(WriteRetryPauseMs);
      continue;
    }
    if (fds[0].revents || Stopped) break;
    const short got = fds[1].revents;
    if (got & (POLLHUP | POLLERR | POLLNVAL)) {
      ReportHangUp();
      continue;
    }
    unsigned word = 0;
    if (got & POLLIN) {
      const std::uint64_t reads = s.ReadCount.load();
      if (reads != readsAtNotice) {
        // Read from since the last notice: what waits now is news. It is not counted
        // here, since the window thread counts it again anyway; a count that turns out
        // to be 0 there calls no handler.
        countAtNotice = -1;
      } else {
        int waiting = 0;
        const int error = s.Device.InputCount(waiting);
        if (error == EIO) {
          ReportHangUp();
          continue;
        }
        if (error != 0 || waiting <= 0) {
          Pause(UntakenPauseMs);  // readable yet nothing to count: do not spin on it
          continue;
        }
        if (waiting == countAtNotice) {
          Pause(UntakenPauseMs);
          continue;
        }
        countAtNotice = waiting;
      }
      readsAtNotice = reads;
      word |= EV_RXCHAR;
    }
    if (LineErrorsSince(counters, countersSupported)) word |= EV_ERR;
    if (word != 0) HandOff([word](TVaCustomComm& comm) { comm.DispatchEvents(word); });
  }
}

// --- TVaCommWriteThread -----------------------------------------------------------

TVaCommWriteThread::TVaCommWriteThread(std::shared_ptr<TVaPortSession> session,
                                       std::shared_ptr<TVaCriticalSection> writeLock, std::size_t capacity,
                                       TThreadPriority priority)
    : TVaCommThread(std::move(session), priority), writeLock_(std::move(writeLock)), buffer_(capacity) {}

TVaCommWriteThread::TQueueResult TVaCommWriteThread::Queue(const void* bytes, std::size_t n, int timeoutMs,
                                                            bool writeThrough) {
  std::unique_lock<TVaCriticalSection> lock(*writeLock_);
  if (lineGone_) return qrLineGone;
  const auto* data = static_cast<const unsigned char*>(bytes);
  std::size_t appended = 0;  // this call's bytes at the end of the buffer
  while (n > 0) {
    // Wait until the buffer takes the rest whole, or a buffer's worth of it: parts of a
    // few bytes each would cost a wake-up of both threads apiece. The limit counts from
    // the line's last progress, so a line that keeps taking bytes is never refused.
    // A buffer of no bytes never has room for one: its writes wait out the limit and
    // fail like any other write that finds no room.
    const std::size_t want = std::min(n, std::max<std::size_t>(buffer_.Capacity(), 1));
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (buffer_.Capacity() - buffer_.Size < want) {
      const std::size_t before = buffer_.Size;
      if (!roomFreed_.wait_until(lock, deadline,
                                 [&] { return buffer_.Size < before || lineGone_ || stopped_; })) {
        // A refused write leaves nothing of itself behind that the line has not taken:
        // its parts still queued, and not in flight, are taken back.
        const std::size_t queued = std::min(appended, buffer_.Size);
        buffer_.Size -= std::min(queued, buffer_.Size - inFlight_);
        return qrNoRoom;
      }
      if (lineGone_ || stopped_) return qrLineGone;
      deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    }
    if (writeThrough && buffer_.Size == 0 && !stopped_) {
      // An empty buffer means no write is in flight (bytes leave it only once written).
      // A failure here is left to the thread: the bytes are queued and it retries and
      // reports as for any write.
      appended = 0;
      const ssize_t written = session_->Device.Write(data, n);
      if (written > 0) {
        data += written;
        n -= static_cast<std::size_t>(written);
      }
      if (n == 0) break;
    }
    const std::size_t part = std::min(n, buffer_.Capacity() - buffer_.Size);
    buffer_.Append(data, part);
    appended += part;
    data += part;
    n -= part;
    if (!dataReady_) {
      DataReadySignal.SetEvent();
      dataReady_ = true;
    }
  }
  return qrQueued;
}

void TVaCommWriteThread::NoteLineGone() {
  {
    std::lock_guard<TVaCriticalSection> lock(*writeLock_);
    lineGone_ = true;
  }
  roomFreed_.notify_all();
}

std::size_t TVaCommWriteThread::Pending() {
  std::lock_guard<TVaCriticalSection> lock(*writeLock_);
  return buffer_.Size;
}

bool TVaCommWriteThread::WaitWritable() {
  pollfd fds[2] = {{StopSignal.Handle(), POLLIN, 0}, {session_->Device.Fd(), POLLOUT, 0}};
  if (SerialPoll(fds, 2, -1) < 0) return !Pause(WriteRetryPauseMs);
  return fds[0].revents == 0;
}

void TVaCommWriteThread::Execute() {
  TVaPortSession& s = *session_;
  bool more = false;  // bytes remained after the last write: no need to wait for the signal
  for (;;) {
    // The stop signal comes first: it wins when both are set.
    if (more ? stopped_.load() : TVaWaitEvent::WaitForAny({&StopSignal, &DataReadySignal}, VaInfinite) != 1) break;
    more = false;
    const unsigned char* data;
    std::size_t size;
    {
      std::lock_guard<TVaCriticalSection> lock(*writeLock_);
      size = buffer_.Size;
      data = buffer_.Data();
      inFlight_ = size;
      if (size == 0) {
        DataReadySignal.ResetEvent();
        dataReady_ = false;
        continue;
      }
    }
    // The bytes in flight are at the front; appends go behind them, a refused write
    // takes back only bytes behind them, and only this thread consumes, so they stay
    // put without the lock.
    const ssize_t written = s.Device.Write(data, size);
    if (written < 0) {
      const int error = errno;
      {
        std::lock_guard<TVaCriticalSection> lock(*writeLock_);
        inFlight_ = 0;
      }
      if (error == EAGAIN || error == EWOULDBLOCK) {
        if (!WaitWritable()) break;
        more = true;  // the bytes are still there: straight back to the write
        continue;
      }
      if (error == EIO) {
        NoteLineGone();
        ReportHangUp();
      } else {
        // The bytes stay queued and DataReadySignal stays set: they are tried again.
        HandOff([](TVaCustomComm& comm) { comm.DispatchEvents(EV_ERR); });
        Pause(WriteRetryPauseMs);
      }
      if (Stopping()) break;
      continue;
    }
    bool empty;
    {
      std::lock_guard<TVaCriticalSection> lock(*writeLock_);
      buffer_.Consume(static_cast<std::size_t>(written));
      inFlight_ = 0;
      empty = buffer_.Size == 0;
      // Under the lock, so that an append can't fall between the look and the reset.
      if (empty && dataReady_) {
        DataReadySignal.ResetEvent();
        dataReady_ = false;
      } else if (!empty && !dataReady_) {
        DataReadySignal.SetEvent();
        dataReady_ = true;
      }
      more = !empty;
    }
    roomFreed_.notify_all();
    // No lock is held here: the window thread may be waiting for room in Queue.
    if (empty && s.TxEmptyMonitored) HandOff([](TVaCustomComm& comm) { comm.DispatchEvents(EV_TXEMPTY); });
  }
}
