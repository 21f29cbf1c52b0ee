// The voice keyer: file names by key, PTT around the queue, keys queued while a message plays,
// Escape, and playback through an audio backend.
#include "tx/voice_keyer.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "support/test_paths.h"
#include "tx_fakes.h"

namespace vexa::tx {
namespace {

using testing::EventLog;
using testing::RecordingLink;

// Plays nothing: records the file and, when gated, waits until the test opens the gate.
class GatedPlayer final : public VoicePlayer {
 public:
  explicit GatedPlayer(EventLog* log) : log_(log) {}
  int PlayFile(const std::string& path, const std::atomic<bool>& stop) override {
    std::unique_lock lock(m_);
    log_->push_back("play " + path.substr(path.rfind('/') + 1));
    ++started_;
    cv_.notify_all();
    cv_.wait(lock, [&] { return open_ || stop.load(); });
    if (stop.load()) log_->push_back("stopped");
    return 0;
  }
  void Open() {
    std::lock_guard lock(m_);
    open_ = true;
    cv_.notify_all();
  }
  void WaitStarted(int n) {
    std::unique_lock lock(m_);
    cv_.wait(lock, [&] { return started_ >= n; });
  }
  // Wakes a player that waits for the stop flag.
  void Poke() {
    std::lock_guard lock(m_);
    cv_.notify_all();
  }

 private:
  EventLog* log_;
  std::mutex m_;
  std::condition_variable cv_;
  bool open_ = false;
  int started_ = 0;
};

struct Booth {
  EventLog log;
  RecordingLink link{&log};
  KeyLines lines{&link, [](int) {}};
  GatedPlayer player{&log};
  std::mutex mainLock;
  VoiceKeyer keyer{mainLock, lines, player, "/msgs"};
  int stops = 0, starts = 0, soundEnds = 0;
  Booth() {
    VoiceKeyer::Hooks h;
    h.stopReception = [this] { ++stops; };
    h.startReception = [this] { ++starts; };
    h.endSoundTransmission = [this] { ++soundEnds; };
    h.receptionWanted = [] { return true; };
    keyer.SetHooks(h);
  }
};

TEST(VoiceKeyer, KeyNumbersMapToFileNumbers) {
  EXPECT_EQ(VoiceFileName(0), "SSB1.wav");    // F1
  EXPECT_EQ(VoiceFileName(11), "SSB12.wav");  // F12
  EXPECT_EQ(VoiceFileName(12), "SSB13.wav");  // Shift F1
  EXPECT_EQ(VoiceFileName(23), "SSB24.wav");  // Shift F12
}

TEST(VoiceKeyer, PlaysTheQueueWithPttAroundItThenRestartsReception) {
  Booth b;
  b.keyer.QueueVoiceMessage(0);
  b.player.WaitStarted(1);
  b.keyer.QueueVoiceMessage(12);  // pressed while SSB1 plays: queued behind it
  b.keyer.QueueVoiceMessage(24);  // not a key: ignored
  b.player.Open();
  b.keyer.Join();
  EXPECT_EQ(b.log, (EventLog{"RTS on", "play SSB1.wav", "play SSB13.wav", "RTS off"}));
  EXPECT_EQ(b.stops, 2);
  EXPECT_EQ(b.starts, 1);
  EXPECT_EQ(b.soundEnds, 1);
  EXPECT_FALSE(b.keyer.running());
  EXPECT_FALSE(b.lines.ptt());
}

TEST(VoiceKeyer, EscapeStopsThePlayingMessageAndEmptiesTheQueue) {
  Booth b;
  b.keyer.QueueVoiceMessage(3);
  b.player.WaitStarted(1);
  b.keyer.QueueVoiceMessage(4);
  b.keyer.QueueVoiceMessage(5);
  b.keyer.Escape();
  b.player.Poke();
  b.keyer.Join();
  EXPECT_EQ(b.log, (EventLog{"RTS on", "play SSB4.wav", "stopped", "RTS off"}));
  // A new key after the thread has finished starts a new one.
  b.player.Open();
  b.keyer.QueueVoiceMessage(1);
  b.keyer.Join();
  EXPECT_EQ(b.log.back(), "RTS off");
  EXPECT_EQ(b.log[b.log.size() - 2], "play SSB2.wav");
}

TEST(VoiceKeyer, BackendPlayerPlaysTheWholeFileInBlocks) {
  test::TempDir dir;
  std::vector<int16_t> samples(2500);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(i * 13 - 9000);
  std::string error;
  ASSERT_TRUE(platform::WriteWavFile(dir.File("SSB1.wav"), samples, error)) << error;
  // The file backend "plays" into a WAV file and reports each block done at once.
  BackendVoicePlayer player(
      [&]() -> std::unique_ptr<platform::AudioBackend> {
        platform::FileAudioOptions o;
        o.outputPath = dir.File("played.wav");
        std::string e;
        return platform::MakeFileBackend(o, e);
      },
      0);
  std::atomic<bool> stop{false};
  EXPECT_EQ(player.PlayFile(dir.File("SSB1.wav"), stop), 0);
  std::vector<int16_t> played;
  ASSERT_TRUE(platform::ReadAudioFile(dir.File("played.wav"), played, error)) << error;
  EXPECT_EQ(played, samples);                                 // 1024 + 1024 + 452 samples, in order
  EXPECT_NE(player.PlayFile(dir.File("SSB2.wav"), stop), 0);  // missing file: an error, no crash
}

}  // namespace
}  // namespace vexa::tx
