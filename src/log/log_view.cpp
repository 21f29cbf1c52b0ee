#include "log/log_view.h"

namespace vexa::log {

LogViewCells MakeLogViewCells(const QsoRecord& r) {
  LogViewCells c;
  c[0] = r.call;
  c[1] = FormatQsoDate(r.when);
  c[2] = FormatQsoClock(r.when);
  c[3] = FormatFrequency(r.frequency);
  c[4] = r.mode;
  c[5] = r.rstSent;
  if (!r.exchangeSent.empty()) {
    c[5] += '-';
    c[5] += r.exchangeSent;
  }
  c[6] = r.rstReceived;
  if (!r.exchangeReceived.empty()) {
    c[6] += '-';
    c[6] += r.exchangeReceived;
  }
  // A comment that begins with a digit gets a leading blank.
  if (!r.comment.empty() && r.comment[0] >= '0' && r.comment[0] <= '9') c[7] += ' ';
  c[7] += r.comment;
  return c;
}

int LogView::FindRow(const QsoRecord& r) const {
  for (size_t i = 0; i < rows_.size(); ++i) {
    const QsoRecord& x = rows_[i];
    if (x.call == r.call && x.frequency == r.frequency && x.when == r.when && x.mode == r.mode)
      return static_cast<int>(i);
  }
  return -1;
}

void LogView::RemoveRow(int row) {
  if (row >= 0 && row < RowCount()) rows_.erase(rows_.begin() + row);
}

void LogView::ReplaceRow(int row, const QsoRecord& r) {
  if (row >= 0 && row < RowCount()) rows_[static_cast<size_t>(row)] = r;
}

}  // namespace vexa::log
