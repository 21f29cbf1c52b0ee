// Installing and downloading the country file: only a file that parses replaces the old one.
#include "callinfo/country_file_update.h"

#include <gtest/gtest.h>

#include "callinfo/country_table.h"
#include "callinfo/local_http_server.h"
#include "support/test_paths.h"

namespace vexa::callinfo {
namespace {

TEST(CountryFileUpdate, InstallsAFileThatParses) {
  VEXA_REQUIRE_TESTDATA("cty/cty.dat");
  test::TempDir work;
  std::string message;
  ASSERT_EQ(InstallCountryFile(test::TestDataPath("cty/cty.dat"), work.path(), message), kUpdateOk);
  EXPECT_NE(message.find("346 countries"), std::string::npos) << message;
  EXPECT_EQ(test::ReadFileBytes(work.File(kCountryFileName)),
            test::ReadFileBytes(test::TestDataPath("cty/cty.dat")));

  // Something else is refused and the installed file stays.
  test::WriteFileBytes(work.File("junk.dat"), "<html>Not found</html>\n");
  EXPECT_EQ(InstallCountryFile(work.File("junk.dat"), work.path(), message), kUpdateNotCountryFile);
  EXPECT_EQ(test::ReadFileBytes(work.File(kCountryFileName)),
            test::ReadFileBytes(test::TestDataPath("cty/cty.dat")));
  EXPECT_EQ(InstallCountryFile(work.File("none.dat"), work.path(), message), kUpdateCannotRead);
}

TEST(CountryFileUpdate, DownloadsOverHttp) {
  VEXA_REQUIRE_TESTDATA("cty/cty-3510-old-format.dat");
  const std::string file = test::ReadFileBytes(test::TestDataPath("cty/cty-3510-old-format.dat"));
  test::LocalHttpServer server(
      {{"/cty/cty.dat", {200, file}}, {"/broken", {200, file.substr(0, 2000)}}});
  ASSERT_TRUE(server.ok());
  test::TempDir work;
  std::string message;
  ASSERT_EQ(UpdateCountryFile(server.Url("/cty/cty.dat"), work.path(), message), kUpdateOk)
      << message;
  CountryTable t;
  ASSERT_EQ(t.LoadCountryFile(work.File(kCountryFileName)), kCountryOk);
  EXPECT_EQ(t.size(), 346);

  // A truncated download (few entries), a 404 and a dead server leave the file alone.
  EXPECT_EQ(UpdateCountryFile(server.Url("/broken"), work.path(), message), kUpdateNotCountryFile);
  EXPECT_EQ(UpdateCountryFile(server.Url("/missing"), work.path(), message), kUpdateDownloadFailed);
  EXPECT_NE(message.find("404"), std::string::npos);
  EXPECT_EQ(UpdateCountryFile("http://127.0.0.1:1/cty.dat", work.path(), message),
            kUpdateDownloadFailed);
  EXPECT_EQ(test::ReadFileBytes(work.File(kCountryFileName)), file);
}

}  // namespace
}  // namespace vexa::callinfo
