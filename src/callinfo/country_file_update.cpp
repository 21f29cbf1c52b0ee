#include "callinfo/country_file_update.h"

#include "callinfo/country_table.h"
#include "log/log_file.h"
#include "platform/http/http_client.h"

namespace vexa::callinfo {

int InstallCountryText(const std::string& text, const std::string& workDir, std::string& message) {
  CountryTable table;
  const int rc = table.LoadText(text);
  if (rc != kCountryOk || table.size() < kMinCountryEntries) {
    message = "not a country file: ";
    message += std::to_string(table.size());
    message += " entries (at least ";
    message += std::to_string(kMinCountryEntries);
    message += " expected); the old cty.dat is kept";
    return kUpdateNotCountryFile;
  }
  const std::string path = workDir + "/" + kCountryFileName;
  std::string error;
  if (log::WriteFileAtomic(path, text, &error) != log::kLogOk) {
    message = "cannot write " + path + ": " + error;
    return kUpdateWriteFailed;
  }
  message = "installed " + path + ": " + std::to_string(table.size()) + " countries, " +
            std::to_string(table.loadStats().exactCalls) + " exact calls";
  return kUpdateOk;
}

int InstallCountryFile(const std::string& sourcePath, const std::string& workDir,
                       std::string& message) {
  std::string text, error;
  if (log::ReadLogBytes(sourcePath, text, &error) != log::kLogOk) {
    message = "cannot read " + error;
    return kUpdateCannotRead;
  }
  return InstallCountryText(text, workDir, message);
}

int UpdateCountryFile(const std::string& url, const std::string& workDir, std::string& message) {
  platform::HttpResponse response;
  const int rc = platform::HttpGet(url, response);
  if (rc != platform::kHttpOk) {
    message = "download of " + url + " failed: " + response.error;
    return kUpdateDownloadFailed;
  }
  if (response.status != 200) {
    message = "download of " + url + " failed: HTTP status " + std::to_string(response.status);
    return kUpdateDownloadFailed;
  }
  return InstallCountryText(response.body, workDir, message);
}

}  // namespace vexa::callinfo
