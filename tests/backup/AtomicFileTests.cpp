// Replacing a file as a whole: what stays of the target (its link, its permissions, a
// read-only file), and which leftovers a save clears: only stale temporary files of
// ours, never a user's file, a file someone is writing, or another user's file.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <set>
#include <string>

#include "AtomicFile.h"

namespace {

std::string Read(const std::string& path) {
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::ReadOnly)) return "<absent>";
  return f.readAll().toStdString();
}

void Write(const std::string& path, const std::string& text) {
  QFile f(QString::fromStdString(path));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(text.data(), static_cast<qint64>(text.size()));
}

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> out;
  for (const QString& n : QDir(QString::fromStdString(folder))
                              .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
    out.insert(n.toStdString());
  return out;
}

mode_t Mode(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(AtomicFile, TemporaryNamePattern) {
  const struct {
    const char* Name;
    bool Ours;
  } cases[] = {
      {".phone.zrv.zarvo-save-Ab3dE9", true},
      {".a.zarvo-save-000000", true},
      {".phone.zrv.zarvo-save-Ab3dE", false},    // five letters
      {".phone.zrv.zarvo-save-Ab3dE9x", false},  // seven
      {".phone.zrv.zarvo-save-Ab-dE9", false},
      {"phone.zrv.zarvo-save-Ab3dE9", false},    // not hidden
      {".zarvo-save-Ab3dE9", false},             // no name
      {"phone.zrv.Ab3dE9", false},               // another program's temporary name
      {".phone.zrv.swp", false},
      {"phone.zrv.backup", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsSaveTemporaryName(c.Name), c.Ours) << c.Name;
}

TEST(AtomicFile, WhatStaysOfTheTarget) {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString();
  const std::string real = folder + "/real.zrv", link = folder + "/link.zrv";

  // A link is followed: the file it points to gets the content, the link stays a link.
  Write(real, "old");
  ASSERT_EQ(::symlink("real.zrv", link.c_str()), 0);
  ASSERT_EQ(ReplaceFileContent(link, "new"), 0);
  EXPECT_EQ(Read(real), "new");
  struct stat st{};
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  // A dangling link creates the file it names.
  ASSERT_EQ(::symlink("made.zrv", (folder + "/dangling.zrv").c_str()), 0);
  ASSERT_EQ(ReplaceFileContent(folder + "/dangling.zrv", "made"), 0);
  EXPECT_EQ(Read(folder + "/made.zrv"), "made");

  // The permission bits of an existing file are kept; a new file gets the usual ones.
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  ASSERT_EQ(ReplaceFileContent(real, "again"), 0);
  EXPECT_EQ(Mode(real), 0640u);
  const mode_t mask = ::umask(022);
  ::umask(mask);
  ASSERT_EQ(ReplaceFileContent(folder + "/fresh.zrv", "x"), 0);
  EXPECT_EQ(Mode(folder + "/fresh.zrv"), 0666u & ~mask);

  // Not a regular file: refused, nothing left behind.
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub.zrv")));
  EXPECT_EQ(ReplaceFileContent(folder + "/sub.zrv", "x"), EISDIR);
  EXPECT_EQ(ReplaceFileContent("/dev/null", "x"), EINVAL);
  EXPECT_EQ(Names(folder), (std::set<std::string>{"dangling.zrv", "fresh.zrv", "link.zrv", "made.zrv", "real.zrv",
                                                  "sub.zrv"}));

  // A read-only file is not replaced (root may write anything, so only for others).
  if (::geteuid() != 0) {
    ASSERT_EQ(::chmod(real.c_str(), 0444), 0);
    EXPECT_EQ(ReplaceFileContent(real, "no"), EACCES);
    EXPECT_EQ(Read(real), "again");
  }
}

TEST(AtomicFile, ASaveClearsOnlyStaleTemporaryFilesOfOurs) {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString();
  const std::string target = folder + "/phone.zrv";
  Write(target, "old");

  // Files a killed save leaves, for this target and another one in the folder.
  const std::string staleA = folder + "/.phone.zrv.zarvo-save-AAAAAA";
  const std::string staleB = folder + "/.other.zrv.zarvo-save-BBBBBB";
  Write(staleA, "half a backup");
  Write(staleB, "half another");
  // What must stay: the user's files of similar names, a file of our pattern that a
  // live save holds locked, a directory and a link of our pattern (and the link's
  // target), and, when we are root, a file of our pattern owned by someone else.
  const std::string user1 = folder + "/phone.zrv.backup", user2 = folder + "/phone.zrv.Ab3dE9",
                    user3 = folder + "/.phone.zrv.swp";
  for (const std::string& f : {user1, user2, user3}) Write(f, "the user's");
  const std::string locked = folder + "/.phone.zrv.zarvo-save-LOCKED";
  Write(locked, "being written");
  const int lockFd = ::open(locked.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(lockFd, 0);
  ASSERT_EQ(::flock(lockFd, LOCK_EX), 0);
  ASSERT_EQ(::mkdir((folder + "/.phone.zrv.zarvo-save-DIRECT").c_str(), 0755), 0);
  Write(folder + "/precious", "linked to");
  ASSERT_EQ(::symlink("precious", (folder + "/.phone.zrv.zarvo-save-LINKED").c_str()), 0);
  std::set<std::string> stays = {"phone.zrv", "phone.zrv.backup", "phone.zrv.Ab3dE9", ".phone.zrv.swp",
                                 ".phone.zrv.zarvo-save-LOCKED", ".phone.zrv.zarvo-save-DIRECT", "precious",
                                 ".phone.zrv.zarvo-save-LINKED"};
  if (::geteuid() == 0) {
    const std::string foreign = folder + "/.phone.zrv.zarvo-save-NOBODY";
    Write(foreign, "someone else's");
    ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
    stays.insert(".phone.zrv.zarvo-save-NOBODY");
  }

  ASSERT_EQ(ReplaceFileContent(target, "new"), 0);
  EXPECT_EQ(Names(folder), stays);
  EXPECT_EQ(Read(target), "new");
  EXPECT_EQ(Read(user1), "the user's");
  EXPECT_EQ(Read(folder + "/precious"), "linked to");

  // Once the live save is gone, its file is stale too.
  ::close(lockFd);
  EXPECT_EQ(RemoveStaleSaveFiles(folder), 1);
  EXPECT_EQ(Names(folder).count(".phone.zrv.zarvo-save-LOCKED"), 0u);
}

}  // namespace
