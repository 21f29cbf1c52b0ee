#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "console/call_alert.h"
#include "console/received_text_scan.h"

namespace vexa::console {
namespace {

std::string FixedDate(int64_t) {
  return "06.12.2026";
}

TEST(CallAlert, DuplicateShowsHowLongAgo) {
  CallAlertInput in;
  in.worked = kWorkedHere;
  in.nowUtc = 1796652309;
  in.lastQsoKnown = true;
  in.lastQsoUtc = in.nowUtc - (3600 + 5 * 60 + 30);
  EXPECT_EQ(CallAlertText(in, FixedDate), "     QSO BEFORE   1:05 ago");
  in.lastQsoUtc = in.nowUtc - 12 * 3600;
  EXPECT_EQ(CallAlertText(in, FixedDate), "     QSO BEFORE  12:00 ago");
  in.lastQsoUtc = in.nowUtc - 86400;
  EXPECT_EQ(CallAlertText(in, FixedDate), "     QSO BEFORE  06.12.2026");
  in.lastQsoUtc = in.nowUtc;  // the same moment: no time
  EXPECT_EQ(CallAlertText(in, FixedDate), "     QSO BEFORE");
  in.lastQsoKnown = false;
  EXPECT_EQ(CallAlertText(in, FixedDate), "     QSO BEFORE");
}

TEST(CallAlert, CountryAlertsPerModeClass) {
  CallAlertInput in;
  in.worked = kWorkedElsewhere;
  in.countryKnown = true;
  in.countryName = "Japan";
  in.countryTotal = 0;
  EXPECT_EQ(CallAlertText(in, FixedDate), "   !!! NEW Country (Japan) !!!");
  in.countryTotal = 1;
  in.countryBand = 1;  // CW on this band
  in.modeClass = 4;
  EXPECT_EQ(CallAlertText(in, FixedDate), " New DXCC PSK31 : Japan");
  in.countryBand = 16;
  EXPECT_EQ(CallAlertText(in, FixedDate), "");
  // PACTOR, HELL and MTTY share the bit 128.
  in.countryBand = 128;
  for (int c : {7, 8, 9}) {
    in.modeClass = c;
    EXPECT_EQ(CallAlertText(in, FixedDate), "");
  }
  in.countryBand = 64;
  in.modeClass = 8;
  EXPECT_EQ(CallAlertText(in, FixedDate), " New DXCC HELL : Japan");
  EXPECT_EQ(CountryModeBit(0), 1u);
  EXPECT_EQ(CountryModeBit(6), 64u);
  EXPECT_EQ(CountryModeBit(9), 128u);
  EXPECT_EQ(CountryModeBit(10), 0u);
}

TEST(CallAlert, NewRegionInAContestAndTheRoundupRule) {
  CallAlertInput in;
  in.worked = kCallUnknown;
  in.contest = true;
  in.hasRegion = true;
  in.regionWorked = false;
  in.countryKnown = true;
  in.countryName = "United States";
  in.countryTotal = 4;
  in.countryBand = 0;
  in.modeClass = 2;
  EXPECT_EQ(CallAlertText(in, FixedDate), "   New Region   New DXCC RTTY : United States");
  in.noCountryAlert = true;
  EXPECT_EQ(CallAlertText(in, FixedDate), "   New Region  ");
  // An unknown call gives no country alert.
  CallAlertInput unknown;
  EXPECT_EQ(CallAlertText(unknown, FixedDate), "");
}

class ScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scan.SetRegionTest([](std::string_view w) {
      return w == "NY" || w == "AL" || w == "ON" || w == "PEI" || w == "VE3";
    });
    scan.SetOwnCall("DL1ABC");
    scan.SetNames({"hans", "", "  Bob ", "AL"});
  }
  void Feed(std::string_view text, Mode mode = Mode::Rtty, bool jarts = false) {
    for (char c : text) scan.Feed(static_cast<uint8_t>(c), mode, 14080000, jarts);
  }
  ReceivedTextScan scan;
};

TEST_F(ScanTest, StatesNamesAndCalls) {
  Feed("de W2XYZ W2XYZ name bob qth NY ny-PEI dl1abc DL1ABC/P ");
  const ScanFindings& f = scan.findings();
  EXPECT_EQ(f.lastCall, "W2XYZ");  // the own call (also portable) is not taken
  EXPECT_EQ(f.lastCallHz, 14080000);
  EXPECT_EQ(f.name, "BOB");
  EXPECT_EQ(f.state, "PEI");
  EXPECT_EQ(f.alternativeState, "NY");
  // A state spelling wins over a name of two letters.
  Feed("al AL ");
  EXPECT_EQ(f.name, "BOB");
  Feed("HANS. ");
  EXPECT_EQ(f.name, "HANS");
}

TEST_F(ScanTest, NumbersFillZoneAndExchange) {
  Feed("73 5 ");
  EXPECT_EQ(scan.findings().zone, "05");
  EXPECT_EQ(scan.findings().receivedExchange, "");
  Feed("8 ");  // a zone is set: one digit no longer changes it
  EXPECT_EQ(scan.findings().zone, "05");
  Feed("14 ");
  EXPECT_EQ(scan.findings().zone, "14");
  EXPECT_EQ(scan.findings().receivedExchange, "14");
  Feed("15 ");
  EXPECT_EQ(scan.findings().zone, "15");
  EXPECT_EQ(scan.findings().receivedExchange, "14");
  Feed("123 ");
  EXPECT_EQ(scan.findings().receivedExchange, "123");
  Feed("456 ", Mode::Rtty, true);  // JARTS keeps its exchange
  EXPECT_EQ(scan.findings().receivedExchange, "123");
  Feed("4OO ");  // O for 0 in every mode
  EXPECT_EQ(scan.findings().receivedExchange, "400");
}

TEST_F(ScanTest, CutFiguresOnlyInCw) {
  Feed("TNT ", Mode::Cw);
  EXPECT_EQ(scan.findings().receivedExchange, "090");
  scan.Reset();
  Feed("TNT NAME ANT ", Mode::Rtty);
  EXPECT_EQ(scan.findings().receivedExchange, "");
  Feed("NAME TU ", Mode::Cw);  // words that merely start with cut letters
  EXPECT_EQ(scan.findings().receivedExchange, "");
  EXPECT_EQ(scan.findings().zone, "");
}

TEST_F(ScanTest, NamesFileWithBlankAndOddLines) {
  const auto path = std::filesystem::temp_directory_path() / "vexa_names_test.dat";
  {
    std::ofstream f(path, std::ios::binary);
    f << "Hans\r\n\r\n   \n"
      << std::string("ji\0m", 4) << "\n"
      << std::string(5000, 'x') << "\nmaria";
  }
  EXPECT_EQ(scan.LoadNames(path.string()), 4);
  EXPECT_EQ(scan.names()[0], "HANS");
  EXPECT_EQ(scan.names()[1], "JIM");
  EXPECT_EQ(scan.names()[3], "MARIA");
  std::filesystem::remove(path);
  EXPECT_EQ(scan.LoadNames(path.string()), 0);
  // Binary noise through the scan does no harm.
  for (int i = 0; i < 4096; ++i) scan.Feed(static_cast<uint8_t>(i * 37 + 11), Mode::Cw, 7000000);
}

}  // namespace
}  // namespace vexa::console
