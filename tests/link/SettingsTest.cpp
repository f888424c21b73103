// The settings model and the port map: defaults, the change rules that hold without a
// port, and how port names become device paths.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "PortMap.h"
#include "VaComm.h"

namespace {

TEST(VaCommSettings, DefaultsAndTheWindowsDesign) {
  TVaComm comm;
  EXPECT_FALSE(comm.AutoOpen());
  EXPECT_EQ(comm.Baudrate(), br1200);
  EXPECT_EQ(comm.Parity(), paNone);
  EXPECT_FALSE(comm.ParityCheck());
  EXPECT_EQ(comm.Databits(), db8);
  EXPECT_EQ(comm.Stopbits(), sb1);
  EXPECT_EQ(comm.EventChars().XonChar(), 17);
  EXPECT_EQ(comm.EventChars().XoffChar(), 19);
  EXPECT_EQ(comm.EventChars().ErrorChar() + comm.EventChars().EventChar() + comm.EventChars().EofChar(), 0);
  EXPECT_EQ(comm.FlowControl().ControlDtr(), dtrDisabled);
  EXPECT_EQ(comm.FlowControl().ControlRts(), rtsDisabled);
  EXPECT_TRUE(comm.Options().Empty());
  EXPECT_EQ(comm.PortNum(), 0);
  EXPECT_EQ(comm.DeviceName(), "COM%d");
  EXPECT_TRUE(comm.MonitorEvents() == (TVaCommEvents{ceError, ceRxChar, ceTxEmpty}));
  EXPECT_EQ(comm.Buffers().ReadSize(), 4096);
  EXPECT_EQ(comm.Buffers().WriteSize(), 2048);
  EXPECT_EQ(comm.Buffers().ReadTimeout(), 1000);
  EXPECT_EQ(comm.Buffers().WriteTimeout(), 1000);
  EXPECT_EQ(comm.EventPriority(), tpNormal);
  EXPECT_EQ(comm.WritePriority(), tpHighest);
  EXPECT_FALSE(comm.DirectWrite());
  EXPECT_TRUE(comm.UpdateDCB());
  EXPECT_EQ(comm.UserBaudrate(), 0);
  EXPECT_FALSE(comm.IsOpen());

  ApplyPhoneDesignSettings(comm);
  EXPECT_EQ(comm.Baudrate(), br115200);
  EXPECT_EQ(comm.FlowControl().ControlDtr(), dtrEnabled);
  EXPECT_EQ(comm.FlowControl().ControlRts(), rtsEnabled);
  EXPECT_FALSE(comm.FlowControl().OutCtsFlow() || comm.FlowControl().OutDsrFlow() ||
               comm.FlowControl().XonXoffOut() || comm.FlowControl().XonXoffIn() ||
               comm.FlowControl().DsrSensitivity() || comm.FlowControl().TxContinueOnXoff());
  EXPECT_EQ(comm.PortNum(), 4);
  EXPECT_EQ(comm.FormattedDeviceName(), "COM4");
  EXPECT_TRUE(comm.MonitorEvents() == (TVaCommEvents{ceError, ceRxChar, cePErr}));
  EXPECT_EQ(comm.Buffers().ReadSize(), 1024);
  EXPECT_EQ(comm.Buffers().WriteSize(), 1024);
  EXPECT_EQ(comm.Buffers().WriteTimeout(), 1000);
}

TEST(VaCommSettings, EventMaskLeavesTransmitEmptyToTheWriteThread) {
  EXPECT_EQ(EventMaskFor({ceError, ceRxChar, cePErr}, false), EV_RXCHAR | EV_ERR | EV_PERR);
  EXPECT_EQ(EventMaskFor({ceError, ceRxChar, ceTxEmpty}, false), EV_RXCHAR | EV_ERR);
  EXPECT_EQ(EventMaskFor({ceError, ceRxChar, ceTxEmpty}, true), EV_RXCHAR | EV_ERR | EV_TXEMPTY);
  EXPECT_EQ(EventMaskFor({}, false), 0u);
  EXPECT_EQ(EventMaskFor({ceBreak, ceEvent2}, false), EV_BREAK | EV_EVENT2);
}

TEST(VaCommSettings, BaudrateAndUserBaudrateAreCoupled) {
  TVaComm comm;
  comm.SetUserBaudrate(250000);
  EXPECT_EQ(comm.Baudrate(), brUser);
  EXPECT_EQ(comm.UserBaudrate(), 250000);
  comm.SetBaudrate(brUser);  // already brUser: nothing changes
  EXPECT_EQ(comm.UserBaudrate(), 250000);
  comm.SetBaudrate(br9600);
  EXPECT_EQ(comm.UserBaudrate(), 0);
  comm.SetUserBaudrate(0);  // the current value: Baudrate stays
  EXPECT_EQ(comm.Baudrate(), br9600);
  EXPECT_EQ(BaudrateBits(br115200), 115200);
  EXPECT_EQ(BaudrateBits(br14400), 14400);
  EXPECT_EQ(BaudrateBits(brUser), 0);
}

TEST(VaCommSettings, CopyFromReportsOneChangeAndRefusesOtherClasses) {
  TVaFlowControl target;
  int changes = 0;
  target.OnChanged = [&] { ++changes; };
  target.SetControlDtr(dtrEnabled);
  EXPECT_EQ(changes, 1);
  target.SetControlDtr(dtrEnabled);  // same value: no change
  EXPECT_EQ(changes, 1);

  TVaFlowControl source;
  source.SetOutCtsFlow(true);
  source.SetXonXoffIn(true);
  source.SetControlRts(rtsToggle);
  target.CopyFrom(source);
  EXPECT_EQ(changes, 2);
  EXPECT_TRUE(target.OutCtsFlow());
  EXPECT_TRUE(target.XonXoffIn());
  EXPECT_EQ(target.ControlRts(), rtsToggle);
  EXPECT_EQ(target.ControlDtr(), dtrDisabled);
  EXPECT_EQ(target.UpdateCount(), 0);

  // Inside BeginUpdate/EndUpdate the change is reported once at the end.
  target.BeginUpdate();
  target.SetXonXoffOut(true);
  target.SetDsrSensitivity(true);
  EXPECT_EQ(changes, 2);
  target.EndUpdate();
  EXPECT_EQ(changes, 3);

  TVaBuffers buffers;
  EXPECT_THROW(target.CopyFrom(buffers), std::invalid_argument);
  EXPECT_THROW(buffers.SetReadSize(-1), std::out_of_range);
  EXPECT_EQ(buffers.ReadSize(), 4096);
}

TEST(PortMap, FormatsTheDeviceNameSafely) {
  struct {
    const char* Name;
    int Port;
    const char* Expected;
  } cases[] = {
      {"COM%d", 4, "COM4"},        {"COM%d", 12, "COM12"},      {"/dev/ttyUSB%d", 0, "/dev/ttyUSB0"},
      {"tty%03d", 7, "tty007"},    {"a%%b%d", 1, "a%b1"},       {"%s%n%x", 3, "%s%n%x"},
      {"COM", 4, "COM"},           {"%", 4, "%"},               {"%-3d|", 5, "5  |"},
      {"p%i-%u", 2, "p2-2"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatDeviceName(c.Name, c.Port), c.Expected) << c.Name;
}

class PortMapFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zarvo-portmap-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    if (old) oldConfig_ = old;
    hadConfig_ = old != nullptr;
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    std::filesystem::create_directories(dir_ + "/zarvo/ports");
  }
  void TearDown() override {
    if (hadConfig_)
      ::setenv("XDG_CONFIG_HOME", oldConfig_.c_str(), 1);
    else
      ::unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(dir_);
  }
  std::string dir_;
  std::string oldConfig_;
  bool hadConfig_ = false;
};

TEST_F(PortMapFolder, LinksComeFirstThenTheSerialPorts) {
  const std::string ports = dir_ + "/zarvo/ports";
  EXPECT_EQ(PortFolder(), ports);
  EXPECT_EQ(PortPathFor("COM1"), "/dev/ttyS0");
  EXPECT_EQ(PortPathFor("COM8"), "/dev/ttyS7");
  EXPECT_EQ(PortPathFor("/dev/ttyUSB3"), "/dev/ttyUSB3");
  EXPECT_EQ(PortPathFor("PHONE"), ports + "/PHONE");  // nothing to fall back on
  EXPECT_EQ(PortPathFor("COM0"), ports + "/COM0");

  // A link names the port even while its device is unplugged.
  ASSERT_EQ(::symlink("/dev/ttyUSB9", (ports + "/COM4").c_str()), 0);
  EXPECT_EQ(PortPathFor("COM4"), ports + "/COM4");
  EXPECT_EQ(DescribeDevice("COM4", ports + "/COM4"), "COM4 at " + ports + "/COM4 -> /dev/ttyUSB9");
  EXPECT_EQ(DescribeDevice("COM2", "/dev/ttyS1"), "COM2 at /dev/ttyS1");
  EXPECT_EQ(DescribeDevice("/dev/pts/3", "/dev/pts/3"), "/dev/pts/3");

  // A relative XDG_CONFIG_HOME is ignored, as the base directory rules say.
  ::setenv("XDG_CONFIG_HOME", "relative", 1);
  EXPECT_NE(PortFolder().rfind("relative", 0), 0u);
}

TEST_F(PortMapFolder, OpenReportsTheNameAndThePathTried) {
  const std::string ports = dir_ + "/zarvo/ports";
  ASSERT_EQ(::symlink("/dev/zarvo-no-such-device", (ports + "/COM4").c_str()), 0);
  TVaComm comm;
  ApplyPhoneDesignSettings(comm);
  try {
    comm.Open();
    FAIL() << "opened a missing device";
  } catch (const EVaCommError& e) {
    EXPECT_EQ(std::string(e.what()), "Specified device not found (COM4 at " + ports +
                                         "/COM4 -> /dev/zarvo-no-such-device).");
  }
  EXPECT_FALSE(comm.IsOpen());

  // Something that is not a device: it opens, but the line settings are refused.
  const std::string file = dir_ + "/plain-file";
  { FILE* f = std::fopen(file.c_str(), "w"); ASSERT_NE(f, nullptr); std::fclose(f); }
  comm.SetDeviceName(file);
  try {
    comm.Open();
    FAIL() << "configured a plain file";
  } catch (const EVaCommError& e) {
    EXPECT_EQ(std::string(e.what()), "Error writing dcb (25), Inappropriate ioctl for device");
  }
  EXPECT_FALSE(comm.IsOpen());
}

}  // namespace
