#pragma once
// The benchmark phone and the protocol floor that the read and restore benchmarks share
// (the window's, bench_readrestore, and the command line's, bench_cli): 20 groups, 200
// contacts, 50 events and 5 custom ring tones, as a well-used phone holds them, on a
// simulated phone that sends at 115200 bps, 10 bits a byte.
//
// The floor of an operation: every exchange the phone saw lasts at least 100 ms by
// design, plus the bytes both ways at 115200 bps, counted from the simulator's line log.
// Needs nothing of the tests.

#include <cstddef>
#include <string>

#include "PhoneSimulator.h"

inline constexpr int BenchGroups = 20, BenchContacts = 200, BenchEvents = 50, BenchRingTones = 5;
inline constexpr double BenchBaud = 115200;
inline constexpr double BenchBitsPerByte = 10;
inline constexpr double BenchWaitSeconds = 0.1;  // the exchange's sleep before every look

// The phone's entries, written with the program's own writers so that the phone stores
// what the program would send it.
TSimContent BenchmarkPhone();

// Bytes each way in a simulator's line log from the given line on ("... in  N ...",
// "... out N ...").
struct TLineBytes {
  long long In = 0;   // program -> phone
  long long Out = 0;  // phone -> program
  std::size_t Lines = 0;
};
TLineBytes CountLineBytes(const std::string& path, std::size_t fromLine);

// The floor in seconds; with phoneOnly, of the phone's bytes alone (a pseudo-terminal
// takes the program's bytes at once).
double ProtocolFloor(std::size_t exchanges, const TLineBytes& bytes, bool phoneOnly = false);
