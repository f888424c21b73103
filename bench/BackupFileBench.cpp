// Save and Load of a backup of 5,000 entries: building the lines and writing the file,
// and reading, parsing and filing it again; and zarvo-export's run on it, from reading
// the backup to both files written. Prints the wall time per run (the saves include
// their fsync), entries/s and MB/s.
#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <string>

#include "BackupFile.h"
#include "DateNumber.h"
#include "ExportBackup.h"
#include "VObjectParser.h"

namespace {

constexpr int kGroups = 50, kContacts = 3900, kEvents = 1000, kRingTones = 50;
constexpr int kEntries = kGroups + kContacts + kEvents + kRingTones;

TDateTime Day(int y, int m, int d) {
  TDateTime v = 0;
  TryEncodeDate(y, m, d, v);
  return v;
}

// Entries such as a well-used phone holds: names, numbers, some addresses and notes.
TEntryLists PhoneFullOfEntries() {
  TEntryLists lists;
  for (int i = 0; i < kGroups; ++i) {
    TGroup g;
    g.UID = 419889153 + i;
    g.Name = "Group " + std::to_string(i);
    g.GroupID = i + 1;
    g.GroupSoundID = 3;
    g.GroupNofEntries = kContacts / kGroups;
    lists.Groups.push_back(g);
  }
  for (int i = 0; i < kContacts; ++i) {
    TContact c;
    c.UID = 1000 + i;
    c.Name = "M\xFCller-" + std::to_string(i) + ";Hans";
    c.TelCell = "+49171" + std::to_string(1000000 + i);
    c.NPICell = 145;
    if (i % 3 == 0) c.TelHome = "0301234" + std::to_string(i);
    if (i % 4 == 0) c.EMail = "hans" + std::to_string(i) + "@example.org";
    if (i % 5 == 0) {
      c.Street = "Hauptstra\xDF" "e " + std::to_string(i) + "\r\nHinterhaus";
      c.City = "Berlin";
      c.PostalCode = "10115";
      c.Country = "Germany";
    }
    if (i % 7 == 0) c.Birthday = Day(1970 + i % 30, 1 + i % 12, 1 + i % 28);
    if (i % 6 == 0)
      c.Note = "Met at the conference in " + std::to_string(2000 + i % 20) +
               ".\r\nLikes long walks; call after 18:00 = best. " + std::string(60, 'x');
    c.GroupID = i % kGroups + 1;
    lists.Contacts.push_back(c);
  }
  for (int i = 0; i < kEvents; ++i) {
    TEvent e;
    e.UID = 5000 + i;
    e.StartDate = Day(2005, 1 + i % 12, 1 + i % 28);
    e.StartTime = (i % 24) / 24.0;
    e.EndDate = e.StartDate;
    e.EndTime = e.StartTime + 1 / 48.0;
    e.RepeatKind = i % 5;
    e.RepeatUntil = i % 2 ? RepeatForever : Day(2006, 12, 31);
    e.AlarmDate = e.StartDate;
    e.AlarmContentID = 402;
    e.PBID = e.MemoID = -1;
    e.Description = "Meeting " + std::to_string(i) + " with the team about the plan";
    lists.Events.push_back(e);
  }
  lists.RingTones.resize(FactoryRingToneCount);
  for (int i = 0; i < kRingTones; ++i) {
    TRingTone r{9000 + i, "Tune " + std::to_string(i), "64,"};
    for (int k = 0; k < 64; ++k) {
      if (k > 0) r.Data += ',';
      r.Data += std::to_string(440 + k);
      r.Data += ",8";
    }
    lists.RingTones.push_back(r);
  }
  return lists;
}

void SetCounters(benchmark::State& state, const QString& fileName) {
  const double bytes = static_cast<double>(QFileInfo(fileName).size());
  state.counters["entries/s"] =
      benchmark::Counter(static_cast<double>(kEntries), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["MB/s"] =
      benchmark::Counter(bytes / 1e6, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["file MB"] = bytes / 1e6;
}

void BM_SaveBackup5000(benchmark::State& state) {
  const TEntryLists lists = PhoneFullOfEntries();
  QTemporaryDir dir;
  const QString name = dir.filePath("bench.zrv");
  TLines parseLines;
  for (auto _ : state) WriteBackupFile(name, BuildBackupLines(lists, parseLines));
  SetCounters(state, name);
}

void BM_LoadBackup5000(benchmark::State& state) {
  QTemporaryDir dir;
  const QString name = dir.filePath("bench.zrv");
  TLines parseLines;
  WriteBackupFile(name, BuildBackupLines(PhoneFullOfEntries(), parseLines));
  std::size_t logLines = 0;
  const TParserLog log = [&logLines](const std::string&) { ++logLines; };
  for (auto _ : state) {
    TEntryLists lists;
    const TLines lines = ReadBackupFile(name);
    ParseVObjects(lines, lists.vObjects, log);
    FileParsedEntries(lists);
    benchmark::DoNotOptimize(lists.Contacts.data());
  }
  SetCounters(state, name);
}

void BM_ExportBackup5000(benchmark::State& state) {
  QTemporaryDir dir;
  const QString name = dir.filePath("bench.zrv");
  TLines parseLines;
  WriteBackupFile(name, BuildBackupLines(PhoneFullOfEntries(), parseLines));
  for (auto _ : state) {
    const std::vector<std::string> lines =
        ExportToFolder(ReadBackupForExport(name), dir.path(), true, QDateTime::currentDateTimeUtc());
    benchmark::DoNotOptimize(lines.data());
  }
  SetCounters(state, name);
}

}  // namespace

BENCHMARK(BM_SaveBackup5000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadBackup5000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportBackup5000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
