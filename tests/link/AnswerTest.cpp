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
      {"\r\nline\r\nOK\r\nRING", "line\r\nOK\r\nRING"},  // not at the end: the answer's own
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

// A fetched entry holding lines that read as result codes is data: the answer ends only
// at the result after the entry's own end, however the pieces fall, with or without the
// echo. An entry whose end never comes is complete once the answer ends in "OK" and is
// then taken as the cleaning always took it.
TEST(AtAnswer, FetchedEntriesEndWhereTheirFramingSays) {
  // Bytes 0 to 3 and the name's bytes after its end are not examined by the read.
  std::string record = "OK\r\n" "\r\nERROR\r\n\r\n+CME ERROR: 3\r\n\r\n>";
  record.resize(46, '\0');
  record += "\x01\x04" "\r\nOK\r\n\r\nERROR\r\n";  // n = 4: four pairs of bytes
  record += '\0';
  struct {
    const char* Name;
    const char* Command;
    std::string Entry;
    bool Framed;
  } cases[] = {
      {"contact", "AT+C#SGET=0,5\r\n",
       "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;Jo\r\nADR;CHARSET=ISO-8859-1:;;1 Main St\\\r\nERROR\r\n"
       "NOTE;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:=\r\n+CME ERROR: 3=\r\n>=\r\n all is =\r\nOK\r\n"
       "END:VCARD\r\n",
       true},
      {"values holding END:VCARD", "AT+C#SGET=0,5\r\n",
       "BEGIN:VCARD\r\nNOTE:x=\r\nend:vcard\r\nADR:;;x\\\r\nEND:VCARD\r\nX-ZARVO-RINGTONE-DATA:1,=\r\nEND:VCARD\r\n"
       "N:OK\r\nEnd:VCard",
       true},
      {"group, lone CR and LF, NUL", "AT+C#SGET=1,7\r\n", std::string("BEGIN:VCARD\rNOTE:=\nOK\rEND:VCA\0RD\n", 33), true},
      {"event", "AT+C#SGET=2,9\r\n",
       "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\nDESCRIPTION;ENCODING=QUOTED-PRINTABLE:=\r\n"
       "ERROR=\r\n+CME ERROR: 3=\r\n>=\r\nEND:VCALENDAR\r\nEND:VCARD\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n",
       true},
      {"ring tone", "AT+C#SGET=9,3\r\n", record, true},
      {"NUL bytes between CR and LF", "AT+C#SGET=0,5\r\n",
       std::string("BEGIN:VCARD\r\nNOTE:=\r\0\0\nEND:VCARD\r\nOK\r\nEND:VCARD\r\n", 49), true},
      {"cut value before an intact entry", "AT+C#SGET=0,5\r\n",
       "BEGIN:VCARD\r\nNOTE:cut=\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nNOTE:=\r\nOK\r\nEND:VCARD\r\n", true},
      {"listing data", "AT+C#SLST=1\r\n", "\r\nOK\r\n\r\nRING\r\n\x01\x02\x03\x04", true},
      {"vCard without its end", "AT+C#SGET=0,5\r\n", "BEGIN:VCARD\r\nNOTE:=\r\nOK\r\nN:Doe", false},
      {"short ring tone record", "AT+C#SGET=9,3\r\n", record.substr(0, 60), false},
  };
  for (const auto& c : cases) {
    for (const bool echo : {false, true}) {
      SCOPED_TRACE(std::string(c.Name) + (echo ? ", echoed" : ""));
      const std::string first = std::string(c.Command).starts_with(cmdList)
                                    ? "+C#SLST: 0," + std::to_string(c.Entry.size()) + "\r\n"
                                    : "+C#SGET: " + std::string(c.Command).substr(10, 3) + "\r\n";
      const std::string raw = (echo ? std::string(c.Command) : "") + "\r\n" + first + c.Entry + "\r\nOK\r\n";
      // Fed in two pieces cut at every position, and byte by byte (cut = 0).
      for (std::size_t cut = 0; cut < raw.size(); ++cut) {
        std::string answer;
        TAnswerAssembly state = AssemblyFor(c.Command);
        TPieceOutcome out;
        const auto take = [&](std::size_t from, std::size_t to) {
          EXPECT_FALSE(out.Ends()) << "ended before byte " << from << " at cut " << cut;
          out = TakeAnswerPiece(answer, state, std::string_view(raw).substr(from, to - from), true);
        };
        if (cut == 0) {
          for (std::size_t k = 0; k < raw.size(); ++k) take(k, k + 1);
        } else {
          take(0, cut);
          take(cut, raw.size());
        }
        EXPECT_FALSE(out.Error || out.Prompt || out.PhoneError) << cut;
        EXPECT_EQ(out.Ok, c.Framed) << cut;
        EXPECT_EQ(out.Unframed, !c.Framed) << cut;
        if (out.Unframed) TakeUnframedAnswer(answer, state);
        ASSERT_EQ(answer, CleanAnswer(raw, CommandEcho(c.Command))) << cut;
        if (c.Framed) {
          ASSERT_EQ(answer, first + c.Entry) << cut;
        }
      }
    }
  }
  // Answers that carry no entry end as they always did.
  for (const char* raw : {"\r\nERROR\r\n", "\r\n+CME ERROR: 3\r\n", "\r\nOK\r\n"}) {
    std::string answer;
    TAnswerAssembly state = AssemblyFor("AT+C#SGET=0,5\r\n");
    EXPECT_TRUE(TakeAnswerPiece(answer, state, raw, true).Ends()) << raw;
  }
  EXPECT_EQ(FetchFraming("AT+C#SGET=2,1\r\n"), efVCalendar);
  EXPECT_EQ(FetchFraming("AT+C#SLST=0\r\n"), efNone);
  EXPECT_EQ(FetchFraming("AT+C#SGET=3,1\r\n"), efNone);
}

// Unsolicited result codes wherever they fall outside an entry leave the answer as it
// would be without them; a "+CMT:" takes its message with it, even one that reads "OK".
TEST(AtAnswer, UnsolicitedCodesLeaveTheAnswerAsWithoutThem) {
  const std::string cmt = "\r\n+CMT: \"+4917\",,\"26/01/05\"\r\nOK\r\n";
  struct {
    const char* Command;
    std::string Raw;
    std::string Cleaned;
  } cases[] = {
      {"AT+CGSN\r\n", "\r\nRING\r\nAT+CGSN\r\n\r\n+CMTI: \"SM\",1\r\n\r\n35007780\r\n\r\n+CIEV: 2,3\r\nOK\r\nRING",
       "35007780"},
      {"AT+C#SMDE?\r\n", "AT+C#SMDE?\r\n\r\n+C#SMDE: 1\r\nOK\r\n\r\nRING\r\n", "+C#SMDE: 1"},
      {"AT+C#SMDE=0\r\n", "AT+C#SMDE=0\r\n" + cmt + "\r\nOK\r\n" + cmt, "OK"},
      {"AT+C#SGET=0,5\r\n",
       "AT+C#SGET=0,5\r\n\r\nRING\r\n\r\n+C#SGET: 0,5\r\nNOTE:=\r\nRING\r\nEND:VCARD\r\n\r\n+CBM: 1\r\nOK\r\n\r\nOK\r\n",
       "+C#SGET: 0,5\r\nNOTE:=\r\nRING\r\nEND:VCARD\r\n"},
  };
  for (const auto& c : cases) {
    for (const bool bytewise : {false, true}) {
      SCOPED_TRACE(c.Raw + (bytewise ? ", byte by byte" : ""));
      std::string answer;
      TAnswerAssembly state = AssemblyFor(c.Command);
      bool ok = false;
      for (std::size_t k = 0; k < c.Raw.size(); k = bytewise ? k + 1 : c.Raw.size())
        ok |= TakeAnswerPiece(answer, state, std::string_view(c.Raw).substr(k, bytewise ? 1 : c.Raw.size()), true).Ok;
      EXPECT_TRUE(ok);
      EXPECT_EQ(answer, c.Cleaned);
    }
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
