// Answer assembly without a port: cleaning, finding final results (also split ones),
// the phone error number and table, and the log rendering.

#include <gtest/gtest.h>

#include <string>

#include "AtAnswer.h"
#include "PhoneCommands.h"
#include "PhoneErrors.h"

namespace {

TEST(AtAnswer, CleaningTakesEchoAndOkAway) {
  struct {
    const char* Answer;
    const char* Cleaned;
  } cases[] = {
      {"AT+CGSN\r\n\r\n350077801234567\r\n\r\nOK\r\n", "350077801234567\r\n"},
      {"\r\n350077801234567\r\n\r\nOK\r\n", "350077801234567\r\n"},
      {"AT+C#SMDE?\r\n\r\n+C#SMDE: 1\r\nOK\r\n", "+C#SMDE: 1"},
      {"\r\nOK\r\n", "OK"},
      {"AT+C#SMDE=0\r\n\r\nOK\r\n", "OK"},
      {"AT+X\r\nOK\r\n", "X"},  // no CR LF CR LF: only "AT+" goes
      {"  \x01\r\nline\r\n\r\nOK\r\n\x00", "line\r\n"},
      {"\r\nOK\r\n\r\nOK\r\n", "OK\r\n"},  // only one CR LF "OK" goes
      // An entry's own line beginning "OK" stays; the final result code goes.
      {"AT+C#SGET=0,5\r\n\r\n+C#SGET: 0,5\r\nADR:;;1 Main\\\r\nOKLAHOMA;;;;\r\nEND:VCARD\r\nOK\r\n",
       "+C#SGET: 0,5\r\nADR:;;1 Main\\\r\nOKLAHOMA;;;;\r\nEND:VCARD"},
      {"\r\nline\r\nOK\r\nRING", "line\r\nRING"},  // not at the end: the first goes
  };
  for (const auto& c : cases) EXPECT_EQ(CleanAnswer(c.Answer), c.Cleaned) << c.Answer;
  EXPECT_EQ(TrimControls(std::string("\0\x20x y\x1f", 6)), "x y");
}

// Line noise after one answer is read in front of the next one's echo: it goes with the
// echo, so that the listing keeps its positions. Noise that is not on the echo's line,
// or an answer without the echo, stays as it was.
TEST(AtAnswer, NoiseBeforeTheEchoGoesWithIt) {
  struct {
    const char* Answer;
    const char* Echo;
    const char* Cleaned;
  } cases[] = {
      {"\x11\xff~# noiseAT+C#SLST=1\r\n\r\n+C#SLST: 0,6\r\nabcdef\r\nOK\r\n", "AT+C#SLST=1",
       "+C#SLST: 0,6\r\nabcdef"},
      {"AT+C#SLST=1\r\n\r\n+C#SLST: 0,0\r\n\r\nOK\r\n", "AT+C#SLST=1", "+C#SLST: 0,0\r\n"},
      {"noise\r\nAT+CGSN\r\n\r\n35007780\r\nOK\r\n", "AT+CGSN", "noise\r\nAT+CGSN\r\n\r\n35007780"},
      {"\r\n+C#SPUT: 5\r\nAT+CGSN\r\nOK\r\n", "AT+CGSN", "+C#SPUT: 5\r\nAT+CGSN"},
      {"noise\r\n+C#SPUT: 5\r\nOK\r\n", "", "noise\r\n+C#SPUT: 5"},
  };
  for (const auto& c : cases) EXPECT_EQ(CleanAnswer(c.Answer, c.Echo), c.Cleaned) << c.Answer;
  EXPECT_EQ(CommandEcho("AT+C#SGET=0,5\r\n"), "AT+C#SGET=0,5");
  EXPECT_EQ(CommandEcho("BEGIN:VCARD\r\nAT+X\r\n"), "");
}

TEST(AtAnswer, FinalResultsAreFoundOnceAlsoAcrossPieces) {
  // {answer, where the newest piece starts, carry, ok, error, phone error at}
  struct {
    const char* Answer;
    std::size_t PieceStart;
    bool Carry;
    bool Ok;
    bool Error;
    std::size_t PhoneErrorAt;
  } cases[] = {
      {"\r\nOK\r\n", 0, true, true, false, std::string::npos},
      {"x\r\nO" "K\r\n", 4, true, true, false, std::string::npos},        // split inside "OK"
      {"x\r\nO" "K\r\n", 4, false, false, false, std::string::npos},      // the piece alone has none
      {"\r\nOK\r\n" "more", 6, true, false, false, std::string::npos},    // ended earlier: not again
      {"\r\nERR" "OR\r\n", 5, true, false, true, std::string::npos},
      {"\r\n+CME ER" "ROR: 21\r\n", 9, true, false, false, 0},
      {"abc\r" "\n+CME ERROR: 3\r\n", 4, true, false, false, 3},
      {"\r\nOK\r\n\r\nERROR\r\n", 0, true, true, true, std::string::npos},
  };
  for (const auto& c : cases) {
    const TPieceFindings f = FindFinalResults(c.Answer, c.PieceStart, c.Carry);
    EXPECT_EQ(f.Ok, c.Ok) << c.Answer;
    EXPECT_EQ(f.Error, c.Error) << c.Answer;
    EXPECT_EQ(f.PhoneErrorAt, c.PhoneErrorAt) << c.Answer;
  }
}

TEST(AtAnswer, PhoneErrorNumbers) {
  using S = TPhoneErrorNumber;
  struct {
    const char* Answer;
    bool Final;
    S::TState State;
    const char* Message;
  } cases[] = {
      {"\r\n+CME ERROR: 21\r\n", false, S::pnComplete, "+CME ERROR 21: Invalid index."},
      {"\r\n+CME ERROR: 8\r\n", false, S::pnComplete, "+CME ERROR 8: ."},
      {"\r\n+CME ERROR: 4\r\n", false, S::pnComplete, "+CME ERROR 4: Operation not supported.."},
      {"\r\n+CME ERROR: 262\r\n", false, S::pnComplete, "+CME ERROR 262: Wrong amount of data transferred."},
      {"\r\n+CME ERROR: 2771", false, S::pnComplete, "+CME ERROR 277: DP FFS mail error."},  // three at most
      {"\r\n+CME ERROR: 021\r\n", false, S::pnComplete, "+CME ERROR 21: Invalid index."},
      {"\r\n+CME ERROR:21\r\n", false, S::pnComplete, "+CME ERROR 21: Invalid index."},
      {"\r\n+CME ERROR: 2", false, S::pnIncomplete, ""},  // "21" may be on its way
      {"\r\n+CME ERROR:", false, S::pnIncomplete, ""},
      {"\r\n+CME ERROR: 2", true, S::pnComplete, "+CME ERROR 2: Phone-adaptor link reserved."},
      {"\r\n+CME ERROR: abc\r\n", false, S::pnNoNumber, "+CME ERROR abc: ."},
      {"\r\n+CME ERROR: \r\n", false, S::pnNoNumber, "+CME ERROR : ."},
      {"\r\n+CME ERROR:", true, S::pnNoNumber, "+CME ERROR : ."},
  };
  for (const auto& c : cases) {
    const TPhoneErrorNumber n = ReadPhoneErrorNumber(c.Answer, 0, c.Final);
    EXPECT_EQ(n.State, c.State) << c.Answer;
    if (n.State != S::pnIncomplete) {
      EXPECT_EQ(PhoneErrorMessage(n), c.Message) << c.Answer;
    }
  }
  TPhoneErrorNumber n = ReadPhoneErrorNumber("\r\n+CME ERROR: 265\r\n", 0, false);
  EXPECT_EQ(PhoneErrorMessage(n),
            "+CME ERROR 265: UPPB not ready.\r\n\r\nPlease wait while processing data.");
}

TEST(PhoneErrors, TableHoldsItsNumbersInOrderAndNothingElse) {
  int previous = -1;
  for (const TPhoneError& e : PhoneErrors) {
    EXPECT_GT(e.Number, previous);
    EXPECT_FALSE(e.Text.empty());
    previous = e.Number;
  }
  EXPECT_EQ(PhoneErrors[0].Text, "Phone failure");
  EXPECT_EQ(PhoneErrors[64].Number, 277);
  EXPECT_EQ(PhoneErrorText(113), "Roaming not allowed in this location area");
  EXPECT_EQ(PhoneErrorText(256), "Not enough memory");
  for (int none : {8, 9, 19, 28, 29, 33, 39, 48, 99, 101, 102, 104, 105, 108, 110, 114, 255, 278, 999, -1})
    EXPECT_TRUE(PhoneErrorText(none).empty()) << none;
  int withFullStop = 0;
  for (const TPhoneError& e : PhoneErrors) withFullStop += e.Text.back() == '.';
  EXPECT_EQ(withFullStop, 1);
}

TEST(AtAnswer, LogRendering) {
  EXPECT_EQ(RenderLogLine(std::string("a\0b", 3)), "a(0)b");
  EXPECT_EQ(RenderLogLine("AT+CGSN\r\n"), "AT+CGSN\r\n");
  EXPECT_EQ(RenderLogLine("\x1b\x1f \x7f\xe9"), "(27)(31) \x7f\xe9");
  EXPECT_EQ(RenderLogLine(""), "");
}

TEST(PhoneCommands, TextsEndInCrLf) {
  for (std::string_view c : {cmdIdentify, cmdDataModeQuery, cmdDataModeOn, cmdDataModeOff})
    EXPECT_TRUE(c.ends_with("\r\n")) << c;
  EXPECT_EQ(ListCommand(etRingTones), "AT+C#SLST=9\r\n");
  EXPECT_EQ(GetCommand(etContacts, 123), "AT+C#SGET=0,123\r\n");
  EXPECT_EQ(PutCommand(etGroups, 77), "AT+C#SPUT=1,77\r\n");
}

}  // namespace
