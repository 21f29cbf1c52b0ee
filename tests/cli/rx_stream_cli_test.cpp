// vexa-cli rx reading standard input ("-"): a recording piped in decodes exactly as the same
// file named on the command line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli.h"
#include "cli/cli_run.h"
#include "support/test_paths.h"

namespace vexa::cli {
namespace {

// Runs the command with the bytes on standard input (a pipe fed by a thread).
CliRun CliWithStdin(const test::TempDir& dir, std::vector<std::string> args,
                    const std::string& bytes) {
  int fds[2];
  if (pipe(fds) != 0) return {-1, "", "pipe"};
  const int savedStdin = dup(STDIN_FILENO);
  dup2(fds[0], STDIN_FILENO);
  close(fds[0]);
  std::thread writer([&] {
    size_t at = 0;
    while (at < bytes.size()) {
      const ssize_t w = write(fds[1], bytes.data() + at, bytes.size() - at);
      if (w <= 0) break;
      at += static_cast<size_t>(w);
    }
    close(fds[1]);
  });
  CliRun r = Cli(dir, std::move(args));
  writer.join();
  dup2(savedStdin, STDIN_FILENO);
  close(savedStdin);
  return r;
}

TEST(RxStreamCli, StandardInputDecodesLikeTheFile) {
  test::TempDir dir;
  const std::string wav = dir.File("r.wav");
  const std::string text = "RYRY CQ CQ DE VEXA 599 73";
  ASSERT_EQ(Cli(dir, {"tx", "--mode", "rtty", "--text", text, "-o", wav}).code, 0);
  const CliRun fromFile = Cli(dir, {"rx", "--mode", "rtty", wav});
  ASSERT_EQ(fromFile.code, 0) << fromFile.err;
  EXPECT_NE(fromFile.out.find(text), std::string::npos) << fromFile.out;
  const CliRun fromPipe =
      CliWithStdin(dir, {"rx", "--mode", "rtty", "-"}, test::ReadFileBytes(wav));
  ASSERT_EQ(fromPipe.code, 0) << fromPipe.err;
  EXPECT_EQ(fromPipe.out, fromFile.out);
}

TEST(RxStreamCli, GarbageOnStandardInputIsAClearError) {
  test::TempDir dir;
  const CliRun r = CliWithStdin(dir, {"rx", "--mode", "rtty", "-"}, std::string(5000, 'x'));
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.err.find("cannot read -"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace vexa::cli
