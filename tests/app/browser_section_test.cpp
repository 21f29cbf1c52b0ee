// The signal browser inside the station: the received audio reaches it through the core while
// it is open, it browses the kind of signal the operating mode wants, and a line tunes the main
// receiver.
#include "app/browser_section.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/headless_runner.h"
#include "app/main_core.h"
#include "platform/audio/audio_backend.h"
#include "support/core_config.h"
#include "support/psk31_signal.h"
#include "support/script_prompt.h"
#include "support/test_paths.h"

namespace vexa::app {
namespace {

const std::vector<std::pair<double, std::string>> kBand = {
    {700, "CQ CQ DE K1ABC K1ABC PSE K"},
    {1200, "W2XYZ DE G3ABC UR RST 599 NAME JOHN"},
    {1800, "TEST DE DL1AAA DL1AAA TEST"}};

// A station reading a WAV file through the file backend, block by block as the main loop does.
class FileStation {
 public:
  explicit FileStation(const std::vector<int16_t>& audio) {
    const std::string in = dir.File("band.wav");
    std::string error;
    EXPECT_TRUE(platform::WriteWavFile(in, audio, error)) << error;
    platform::FileAudioOptions o;
    o.inputPath = in;
    backend = platform::MakeFileBackend(o, error);
    EXPECT_NE(backend, nullptr) << error;
    blocks = audio.size() / 2048;
    core = std::make_unique<MainCore>(test::TestCoreConfig(store, dir.path(), prompt, *backend),
                                      platform::TraceLog(), runner, kTemplateNormal);
    core->OnInitDialog();
  }
  // Takes every block of the file, with the ticks in between.
  void Run() {
    size_t taken = 0;
    for (int i = 0; i < 4000 && taken < blocks; ++i) {
      taken += static_cast<size_t>(core->OnInputBlocks());
      core->OnTimer();
    }
    EXPECT_GE(taken, blocks);
  }

  test::TempDir dir;
  platform::SettingsStore store{dir.File("vexa.ini")};
  test::ScriptPrompt prompt;
  std::unique_ptr<platform::AudioBackend> backend;
  HeadlessRunner runner;
  std::unique_ptr<MainCore> core;
  size_t blocks = 0;
};

TEST(BrowserSection, FindsEveryStationOfTheBandAndALineTunesTheReceiver) {
  FileStation station(test::MakePsk31Band(kBand, 3000, 600));
  MainCore& core = *station.core;
  core.SetMode(Mode::Psk31);
  core.browser().Open();
  const uint64_t before = core.browser().revision();
  station.Run();
  EXPECT_NE(core.browser().revision(), before);

  const auto found = core.browser().Signals();
  ASSERT_EQ(found.size(), kBand.size());
  for (size_t i = 0; i < kBand.size(); ++i) {
    EXPECT_NEAR(found[i].hz, kBand[i].first, 4);
    EXPECT_NE(found[i].text.find(kBand[i].second), std::string::npos)
        << kBand[i].first << " Hz: " << found[i].text;
  }

  // A line tunes as a click on the waterfall: the receiver, and with NET the transmitter.
  core.receive().SetNet(false);
  const double tx = core.receive().txFrequency();
  core.receive().ClickTune(found[1].hz);
  EXPECT_DOUBLE_EQ(core.receive().rxFrequency(), found[1].hz);
  EXPECT_DOUBLE_EQ(core.receive().txFrequency(), tx);
  core.receive().SetNet(true);
  core.receive().ClickTune(found[2].hz);
  EXPECT_DOUBLE_EQ(core.receive().txFrequency(), found[2].hz);
}

TEST(BrowserSection, WorksOnlyWhileOpenAndFollowsTheMode) {
  FileStation station(test::MakePsk31Band({kBand[0]}, 3000, 600));
  MainCore& core = *station.core;
  core.SetMode(Mode::Psk31);
  // Closed, the browser sees nothing.
  station.Run();
  EXPECT_FALSE(core.browser().isOpen());
  EXPECT_TRUE(core.browser().Signals().empty());

  core.browser().Open();
  EXPECT_EQ(core.browser().browseMode(), decoders::BrowseMode::Psk31);
  // In RTTY (and MTTY) it browses RTTY, starting afresh; back to PSK31 afresh again.
  uint64_t r = core.browser().revision();
  core.SetMode(Mode::Rtty);
  EXPECT_EQ(core.browser().browseMode(), decoders::BrowseMode::Rtty);
  EXPECT_NE(core.browser().revision(), r);
  r = core.browser().revision();
  core.SetMode(Mode::Mtty);
  EXPECT_EQ(core.browser().revision(), r);  // still RTTY: nothing to rebuild
  core.SetMode(Mode::Qpsk);
  EXPECT_EQ(core.browser().browseMode(), decoders::BrowseMode::Psk31);
  EXPECT_NE(core.browser().revision(), r);

  core.browser().Close();
  EXPECT_FALSE(core.browser().isOpen());
  EXPECT_TRUE(core.browser().Signals().empty());
  EXPECT_EQ(core.browser().activeCount(), 0);
}

}  // namespace
}  // namespace vexa::app
