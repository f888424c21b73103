// Each misbehaviour switch of the simulated phone, seen from the line.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "PhoneSimulator.h"
#include "SimTestLine.h"
#include "SimVObject.h"

namespace {

using TClock = std::chrono::steady_clock;

long long MsSince(TClock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - start).count();
}

std::string Joined(const std::vector<std::string>& pieces) {
  std::string all;
  for (const auto& piece : pieces) all += piece;
  return all;
}

const std::string CgsnAnswer = "AT+CGSN\r\n\r\n350077801234563\r\nOK\r\n";

}  // namespace

TEST(SimFaults, ErrorAnswersReplaceTheAnswerForTheirCommandsOnly) {
  TPhoneSimulator sim(TSimContent::Sample());
  TTestLine line(sim.SlavePath());
  line.Command("AT+C#SMDE=1");
  std::int32_t first = sim.Entries(stContact)[0].Id, second = sim.Entries(stContact)[1].Id;
  std::string getFirst = "AT+C#SGET=0," + std::to_string(first), getSecond = "AT+C#SGET=0," + std::to_string(second);

  sim.Faults().ErrorOn("AT+C#SLST=0");
  sim.Faults().CmeErrorOn("at+cgsn", 21);  // prefixes match in any letter case
  sim.Faults().Add(TFault::CmeError(258).On("AT+C#SGET=").ForEntry(first).Once());
  sim.Faults().Add(TFault::NoAnswer().On("AT+C#SLST=2").Count(2));

  struct TStep {
    std::string Command, Answer;
  } steps[] = {
      {"AT+C#SLST=0", "AT+C#SLST=0\r\n\r\nERROR\r\n"},
      {"AT+C#SLST=0", "AT+C#SLST=0\r\n\r\nERROR\r\n"},  // for good
      {"AT+CGSN", "AT+CGSN\r\n\r\n+CME ERROR: 21\r\n"},
      {getSecond, ""},  // another entry: answered normally (checked below)
      {getFirst, getFirst + "\r\n\r\n+CME ERROR: 258\r\n"},
      {getFirst, ""},   // once only
  };
  for (const auto& step : steps) {
    std::string answer = line.Command(step.Command);
    if (step.Answer.empty())
      EXPECT_EQ(answer.substr(answer.size() - 6), "\r\nOK\r\n") << step.Command;
    else
      EXPECT_EQ(answer, step.Answer) << step.Command;
  }
  for (int k = 0; k < 2; ++k) {
    line.Write("AT+C#SLST=2\r\n");
    EXPECT_EQ(line.ReadFor(200), "") << "no answer, not even the echo";
  }
  EXPECT_EQ(line.Command("AT+C#SLST=2").substr(0, 17), "AT+C#SLST=2\r\n\r\n+C");
  sim.Faults().Clear();
  EXPECT_EQ(line.Command("AT+CGSN"), CgsnAnswer);
}

TEST(SimFaults, AnswersArriveInThePiecesAsked) {
  TPhoneSimulator sim(TSimContent::Empty());
  TTestLine line(sim.SlavePath());

  std::size_t size = CgsnAnswer.size();
  sim.Faults().Add(TFault::CutAt({3, 20, size - 3}).On("AT+CGSN").Once());  // the last cut inside "OK"
  line.Write("AT+CGSN\r\n");
  std::vector<std::string> pieces = line.ReadPieces();
  EXPECT_EQ(pieces, (std::vector<std::string>{"AT+", CgsnAnswer.substr(3, 17), CgsnAnswer.substr(20, size - 23), "K\r\n"}));

  sim.Faults().SplitEveryByte = true;
  line.Write("AT+CGSN\r\n");
  pieces = line.ReadPieces();
  EXPECT_EQ(pieces.size(), size);
  EXPECT_EQ(Joined(pieces), CgsnAnswer);
  sim.Faults().SplitEveryByte = false;

  sim.Faults().Add(TFault::EveryByte().On("AT+C#SMDE?").Once());
  line.Write("AT+C#SMDE?\r\n");
  EXPECT_EQ(line.ReadPieces().size(), std::string("AT+C#SMDE?\r\n\r\n+C#SMDE: 0\r\nOK\r\n").size());
}

TEST(SimFaults, SlowAnswersAndThinkingTimeDelayTheBytes) {
  TSimOptions options;
  options.AnswerDelayMs = 150;
  TPhoneSimulator sim(TSimContent::Empty(), options);
  TTestLine line(sim.SlavePath());

  // The thinking time comes after the echo: the echo is a piece of its own.
  line.Write("AT+CGSN\r\n");
  std::vector<std::string> pieces = line.ReadPieces();
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0], "AT+CGSN\r\n");

  sim.Faults().Add(TFault::Slow(400).On("AT+CGSN").Once());
  auto start = TClock::now();
  line.Write("AT+CGSN\r\n");
  EXPECT_EQ(line.ReadFor(250), "") << "a slow answer sends nothing early, not even the echo";
  EXPECT_EQ(line.ReadAnswer() , CgsnAnswer);
  EXPECT_GE(MsSince(start), 400);
}

TEST(SimFaults, PacingHoldsTheOutputToTheBitRate) {
  TSimOptions options;
  options.BaudRate = 9600;  // 960 bytes a second
  TPhoneSimulator sim(TSimContent::Sample(), options);
  TTestLine line(sim.SlavePath());
  line.Command("AT+C#SMDE=1");
  const TSimEntry contact = sim.Entries(stContact)[0];
  auto start = TClock::now();
  std::string answer = line.Command("AT+C#SGET=0," + std::to_string(contact.Id));
  ASSERT_GT(answer.size(), 600u);
  EXPECT_GE(MsSince(start), (long long)(answer.size() * 1000 / 960) - 50);
}

TEST(SimFaults, ContentSwitchesChangeWhatThePhoneReports) {
  TPhoneSimulator sim(TSimContent::Sample());
  TTestLine line(sim.SlavePath());

  sim.Faults().WrongIdentity = true;
  EXPECT_EQ(CleanAnswer(line.Command("AT+CGSN")).find("35007780"), std::string::npos);
  sim.Faults().WrongIdentity = false;
  sim.Faults().SetIdentity("350077809999999");
  EXPECT_EQ(CleanAnswer(line.Command("AT+CGSN")), "350077809999999");

  sim.Faults().ContactsTotalDelta = 2;
  sim.Faults().EventsTotalDelta = -1;
  std::string totals = CleanAnswer(line.Command("AT+C#SMDE=1"));
  EXPECT_EQ(totals, "Total-Records: " + std::to_string(sim.Entries(stContact).size() + 2) + "\r\n" +
                        "Total-Records: " + std::to_string(sim.Entries(stGroup).size()) + "\r\n" +
                        "Total-Records: " + std::to_string(sim.Entries(stEvent).size() - 1) + "\r\n");

  sim.Faults().FactoryRingTones = 41;
  std::vector<int> listed;
  for (std::string cleaned;;) {
    cleaned = CleanAnswer(line.Command("AT+C#SLST=9"));
    for (int id : ListedIds(cleaned)) listed.push_back(id);
    if (cleaned[9] == '0') break;
  }
  EXPECT_EQ(listed.size(), 41 + sim.Entries(stRingTone).size());
  EXPECT_EQ(listed[41], sim.Entries(stRingTone)[0].Id);

  std::int32_t tone = sim.Entries(stRingTone)[1].Id;
  sim.Faults().BadRingToneRecord(tone, 7);
  std::string record = DropFirstLine(CleanAnswer(line.Command("AT+C#SGET=9," + std::to_string(tone))));
  EXPECT_EQ(record[46], 7);
  EXPECT_EQ(record.substr(47), sim.Entries(stRingTone)[1].Data.substr(47));
  std::string other = DropFirstLine(CleanAnswer(line.Command("AT+C#SGET=9," + std::to_string(sim.Entries(stRingTone)[0].Id))));
  EXPECT_EQ(other[46], 1);
}

TEST(SimFaults, FoldedEntriesHoldResultCodeLines) {
  const struct {
    int Type;
    std::string Stored, Served;
  } cases[] = {
      {stContact, "N:OK\r\nNOTE;ENCODING=QUOTED-PRINTABLE:=\r\nAll >=\r\n is OK\r\nEND:VCARD\r\n",
       "N:OK\r\nNOTE;ENCODING=QUOTED-PRINTABLE:All =\r\n>=\r\n is =\r\nOK\r\nEND:VCARD\r\n"},
      {stContact, "ADR:;;1 Main=0D=0AERROR;;;;Land\\\r\nOK\r\n", "ADR:;;1 Main\\\r\nERROR=\r\n;;;;Land\\\r\nOK\r\n"},
      {stEvent, "DESCRIPTION:x +CME ERROR: 3OK\r\nEND:VEVENT\r\n",
       "DESCRIPTION:x =\r\n+CME ERROR: 3=\r\nOK\r\nEND:VEVENT\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(SimFoldResultCodes(c.Type, c.Stored), c.Served) << c.Stored;
  const std::string tone = SimRingToneRecord({"Tone", {{440, 4}}});
  const std::string served = SimFoldResultCodes(stRingTone, tone);
  EXPECT_EQ(served.substr(0, 13), std::string("OK\r\nT\0o\0n\0e\0\0", 13));
  EXPECT_EQ(served.substr(13, 33), std::string("\r\n+CME ERROR: 3\r\nERROR\r\nOK\r\n>\0\0\0\0", 33));
  EXPECT_EQ(served.substr(46), tone.substr(46));
  // The pieces end behind each result code but the last.
  EXPECT_EQ(SimResultCodeEnds("\r\nOK\r\nx\r\nOKAY\r\n>y\r\nOK\r\n"), (std::vector<std::size_t>{6, 16}));
}

TEST(SimFaults, UnfinishedAnswersAndGarbageLeaveThePhoneWorking) {
  TPhoneSimulator sim(TSimContent::Empty());
  TTestLine line(sim.SlavePath());

  sim.Faults().Add(TFault::NeverFinish().On("AT+CGSN").Once());
  line.Write("AT+CGSN\r\n");
  EXPECT_EQ(line.ReadFor(300), "AT+CGSN\r\n\r\n350077801234563\r\n");

  sim.Faults().Add(TFault::GarbageAfter("\r\n^SYSSTART\xFF\r\n").On("AT+CGSN").Once());
  line.Write("AT+CGSN\r\n");
  std::vector<std::string> pieces = line.ReadPieces();
  EXPECT_EQ(Joined(pieces), CgsnAnswer);
  EXPECT_EQ(line.ReadFor(300), "\r\n^SYSSTART\xFF\r\n");

  sim.SendUnsolicited("RING\r\n");
  EXPECT_EQ(line.ReadFor(300), "RING\r\n");
  EXPECT_EQ(line.Command("AT+CGSN"), CgsnAnswer);
}

TEST(SimFaults, StoreDataCanBeAnsweredWithAnError) {
  TPhoneSimulator sim(TSimContent::Empty());
  TTestLine line(sim.SlavePath());
  line.Command("AT+C#SMDE=1");
  sim.Faults().Add(TFault::CmeError(20).On("AT+C#SPUT=0").OnData().Once());
  std::string text = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:A\r\nEND:VCARD\r\n";
  EXPECT_EQ(line.Command("AT+C#SPUT=0," + std::to_string(text.size())),
            "AT+C#SPUT=0," + std::to_string(text.size()) + "\r\n\r\n>");
  line.Write(text);
  EXPECT_EQ(line.ReadAnswer(), "\r\n+CME ERROR: 20\r\n");
  EXPECT_TRUE(sim.Entries(stContact).empty());
}

TEST(SimFaults, APulledCableHangsUpMidAnswerAndCanBePluggedBackIn) {
  std::string folder = std::filesystem::temp_directory_path() / ("s40sim-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  TSimOptions options;
  options.LinkPath = folder + "/COM4";
  auto linked = [&] { return std::filesystem::read_symlink(options.LinkPath).string(); };
  {
    TPhoneSimulator sim(TSimContent::Sample(), options);
    EXPECT_EQ(linked(), sim.SlavePath());
    std::string oldPath = sim.SlavePath();
    TTestLine line(options.LinkPath);
    line.Command("AT+C#SMDE=1");
    sim.Faults().PullCableAfterBytes("AT+C#SGET=", 20);
    std::string command = "AT+C#SGET=1," + std::to_string(sim.Entries(stGroup)[0].Id);
    line.Write(command + "\r\n");
    EXPECT_EQ(line.ReadFor(500), (command + "\r\n\r\n+C#SGET: 1,419889153").substr(0, 20));
    EXPECT_TRUE(sim.WaitForCable(false, 1000));
    EXPECT_TRUE(line.HungUp());

    std::string newPath = sim.PlugIn();
    EXPECT_TRUE(sim.CableConnected());
    EXPECT_NE(newPath, oldPath);
    EXPECT_EQ(linked(), newPath);
    TTestLine again(options.LinkPath);
    EXPECT_EQ(again.Command("AT+C#SMDE?"), "AT+C#SMDE?\r\n\r\n+C#SMDE: 1\r\nOK\r\n") << "the phone stayed in data mode";
    EXPECT_EQ(again.Command(command).substr(0, command.size() + 4), command + "\r\n\r\n");

    sim.PullCable();
    EXPECT_TRUE(sim.WaitForCable(false, 1000));
    EXPECT_TRUE(again.HungUp());
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(options.LinkPath)))
      << "the link goes with the simulator";
  std::filesystem::remove_all(folder);
}
