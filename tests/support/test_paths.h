#pragma once
// Locations the tests use: shared test data made by other programs (present in CI, absent in a
// user's clone: tests that need it skip with a message) and fresh temporary folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace vexa::test {

// Full path of a file under the shared test data folder.
std::string TestDataPath(const std::string& relative);
// True when the shared test data folder exists.
bool HaveTestData();

// A temporary folder, removed when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Reads a whole file as bytes ("" when it cannot be read).
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace vexa::test

// Skips the current test when the shared test data file is absent.
#define VEXA_REQUIRE_TESTDATA(rel)                                                        \
  do {                                                                                    \
    if (!std::filesystem::exists(::vexa::test::TestDataPath(rel)))                        \
      GTEST_SKIP() << "shared test data not present: " << ::vexa::test::TestDataPath(rel) \
                   << " (it comes with CI; see the README)";                              \
  } while (0)
