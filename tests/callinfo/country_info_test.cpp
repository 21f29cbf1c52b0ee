// The hint for a missing country file and the input of "DXCC INFO".
#include "callinfo/country_info.h"

#include <gtest/gtest.h>

#include "callinfo/country_file_update.h"
#include "log/scripted_prompt.h"
#include "support/test_paths.h"

namespace vexa::callinfo {
namespace {

TEST(CountryInfo, MissingFileGivesOneHint) {
  test::TempDir dir;
  test::ScriptedPrompt prompt;
  CountryTable t;
  EXPECT_EQ(LoadCountryFileWithHint(t, dir.path(), prompt), kCountryFileMissing);
  ASSERT_EQ(prompt.messages.size(), 1u);
  EXPECT_EQ(prompt.messages[0], kNoCountryFileHint);
  test::WriteFileBytes(dir.File(kCountryFileName), "A:  1:  2:  EU:  0:  0:  0:  AA:\n    AA;\n");
  EXPECT_EQ(LoadCountryFileWithHint(t, dir.path(), prompt), kCountryOk);
  EXPECT_EQ(prompt.messages.size(), 1u);
}

TEST(CountryInfo, InputComesFromSelectionLineOrQuestion) {
  test::ScriptedPrompt prompt;
  EXPECT_EQ(CountryInfoInput(" dl1abc ", "W1AW 599", prompt), "dl1abc");
  EXPECT_EQ(CountryInfoInput("", "  W1AW 599/579", prompt), "W1AW");
  EXPECT_TRUE(prompt.questions.empty());
  EXPECT_EQ(CountryInfoInput("", "   ", prompt), "");  // cancelled
  EXPECT_EQ(prompt.questions.back(), "DXCC INFO");
  prompt.texts["DXCC INFO"] = "VK9";
  EXPECT_EQ(CountryInfoInput("", "", prompt), "VK9");

  CountryTable t;
  ASSERT_EQ(t.LoadText("A:  1:  2:  EU:  0:  0:  0:  AA:\n    AA,AB;\nB:  3:  4:  AS:  0:  0:  0:  "
                       "BB:\n    AB(9);\n"),
            kCountryOk);
  prompt.messages.clear();
  EXPECT_EQ(ShowCountryInfo(t, nullptr, "", "ab1x", 0, 0, prompt), 2);
  ASSERT_EQ(prompt.messages.size(), 2u);
  EXPECT_EQ(prompt.messages[1].substr(0, prompt.messages[1].find(" Deg")),
            "AB1X:\r\nB (BB)\r\nAS\r\nWAZ 9\r\nITU 4\r\n");
}

}  // namespace
}  // namespace vexa::callinfo
