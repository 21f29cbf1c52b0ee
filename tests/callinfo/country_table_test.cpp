// The country database against the real country files (current, old format and big) and against
// small hand-made files for the rules: overrides, exact calls, designators, damaged files.
#include "callinfo/country_table.h"

#include <gtest/gtest.h>

#include "support/test_paths.h"

namespace vexa::callinfo {
namespace {

struct Expect {
  const char* call;
  const char* name;
  const char* prefix;
  const char* continent;
  int cq, itu;
};

void CheckLookups(CountryTable& t, std::initializer_list<Expect> cases) {
  for (const Expect& e : cases) {
    CountryInfo info;
    const int n = t.LookupCountry(e.call, &info);
    ASSERT_GE(n, 0) << e.call;
    EXPECT_EQ(info.index, n);
    EXPECT_EQ(info.name, e.name) << e.call;
    EXPECT_EQ(info.primaryPrefix, e.prefix) << e.call;
    EXPECT_EQ(info.continent, e.continent) << e.call;
    EXPECT_EQ(info.cqZone, e.cq) << e.call;
    EXPECT_EQ(info.ituZone, e.itu) << e.call;
  }
}

TEST(CountryTableRealFile, FindsWellKnownCalls) {
  VEXA_REQUIRE_TESTDATA("cty/cty.dat");
  CountryTable t;
  ASSERT_EQ(t.LoadCountryFile(test::TestDataPath("cty/cty.dat")), kCountryOk);
  EXPECT_EQ(t.size(), 346);
  EXPECT_EQ(t.loadStats().badHeaders, 0);
  EXPECT_EQ(t.loadStats().exactCalls, 2474);
  CheckLookups(t, {
                      {"DL1ABC", "Fed. Rep. of Germany", "DL", "EU", 14, 28},
                      {"w1aw", "United States", "K", "NA", 5, 8},
                      {"JA1XYZ", "Japan", "JA", "AS", 25, 45},
                      {"VE3ABC", "Canada", "VE", "NA", 5, 9},
                      {"VE2XYZ", "Canada", "VE", "NA", 5, 4},                    // VE2[4]
                      {"UI9XA", "European Russia", "UA", "EU", 17, 20},          // UI9X(17)[20]
                      {"1A0KM", "Sov Mil Order of Malta", "1A", "EU", 15, 28},   // first entry
                      {"ZS8Z", "Pr. Edward & Marion Is.", "ZS8", "AF", 38, 57},  // last entry
                      {"W1AW/P", "United States", "K", "NA", 5, 8},
                      {"DL/W1AW", "Fed. Rep. of Germany", "DL", "EU", 14, 28},
                      {"W1AW/VE3", "Canada", "VE", "NA", 5, 9},
                      {"VERSION", "ITU HQ", "4U1I", "EU", 14, 28},  // exact entry
                      {"VER20260325", "Canada", "VE", "NA", 5, 9},  // exact entry
                  });
  // Exact entries with their own zones win over the prefix: =AA0BY(3)[6] under K.
  CheckLookups(t, {{"AA0BY", "United States", "K", "NA", 3, 6},
                   {"AA0BX", "United States", "K", "NA", 5, 8}});
  EXPECT_EQ(t.LookupCountry("Q1ABC"), -1);
  EXPECT_EQ(t.LookupCountry(""), -1);
}

TEST(CountryTableRealFile, OldFormatGivesTheSameCountries) {
  VEXA_REQUIRE_TESTDATA("cty/cty-3510-old-format.dat");
  CountryTable t;
  ASSERT_EQ(t.LoadCountryFile(test::TestDataPath("cty/cty-3510-old-format.dat")), kCountryOk);
  EXPECT_EQ(t.size(), 346);
  EXPECT_EQ(t.loadStats().exactCalls, 0);
  CheckLookups(t, {
                      {"DL1ABC", "Fed. Rep. of Germany", "DL", "EU", 14, 28},
                      {"W1AW", "United States", "K", "NA", 5, 8},
                      {"VE3ABC", "Canada", "VE", "NA", 5, 9},
                      {"VERSION", "Morocco", "CN", "AF", 33, 37},  // a plain prefix here
                  });
}

TEST(CountryTableRealFile, BigFileAnswersItsOwnInstallationChecks) {
  VEXA_REQUIRE_TESTDATA("cty/cty-big.dat");
  CountryTable t;
  ASSERT_EQ(t.LoadCountryFile(test::TestDataPath("cty/cty-big.dat")), kCountryOk);
  // The lookups the big file's documentation gives to check an installation.
  CountryInfo info;
  ASSERT_GE(t.LookupCountry("OR4TN", &info), 0);
  EXPECT_EQ(info.name, "Antarctica");
  ASSERT_GE(t.LookupCountry("MR6TMS", &info), 0);
  EXPECT_EQ(info.name, "Scotland");
  ASSERT_GE(t.LookupCountry("LW7DQQ/Y", &info), 0);
  EXPECT_EQ(info.name, "Argentina");
  EXPECT_EQ(info.ituZone, 16);
  ASSERT_GE(t.LookupCountry("UI9XA", &info), 0);
  EXPECT_EQ(info.name, "European Russia");
  ASSERT_GE(t.LookupCountry("ZS85SARL", &info), 0);
  EXPECT_EQ(info.name, "South Africa");
}

TEST(CountryTableRealFile, VkCallAreasMoveThePosition) {
  VEXA_REQUIRE_TESTDATA("cty/cty.dat");
  CountryTable t;
  ASSERT_EQ(t.LoadCountryFile(test::TestDataPath("cty/cty.dat")), kCountryOk);
  CountryInfo info;
  ASSERT_GE(t.LookupCountry("VK2ABC", &info), 0);
  EXPECT_DOUBLE_EQ(info.latitude, -33.88);
  EXPECT_DOUBLE_EQ(info.longitude, 151.17);
  ASSERT_GE(t.LookupCountry("VK8XX", &info), 0);
  EXPECT_DOUBLE_EQ(info.latitude, -13.0);
  ASSERT_GE(t.LookupCountry("VK1ABC", &info), 0);  // '1' has no position of its own
  EXPECT_EQ(info.primaryPrefix, "VK");
  EXPECT_DOUBLE_EQ(info.latitude, -23.70);
  EXPECT_DOUBLE_EQ(info.longitude, 132.33);  // the file's 132.33 west-positive, negated
  ASSERT_GE(t.LookupCountry("DL1ABC", &info), 0);
  EXPECT_DOUBLE_EQ(info.longitude, 10.0);
}

TEST(CountryTableRealFile, TruncatedAndDamagedFilesLoadWhatTheyCan) {
  VEXA_REQUIRE_TESTDATA("cty/cty.dat");
  const std::string full = test::ReadFileBytes(test::TestDataPath("cty/cty.dat"));
  CountryTable t;
  // Cut in the middle of the United States prefix lines.
  const size_t cut = full.find("=AA2HJ");
  ASSERT_EQ(t.LoadText(full.substr(0, cut + 3)), kCountryOk);
  CheckLookups(t, {{"DL1ABC", "Fed. Rep. of Germany", "DL", "EU", 14, 28},
                   {"W1AW", "United States", "K", "NA", 5, 8}});
  EXPECT_EQ(t.LookupCountry("VE3ABC"), -1);

  // Binary garbage replacing the Germany header drops Germany alone.
  std::string damaged = full;
  const size_t de = damaged.find("Fed. Rep. of Germany");
  damaged.replace(de, 20, std::string("\x01\xff\xfe\x00garbage", 11));
  ASSERT_EQ(t.LoadText(damaged), kCountryOk);
  EXPECT_EQ(t.size(), 345);
  EXPECT_EQ(t.loadStats().badHeaders, 1);
  CountryInfo info;
  t.LookupCountry("DL1ABC", &info);
  EXPECT_NE(info.name, "Fed. Rep. of Germany");
  CheckLookups(t, {{"W1AW", "United States", "K", "NA", 5, 8}});

  // A printable line that is no header drops its entry the same way.
  damaged = full;
  damaged.replace(damaged.find("Fed. Rep. of Germany"), 49, "not a header at all");
  ASSERT_EQ(t.LoadText(damaged), kCountryOk);
  EXPECT_EQ(t.size(), 345);
  EXPECT_EQ(t.loadStats().badHeaders, 1);
  CheckLookups(t, {{"W1AW", "United States", "K", "NA", 5, 8}});

  EXPECT_EQ(t.LoadText(std::string("\0\0\0\xff", 4)), kCountryNoEntries);
  EXPECT_EQ(t.LookupCountry("W1AW"), -1);
}

const char* const kMini =
    "Alpha:   1:  2:  EU:  50.00:  -10.00:  -1.0:  AA:\r\n"
    "    AA,AB(3),AC[4],K4(5)[8],=AA1X(7)[9],AD{AS}<10.5/-20.25>;\r\n"
    "Bravo:   11:  12:  NA:  40.00:  80.00:  5.0:  K:\r\n"
    "\tK,\tW,AB,=AA1X,\r\n"  // tabs are not part of prefixes
    "    =AA2Y;\r\n"
    "Charlie:  21:  22:  AF:  0:  0:  0:  CC:\r\n"
    "    CC;\r\n"
    "Delta without prefixes:  1:  1:  EU:  0:  0:  0:  DD:\r\n"
    "Echo:  30:  31:  OC:  -1:  -1:  0:  EE:\r\n"
    "    EE,EF";  // truncated: no ';' and no line end

TEST(CountryTableRules, OverridesExactCallsAndFileOrder) {
  CountryTable t;
  ASSERT_EQ(t.LoadText(kMini), kCountryOk);
  ASSERT_EQ(t.size(), 4);  // Delta has no prefixes
  EXPECT_EQ(t.PrefixList(0), ",AA,AB(3),AC[4],K4(5)[8],=AA1X(7)[9],AD{AS}<10.5/-20.25>,");
  EXPECT_EQ(t.PrefixList(3), ",EE,EF,");
  EXPECT_EQ(t.loadStats().droppedEntries, 1);
  CheckLookups(t, {
                      {"AA9Z", "Alpha", "AA", "EU", 1, 2},
                      {"AB9Z", "Alpha", "AA", "EU", 3, 2},    // (cq) only; also in Bravo later
                      {"AC9Z", "Alpha", "AA", "EU", 1, 4},    // [itu] only
                      {"K4XYZ", "Alpha", "AA", "EU", 5, 8},   // K4 is longer than Bravo's K
                      {"K3XYZ", "Bravo", "K", "NA", 11, 12},  // tab-indented prefix list
                      {"W9ZZ", "Bravo", "K", "NA", 11, 12},
                      {"AA1X", "Alpha", "AA", "EU", 7, 9},   // the first exact entry wins
                      {"AA1XY", "Alpha", "AA", "EU", 1, 2},  // exact means exact
                      {"AA2Y", "Bravo", "K", "NA", 11, 12},  // exact beats the prefix AA
                      {"AA2Y/P", "Bravo", "K", "NA", 11, 12},
                      {"AD1A", "Alpha", "AA", "AS", 1, 2},   // continent override
                      {"EF1A", "Echo", "EE", "OC", 30, 31},  // truncated last line
                  });
  CountryInfo info;
  ASSERT_EQ(t.LookupCountry("AD1A", &info), 0);
  EXPECT_DOUBLE_EQ(info.latitude, 10.5);
  EXPECT_DOUBLE_EQ(info.longitude, 20.25);
  EXPECT_EQ(t.LookupCountry("DD1A"), -1);
  // The last successful lookup is remembered; a failed one does not change it.
  t.LookupCountry("K4XYZ");
  t.LookupCountry("ZZ1ZZ");
  EXPECT_EQ(t.lastCqZone(), 5);
  EXPECT_EQ(t.lastPrimaryPrefix(), "AA");

  EXPECT_EQ(t.CountryFields(2, &info), 2);
  EXPECT_EQ(info.name, "Charlie");
  EXPECT_EQ(t.CountryFields(4, &info), -1);
  EXPECT_EQ(t.CountryFields(-1, &info), -1);
}

TEST(CountryTableRules, DesignatorsReduceTheCall) {
  EXPECT_EQ(CountryTable::ReduceCall("w1aw/p"), "W1AW");
  EXPECT_EQ(CountryTable::ReduceCall("W1AW/QRP"), "W1AW");
  EXPECT_EQ(CountryTable::ReduceCall("W1AW/"), "W1AW");
  EXPECT_EQ(CountryTable::ReduceCall("W1AW/4"), "W4AW");
  EXPECT_EQ(CountryTable::ReduceCall("WB10AB/4"), "WB4AB");  // the whole digit run
  EXPECT_EQ(CountryTable::ReduceCall("RAEM/4"), "RAEM");     // no digit to replace
  EXPECT_EQ(CountryTable::ReduceCall("W1/4"), "W1");         // the run ends the call
  EXPECT_EQ(CountryTable::ReduceCall("DL/W1AW"), "DL");
  EXPECT_EQ(CountryTable::ReduceCall("W1AW/VE3"), "VE3");
  EXPECT_EQ(CountryTable::ReduceCall("VE3/W1AW/P"), "VE3");
  EXPECT_EQ(CountryTable::ReduceCall("ABC/DEF"), "ABC");  // equal length keeps the left part
  EXPECT_EQ(CountryTable::ReduceCall("/W1AW"), "/W1AW");  // no '/' after the first character
}

TEST(CountryTableRules, MissingFileMeansNoLookups) {
  test::TempDir dir;
  CountryTable t;
  EXPECT_EQ(t.LoadCountryFile(dir.File("cty.dat")), kCountryFileMissing);
  EXPECT_TRUE(t.empty());
  EXPECT_EQ(t.LookupCountry("W1AW"), -1);
}

TEST(CountryTableRules, BearingTextFollowsTheStation) {
  CountryTable t;
  t.SetStationPosition(0, 0);
  ASSERT_EQ(t.LoadText("Here:  1:  1:  EU:  45.0:  -90.0:  0:  HH:\n    HH;\n"), kCountryOk);
  CountryInfo info;
  ASSERT_EQ(t.LookupCountry("HH1A", &info), 0);
  EXPECT_EQ(info.beamText, "45");
}

}  // namespace
}  // namespace vexa::callinfo
