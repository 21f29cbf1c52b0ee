// Deleting and editing a logged contact: the question, the file, the row and the message.
#include "log/log_edit.h"

#include <gtest/gtest.h>

#include "log/log_file.h"
#include "log/scripted_prompt.h"
#include "support/test_paths.h"

namespace vexa::log {
namespace {

TEST(LogEdit, DeleteAsksAndEditReportsFailures) {
  test::TempDir dir;
  const std::string path = dir.File(kLogFileName);
  const std::string a = "DL1ABC 04/Sep/2000 01:02:03z 7.001.050 RTTY\r\n\r\n";
  const std::string b = "W1AW 04/Sep/2000 01:05:03z 7.001.050 RTTY\r\n\r\n";
  test::WriteFileBytes(path, a + b);
  QsoRecord ra, rb;
  ASSERT_EQ(ParseQsoText(a, ra), kQsoOk);
  ASSERT_EQ(ParseQsoText(b, rb), kQsoOk);
  LogView view;
  view.ShowQso(ra);
  view.ShowQso(rb);
  int total = 2;
  test::ScriptedPrompt prompt;

  // No: nothing happens.
  ASSERT_EQ(DeleteLoggedQso(path, ra, true, prompt, view, total), kLogOk);
  EXPECT_EQ(prompt.questions.back(), "Are you sure to delete this QSO?");
  EXPECT_EQ(test::ReadFileBytes(path), a + b);
  EXPECT_EQ(total, 2);
  prompt.answers.push_back(platform::PromptAnswer::Yes);
  ASSERT_EQ(DeleteLoggedQso(path, ra, true, prompt, view, total), kLogOk);
  EXPECT_EQ(test::ReadFileBytes(path), b);
  EXPECT_EQ(view.RowCount(), 1);
  EXPECT_EQ(total, 1);

  QsoRecord edited = rb;
  edited.rstSent = "599";
  edited.rstReceived = "589";
  edited.when.second = 9;
  ASSERT_EQ(EditLoggedQso(path, rb, edited, "", prompt, view), kLogOk);
  EXPECT_EQ(test::ReadFileBytes(path), "W1AW 04/Sep/2000 01:05:09z 7.001.050 RTTY 599/589\r\n\r\n");
  EXPECT_EQ(view.Row(0).rstReceived, "589");
  // The old record is gone now: editing it again fails with the message.
  EXPECT_EQ(EditLoggedQso(path, rb, edited, "", prompt, view), kLogNotFound);
  ASSERT_FALSE(prompt.messages.empty());
  EXPECT_EQ(prompt.messages.back(), "Error while editing log");
}

}  // namespace
}  // namespace vexa::log
