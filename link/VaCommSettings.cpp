#include "VaCommSettings.h"

#include <iterator>
#include <stdexcept>
#include <string>
#include <typeinfo>

namespace {

// Bits per second of each TVaBaudrate, by ordinal.
constexpr int BaudrateTable[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                 14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
static_assert(std::size(BaudrateTable) == br256000 + 1);

}  // namespace

int BaudrateBits(TVaBaudrate rate) {
  const auto index = static_cast<std::size_t>(rate);
  return index < std::size(BaudrateTable) ? BaudrateTable[index] : 0;
}

void TVaPersistent::CopyFrom(const TVaPersistent& source) {
  if (&source == this) return;
  if (typeid(source) != typeid(*this))
    throw std::invalid_argument(std::string("Cannot assign a ") + source.ClassName() + " to a " +
                                ClassName());
  Changing();
  BeginUpdate();
  try {
    AssignValues(source);
  } catch (...) {
    --updateCount_;
    throw;
  }
  EndUpdate();
}

void TVaPersistent::EndUpdate() {
  if (updateCount_ > 0) --updateCount_;
  if (updateCount_ == 0) Changed();
}

void TVaPersistent::Changing() const {
  if (OnChanging) OnChanging();
}

void TVaPersistent::Changed() const {
  if (updateCount_ == 0 && OnChanged) OnChanged();
}

void TVaBuffers::StoreSize(int& field, int value, const char* name) {
  if (value < 0) throw std::out_of_range(std::string(name) + " must be 0 to 2147483647");
  // A buffer value can't change while the port is open, not even to the same value:
  // the owner refuses before the comparison.
  Changing();
  if (field == value) return;
  field = value;
  Changed();
}

void TVaBuffers::SetReadSize(int value) { StoreSize(readSize_, value, "ReadSize"); }
void TVaBuffers::SetWriteSize(int value) { StoreSize(writeSize_, value, "WriteSize"); }
void TVaBuffers::SetReadTimeout(int value) { StoreSize(readTimeout_, value, "ReadTimeout"); }
void TVaBuffers::SetWriteTimeout(int value) { StoreSize(writeTimeout_, value, "WriteTimeout"); }

void TVaBuffers::AssignValues(const TVaPersistent& source) {
  const auto& s = static_cast<const TVaBuffers&>(source);
  SetReadSize(s.readSize_);
  SetWriteSize(s.writeSize_);
  SetReadTimeout(s.readTimeout_);
  SetWriteTimeout(s.writeTimeout_);
}

void TVaFlowControl::AssignValues(const TVaPersistent& source) {
  const auto& s = static_cast<const TVaFlowControl&>(source);
  SetOutCtsFlow(s.outCtsFlow_);
  SetOutDsrFlow(s.outDsrFlow_);
  SetControlDtr(s.controlDtr_);
  SetControlRts(s.controlRts_);
  SetXonXoffOut(s.xonXoffOut_);
  SetXonXoffIn(s.xonXoffIn_);
  SetDsrSensitivity(s.dsrSensitivity_);
  SetTxContinueOnXoff(s.txContinueOnXoff_);
}

void TVaEventChars::AssignValues(const TVaPersistent& source) {
  const auto& s = static_cast<const TVaEventChars&>(source);
  SetXonChar(s.xonChar_);
  SetXoffChar(s.xoffChar_);
  SetErrorChar(s.errorChar_);
  SetEventChar(s.eventChar_);
  SetEofChar(s.eofChar_);
}
