#pragma once
// The log view as a model: one row per shown contact, eight text columns. The grid widget of
// the desktop program draws these cells; the command line and the tests read them directly.
#include <array>
#include <string>
#include <vector>

#include "log/qso_sink.h"

namespace vexa::log {

constexpr int kLogViewColumnCount = 8;
constexpr std::array<const char*, kLogViewColumnCount> kLogViewColumns = {
    "Call", "Date", "UTC", "Freq", "Mode", "Sent", "Rcvd", "Info"};

using LogViewCells = std::array<std::string, kLogViewColumnCount>;

// The cells of one contact: call; "%d/%b/%Y"; "%H:%M:%S"; "%i.%03i.%03i"; mode code; report
// sent with "-" and the sent exchange when there is one; the same for received; comment, with a
// leading blank when it begins with a digit.
LogViewCells MakeLogViewCells(const QsoRecord& r);

class LogView : public QsoSink {
 public:
  void ShowQso(const QsoRecord& r) override { rows_.push_back(r); }

  int RowCount() const { return static_cast<int>(rows_.size()); }
  const QsoRecord& Row(int row) const { return rows_.at(static_cast<size_t>(row)); }
  const std::vector<QsoRecord>& Rows() const { return rows_; }
  LogViewCells Cells(int row) const { return MakeLogViewCells(Row(row)); }
  // The row showing this contact (same call, frequency, date-time and mode), or -1.
  int FindRow(const QsoRecord& r) const;
  void RemoveRow(int row);
  void ReplaceRow(int row, const QsoRecord& r);
  void Clear() { rows_.clear(); }

 private:
  std::vector<QsoRecord> rows_;
};

}  // namespace vexa::log
