#include "ImportFit.h"

#include <algorithm>

#include "AppException.h"
#include "DateNumber.h"
#include "ImportTime.h"
#include "VObjectText.h"

namespace {

enum class TCardFit { Name, FormattedName, Org, Tel, Email, Adr, Label, Bday, Note, Categories, NoteLine, Kind, Silent };

struct TCardProperty {
  std::string_view Name;
  TCardFit Fit;
  std::string_view NoteLabel = {};
};

// Every property a card may carry that the phone takes, in part or in the note; the rest
// is left out and counted. Silent ones describe the file, not the person.
constexpr TCardProperty kCardFits[] = {
    {"N", TCardFit::Name},
    {"FN", TCardFit::FormattedName},
    {"ORG", TCardFit::Org, "Organisation"},
    {"TEL", TCardFit::Tel, "Phone"},
    {"EMAIL", TCardFit::Email, "E-mail"},
    {"ADR", TCardFit::Adr, "Address"},
    {"LABEL", TCardFit::Label, "Address"},
    {"BDAY", TCardFit::Bday},
    {"NOTE", TCardFit::Note},
    {"CATEGORIES", TCardFit::Categories},
    {"TITLE", TCardFit::NoteLine, "Title"},
    {"ROLE", TCardFit::NoteLine, "Role"},
    {"NICKNAME", TCardFit::NoteLine, "Nickname"},
    {"URL", TCardFit::NoteLine, "Web"},
    {"IMPP", TCardFit::NoteLine, "Chat"},
    {"ANNIVERSARY", TCardFit::NoteLine, "Anniversary"},
    {"KIND", TCardFit::Kind},
    {"X-ADDRESSBOOKSERVER-KIND", TCardFit::Kind},
    {"VERSION", TCardFit::Silent},
    {"PRODID", TCardFit::Silent},
    {"REV", TCardFit::Silent},
    {"UID", TCardFit::Silent},
    {"SORT-STRING", TCardFit::Silent},
    {"X-ABLABEL", TCardFit::Silent},
    {"CLIENTPIDMAP", TCardFit::Silent},
    {"NAME", TCardFit::Silent},
    {"PROFILE", TCardFit::Silent},
    {"SOURCE", TCardFit::Silent},
};

// The phone's number slots by TEL type, the first type of this order deciding.
struct TTelSlot {
  std::string_view Type;
  std::string TContact::*Field;
  bool Voice;
};
constexpr TTelSlot kTelSlots[] = {
    {"FAX", &TContact::TelFax, false},   {"MODEM", &TContact::TelModem, false}, {"DATA", &TContact::TelModem, false},
    {"CELL", &TContact::TelCell, true},  {"MOBILE", &TContact::TelCell, true},  {"IPHONE", &TContact::TelCell, true},
    {"HOME", &TContact::TelHome, true},  {"WORK", &TContact::TelWork, true},
};
// Where a voice number without a slot of its own goes, the first free one.
constexpr std::string TContact::*kFreeSlots[] = {&TContact::TelCell, &TContact::TelHome, &TContact::TelWork};

struct TNpiOf {
  std::string TContact::*Field;
  std::int32_t TContact::*Npi;
};
constexpr TNpiOf kNpiOf[] = {{&TContact::TelHome, &TContact::NPIHome},
                             {&TContact::TelWork, &TContact::NPIWork},
                             {&TContact::TelCell, &TContact::NPICell},
                             {&TContact::TelFax, &TContact::NPIFax},
                             {&TContact::TelModem, &TContact::NPIModem}};

// Labels that say nothing a person would miss.
constexpr std::string_view kQuietTypes[] = {"PREF", "VOICE", "INTERNET", "X400"};
// Google's system label, which every contact of "My Contacts" carries.
constexpr std::string_view kSystemCategories[] = {"myContacts", "starred"};

// Findings quote what files hold; whatever bytes that was, the finding is UTF-8.
std::string Shown(std::string text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toStdString(); }

// Adds item to a list "a, b" unless it is there already.
void AppendUnique(std::string& list, const std::string& item) {
  if ((", " + list + ", ").find(", " + item + ", ") != std::string::npos) return;
  if (!list.empty()) list += ", ";
  list += item;
}

std::string Utf8(const QString& s) { return s.toStdString(); }

bool IsPref(const TContentLine& line) { return line.HasType("PREF") || line.Find("PREF") != nullptr; }

// "_$!<Mobile>!$_" as Apple writes its own labels: "Mobile".
QString CleanLabel(QString label) {
  if (label.startsWith(QStringLiteral("_$!<")) && label.endsWith(QStringLiteral(">!$_"))) label = label.mid(4, label.size() - 8);
  return label.trimmed();
}

// The label of a leftover value: the item's X-ABLabel, else its types.
QString LabelOf(const TContentLine& line, const std::vector<std::pair<std::string, QString>>& groupLabels) {
  if (!line.Group.empty()) {
    for (const auto& [group, label] : groupLabels)
      if (group == line.Group) return label;
  }
  QStringList types;
  if (const TParam* p = line.Find("TYPE")) {
    for (const std::string& t : p->Values) {
      const std::string upper = UpperAscii(t);
      if (upper.empty() || upper.rfind("X-", 0) == 0 ||
          std::find(std::begin(kQuietTypes), std::end(kQuietTypes), upper) != std::end(kQuietTypes))
        continue;
      types << QString::fromStdString(t).toLower();
    }
  }
  return types.join(QStringLiteral(", "));
}

QString Labelled(std::string_view what, const QString& label, const QString& value) {
  QString line = QString::fromUtf8(what.data(), static_cast<qsizetype>(what.size()));
  if (!label.isEmpty()) line += QStringLiteral(" (") + label + u')';
  return line + QStringLiteral(": ") + value;
}

// Components joined with ", " where they are not empty, line breaks as ", " too.
QString Joined(const std::vector<QString>& parts) {
  QStringList kept;
  for (const QString& p : parts) {
    QString t = p;
    t.replace(QStringLiteral("\r\n"), QStringLiteral(", ")).replace(u'\n', QStringLiteral(", ")).replace(u'\r', QStringLiteral(", "));
    if (!t.trimmed().isEmpty()) kept << t.trimmed();
  }
  return kept.join(QStringLiteral(", "));
}

const TCardProperty* CardFitOf(const std::string& name) {
  for (const TCardProperty& p : kCardFits)
    if (p.Name == name) return &p;
  return nullptr;
}

std::int32_t NumberingPlan(const std::string& number) {
  if (number.empty()) return -1;
  return number.front() == '+' ? kNpiInternational : kNpiNational;
}

// What a card's properties say, gathered before they are fitted.
struct TCardValues {
  std::vector<QString> Name;
  bool HasName = false;
  QString FormattedName;
  std::vector<QString> Org;
  struct TValue {
    QString Text;
    const TContentLine* Line;
  };
  std::vector<TValue> Tels, Emails, Adrs, Labels, Birthdays;
  std::vector<QString> Notes;
  std::vector<std::pair<QString, const TContentLine*>> Categories;
  std::vector<std::pair<QString, std::size_t>> NoteLines;  // with the line they came from
  std::vector<std::string> AddedToNote;
  std::vector<std::pair<std::string, QString>> GroupLabels;  // item1 -> its X-ABLabel
  bool IsGroup = false;
  bool OwnExport = false;
};

void TakeBirthday(const QString& value, const TContentLine& line, TContact& c, TEntryNotes& notes) {
  const std::string text = Utf8(value.trimmed());
  const std::string omit = line.First("X-APPLE-OMIT-YEAR");
  const auto leftOut = [&](const std::string& why) { notes.Add(TFindingKind::LeftOut, line.Line, why); };
  if (SameUpper(line.First("VALUE"), "TEXT")) return leftOut("birthday \"" + text + "\" is not a date: left out");
  if (text.rfind("--", 0) == 0 || (!omit.empty() && text.rfind(omit, 0) == 0))
    return leftOut("birthday without a year cannot be stored: left out");
  const std::optional<TTimeValue> date = ParseTimeValue(std::string_view(text).substr(0, text.find_first_of("Tt ")));
  TDateTime time = 0;
  if (!date || !ToDateNumbers(date->Civil, c.Birthday, time))
    return leftOut("birthday \"" + text + "\" is not a date: left out");
}

void Gather(const TComponent& card, TCardValues& v, TEntryNotes& notes) {
  for (const TContentLine& p : card.Properties) {
    if (p.Name == "X-ABLABEL" && !p.Group.empty()) v.GroupLabels.emplace_back(p.Group, CleanLabel(ValueText(p, notes)));
    if (p.Name == "PRODID") v.OwnExport = p.Value.rfind("-//ZARVO//", 0) == 0;
  }
  for (const TContentLine& p : card.Properties) {
    const TCardProperty* fit = CardFitOf(p.Name);
    if (!fit) {
      notes.LeftOut(p);
      continue;
    }
    if (fit->Fit == TCardFit::Silent) continue;
    const QString value = ValueText(p, notes);
    switch (fit->Fit) {
      case TCardFit::Name:
        if (v.HasName) {
          notes.LeftOut(p, "second N");
          break;
        }
        v.Name = SplitUnescaped(value, u';');
        v.HasName = true;
        break;
      case TCardFit::FormattedName:
        if (v.FormattedName.isEmpty()) v.FormattedName = Unescaped(value);
        break;
      case TCardFit::Org:
        if (v.Org.empty()) {
          v.Org = SplitUnescaped(value, u';');
        } else if (const QString more = Joined(SplitUnescaped(value, u';')); !more.isEmpty()) {
          v.NoteLines.emplace_back(Labelled(fit->NoteLabel, {}, more), p.Line);
          v.AddedToNote.push_back(p.Name);
        }
        break;
      case TCardFit::Tel: {
        QString number = Unescaped(value);
        // A vCard 4.0 number as a tel: URI; its parameters (";ext=") are not dialled.
        if (SameUpper(p.First("VALUE"), "URI") || number.startsWith(QStringLiteral("tel:"), Qt::CaseInsensitive)) {
          if (number.startsWith(QStringLiteral("tel:"), Qt::CaseInsensitive)) number = number.mid(4);
          if (const qsizetype semi = number.indexOf(u';'); semi >= 0) {
            notes.Add(TFindingKind::LeftOut, p.Line, "TEL: \"" + Utf8(number.mid(semi)) + "\" left out");
            number.truncate(semi);
          }
        }
        if (!number.isEmpty()) v.Tels.push_back({number, &p});
        break;
      }
      case TCardFit::Email: {
        QString address = Unescaped(value);
        if (address.startsWith(QStringLiteral("mailto:"), Qt::CaseInsensitive)) address = address.mid(7);
        if (!address.isEmpty()) v.Emails.push_back({address, &p});
        break;
      }
      case TCardFit::Adr: v.Adrs.push_back({value, &p}); break;
      case TCardFit::Label: v.Labels.push_back({Unescaped(value), &p}); break;
      case TCardFit::Bday: v.Birthdays.push_back({value, &p}); break;
      case TCardFit::Note:
        if (!value.isEmpty()) v.Notes.push_back(Unescaped(value));
        break;
      case TCardFit::Categories:
        for (const QString& c : SplitUnescaped(value, u',')) {
          const QString name = c.trimmed();
          bool system = false;
          for (std::string_view s : kSystemCategories) system = system || name == QString::fromLatin1(s.data(), s.size());
          if (!name.isEmpty() && !system) v.Categories.emplace_back(name, &p);
        }
        break;
      case TCardFit::NoteLine: {
        const QString text = Unescaped(value).trimmed();
        if (text.isEmpty()) break;
        v.NoteLines.emplace_back(Labelled(fit->NoteLabel, LabelOf(p, v.GroupLabels), text), p.Line);
        v.AddedToNote.push_back(p.Name);
        break;
      }
      case TCardFit::Kind: v.IsGroup = SameUpper(Utf8(value.trimmed()), "GROUP"); break;
      case TCardFit::Silent: break;
    }
  }
}

}  // namespace

// A contact as a load gives it: no identifiers, no group yet.
TContact NewContact() {
  TContact c;
  c.UID = -1;
  c.GroupID = -1;
  c.NewGroupID = -1;
  c.GroupSoundID = -1;
  c.GroupNofEntries = -1;
  c.NPIHome = c.NPIWork = c.NPICell = c.NPIFax = c.NPIModem = -1;
  return c;
}

TGroup NewGroup(std::string name) {
  TGroup g;
  g.UID = -1;
  g.Name = std::move(name);
  g.GroupID = -1;
  g.NewGroupID = -1;
  g.GroupSoundID = -1;
  g.GroupNofEntries = -1;
  g.NPIHome = g.NPIWork = g.NPICell = g.NPIFax = g.NPIModem = -1;
  return g;
}

// ---- findings ----

void TFileNotes::Add(TFindingKind kind, std::size_t line, std::string text, std::string entry) {
  if (added_ >= kMaxFileFindings) {
    ++dropped_;
    return;
  }
  ++added_;
  set_.FileFindings.push_back(MakeFinding(kind, {file_, line}, std::move(entry), Shown(std::move(text))));
}

void TFileNotes::Finish() {
  std::stable_sort(set_.FileFindings.begin() + static_cast<std::ptrdiff_t>(first_), set_.FileFindings.end(),
                   [](const TImportFinding& a, const TImportFinding& b) { return a.Where.Line < b.Where.Line; });
  if (dropped_ == 0) return;
  set_.FileFindings.push_back(MakeFinding(TFindingKind::Broken, {file_, 0}, {},
                                          std::to_string(dropped_) + " further findings in this file not listed"));
  dropped_ = 0;
}

void TEntryNotes::Add(TFindingKind kind, std::size_t line, std::string text) {
  findings_.push_back(MakeFinding(kind, {file_, line}, {}, Shown(std::move(text))));
}

void TEntryNotes::LeftOut(const TContentLine& line, std::string_view what) {
  if (leftOutCount_ == 0) leftOutLine_ = line.Line;
  ++leftOutCount_;
  AppendUnique(leftOut_, what.empty() ? line.Name : std::string(what));
}

std::string TEntryNotes::Text(const QString& text, std::string_view field, TTextShape shape, std::size_t line) {
  QString shaped = text;
  if (shape == TTextShape::OneLine) {
    const QString before = shaped;
    shaped.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\n', u' ').replace(u'\r', u' ');
    if (shaped != before) Add(TFindingKind::Changed, line, std::string(field) + ": line breaks made blanks");
  } else {
    shaped.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n').replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  }
  if (shape == TTextShape::AddressPart && shaped.contains(u';')) {
    shaped.replace(u';', u',');
    Add(TFindingKind::Changed, line, std::string(field) + ": \";\" made \",\"");
  }
  TFoldReport report;
  std::string latin1 = FoldToLatin1(shaped, &report);
  if (report.Changed()) {
    if (foldedFields_.empty()) foldedLine_ = line;
    AppendUnique(foldedFields_, std::string(field));
    fold_.Replaced += report.Replaced;
    fold_.Unknown += report.Unknown;
    fold_.Dropped += report.Dropped;
    if (fold_.Listed < 5 && !report.Examples.empty() && fold_.Examples.find(report.Examples) == std::string::npos) {
      fold_.Examples += (fold_.Examples.empty() ? "" : ", ") + report.Examples;
      fold_.Listed += report.Listed;
    }
  }
  return Latin1Text(std::move(latin1), field, line);
}

std::string TEntryNotes::Latin1Text(std::string text, std::string_view field, std::size_t line) {
  for (const TFieldLimit& limit : kFieldLimits) {
    if (limit.Field != field || limit.Characters == 0 || text.size() <= limit.Characters) continue;
    text.resize(limit.Characters);
    Add(TFindingKind::Changed, line, std::string(field) + " cut to " + std::to_string(limit.Characters) + " characters");
  }
  return text;
}

std::vector<TImportFinding> TEntryNotes::Finish(const std::string& label) {
  if (fold_.Changed()) {
    std::string text = "changed for the phone's character set (" + foldedFields_ + ")";
    if (!fold_.Examples.empty()) text += ": " + fold_.Examples;
    if (fold_.Unknown > 0) text += "; " + std::to_string(fold_.Unknown) + " character(s) without a likeness became \"?\"";
    if (fold_.Dropped > 0) text += "; " + std::to_string(fold_.Dropped) + " invisible or control character(s) removed";
    findings_.push_back(MakeFinding(TFindingKind::Changed, {file_, foldedLine_}, {}, text));
  }
  if (leftOutCount_ > 0) {
    TImportFinding f = MakeFinding(TFindingKind::LeftOut, {file_, leftOutLine_}, {}, Shown("left out: " + leftOut_));
    f.Count = leftOutCount_;
    findings_.push_back(std::move(f));
  }
  std::stable_sort(findings_.begin(), findings_.end(),
                   [](const TImportFinding& a, const TImportFinding& b) { return a.Where.Line < b.Where.Line; });
  for (TImportFinding& f : findings_) f.Entry = label;
  return std::move(findings_);
}

QString ValueText(const TContentLine& line, TEntryNotes& notes) {
  std::string unknown;
  bool notUtf8 = false;
  QString text = DecodedValue(line, &unknown, &notUtf8);
  if (!unknown.empty())
    notes.Add(TFindingKind::Changed, line.Line, line.Name + ": character set " + unknown + " not known, read as UTF-8 or Windows-1252");
  if (notUtf8) notes.Add(TFindingKind::Changed, line.Line, line.Name + ": not valid UTF-8, read as Windows-1252");
  return text;
}

// ---- cards ----

void FitCard(const TComponent& card, TFileNotes& file) {
  TEntryNotes notes(file.File());
  TCardValues v;
  Gather(card, v, notes);
  for (const TComponent& inner : card.Children) {
    TContentLine agent;
    agent.Line = inner.Line;
    notes.LeftOut(agent, "AGENT card");
  }

  // The name: N's parts, then FN, then ORG.
  std::vector<QString> parts = v.Name;
  while (!parts.empty() && parts.back().isEmpty()) parts.pop_back();
  QString name = QStringList(parts.begin(), parts.end()).join(u';');
  bool orgIsName = false;
  if (name.isEmpty() && !(v.OwnExport && v.HasName)) {
    name = v.FormattedName.trimmed();
    if (name.isEmpty()) {
      name = Joined(v.Org);
      orgIsName = !name.isEmpty();
    }
  }
  const std::size_t line = card.Line;

  if (v.IsGroup) {
    TImported<TGroup> g;
    g.Entry = NewGroup(notes.Text(name, "Group name", TTextShape::OneLine, line));
    g.Origin = {file.File(), card.Line};
    g.Label = EntryLabel(g.Entry);
    g.Findings = notes.Finish(g.Label);
    file.Set().Groups.push_back(std::move(g));
    return;
  }

  TImported<TContact> out;
  out.Origin = {file.File(), card.Line};
  TContact& c = out.Entry;
  c = NewContact();
  c.Name = notes.Text(name, "Name", TTextShape::OneLine, line);

  std::vector<QString> noteLines;
  std::vector<std::string> added = v.AddedToNote;
  const auto toNote = [&](const QString& text, const std::string& what) {
    noteLines.push_back(text);
    added.push_back(what);
  };
  const auto labelOf = [&](const TContentLine& p) { return LabelOf(p, v.GroupLabels); };

  // Numbers: PREF first, each to its slot, then the voice numbers without one to the
  // first free slot, the rest to the note.
  std::stable_sort(v.Tels.begin(), v.Tels.end(),
                   [](const auto& a, const auto& b) { return IsPref(*a.Line) && !IsPref(*b.Line); });
  std::vector<const TCardValues::TValue*> waiting;
  for (const TCardValues::TValue& t : v.Tels) {
    const TTelSlot* slot = nullptr;
    for (const TTelSlot& s : kTelSlots)
      if (!slot && t.Line->HasType(s.Type)) slot = &s;
    std::string& field = c.*(slot ? slot->Field : kFreeSlots[0]);
    if (slot && field.empty()) {
      field = notes.Text(t.Text, "Number", TTextShape::OneLine, t.Line->Line);
      continue;
    }
    if (!slot || slot->Voice) {
      waiting.push_back(&t);
    } else {
      toNote(Labelled("Phone", labelOf(*t.Line), t.Text), "TEL");
    }
  }
  for (const TCardValues::TValue* t : waiting) {
    std::string* free = nullptr;
    for (auto slot : kFreeSlots)
      if (!free && (c.*slot).empty()) free = &(c.*slot);
    if (free)
      *free = notes.Text(t->Text, "Number", TTextShape::OneLine, t->Line->Line);
    else
      toNote(Labelled("Phone", labelOf(*t->Line), t->Text), "TEL");
  }
  for (const TNpiOf& n : kNpiOf) c.*n.Npi = NumberingPlan(c.*n.Field);

  std::stable_sort(v.Emails.begin(), v.Emails.end(),
                   [](const auto& a, const auto& b) { return IsPref(*a.Line) && !IsPref(*b.Line); });
  for (std::size_t i = 0; i < v.Emails.size(); ++i) {
    if (i == 0)
      c.EMail = notes.Text(v.Emails[i].Text, "E-mail", TTextShape::OneLine, v.Emails[i].Line->Line);
    else
      toNote(Labelled("E-mail", labelOf(*v.Emails[i].Line), v.Emails[i].Text), "EMAIL");
  }

  std::stable_sort(v.Adrs.begin(), v.Adrs.end(),
                   [](const auto& a, const auto& b) { return IsPref(*a.Line) && !IsPref(*b.Line); });
  for (std::size_t i = 0; i < v.Adrs.size(); ++i) {
    std::vector<QString> adr = SplitUnescaped(v.Adrs[i].Text, u';');
    adr.resize(std::max<std::size_t>(adr.size(), 7));
    // A part beyond the seventh belongs to the country, as an unescaped ";" split it.
    for (std::size_t k = 7; k < adr.size(); ++k) adr[6] += u';' + adr[k];
    adr.resize(7);
    const std::size_t at = v.Adrs[i].Line->Line;
    if (i > 0) {
      toNote(Labelled("Address", labelOf(*v.Adrs[i].Line), Joined({adr[2], adr[1], adr[0], adr[5], adr[3], adr[4], adr[6]})),
             "ADR");
      continue;
    }
    // The extended address and the post office box become further street lines.
    QString street = adr[2];
    for (std::size_t k : {1u, 0u})
      if (!adr[k].trimmed().isEmpty()) street += (street.isEmpty() ? QString() : QStringLiteral("\n")) + adr[k];
    c.Street = notes.Text(street, "Street", TTextShape::AddressPart, at);
    c.City = notes.Text(adr[3], "City", TTextShape::AddressPart, at);
    c.Region = notes.Text(adr[4], "Region", TTextShape::AddressPart, at);
    c.PostalCode = notes.Text(adr[5], "Postal code", TTextShape::AddressPart, at);
    c.Country = notes.Text(adr[6], "Country", TTextShape::Lines, at);
  }
  // A formatted address stands for the structured one; alone, it is the address.
  if (v.Adrs.empty())
    for (const TCardValues::TValue& l : v.Labels) toNote(Labelled("Address", labelOf(*l.Line), Joined({l.Text})), "LABEL");

  for (const TCardValues::TValue& b : v.Birthdays)
    if (c.Birthday == 0) TakeBirthday(b.Text, *b.Line, c, notes);

  if (!v.Categories.empty()) {
    out.GroupName = notes.Text(v.Categories.front().first, "Group name", TTextShape::OneLine, v.Categories.front().second->Line);
    if (v.Categories.size() > 1) {
      QStringList rest;
      for (std::size_t i = 1; i < v.Categories.size(); ++i) rest << v.Categories[i].first;
      notes.Add(TFindingKind::LeftOut, v.Categories[1].second->Line,
                "CATEGORIES " + Utf8(rest.join(QStringLiteral(", "))) + " left out: the phone keeps one group");
    }
  }

  if (!orgIsName && !Joined(v.Org).isEmpty() && Joined(v.Org) != name) {
    noteLines.insert(noteLines.begin(), Labelled("Organisation", {}, Joined(v.Org)));
    added.insert(added.begin(), "ORG");
  }
  for (const auto& [text, from] : v.NoteLines) noteLines.push_back(text);
  QString note = QStringList(v.Notes.begin(), v.Notes.end()).join(u'\n');
  if (!noteLines.empty()) {
    // Labelled lines follow the note's last line, not blank lines after it.
    while (!note.isEmpty() && note.back().isSpace()) note.chop(1);
    if (!note.isEmpty()) note += u'\n';
    note += QStringList(noteLines.begin(), noteLines.end()).join(u'\n');
  }
  const TContentLine* noteLine = card.Property("NOTE");
  c.Note = notes.Text(note, "Note", TTextShape::Lines, noteLine ? noteLine->Line : card.Line);
  if (!added.empty()) {
    std::string list;
    for (const std::string& a : added) AppendUnique(list, a);
    notes.Add(TFindingKind::Changed, card.Line, "added to the note: " + list);
  }

  out.Label = EntryLabel(c);
  out.Findings = notes.Finish(out.Label);
  file.Set().Contacts.push_back(std::move(out));
}
