#include "callinfo/country_info.h"

#include "callinfo/country_file_update.h"

namespace vexa::callinfo {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 0x20) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 0x20) s.remove_suffix(1);
  return s;
}

}  // namespace

int LoadCountryFileWithHint(CountryTable& table, const std::string& workDir,
                            platform::Prompt& prompt) {
  const int rc = table.LoadCountryFile(workDir + "/" + kCountryFileName);
  if (rc == kCountryFileMissing)
    prompt.Message(kNoCountryFileHint, "Country file", platform::PromptIcon::Information);
  return rc;
}

std::string CountryInfoInput(std::string_view selection, std::string_view currentLine,
                             platform::Prompt& prompt) {
  std::string_view s = Trim(selection);
  if (!s.empty()) return std::string(s);
  std::string_view line = Trim(currentLine);
  size_t end = 0;
  while (end < line.size() && static_cast<unsigned char>(line[end]) > 0x20) ++end;
  if (end > 0) return std::string(line.substr(0, end));
  std::string typed;
  if (!prompt.AskText("DXCC INFO", "DXCC INFO", typed)) return {};
  return std::string(Trim(typed));
}

int ShowCountryInfo(const CountryTable& table, const MultiplierTally* tally,
                    std::string_view selection, std::string_view currentLine, double myLat,
                    double myLon, platform::Prompt& prompt) {
  const std::string input = CountryInfoInput(selection, currentLine, prompt);
  if (input.empty()) return 0;
  const auto texts = DxccInfoTexts(table, tally, input, myLat, myLon);
  for (const std::string& t : texts)
    prompt.Message(t, "Beaming info", platform::PromptIcon::Information);
  return static_cast<int>(texts.size());
}

}  // namespace vexa::callinfo
