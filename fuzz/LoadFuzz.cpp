// Fuzz target of Load over arbitrary files: the input is written to a file, read back
// with ReadBackupFile, parsed in one go and filed into the kind lists, as a Load does
// before its restore; then each ring tone's record is built as the restore would, and
// the lists are saved and loaded again as a later Save and Load would.
//
// Beyond not crashing: the file reads back as its own lines (CR LF, CR or LF end a line,
// a NUL ends the text); fewer than three lines are refused and file nothing; every record
// is filed once, by its kind, groups, contacts and events with UID -1, ring tones behind
// 42 empty factory slots; a ring tone's record either builds or is refused with a clear
// error; and what is saved loads again into as many entries of each kind.
#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "BackupFile.h"
#include "PhoneProtocol.h"
#include "VObjectParser.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

// One file of the process, rewritten for every input; in memory where the system has a
// folder for that, since truncating a file on a disk costs more than the rest of a run.
struct TScratchFile {
  std::string Path;
  int Fd = -1;
  TScratchFile() {
    const char* dir = std::getenv("TMPDIR");
    std::string folder = dir && *dir ? dir : "/tmp";
    if (::access("/dev/shm", W_OK) == 0) folder = "/dev/shm";
    std::string pattern = folder + "/zarvo-load-fuzz-XXXXXX";
    Fd = ::mkstemp(pattern.data());
    Require(Fd >= 0);
    Path = pattern;
  }
  ~TScratchFile() {
    ::close(Fd);
    ::unlink(Path.c_str());
  }
  void Write(const std::uint8_t* data, std::size_t size) {
    Require(::ftruncate(Fd, 0) == 0);
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::pwrite(Fd, data + done, size - done, static_cast<off_t>(done));
      Require(n > 0);
      done += static_cast<std::size_t>(n);
    }
  }
};

const auto NoLog = [](const std::string&) {};

void CheckFiled(const TEntryLists& lists, const TLoadCounts& counts) {
  Require(static_cast<std::size_t>(counts.Groups + counts.Contacts + counts.Events + counts.RingTones) ==
          lists.vObjects.size());
  Require(lists.RingTones.size() == FactoryRingToneCount + static_cast<std::size_t>(counts.RingTones));
  for (std::size_t i = 0; i < FactoryRingToneCount; ++i) Require(lists.RingTones[i] == TRingTone{});
  for (const TGroup& g : lists.Groups) Require(g.UID == -1 && g.NewGroupID == -1);
  for (const TContact& c : lists.Contacts) Require(c.UID == -1 && c.NewGroupID == -1);
  for (const TEvent& e : lists.Events) Require(e.UID == -1);
}

void CheckRingToneRecords(const TEntryLists& lists) {
  for (std::size_t i = FactoryRingToneCount; i < lists.RingTones.size(); ++i) {
    const TRingTone& tone = lists.RingTones[i];
    TDynamicCharArray record;
    try {
      record = BuildRingToneRecord(tone);
    } catch (const std::runtime_error& e) {
      Require(e.what()[0] != '\0');
      continue;
    }
    const TRingToneRecordInfo info = DecodeRingToneRecord(std::string(record.begin(), record.end()));
    Require(info.Consistent && info.Name == tone.Name.substr(0, 21));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TScratchFile file;
  file.Write(data, size);
  const QString name = QFile::decodeName(file.Path.c_str());

  const TLines lines = ReadBackupFile(name);
  Require(lines == SplitLines(std::string_view(reinterpret_cast<const char*>(data), size)));

  TEntryLists lists;
  lists.vObjects.resize(1);
  const bool parsed = ParseVObjects(lines, lists.vObjects, NoLog);
  Require(parsed == (lines.size() >= 3));
  if (!parsed) {
    Require(lists.vObjects.empty());
    return 0;
  }
  FileParsedEntries(lists);
  const TLoadCounts counts = CountFiledEntries(lists);
  CheckFiled(lists, counts);
  CheckRingToneRecords(lists);

  // Save, then Load what was saved.
  TLines parseLines;
  std::string saved;
  for (const std::string& line : BuildBackupLines(lists, parseLines)) saved += line + "\r\n";
  TEntryLists again;
  Require(ParseVObjects(SplitLines(saved), again.vObjects, NoLog));
  FileParsedEntries(again);
  Require(CountFiledEntries(again) == counts);
  return 0;
}
