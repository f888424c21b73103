// The AT command exchange over a pseudo-terminal, with a scripted phone: each piece of
// an answer is sent once the previous one has been read, so the pieces arrive exactly
// as the script splits them.

#include <gtest/gtest.h>

#include <QTimer>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "AtExchange.h"
#include "PtyPeer.h"
#include "TestSupport.h"
#include "VaComm.h"

namespace {

class ExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ApplyPhoneDesignSettings(comm);
    comm.SetDeviceName(peer.Path());
    timer.setInterval(2000);
    comm.Open();
    ASSERT_TRUE(exchange.AnswerDone);  // set by the open event
  }

  // The phone waits for the command, then answers in the given pieces.
  void Converse(const std::string& command, const std::vector<std::string>& pieces, std::size_t linesBySend = 1) {
    const std::size_t before = log.Lines().size() + linesBySend;
    peer.Play([this, command, pieces, before](TPtyPeer& p) {
      if (!p.Expect(command, 5000)) return;
      for (std::size_t k = 0; k < pieces.size(); ++k) {
        p.Send(pieces[k]);
        if (!log.WaitForLines(before + k + 1, 5000)) return;
      }
    });
  }

  std::vector<std::string> MessageTexts() {
    std::vector<std::string> texts;
    for (const auto& m : dialogs.Messages) {
      EXPECT_EQ(m.Kind, TMsgKind::Error);
      EXPECT_EQ(m.Title, "Error");
      texts.push_back(m.Text.toLatin1().toStdString());
    }
    return texts;
  }

  void Reset() {
    peer.Join();
    peer.Take();
    dialogs.Messages.clear();
  }

  TPtyPeer peer;
  TVaComm comm;
  QTimer timer;
  TWatchedLog log;
  TRecordingDialogs dialogs;
  TExceptionRecorder reported;
  TAtExchange exchange{comm, timer, log, dialogs};
};

TEST_F(ExchangeTest, AnswersAreAssembledClassifiedAndCleaned) {
  struct {
    const char* Name;
    std::string Command;
    std::vector<std::string> Pieces;
    bool Ok;
    std::string Answer;
    std::vector<std::string> Messages;
  } cases[] = {
      {"echo and information in one piece", "AT+CGSN\r\n",
       {"AT+CGSN\r\n\r\n350077801234567\r\n\r\nOK\r\n"}, true, "350077801234567\r\n", {}},
      {"information directly before OK", "AT+C#SMDE?\r\n",
       {"AT+C#SMDE?\r\n\r\n+C#SMDE: 1\r\nOK\r\n"}, true, "+C#SMDE: 1", {}},
      {"bare OK", "AT+C#SMDE=0\r\n", {"\r\nOK\r\n"}, true, "OK", {}},
      {"echo and OK", "AT+C#SMDE=0\r\n", {"AT+C#SMDE=0\r\n\r\nOK\r\n"}, true, "OK", {}},
      {"OK split inside", "AT+CGSN\r\n", {"AT+CGSN\r\n\r\n3500778012\r\n\r\nO", "K\r\n"}, true,
       "3500778012\r\n", {}},
      {"OK split before its last CR LF", "AT+CGSN\r\n", {"\r\n3500778012\r\n\r\nOK", "\r\n"}, true,
       "3500778012\r\n", {}},
      {"many pieces", "AT+CGSN\r\n", {"AT+C", "GSN\r\n", "\r\n35007780", "1234567\r\n\r", "\nOK\r\n"}, true,
       "350077801234567\r\n", {}},
      {"plain error", "AT+C#SLST=3\r\n", {"\r\nERROR\r\n"}, false, "\r\nERROR\r\n", {"ERROR: Invalid command."}},
      {"plain error split", "AT+C#SLST=3\r\n", {"\r\nERR", "OR\r\n"}, false, "\r\nERROR\r\n",
       {"ERROR: Invalid command."}},
      {"OK and ERROR in one piece", "AT\r\n", {"\r\nOK\r\n\r\nERROR\r\n"}, false, "OK\r\n\r\nERROR",
       {"ERROR: Invalid command."}},
      {"phone error 21", "AT+C#SGET=0,99\r\n", {"\r\n+CME ERROR: 21\r\n"}, false, "\r\n+CME ERROR: 21\r\n",
       {"+CME ERROR 21: Invalid index."}},
      {"phone error without a text", "AT+C#SGET=0,99\r\n", {"\r\n+CME ERROR: 8\r\n"}, false,
       "\r\n+CME ERROR: 8\r\n", {"+CME ERROR 8: ."}},
      {"phone error split in its marker", "AT+C#SPUT=0,5\r\n", {"\r\n+CME ERR", "OR: 262\r\n"}, false,
       "\r\n+CME ERROR: 262\r\n", {"+CME ERROR 262: Wrong amount of data transferred."}},
      {"phone error split in its number", "AT+C#SGET=0,99\r\n", {"\r\n+CME ERROR: 2", "1\r\n"}, false,
       "\r\n+CME ERROR: 21\r\n", {"+CME ERROR 21: Invalid index."}},
      {"phone error without a number", "AT+C#SGET=0,99\r\n", {"\r\n+CME ERROR: abc\r\n"}, false,
       "\r\n+CME ERROR: abc\r\n", {"+CME ERROR abc: ."}},
      {"input prompt after a store command", "AT+C#SPUT=0,10\r\n", {"AT+C#SPUT=0,10\r\n\r\n> "}, true,
       "AT+C#SPUT=0,10\r\n\r\n> ", {}},
      {"fetched entry holding OK and ERROR lines", "AT+C#SGET=0,5\r\n",
       {"AT+C#SGET=0,5\r\n\r\n+C#SGET: 0,5\r\nBEGIN:VCARD\r\nNOTE:=\r\nOK\r\n", "ERROR\r\nEND:VCARD\r\n\r\nOK\r\n"},
       true, "+C#SGET: 0,5\r\nBEGIN:VCARD\r\nNOTE:=\r\nOK\r\nERROR\r\nEND:VCARD\r\n", {}},
      // A ring tone record shorter than its count: complete once nothing follows its OK.
      {"fetched data holding CR LF > ends only at OK", "AT+C#SGET=9,5\r\n",
       {"AT+C#SGET=9,5\r\n\r\n+C#SGET: 9,5\r\nab\r\n>cd", std::string("ef\x00\xff\r\n\r\nOK\r\n", 12)}, true,
       std::string("+C#SGET: 9,5\r\nab\r\n>cdef\x00\xff\r\n", 27), {}},
  };
  bool hold = false;  // every other refusal held back: no box, only the failure kept
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    hold = exchange.HoldRefusals = !c.Ok && !hold;
    Converse(c.Command, c.Pieces);
    const bool ok = exchange.SendCommand(c.Command);
    EXPECT_EQ(ok, c.Ok);
    EXPECT_EQ(exchange.AnswerOk, c.Ok);
    EXPECT_TRUE(exchange.AnswerDone);
    EXPECT_FALSE(exchange.TimedOut);
    EXPECT_EQ(exchange.Answer, c.Answer);
    EXPECT_EQ(MessageTexts(), hold ? std::vector<std::string>{} : c.Messages);
    EXPECT_EQ(exchange.Failure, c.Ok ? TSendFailure::None : TSendFailure::Refused);
    EXPECT_EQ(exchange.FailureText, c.Messages.empty() ? std::string() : c.Messages.front());
    EXPECT_EQ(peer.Received(), c.Command);
    Reset();
  }
  EXPECT_TRUE(reported.Texts.empty());
}

TEST_F(ExchangeTest, LogShowsCommandsPiecesAndControlCharacters) {
  const std::size_t before = log.Lines().size();
  Converse("AT+CGSN\r\n", {std::string("\r\n\x00\x07" "35007780\r\n", 14), "\r\nOK\r\n"});
  EXPECT_TRUE(exchange.SendCommand("AT+CGSN\r\n"));
  const std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), before + 3);
  EXPECT_EQ(lines[before], "AT+CGSN\r\n");
  EXPECT_EQ(lines[before + 1], "\r\n(0)(7)35007780\r\n");
  EXPECT_EQ(lines[before + 2], "\r\nOK\r\n");
  EXPECT_EQ(exchange.Answer, std::string("\x00\x07" "35007780\r\n", 12).substr(2));
}

TEST_F(ExchangeTest, DataModeQuery) {
  struct {
    std::string Answer;
    bool On;
  } cases[] = {
      {"AT+C#SMDE?\r\n\r\n+C#SMDE: 1\r\nOK\r\n", true},
      {"AT+C#SMDE?\r\n\r\n+C#SMDE: 0\r\nOK\r\n", false},
      {"\r\n+C#SMDE: 1\r\n\r\nOK\r\n", false},  // the answer then ends in CR LF, not "1"
      {"\r\nERROR\r\n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Answer);
    Converse("AT+C#SMDE?\r\n", {c.Answer});
    EXPECT_EQ(exchange.IsDataModeOn(), c.On);
    Reset();
  }
}

TEST_F(ExchangeTest, SilenceEndsTheExchangeAfterTheTimersInterval) {
  timer.setInterval(300);
  // No answer at all.
  auto start = TClock::now();
  EXPECT_FALSE(exchange.SendCommand("AT+CGSN\r\n"));
  EXPECT_GE(MsSince(start), 300);
  EXPECT_TRUE(exchange.TimedOut);
  EXPECT_FALSE(exchange.AnswerDone);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"ERROR: No answer from phone (timeout)."});
  EXPECT_EQ(exchange.Failure, TSendFailure::NoAnswer);
  Reset();

  // An answer that begins and never completes.
  Converse("AT+CGSN\r\n", {"\r\n350077"});
  EXPECT_FALSE(exchange.SendCommand("AT+CGSN\r\n"));
  EXPECT_TRUE(exchange.TimedOut);
  EXPECT_EQ(exchange.Answer, "\r\n350077");
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"ERROR: No answer from phone (timeout)."});
  Reset();

  // A phone error whose line never ends is taken as it stands once the phone is silent.
  Converse("AT+C#SGET=0,1\r\n", {"\r\n+CME ERROR: 21"});
  EXPECT_FALSE(exchange.SendCommand("AT+C#SGET=0,1\r\n"));
  EXPECT_FALSE(exchange.TimedOut);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"+CME ERROR 21: Invalid index."});
  EXPECT_EQ(exchange.Failure, TSendFailure::Refused) << "a phone error that fell silent in its number";
  Reset();

  // Pieces that keep coming within the interval keep the exchange alive.
  peer.Play([](TPtyPeer& p) {
    if (!p.Expect("AT+CGSN\r\n", 5000)) return;
    for (const char* piece : {"\r\n35", "0077", "801234", "567\r\n", "\r\nOK\r\n"}) {
      std::this_thread::sleep_for(std::chrono::milliseconds(180));
      p.Send(piece);
    }
  });
  start = TClock::now();
  EXPECT_TRUE(exchange.SendCommand("AT+CGSN\r\n"));
  EXPECT_GE(MsSince(start), 800);
  EXPECT_EQ(exchange.Answer, "350077801234567\r\n");
  EXPECT_TRUE(dialogs.Messages.empty());
  Reset();

  // After a time-out the timer is quiet: a late piece is logged and tested, no more.
  PumpFor(400);
  EXPECT_TRUE(dialogs.Messages.empty());
}

// The time-out box is shown once: a piece that arrives while it is open does not start
// the timer again.
TEST_F(ExchangeTest, APieceWhileTheTimeOutIsShownBringsNoSecondBox) {
  timer.setInterval(300);
  dialogs.WhileShown = [this](const TRecordedMessage&) {
    const std::size_t lines = log.Lines().size();
    peer.Send("\r\n3500");
    PumpUntil([&] { return log.Lines().size() > lines; }, 2000);
  };
  EXPECT_FALSE(exchange.SendCommand("AT+CGSN\r\n"));
  dialogs.WhileShown = nullptr;
  EXPECT_TRUE(exchange.TimedOut);
  EXPECT_EQ(log.Lines().back(), "\r\n3500");
  PumpFor(800);
  EXPECT_FALSE(timer.isActive());
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"ERROR: No answer from phone (timeout)."});
}

TEST_F(ExchangeTest, RingToneDataGoesOutByteByByte) {
  std::vector<unsigned char> data(1068);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>((i * 7) % 256);
  // Each log line takes a while, so the write thread empties the buffer between bytes.
  log.Delay = std::chrono::microseconds(200);
  const std::size_t before = log.Lines().size();
  peer.Play([this, before](TPtyPeer& p) {
    if (!p.ReceiveTotal(1070, 10000)) return;
    // Answer only once the whole block has been logged.
    if (!log.WaitForLines(before + 1069, 5000)) return;
    p.Send("\r\n+C#SPUT: 9,12\r\n\r\nOK\r\n");
  });
  EXPECT_TRUE(exchange.SendData(data));
  EXPECT_FALSE(exchange.PromptExpected());
  peer.Join();
  const std::string expected = std::string(data.begin(), data.end()) + "\r\n";
  EXPECT_EQ(peer.Received(), expected);
  const std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), before + 1070);
  EXPECT_EQ(lines[before], "[0]");
  EXPECT_EQ(lines[before + 37], "[3]");  // 37 * 7 = 259
  EXPECT_EQ(lines[before + 1068], "");
  EXPECT_EQ(exchange.Answer, "+C#SPUT: 9,12\r\n");
  EXPECT_TRUE(reported.Texts.empty());
}

TEST_F(ExchangeTest, LostLineEndsTheExchangeAtOnce) {
  timer.setInterval(30000);
  peer.Play([this](TPtyPeer& p) {
    if (!p.Expect("AT+C#SGET=0,5\r\n", 5000)) return;
    p.Send("\r\nBEGIN:VCARD\r\n");
    log.WaitForLines(2, 5000);
    p.HangUp();
  });
  const auto start = TClock::now();
  EXPECT_FALSE(exchange.SendCommand("AT+C#SGET=0,5\r\n"));
  EXPECT_LT(MsSince(start), 3000);
  EXPECT_FALSE(comm.IsOpen());
  EXPECT_FALSE(exchange.TimedOut);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"ERROR: Connection to phone lost."});
  EXPECT_EQ(exchange.Failure, TSendFailure::LineLost);
  EXPECT_TRUE(reported.Texts.empty());
}

// The hang-up closed the port between two operations: the next command has no line to
// go out on and ends at once, not after the time-out.
TEST_F(ExchangeTest, ACommandForAClosedPortEndsAtOnce) {
  timer.setInterval(30000);
  comm.Close();
  const auto start = TClock::now();
  EXPECT_FALSE(exchange.SendCommand("AT+C#SPUT=1,10\r\n"));
  EXPECT_LT(MsSince(start), 1000);
  EXPECT_FALSE(exchange.TimedOut);
  EXPECT_FALSE(timer.isActive());
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"ERROR: Connection to phone lost."});
  EXPECT_FALSE(exchange.SendData({1, 2, 3}));
  EXPECT_EQ(MessageTexts().size(), 2u);
}

TEST_F(ExchangeTest, RefusedWriteLeavesNoTimerBehind) {
  timer.setInterval(300);
  comm.Close();
  comm.Buffers().SetWriteTimeout(100);
  comm.Open();
  // The peer reads nothing: the line and then the buffer fill, and the write is refused.
  EXPECT_THROW(exchange.SendCommand(std::string(64 * 1024, 'A')), EVaCommError);
  EXPECT_FALSE(exchange.AnswerOk);
  PumpFor(500);
  EXPECT_TRUE(dialogs.Messages.empty());
}

}  // namespace
