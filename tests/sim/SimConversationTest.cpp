// Conversations with a well-behaved simulated phone: the byte layouts the program
// relies on, store then list then fetch, and the phone's refusals.

#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <thread>

#include "PhoneSimulator.h"
#include "SimTestLine.h"
#include "SimVObject.h"

namespace {

const std::string CrLf = "\r\n";

// Every piece of a type's listing, cleaned as the program cleans it.
std::vector<std::string> ListingPieces(TTestLine& line, int type) {
  std::vector<std::string> pieces;
  for (int guard = 0; guard < 100; ++guard) {
    std::string raw = line.Command("AT+C#SLST=" + std::to_string(type));
    pieces.push_back(CleanAnswer(raw));
    if (pieces.back().size() < 10 || pieces.back()[9] == '0') break;
  }
  return pieces;
}

std::string Store(TTestLine& line, int type, const std::string& data, bool asData = false) {
  std::string prompt = line.Command("AT+C#SPUT=" + std::to_string(type) + "," + std::to_string(data.size()));
  EXPECT_TRUE(prompt.size() >= 3 && prompt.compare(prompt.size() - 3, 3, "\r\n>") == 0) << prompt;
  if (asData) {
    for (char c : data) line.Write(std::string(1, c));  // one byte per write, as data goes
    line.Write(CrLf);
  } else {
    line.Write(data);
  }
  return line.ReadAnswer();
}

// The restore's reading of a store answer: the nine characters after "+C#SPUT: ".
int NewId(const std::string& answer) {
  std::string cleaned = CleanAnswer(answer);
  std::size_t at = cleaned.find("+C#SPUT: ");
  if (at == std::string::npos) return -1;
  return std::stoi(cleaned.substr(at + 9, 9));
}

const std::string GroupText =
    "BEGIN:VCARD\r\nVERSION:2.1\r\nUID:-1\r\nX-SIEMENS-GROUP-NAME:Chor\r\nX-SIEMENS-GROUP-ID:5\r\n"
    "X-SIEMENS-GROUP-SOUND-ID:-1\r\nEND:VCARD\r\n";
const std::string ContactText =
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=ISO-8859-1:B\xE4r;Ute\r\nUID:-1\r\nX-SIEMENS-GROUP-ID:1\r\nEND:VCARD\r\n";
const std::string EventText =
    "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\nUID:-1\r\nDTSTART:20260101T100000\r\n"
    "END:VEVENT\r\nEND:VCALENDAR\r\n";

}  // namespace

TEST(SimConversation, AnswersAreFramedAsTheProgramCleansThem) {
  TPhoneSimulator sim(TSimContent::Empty());
  TTestLine line(sim.SlavePath());
  struct TCase {
    std::string Command, Raw, Cleaned;
  } cases[] = {
      {"AT", "AT\r\n\r\nOK\r\n", "AT\r\n"},  // only an "AT+" echo is taken off
      {"AT+CGSN", "AT+CGSN\r\n\r\n350077801234563\r\nOK\r\n", "350077801234563"},
      {"AT+C#SMDE?", "AT+C#SMDE?\r\n\r\n+C#SMDE: 0\r\nOK\r\n", "+C#SMDE: 0"},
      {"AT+C#SLST=1", "AT+C#SLST=1\r\n\r\n+CME ERROR: 3\r\n", ""},
      {"AT+C#SGET=0,1", "AT+C#SGET=0,1\r\n\r\n+CME ERROR: 3\r\n", ""},
      {"AT+C#SPUT=0,10", "AT+C#SPUT=0,10\r\n\r\n+CME ERROR: 3\r\n", ""},
      {"AT+C#SMDE=1",
       "AT+C#SMDE=1\r\n\r\nTotal-Records: 0\r\nTotal-Records: 0\r\nTotal-Records: 0\r\n\r\nOK\r\n",
       "Total-Records: 0\r\nTotal-Records: 0\r\nTotal-Records: 0\r\n"},
      {"AT+C#SMDE?", "AT+C#SMDE?\r\n\r\n+C#SMDE: 1\r\nOK\r\n", "+C#SMDE: 1"},
      {"AT+C#SLST=1", "AT+C#SLST=1\r\n\r\n+C#SLST: 0,0\r\n\r\nOK\r\n", "+C#SLST: 0,0\r\n"},
      {"AT+C#SLST=5", "AT+C#SLST=5\r\n\r\n+CME ERROR: 263\r\n", ""},
      {"AT+C#SGET=0,12345", "AT+C#SGET=0,12345\r\n\r\n+CME ERROR: 258\r\n", ""},
      {"AT+C#SGET=9,419954689", "AT+C#SGET=9,419954689\r\n\r\n+CME ERROR: 260\r\n", ""},  // factory
      {"AT+C#SPUT=0,0", "AT+C#SPUT=0,0\r\n\r\n+CME ERROR: 262\r\n", ""},
      {"AT+C#SPUT=0,70000", "AT+C#SPUT=0,70000\r\n\r\n+CME ERROR: 256\r\n", ""},
      {"AT+C#SGET=0", "AT+C#SGET=0\r\n\r\nERROR\r\n", ""},
      {"AT+FOO", "AT+FOO\r\n\r\nERROR\r\n", ""},
      {"AT+C#SMDE=0", "AT+C#SMDE=0\r\n\r\nOK\r\n", "OK"},
  };
  for (const auto& c : cases) {
    std::string raw = line.Command(c.Command);
    EXPECT_EQ(raw, c.Raw) << c.Command;
    if (!c.Cleaned.empty()) {
      EXPECT_EQ(CleanAnswer(raw), c.Cleaned) << c.Command;
    }
  }
  // Without echo the same cleaning gives the same information.
  line.Command("ATE0");
  EXPECT_EQ(line.Command("AT+C#SMDE?"), "\r\n+C#SMDE: 0\r\nOK\r\n");
  EXPECT_EQ(CleanAnswer(line.Command("AT+CGSN")), "350077801234563");
  EXPECT_EQ(sim.Commands().front(), "AT");
}

TEST(SimConversation, ListingsHaveTheirLayoutAndSurviveTheCleaning) {
  TSimOptions options;
  options.ListingPieceEntries = 5;
  TPhoneSimulator sim(TSimContent::Sample(), options);
  TTestLine line(sim.SlavePath());
  std::string totals = CleanAnswer(line.Command("AT+C#SMDE=1"));
  EXPECT_EQ(totals, "Total-Records: " + std::to_string(sim.Entries(stContact).size()) + CrLf +
                        "Total-Records: " + std::to_string(sim.Entries(stGroup).size()) + CrLf +
                        "Total-Records: " + std::to_string(sim.Entries(stEvent).size()) + CrLf);

  TSimContent factory = TSimContent::Empty();
  for (int type : {stGroup, stContact, stEvent, stRingTone}) {
    std::vector<int> expected;
    if (type == stRingTone) expected.assign(factory.FactoryRingTones().begin(), factory.FactoryRingTones().end());
    for (const auto& entry : sim.Entries(type)) expected.push_back(entry.Id);

    std::vector<int> listed;
    std::vector<std::string> pieces = ListingPieces(line, type);
    EXPECT_EQ(pieces.size(), (expected.size() + 4) / 5) << type;
    for (std::size_t p = 0; p < pieces.size(); ++p) {
      const std::string& piece = pieces[p];
      ASSERT_EQ(piece.substr(0, 9), "+C#SLST: ");
      EXPECT_EQ(piece[9], p + 1 < pieces.size() ? '1' : '0');
      EXPECT_EQ(piece[10], ',');
      std::size_t end = piece.find(CrLf);
      std::size_t n = std::stoul(piece.substr(11, end - 11));
      EXPECT_EQ(n % 6, 0u);
      EXPECT_EQ(piece.size(), end + 2 + n) << "bytes lost or added in the cleaning, type " << type;
      for (std::size_t k = 0; k + 6 <= n; k += 6) EXPECT_EQ(piece.substr(end + 2 + k + 4, 2), std::string(2, '\0'));
      for (int id : ListedIds(piece)) listed.push_back(id);
    }
    EXPECT_EQ(listed, expected) << type;
  }
  // The sample's event identifiers have zero high bytes: the listing ends in zeros.
  std::string events = ListingPieces(line, stEvent).back();
  EXPECT_EQ(events.substr(events.size() - 4), std::string(4, '\0'));
}

TEST(SimConversation, ZeroBytesAtTheEndOfAListingReachTheProgram) {
  TPhoneSimulator sim(TSimContent::Empty());
  sim.Edit([](TSimContent& content) {
    content.Store(stContact, ContactText);
    content.Add(stContact, 0x120, ContactText);  // bytes 20 01 00 00, listed last
  });
  TTestLine line(sim.SlavePath());
  line.Command("AT+C#SMDE=1");
  std::string raw = line.Command("AT+C#SLST=0");
  std::string cleaned = CleanAnswer(raw);
  EXPECT_EQ(cleaned.substr(cleaned.size() - 6), std::string("\x20\x01\0\0\0\0", 6));
  EXPECT_EQ(ListedIds(cleaned), (std::vector<int>{sim.Entries(stContact)[0].Id, 0x120}));
}

TEST(SimConversation, EveryFetchedEntryArrivesIntactAfterTheCleaning) {
  TPhoneSimulator sim(TSimContent::Sample());
  TTestLine line(sim.SlavePath());
  line.Command("AT+C#SMDE=1");
  for (int type : {stGroup, stContact, stEvent, stRingTone}) {
    for (const auto& entry : sim.Entries(type)) {
      std::string command = "AT+C#SGET=" + std::to_string(type) + "," + std::to_string(entry.Id);
      std::string raw = line.Command(command);
      EXPECT_EQ(raw.substr(0, command.size() + 4), command + "\r\n\r\n");
      EXPECT_EQ(raw.find("\r\n>"), std::string::npos) << command << ": would read as the input prompt";
      EXPECT_EQ(DropFirstLine(CleanAnswer(raw)), entry.Data) << command;
      if (type != stRingTone) {
        std::vector<std::string> lines = SimSplitLines(entry.Data);
        EXPECT_NE(std::find(lines.begin(), lines.end(), "UID:" + std::to_string(entry.Id)), lines.end());
      }
    }
  }
  // A ring tone record: name in every second byte, 1 at byte 46, the pair count at 47.
  const TSimEntry tone = sim.Entries(stRingTone)[0];
  ASSERT_GE(tone.Data.size(), 48u);
  EXPECT_EQ(tone.Data.substr(0, 4), std::string(4, '\0'));
  EXPECT_EQ(tone.Data.substr(4, 6), std::string("F\0\xFC\0r\0", 6));
  EXPECT_EQ(tone.Data[46], 1);
  EXPECT_EQ(tone.Data.size(), 48u + 4u * static_cast<unsigned char>(tone.Data[47]));
  EXPECT_EQ(tone.Data.substr(48, 4), std::string("\x93\x02\x96\x00", 4));  // 659, 150
}

TEST(SimConversation, StoredEntriesAreListedAndFetchedWithThePhonesIdentifiers) {
  TPhoneSimulator sim(TSimContent::Empty());
  TTestLine line(sim.SlavePath());
  line.Command("AT+C#SMDE=1");

  int group = NewId(Store(line, stGroup, GroupText));
  EXPECT_EQ(group, SimGroupBase + 1);
  int contact = NewId(Store(line, stContact, ContactText));
  int event = NewId(Store(line, stEvent, EventText));
  TSimRingTone tone{"Ab", {{1, 2}, {3, 4}}};
  std::string record = SimRingToneRecord(tone);
  std::string answer = Store(line, stRingTone, record, true);
  EXPECT_EQ(answer.find("AT+"), std::string::npos) << "store data is not echoed";
  int ringTone = NewId(answer);
  for (int id : {contact, event, ringTone}) EXPECT_GT(id, 0);

  EXPECT_EQ(CleanAnswer(line.Command("AT+C#SMDE=1")), "Total-Records: 1\r\nTotal-Records: 1\r\nTotal-Records: 1\r\n");
  EXPECT_EQ(ListedIds(CleanAnswer(line.Command("AT+C#SLST=1"))), std::vector<int>{group});
  EXPECT_EQ(ListedIds(CleanAnswer(line.Command("AT+C#SLST=2"))), std::vector<int>{event});
  std::vector<int> tones;
  for (const auto& piece : ListingPieces(line, stRingTone))
    for (int id : ListedIds(piece)) tones.push_back(id);
  ASSERT_EQ(tones.size(), 43u);
  EXPECT_EQ(tones.back(), ringTone);

  std::string fetchedGroup = DropFirstLine(CleanAnswer(line.Command("AT+C#SGET=1," + std::to_string(group))));
  EXPECT_NE(fetchedGroup.find("\r\nUID:419889153\r\n"), std::string::npos);
  EXPECT_NE(fetchedGroup.find("\r\nX-SIEMENS-GROUP-ID:1\r\n"), std::string::npos);
  EXPECT_EQ(sim.Entries(stGroup)[0].Sent, GroupText);
  std::string fetchedContact = DropFirstLine(CleanAnswer(line.Command("AT+C#SGET=0," + std::to_string(contact))));
  EXPECT_NE(fetchedContact.find("B\xE4r;Ute\r\nUID:" + std::to_string(contact) + "\r\n"), std::string::npos);
  EXPECT_EQ(DropFirstLine(CleanAnswer(line.Command("AT+C#SGET=9," + std::to_string(ringTone)))), record);
  EXPECT_EQ(sim.Commands().back(), "AT+C#SGET=9," + std::to_string(ringTone));
}

TEST(SimConversation, EntriesThePhoneCannotTakeAreRefused) {
  TPhoneSimulator sim(TSimContent::Empty());
  TTestLine line(sim.SlavePath());
  line.Command("AT+C#SMDE=1");
  std::string noVersion = EventText;
  noVersion.erase(noVersion.find("VERSION:1.0\r\n"), 13);
  std::string noEnd = EventText;
  noEnd.erase(noEnd.find("END:VEVENT\r\n"), 12);
  std::string badRecord = SimRingToneRecord({"x", {{1, 2}}});
  badRecord.pop_back();
  struct TCase {
    int Type;
    std::string Data;
    std::string Error;
  } cases[] = {
      {stEvent, noVersion, "+CME ERROR: 270"},   {stEvent, noEnd, "+CME ERROR: 269"},
      {stGroup, ContactText, "+CME ERROR: 267"}, {stContact, GroupText, "+CME ERROR: 267"},
      {stContact, "hello\r\n", "+CME ERROR: 267"}, {stRingTone, badRecord, "+CME ERROR: 262"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CleanAnswer(Store(line, c.Type, c.Data, c.Type == stRingTone)), c.Error) << c.Data;
  for (int type : {stContact, stGroup, stEvent, stRingTone}) EXPECT_TRUE(sim.Entries(type).empty());
  // The phone is ready for commands again after each refusal.
  EXPECT_EQ(line.Command("AT"), "AT\r\n\r\nOK\r\n");
}

TEST(SimConversation, AStoreWhoseDataStopsComingIsRefusedInTime) {
  TSimOptions options;
  options.DataTimeoutMs = 200;
  TPhoneSimulator sim(TSimContent::Empty(), options);
  TTestLine line(sim.SlavePath());
  line.Command("AT+C#SMDE=1");
  line.Command("AT+C#SPUT=0,100");
  line.Write("BEGIN:VCARD\r\n");
  EXPECT_EQ(line.ReadAnswer(2000), "\r\n+CME ERROR: 273\r\n");
  EXPECT_EQ(line.Command("AT"), "AT\r\n\r\nOK\r\n");
}

TEST(SimConversation, RestoringTheSampleOnAnEmptyPhoneGivesTheSameBackup) {
  TSimContent sample = TSimContent::Sample();
  TPhoneSimulator sim(TSimContent::Empty());
  TTestLine line(sim.SlavePath());
  line.Command("AT+C#SMDE=1");
  for (int type : {stGroup, stContact, stEvent, stRingTone})
    for (const auto& entry : sample.List(type))
      EXPECT_EQ(NewId(Store(line, type, entry.Data, type == stRingTone)), entry.Id);
  EXPECT_EQ(sim.BackupText(), sample.BackupText());
}

TEST(SimConversation, TheLineOutlivesItsClientsAndForgetsTheirExclusiveMode) {
  TPhoneSimulator sim(TSimContent::Empty());
  {
    TTestLine first(sim.SlavePath());
    ASSERT_EQ(::ioctl(first.Fd(), TIOCEXCL), 0);
    first.Command("AT+C#SMDE=1");
    first.Write("AT+CGSN\r\n");  // left unread when the client goes
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  TTestLine second(sim.SlavePath());
  int exclusive = -1;
  ASSERT_EQ(::ioctl(second.Fd(), TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
  EXPECT_EQ(second.Command("AT+C#SMDE?"), "AT+C#SMDE?\r\n\r\n+C#SMDE: 1\r\nOK\r\n");
}
