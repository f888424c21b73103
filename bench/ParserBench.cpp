// Speed of the vObject parser on two generated backup files, one of 5,000 entries and one
// of 10 MB, written by the writers as Save writes them. Prints MB/s, entries/s and the
// cost per log line with a log sink that keeps every line, the same with a sink that
// drops them, and, when libicalvcal is there, the time libical's vCard/vCalendar parser
// takes for the same text fed one object at a time. Each figure is the best of a few runs.
//
//   bench_parser [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "Entries.h"
#include "VObjectParser.h"
#include "VObjectWriter.h"

#ifdef ZARVO_HAVE_ICALVCAL
#include <libical/vcc.h>
#include <libical/vobject.h>
#endif

namespace {

using TClock = std::chrono::steady_clock;

struct TBackup {
  std::string Text;
  TLines Lines;
  std::size_t Entries = 0;
};

class TMaker {
 public:
  explicit TMaker(unsigned seed) : rng_(seed) {}
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
  std::string Word(int low, int high) {
    std::string w;
    const int n = Between(low, high);
    for (int k = 0; k < n; ++k) w += static_cast<char>(Between(0, 5) == 0 ? ' ' : 'a' + Between(0, 25));
    return w;
  }
  std::string Phone() { return "+49 " + std::to_string(Between(100, 999)) + " " + std::to_string(Between(100000, 9999999)); }
  TDateTime Day() { return Between(30000, 50000); }
  TDateTime Time() { return Between(0, 86399) / 86400.0; }

 private:
  std::mt19937 rng_;
};

// True when folding the escaped text into lines of FoldWidth cuts through a "=3D" or a
// "=0D=0A". The parser joins before it decodes and reads such a note whole, but
// libical's quoted-printable reader runs away on it, so the notes of the comparison
// avoid it.
bool FoldSplitsEscape(const std::string& text) {
  std::size_t at = 0;  // position in the escaped text
  for (std::size_t k = 0; k < text.size(); ++k) {
    std::size_t width = 1;
    if (text[k] == '=') {
      width = 3;
    } else if (text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n') {
      width = 6;
      ++k;
    }
    if (width > 1 && (at + width - 1) / FoldWidth != at / FoldWidth) return true;
    at += width;
  }
  return false;
}

void Append(TBackup& b, const TLines& lines) {
  for (const std::string& line : lines) {
    b.Text += line;
    b.Text += "\r\n";
  }
}

// Groups, contacts, events and ring tones in the proportions of a well-used phone, in
// the order Save writes them, until there are `entries` of them or the text reaches
// `bytes`.
TBackup MakeBackup(std::size_t entries, std::size_t bytes) {
  TMaker m(42);
  std::vector<TGroup> groups;
  std::vector<TContact> contacts;
  std::vector<TEvent> events;
  std::vector<TRingTone> tones;
  std::size_t written = 0;  // bytes of the file so far, counted from the writers' lines
  TLines scratch;
  const auto measure = [&written](const TLines& lines) {
    for (const std::string& line : lines) written += line.size() + 2;
  };
  for (std::size_t k = 0; k < entries && written < bytes; ++k) {
    const int pick = m.Between(0, 99);
    if (pick < 3) {
      TGroup g;
      g.Name = m.Word(3, 12);
      g.GroupID = m.Between(0, 9);
      groups.push_back(g);
      measure(GroupToVCard(g, scratch));
    } else if (pick < 73) {
      TContact c;
      c.Name = m.Word(3, 10) + ";" + m.Word(3, 10);
      c.TelCell = m.Phone();
      if (m.Between(0, 1)) c.TelHome = m.Phone();
      if (m.Between(0, 2) == 0) c.TelWork = m.Phone();
      if (m.Between(0, 2) == 0) c.EMail = m.Word(4, 10) + "@example.org";
      if (m.Between(0, 3) == 0) {
        c.Street = m.Word(5, 20) + " " + std::to_string(m.Between(1, 200));
        c.City = m.Word(4, 12);
        c.PostalCode = std::to_string(m.Between(10000, 99999));
        c.Country = m.Word(4, 10);
      }
      if (m.Between(0, 3) == 0) c.Birthday = m.Day();
      if (m.Between(0, 3) == 0) {
        do {
          c.Note = m.Word(10, 200) + "\r\n" + m.Word(0, 60) + " = " + m.Word(0, 20);
        } while (FoldSplitsEscape(c.Note));
      }
      c.GroupID = m.Between(-1, 9);
      contacts.push_back(c);
      measure(ContactToVCard(c, scratch));
    } else if (pick < 97) {
      TEvent e;
      e.StartDate = m.Day();
      e.StartTime = m.Time();
      e.EndDate = e.StartDate;
      e.EndTime = e.StartTime;
      e.RepeatKind = m.Between(0, 4);
      e.RepeatUntil = m.Between(0, 1) ? RepeatForever : e.StartDate + 365;
      e.AlarmDate = e.StartDate;
      e.AlarmTime = e.StartTime;
      e.AlarmContentID = 402;
      e.Description = m.Word(5, 150);
      events.push_back(e);
      measure(EventToVEvent(e, scratch));
    } else {
      TRingTone t;
      t.UID = m.Between(100, 999);
      t.Name = m.Word(3, 21);
      const int pairs = m.Between(5, 60);
      t.Data = std::to_string(pairs) + ",";
      for (int p = 0; p < 2 * pairs; ++p) t.Data += std::to_string(m.Between(0, 65535)) + (p + 1 < 2 * pairs ? "," : "");
      tones.push_back(t);
      measure(RingToneToVCard(t, scratch));
    }
  }
  TBackup b;
  b.Text = "// ZARVO\r\n// S40 phone backup\r\n// This is a generated backup file. Do not edit!\r\n";
  TLines lines;
  for (const auto& g : groups) Append(b, GroupToVCard(g, lines));
  for (const auto& c : contacts) Append(b, ContactToVCard(c, lines));
  if (!events.empty()) {
    b.Text += "\r\nBEGIN:VCALENDAR\r\nVERSION:1.0\r\n";
    for (const auto& e : events) Append(b, EventToVEvent(e, lines));
    b.Text += "END:VCALENDAR\r\n";
  }
  for (const auto& t : tones) Append(b, RingToneToVCard(t, lines));
  b.Entries = groups.size() + contacts.size() + events.size() + tones.size();

  // The lines as a file load makes them.
  std::string line;
  for (std::size_t k = 0; k < b.Text.size(); ++k) {
    if (b.Text[k] == '\r' && k + 1 < b.Text.size() && b.Text[k + 1] == '\n') {
      b.Lines.push_back(line);
      line.clear();
      ++k;
    } else {
      line += b.Text[k];
    }
  }
  return b;
}

template <typename TRun>
double BestSeconds(int runs, TRun run) {
  double best = 1e300;
  for (int k = 0; k < runs; ++k) {
    const auto start = TClock::now();
    run();
    best = std::min(best, std::chrono::duration<double>(TClock::now() - start).count());
  }
  return best;
}

#ifdef ZARVO_HAVE_ICALVCAL
void QuietMimeErrors(char*) {}

// The top-level objects of the text, each from its "BEGIN:VCARD" or "BEGIN:VCALENDAR"
// line through the matching "END:" line.
std::vector<std::string> SplitObjects(const std::string& text) {
  std::vector<std::string> objects;
  std::size_t at = 0;
  while (true) {
    const std::size_t card = text.find("BEGIN:VCARD", at);
    const std::size_t cal = text.find("BEGIN:VCALENDAR", at);
    const std::size_t begin = std::min(card, cal);
    if (begin == std::string::npos) break;
    const char* end = begin == card ? "END:VCARD\r\n" : "END:VCALENDAR\r\n";
    const std::size_t stop = text.find(end, begin);
    if (stop == std::string::npos) break;
    const std::size_t past = stop + std::char_traits<char>::length(end);
    objects.push_back(text.substr(begin, past - begin));
    at = past;
  }
  return objects;
}
#endif

void Measure(const char* title, const TBackup& b, int runs) {
  const double mb = static_cast<double>(b.Text.size()) / 1e6;
  std::vector<TvObject> vObjects;
  std::vector<std::string> kept;
  std::size_t dropped = 0;
  const TParserLog keep = [&kept](const std::string& text) { kept.push_back(text); };
  const TParserLog drop = [&dropped](const std::string& text) { dropped += text.size(); };

  const double keepSeconds = BestSeconds(runs, [&] {
    kept.clear();
    kept.shrink_to_fit();  // every run builds its log from nothing, as the log pane would
    ParseVObjects(b.Lines, vObjects, keep);
  });
  const double dropSeconds = BestSeconds(runs, [&] { ParseVObjects(b.Lines, vObjects, drop); });
  if (vObjects.size() != b.Entries) {
    std::fprintf(stderr, "parsed %zu records of %zu entries\n", vObjects.size(), b.Entries);
    std::exit(1);
  }

  std::printf("%s: %.2f MB, %zu lines, %zu entries, %zu log lines\n", title, mb, b.Lines.size(), b.Entries,
              kept.size());
  std::printf("  ZARVO, log kept:     %8.1f ms  %7.1f MB/s  %9.0f entries/s  %6.1f ns per log line\n",
              keepSeconds * 1e3, mb / keepSeconds, static_cast<double>(b.Entries) / keepSeconds,
              keepSeconds * 1e9 / static_cast<double>(kept.size()));
  std::printf("  ZARVO, log dropped:  %8.1f ms  %7.1f MB/s  %9.0f entries/s  (keeping costs %.1f ns per line)\n",
              dropSeconds * 1e3, mb / dropSeconds, static_cast<double>(b.Entries) / dropSeconds,
              (keepSeconds - dropSeconds) * 1e9 / static_cast<double>(kept.size()));

#ifdef ZARVO_HAVE_ICALVCAL
  registerMimeErrorHandler(QuietMimeErrors);
  const std::vector<std::string> objects = SplitObjects(b.Text);
  std::size_t parsed = 0;
  const double icalSeconds = BestSeconds(runs, [&] {
    parsed = 0;
    for (const std::string& o : objects) {
      VObject* v = Parse_MIME(o.data(), static_cast<unsigned long>(o.size()));
      if (v != nullptr) {
        ++parsed;
        cleanVObjects(v);
      }
    }
  });
  std::printf("  libical, by object:  %8.1f ms  %7.1f MB/s  (%zu of %zu objects parsed)  ZARVO is %.1fx as fast\n",
              icalSeconds * 1e3, mb / icalSeconds, parsed, objects.size(), icalSeconds / keepSeconds);
#else
  std::printf("  libical: not built in (libicalvcal missing)\n");
#endif
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  Measure("5,000 entries", MakeBackup(5000, SIZE_MAX), runs);
  Measure("10 MB", MakeBackup(SIZE_MAX, 10'000'000), runs);
  return 0;
}
