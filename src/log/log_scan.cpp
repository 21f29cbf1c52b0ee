#include "log/log_scan.h"

#include <cstdio>
#include <cstdlib>

#include "log/band_table.h"
#include "log/log_file.h"

namespace vexa::log {

std::string ScanProgressText(int lines) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "Scanning log: %i lines", lines);
  return buf;
}

std::string ScanErrorsText(const LogScanResult& r) {
  if (r.errors.empty()) return {};
  return "Log errors:\r\n" + r.errors;
}

LogScanResult ScanLogText(std::string_view bytes, const LogScanOptions& o, QsoSink& sink,
                          int serialCounter) {
  LogScanResult res;
  const bool contest = !o.contestName.empty();
  std::string tag;
  if (contest) {
    tag = " [";
    tag += o.contestName;
    tag += "]";
  }
  constexpr int64_t kRecentSeconds = 8 * 86400;
  std::string lastExchangeSent;
  bool any = false;
  int reported = 0;
  for (LogFileRecord& rec : SplitLogRecords(bytes)) {
    // Progress every 100 lines, as the lines go by.
    while (reported + 100 <= rec.endLine) {
      reported += 100;
      sink.ScanProgress(reported);
    }
    std::string text = std::move(rec.text);
    if (contest) {
      const size_t at = text.find(tag);
      if (at == std::string::npos) continue;
      text.erase(at, tag.size());
    }
    QsoRecord r;
    if (ParseQsoText(text, r) != kQsoOk) {
      if (!text.empty() && text[0] != ';') {
        ++res.errorCount;
        char buf[32];
        std::snprintf(buf, sizeof buf, "Line %i: ", rec.endLine);
        res.errors += buf;
        res.errors += text;
        res.errors += "\r\n";
      }
      continue;
    }
    ++res.qsoTotal;
    const int band = BandOf(r.frequency);
    const int cls = ModeClassOf(r.mode);
    if (band >= 0 && cls >= 0) sink.WorkedQso(r, band, cls);
    if (contest) {
      sink.ShowQso(r);
      sink.TallyQso(r);
    } else {
      const int64_t t = r.when.SecondsSinceEpoch() - (r.when.utc ? 0 : o.utcOffsetSeconds);
      const int64_t age = o.nowUtc - t;
      const bool recent = age < kRecentSeconds;  // future records count as recent too
      if (recent) sink.ShowQso(r);
      if (recent || o.fullScan) sink.TallyQso(r);
    }
    lastExchangeSent = r.exchangeSent;
    any = true;
  }
  int lines = 0;
  for (char c : bytes) lines += c == '\n';
  if (!bytes.empty() && bytes.back() != '\n') ++lines;
  res.lines = lines;
  res.serialCounter = serialCounter;
  if (o.serialNumbers && any) {
    const long last = std::strtol(lastExchangeSent.c_str(), nullptr, 10);
    if (last > res.serialCounter && last < 1000000) res.serialCounter = static_cast<int>(last);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%03i", res.serialCounter + 1);
    res.ownNumber = buf;
    ++res.serialCounter;
  }
  return res;
}

int ScanLogFile(const std::string& path, const LogScanOptions& options, QsoSink& sink,
                LogScanResult& result, int serialCounter) {
  result = LogScanResult();
  std::string bytes;
  if (int e = ReadLogBytes(path, bytes)) return e;
  result = ScanLogText(bytes, options, sink, serialCounter);
  return kLogOk;
}

}  // namespace vexa::log
