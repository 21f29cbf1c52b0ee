#include "console/console.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "fake_console_host.h"

namespace vexa::console {
namespace {

using testing::FakeConsoleHost;

class ConsoleTest : public ::testing::Test {
 protected:
  FakeConsoleHost host;
  Console console{host};
};

TEST(ReplaceAllTest, ScansOnAfterTheReplacement) {
  std::string s = "aaa";
  EXPECT_EQ(ReplaceAll(s, "a", "aa"), 3);
  EXPECT_EQ(s, "aaaaaa");
  s = "x<F>y<";
  EXPECT_EQ(ReplaceAll(s, "<", "<TX><"), 2);
  EXPECT_EQ(s, "x<TX><F>y<TX><");
  s = "same";
  EXPECT_EQ(ReplaceAll(s, "same", "same"), 0);
  EXPECT_EQ(ReplaceAll(s, "", "x"), 0);
  EXPECT_EQ(ReplaceAll(s, "SAME", "x"), 0);  // case-sensitive
  EXPECT_EQ(s, "same");
}

TEST(CutNumberTest, ConvertsInTheFixedOrder) {
  CutNumbers cut{.short0 = true, .short1 = false, .short9 = true, .skipLeading0 = false};
  EXPECT_EQ(CutNumber("090", cut), "TNT");
  cut.skipLeading0 = true;
  EXPECT_EQ(CutNumber("090", cut), "NT");
  // The leading zeros go while more than one character remains.
  EXPECT_EQ(CutNumber("000", cut), "T");
  cut = {.short0 = false, .short1 = true, .short9 = true, .skipLeading0 = true};
  EXPECT_EQ(CutNumber("0159", cut), "A5N");
  // Only skipping the zeros is not a cut number: the text stays.
  cut = {.short0 = false, .short1 = false, .short9 = false, .skipLeading0 = true};
  EXPECT_EQ(CutNumber("001", cut), "001");
}

TEST_F(ConsoleTest, NestedKeysExpandInOnePress) {
  console.keys().texts[0] = "CQ <F2>";
  console.keys().texts[1] = "de <MYCALL>";
  console.PlayKeyText(0);
  EXPECT_EQ(host.window, "CQ de DL1ABC");
  // The shifted tokens reach the rows through their own numbering.
  console.keys().texts[12] = "S1";
  console.keys().texts[22] = "S11 <SF3>";
  host.window.clear();
  EXPECT_EQ(console.ExpandMacros("<SF11>"), "S11 S1");
}

TEST_F(ConsoleTest, SelfReferenceStopsAfterFivePasses) {
  console.keys().texts[0] = "x<F1>";
  console.PlayKeyText(0);
  EXPECT_EQ(host.window, "xxxxxx<F1>");  // the text itself, then five passes
}

TEST_F(ConsoleTest, ExplosiveNestingStaysBounded) {
  std::string all;
  for (std::string_view t : NestedKeyTokens()) all += t;
  for (auto& text : console.keys().texts) text = all + all;
  const std::string out = console.ExpandMacros("<F1>");
  EXPECT_LE(out.size(), Console::kMaxTextLength);
  EXPECT_GT(out.size(), all.size());
}

TEST_F(ConsoleTest, TxAtTheEndStartsAfterTheText) {
  console.keys().texts[0] = "CQ CQ de <MYCALL><TX>";
  console.PlayKeyText(0);
  ASSERT_EQ(host.events.size(), 1u);
  EXPECT_EQ(host.events[0], "TX after \"CQ CQ de DL1ABC\"");
  console.keys().texts[1] = "<TX>QRZ";
  console.PlayKeyText(1);
  // At the start it switches before the text goes in.
  EXPECT_EQ(host.events.back(), "TX after \"CQ CQ de DL1ABC\"");
  EXPECT_EQ(host.window, "CQ CQ de DL1ABCQRZ");
  EXPECT_EQ(host.toggles, 2);
  // A running transmission is not toggled off.
  host.running = true;
  console.PlayKeyText(0);
  EXPECT_EQ(host.toggles, 2);
}

TEST_F(ConsoleTest, TxInAFileLineWithAnUnknownMacroCarriesOn) {
  console.SendTextLine("<TX>hello <FOO> end<CR><LF>");
  EXPECT_EQ(host.toggles, 0);
  EXPECT_EQ(host.window, "hello <TX><FOO> end\r\n");
  // The same line without the unknown macro starts transmission.
  host.window.clear();
  console.SendTextLine("<TX>hello<CR><LF>");
  EXPECT_EQ(host.toggles, 1);
  EXPECT_EQ(host.window, "hello\r\n");
}

TEST_F(ConsoleTest, CutNumbersOnlyInCw) {
  host.fields[QsoField::kNr] = "090";
  host.fields[QsoField::kMyRst] = "599";
  host.fields[QsoField::kRst] = "599";
  host.cut = {.short0 = true, .short1 = false, .short9 = true, .skipLeading0 = false};
  host.mode = Mode::Cw;
  EXPECT_EQ(console.ExpandMacros("<NR> <MYRST> <RST>"), "TNT 5NN 599");
  host.cut.skipLeading0 = true;
  EXPECT_EQ(console.ExpandMacros("<NR>"), "NT");
  host.mode = Mode::Rtty;
  EXPECT_EQ(console.ExpandMacros("<NR>"), "090");
}

TEST_F(ConsoleTest, DateAndTimeComeFromOneInstant) {
  console.keys().texts[0] =
      "<GMT>|<UTC>|<TIME>|<D>|<DD>|<WDAY>|<WEEKDAY>|<M>|<MM>|<MMM>|<MONTH>|<YY>|<YYYY>|<YEAR>|"
      "<h>:<m>:<s>|<hh><mm><ss>|<DATE>";
  console.PlayKeyText(0);
  EXPECT_EQ(host.window,
            "14:05|14:05|14:05|07|07|Mon|Monday|12|12|Dec|December|26|2026|2026|14:05:09|140509|"
            "07/Dec/2026");
  EXPECT_EQ(host.timeReads, 1);
}

TEST_F(ConsoleTest, DateIgnoresTheLocaleAndDateLocalFollowsIt) {
  const std::string before = std::setlocale(LC_TIME, nullptr);
  // Whatever the process's time locale is, <DATE> keeps its English month.
  std::setlocale(LC_TIME, "");
  console.TakeTime();
  EXPECT_EQ(console.ExpandMacros("<DATE>"), "07/Dec/2026");
  std::setlocale(LC_TIME, before.c_str());

  // <DATELOCAL> and <TIMELOCAL> are the user's own formats of local time.
  std::setlocale(LC_TIME, "");
  std::tm t{};
  const std::time_t tt = static_cast<std::time_t>(host.now);
  localtime_r(&tt, &t);
  char date[128], time[128];
  std::strftime(date, sizeof date, "%x", &t);
  std::strftime(time, sizeof time, "%X", &t);
  std::setlocale(LC_TIME, "C");
  EXPECT_EQ(console.ExpandMacros("<DATELOCAL> <TIMELOCAL>"), std::string(date) + " " + time);
  // The program's own time locale comes back.
  EXPECT_STREQ(std::setlocale(LC_TIME, nullptr), "C");
  std::setlocale(LC_TIME, before.c_str());
}

TEST_F(ConsoleTest, KeyTextEndingWithASpaceIsSentWithIt) {
  console.keys().texts[3] = ToStoredForm("73 ");
  EXPECT_EQ(console.keys().texts[3], "73<SP>");
  console.PlayKeyText(3);
  EXPECT_EQ(host.window, "73 ");
}

TEST_F(ConsoleTest, UnclosedBracketIsInsertedLiterally) {
  console.keys().texts[0] = "<MYCALL> x < y <CALL";
  console.PlayKeyText(0);
  EXPECT_EQ(host.window, "DL1ABC x < y <CALL");
}

TEST_F(ConsoleTest, UnknownMacrosStayAndControlBytesAreInserted) {
  const std::string out = console.ExpandMacros("<FOO><RX><CWID><SK><VER><mycall>");
  EXPECT_EQ(out, "<FOO>\xAE\xA9\xA4Vexa 1.0<mycall>");
}

TEST_F(ConsoleTest, ActionsArePerformedOnceAndRemoved) {
  EXPECT_EQ(console.ExpandMacros("a<SAVE>b<CLEAR><NETRX><NET><TIMESTAMP><SENDWAEQTC>"), "ab");
  const std::vector<MacroAction> expected = {MacroAction::kNet,        MacroAction::kNetRx,
                                             MacroAction::kSave,       MacroAction::kClear,
                                             MacroAction::kSendWaeQtc, MacroAction::kTimeStamp};
  EXPECT_EQ(host.actions, expected);
}

TEST_F(ConsoleTest, AutoCqMacrosAndOtherKeys) {
  EXPECT_EQ(console.ExpandMacros("<ACQ>"), "");
  EXPECT_TRUE(console.autoCq().on());
  console.keys().autoCqText = "CQ";
  console.PlayKeyText(kKeyAutoCq);  // its own text leaves it on
  EXPECT_TRUE(console.autoCq().on());
  console.PlayKeyText(4);  // any other key stops it
  EXPECT_FALSE(console.autoCq().on());
  console.autoCq().Start();
  EXPECT_EQ(console.ExpandMacros("<GETCALL>"), "");
  EXPECT_FALSE(console.autoCq().on());
  EXPECT_EQ(host.actions.back(), MacroAction::kGetCall);
}

TEST_F(ConsoleTest, PhoneModesPlayTheRecordedMessage) {
  host.mode = Mode::Ssb2;
  console.keys().texts[7] = "<TX>hello";
  console.PlayKeyText(7);
  EXPECT_EQ(host.voice, std::vector<int>{7});
  EXPECT_EQ(host.window, "");
  EXPECT_EQ(host.toggles, 0);
}

TEST_F(ConsoleTest, ImdReportButtonPlaysTheLastReading) {
  host.fields[QsoField::kImd] = "IMD: -27 db";
  console.PlayKeyText(kKeyImdReport);
  EXPECT_EQ(host.window, "IMD: -27 db");
}

class ConsoleFileTest : public ConsoleTest {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("vexa_console_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
    host.folder = dir.string();
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
  }
  std::filesystem::path dir;
};

TEST_F(ConsoleFileTest, BragFileGoesBeforeTheRestOfTheKey) {
  Write("BRAG1.TXT", "rig: <MYNAME>\r\nant: dipole\n");
  console.keys().texts[0] = "Hello <BRAG1>World";
  console.PlayKeyText(0);
  EXPECT_EQ(host.window, "Hello rig: Hans\nant: dipole\nWorld");
}

TEST_F(ConsoleFileTest, MissingBragFileSendsNothingButGoes) {
  EXPECT_EQ(console.ExpandMacros("a<BRAG7>b"), "ab");
  EXPECT_EQ(host.window, "");
}

TEST_F(ConsoleFileTest, BragFileNamingItselfIsSentOnce) {
  Write("BRAG2.TXT", "loop <BRAG2>\n");
  EXPECT_EQ(console.ExpandMacros("<BRAG2>"), "");
  EXPECT_EQ(host.window, "loop \n");
}

TEST_F(ConsoleFileTest, HugeBragFileIsCutAtTheLimit) {
  std::string big;
  while (big.size() < 4 * Console::kMaxTextLength) big += "0123456789 <F1> <MYCALL>\n";
  console.keys().texts[0] = "<F1><F1>";
  Write("BRAG0.TXT", big);
  EXPECT_EQ(console.ExpandMacros("<BRAG0>"), "");
  EXPECT_GT(host.window.size(), Console::kMaxTextLength / 2);
  EXPECT_LT(host.window.size(), 64 * Console::kMaxTextLength);
}

TEST_F(ConsoleFileTest, TextFileLinesAreExpandedWholeAndBinaryBytesSurvive) {
  std::string bytes = "<TX>one<FOO>\r\n";
  bytes += std::string("b\0in\x01\xff", 6) + "\n";
  bytes += std::string(300, 'x');  // no line end: split at 255
  Write("file.txt", bytes);
  ASSERT_TRUE(console.SendTextFile((dir / "file.txt").string()));
  EXPECT_EQ(host.toggles, 0);
  ASSERT_GE(host.inserts.size(), 4u);
  EXPECT_EQ(host.inserts[0], "one<TX><FOO>\n");
  EXPECT_EQ(host.inserts[1], "bin\x01\xff\n");
  EXPECT_EQ(host.inserts[2], std::string(255, 'x'));
  EXPECT_EQ(host.inserts[3], std::string(45, 'x'));
  EXPECT_FALSE(console.SendTextFile((dir / "none.txt").string()));
}

TEST_F(ConsoleTest, AutoCqCallsAgainAtTheEleventhClockChange) {
  console.keys().autoCqText = "CQ de <MYCALL><RX>";
  console.autoCq().SetListenSeconds(10);
  console.autoCq().Start();
  console.AutoCqCall();
  EXPECT_EQ(host.toggles, 1);
  EXPECT_EQ(host.window, "CQ de DL1ABC\xAE");
  // While the call is sent nothing counts.
  host.running = true;
  for (int i = 0; i < 30; ++i) console.OnClockChange(false);
  EXPECT_EQ(host.toggles, 1);
  host.running = false;  // the transmission ended
  for (int change = 1; change <= 10; ++change) {
    console.OnClockChange(false);
    EXPECT_EQ(host.toggles, 1) << change;
  }
  console.OnClockChange(false);
  EXPECT_EQ(host.toggles, 2);
}

TEST_F(ConsoleTest, AutoCqCountsOnWhileTheTncKeysTheCw) {
  console.keys().autoCqText = "CQ<RX>";
  console.autoCq().SetListenSeconds(3);
  console.autoCq().Start();
  host.running = true;  // the keyer runs, but the controller does the sending
  host.throughTnc = true;
  for (int i = 0; i < 3; ++i) console.OnClockChange(false);
  EXPECT_EQ(host.window, "");
  console.OnClockChange(false);
  EXPECT_EQ(host.window, "CQ\xAE") << "called again while sending";
  EXPECT_EQ(host.toggles, 0) << "the keyer already runs";
}

TEST_F(ConsoleTest, AutoCqWaitsWhileARttyStationIsHeardAndWhenOff) {
  console.autoCq().SetListenSeconds(3);
  console.autoCq().Start();
  for (int i = 0; i < 20; ++i) console.OnClockChange(true);
  EXPECT_EQ(host.toggles, 0);
  // The last busy second still counted once after its reset.
  for (int i = 0; i < 2; ++i) console.OnClockChange(false);
  EXPECT_EQ(host.toggles, 0);
  console.OnClockChange(false);
  EXPECT_EQ(host.toggles, 1);
  console.autoCq().Stop();
  for (int i = 0; i < 20; ++i) console.OnClockChange(false);
  EXPECT_EQ(host.toggles, 1);
}

TEST_F(ConsoleTest, RandomKeyTextsNeverCrashAndStayBounded) {
  // Seeded texts built from macro pieces, brackets and raw bytes, in every key.
  static constexpr std::string_view kPieces[] = {"<F1>",
                                                 "<F2>",
                                                 "<SF12>",
                                                 "<F11>",
                                                 "<TX>",
                                                 "<RX>",
                                                 "<",
                                                 ">",
                                                 "<CR>",
                                                 "<LF>",
                                                 "<SP>",
                                                 "<MYCALL>",
                                                 "<NR>",
                                                 "<DATE>",
                                                 "<DATELOCAL>",
                                                 "<SAVE>",
                                                 "<ACQ>",
                                                 "<GETCALL>",
                                                 "<BRAG3>",
                                                 "x",
                                                 " ",
                                                 "\xAE",
                                                 std::string_view("\0", 1),
                                                 "<<",
                                                 ">>",
                                                 "<TX><"};
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  host.mode = Mode::Cw;
  host.cut = {true, true, true, true};
  host.fields[QsoField::kNr] = "0919";
  for (int round = 0; round < 200; ++round) {
    for (auto& text : console.keys().texts) {
      text.clear();
      const int n = static_cast<int>(next() % 12);
      for (int i = 0; i < n; ++i) text += kPieces[next() % std::size(kPieces)];
    }
    host.window.clear();
    console.PlayKeyText(static_cast<int>(next() % kKeyCount));
    EXPECT_LE(host.window.size(), 2 * Console::kMaxTextLength + 2 * 255);
  }
}

}  // namespace
}  // namespace vexa::console
