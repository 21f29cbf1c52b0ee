#include "log/adif3.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "log/band_table.h"
#include "log/log_export.h"
#include "log/log_file.h"

namespace vexa::log {
namespace {

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
std::string UpperText(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = Upper(c);
  return u;
}
bool StartsNoCase(std::string_view s, size_t at, std::string_view word) {
  if (s.size() - at < word.size() || at > s.size()) return false;
  for (size_t i = 0; i < word.size(); ++i)
    if (Upper(s[at + i]) != Upper(word[i])) return false;
  return true;
}

// Length of the UTF-8 sequence a lead byte starts, 0 for a byte that cannot lead one.
size_t Utf8Length(unsigned char c) {
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return 2;
  if (c >= 0xE0 && c <= 0xEF) return 3;
  if (c >= 0xF0 && c <= 0xF4) return 4;
  return 0;
}

bool IsUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const size_t n = Utf8Length(static_cast<unsigned char>(s[i]));
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

std::string Latin1ToUtf8(std::string_view s) {
  std::string out;
  for (char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string AsUtf8(std::string_view s) {
  return IsUtf8(s) ? std::string(s) : Latin1ToUtf8(s);
}

void AppendUtf8(std::string& out, unsigned long cp) {
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// XML text with its five named entities and numeric character references decoded; an unknown
// entity stays as written.
std::string DecodeEntities(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '&') {
      out += s[i];
      continue;
    }
    const size_t semi = s.find(';', i);
    if (semi == std::string_view::npos || semi - i > 12) {
      out += '&';
      continue;
    }
    const std::string_view e = s.substr(i + 1, semi - i - 1);
    if (e == "amp")
      out += '&';
    else if (e == "lt")
      out += '<';
    else if (e == "gt")
      out += '>';
    else if (e == "quot")
      out += '"';
    else if (e == "apos")
      out += '\'';
    else if (e.size() > 1 && e[0] == '#') {
      const bool hex = e[1] == 'x' || e[1] == 'X';
      const std::string digits(e.substr(hex ? 2 : 1));
      char* end = nullptr;
      const unsigned long cp = std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
      if (digits.empty() || *end != '\0') {
        out += '&';
        continue;
      }
      AppendUtf8(out, cp);
    } else {
      out += '&';
      continue;
    }
    i = semi;
  }
  return out;
}

// UTF-16 text (with a byte order mark, or recognised by its zero bytes) as UTF-8.
bool LooksUtf16(std::string_view s, bool& little) {
  if (s.size() >= 2 && static_cast<unsigned char>(s[0]) == 0xFF &&
      static_cast<unsigned char>(s[1]) == 0xFE) {
    little = true;
    return true;
  }
  if (s.size() >= 2 && static_cast<unsigned char>(s[0]) == 0xFE &&
      static_cast<unsigned char>(s[1]) == 0xFF) {
    little = false;
    return true;
  }
  if (s.size() >= 4 && s[0] != 0 && s[1] == 0 && s[2] != 0 && s[3] == 0) {
    little = true;
    return true;
  }
  if (s.size() >= 4 && s[0] == 0 && s[1] != 0 && s[2] == 0 && s[3] != 0) {
    little = false;
    return true;
  }
  return false;
}

std::string Utf16ToUtf8(std::string_view s, bool little) {
  std::string out;
  size_t i = 0;
  if (s.size() >= 2 &&
      (static_cast<unsigned char>(s[0]) + static_cast<unsigned char>(s[1])) == 0xFF + 0xFE)
    i = 2;
  auto unit = [&](size_t k) {
    const auto a = static_cast<unsigned char>(s[k]);
    const auto b = static_cast<unsigned char>(s[k + 1]);
    return little ? static_cast<unsigned>(a | (b << 8)) : static_cast<unsigned>((a << 8) | b);
  };
  for (; i + 1 < s.size(); i += 2) {
    unsigned long cp = unit(i);
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < s.size()) {
      const unsigned lo = unit(i + 2);
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
        i += 2;
      }
    }
    AppendUtf8(out, cp);
  }
  return out;
}

// The lower edge in hertz of an ADIF band name ("20m", "70CM"), 0 when unknown.
int32_t BandLowEdgeHz(std::string_view band) {
  static constexpr struct {
    const char* name;
    int32_t hz;
  } kAdifBands[] = {
      {"2190M", 135700},   {"630M", 472000},    {"560M", 501000},     {"160M", 1800000},
      {"80M", 3500000},    {"60M", 5060000},    {"40M", 7000000},     {"30M", 10100000},
      {"20M", 14000000},   {"17M", 18068000},   {"15M", 21000000},    {"12M", 24890000},
      {"10M", 28000000},   {"8M", 40000000},    {"6M", 50000000},     {"5M", 54000001},
      {"4M", 70000000},    {"2M", 144000000},   {"1.25M", 222000000}, {"70CM", 420000000},
      {"33CM", 902000000}, {"23CM", 1240000000}};
  const std::string up = ToUpper(band);
  for (const auto& b : kAdifBands)
    if (up == b.name) return b.hz;
  return 0;
}

std::string Two(int v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", v);
  return b;
}

void AddField(std::string& s, const char* tag, const std::string& value) {
  if (value.empty()) return;
  s += '<';
  s += tag;
  s += ':';
  s += std::to_string(value.size());
  s += '>';
  s += value;
  s += ' ';
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!IsDigit(c)) return false;
  return true;
}

// The contest tag at the end of a record text: "... [CQ WW RTTY]" -> "CQ WW RTTY".
std::string ContestTag(std::string_view text) {
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  if (text.empty() || text.back() != ']') return {};
  const size_t open = text.rfind(" [");
  if (open == std::string_view::npos) return {};
  return std::string(text.substr(open + 2, text.size() - open - 3));
}

std::string WithoutTag(std::string comment, const std::string& tag) {
  if (tag.empty()) return comment;
  const std::string t = "[" + tag + "]";
  const size_t p = comment.rfind(t);
  if (p != std::string::npos) comment.erase(p, t.size());
  while (!comment.empty() && IsSpace(comment.back())) comment.pop_back();
  return comment;
}

std::string ToCrLf(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::string DupKey(const QsoRecord& r) {
  char b[64];
  std::snprintf(b, sizeof b, "|%04d%02d%02d%02d%02d|%d|", r.when.year, r.when.month, r.when.day,
                r.when.hour, r.when.minute, BandOf(r.frequency));
  std::string mode = r.mode;
  while (!mode.empty() && mode.back() == ' ') mode.pop_back();
  return ToUpper(r.call) + b + mode;
}

}  // namespace

std::pair<std::string, std::string> Adif3Mode(std::string_view code, std::string_view text) {
  std::string c(code);
  while (!c.empty() && c.back() == ' ') c.pop_back();
  if (c == "PSK") {
    const std::string up = UpperText(text);
    const bool qpsk = up.find(" QPSK") != std::string::npos;
    return {"PSK", qpsk ? "QPSK31" : "PSK31"};
  }
  if (c == "FSK") return {"PSK", "FSK31"};
  if (c == "AX25") return {"PKT", ""};
  if (c == "PACT") return {"PAC", ""};
  if (c == "HELL") return {"HELL", "FMHELL"};
  if (c == "MTTY") return {"RTTY", ""};
  return {c, ""};  // CW, SSB, RTTY, SSTV, FAX
}

std::string Adif3Band(int32_t hz) {
  const int b = BandOf(hz);
  return b < 0 ? std::string() : std::to_string(kBands[static_cast<size_t>(b)].metres) + "m";
}

std::string Adif3Header(int64_t nowUtc) {
  const QsoTime t = QsoTimeFromEpoch(nowUtc, true);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d %02d%02d%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  std::string h = "ADIF 3 export of the log\n";
  h += "<ADIF_VER:5>3.1.4\n<PROGRAMID:4>Vexa\n";
  h += "<CREATED_TIMESTAMP:15>";
  h += stamp;
  h += "\n<EOH>\n";
  return h;
}

std::string Adif3Record(const QsoRecord& r, std::string_view text, std::string_view contestName,
                        const ContestIds& ids) {
  std::string s;
  AddField(s, "CALL", r.call);
  AddField(s, "QSO_DATE", std::to_string(r.when.year) + Two(r.when.month) + Two(r.when.day));
  AddField(s, "TIME_ON", Two(r.when.hour) + Two(r.when.minute) + Two(r.when.second));
  AddField(s, "BAND", Adif3Band(r.frequency));
  if (r.frequency > 0) {
    char f[32];
    std::snprintf(f, sizeof f, "%d.%06d", r.frequency / 1000000, r.frequency % 1000000);
    AddField(s, "FREQ", f);
  }
  const auto [mode, submode] = Adif3Mode(r.mode, text);
  AddField(s, "MODE", mode);
  AddField(s, "SUBMODE", submode);
  AddField(s, "RST_SENT", r.rstSent);
  AddField(s, "RST_RCVD", r.rstReceived);
  AddField(s, AllDigits(r.exchangeSent) ? "STX" : "STX_STRING", r.exchangeSent);
  AddField(s, AllDigits(r.exchangeReceived) ? "SRX" : "SRX_STRING", r.exchangeReceived);
  if (!contestName.empty())
    AddField(s, "CONTEST_ID", ids.toId ? ids.toId(contestName) : std::string(contestName));
  AddField(s, "COMMENT", WithoutTag(r.comment, std::string(contestName)));
  s += "<EOR>\n";
  return s;
}

int ExportAdif3(const std::string& workDir, platform::Prompt& prompt, const ContestIds& ids,
                int64_t nowUtc, int* written) {
  std::string bytes;
  if (ReadLogBytes(workDir + "/" + kLogFileName, bytes) != kLogOk) {
    prompt.Message("Can't open log file", "Error", platform::PromptIcon::Error);
    return kExportNoLog;
  }
  std::string out = Adif3Header(nowUtc);
  int count = 0;
  for (const LogFileRecord& rec : SplitLogRecords(bytes)) {
    QsoRecord r;
    if (ParseQsoText(rec.text, r) != kQsoOk) {
      if (!rec.text.empty() && rec.text[0] != ';')
        prompt.Message("Not parsed:\r\n" + rec.text, "", platform::PromptIcon::Warning);
      continue;
    }
    out += Adif3Record(r, rec.text, ContestTag(rec.text), ids);
    ++count;
  }
  const std::string path = workDir + "/" + kAdif3FileName;
  std::string error;
  if (WriteFileAtomic(path, ToCrLf(out), &error) != kLogOk) {
    prompt.Message(std::string("Cannot write ") + kAdif3FileName + " (" + error + ")", "Error",
                   platform::PromptIcon::Error);
    return kExportWriteFailed;
  }
  if (written) *written = count;
  return kExportOk;
}

const std::string* AdifFields::Find(std::string_view name) const {
  for (const auto& [k, v] : fields)
    if (k == name) return &v;
  return nullptr;
}

AdifReadResult ReadAdi(std::string_view s) {
  AdifReadResult res;
  AdifFields current;
  bool warnedChars = false;
  size_t i = 0;
  // Text before the first '<' is the header's free text (or nothing).
  while (i < s.size()) {
    const size_t lt = s.find('<', i);
    if (lt == std::string_view::npos) break;
    const size_t gt = s.find('>', lt);
    if (gt == std::string_view::npos) {
      res.problems.push_back("record " + std::to_string(res.records.size() + 1) +
                             ": tag not closed at the end of the file");
      break;
    }
    const std::string_view tag = s.substr(lt + 1, gt - lt - 1);
    if (StartsNoCase(tag, 0, "EOR") && tag.size() == 3) {
      if (!current.fields.empty()) res.records.push_back(std::move(current));
      current = {};
      i = gt + 1;
      continue;
    }
    if (StartsNoCase(tag, 0, "EOH") && tag.size() == 3) {
      current = {};  // header fields are not a record
      i = gt + 1;
      continue;
    }
    const size_t colon = tag.find(':');
    if (colon == std::string_view::npos || colon == 0) {
      i = lt + 1;  // a '<' in free text
      continue;
    }
    const std::string name = UpperText(tag.substr(0, colon));
    std::string_view lenText = tag.substr(colon + 1);
    const size_t colon2 = lenText.find(':');
    if (colon2 != std::string_view::npos) lenText = lenText.substr(0, colon2);
    if (!AllDigits(lenText) || lenText.size() > 9) {
      res.problems.push_back("record " + std::to_string(res.records.size() + 1) + ": field " +
                             name + " has no valid length");
      i = gt + 1;
      continue;
    }
    const size_t len = std::strtoul(std::string(lenText).c_str(), nullptr, 10);
    const size_t start = gt + 1;
    size_t take = std::min(len, s.size() - start);
    if (take < len)
      res.problems.push_back("record " + std::to_string(res.records.size() + 1) + ": field " +
                             name + " runs past the end of the file");
    // The byte count should end before a tag; when it does not, the length may count
    // characters of UTF-8 text.
    auto endsBeforeTag = [&](size_t end) {
      size_t k = end;
      while (k < s.size() && IsSpace(s[k])) ++k;
      return k >= s.size() || s[k] == '<';
    };
    if (!endsBeforeTag(start + take)) {
      size_t bytes = 0;
      size_t chars = 0;
      while (chars < len && start + bytes < s.size()) {
        const size_t n = Utf8Length(static_cast<unsigned char>(s[start + bytes]));
        bytes += n == 0 ? 1 : n;
        ++chars;
      }
      bytes = std::min(bytes, s.size() - start);
      if (bytes != take && endsBeforeTag(start + bytes)) {
        if (!warnedChars)
          res.problems.push_back("record " + std::to_string(res.records.size() + 1) +
                                 ": field lengths count characters, not bytes");
        warnedChars = true;
        take = bytes;
      }
    }
    current.fields.emplace_back(name, AsUtf8(s.substr(start, take)));
    i = start + take;
  }
  if (!current.fields.empty())
    res.problems.push_back("record " + std::to_string(res.records.size() + 1) +
                           ": no <EOR> at the end of the file; the record is left out");
  return res;
}

AdifReadResult ReadAdx(std::string_view s) {
  AdifReadResult res;
  res.adx = true;
  size_t i = 0;
  for (;;) {
    const size_t open = s.find("<RECORD>", i);
    if (open == std::string_view::npos) break;
    const size_t close = s.find("</RECORD>", open);
    if (close == std::string_view::npos) {
      res.problems.push_back("record " + std::to_string(res.records.size() + 1) +
                             ": <RECORD> not closed");
      break;
    }
    AdifFields rec;
    std::string_view body = s.substr(open + 8, close - open - 8);
    size_t k = 0;
    while (k < body.size()) {
      const size_t lt = body.find('<', k);
      if (lt == std::string_view::npos) break;
      const size_t gt = body.find('>', lt);
      if (gt == std::string_view::npos) break;
      std::string_view tag = body.substr(lt + 1, gt - lt - 1);
      if (tag.empty() || tag[0] == '/' || tag[0] == '!' || tag[0] == '?') {
        k = gt + 1;
        continue;
      }
      const bool selfClosing = tag.back() == '/';
      const size_t sp = tag.find_first_of(" \t\r\n/");
      const std::string name(tag.substr(0, sp));
      if (selfClosing) {
        k = gt + 1;
        continue;
      }
      const std::string end = "</" + name + ">";
      const size_t endAt = body.find(end, gt + 1);
      if (endAt == std::string_view::npos) {
        res.problems.push_back("record " + std::to_string(res.records.size() + 1) + ": element " +
                               name + " not closed");
        k = gt + 1;
        continue;
      }
      // APP and USERDEF elements carry their real name in an attribute; the import has no use
      // for them.
      if (name != "APP" && name != "USERDEF")
        rec.fields.emplace_back(UpperText(name),
                                DecodeEntities(AsUtf8(body.substr(gt + 1, endAt - gt - 1))));
      k = endAt + end.size();
    }
    if (!rec.fields.empty()) res.records.push_back(std::move(rec));
    i = close + 9;
  }
  return res;
}

AdifReadResult ReadAdif(std::string_view bytes) {
  bool little = true;
  if (LooksUtf16(bytes, little)) {
    const std::string utf8 = Utf16ToUtf8(bytes, little);
    AdifReadResult r = ReadAdif(utf8);
    r.problems.insert(r.problems.begin(), "the file is UTF-16 text");
    return r;
  }
  size_t k = 0;
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") k = 3;
  while (k < bytes.size() && IsSpace(bytes[k])) ++k;
  if (bytes.substr(k, 5) == "<?xml" || bytes.substr(k, 5) == "<ADX>") return ReadAdx(bytes);
  return ReadAdi(bytes);
}

bool QsoFromAdif(const AdifFields& f, const ContestIds& ids, QsoRecord& out,
                 std::string& contestName, std::string& why) {
  out = {};
  contestName.clear();
  auto get = [&](const char* n) -> std::string {
    const std::string* v = f.Find(n);
    if (!v) return {};
    std::string t = *v;
    for (char& c : t)
      if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    while (!t.empty() && t.back() == ' ') t.pop_back();
    size_t b = 0;
    while (b < t.size() && t[b] == ' ') ++b;
    return t.substr(b);
  };
  out.call = ToUpper(get("CALL"));
  if (out.call.empty()) {
    why = "no CALL";
    return false;
  }
  if (!IsCallsign(out.call)) {
    why = "CALL is not a callsign";
    return false;
  }
  const std::string date = get("QSO_DATE");
  const std::string time = get("TIME_ON");
  if (date.size() != 8 || !AllDigits(date)) {
    why = "no valid QSO_DATE";
    return false;
  }
  if ((time.size() != 4 && time.size() != 6) || !AllDigits(time)) {
    why = "no valid TIME_ON";
    return false;
  }
  out.when.year = std::atoi(date.substr(0, 4).c_str());
  out.when.month = std::atoi(date.substr(4, 2).c_str());
  out.when.day = std::atoi(date.substr(6, 2).c_str());
  out.when.hour = std::atoi(time.substr(0, 2).c_str());
  out.when.minute = std::atoi(time.substr(2, 2).c_str());
  out.when.second = time.size() == 6 ? std::atoi(time.substr(4, 2).c_str()) : 0;
  out.when.utc = true;
  if (out.when.month < 1 || out.when.month > 12 || out.when.day < 1 || out.when.day > 31 ||
      out.when.hour > 23 || out.when.minute > 59 || out.when.second > 59) {
    why = "date or time out of range";
    return false;
  }
  // Without a usable FREQ the contact is logged at the lower edge of its BAND, and the comment
  // says so.
  const std::string freq = get("FREQ");
  char* end = nullptr;
  const double mhz = freq.empty() ? 0.0 : std::strtod(freq.c_str(), &end);
  bool bandOnly = false;
  // Some programs write FREQ in kilohertz: above the 23 cm band (1300 MHz) a value is read as
  // kilohertz, which puts 7200 at 7.2 MHz.
  const double mhzUsed = mhz > 1300.0 ? mhz / 1000.0 : mhz;
  if (freq.empty() || end == nullptr || *end != '\0' || !(mhzUsed > 0) || mhzUsed > 2147.0) {
    out.frequency = BandLowEdgeHz(get("BAND"));
    if (out.frequency == 0) {
      why = freq.empty() ? "no FREQ or BAND" : "FREQ is not a frequency and there is no BAND";
      return false;
    }
    bandOnly = true;
  } else {
    out.frequency = static_cast<int32_t>(std::llround(mhzUsed * 1e6));
  }

  const std::string mode = ToUpper(get("MODE"));
  const std::string sub = ToUpper(get("SUBMODE"));
  std::string word;
  if (mode == "CW" || mode == "RTTY" || mode == "SSB" || mode == "SSTV" || mode == "FAX" ||
      mode == "HELL" || mode == "MTTY")
    word = mode;
  else if (mode == "USB" || mode == "LSB")
    word = "SSB";
  else if (mode == "PKT")
    word = "AX25";
  else if (mode == "PAC" || mode == "PACTOR")
    word = "PACTOR";
  else if (mode == "PSK31" || (mode == "PSK" && (sub == "PSK31" || sub.empty())))
    word = "PSK31";
  else if (mode == "QPSK31" || (mode == "PSK" && sub == "QPSK31"))
    word = "QPSK";
  else if (mode == "FSK31" || (mode == "PSK" && sub == "FSK31"))
    word = "FSK31";
  std::string modeComment;
  if (word.empty() && !mode.empty()) modeComment = sub.empty() ? mode : sub;
  out.mode = ModeCodeOfWord(word);

  out.rstSent = get("RST_SENT");
  out.rstReceived = get("RST_RCVD");
  out.exchangeSent = get("STX_STRING");
  if (out.exchangeSent.empty()) out.exchangeSent = get("STX");
  out.exchangeReceived = get("SRX_STRING");
  if (out.exchangeReceived.empty()) out.exchangeReceived = get("SRX");
  // Reports and exchanges are single tokens of the record grammar.
  for (std::string* t : {&out.rstSent, &out.rstReceived, &out.exchangeSent, &out.exchangeReceived})
    for (char& c : *t)
      if (c == ' ' || c == '/' || c == '&') c = '-';
  const std::string id = get("CONTEST_ID");
  if (!id.empty()) contestName = ids.toName ? ids.toName(id) : std::string();
  std::string comment = modeComment;
  if (bandOnly) comment += (comment.empty() ? "" : " ") + std::string("(band only)");
  for (const char* n : {"NAME", "QTH", "COMMENT"}) {
    const std::string v = get(n);
    if (v.empty()) continue;
    if (!comment.empty()) comment += ' ';
    comment += v;
  }
  if (!id.empty() && contestName.empty()) comment += (comment.empty() ? "" : " ") + id;
  out.comment = comment;
  why.clear();
  return true;
}

int ImportAdifBytes(std::string_view adif, const std::string& logPath, const ContestIds& ids,
                    ImportReport& report) {
  report = {};
  const AdifReadResult read = ReadAdif(adif);
  report.read = static_cast<int>(read.records.size());
  report.problems = read.problems;
  if (read.records.empty()) return kImportNoRecords;

  std::string log;
  std::string error;
  if (ReadLogBytes(logPath, log, &error) != kLogOk) log.clear();  // a missing log is a new one
  std::set<std::string> seen;
  for (const LogFileRecord& rec : SplitLogRecords(log)) {
    QsoRecord r;
    if (ParseQsoText(rec.text, r) == kQsoOk) seen.insert(DupKey(r));
  }
  std::string added;
  for (size_t n = 0; n < read.records.size(); ++n) {
    QsoRecord r;
    std::string contest, why;
    const std::string* call = read.records[n].Find("CALL");
    const std::string label =
        "record " + std::to_string(n + 1) + (call ? " " + *call : std::string()) + ": ";
    if (!QsoFromAdif(read.records[n], ids, r, contest, why)) {
      report.skipped.push_back(label + why);
      ++report.rejected;
      continue;
    }
    std::string text = FormatEditedRecord(r, contest);
    // The log keeps QPSK under the PSK code; its mode word tells the two apart.
    const std::string* sub = read.records[n].Find("SUBMODE");
    const std::string* mode = read.records[n].Find("MODE");
    if ((sub && ToUpper(*sub) == "QPSK31") || (mode && ToUpper(*mode) == "QPSK31")) {
      const size_t at = text.find(" PSK31 ");
      if (at != std::string::npos) text.replace(at, 7, " QPSK ");
    }
    QsoRecord back;
    if (ParseQsoText(text, back) != kQsoOk || back.call != r.call ||
        back.frequency != r.frequency) {
      report.skipped.push_back(label + "the record does not read back");
      ++report.rejected;
      continue;
    }
    if (!seen.insert(DupKey(back)).second) {
      report.skipped.push_back(label + "already in the log");
      ++report.duplicates;
      continue;
    }
    added += text;
    report.added.push_back(back);
    ++report.imported;
  }
  if (report.imported == 0) return kImportOk;
  // Close a last record that lacks its blank line, so the first new one does not run into it.
  if (!log.empty()) {
    if (log.back() != '\n') log += "\r\n";
    const size_t prev = log.find_last_not_of("\r\n");
    const std::string_view tail =
        prev == std::string::npos ? std::string_view(log) : std::string_view(log).substr(prev + 1);
    if (tail.find("\n") == tail.rfind("\n")) log += "\r\n";
  }
  if (WriteFileAtomic(logPath, log + added, &error) != kLogOk) {
    report.added.clear();
    report.imported = 0;
    return kImportWriteFailed;
  }
  return kImportOk;
}

int ImportAdif(const std::string& adifPath, const std::string& logPath, const ContestIds& ids,
               ImportReport& report) {
  std::string bytes;
  if (ReadLogBytes(adifPath, bytes) != kLogOk) {
    report = {};
    return kImportCannotRead;
  }
  return ImportAdifBytes(bytes, logPath, ids, report);
}

}  // namespace vexa::log
