#include "ContentLines.h"

#include <QByteArray>
#include <QStringDecoder>

#include "VObjectText.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsBase64Char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' ||
         c == '=';
}

bool IsBase64Line(std::string_view line) {
  if (line.empty()) return false;
  for (char c : line)
    if (!IsBase64Char(c)) return false;
  return true;
}

// A line that begins or ends a component: a soft break never runs into it.
bool IsFrameLine(std::string_view line) {
  return FindUpper(line, "BEGIN:") == 0 || FindUpper(line, "END:") == 0;
}

bool EndsInLoneBackslash(std::string_view v) {
  std::size_t n = 0;
  while (n < v.size() && v[v.size() - 1 - n] == '\\') ++n;
  return n % 2 == 1;
}

bool EqualsUpper(std::string_view a, std::string_view upper) { return SameUpper(a, upper); }

// ^n, ^^ and ^' of RFC 6868.
std::string CaretDecoded(std::string_view v) {
  std::string out;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '^' && i + 1 < v.size()) {
      const char n = v[i + 1];
      if (n == 'n' || n == 'N') {
        out += '\n';
        ++i;
        continue;
      }
      if (n == '^' || n == '\'') {
        out += n == '^' ? '^' : '"';
        ++i;
        continue;
      }
    }
    out += v[i];
  }
  return out;
}

// A vCard 2.1 parameter without "=" names its value only.
std::string BareParamName(std::string_view value) {
  static constexpr std::string_view kEncodings[] = {"QUOTED-PRINTABLE", "BASE64", "8BIT", "7BIT", "B"};
  for (std::string_view e : kEncodings)
    if (EqualsUpper(value, e)) return "ENCODING";
  return "TYPE";
}

void AddParam(TContentLine& line, std::string_view text) {
  if (text.empty()) return;
  TParam p;
  std::string_view values = text;
  const std::size_t eq = text.find('=');
  bool quotedEq = false;
  for (std::size_t i = 0; i < eq && eq != std::string_view::npos; ++i) quotedEq = quotedEq || text[i] == '"';
  if (eq != std::string_view::npos && !quotedEq) {
    p.Name = UpperAscii(text.substr(0, eq));
    values = text.substr(eq + 1);
  } else {
    p.Name = BareParamName(text);
  }
  // Values are separated by commas outside quotes; TYPE="a,b" means a and b as well.
  const bool splitQuoted = p.Name == "TYPE";
  std::string current;
  bool inQuotes = false;
  for (char c : values) {
    if (c == '"') {
      inQuotes = !inQuotes;
    } else if (c == ',' && (!inQuotes || splitQuoted)) {
      p.Values.push_back(CaretDecoded(current));
      current.clear();
    } else {
      current += c;
    }
  }
  p.Values.push_back(CaretDecoded(current));
  for (TParam& existing : line.Params) {
    if (existing.Name != p.Name) continue;
    existing.Values.insert(existing.Values.end(), p.Values.begin(), p.Values.end());
    return;
  }
  line.Params.push_back(std::move(p));
}

// NAME;PARAMS:VALUE, the colon being the first one outside a quoted parameter value.
void ParseHead(std::string_view logical, TContentLine& line) {
  std::size_t i = 0;
  while (i < logical.size() && logical[i] != ';' && logical[i] != ':') ++i;
  std::string_view name = logical.substr(0, i);
  const std::size_t dot = name.find('.');
  if (dot != std::string_view::npos) {
    line.Group = UpperAscii(name.substr(0, dot));
    name.remove_prefix(dot + 1);
  }
  line.Name = UpperAscii(name);
  bool inQuotes = false;
  std::size_t paramStart = i + 1;
  for (; i < logical.size(); ++i) {
    const char c = logical[i];
    if (c == '"') inQuotes = !inQuotes;
    if (inQuotes) continue;
    if (c == ';' || c == ':') {
      if (i >= paramStart) AddParam(line, logical.substr(paramStart, i - paramStart));
      paramStart = i + 1;
      if (c == ':') break;
    }
  }
  if (i >= logical.size() || line.Name.empty()) {
    line.IsProperty = false;
    line.Value = std::string(logical);
    return;
  }
  line.Value = std::string(logical.substr(i + 1));
}

std::string QuotedPrintableDecoded(std::string_view v) {
  std::string out;
  out.reserve(v.size());
  const auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '=' && i + 2 < v.size()) {
      const int hi = hex(v[i + 1]), lo = hex(v[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        continue;
      }
    }
    out += v[i];
  }
  return out;
}

bool ValidUtf8(const QByteArray& bytes, QString& text) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  text = utf8(bytes);
  return !utf8.hasError();
}

QString Windows1252(const QByteArray& bytes) {
  QStringDecoder cp1252("windows-1252");
  if (cp1252.isValid()) return cp1252(bytes);
  return QString::fromLatin1(bytes);
}

}  // namespace

const TParam* TContentLine::Find(std::string_view upperName) const {
  for (const TParam& p : Params)
    if (p.Name == upperName) return &p;
  return nullptr;
}

std::string TContentLine::First(std::string_view upperName) const {
  const TParam* p = Find(upperName);
  return p && !p->Values.empty() ? p->Values.front() : std::string();
}

bool TContentLine::HasType(std::string_view upperType) const {
  const TParam* p = Find("TYPE");
  if (!p) return false;
  for (const std::string& v : p->Values)
    if (EqualsUpper(v, upperType)) return true;
  return false;
}

bool TContentLine::IsQuotedPrintable() const { return EqualsUpper(First("ENCODING"), "QUOTED-PRINTABLE"); }

bool TContentLine::IsBase64() const {
  const std::string e = First("ENCODING");
  return EqualsUpper(e, "BASE64") || EqualsUpper(e, "B");
}

const TContentLine* TComponent::Property(std::string_view upperName) const {
  for (const TContentLine& p : Properties)
    if (p.Name == upperName) return &p;
  return nullptr;
}

bool TContentReader::Peek(std::string_view& line) const {
  if (pos_ >= text_.size()) return false;
  std::size_t end = pos_;
  while (end < text_.size() && text_[end] != '\r' && text_[end] != '\n') ++end;
  line = text_.substr(pos_, end - pos_);
  return true;
}

void TContentReader::Take() {
  std::size_t end = pos_;
  while (end < text_.size() && text_[end] != '\r' && text_[end] != '\n') ++end;
  // CR LF, CR or LF; CR CR LF as some writers double the CR is one line end too.
  std::size_t crs = end;
  while (crs < text_.size() && text_[crs] == '\r') ++crs;
  if (crs < text_.size() && text_[crs] == '\n')
    end = crs + 1;
  else if (end < text_.size())
    end += 1;
  pos_ = end;
  ++lineNo_;
}

bool TContentReader::Next(TContentLine& line) {
  std::string_view physical;
  for (;;) {
    if (!Peek(physical)) return false;
    if (physical.find_first_not_of(" \t") != std::string_view::npos) break;
    Take();
  }
  line = TContentLine();
  line.Line = lineNo_ + 1;
  std::string logical(physical);
  Take();
  std::string_view next;
  while (Peek(next) && !next.empty() && IsBlank(next.front())) {
    logical.append(next.substr(1));
    Take();
  }
  ParseHead(logical, line);
  if (!line.IsProperty) return true;

  if (line.IsQuotedPrintable()) {
    // A writer that breaks right after the colon without "=" still continues there.
    const bool emptyStart = line.Value.empty();
    while (Peek(next) && !IsFrameLine(next) &&
           ((!line.Value.empty() && line.Value.back() == '=') ||
            (emptyStart && line.Value.empty() && !next.empty() && next.find(':') == std::string_view::npos))) {
      if (!line.Value.empty()) line.Value.pop_back();
      line.Value.append(next);
      Take();
    }
  } else if (line.IsBase64()) {
    while (Peek(next) && IsBase64Line(next)) {
      line.Value.append(next);
      Take();
    }
  } else {
    // A value that ends in a lone backslash goes on after a line break, as the phone's
    // addresses do.
    while (EndsInLoneBackslash(line.Value) && Peek(next) && !next.empty() &&
           next.find(':') == std::string_view::npos) {
      line.Value += 'n';
      line.Value.append(next);
      Take();
    }
  }
  return true;
}

QString DecodedValue(const TContentLine& line, std::string* unknownCharset, bool* notUtf8) {
  QByteArray bytes;
  if (line.IsQuotedPrintable()) {
    std::string decoded = QuotedPrintableDecoded(line.Value);
    // A soft break left dangling at the very end of the value.
    if (!decoded.empty() && decoded.back() == '=' && !line.Value.empty() && line.Value.back() == '=') decoded.pop_back();
    bytes = QByteArray::fromStdString(decoded);
  } else if (line.IsBase64()) {
    bytes = QByteArray::fromBase64(QByteArray::fromStdString(line.Value));
  } else {
    bytes = QByteArray::fromStdString(line.Value);
  }

  const std::string charset = line.First("CHARSET");
  QString text;
  const bool saysUtf8 = charset.empty() || EqualsUpper(charset, "UTF-8") || EqualsUpper(charset, "UTF8");
  if (saysUtf8) {
    if (ValidUtf8(bytes, text)) return text;
    if (notUtf8 && !charset.empty()) *notUtf8 = true;
    return Windows1252(bytes);
  }
  QStringDecoder decoder(charset.c_str());
  if (decoder.isValid()) {
    text = decoder(bytes);
    if (!decoder.hasError()) return text;
  }
  if (unknownCharset) *unknownCharset = charset;
  if (ValidUtf8(bytes, text)) return text;
  return Windows1252(bytes);
}

QString Unescaped(QStringView text) {
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == u'\\' && i + 1 < text.size()) {
      const QChar n = text[i + 1];
      if (n == u'n' || n == u'N') {
        out += u'\n';
        ++i;
        continue;
      }
      if (n == u'\\' || n == u',' || n == u';' || n == u':') {
        out += n;
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

std::vector<QString> SplitUnescaped(QStringView text, QChar separator) {
  std::vector<QString> parts;
  qsizetype start = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == u'\\') {
      ++i;
      continue;
    }
    if (text[i] == separator) {
      parts.push_back(Unescaped(text.sliced(start, i - start)));
      start = i + 1;
    }
  }
  parts.push_back(Unescaped(text.sliced(start)));
  return parts;
}
