#include "support/test_paths.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <vector>

// Leak checking in the test programs: fontconfig (behind Qt's fonts) keeps caches for the life of
// the process; they are not leaks of ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\n";
}

namespace vexa::test {

std::string TestDataPath(const std::string& relative) {
  return std::string(VEXA_TESTDATA_DIR) + "/" + relative;
}

bool HaveTestData() {
  return std::filesystem::is_directory(VEXA_TESTDATA_DIR);
}

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "vexa-test-XXXXXX").string();
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  const char* p = mkdtemp(buf.data());
  path_ = p != nullptr ? p : tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace vexa::test
