#include "ExportBackup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <map>
#include <stdexcept>

#include "AppException.h"
#include "AtomicFile.h"
#include "BackupFile.h"
#include "CountText.h"
#include "DateNumber.h"
#include "Export.h"
#include "VObjectParser.h"

namespace {

std::string Utf8(const QString& s) {
  const QByteArray b = s.toUtf8();
  return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

// ISO-8859-1 text as one readable UTF-8 line: line breaks as " / ", other controls
// dropped.
std::string Readable(std::string_view latin1) {
  std::string out;
  for (std::size_t i = 0; i < latin1.size(); ++i) {
    const auto c = static_cast<unsigned char>(latin1[i]);
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < latin1.size() && latin1[i + 1] == '\n') ++i;
      out += " / ";
    } else if (c == '\t') {
      out += ' ';
    } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
    } else {
      AppendLatin1AsUtf8(out, static_cast<char>(c));
    }
  }
  return out;
}

// A name as the list and the comparison show it.
std::string NameText(const std::string& latin1) {
  std::string name = Readable(latin1);
  return name.empty() ? "(no name)" : name;
}


std::string RepeatText(std::int32_t kind) {
  switch (kind) {
    case rkDaily: return "daily";
    case rkWeekly: return "weekly";
    case rkEveryTwoWeeks: return "every two weeks";
    case rkYearly: return "yearly";
    default: return {};
  }
}

// The end of a repetition; forever and not set mean the same, no end.
std::string RepeatEndText(TDateTime until) { return until == RepeatForever ? std::string() : IsoDateText(until); }

const TGroup* FindGroup(const TEntryLists& lists, std::int32_t groupId) {
  if (groupId == -1) return nullptr;
  for (const TGroup& g : lists.Groups)
    if (g.GroupID == groupId) return &g;
  return nullptr;
}

std::string EventLabel(const TEvent& e) {
  std::string when = IsoDateTimeText(e.StartDate, e.StartTime);
  if (when.empty()) when = "(no start date)";
  std::string description = Readable(e.Description);
  return when + (description.empty() ? "" : " " + description);
}


// One entry as the comparison sees it: its kind's label, its key, and the fields that a
// restore must keep, by name.
struct TCompared {
  std::string Label;
  std::string Key;
  std::vector<std::pair<const char*, std::string>> Fields;
};

std::vector<TCompared> ComparedEntries(const TEntryLists& lists) {
  std::vector<TCompared> out;
  for (const TGroup& g : lists.Groups)
    out.push_back({"group " + NameText(g.Name), "g" + g.Name, {{"Ring tone", std::to_string(g.GroupSoundID)}}});
  for (const TContact& c : lists.Contacts) {
    const TGroup* group = FindGroup(lists, c.GroupID);
    TCompared& entry = out.emplace_back(TCompared{"contact " + NameText(c.Name), "c" + c.Name, {}});
    for (const TContactText& text : ContactTexts) entry.Fields.emplace_back(text.Label, c.*text.Field);
    entry.Fields.insert(entry.Fields.end(), {{"Birthday", IsoDateText(c.Birthday)},
                                             {"Note", c.Note},
                                             {"Group", group ? group->Name : std::string()}});
  }
  for (const TEvent& e : lists.Events) {
    out.push_back({"event " + EventLabel(e),
                   "e" + IsoDateTimeText(e.StartDate, e.StartTime, true) + "\n" + e.Description,
                   {{"End", IsoDateTimeText(e.EndDate, e.EndTime, true)},
                    {"Repetition", RepeatText(e.RepeatKind)},
                    {"Repetition end", e.RepeatKind == rkNone ? std::string() : RepeatEndText(e.RepeatUntil)},
                    {"Reminder", IsoDateTimeText(e.AlarmDate, e.AlarmTime, true)}}});
  }
  for (std::size_t i = FactoryRingToneCount; i < lists.RingTones.size(); ++i) {
    const TRingTone& r = lists.RingTones[i];
    out.push_back({"ring tone " + NameText(r.Name), "r" + r.Name, {{"Melody", r.Data}}});
  }
  return out;
}

}  // namespace

TEntryLists ReadBackupForExport(const QString& fileName) {
  TEntryLists lists;
  const TLines lines = ReadBackupFile(fileName);
  ParseVObjects(lines, lists.vObjects, [](const std::string&) {});
  if (lists.vObjects.empty() && (lines.empty() || lines.front() != BackupHeaderFirst))
    throw std::runtime_error(Utf8(fileName) + ": not a backup file");
  FileParsedEntries(lists);
  // Filing gives groups, contacts and events the UID -1 of entries bound for a phone; the
  // export keys its UIDs on the identifiers the phone gave them, which the backup holds.
  std::size_t group = 0, contact = 0, event = 0;
  for (const TvObject& v : lists.vObjects) {
    if (v.Kind == vkGroup) lists.Groups[group++].UID = v.UID;
    if (v.Kind == vkContact) lists.Contacts[contact++].UID = v.UID;
    if (v.Kind == vkEvent) lists.Events[event++].UID = v.UID;
  }
  lists.vObjects.clear();
  return lists;
}

void WriteExportFile(const QString& path, const std::string& content) {
  if (ReplaceFileContent(QFile::encodeName(path).toStdString(), content) != 0)
    throw std::runtime_error("Cannot create file " + Utf8(path));
}

std::vector<std::string> ExportToFolder(const TEntryLists& lists, const QString& folder, bool force,
                                        const QDateTime& stamp) {
  struct TTarget {
    QString Path;
    TExportText Result;
    std::string Summary;
    bool Existed = false;
  };
  // No folder is the current one, and the names are shown as they are.
  const auto inFolder = [&](const char* name) {
    return folder.isEmpty() ? QString::fromLatin1(name) : QDir(folder).filePath(QString::fromLatin1(name));
  };
  TTarget targets[2];
  targets[0].Path = inFolder(ContactsFileName);
  targets[0].Result = ExportContacts(lists);
  targets[0].Summary = ContactsSummary(Utf8(targets[0].Path), targets[0].Result);
  targets[1].Path = inFolder(CalendarFileName);
  targets[1].Result = ExportCalendar(lists, stamp);
  targets[1].Summary = CalendarSummary(Utf8(targets[1].Path), targets[1].Result);

  for (TTarget& t : targets) {
    const QFileInfo info(t.Path);
    t.Existed = info.exists() || info.isSymLink();
    if (t.Existed && !force && !t.Result.Text.empty())
      throw std::runtime_error(Utf8(t.Path) + ": exists (use --force to replace it)");
  }
  if (!folder.isEmpty() && !QDir().mkpath(folder)) throw std::runtime_error("Cannot create folder " + Utf8(folder));

  std::vector<std::string> summaries;
  for (std::size_t i = 0; i < 2; ++i) {
    TTarget& t = targets[i];
    if (!t.Result.Text.empty()) {
      try {
        WriteExportFile(t.Path, t.Result.Text);
      } catch (...) {
        // One file of a pair is no export: a first file that is new goes again.
        if (i == 1 && !targets[0].Existed && !targets[0].Result.Text.empty()) QFile::remove(targets[0].Path);
        throw;
      }
    }
    summaries.push_back(t.Summary);
  }
  return summaries;
}

std::vector<std::string> ListBackup(const TEntryLists& lists) {
  std::vector<std::string> out;
  std::vector<bool> filed(lists.Contacts.size(), false);
  out.push_back("Groups: " + std::to_string(lists.Groups.size()));
  for (const TGroup& g : lists.Groups) {
    out.push_back("  " + NameText(g.Name));
    for (std::size_t i = 0; i < lists.Contacts.size(); ++i) {
      if (filed[i] || lists.Contacts[i].GroupID != g.GroupID || lists.Contacts[i].GroupID == -1) continue;
      filed[i] = true;
      out.push_back("    " + NameText(lists.Contacts[i].Name));
    }
  }
  std::vector<std::string> loose;
  for (std::size_t i = 0; i < lists.Contacts.size(); ++i) {
    if (filed[i]) continue;
    const TContact& c = lists.Contacts[i];
    std::string line = "  " + NameText(c.Name);
    if (c.GroupID != -1) line += " (group " + std::to_string(c.GroupID) + ", not in the backup)";
    loose.push_back(line);
  }
  out.push_back("Contacts without a group: " + std::to_string(loose.size()));
  out.insert(out.end(), loose.begin(), loose.end());

  out.push_back("Events: " + std::to_string(lists.Events.size()));
  for (const TEvent& e : lists.Events) {
    std::string line = "  " + EventLabel(e);
    if (const std::string repeat = RepeatText(e.RepeatKind); !repeat.empty()) {
      line += "; " + repeat;
      if (const std::string until = RepeatEndText(e.RepeatUntil); !until.empty()) line += " until " + until;
    }
    if (DateSet(e.AlarmDate)) line += "; reminder " + IsoDateTimeText(e.AlarmDate, e.AlarmTime);
    out.push_back(line);
  }

  const std::size_t tones = lists.RingTones.size() > FactoryRingToneCount ? lists.RingTones.size() - FactoryRingToneCount : 0;
  out.push_back("Ring tones: " + std::to_string(tones));
  for (std::size_t i = FactoryRingToneCount; i < lists.RingTones.size(); ++i)
    out.push_back("  " + NameText(lists.RingTones[i].Name));
  return out;
}

TComparison CompareBackups(const TEntryLists& first, const std::string& firstName,
                           const TEntryLists& second, const std::string& secondName) {
  TComparison result;
  const std::vector<TCompared> a = ComparedEntries(first);
  const std::vector<TCompared> b = ComparedEntries(second);

  // The n-th entry of a key in b, by key.
  std::map<std::string, std::vector<std::size_t>> byKey;
  for (std::size_t i = 0; i < b.size(); ++i) byKey[b[i].Key].push_back(i);
  std::map<std::string, std::size_t> taken;
  std::vector<bool> matched(b.size(), false);
  std::size_t onlyFirst = 0, onlySecond = 0, differing = 0;

  for (const TCompared& entry : a) {
    const std::vector<std::size_t>& candidates = byKey[entry.Key];
    std::size_t& n = taken[entry.Key];
    if (n >= candidates.size()) {
      result.Lines.push_back("only in " + firstName + ": " + entry.Label);
      ++onlyFirst;
      continue;
    }
    const TCompared& other = b[candidates[n]];
    matched[candidates[n]] = true;
    ++n;
    for (std::size_t f = 0; f < entry.Fields.size(); ++f) {
      if (entry.Fields[f].second == other.Fields[f].second) continue;
      result.Lines.push_back(entry.Label + ": " + entry.Fields[f].first + " differs");
      ++differing;
    }
  }
  for (std::size_t i = 0; i < b.size(); ++i) {
    if (matched[i]) continue;
    result.Lines.push_back("only in " + secondName + ": " + b[i].Label);
    ++onlySecond;
  }

  result.Same = onlyFirst == 0 && onlySecond == 0 && differing == 0;
  if (result.Same) {
    const std::size_t tones = first.RingTones.size() > FactoryRingToneCount ? first.RingTones.size() - FactoryRingToneCount : 0;
    result.Lines.push_back("The backups hold the same entries: " + CountText(first.Groups.size(), "group", "groups") +
                           ", " + CountText(first.Contacts.size(), "contact", "contacts") + ", " +
                           CountText(first.Events.size(), "event", "events") + ", " +
                           CountText(tones, "ring tone", "ring tones") + ".");
  } else {
    result.Lines.push_back("The backups differ: " + CountText(onlyFirst, "entry", "entries") + " only in " +
                           firstName + ", " + CountText(onlySecond, "entry", "entries") + " only in " + secondName +
                           ", " + CountText(differing, "differing field", "differing fields") + ".");
  }
  return result;
}

const TFileDialogSettings& ExportDialogSettings(TExportKind kind) {
  static const TFileDialogSettings contacts{QStringLiteral("Export contacts"), QStringLiteral("vCard file (*.vcf)"),
                                            QStringLiteral("vcf"), QString::fromLatin1(ContactsFileName)};
  static const TFileDialogSettings calendar{QStringLiteral("Export calendar"),
                                            QStringLiteral("iCalendar file (*.ics)"), QStringLiteral("ics"),
                                            QString::fromLatin1(CalendarFileName)};
  return kind == TExportKind::Contacts ? contacts : calendar;
}

void ExportWithDialog(TExportKind kind, const TEntryLists& lists, IDialogs& dialogs,
                      const std::function<void(const std::string&)>& log) {
  const std::optional<QString> file = dialogs.SaveFile(ExportDialogSettings(kind));
  if (!file) return;
  const TExportText result =
      kind == TExportKind::Contacts ? ExportContacts(lists) : ExportCalendar(lists, QDateTime::currentDateTimeUtc());
  if (!result.Text.empty()) WriteExportFile(*file, result.Text);
  // The log pane shows 8-bit text.
  const QByteArray name = file->toLatin1();
  const std::string shown(name.constData(), static_cast<std::size_t>(name.size()));
  if (log) log(kind == TExportKind::Contacts ? ContactsSummary(shown, result) : CalendarSummary(shown, result));
}
