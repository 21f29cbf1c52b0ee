#include "log/log_export.h"

#include <cstdio>

#include "log/band_table.h"
#include "log/log_file.h"

namespace vexa::log {
namespace {

void AddField(std::string& s, const char* tag, const std::string& value,
              const char* type = nullptr) {
  s += '<';
  s += tag;
  s += ':';
  s += std::to_string(value.size());
  if (type) {
    s += ':';
    s += type;
  }
  s += '>';
  s += value;
}

std::string Two(int v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", v);
  return b;
}

std::string CsvField(const std::string& v) {
  if (v.find_first_of(";\"\r\n") == std::string::npos) return v;
  std::string q = "\"";
  for (char c : v) {
    if (c == '"') q += '"';
    q += c;
  }
  q += '"';
  return q;
}

std::string ToCrLf(const std::string& s) {
  std::string out;
  out.reserve(s.size() + s.size() / 16);
  for (char c : s) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

using Formatter = std::string (*)(const QsoRecord&);

int Export(const std::string& workDir, const char* outName, const std::string& header,
           Formatter format, platform::Prompt& prompt, int* written) {
  const std::string logPath = workDir + "/" + kLogFileName;
  std::string bytes;
  if (ReadLogBytes(logPath, bytes) != kLogOk) {
    prompt.Message("Can't open log file", "Error", platform::PromptIcon::Error);
    return kExportNoLog;
  }
  std::string out = header;
  int count = 0;
  for (const LogFileRecord& rec : SplitLogRecords(bytes)) {
    QsoRecord r;
    if (ParseQsoText(rec.text, r) != kQsoOk) {
      if (!rec.text.empty() && rec.text[0] != ';')
        prompt.Message("Not parsed:\r\n" + rec.text, "", platform::PromptIcon::Warning);
      continue;
    }
    out += format(r);
    ++count;
  }
  const std::string outPath = workDir + "/" + outName;
  std::string error;
  if (WriteFileAtomic(outPath, ToCrLf(out), &error) != kLogOk) {
    std::string msg = "Cannot write ";
    msg += outName;
    msg += " (";
    msg += outPath;
    msg += ")\r\n";
    msg += error;
    prompt.Message(msg, "Error", platform::PromptIcon::Error);
    return kExportWriteFailed;
  }
  if (written) *written = count;
  std::string done = "Your log is converted to ";
  done += outName;
  prompt.Message(done, "", platform::PromptIcon::Information);
  return kExportOk;
}

}  // namespace

std::string AdifHeader() {
  return "Vexa v 1.45 log file exported to ADIF\n<ADIF_VER:4>1.00\n<EOH>\n";
}

std::string AdifRecord(const QsoRecord& r) {
  std::string s;
  AddField(s, "CALL", r.call);
  const QsoTime& t = r.when;
  AddField(s, "TIME_ON", Two(t.hour) + Two(t.minute) + Two(t.second));
  char date[16];
  std::snprintf(date, sizeof date, "%04d%02d%02d", t.year % 10000, t.month, t.day);
  AddField(s, "QSO_DATE", date);
  char freq[32];
  std::snprintf(freq, sizeof freq, "%12.6f", r.frequency * 0.000001);
  std::string f = freq;
  f.erase(0, f.find_first_not_of(' '));
  AddField(s, "FREQ", f);
  const int band = BandOf(r.frequency);
  if (band >= 0) {
    std::string b = std::to_string(kBands[static_cast<size_t>(band)].metres);
    b += 'M';
    AddField(s, "BAND", b);
  }
  std::string mode = r.mode;
  while (!mode.empty() && mode.back() == ' ') mode.pop_back();
  AddField(s, "MODE", mode);
  AddField(s, "RST_SENT", r.rstSent);
  AddField(s, "RST_RCVD", r.rstReceived);
  AddField(s, "COMMENT", r.comment);
  if (!r.exchangeSent.empty() || !r.exchangeReceived.empty()) {
    AddField(s, "STX", r.exchangeSent, "C");
    AddField(s, "SRX", r.exchangeReceived, "C");
  }
  s += "<EOR>\n";
  return s;
}

std::string CsvLine(const QsoRecord& r) {
  const QsoTime& t = r.when;
  char when[40];
  std::snprintf(when, sizeof when, "%04d-%02d-%02d %02d:%02d:%02d", t.year % 10000, t.month, t.day,
                t.hour, t.minute, t.second);
  std::string s = CsvField(r.call);
  s += ';';
  s += when;
  s += ';';
  s += std::to_string(r.frequency);
  s += ';';
  for (const std::string* f :
       {&r.mode, &r.rstSent, &r.rstReceived, &r.comment, &r.exchangeSent, &r.exchangeReceived}) {
    s += CsvField(*f);
    s += ';';
  }
  s += '\n';
  return s;
}

int ExportAdif(const std::string& workDir, platform::Prompt& prompt, int* written) {
  return Export(workDir, kAdifFileName, AdifHeader(), AdifRecord, prompt, written);
}

int ExportCsv(const std::string& workDir, platform::Prompt& prompt, int* written) {
  return Export(workDir, kCsvFileName, std::string(), CsvLine, prompt, written);
}

}  // namespace vexa::log
