// WAE QTC traffic in the station core: the <SENDWAEQTC> key puts the QTC of the log's unsent
// contacts into the transmit window, the window's OK records it in "QTC.LOG" and stores the
// position and series number at once, and a received QTC is kept from the marked text.
#include <gtest/gtest.h>

#include "contest_station.h"

namespace vexa::app {
namespace {

// Three contacts, one of them with the receiver, and a damaged record between them.
const char* const kLog =
    "DL1AA 13/Nov/1999 00:01:00z 14.085.000 RTTY 599/599 001&005 [WAE RTTY]\r\n\r\n"
    "XX damaged record [WAE RTTY]\r\n\r\n"
    "DL6RAI 13/Nov/1999 00:03:00z 14.086.000 RTTY 599/599 002&012 [WAE RTTY]\r\n\r\n"
    "DA0WAE 13/Nov/1999 00:07:00z 14.087.000 RTTY 599/599 003&033 [WAE RTTY]\r\n\r\n";

// 13/Nov/1999 01:02:03 on the console's clock.
struct QtcStation : ContestStation {
  QtcStation() : ContestStation("WAE RTTY", "K1ABC", kLog, [] { return int64_t{942454923}; }) {}
};

TEST(QtcWiring, TheSendKeyPutsTheQtcIntoTheTransmitWindowAndOkRecordsIt) {
  QtcStation st;
  ConsoleSection& c = st.core->console();
  ASSERT_EQ(c.logView().RowCount(), 3);
  // Three calls on 20 m; at 01:02 the hour reaches back to 00:03.
  EXPECT_EQ(c.contestLines(), "Total 3 QSOs\r\nRate 2 QSOs/hour\r\n");
  int shown = 0;
  c.SetQtcShower([&] { ++shown; });
  c.SetEditedText(0, "<SENDWAEQTC>");
  st.core->logbook().entry().call = "DL6RAI";
  st.prompt.answers = {"DL6RAI"};
  c.PressKey(0);
  EXPECT_EQ(st.prompt.asked, "QTC: Call for QTC\r\n outside NA [DL6RAI]\n");
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(st.core->transmit().plainTransmitText().text(),
            "\r\nQTC 1/2 FOR DL6RAI\r\n0001/DL1AA/005\r\n0007/DA0WAE/033\r\n"
            "\r\nEND OF QTC 1/2\r\nCFM? BK\xAE");
  ASSERT_EQ(c.ConfirmQtcSent(), contest::kQtcOk);
  EXPECT_EQ(test::ReadFileBytes(st.dir.File("QTC.LOG")),
            "13/Nov/1999 01:02 Sent QTC 1/2 to DL6RAI\r\n0001/DL1AA/005\r\n0007/DA0WAE/033\r\n"
            "\r\n\r\n");
  // Stored at once, not only when the window goes.
  EXPECT_EQ(st.store.ReadSettingInt("Contest", "QtcPosition", 0), 4);
  EXPECT_EQ(st.store.ReadSettingInt("Contest", "QtcNumber", 0), 2);
  // Nothing is left: the key opens nothing and asks nothing.
  st.prompt.asked.clear();
  c.PressKey(0);
  EXPECT_EQ(st.prompt.asked, "");
  EXPECT_EQ(st.prompt.shown, "No contacts left for a QTC\n");
  EXPECT_EQ(shown, 1);
}

TEST(QtcWiring, AReceivedQtcIsKeptWithTheCallOfTheQsoLine) {
  QtcStation st;
  st.core->logbook().TypeEntry("dl6rai 599");
  st.prompt.answer = platform::PromptAnswer::Ok;
  ASSERT_EQ(st.core->console().SaveReceivedQtc("QTC 5/1\n0100/K1AR/017"), contest::kQtcOk);
  EXPECT_EQ(test::ReadFileBytes(st.dir.File("QTC.LOG")),
            "13/Nov/1999 01:02 Rcvd QTC from DL6RAI\r\nQTC 5/1\r\n0100/K1AR/017\r\n\r\n");
}

}  // namespace
}  // namespace vexa::app
