#include "log/log_edit.h"

#include "log/log_file.h"

namespace vexa::log {
namespace {

void ReportFailure(platform::Prompt& prompt, const char* what, const std::string& logPath, int rc,
                   const std::string& error) {
  std::string msg = what;
  if (rc != kLogNotFound) {
    msg += "\r\n(";
    msg += logPath;
    msg += ")";
    if (!error.empty()) msg += "\r\n" + error;
  }
  prompt.Message(msg, "Error", platform::PromptIcon::Error);
}

}  // namespace

int DeleteLoggedQso(const std::string& logPath, const QsoRecord& record, bool ask,
                    platform::Prompt& prompt, LogView& view, int& qsoTotal) {
  if (ask && prompt.Ask("Are you sure to delete this QSO?", "", platform::PromptButtons::YesNo,
                        platform::PromptIcon::Question) != platform::PromptAnswer::Yes)
    return kLogOk;
  std::string error;
  const int rc = DeleteQso(logPath, record, &error);
  if (rc != kLogOk) {
    ReportFailure(prompt, "Error while deleting from the log", logPath, rc, error);
    return rc;
  }
  view.RemoveRow(view.FindRow(record));
  if (qsoTotal > 0) --qsoTotal;
  return kLogOk;
}

int EditLoggedQso(const std::string& logPath, const QsoRecord& old, const QsoRecord& edited,
                  const std::string& contestName, platform::Prompt& prompt, LogView& view) {
  std::string error;
  const int rc = ReplaceQso(logPath, old, edited, contestName, &error);
  if (rc != kLogOk) {
    ReportFailure(prompt, "Error while editing log", logPath, rc, error);
    return rc;
  }
  view.ReplaceRow(view.FindRow(old), edited);
  return kLogOk;
}

}  // namespace vexa::log
