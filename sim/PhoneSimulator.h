#pragma once
// A simulated Siemens S40 on a pseudo-terminal: the phone for the integration tests,
// the demo and trying ZARVO by hand.
//
// TPhoneSimulator opens a pseudo-terminal, serves the phone's side of the command set
// on its master in a thread of its own, and tells the slave's path (SlavePath, and a
// symbolic link kept at TSimOptions::LinkPath). The program opens that path as its
// serial port. Everything on the line can be written to a log with timestamps.
//
// Answers, byte for byte (echo on; "id" and counts in decimal; <...> binary):
//   AT+CGSN      AT+CGSN CR LF  CR LF 350077801234563 CR LF OK CR LF
//   AT+C#SMDE?   AT+C#SMDE? CR LF  CR LF +C#SMDE: 1 CR LF OK CR LF     ("0" while off)
//   AT+C#SMDE=1  AT+C#SMDE=1 CR LF  CR LF Total-Records: c CR LF Total-Records: g CR LF
//                Total-Records: e CR LF  CR LF OK CR LF      (contacts, groups, events)
//   AT+C#SMDE=0  AT+C#SMDE=0 CR LF  CR LF OK CR LF
//   AT+C#SLST=t  AT+C#SLST=t CR LF  CR LF +C#SLST: m,n CR LF <n bytes> CR LF OK CR LF
//                "+C#SLST: " is the 9-character prefix, m the mark ("1": another piece
//                follows, "0": last), n = 6 x entries; each entry is the identifier's
//                four bytes, least significant first, and two zero bytes. At most
//                TSimOptions::ListingPieceEntries entries per piece. Type 9 lists the
//                42 factory ring tones first.
//   AT+C#SGET=t,id  AT+C#SGET=t,id CR LF  CR LF +C#SGET: t,id CR LF <entry> CR LF OK CR LF
//                the entry as stored: vCard text (ends in CR LF), a vCalendar with one
//                vEvent, or the ring tone record (48 + 4n bytes).
//   AT+C#SPUT=t,n   AT+C#SPUT=t,n CR LF  CR LF >       then exactly n bytes of entry
//                (not echoed; for type 9 followed by CR LF), answered by
//                CR LF +C#SPUT: id CR LF OK CR LF        (also for type 9)
//   errors       <echo> CR LF ERROR CR LF, or <echo> CR LF +CME ERROR: n CR LF
// Why these forms: the program cleans an answer by trimming bytes 0..32 at both ends,
// deleting an echo through the first CR LF CR LF and the final CR LF "OK". Echo CR LF
// plus the answer's own CR LF give that CR LF CR LF; the final CR LF "OK" keeps binary
// entry data, which may end in zero bytes, away from the trimmed end. Information
// lines meet "OK" without an empty line, so "AT+C#SMDE?" cleans to a text ending in
// "1" and "+C#SPUT: id" to the bare number; the totals end in CR LF since each is read
// up to one. After the program drops the first line of a fetch answer, the entry is
// left exactly. (A stored text that itself holds CR LF "OK" or CR LF ">" would break
// that cleaning; the sample phone holds none.)
//
// Refusals, as a phone gives them: listing, fetching and storing outside data mode
// "+CME ERROR: 3"; an unknown entry type 263; an unknown identifier 258; a factory
// ring tone fetched 260; a store count of 0 262, above 65535 256; a stored entry
// that is not one vCard (type 0 a contact, type 1 a group) or one vCalendar with one
// vEvent, 267 (270 for the version, 269 for a missing END:VEVENT, 266 for two
// vEvents); a ring tone record whose length is not 48 + 4n 262; store data that stops
// coming for DataTimeoutMs 273. Unknown commands "ERROR".
//
// Faithfulness choices: the phone writes its own identifier into a stored text's
// "UID:" line, and a group's k into "X-SIEMENS-GROUP-ID:"; it keeps
// "X-SIEMENS-GROUP-NOF-ENTRIES" as sent. Data mode survives a pulled cable (the
// phone itself was not switched off); half-received input does not. Listings are in
// storing order; a listing that is left half-way starts again from the top.
//
// Threads: the serving thread does all line I/O. Every public member may be called
// from any other thread; content and fault switches are guarded. The constructor
// throws std::system_error when no pseudo-terminal can be opened.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "SimContent.h"
#include "SimFaults.h"
#include "SimLine.h"

struct TSimOptions {
  int BaudRate = 0;              // pacing of the phone's output; 0 sends at once
  int AnswerDelayMs = 0;         // the phone's thinking time per answer, after the echo
  int ListingPieceEntries = 32;  // entries per listing piece
  int DataTimeoutMs = 30000;     // a store whose data stops coming is refused
  int PieceTimeoutMs = 2000;     // how long a piece may wait to be read before the next
  std::string LinkPath;          // a symbolic link kept pointing at the current line
  std::string LogPath;           // every byte in and out, with timestamps
};

class TSimPhone;
class TSimLog;
struct TSimDelivery;

class TPhoneSimulator {
 public:
  explicit TPhoneSimulator(TSimContent content = TSimContent::Sample(), TSimOptions options = {});
  ~TPhoneSimulator();
  TPhoneSimulator(const TPhoneSimulator&) = delete;
  TPhoneSimulator& operator=(const TPhoneSimulator&) = delete;

  std::string SlavePath() const;
  TSimFaults& Faults() { return faults_; }

  // The cable: pulled by a fault or by PullCable; PlugIn opens a new line (a new slave
  // path, LinkPath re-pointed) and returns its path.
  bool CableConnected() const;
  void PullCable();
  std::string PlugIn();
  // Waits (bounded) until the cable is in the given state; false on time-out.
  bool WaitForCable(bool connected, int timeoutMs) const;

  // Bytes the phone sends unasked, as a piece of their own.
  void SendUnsolicited(std::string bytes);

  // The phone's content and state, copied under the lock.
  std::vector<TSimEntry> Entries(int type) const;
  bool DataMode() const;
  // The command lines handled, in order; each store's data shows as "<data N bytes>".
  std::vector<std::string> Commands() const;
  // Waits (bounded) until at least count command lines were handled.
  bool WaitForCommands(std::size_t count, int timeoutMs) const;
  std::string BackupText() const;
  void WriteBackupFile(const std::string& path) const;
  // Runs f on the content under the lock (to place entries, for instance).
  void Edit(const std::function<void(TSimContent&)>& f);

 private:
  void Run();
  void Serve(std::string bytes);
  bool Deliver(const TSimDelivery& delivery);
  bool WriteAll(const std::string& bytes);
  bool WritePaced(const std::string& bytes);
  bool WaitTaken();
  bool Sleep(int ms);
  void Pull();
  void Plug();
  void PointLink();
  void Wake();

  TSimOptions options_;
  TSimFaults faults_;
  mutable std::mutex mutex_;  // content_, phone_, line state below
  mutable std::condition_variable changed_;
  TSimContent content_;
  std::unique_ptr<TSimPhone> phone_;
  std::unique_ptr<TSimLog> log_;
  TSimLine line_;  // touched by the serving thread only, once it runs
  int lineClients_ = 0;  // opens of the line's device minus closes (serving thread)
  std::string slavePath_;
  bool connected_ = false;
  bool pullRequested_ = false;
  bool plugRequested_ = false;
  bool stop_ = false;
  std::vector<std::string> unsolicited_;
  TSimFd wake_;  // eventfd: requests for the serving thread
  std::thread thread_;
};
