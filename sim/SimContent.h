#pragma once
// What the simulated phone holds: one entry store per type (0 contacts, 1 groups,
// 2 events, 9 custom ring tones) in storing order, the 42 factory ring tones, and the
// phone's own identifiers.
//
// Entries are kept as the bytes that were stored: vCard text for contacts and groups,
// a vCalendar holding one vEvent for events, the binary record for ring tones. On
// storing, the phone writes its own identifier into the text's "UID:" line, and for a
// group also the group identifier k into "X-SIEMENS-GROUP-ID:" (identifier
// 419889152 + k), so that what it hands back names itself as the phone knows it.
//
// Identifiers, at most nine decimal digits, counted on per type, never reused:
//   groups       419889152 + k, k = 1, 2, ... (bytes k 00 07 19)
//   contacts     0x19000000 + 131 n           (bytes such as 83 00 00 19, 06 01 00 19)
//   events       0x100 + 37 n                 (bytes such as 25 01 00 00: high bytes 0)
//   ring tones   0x19090000 + n; factory ones 0x19080000 + i, i = 1 ... 43
// skipping any with a byte 13 (so no CR LF can form inside a listing) or with a first
// byte of ">" (which right after the listing's header line would read as the input
// prompt). Tests place other identifiers with Add().
//
// Not thread-safe: the simulator guards its content with its own mutex.
// FromBackupText/FromBackupFile and Add throw std::runtime_error on bad input.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum TSimType { stContact = 0, stGroup = 1, stEvent = 2, stRingTone = 9 };

inline constexpr std::int32_t SimGroupBase = 419889152;  // 0x19070000
inline constexpr std::int32_t SimMaxId = 999999999;
inline constexpr int SimFactoryRingToneCount = 42;
inline constexpr const char* SimDefaultNotice = "S40 phone backup, (c) 2026 ZARVO developers";

struct TSimEntry {
  std::int32_t Id = 0;
  std::string Data;  // as stored (identifiers rewritten)
  std::string Sent;  // as it arrived (or as seeded)
};

class TSimContent {
 public:
  static TSimContent Empty();
  static TSimContent Sample();  // the built-in sample phone (SimSample.cpp)
  // Seeds from a backup file's text: its vCards and vEvents become entries, keeping
  // the file's identifiers where the phone could have given them.
  static TSimContent FromBackupText(const std::string& text);
  static TSimContent FromBackupFile(const std::string& path);

  static bool IsType(int type) {
    return type == stContact || type == stGroup || type == stEvent || type == stRingTone;
  }
  const std::vector<TSimEntry>& List(int type) const;
  const TSimEntry* Find(int type, std::int32_t id) const;
  const std::vector<std::int32_t>& FactoryRingTones() const { return factory_; }
  bool IsFactoryRingTone(std::int32_t id) const;

  // Stores an entry the way the phone's store command does: a new identifier,
  // written into the text. Returns the identifier.
  std::int32_t Store(int type, const std::string& data);
  // Places an entry under a given identifier, bytes unchanged.
  void Add(int type, std::int32_t id, const std::string& data);

  // The phone's content as a backup file (header, groups, contacts, one vCalendar with
  // every vEvent, custom ring tones), CR LF line ends.
  std::string BackupText() const;
  void WriteBackupFile(const std::string& path) const;

  // The second header line of a backup file ("// " + notice); a seed file's is kept.
  std::string Notice = SimDefaultNotice;

  // Why the phone refuses an entry it is sent: the "+CME ERROR" number, or nothing.
  static std::optional<int> CheckEntry(int type, const std::string& data);

 private:
  std::vector<TSimEntry>& MutableList(int type);
  std::int32_t NextId(int type);
  bool Usable(int type, std::int64_t id) const;

  std::vector<TSimEntry> contacts_, groups_, events_, ringTones_;
  std::vector<std::int32_t> factory_;
  int nextContact_ = 1, nextGroup_ = 1, nextEvent_ = 1, nextRingTone_ = 1;
};

// The phone's rules for identifiers it hands out (see above).
bool SimIdentifierFits(std::int64_t id);
