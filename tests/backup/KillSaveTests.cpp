// A Save killed with SIGKILL at random moments, many times: the backups beside the
// target stay byte for byte as they were, the target is always either the old file or
// one complete new backup, and what a killed save leaves behind does not pile up next to
// the user's files: the next save clears it.
//
// The saving process is a fork of this test that saves two different backups in turn,
// for ever, through WriteBackupFile, the function behind the Save button; the test
// kills it after a random delay within a few saves' time. The same runs happen once in
// an ordinary folder and once as on a file system that has no unnamed temporary files
// (a USB stick with FAT, a network share), where every save needs a named file: a
// seccomp filter in the child refuses O_TMPFILE as such a file system does.
#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "BackupFile.h"
#include "VObjectParser.h"

namespace {

constexpr int kKillsPerFolder = 100;

std::string FileText(const QString& name) {
  QFile f(name);
  if (!f.open(QIODevice::ReadOnly)) return "<absent>";
  return f.readAll().toStdString();
}

void WriteText(const QString& name, const std::string& text) {
  QFile f(name);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  ASSERT_EQ(f.write(text.data(), static_cast<qint64>(text.size())), static_cast<qint64>(text.size()));
}

std::string Joined(const TLines& lines) {
  std::string text;
  for (const auto& l : lines) text += l + "\r\n";
  return text;
}

// Entries enough for a backup of about a megabyte, so that a save takes a while.
TEntryLists LargeEntries(int contacts, const std::string& tag) {
  TEntryLists lists;
  for (int g = 1; g <= 10; ++g) {
    TGroup group;
    group.UID = 100 + g;
    group.Name = "Group " + std::to_string(g);
    group.GroupID = g;
    group.GroupSoundID = group.GroupNofEntries = -1;
    group.NPIHome = group.NPIWork = group.NPICell = group.NPIFax = group.NPIModem = -1;
    lists.Groups.push_back(group);
  }
  for (int c = 1; c <= contacts; ++c) {
    TContact contact;
    contact.UID = 1000 + c;
    contact.Name = tag + " Contact " + std::to_string(c) + ";First";
    contact.TelCell = "+4917" + std::to_string(1000000 + c);
    contact.Note = "A note long enough to make the file large, line " + std::to_string(c);
    contact.Street = "Street " + std::to_string(c) + "\r\nBack house";
    contact.GroupID = 1 + c % 10;
    contact.GroupSoundID = contact.GroupNofEntries = -1;
    contact.NPIHome = contact.NPIWork = contact.NPICell = contact.NPIFax = contact.NPIModem = -1;
    lists.Contacts.push_back(contact);
  }
  lists.RingTones.resize(FactoryRingToneCount);
  return lists;
}

// The file system of a FAT stick: O_TMPFILE is "not supported" (x86-64 only; elsewhere
// false, and that folder's runs are skipped).
bool RefuseUnnamedTemporaryFiles() {
#if defined(__x86_64__)
  constexpr unsigned kTmpFileBit = O_TMPFILE & ~O_DIRECTORY;
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 0, 4),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 2),  // the C library opens with openat
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])),  // the flags' low word
      BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, kTmpFileBit, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EOPNOTSUPP & SECCOMP_RET_DATA)),
  };
  sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
  return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
#else
  return false;
#endif
}

// The saving process: signals once on the pipe, then saves a and b in turn until it is
// killed (or, should the test be gone, for at most 20 seconds).
[[noreturn]] void SaveForEver(int ready, bool noUnnamedFiles, const QString& target, const TLines& a,
                              const TLines& b) {
  if (noUnnamedFiles && !RefuseUnnamedTemporaryFiles()) ::_exit(3);
  const char byte = 'r';
  if (::write(ready, &byte, 1) != 1) ::_exit(4);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < end) {
    try {
      WriteBackupFile(target, a);
      WriteBackupFile(target, b);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "the save failed: %s\n", e.what());
      ::_exit(5);
    }
  }
  ::_exit(0);
}

// The folder's names other than the given ones.
std::set<std::string> Others(const QString& dir, const std::set<std::string>& known) {
  std::set<std::string> out;
  for (const QString& name : QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
    if (!known.count(name.toStdString())) out.insert(name.toStdString());
  }
  return out;
}

struct TKillRun {
  int Kills = 0;
  std::map<std::string, int> Outcomes;  // "old", "a", "b"
  std::size_t MostLeftOver = 0;         // the most foreign names seen after one kill
  std::set<std::string> LeftOverNames;
};

class KillSave : public ::testing::TestWithParam<bool> {};

TEST_P(KillSave, OldBackupIntactTargetOldOrCompleteNoPileOfLeftovers) {
  const bool noUnnamedFiles = GetParam();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString target = dir.filePath(QStringLiteral("phone.zrv"));
  const QString neighbour = dir.filePath(QStringLiteral("last-year.zrv"));

  // The old backup, saved and loaded as the program does; the two new ones differ from
  // it and from each other.
  TLines parseLines;
  const std::string old = Joined(BuildBackupLines(LargeEntries(3000, "Old"), parseLines));
  WriteText(target, old);
  WriteText(neighbour, old + "// a different one\r\n");
  const std::string neighbourText = FileText(neighbour);
  TEntryLists loaded;
  ASSERT_TRUE(ParseVObjects(ReadBackupFile(target), loaded.vObjects, [](const std::string&) {}));
  FileParsedEntries(loaded);
  ASSERT_EQ(loaded.Contacts.size(), 3000u);
  loaded.Contacts.front().Name = "Renamed;First";
  const TLines a = BuildBackupLines(loaded, parseLines);
  loaded.Contacts.pop_back();
  const TLines b = BuildBackupLines(loaded, parseLines);
  const std::map<std::string, std::string> outcomes = {{old, "old"}, {Joined(a), "a"}, {Joined(b), "b"}};
  ASSERT_EQ(outcomes.size(), 3u);

  // How long one save takes here, for the spread of the kill moments.
  const QString probe = dir.filePath(QStringLiteral("probe.zrv"));
  const auto t0 = std::chrono::steady_clock::now();
  WriteBackupFile(probe, a);
  WriteBackupFile(probe, b);
  const auto pair = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0);
  ASSERT_TRUE(QFile::remove(probe));
  std::mt19937 random(20240601u + (noUnnamedFiles ? 1u : 0u));
  std::uniform_int_distribution<long> delay(0, 3 * std::max<long>(pair.count(), 2000));

  TKillRun run;
  const std::set<std::string> known = {"phone.zrv", "last-year.zrv"};
  for (int i = 0; i < kKillsPerFolder; ++i) {
    WriteText(target, old);  // every round replaces the old backup anew
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(fds[0]);
      SaveForEver(fds[1], noUnnamedFiles, target, a, b);
    }
    ::close(fds[1]);
    pollfd p{fds[0], POLLIN, 0};
    char byte = 0;
    const bool started = ::poll(&p, 1, 10000) == 1 && ::read(fds[0], &byte, 1) == 1;
    ::close(fds[0]);
    if (started) std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(started) << "the saving process did not start";
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        << "the saving process ended by itself with " << WEXITSTATUS(status) << " at kill " << i;
    ++run.Kills;

    ASSERT_EQ(FileText(neighbour), neighbourText) << "the other backup changed at kill " << i;
    const auto outcome = outcomes.find(FileText(target));
    ASSERT_NE(outcome, outcomes.end()) << "the target is neither the old nor a complete new backup at kill " << i;
    ++run.Outcomes[outcome->second];
    const std::set<std::string> left = Others(dir.path(), known);
    run.MostLeftOver = std::max(run.MostLeftOver, left.size());
    run.LeftOverNames.insert(left.begin(), left.end());
  }

  // The kills hit all over the cycle: before the first save was complete, and after
  // either of the new ones.
  EXPECT_GT(run.Outcomes["old"], 0);
  EXPECT_GT(run.Outcomes["a"], 0);
  EXPECT_GT(run.Outcomes["b"], 0);
  // Only our own temporary files are ever left, hidden and named after the target; at
  // most a couple at any time, as each save first removes what killed saves left.
  for (const std::string& name : run.LeftOverNames) {
    EXPECT_EQ(name.rfind(".phone.zrv.zarvo-save-", 0), 0u) << name;
  }
  EXPECT_LE(run.MostLeftOver, 2u);

  // One ordinary save: nothing but the two backups remains, the new one complete.
  WriteBackupFile(target, a);
  EXPECT_EQ(Others(dir.path(), known), std::set<std::string>{});
  EXPECT_EQ(FileText(target), Joined(a));
  EXPECT_EQ(FileText(neighbour), neighbourText);

  std::string summary;
  for (const auto& [what, count] : run.Outcomes) summary += " " + what + ":" + std::to_string(count);
  RecordProperty("outcomes", summary);
  std::printf("%d kills within %lld us per two saves;%s; left over at most %zu names (%zu distinct)\n", run.Kills,
              static_cast<long long>(pair.count()), summary.c_str(), run.MostLeftOver, run.LeftOverNames.size());
}

INSTANTIATE_TEST_SUITE_P(Folders, KillSave, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "WithoutUnnamedTemporaryFiles" : "OrdinaryFolder");
                         });

}  // namespace
