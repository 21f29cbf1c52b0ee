#include "engine/sound_card.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vexa::engine {
namespace {

using namespace vexa::platform;

// A backend that records the calls made on it and fails the ones it is told to.
class ScriptedBackend final : public AudioBackend {
 public:
  int inputs = 2, outputs = 2;
  std::vector<std::string> calls;
  std::string failCall;  // the call that fails
  int failCode = 4;
  int failTimes = 1000;       // how many times it fails before succeeding
  int shortBlockSamples = 0;  // a reset completes a short block of this many samples
  std::vector<int16_t> buffer;
  bool completed = false;

  int R(const std::string& call) {
    calls.push_back(call);
    if (call == failCall && failTimes > 0) {
      --failTimes;
      return failCode;
    }
    return 0;
  }
  std::string Name() const override { return "scripted"; }
  int InputDeviceCount() override { return inputs; }
  int OutputDeviceCount() override { return outputs; }
  std::string InputDeviceName(int d) override {
    return d < inputs ? "in" + std::to_string(d) + (d == 1 ? " USB Audio CODEC" : "") : "";
  }
  std::string OutputDeviceName(int d) override {
    return d < outputs ? "out" + std::to_string(d) : "";
  }
  int OpenInput(int d, AudioNotifier) override { return R("OpenInput" + std::to_string(d)); }
  int AddInputBuffer(int i) override { return R("Add" + std::to_string(i)); }
  int StartInput() override { return R("Start"); }
  int StopInput() override { return R("Stop"); }
  int ResetInput() override {
    if (shortBlockSamples > 0) {
      buffer.resize(static_cast<size_t>(shortBlockSamples));
      for (int i = 0; i < shortBlockSamples; ++i) buffer[static_cast<size_t>(i)] = int16_t(i * 3);
      completed = true;
    }
    return R("Reset");
  }
  int CloseInput() override {
    // The device's buffers go with the close.
    completed = false;
    std::fill(buffer.begin(), buffer.end(), int16_t(-1));
    return R("Close");
  }
  bool TakeInputBlock(InputBlock& b) override {
    if (!completed) return false;
    completed = false;
    b.index = 2;
    b.samples = buffer;
    return true;
  }
  bool InputBlockWaiting() override { return completed; }
  int OpenOutput(int d, AudioNotifier) override { return R("OpenOutput" + std::to_string(d)); }
  int WriteOutput(int i, std::span<const int16_t>) override {
    return R("Write" + std::to_string(i));
  }
  int PauseOutput() override { return R("Pause"); }
  int ResetOutput() override { return R("ResetOut"); }
  int CloseOutput() override { return R("CloseOut"); }
  bool TakeOutputDone(int&) override { return false; }
};

TEST(SelectDeviceFromArgument, FollowsTheDigitRuleWithClamping) {
  EXPECT_EQ(SelectDeviceFromArgument("", false, 3), 0);
  EXPECT_EQ(SelectDeviceFromArgument("", true, 3), 0);
  // "7" with two devices: clamped to the last one, for both directions.
  EXPECT_EQ(SelectDeviceFromArgument("7", false, 2), 1);
  EXPECT_EQ(SelectDeviceFromArgument("7", true, 2), 1);
  // "10": input 1, output 0.
  EXPECT_EQ(SelectDeviceFromArgument("10", false, 2), 1);
  EXPECT_EQ(SelectDeviceFromArgument("10", true, 2), 0);
  EXPECT_EQ(SelectDeviceFromArgument("2", true, 5), 2);
  // A character below '0' would give a negative number: the first device.
  EXPECT_EQ(SelectDeviceFromArgument("-", false, 4), 0);
  // Letters are far above '9': clamped to the last device.
  EXPECT_EQ(SelectDeviceFromArgument("a", false, 4), 3);
  EXPECT_EQ(SelectDeviceFromArgument("3", false, 0), 0);
}

TEST(SoundCard, OpensInputInOrderAndClosesItOnce) {
  ScriptedBackend b;
  SoundCard card(b, {"1", "", ""});
  ASSERT_EQ(card.OpenSoundInput(), 0);
  EXPECT_TRUE(card.inputOpen());
  EXPECT_EQ(b.calls,
            (std::vector<std::string>{"OpenInput1", "Add0", "Add1", "Add2", "Add3", "Start"}));
  b.calls.clear();
  card.CloseSoundInput();
  EXPECT_EQ(b.calls, (std::vector<std::string>{"Stop", "Reset", "Close"}));
  EXPECT_FALSE(card.inputOpen());
  b.calls.clear();
  card.CloseSoundInput();  // the second close does nothing
  EXPECT_TRUE(b.calls.empty());
}

TEST(SoundCard, AFailedStepReturnsItsCodeIsTracedAndLeavesInputClosed) {
  ScriptedBackend b;
  b.failCall = "Add2";
  b.failCode = 11;
  SoundCard card(b, {});
  std::vector<std::pair<std::string, int>> traced;
  card.SetTraceHook([&](const char* call, int r) { traced.push_back({call, r}); });
  EXPECT_EQ(card.OpenSoundInput(), 11);
  EXPECT_FALSE(card.inputOpen());
  ASSERT_EQ(traced.size(), 1u);
  EXPECT_EQ(traced[0].first, "waveInAddBuffer");
  EXPECT_EQ(traced[0].second, 11);
  // The half-opened device was closed again, so a later attempt starts clean.
  EXPECT_EQ(b.calls.back(), "Close");
}

TEST(SoundCard, NoDeviceAtAllIsAnErrorNotACrash) {
  ScriptedBackend b;
  b.inputs = b.outputs = 0;
  SoundCard card(b, {"5", "", ""});
  std::string traced;
  card.SetTraceHook([&](const char* call, int) { traced += call; });
  EXPECT_NE(card.OpenSoundInput(), 0);
  EXPECT_NE(card.OpenSoundOutput(), 0);
  EXPECT_EQ(traced, "DevCapswaveOutDevCaps");
  EXPECT_TRUE(b.calls.empty());
}

TEST(SoundCard, ABusyInputIsRetriedTenTimes55msApartThenAbandoned) {
  ScriptedBackend b;
  SoundCard card(b, {});
  std::vector<int> sleeps;
  card.SetSleeper([&](int ms) { sleeps.push_back(ms); });
  ASSERT_EQ(card.OpenSoundInput(), 0);
  b.failCall = "Close";
  card.CloseSoundInput();
  EXPECT_EQ(sleeps, std::vector<int>(10, 55));
  EXPECT_FALSE(card.inputOpen());  // cleared even when every attempt failed

  ScriptedBackend b2;
  SoundCard card2(b2, {});
  sleeps.clear();
  card2.SetSleeper([&](int ms) { sleeps.push_back(ms); });
  ASSERT_EQ(card2.OpenSoundInput(), 0);
  b2.failCall = "Close";
  b2.failTimes = 2;
  card2.CloseSoundInput();
  EXPECT_EQ(sleeps.size(), 2u);
}

TEST(SoundCard, TheShortBlockOfTheStopIsHandedOutAfterTheClose) {
  ScriptedBackend b;
  b.shortBlockSamples = 300;
  SoundCard card(b, DeviceChoice{});
  ASSERT_EQ(card.OpenSoundInput(), 0);
  card.CloseSoundInput();
  EXPECT_FALSE(card.inputOpen());
  ASSERT_TRUE(card.InputBlockWaiting());
  InputBlock block;
  ASSERT_TRUE(card.TakeInputBlock(block));
  ASSERT_EQ(block.samples.size(), 300u);
  for (size_t i = 0; i < 300; ++i) ASSERT_EQ(block.samples[i], int16_t(i * 3)) << i;
  EXPECT_EQ(card.RequeueInputBlock(block), 0);
  // Handed out once only; nothing is given back to the closed device.
  EXPECT_FALSE(card.TakeInputBlock(block));
  EXPECT_FALSE(card.InputBlockWaiting());
  EXPECT_EQ(std::count(b.calls.begin(), b.calls.end(), "Add2"), 1);  // the open only
}

TEST(SoundCard, AFailedStopKeepsTheInputOpen) {
  ScriptedBackend b;
  SoundCard card(b, {});
  ASSERT_EQ(card.OpenSoundInput(), 0);
  b.failCall = "Stop";
  card.CloseSoundInput();
  EXPECT_TRUE(card.inputOpen());
}

TEST(SoundCard, OutputOpensWithoutQueueingAndClosesOnlyOnSuccess) {
  ScriptedBackend b;
  SoundCard card(b, {"01", "", ""});
  ASSERT_EQ(card.OpenSoundOutput(), 0);
  EXPECT_EQ(b.calls, (std::vector<std::string>{"OpenOutput1"}));
  EXPECT_TRUE(card.outputOpen());
  ASSERT_EQ(card.WriteOutputBuffer(3, 1024), 0);
  EXPECT_EQ(card.WriteOutputBuffer(4, 1024), kAudioBadBuffer);
  EXPECT_EQ(card.WriteOutputBuffer(0, 1025), kAudioBadBuffer);
  b.calls.clear();
  b.failCall = "CloseOut";
  b.failTimes = 1;
  card.CloseSoundOutput();
  EXPECT_TRUE(card.outputOpen());  // the close failed
  card.CloseSoundOutput();
  EXPECT_FALSE(card.outputOpen());
  EXPECT_EQ(b.calls, (std::vector<std::string>{"Pause", "ResetOut", "CloseOut", "Pause", "ResetOut",
                                               "CloseOut"}));
  EXPECT_EQ(card.WriteOutputBuffer(0, 10), kAudioNotOpen);
}

TEST(SoundCard, ARememberedDeviceNameWinsOverTheArgument) {
  ScriptedBackend b;
  b.inputs = 3;
  SoundCard card(b, {"0", "USB Audio", "out1"});
  EXPECT_EQ(card.ChosenInputDevice(), 1);   // found by part of its name
  EXPECT_EQ(card.ChosenOutputDevice(), 1);  // exact name
  SoundCard gone(b, {"2", "no such card", ""});
  EXPECT_EQ(gone.ChosenInputDevice(), 2);  // falls back to the argument
}

TEST(SoundCard, ADeviceByNumberOrNameAsTheOperatorTypesIt) {
  ScriptedBackend b;
  b.inputs = 3;
  EXPECT_EQ(FindDevice(b, false, "2"), 2);
  EXPECT_EQ(FindDevice(b, false, "3"), -1) << "beyond the last device: none, not the last";
  EXPECT_EQ(FindDevice(b, false, "USB Audio"), 1);
  EXPECT_EQ(FindDevice(b, false, "in2"), 2);
  EXPECT_EQ(FindDevice(b, true, "out1"), 1);
  EXPECT_EQ(FindDevice(b, true, "out"), 0) << "the first that contains it";
  EXPECT_EQ(FindDevice(b, true, "USB Audio"), -1) << "inputs and outputs are apart";
  EXPECT_EQ(FindDevice(b, false, ""), -1);
  EXPECT_EQ(FindDevice(b, false, "99999999999"), -1) << "a long number is a name, not a crash";
  // A number chosen wins over a remembered name and the argument; one beyond the devices does
  // not count.
  DeviceChoice c{"0", "USB Audio", "out0"};
  c.inputDevice = 2;
  c.outputDevice = 1;
  SoundCard card(b, c);
  EXPECT_EQ(card.ChosenInputDevice(), 2);
  EXPECT_EQ(card.ChosenOutputDevice(), 1);
  c.inputDevice = 7;
  SoundCard beyond(b, c);
  EXPECT_EQ(beyond.ChosenInputDevice(), 1);
  ASSERT_EQ(card.OpenSoundInput(), 0);
  EXPECT_EQ(b.calls.front(), "OpenInput2");
}

}  // namespace
}  // namespace vexa::engine
