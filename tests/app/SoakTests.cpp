// Fifty reads and ten restores in a row in one process, over the real windows offscreen
// and the simulated phone: memory does not grow from the tenth read to the fiftieth, and
// after every operation the process has the threads and descriptors it had before it.
// The sanitizer build's leak check runs when the process ends.
#include <malloc.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QThread>
#include <QThreadPool>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "AppHarness.h"

#if defined(__SANITIZE_ADDRESS__)
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
// The address sanitizer keeps freed memory back for a while (256 MiB of it by default) to
// catch a use after the free; until that quarantine is full the resident size grows with
// every allocation, leaked or not, and this test would measure the quarantine. It is
// off in this process only; the other tests, which run the same code, keep it.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=0:thread_local_quarantine_size_kb=0"; }
#endif

namespace {

// The bytes the program holds allocated now, by whichever allocator serves it.
std::size_t HeapBytes() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
#endif
}

struct TProcessCounts {
  long RssKb = 0;
  std::size_t HeapBytes = 0;
  QStringList Threads;      // their names
  QStringList Descriptors;  // what each refers to
};

// The entries of a folder of /proc/self, each as the text of file (read with a name)
// or link (followed) below it.
QStringList Describe(const char* dir, bool links) {
  QStringList out;
  const QDir d(QString::fromLatin1(dir));
  for (const QString& name : d.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
    if (links) {
      out << QFile::symLinkTarget(d.filePath(name));
    } else {
      QFile comm(d.filePath(name + QStringLiteral("/comm")));
      out << (comm.open(QIODevice::ReadOnly) ? QString::fromLatin1(comm.readAll().trimmed()) : QString());
    }
  }
  out.sort();
  return out;
}

TProcessCounts Counts() {
  TProcessCounts c;
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) c.RssKb = std::strtol(line.c_str() + 6, nullptr, 10);
  c.HeapBytes = HeapBytes();
  c.Threads = Describe("/proc/self/task", false);
  // Workers of Qt's thread pools (named so by Qt) come and go on Qt's own timing, also
  // of pools other than the global one that Settle empties: they are not ours to count.
  c.Threads.removeAll(QStringLiteral("Thread (pooled)"));
  // The listing holds a descriptor of its own on the folder while it reads it; it does
  // so every time, so the lists compare.
  c.Descriptors = Describe("/proc/self/fd", true);
  return c;
}

// The window's work ends inside its handler; what it hands to the event loop for later
// (deleted objects, the log's batches) is done before anything is counted. Qt paints
// images with the help of its own pooled threads, which end by themselves after half a
// minute of rest; they are ended now, so that only threads of ours are counted.
void Settle() {
  for (int k = 0; k < 3; ++k) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
  }
  QThreadPool::globalInstance()->waitForDone(5000);
}

// A thread that has been told to end, and has said so, may still be on its way out of
// the system for a moment: the counts are given two seconds to come back.
void ExpectNothingLeftBehind(const TProcessCounts& before, const char* what, int k) {
  TProcessCounts now;
  QElapsedTimer clock;
  clock.start();
  do {
    Settle();
    now = Counts();
    if (now.Threads.size() == before.Threads.size() && now.Descriptors.size() == before.Descriptors.size()) return;
    QThread::msleep(20);
  } while (clock.elapsed() < 2000);
  EXPECT_EQ(now.Threads.size(), before.Threads.size())
      << what << " " << k << ": threads " << now.Threads.join(u',').toStdString() << ", before "
      << before.Threads.join(u',').toStdString();
  EXPECT_EQ(now.Descriptors.size(), before.Descriptors.size())
      << what << " " << k << ": descriptors " << now.Descriptors.join(u',').toStdString() << ", before "
      << before.Descriptors.join(u',').toStdString();
}

// What the simulated phone keeps of every command it handled: it grows with each read,
// in this process, and is not the program's.
std::size_t HistoryBytes(const TPhoneSimulator& phone) {
  std::size_t bytes = 0;
  for (const std::string& command : phone.Commands()) bytes += sizeof command + command.capacity();
  return bytes;
}

class Soak : public TAppTest {};

TEST_F(Soak, FiftyReadsAndTenRestoresInARow) {
  // A small phone of every kind: a read is some twenty exchanges of 100 ms at least.
  TPhoneSimulator phone(GeneratedPhone(2, 3, 2, 1, 3), OnPort(ports, 4));
  const std::size_t groups = phone.Entries(1).size(), contacts = phone.Entries(0).size(),
                    events = phone.Entries(2).size(), tones = phone.Entries(9).size();
  const QString file = ports.File("soak.zrv");
  TProcessCounts idle;
  {
    TApp app;
    Settle();
    idle = Counts();

    // The first read opens the port (with its threads); the others find it open.
    TProcessCounts open, atTen;
    std::size_t historyAtTen = 0;
    for (int k = 1; k <= 50; ++k) {
      app.Read();
      ASSERT_EQ(app.Texts(), std::vector<QString>{}) << "read " << k;
      ASSERT_EQ(app.Main.Lists().Contacts.size(), contacts) << "read " << k;
      // The log keeps every byte of every read, as it should; it is emptied here so that
      // what is measured is the rest of the program.
      app.Main.reLog->ClearLog();
      if (k == 1) {
        Settle();
        open = Counts();
        continue;
      }
      ExpectNothingLeftBehind(open, "read", k);
      if (k == 10) {
        atTen = Counts();
        historyAtTen = HistoryBytes(phone);
      }
    }
    const TProcessCounts atFifty = Counts();
    const long heapGrowth = static_cast<long>(atFifty.HeapBytes) - static_cast<long>(atTen.HeapBytes) -
                            static_cast<long>(HistoryBytes(phone) - historyAtTen);
    std::printf("from read 10 to read 50: resident %ld KiB to %ld KiB, allocated %+ld bytes beside the "
                "simulator's history\n",
                atTen.RssKb, atFifty.RssKb, heapGrowth);
    std::printf("threads: %lld before the first read, %lld with the port open (%s); descriptors: %lld and %lld\n",
                static_cast<long long>(idle.Threads.size()), static_cast<long long>(open.Threads.size()),
                open.Threads.join(u',').toStdString().c_str(), static_cast<long long>(idle.Descriptors.size()),
                static_cast<long long>(open.Descriptors.size()));
    // What the program holds allocated, less what the simulator keeps of the commands it
    // handled, comes back to the same few bytes after every read (measured: within 16 KiB,
    // the simulator's own list doubling its room once). 64 KiB over forty reads is less
    // than 2 KiB a read: less than one contact's text and its record.
    EXPECT_LE(heapGrowth, 64 * 1024) << "the program holds more after every read";
    // The resident size also counts what no allocator hands out (thread stacks, the
    // sanitizer's own tables, pages the allocators keep cached); measured: 0.1 MiB without
    // the sanitizers and 0.7 MiB with them over the forty reads. 2 MiB is far below any
    // growth that forty reads of a lost buffer, thread or image would make.
    EXPECT_LE(atFifty.RssKb - atTen.RssKb, 2048) << "the resident size grew from the tenth read to the fiftieth";

    app.Save(file);
    ASSERT_EQ(app.Texts(), std::vector<QString>{});
    ExpectNothingLeftBehind(open, "save", 1);

    // Each restore onto the emptied phone: a read that finds it empty, then Load.
    for (int k = 1; k <= 10; ++k) {
      phone.Edit([](TSimContent& content) { content = TSimContent::Empty(); });
      app.Read();
      ASSERT_TRUE(app.Main.btnLoad->isEnabled()) << "restore " << k;
      app.Load(file);
      ASSERT_EQ(app.Texts(), std::vector<QString>{}) << "restore " << k;
      ASSERT_EQ(phone.Entries(1).size(), groups) << "restore " << k;
      ASSERT_EQ(phone.Entries(0).size(), contacts) << "restore " << k;
      ASSERT_EQ(phone.Entries(2).size(), events) << "restore " << k;
      ASSERT_EQ(phone.Entries(9).size(), tones) << "restore " << k;
      app.ExpectSaveLoad(true, false);
      app.Main.reLog->ClearLog();
      ExpectNothingLeftBehind(open, "restore", k);
    }
    app.Main.close();
  }
  // The window closed the port on its way out and took its threads with it.
  ExpectNothingLeftBehind(idle, "closing", 1);
}

}  // namespace
