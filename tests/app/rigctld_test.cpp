// Network rig control through the rig section: a scripted rig server on 127.0.0.1 (frequency
// and mode set and polled, a server that goes silent or drops the line and comes back), and
// hamlib's own rigctld with its dummy rig when it is installed.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "app/headless_runner.h"
#include "app/main_core.h"
#include "support/core_config.h"
#include "support/hamlib.h"
#include "support/line_server.h"
#include "support/test_paths.h"

extern char** environ;

namespace vexa::app {
namespace {

struct NetRig {
  test::TempDir dir;
  platform::SettingsStore store{dir.File("vexa.ini")};
  platform::FixedPrompt prompt;
  std::unique_ptr<platform::AudioBackend> audio = platform::MakeNullBackend();
  HeadlessRunner host;
  std::unique_ptr<MainCore> core;

  void Start(int port) {
    ASSERT_EQ(store.WriteSettingInt("TX1", "Type", 6), 0);
    ASSERT_EQ(store.WriteSettingInt("TX1", "ComPort", 0), 0);  // no serial port at all
    ASSERT_EQ(store.WriteSettingInt("TX1", "NetRigPort", port), 0);
    CoreConfig c = test::TestCoreConfig(store, dir.path(), prompt, *audio);
    c.openSerialPort = true;
    core = std::make_unique<MainCore>(c, platform::TraceLog(), host, kTemplateNormal);
    core->OnInitDialog();
  }
  // Runs ticks (a millisecond apart in real time) until done, at most about five seconds.
  template <typename F>
  bool Tick(F done) {
    for (int i = 0; i < 5000; ++i) {
      core->OnTimer();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
};

// A rig server that keeps a frequency and a mode, as rigctld does.
struct FakeRigctld {
  std::mutex m;
  long long freq = 14070000;
  std::string mode = "USB";
  std::atomic<bool> silent{false};
  bool ptt = false;
  test::LineServer server{[this](const std::string& l) { return Answer(l); }};
  std::string Answer(const std::string& l) {
    if (silent) return "";
    std::lock_guard lock(m);
    if (l == "f") return std::to_string(freq) + "\n";
    if (l == "m") return mode + "\n2400\n";
    if (l.rfind("F ", 0) == 0) {
      freq = std::atoll(l.c_str() + 2);
      return "RPRT 0\n";
    }
    if (l.rfind("T ", 0) == 0) {
      ptt = l[2] == '1';
      return "RPRT 0\n";
    }
    if (l.rfind("M ", 0) == 0) {
      mode = l.substr(2, l.find(' ', 2) - 2);
      return "RPRT 0\n";
    }
    return "RPRT -11\n";
  }
};

TEST(NetworkRig, SetsPollsFollowsAndReconnects) {
  FakeRigctld rig;
  ASSERT_GT(rig.server.port(), 0);
  NetRig s;
  s.Start(rig.server.port());
  auto& r = s.core->rig();
  // Connected and polled: the dial comes from the server.
  ASSERT_TRUE(s.Tick([&] { return r.answering() && r.dialHz() == 14070000; })) << r.StatusText();
  EXPECT_EQ(r.StatusText(), "rigctld");
  // The operator's frequency and the mode reach the server.
  r.SetOperatingFrequency(7041000);
  s.core->SetMode(Mode::Rtty);
  ASSERT_TRUE(s.Tick([&] {
    std::lock_guard lock(rig.m);
    return rig.freq == 7040000 && rig.mode == "PKTUSB";
  }));
  // Turned on the rig's own knob: the poll brings it in.
  {
    std::lock_guard lock(rig.m);
    rig.freq = 7043210;
  }
  ASSERT_TRUE(s.Tick([&] { return r.dialHz() == 7043210; }));
  EXPECT_EQ(s.core->receive().rigFrequency(), 7043210);
  // The rig switched to CW itself: the program follows.
  {
    std::lock_guard lock(rig.m);
    rig.mode = "CW";
  }
  ASSERT_TRUE(s.Tick([&] { return s.core->mode() == Mode::Cw; }));

  // PTT goes to the network rig with a transmission, and off after it.
  s.core->SetMode(Mode::Psk31);
  s.core->transmit().plainTransmitText().Type("x");
  s.core->transmit().ToggleTransmit();
  ASSERT_TRUE(s.core->transmit().transmitting());
  ASSERT_TRUE(s.Tick([&] {
    std::lock_guard lock(rig.m);
    return rig.ptt;
  }));
  s.core->transmit().transmitter().Abort();
  ASSERT_TRUE(s.Tick([&] {
    std::lock_guard lock(rig.m);
    return !rig.ptt;
  }));

  // The line drops: the section connects again by itself.
  const int before = rig.server.connections();
  rig.server.Drop();
  ASSERT_TRUE(s.Tick([&] { return rig.server.connections() > before && r.answering(); }))
      << r.StatusText();
  // A server that stops answering is given up and tried again.
  rig.silent = true;
  const int again = rig.server.connections();
  ASSERT_TRUE(s.Tick([&] { return rig.server.connections() > again; })) << r.StatusText();
  rig.silent = false;
  ASSERT_TRUE(s.Tick([&] { return r.answering(); }));
}

TEST(NetworkRig, NoServerIsShownAndNothingBlocks) {
  int port = 0;
  {
    test::LineServer probe([](const std::string&) { return std::string(); });
    port = probe.port();
  }
  NetRig s;
  s.Start(port);
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < 100; ++i) s.core->OnTimer();
  s.core->rig().SetOperatingFrequency(14071000);  // nowhere to send it: no wait, no crash
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
  EXPECT_FALSE(s.core->rig().answering());
  EXPECT_NE(s.core->rig().StatusText().find("127.0.0.1:" + std::to_string(port)), std::string::npos)
      << s.core->rig().StatusText();
}

TEST(NetworkRig, HamlibRigctldTakesAndReportsTheFrequency) {
  if (!test::HamlibInstalled())
    GTEST_SKIP() << "hamlib's rigctld/rigctl are not installed (Debian: libhamlib-utils)";
  test::Rigctld daemon;
  ASSERT_TRUE(daemon.ok());
  const int port = daemon.port();
  // The dummy rig on USB data, as a rig set up for PSK31 would be.
  ASSERT_TRUE(daemon.Command("M PKTUSB 0"));
  NetRig s;
  s.Start(port);
  auto& r = s.core->rig();
  ASSERT_TRUE(s.Tick([&] { return r.answering(); })) << r.StatusText();
  r.SetOperatingFrequency(10141000);  // PSK31 at 1000 Hz: dial 10.140.000
  int n = 0;
  ASSERT_TRUE(s.Tick([&] {
    return ++n % 100 == 0 && test::RigctlGet(port, "f").rfind("10140000", 0) == 0;
  })) << test::RigctlGet(port, "f")
      << " " << test::RigctlGet(port, "m");
  (void)test::RigctlGet(port, "F 18100000");
  ASSERT_TRUE(s.Tick([&] { return r.dialHz() == 18100000; }));
  s.core->SetMode(Mode::Ssb2);
  ASSERT_TRUE(
      s.Tick([&] { return ++n % 100 == 0 && test::RigctlGet(port, "m").rfind("LSB", 0) == 0; }));
}

}  // namespace
}  // namespace vexa::app
