#pragma once
// Getting a current country file into the working folder: from a file the operator downloaded
// (`InstallCountryFile`) or straight from the publisher over HTTPS (`UpdateCountryFile`). The
// new file must parse before it replaces the old one, and the replacement is atomic.
#include <string>

namespace vexa::callinfo {

// Where the current country file is published (weekly).
constexpr const char* kDefaultCountryFileUrl = "https://www.country-files.com/cty/cty.dat";

// What to tell an operator who has no country file.
constexpr const char* kNoCountryFileHint =
    "No country file (cty.dat) in the working folder: countries, zones and bearings are not "
    "shown. Get the current one with \"vexa-cli cty update\", or download cty.dat yourself and "
    "run \"vexa-cli cty install FILE\".";

enum CountryFileUpdateError : int {
  kUpdateOk = 0,
  kUpdateCannotRead = 1,      // the source file cannot be read
  kUpdateNotCountryFile = 2,  // the text holds too few country entries
  kUpdateWriteFailed = 3,     // the working folder could not be written; the old file stays
  kUpdateDownloadFailed = 4,  // no HTTP response, or a status other than 200
};

// Fewest entries a file must hold to be taken for a country file (the real ones hold ~340).
constexpr int kMinCountryEntries = 100;

// Checks `text` and writes it as "cty.dat" in `workDir`. `message` receives a one-line report.
[[nodiscard]] int InstallCountryText(const std::string& text, const std::string& workDir,
                                     std::string& message);
[[nodiscard]] int InstallCountryFile(const std::string& sourcePath, const std::string& workDir,
                                     std::string& message);
[[nodiscard]] int UpdateCountryFile(const std::string& url, const std::string& workDir,
                                    std::string& message);

}  // namespace vexa::callinfo
