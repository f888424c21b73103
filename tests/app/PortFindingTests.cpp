// Finding the phone's port, over the real windows: a fake /dev and /sys tree behind the
// probe's roots (the real /proc), the simulated phone on a pseudo-terminal that the fake
// devices lead to, and the dialogs seam answering the offer to link a port name.
#include <QTest>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "AppHarness.h"
#include "PortProbe.h"
#include "SerialDevice.h"

namespace fs = std::filesystem;

namespace {

// A fake device folder and kernel terminal list; the probe looks there for its life.
class TFakeTree {
 public:
  TFakeTree() : saved_(ProbeRoots()) {
    root_ = dir_.path().toStdString();
    fs::create_directories(root_ + "/dev/serial/by-id");
    fs::create_directories(root_ + "/sys/class/tty");
    ProbeRoots().Dev = root_ + "/dev";
    ProbeRoots().Sys = root_ + "/sys";
  }
  ~TFakeTree() { ProbeRoots() = saved_; }
  TFakeTree(const TFakeTree&) = delete;
  TFakeTree& operator=(const TFakeTree&) = delete;

  std::string Dev(const std::string& name) const { return root_ + "/dev/" + name; }
  // The kernel knows a terminal of this name; a ttyS gets its UART type (0: none).
  void KernelTty(const std::string& name, const char* type = "4") const {
    fs::create_directories(root_ + "/sys/class/tty/" + name);
    if (name.rfind("ttyS", 0) == 0) std::ofstream(root_ + "/sys/class/tty/" + name + "/type") << type << "\n";
  }
  // A device node stand-in: a plain file (a simulated phone links its line there itself).
  std::string Node(const std::string& name) const {
    std::ofstream(Dev(name)) << "";
    return Dev(name);
  }
  std::string ById(const std::string& id, const std::string& name) const {
    fs::create_symlink("../../" + name, Dev("serial/by-id/" + id));
    return Dev("serial/by-id/" + id);
  }

 private:
  QTemporaryDir dir_;
  std::string root_;
  TProbeRoots saved_;
};

// A process of the given name that holds the device open, with a flock or without,
// until it is destroyed.
class THolderProcess {
 public:
  THolderProcess(const std::string& device, const char* name, bool lock) {
    int ready[2], quit[2];
    if (::pipe2(ready, O_CLOEXEC) != 0 || ::pipe2(quit, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(quit[1]);  // so that the parent's close is the end of the pipe
      ::prctl(PR_SET_NAME, name);
      const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      const char ok = fd >= 0 && (!lock || ::flock(fd, LOCK_EX | LOCK_NB) == 0) ? '1' : '0';
      if (::write(ready[1], &ok, 1) != 1) ::_exit(1);
      char c;
      while (::read(quit[0], &c, 1) < 0 && errno == EINTR) {
      }
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(quit[0]);
    quit_ = quit[1];
    char ok = '0';
    holding_ = ::read(ready[0], &ok, 1) == 1 && ok == '1';
    ::close(ready[0]);
  }
  ~THolderProcess() {
    if (quit_ >= 0) ::close(quit_);
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
  }
  THolderProcess(const THolderProcess&) = delete;
  THolderProcess& operator=(const THolderProcess&) = delete;
  bool Holding() const { return holding_; }
  int Pid() const { return pid_; }

 private:
  int pid_ = -1;
  int quit_ = -1;
  bool holding_ = false;
};

std::string Str(const QString& s) { return s.toStdString(); }

class PortFinding : public ::testing::Test {
 protected:
  void SetUp() override { QApplication::setQuitOnLastWindowClosed(false); }
  void TearDown() override { RestoreSerialSysCalls(); }

  std::string Link(int port) const { return ports.Path(port); }
  void LinkPort(int port, const std::string& target) const { fs::create_symlink(target, Link(port)); }
  std::string Folder() const { return fs::path(Link(4)).parent_path().string(); }
  static std::vector<std::string> LinesOf(const QString& text) {
    std::vector<std::string> lines;
    for (const QString& line : text.split(QLatin1Char('\n'))) lines.push_back(Str(line));
    return lines;
  }

  TPorts ports;
  TFakeTree tree;
};

TEST_F(PortFinding, AUsbCableIsOfferedForAPortThatLeadsNowhere) {
  struct TCase {
    const char* Name;
    bool TtySWithoutUart;  // else /dev/ttyS3 does not exist
    std::optional<int> Answer;
  };
  const TCase cases[] = {{"no ttyS3, the cable linked", false, 0},
                         {"ttyS3 without a UART, the offer cancelled", true, std::nullopt}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TFakeTree fake;
    if (c.TtySWithoutUart) {
      fake.KernelTty("ttyS3", "0");
      fake.Node("ttyS3");
    }
    fake.KernelTty("ttyUSB0");
    TSimOptions options;
    options.LinkPath = fake.Dev("ttyUSB0");
    TPhoneSimulator phone(TSimContent::Sample(), options);
    const std::string byId = fake.ById("usb-Prolific_USB-Serial-if00-port0", "ttyUSB0");

    TExceptionRecorder report;
    TApp app;
    app.Dialogs.ChoiceAnswers.push_back(c.Answer);
    app.Read();
    ASSERT_EQ(app.Dialogs.Choices.size(), 1u);
    const TChoiceSettings& offer = app.Dialogs.Choices[0];
    EXPECT_EQ(Str(offer.Title), "Link COM4");
    EXPECT_EQ(Str(offer.Text), "COM4 stands for " + fake.Dev("ttyS3") + ", " +
                                   (c.TtySWithoutUart ? "which has no UART behind it" : "which does not exist") +
                                   ".\nA USB serial cable was found. Link COM4 to it?\nThe link is kept as " +
                                   Link(4) + ".");
    EXPECT_EQ(offer.Items, QStringList{QString::fromStdString("usb-Prolific_USB-Serial-if00-port0 (" +
                                                               fake.Dev("ttyUSB0") + ", USB serial adapter)")});
    EXPECT_EQ(Str(offer.AcceptCaption), "&Link");
    EXPECT_EQ(report.Texts, std::vector<QString>{});
    EXPECT_EQ(app.Texts(), std::vector<QString>{});
    app.ExpectUnlocked();
    if (!c.Answer) {
      // Cancel: nothing linked, nothing opened, nothing sent.
      EXPECT_FALSE(fs::is_symlink(Link(4)));
      EXPECT_FALSE(app.Main.VaComm().IsOpen());
      EXPECT_EQ(phone.Commands(), std::vector<std::string>{});
      app.ExpectSaveLoad(false, false);
      continue;
    }
    // The link names the by-id device, and the read went through it.
    EXPECT_EQ(fs::read_symlink(Link(4)).string(), byId);
    app.ExpectSaveLoad(true, false);
    EXPECT_GT(app.Main.Lists().Contacts.size(), 0u);
    const QString log = app.Main.reLog->Text();
    EXPECT_TRUE(log.contains(QString::fromStdString("Linked COM4 to " + byId + " in " + Folder()))) << Str(log);
    EXPECT_TRUE(log.contains(QString::fromStdString("Opening COM4: " + byId + " (USB serial adapter), linked in " +
                                                    Folder() + "; device " + fake.Dev("ttyUSB0"))))
        << Str(log);
    app.Main.close();
    fs::remove(Link(4));
  }
}

// Each failure's box keeps its message as its first line; the hint follows.
TEST_F(PortFinding, EveryFailureSaysWhatToDo) {
  const std::string ttyS3 = tree.Dev("ttyS3"), usb0 = tree.Dev("ttyUSB0"), acm0 = tree.Dev("ttyACM0");
  struct TCase {
    const char* Name;
    std::function<void()> Arrange;
    bool PhoneOnTtyS3;  // a phone that never answers its identity, at /dev/ttyS3
    std::function<std::string()> Message;
    std::function<std::vector<std::string>()> HintHas;
  };
  std::unique_ptr<THolderProcess> holder;
  std::optional<TEnv> config;
  std::string groupName;
  const std::vector<TCase> cases = {
      {"no serial device at all", [] {}, false,
       [&] { return "Specified device not found (COM4 at " + ttyS3 + ")."; },
       [] { return std::vector<std::string>{"No serial cable was found: plug it in, then press Read again."}; }},
      {"a ttyS without a UART and no cable",
       [&] {
         tree.KernelTty("ttyS3", "0");
       },
       true, [] { return std::string(TAtExchange::msgTimeout); },
       [&] {
         return std::vector<std::string>{ttyS3 + " has no UART behind it. No serial cable was found: plug it in, "
                                                 "then press Read again."};
       }},
      {"a ttyS with a UART, the phone on a USB cable",
       [&] {
         tree.KernelTty("ttyS3");
         tree.KernelTty("ttyUSB0");
         tree.Node("ttyUSB0");
         config.emplace("XDG_CONFIG_HOME", qgetenv("HOME") + "/it's mine");
       },
       true, [] { return std::string(TAtExchange::msgTimeout); },
       [&] {
         return std::vector<std::string>{"The phone may be on " + usb0 + " (USB serial adapter). To link COM4 to it: "
                                         "mkdir -p ~/'it'\\''s mine/zarvo/ports' && ln -sfn " + usb0 +
                                         " ~/'it'\\''s mine/zarvo/ports/COM4"};
       }},
      {"a dangling link",
       [&] {
         LinkPort(4, usb0);
         tree.KernelTty("ttyACM0");
         tree.Node("ttyACM0");
       },
       false, [&] { return "Specified device not found (COM4 at " + Link(4) + " -> " + usb0 + ")."; },
       [&] {
         return std::vector<std::string>{"The device that COM4 is linked to, " + usb0 + ", is gone. ",
                                         "Serial devices found now: " + acm0 + " (USB modem-class device). ",
                                         "ln -sfn " + acm0 + " " + Link(4)};
       }},
      {"permission refused",
       [&] {
         tree.KernelTty("ttyUSB0");
         const std::string node = tree.Node("ttyUSB0");
         if (const group* dialout = ::getgrnam("dialout")) (void)::chown(node.c_str(), -1, dialout->gr_gid);
         ::chmod(node.c_str(), 0660);
         struct stat st{};
         ::stat(node.c_str(), &st);
         const struct group* owner = ::getgrgid(st.st_gid);
         groupName = owner ? owner->gr_name : std::to_string(st.st_gid);
         LinkPort(4, node);
         // Root may open anything: the refusal comes through the system-call seam.
         SerialSysCalls().Open = [](const char*, int) {
           errno = EACCES;
           return -1;
         };
       },
       false,
       [&] {
         return "Can't open specified device COM4 at " + Link(4) + " -> " + usb0 + " (Error 13, " +
                std::strerror(EACCES) + ")";
       },
       [&] {
         return std::vector<std::string>{usb0 + " belongs to the group " + groupName + "; add yourself to the group " +
                                         groupName + ": sudo adduser $USER " + groupName + ", then log in again."};
       }},
      {"a port held by ModemManager",
       [&] {
         tree.KernelTty("ttyUSB0");
         const std::string node = tree.Node("ttyUSB0");
         LinkPort(4, node);
         holder = std::make_unique<THolderProcess>(node, "ModemManager", true);
         ASSERT_TRUE(holder->Holding());
       },
       false,
       [&] {
         return "Can't open specified device COM4 at " + Link(4) + " -> " + usb0 + " (Error 16, " +
                std::strerror(EBUSY) + ")";
       },
       [&] {
         return std::vector<std::string>{usb0 + " is held by ModemManager (pid " + std::to_string(holder->Pid()) + ").",
                                         "KERNEL==\"ttyUSB*\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"",
                                         "sudo systemctl stop ModemManager"};
       }},
      {"a port open in another program, found by its descriptors",
       [&] {
         tree.KernelTty("ttyUSB0");
         const std::string node = tree.Node("ttyUSB0");
         LinkPort(4, node);
         holder = std::make_unique<THolderProcess>(node, "minicom", false);
         ASSERT_TRUE(holder->Holding());
         // It took no lock: the refusal comes through the system-call seam.
         SerialSysCalls().Flock = [](int, int) {
           errno = EWOULDBLOCK;
           return -1;
         };
       },
       false,
       [&] {
         return "Can't open specified device COM4 at " + Link(4) + " -> " + usb0 + " (Error 16, " +
                std::strerror(EBUSY) + ")";
       },
       [&] {
         return std::vector<std::string>{usb0 + " is held by minicom (pid " + std::to_string(holder->Pid()) +
                                         "). Close that program, then press Read again."};
       }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    c.Arrange();
    std::unique_ptr<TPhoneSimulator> phone;
    if (c.PhoneOnTtyS3) {
      TSimOptions options;
      options.LinkPath = ttyS3;
      phone = std::make_unique<TPhoneSimulator>(TSimContent::Sample(), options);
      phone->Faults().NoAnswerOn("AT+CGSN");
    }
    TExceptionRecorder report;
    TApp app;
    app.Main.Timer.setInterval(300);
    app.Read();
    const std::vector<QString> shown = c.PhoneOnTtyS3 ? app.Texts() : report.Texts;
    EXPECT_EQ(app.Dialogs.Choices.size(), 0u);
    app.ExpectUnlocked();
    EXPECT_FALSE(app.Main.VaComm().IsOpen());
    ASSERT_EQ(shown.size(), 1u);
    const std::vector<std::string> lines = LinesOf(shown[0]);
    ASSERT_EQ(lines.size(), 2u) << Str(shown[0]);
    EXPECT_EQ(lines[0], c.Message());
    for (const std::string& part : c.HintHas()) EXPECT_NE(lines[1].find(part), std::string::npos) << lines[1];

    // Back to an empty tree and no link.
    holder.reset();
    config.reset();
    RestoreSerialSysCalls();
    phone.reset();
    fs::remove(Link(4));
    for (const char* name : {"ttyS3", "ttyUSB0", "ttyACM0"}) {
      fs::remove(tree.Dev(name));
      fs::remove_all(fs::path(tree.Dev(name)).parent_path().parent_path() / "sys/class/tty" / name);
    }
  }
}

// A fake process table: entries that are no pid (one beyond int) are passed over, and a
// descriptor is the device's only when its link's text names it.
TEST_F(PortFinding, TheHolderIsFoundByItsDescriptorLinksAlone) {
  const std::string node = tree.Node("ttyUSB0"), real = fs::canonical(node).string(), proc = tree.Dev("../proc/");
  const std::pair<std::string, std::string> links[] = {
      {"99999999999", real}, {"12ab", real}, {"300", real + " (deleted)"}, {"300", "/net/hung/file"}, {"301", real}};
  for (std::size_t fd = 0; fd < std::size(links); ++fd) {
    fs::create_directories(proc + links[fd].first + "/fd");
    fs::create_symlink(links[fd].second, proc + links[fd].first + "/fd/" + std::to_string(fd));
  }
  ProbeRoots().Proc = proc;
  for (const std::string& device : {node, tree.ById("usb-Cable-if00-port0", "ttyUSB0")})
    EXPECT_EQ(FindHolder(device).value_or(THolder{}).Pid, 301) << device;
}

TEST_F(PortFinding, EachPortListEntrySaysWhereItLeads) {
  tree.KernelTty("ttyS0");
  tree.Node("ttyS0");
  tree.KernelTty("ttyS1", "0");
  tree.Node("ttyS1");
  tree.KernelTty("ttyUSB0");
  tree.Node("ttyUSB0");
  tree.KernelTty("ttyACM0");
  tree.Node("ttyACM0");
  const std::string byId = tree.ById("usb-Prolific_USB-Serial-if00-port0", "ttyUSB0");
  LinkPort(4, byId);
  LinkPort(5, tree.Dev("ttyUSB7"));
  LinkPort(6, tree.Dev("ttyACM0"));
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string pty = ::ptsname(master);
  LinkPort(7, pty);

  TApp app;
  app.Main.cbxCOMPort->showPopup();
  const std::string in = ", linked in " + Folder();
  const std::vector<std::string> expected = {
      tree.Dev("ttyS0") + " (serial port)",
      tree.Dev("ttyS1") + ": no UART behind it",
      tree.Dev("ttyS2") + ": no such device",
      byId + " (USB serial adapter)" + in,
      tree.Dev("ttyUSB7") + ": no such device" + in,
      tree.Dev("ttyACM0") + " (USB modem-class device)" + in,
      pty + " (pseudo-terminal)" + in,
      tree.Dev("ttyS7") + ": no such device",
  };
  ASSERT_EQ(app.Main.cbxCOMPort->count(), 8);
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(Str(app.Main.cbxCOMPort->itemData(i, Qt::ToolTipRole).toString()), expected[static_cast<std::size_t>(i)]);
  app.Main.cbxCOMPort->hidePopup();

  // Made anew when the list opens again: the adapter went away meanwhile.
  fs::remove(tree.Dev("ttyUSB0"));
  app.Main.cbxCOMPort->showPopup();
  EXPECT_EQ(Str(app.Main.cbxCOMPort->itemData(3, Qt::ToolTipRole).toString()), byId + ": no such device" + in);
  app.Main.cbxCOMPort->hidePopup();
  ::close(master);
}

}  // namespace
