// s40sim: serves a simulated Siemens S40 on a new pseudo-terminal until SIGINT or
// SIGTERM. Prints the line's path; see --help.

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "PhoneSimulator.h"

namespace {

constexpr const char* Help = R"(Usage: s40sim [options]
Serves a simulated Siemens S40 mobile phone on a new pseudo-terminal and prints the
path of its line (e.g. /dev/pts/5). Open that path as the phone's serial port, or link
a port name to it: ln -s /dev/pts/5 ~/.config/zarvo/ports/COM4. Runs until SIGINT
(Ctrl+C) or SIGTERM.

The phone's content (one of; --sample is the default):
  --sample             a sample phone: groups, contacts, events, custom ring tones
  --empty              no entries, the 42 factory ring tones only
  --from FILE.zrv      the entries of a backup file

Output:
  --print-path FILE    write the line's path to FILE once serving (also on stdout)
  --link PATH          keep a symbolic link at PATH pointing at the line
  --dump FILE.zrv      write the phone's content as a backup file on exit and on SIGUSR1
  --log FILE           log every byte in and out with timestamps

Behaviour:
  --baud N             pace the phone's output at N bits per second (default: no pacing)
  --delay MS           the phone's thinking time before each answer (default 0)
  --listing-piece N    entries per listing piece (default 32)
  --identity TEXT      the answer to AT+CGSN (default 350077801234563, a Siemens S40)
  --factory-ring-tones N   list only N of the 42 factory ring tones
  --split-every-byte   send every answer one byte at a time
  --fold-result-codes  serve entries holding lines "OK", "ERROR", "+CME ERROR: 3", ">"
                       (notes, descriptions and addresses folded so, ring tone records
                       filled so where unused), each such line ending a piece
  --unsolicited TEXT   follow every answer with CR LF TEXT CR LF, in its piece and in one
                       of its own ("\n" in TEXT is a line break: RING\n\n+CIEV: 2,3)
  --pause-after LINE,MS  stop for MS ms after the first line LINE of each fetch answer
                       (OK,700 with --fold-result-codes: inside a folded note)
  --leave-out LINE     serve fetched entries without their line LINE (END:VCARD)
  --cut-names N        store only the first N characters of the names of contacts,
                       groups and ring tones, as phones with short fields do
  --help               this text

By hand: the phone echoes what it is sent and takes commands ending in CR (or LF):
AT, ATE0/ATE1, AT+CGSN, AT+C#SMDE?, AT+C#SMDE=1, AT+C#SLST=<type>,
AT+C#SGET=<type>,<id>, AT+C#SPUT=<type>,<bytes> (types 0 contacts, 1 groups, 2 events,
9 ring tones). Listing, fetching and storing need data mode (AT+C#SMDE=1).
)";

int Fail(const std::string& text) {
  std::cerr << "s40sim: " << text << "\n(s40sim --help explains the options)\n";
  return 2;
}

std::optional<int> Number(const char* text) {
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (!*text || *end || value < 0 || value > 100000000) return std::nullopt;
  return int(value);
}

}  // namespace

int main(int argc, char** argv) {
  std::string source = "--sample", fromPath, printPath, dumpPath, identity;
  std::optional<int> factory;
  bool splitEveryByte = false, foldResultCodes = false;
  std::string unsolicited;
  std::vector<TFault> fetchFaults;
  int cutNames = 0;
  TSimOptions options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    auto number = [&](int& target) {
      const char* text = value();
      auto parsed = text ? Number(text) : std::nullopt;
      if (parsed) target = *parsed;
      return parsed.has_value();
    };
    const char* text = nullptr;
    if (arg == "--help" || arg == "-h") {
      std::cout << Help;
      return 0;
    } else if (arg == "--sample" || arg == "--empty") {
      source = arg;
    } else if (arg == "--from" && (text = value())) {
      source = arg;
      fromPath = text;
    } else if (arg == "--print-path" && (text = value())) {
      printPath = text;
    } else if (arg == "--link" && (text = value())) {
      options.LinkPath = text;
    } else if (arg == "--dump" && (text = value())) {
      dumpPath = text;
    } else if (arg == "--log" && (text = value())) {
      options.LogPath = text;
    } else if (arg == "--identity" && (text = value())) {
      identity = text;
    } else if (arg == "--baud") {
      if (!number(options.BaudRate)) return Fail("--baud needs a number of bits per second");
    } else if (arg == "--delay") {
      if (!number(options.AnswerDelayMs)) return Fail("--delay needs a number of milliseconds");
    } else if (arg == "--listing-piece") {
      if (!number(options.ListingPieceEntries) || options.ListingPieceEntries < 1)
        return Fail("--listing-piece needs a number of entries, 1 or more");
    } else if (arg == "--factory-ring-tones") {
      int count = 0;
      if (!number(count) || count > SimFactoryRingToneCount) return Fail("--factory-ring-tones needs 0 to 42");
      factory = count;
    } else if (arg == "--split-every-byte") {
      splitEveryByte = true;
    } else if (arg == "--fold-result-codes") {
      foldResultCodes = true;
    } else if (arg == "--unsolicited" && (text = value())) {
      unsolicited = text;
      for (std::size_t at; (at = unsolicited.find("\\n")) != std::string::npos;) unsolicited.replace(at, 2, "\r\n");
    } else if (arg == "--pause-after" && (text = value())) {
      const std::string pause = text;
      const std::size_t comma = pause.rfind(',');
      const auto ms = comma == std::string::npos ? std::nullopt : Number(pause.c_str() + comma + 1);
      if (!ms || comma == 0) return Fail("--pause-after needs LINE,MS");
      fetchFaults.push_back(TFault::PauseAfterLine(pause.substr(0, comma), *ms).On("AT+C#SGET="));
    } else if (arg == "--leave-out" && (text = value())) {
      fetchFaults.push_back(TFault::LeaveOutLine(text).On("AT+C#SGET="));
    } else if (arg == "--cut-names") {
      if (!number(cutNames) || cutNames < 1) return Fail("--cut-names needs a number of characters, 1 or more");
    } else {
      return Fail("unknown option or missing value: " + arg);
    }
  }

  // The signals are taken by sigwait below, in this thread only.
  sigset_t signals;
  sigemptyset(&signals);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGUSR1}) sigaddset(&signals, s);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  try {
    TSimContent content = source == "--empty"  ? TSimContent::Empty()
                          : source == "--from" ? TSimContent::FromBackupFile(fromPath)
                                               : TSimContent::Sample();
    TPhoneSimulator sim(std::move(content), options);
    if (!identity.empty()) sim.Faults().SetIdentity(identity);
    if (factory) sim.Faults().FactoryRingTones = *factory;
    sim.Faults().SplitEveryByte = splitEveryByte;
    sim.Faults().FoldResultCodes = foldResultCodes;
    sim.Faults().SetUnsolicited(unsolicited);
    for (TFault& fault : fetchFaults) sim.Faults().Add(std::move(fault));
    sim.Faults().CutNamesTo = cutNames;

    std::string path = sim.SlavePath();
    if (!printPath.empty()) {
      // Written whole and renamed, so a script that waits for the file reads all of it.
      std::string temporary = printPath + ".part";
      std::ofstream(temporary) << path << "\n";
      if (std::rename(temporary.c_str(), printPath.c_str()) != 0)
        return Fail("cannot write " + printPath + ": " + std::strerror(errno));
    }
    std::cout << path << std::endl;

    for (;;) {
      int received = 0;
      if (sigwait(&signals, &received) != 0) continue;
      if (received == SIGUSR1) {
        if (!dumpPath.empty()) sim.WriteBackupFile(dumpPath);
        continue;
      }
      break;
    }
    if (!dumpPath.empty()) sim.WriteBackupFile(dumpPath);
  } catch (const std::exception& error) {
    return Fail(error.what());
  }
  return 0;
}
