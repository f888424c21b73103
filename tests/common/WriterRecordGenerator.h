#pragma once
// Random entry records of the kind the parser can produce, for the round-trip property:
// texts of any byte but NUL, CR and LF, with "=", "\", ";" and the escape sequences
// written literally, at the end of a field too; line breaks (CR LF pairs) only where
// decoding makes them (notes, descriptions, address components); ";" in an address only
// in the country (the reader cuts the others there); valid whole-day dates or 0,
// whole-second times, every repeat kind, the content identifiers the reader keeps.

#include <climits>
#include <cstdint>
#include <ostream>
#include <random>
#include <string>

#include "DateNumber.h"
#include "Entries.h"

class TRecordGenerator {
 public:
  explicit TRecordGenerator(std::uint32_t seed) : rng_(seed) {}

  enum class TTextKind { Line, WithLineBreaks, AddressPart, Country };

  std::string Text(TTextKind kind, int maxPieces = 24) {
    if (Chance(4)) return {};
    static const char* const kTokens[] = {
        "=",      "\\",       ";",   ":",     ",",   " ",         "\t",       "=0D=0A",
        "=0d=0a", "=3D",      "=3d", "=3",    "=0D", "=0D=",      "\\\\",     "==",
        "=\\",    "\\=",      "<Error>",    "BEGIN:VCARD", "END:VCARD", "END:VEVENT", "#0"};
    std::string s;
    const int pieces = Uniform(1, maxPieces);
    for (int i = 0; i < pieces; ++i) {
      switch (Uniform(0, 9)) {
        case 0:
        case 1:
          s += kTokens[Uniform(0, static_cast<int>(std::size(kTokens)) - 1)];
          break;
        case 2:
          if (kind == TTextKind::WithLineBreaks || kind == TTextKind::AddressPart ||
              kind == TTextKind::Country)
            s += "\r\n";
          break;
        case 3:
          s += std::string(static_cast<std::size_t>(Uniform(60, 90)), Letter());
          break;
        case 4:  // any byte the reader can hand on: not NUL, CR or LF
          s += AnyByte();
          break;
        case 5:  // ISO-8859-1 letters
          s += static_cast<char>(Uniform(0xC0, 0xFF));
          break;
        default:
          s += Letter();
          break;
      }
    }
    if (Chance(8)) s += Chance(2) ? "=" : "\\";
    if (Chance(16)) s += "\r\n";
    if (kind == TTextKind::AddressPart) Erase(s, ';');
    if (kind == TTextKind::Line) {
      Erase(s, '\r');
      Erase(s, '\n');
    }
    return s;
  }

  std::int32_t Integer() {
    switch (Uniform(0, 5)) {
      case 0: return -1;
      case 1: return Chance(2) ? INT_MIN : INT_MAX;
      case 2: return Uniform(0, 500);
      default: return static_cast<std::int32_t>(rng_());
    }
  }

  TDateTime DateOrZero() {
    if (Chance(4)) return 0;
    const int y = Chance(3) ? Uniform(1, 9999) : Uniform(1899, 2040);
    const int m = Uniform(1, 12);
    const int d = Uniform(1, DaysInMonth(y, m));
    TDateTime v = 0;
    TryEncodeDate(y, m, d, v);
    return v;
  }

  TDateTime TimeOrZero() {
    if (Chance(4)) return 0;
    TDateTime v = 0;
    TryEncodeTime(Uniform(0, 23), Uniform(0, 59), Uniform(0, 59), v);
    return v;
  }

  TGroup Group() {
    TGroup g;
    g.UID = -1;
    g.NewGroupID = -1;
    g.Name = Text(TTextKind::Line);
    g.GroupID = Integer();
    g.GroupSoundID = Integer();
    g.GroupNofEntries = Integer();
    g.NPIHome = Integer();
    g.NPIWork = Integer();
    g.NPICell = Integer();
    g.NPIFax = Integer();
    g.NPIModem = Integer();
    return g;
  }

  TContact Contact() {
    TContact c;
    c.UID = -1;
    c.NewGroupID = -1;
    c.Name = Text(TTextKind::Line);
    c.TelHome = Text(TTextKind::Line, 3);
    c.TelWork = Text(TTextKind::Line, 3);
    c.TelCell = Text(TTextKind::Line, 3);
    c.TelFax = Text(TTextKind::Line, 3);
    c.TelModem = Text(TTextKind::Line, 3);
    c.EMail = Text(TTextKind::Line, 4);
    c.Street = Text(TTextKind::AddressPart);
    c.City = Text(TTextKind::AddressPart);
    c.Region = Text(TTextKind::AddressPart);
    c.PostalCode = Text(TTextKind::AddressPart);
    c.Country = Text(TTextKind::Country);
    c.Birthday = DateOrZero();
    c.Note = Text(TTextKind::WithLineBreaks, 40);
    c.GroupID = Integer();
    c.GroupSoundID = Integer();
    c.GroupNofEntries = Integer();
    c.NPIHome = Integer();
    c.NPIWork = Integer();
    c.NPICell = Integer();
    c.NPIFax = Integer();
    c.NPIModem = Integer();
    return c;
  }

  TEvent Event() {
    TEvent e;
    e.UID = -1;
    e.StartDate = DateOrZero();
    e.StartTime = TimeOrZero();
    e.EndDate = DateOrZero();
    e.EndTime = TimeOrZero();
    e.RepeatKind = Uniform(rkNone, rkYearly);
    e.RepeatUntil = Chance(2) ? RepeatForever : DateOrZero();
    e.AlarmDate = DateOrZero();
    e.AlarmTime = TimeOrZero();
    switch (Uniform(0, 3)) {
      case 0: e.AlarmContentID = 0; break;
      case 1: e.AlarmContentID = -1; break;
      case 2: e.AlarmContentID = 400; break;
      default: e.AlarmContentID = Uniform(400, INT_MAX); break;
    }
    e.Description = Text(TTextKind::WithLineBreaks, 40);
    e.PBID = Integer();
    e.MemoID = Integer();
    return e;
  }

  TRingTone RingTone() {
    TRingTone r;
    r.UID = Integer();
    r.Name = Text(TTextKind::Line, 4);
    if (Chance(2)) {  // the phone's form: n,a1,b1,...
      const int n = Uniform(0, 60);
      r.Data = std::to_string(n) + ",";
      for (int k = 0; k < n; ++k) {
        if (k > 0) r.Data += ',';
        r.Data += std::to_string(Uniform(0, 65535));
        r.Data += ',';
        r.Data += std::to_string(Uniform(0, 65535));
      }
    } else {  // whatever a file held
      r.Data = Text(TTextKind::Line, 40);
    }
    return r;
  }

 private:
  std::mt19937 rng_;

  int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool Chance(int oneIn) { return Uniform(1, oneIn) == 1; }
  char Letter() {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    return kLetters[Uniform(0, static_cast<int>(sizeof kLetters) - 2)];
  }
  char AnyByte() {
    int b;
    do b = Uniform(1, 255);
    while (b == '\r' || b == '\n');
    return static_cast<char>(b);
  }
  static void Erase(std::string& s, char c) { std::erase(s, c); }
};

// Readable failure messages: every byte outside printable ASCII as \xNN.
inline std::string Escaped(const std::string& s) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out + "\"";
}

inline void PrintTo(const TGroup& g, std::ostream* os) {
  *os << "TGroup{UID " << g.UID << ", Name " << Escaped(g.Name) << ", GroupID " << g.GroupID
      << ", NewGroupID " << g.NewGroupID << ", SoundID " << g.GroupSoundID << ", Nof "
      << g.GroupNofEntries << ", NPI " << g.NPIHome << "/" << g.NPIWork << "/" << g.NPICell << "/"
      << g.NPIFax << "/" << g.NPIModem << "}";
}

inline void PrintTo(const TContact& c, std::ostream* os) {
  *os << "TContact{UID " << c.UID << ", Name " << Escaped(c.Name) << ", Tel "
      << Escaped(c.TelHome) << "/" << Escaped(c.TelWork) << "/" << Escaped(c.TelCell) << "/"
      << Escaped(c.TelFax) << "/" << Escaped(c.TelModem) << ", EMail " << Escaped(c.EMail)
      << ", Street " << Escaped(c.Street) << ", City " << Escaped(c.City) << ", Region "
      << Escaped(c.Region) << ", PostalCode " << Escaped(c.PostalCode) << ", Country "
      << Escaped(c.Country) << ", Birthday " << c.Birthday << ", Note " << Escaped(c.Note)
      << ", GroupID " << c.GroupID << ", NewGroupID " << c.NewGroupID << ", SoundID "
      << c.GroupSoundID << ", Nof " << c.GroupNofEntries << ", NPI " << c.NPIHome << "/"
      << c.NPIWork << "/" << c.NPICell << "/" << c.NPIFax << "/" << c.NPIModem << "}";
}

inline void PrintTo(const TEvent& e, std::ostream* os) {
  os->precision(17);
  *os << "TEvent{UID " << e.UID << ", Start " << e.StartDate << "+" << e.StartTime << ", End "
      << e.EndDate << "+" << e.EndTime << ", Repeat " << e.RepeatKind << " until "
      << e.RepeatUntil << ", Alarm " << e.AlarmDate << "+" << e.AlarmTime << " id "
      << e.AlarmContentID << ", Description " << Escaped(e.Description) << ", PBID " << e.PBID
      << ", MemoID " << e.MemoID << "}";
}

inline void PrintTo(const TRingTone& r, std::ostream* os) {
  *os << "TRingTone{UID " << r.UID << ", Name " << Escaped(r.Name) << ", Data "
      << Escaped(r.Data) << "}";
}
