#pragma once
// The settings model of the serial component: its enumerations, in their fixed order,
// and the three settings objects (buffers, flow control, event characters).
//
// A settings object belongs to one component, which hands it two callbacks: Changing,
// called before any property changes (the component refuses by raising, e.g. a buffer
// size while the port is open), and Changed, called after a change while the update
// counter is 0 (the component then re-applies the line settings). CopyFrom sets every
// property with the counter raised and reports the change once. Window thread only.
// Setters raise std::out_of_range for a negative size or time.

#include <cstdint>
#include <functional>
#include <initializer_list>

enum TVaBaudrate : std::uint8_t {
  brUser, br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200,
  br38400, br56000, br57600, br115200, br128000, br256000
};
enum TVaParity : std::uint8_t { paNone, paOdd, paEven, paMark, paSpace };
enum TVaDatabits : std::uint8_t { db4, db5, db6, db7, db8 };
enum TVaStopbits : std::uint8_t { sb1, sb15, sb2 };
enum TVaControlDtr : std::uint8_t { dtrDisabled, dtrEnabled, dtrHandshake };
enum TVaControlRts : std::uint8_t { rtsDisabled, rtsEnabled, rtsHandshake, rtsToggle };
enum TVaCommEvent : std::uint8_t {
  ceBreak, ceCts, ceDsr, ceError, ceRing, ceRlsd, ceRxChar, ceTxEmpty, ceRxFlag, cePErr,
  ceRx80Full, ceEvent1, ceEvent2
};
enum TVaCommOption : std::uint8_t { coErrorChar, coNullStrip };
enum TThreadPriority : std::uint8_t {
  tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical
};

// Bits per second of a rate; 0 for brUser (the rate is then UserBaudrate).
int BaudrateBits(TVaBaudrate rate);

// A set of enumerators, one bit per ordinal.
template <class E, class TBits>
class TVaSet {
 public:
  constexpr TVaSet() = default;
  constexpr TVaSet(std::initializer_list<E> members) {
    for (E m : members) bits_ = static_cast<TBits>(bits_ | Bit(m));
  }
  constexpr bool Contains(E m) const { return (bits_ & Bit(m)) != 0; }
  constexpr void Include(E m) { bits_ = static_cast<TBits>(bits_ | Bit(m)); }
  constexpr void Exclude(E m) { bits_ = static_cast<TBits>(bits_ & ~Bit(m)); }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr TBits Bits() const { return bits_; }
  friend constexpr bool operator==(TVaSet a, TVaSet b) { return a.bits_ == b.bits_; }

 private:
  static constexpr TBits Bit(E m) { return static_cast<TBits>(TBits{1} << static_cast<int>(m)); }
  TBits bits_ = 0;
};

using TVaCommEvents = TVaSet<TVaCommEvent, std::uint16_t>;
using TVaCommOptions = TVaSet<TVaCommOption, std::uint8_t>;

class TVaPersistent {
 public:
  virtual ~TVaPersistent() = default;

  // Copies every property of an object of the same class, reporting one change.
  // An object of another class raises std::invalid_argument.
  virtual void CopyFrom(const TVaPersistent& source);

  void BeginUpdate() { ++updateCount_; }
  // Lowers the counter; reports one change when it reaches 0.
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  // Set by the owning component.
  std::function<void()> OnChanging;
  std::function<void()> OnChanged;

 protected:
  TVaPersistent() = default;
  // A copy carries the values only: it belongs to no component.
  TVaPersistent(const TVaPersistent&) : OnChanging(), OnChanged() {}
  TVaPersistent& operator=(const TVaPersistent&) = delete;

  virtual const char* ClassName() const = 0;
  virtual void AssignValues(const TVaPersistent& source) = 0;
  void Changing() const;
  void Changed() const;

  // Stores a new value between the two callbacks; nothing happens for the current one.
  template <class T>
  void Store(T& field, T value) {
    if (field == value) return;
    Changing();
    field = value;
    Changed();
  }

 private:
  int updateCount_ = 0;
};

class TVaBuffers : public TVaPersistent {
 public:
  TVaBuffers() = default;
  TVaBuffers(const TVaBuffers&) = default;
  TVaBuffers& operator=(const TVaBuffers& other) {
    CopyFrom(other);
    return *this;
  }

  int ReadSize() const { return readSize_; }
  int WriteSize() const { return writeSize_; }
  int ReadTimeout() const { return readTimeout_; }
  int WriteTimeout() const { return writeTimeout_; }
  void SetReadSize(int value);
  void SetWriteSize(int value);
  void SetReadTimeout(int value);
  void SetWriteTimeout(int value);

 protected:
  const char* ClassName() const override { return "TVaBuffers"; }
  void AssignValues(const TVaPersistent& source) override;

 private:
  void StoreSize(int& field, int value, const char* name);
  int readSize_ = 4096;
  int writeSize_ = 2048;
  int readTimeout_ = 1000;
  int writeTimeout_ = 1000;
};

class TVaFlowControl : public TVaPersistent {
 public:
  TVaFlowControl() = default;
  TVaFlowControl(const TVaFlowControl&) = default;
  TVaFlowControl& operator=(const TVaFlowControl& other) {
    CopyFrom(other);
    return *this;
  }

  bool OutCtsFlow() const { return outCtsFlow_; }
  bool OutDsrFlow() const { return outDsrFlow_; }
  TVaControlDtr ControlDtr() const { return controlDtr_; }
  TVaControlRts ControlRts() const { return controlRts_; }
  bool XonXoffOut() const { return xonXoffOut_; }
  bool XonXoffIn() const { return xonXoffIn_; }
  bool DsrSensitivity() const { return dsrSensitivity_; }
  bool TxContinueOnXoff() const { return txContinueOnXoff_; }
  void SetOutCtsFlow(bool value) { Store(outCtsFlow_, value); }
  void SetOutDsrFlow(bool value) { Store(outDsrFlow_, value); }
  void SetControlDtr(TVaControlDtr value) { Store(controlDtr_, value); }
  void SetControlRts(TVaControlRts value) { Store(controlRts_, value); }
  void SetXonXoffOut(bool value) { Store(xonXoffOut_, value); }
  void SetXonXoffIn(bool value) { Store(xonXoffIn_, value); }
  void SetDsrSensitivity(bool value) { Store(dsrSensitivity_, value); }
  void SetTxContinueOnXoff(bool value) { Store(txContinueOnXoff_, value); }

 protected:
  const char* ClassName() const override { return "TVaFlowControl"; }
  void AssignValues(const TVaPersistent& source) override;

 private:
  bool outCtsFlow_ = false;
  bool outDsrFlow_ = false;
  TVaControlDtr controlDtr_ = dtrDisabled;
  TVaControlRts controlRts_ = rtsDisabled;
  bool xonXoffOut_ = false;
  bool xonXoffIn_ = false;
  bool dsrSensitivity_ = false;
  bool txContinueOnXoff_ = false;
};

class TVaEventChars : public TVaPersistent {
 public:
  TVaEventChars() = default;
  TVaEventChars(const TVaEventChars&) = default;
  TVaEventChars& operator=(const TVaEventChars& other) {
    CopyFrom(other);
    return *this;
  }

  unsigned char XonChar() const { return xonChar_; }
  unsigned char XoffChar() const { return xoffChar_; }
  unsigned char ErrorChar() const { return errorChar_; }
  unsigned char EventChar() const { return eventChar_; }
  unsigned char EofChar() const { return eofChar_; }
  void SetXonChar(unsigned char value) { Store(xonChar_, value); }
  void SetXoffChar(unsigned char value) { Store(xoffChar_, value); }
  void SetErrorChar(unsigned char value) { Store(errorChar_, value); }
  void SetEventChar(unsigned char value) { Store(eventChar_, value); }
  void SetEofChar(unsigned char value) { Store(eofChar_, value); }

 protected:
  const char* ClassName() const override { return "TVaEventChars"; }
  void AssignValues(const TVaPersistent& source) override;

 private:
  unsigned char xonChar_ = 17;
  unsigned char xoffChar_ = 19;
  unsigned char errorChar_ = 0;
  unsigned char eventChar_ = 0;
  unsigned char eofChar_ = 0;
};
