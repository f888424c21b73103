#include "Latin1Fold.h"

#include <QChar>
#include <QList>
#include <array>
#include <string_view>
#include <vector>

#include "AppException.h"

namespace {

constexpr int kMaxExamples = 5;

// Letters that no decomposition brings into ISO-8859-1, and typographic punctuation.
struct TFoldEntry {
  char32_t From;
  std::string_view To;  // ISO-8859-1
};
constexpr std::array<TFoldEntry, 42> kFoldTable{{
    {U'ł', "l"},  {U'Ł', "L"},  {U'đ', "d"},   {U'Đ', "D"},  {U'ħ', "h"},  {U'Ħ', "H"},
    {U'ı', "i"},  {U'œ', "oe"}, {U'Œ', "OE"},  {U'ŀ', "l"},  {U'Ŀ', "L"},  {U'ŧ', "t"},
    {U'Ŧ', "T"},  {U'ĸ', "k"},  {U'ŋ', "n"},   {U'Ŋ', "N"},  {U'ƒ', "f"},  {U'ə', "e"},
    {U'Ə', "E"},  {U'ẞ', "SS"}, {U'‘', "'"},   {U'’', "'"},  {U'‚', "'"},  {U'‛', "'"},
    {U'′', "'"},  {U'“', "\""}, {U'”', "\""},  {U'„', "\""}, {U'‟', "\""}, {U'″', "\""},
    {U'‐', "-"},  {U'‑', "-"},  {U'‒', "-"},   {U'–', "-"},  {U'—', "-"},  {U'―', "-"},
    {U'−', "-"},  {U'‹', "<"},  {U'›', ">"},   {U'•', "\xB7"}, {U'€', "EUR"}, {U'…', "..."},
}};

bool IsInvisible(char32_t c) {
  return (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x2064) ||
         (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
}

bool IsControl(char32_t c) { return (c < 0x20 && c != '\t' && c != '\r' && c != '\n') || (c >= 0x7F && c <= 0x9F); }

bool IsMark(char32_t c) {
  const QChar::Category cat = QChar::category(c);
  return cat == QChar::Mark_NonSpacing || cat == QChar::Mark_SpacingCombining || cat == QChar::Mark_Enclosing;
}

std::vector<char32_t> CodePoints(const QString& s) {
  std::vector<char32_t> out;
  for (char32_t c : s.toUcs4()) out.push_back(c);
  return out;
}

// The decomposition of c with its marks put back on each base letter while the result
// stays in ISO-8859-1; empty when a base letter lies outside it.
std::string Recomposed(char32_t c, QString::NormalizationForm form) {
  const std::vector<char32_t> parts = CodePoints(QString::fromUcs4(&c, 1).normalized(form));
  std::string out;
  char32_t base = 0;
  bool haveBase = false;
  const auto flush = [&] {
    if (haveBase) out += static_cast<char>(base);
    haveBase = false;
  };
  for (char32_t p : parts) {
    if (IsMark(p)) {
      if (!haveBase) continue;
      const char32_t pair[2] = {base, p};
      const std::vector<char32_t> composed =
          CodePoints(QString::fromUcs4(pair, 2).normalized(QString::NormalizationForm_C));
      if (composed.size() == 1 && composed[0] < 0x100) base = composed[0];
      continue;
    }
    flush();
    if (p >= 0x100 || IsControl(p)) return {};
    base = p;
    haveBase = true;
  }
  flush();
  return out;
}

std::string NearestForm(char32_t c) {
  for (const TFoldEntry& e : kFoldTable)
    if (e.From == c) return std::string(e.To);
  std::string near = Recomposed(c, QString::NormalizationForm_D);
  if (near.empty()) near = Recomposed(c, QString::NormalizationForm_KD);
  return near;
}

void AddExample(TFoldReport& report, char32_t from, const std::string& to) {
  std::string example = QString::fromUcs4(&from, 1).toStdString() + "\u2192" + Latin1ToUtf8(to);
  if (report.Listed >= kMaxExamples || report.Examples.find(example) != std::string::npos) return;
  if (!report.Examples.empty()) report.Examples += ", ";
  report.Examples += example;
  ++report.Listed;
}

}  // namespace

std::string FoldToLatin1(const QString& text, TFoldReport* report) {
  std::string out;
  out.reserve(static_cast<std::size_t>(text.size()));
  TFoldReport ignored;
  TFoldReport& r = report ? *report : ignored;
  for (char32_t c : text.toUcs4()) {
    if (IsControl(c) || IsInvisible(c)) {
      ++r.Dropped;
      continue;
    }
    if (c < 0x100) {
      out += static_cast<char>(c);
      continue;
    }
    std::string near = NearestForm(c);
    if (near.empty()) {
      near.push_back('?');
      ++r.Unknown;
    } else {
      ++r.Replaced;
    }
    if (report) AddExample(r, c, near);
    out += near;
  }
  return out;
}
