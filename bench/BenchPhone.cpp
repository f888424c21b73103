#include "BenchPhone.h"

#include <fstream>
#include <sstream>

#include "BackupFile.h"
#include "GeneratedPhone.h"

TSimContent BenchmarkPhone() {
  TEntryLists lists;
  for (int g = 1; g <= BenchGroups; ++g) lists.Groups.push_back(GeneratedGroup(g));
  for (int c = 1; c <= BenchContacts; ++c) {
    TContact contact;
    contact.UID = -1;
    contact.Name = "M\xfcller " + std::to_string(c) + ";Hans";
    contact.TelCell = "+49171" + std::to_string(1000000 + c);
    if (c % 2 == 0) contact.TelHome = "030" + std::to_string(2000000 + c);
    if (c % 4 == 0) contact.EMail = "hans" + std::to_string(c) + "@example.org";
    if (c % 5 == 0) {
      contact.Street = "Hauptstra\xdf" "e " + std::to_string(c);
      contact.City = "Berlin";
      contact.PostalCode = "10115";
      contact.Country = "Germany";
    }
    if (c % 6 == 0) contact.Note = "Met at the fair in " + std::to_string(2000 + c % 20) + "\r\ncall after 18:00";
    contact.GroupID = c % 7 == 0 ? -1 : 1 + c % BenchGroups;
    contact.GroupSoundID = contact.GroupNofEntries = -1;
    contact.NPIHome = contact.NPIWork = contact.NPICell = contact.NPIFax = contact.NPIModem = -1;
    lists.Contacts.push_back(contact);
  }
  for (int e = 1; e <= BenchEvents; ++e) {
    TEvent event = GeneratedEvent(e);
    event.AlarmDate = event.StartDate;
    event.AlarmTime = event.StartTime;
    event.AlarmContentID = 402;
    event.Description = "Meeting " + std::to_string(e) + " with the team";
    lists.Events.push_back(event);
  }
  lists.RingTones.resize(FactoryRingToneCount);
  constexpr int pairs[BenchRingTones] = {16, 32, 64, 128, 255};
  for (int r = 0; r < BenchRingTones; ++r) {
    TRingTone tone;
    tone.UID = 0x19090000 + r + 1;
    tone.Name = "Tune " + std::to_string(r + 1);
    tone.Data = std::to_string(pairs[r]);
    for (int k = 0; k < pairs[r]; ++k) tone.Data += "," + std::to_string(440 + k) + "," + std::to_string(4 + k % 8);
    lists.RingTones.push_back(tone);
  }
  return PhoneHolding(lists);
}

TLineBytes CountLineBytes(const std::string& path, std::size_t fromLine) {
  TLineBytes b;
  std::ifstream log(path);
  std::string line;
  while (std::getline(log, line)) {
    if (b.Lines++ < fromLine) continue;
    std::istringstream words(line);
    std::string date, time, direction;
    long long n = 0;
    if (!(words >> date >> time >> direction >> n)) continue;
    if (direction == "in") b.In += n;
    if (direction == "out") b.Out += n;
  }
  return b;
}

double ProtocolFloor(std::size_t exchanges, const TLineBytes& bytes, bool phoneOnly) {
  const double byteSeconds = BenchBitsPerByte / BenchBaud;
  const double phone = static_cast<double>(exchanges) * BenchWaitSeconds + static_cast<double>(bytes.Out) * byteSeconds;
  return phoneOnly ? phone : phone + static_cast<double>(bytes.In) * byteSeconds;
}
