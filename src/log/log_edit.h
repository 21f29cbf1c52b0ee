#pragma once
// Deleting and editing a logged contact as the log view does: the question, the file, the row,
// the QSO total, and the message when the file cannot be changed.
#include <string>

#include "log/log_view.h"
#include "platform/files/prompt.h"

namespace vexa::log {

// Asks "Are you sure to delete this QSO?" unless `ask` is false (the edit dialog's Delete
// button), removes the record from the file and the row from the view, and lowers the total.
// Returns a LogFileError, or kLogOk without doing anything when the operator says No.
[[nodiscard]] int DeleteLoggedQso(const std::string& logPath, const QsoRecord& record, bool ask,
                                  platform::Prompt& prompt, LogView& view, int& qsoTotal);
// Writes `edited` in place of `old` (edit writer) and refreshes the row; shows "Error while
// editing log" when that fails. Returns a LogFileError.
[[nodiscard]] int EditLoggedQso(const std::string& logPath, const QsoRecord& old,
                                const QsoRecord& edited, const std::string& contestName,
                                platform::Prompt& prompt, LogView& view);

}  // namespace vexa::log
