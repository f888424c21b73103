#include "BackupFile.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <type_traits>

#include "AtomicFile.h"
#include "EntryKinds.h"
#include "Handler.h"
#include "Maker.h"
#include "OperationEdge.h"
#include "PhoneCommands.h"
#include "VObjectParser.h"
#include "VObjectText.h"
#include "VObjectWriter.h"

namespace {

constexpr const char* kWritingCaption = "Writing...";
constexpr std::size_t kReadChunk = 64 * 1024;

std::string Utf8(const QString& s) {
  const QByteArray b = s.toUtf8();
  return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

[[noreturn]] void ThrowCannotCreate(const QString& fileName) {
  throw std::runtime_error("Cannot create file " + Utf8(fileName));
}

[[noreturn]] void ThrowCannotOpen(const QString& fileName) {
  throw std::runtime_error("Cannot open file " + Utf8(fileName));
}

// A parsed record at the end of its kind's list. Groups, contacts and events get their
// identifiers from the phone when they are stored; a ring tone keeps the file's.
template <class Record>
void FileEntry(TEntryLists& lists, const TvObject& v) {
  Record& r = TEntryKind<Record>::List(lists).emplace_back();
  TEntryKind<Record>::Fill(r, v);
  if constexpr (!std::is_same_v<Record, TRingTone>) r.UID = -1;
  if constexpr (requires { r.NewGroupID; }) r.NewGroupID = -1;
}

void AppendLines(TLines& to, const TLines& from) { to.insert(to.end(), from.begin(), from.end()); }

}  // namespace

const TBackupDialogs& BackupDialogSettings() {
  static const TBackupDialogs settings = [] {
    TFileDialogSettings common;
    common.Filter = QStringLiteral("S40 backup file (*.zrv)");
    common.DefaultSuffix = QStringLiteral("zrv");
    common.FileName = QStringLiteral("*.zrv");
    TBackupDialogs both{common, common};
    both.Open.Title = QStringLiteral("Load backup");
    both.Save.Title = QStringLiteral("Save backup");
    return both;
  }();
  return settings;
}

TLines BuildBackupLines(const TEntryLists& lists, TLines& parseLines) {
  TLines file{BackupHeaderFirst, std::string("// ") + MakersNotice, BackupHeaderLast};
  for (const TGroup& g : lists.Groups) AppendLines(file, GroupToVCard(g, parseLines));
  for (const TContact& c : lists.Contacts) AppendLines(file, ContactToVCard(c, parseLines));
  if (!lists.Events.empty()) {
    file.emplace_back();
    file.emplace_back("BEGIN:VCALENDAR");
    file.emplace_back("VERSION:1.0");
    for (const TEvent& e : lists.Events) AppendLines(file, EventToVEvent(e, parseLines));
    file.emplace_back("END:VCALENDAR");
  }
  for (std::size_t i = FactoryRingToneCount; i < lists.RingTones.size(); ++i)
    AppendLines(file, RingToneToVCard(lists.RingTones[i], parseLines));
  return file;
}

void WriteBackupFile(const QString& fileName, const TLines& lines, TExistingFile existing) {
  std::string text;
  std::size_t size = 0;
  for (const auto& l : lines) size += l.size() + 2;
  text.reserve(size);
  for (const auto& l : lines) {
    text += l;
    text += "\r\n";
  }

  // Written beside the target and renamed over it once on the disk: a failure, a crash
  // or a kill before that leaves the old file; a killed save's leftovers are cleared by
  // the next save (AtomicFile.h).
  const std::string path = QFile::encodeName(fileName).toStdString();
  if (existing == TExistingFile::Replace) {
    if (ReplaceFileContent(path, text) != 0) ThrowCannotCreate(fileName);
    return;
  }
  if (const int error = CreateFileContent(path, text); error != 0) {
    if (error == EEXIST)
      throw std::runtime_error("Cannot create file " + Utf8(fileName) + ": a file of that name exists");
    ThrowCannotCreate(fileName);
  }
}

std::string ReadBackupBytes(const QString& fileName) {
  // Only a regular file: a directory cannot be read, and a pipe would block the window.
  QFile file(fileName);
  if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly)) ThrowCannotOpen(fileName);
  const auto tooLarge = [&] {
    return std::runtime_error("Cannot open file " + Utf8(fileName) +
                              ": it is larger than 16 MiB, more than any phone holds");
  };
  if (static_cast<std::size_t>(file.size()) > MaxBackupFileSize) throw tooLarge();
  // Read in pieces with the limit in view, in case the file grows while it is read.
  std::string text;
  text.reserve(static_cast<std::size_t>(file.size()));
  std::string chunk(kReadChunk, '\0');
  for (;;) {
    const qint64 n = file.read(chunk.data(), static_cast<qint64>(chunk.size()));
    if (n < 0) ThrowCannotOpen(fileName);
    if (n == 0) break;
    if (text.size() + static_cast<std::size_t>(n) > MaxBackupFileSize) throw tooLarge();
    text.append(chunk, 0, static_cast<std::size_t>(n));
  }
  return text;
}

TLines ReadBackupFile(const QString& fileName) { return SplitLines(ReadBackupBytes(fileName)); }

void FileParsedEntries(TEntryLists& lists) {
  lists.ClearKindLists();
  lists.RingTones.resize(FactoryRingToneCount);
  for (const TvObject& v : lists.vObjects) {
    switch (v.Kind) {
      case vkGroup: FileEntry<TGroup>(lists, v); break;
      case vkContact: FileEntry<TContact>(lists, v); break;
      case vkEvent: FileEntry<TEvent>(lists, v); break;
      case vkRingTone: FileEntry<TRingTone>(lists, v); break;
      default: break;
    }
  }
}

TLoadCounts CountFiledEntries(const TEntryLists& lists) {
  TLoadCounts counts;
  counts.Groups = static_cast<int>(lists.Groups.size());
  counts.Contacts = static_cast<int>(lists.Contacts.size());
  counts.Events = static_cast<int>(lists.Events.size());
  if (lists.RingTones.size() > FactoryRingToneCount)
    counts.RingTones = static_cast<int>(lists.RingTones.size() - FactoryRingToneCount);
  return counts;
}

void SaveBackup(IMainWindowHost& host) noexcept {
  bool busy = false;
  RunHandler(
      [&] {
        const std::optional<QString> fileName = host.Dialogs().SaveFile(BackupDialogSettings().Save);
        if (!fileName) return;
        host.SetBusyCursor(true);
        busy = true;
        const TLines lines = BuildBackupLines(host.Lists(), host.ParseLines());
        WriteBackupFile(*fileName, lines);
      },
      [&] {
        if (busy) host.SetBusyCursor(false);
      });
}

void LoadBackup(IMainWindowHost& host, const TRestoreHook& restore) noexcept {
  std::optional<QString> fileName;
  RunHandler([&] { fileName = host.Dialogs().OpenFile(BackupDialogSettings().Open); });
  if (!fileName) return;

  RunHandler(
      [&] {
        LockControls(host, /*window=*/false);
        TEntryLists& lists = host.Lists();
        bool parsed = false;
        {
          const TLines fileLines = ReadBackupFile(*fileName);
          parsed = ParseVObjects(fileLines, lists.vObjects,
                                 [&host](const std::string& text) { host.AddLogLine(text); });
        }  // the file's lines are released here, before the restore
        if (!parsed) return;
        host.StopRequested() = false;
        IProgressWindow& progress = host.Progress();
        progress.SetCaption(QString::fromLatin1(kWritingCaption));
        progress.ResetBars();
        progress.ShowProgress();
        FileParsedEntries(lists);
        const TLoadCounts counts = CountFiledEntries(lists);
        if (restore) restore(host, counts);
      },
      // The restore raised the answer time-out; it goes back with the controls.
      [&] { RunEachStep([&] { host.SetAnswerTimeout(AnswerTimeoutMs); }, [&] { UnlockControls(host); }); });
}
