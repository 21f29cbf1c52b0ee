// The log view's columns and cell formats.
#include "log/log_view.h"

#include <gtest/gtest.h>

namespace vexa::log {
namespace {

TEST(LogView, CellsFollowTheColumnFormats) {
  QsoRecord r;
  ASSERT_EQ(ParseQsoText("DL1ABC 04/Sep/2000 01:02:03z 7.001.050 RTTY 599/579 001&023 5NN TU", r),
            kQsoOk);
  const LogViewCells c = MakeLogViewCells(r);
  EXPECT_EQ(c, (LogViewCells{"DL1ABC", "04/Sep/2000", "01:02:03", "7.001.050", "RTTY", "599-001",
                             "579-023", " 5NN TU "}));
  ASSERT_EQ(ParseQsoText("W1AW 04/Sep/2000 01:02:03z 14.000.000 CW 599/ TNX", r), kQsoOk);
  EXPECT_EQ(MakeLogViewCells(r), (LogViewCells{"W1AW", "04/Sep/2000", "01:02:03", "14.000.000",
                                               "CW  ", "599", "", "TNX "}));
  EXPECT_EQ(std::string(kLogViewColumns[2]), "UTC");
  EXPECT_EQ(std::string(kLogViewColumns[7]), "Info");
}

TEST(LogView, RowsFollowSavesEditsAndDeletes) {
  LogView v;
  QsoRecord a, b;
  ASSERT_EQ(ParseQsoText("DL1ABC 04/Sep/2000 01:02:03z 7.001.050 RTTY", a), kQsoOk);
  ASSERT_EQ(ParseQsoText("W1AW 04/Sep/2000 01:05:03z 7.001.050 RTTY", b), kQsoOk);
  v.ShowQso(a);
  v.ShowQso(b);
  EXPECT_EQ(v.FindRow(b), 1);
  QsoRecord b2 = b;
  b2.comment = "EDITED ";
  v.ReplaceRow(1, b2);
  EXPECT_EQ(v.Cells(1)[7], "EDITED ");
  v.RemoveRow(0);
  EXPECT_EQ(v.RowCount(), 1);
  EXPECT_EQ(v.FindRow(a), -1);
  v.RemoveRow(5);  // out of range: ignored
  EXPECT_EQ(v.RowCount(), 1);
}

}  // namespace
}  // namespace vexa::log
