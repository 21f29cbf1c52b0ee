#pragma once
// The ten frequency memories: each keeps a whole operating set-up (transceiver frequency, mode,
// audio frequencies, the second channel, the decoder or keyer speed, the AFC and NET switches and
// a text) in a settings section of its own, "Memory1".."Memory9" and "Memory0" for the tenth.
// Storing asks every section for its part of the set-up; recalling gives it back to them.
#include <array>
#include <string>

#include "app/section.h"
#include "app/station_context.h"

namespace vexa::app {

// The command numbers of the two rows of ten buttons.
inline constexpr int kCmdStoreMemory = 1200;   // 1200..1209
inline constexpr int kCmdRecallMemory = 1210;  // 1210..1219
inline constexpr int kMemoryCount = 10;

struct FrequencyMemory {
  int rxFrequency = 0;  // HfFqRx: the transceiver's dial, Hz
  int txFrequency = 0;  // HfFqTx: stored equal to rxFrequency
  int soundRx = 0;      // SoundFq: audio receive frequency, millihertz
  int soundTx = 0;      // SoundFqTx: audio transmit frequency, millihertz
  int second = 0;       // SecondFq: the second channel, millihertz
  int mode = 9;         // Mode
  int param1 = 0;       // Param1: the RTTY decoders' speed x 1000
  int param2 = 0;       // Param2: the CW keyer's dot length in 4 ms ticks
  int param3 = 0;       // Param3: read and kept, never written
  int flags = 0;        // Flags: bit 0 AFC, bit 2 NET (bits 1 and 3 kept for console switches)
  std::string text;     // Text
  bool used = false;    // SoundFq is not 0
};

// "Memory%i" with (n + 1) mod 10.
std::string MemorySectionName(int n);

class MemorySection final : public Section {
 public:
  explicit MemorySection(StationContext& ctx) : ctx_(ctx) {}

  const char* name() const override { return "memories"; }
  void OnInitStep(int step) override {
    if (step == 19) LoadMemories();
  }
  bool OnCommand(int command) override;

  void LoadMemories();
  // Stores the current set-up into memory n (0..9). Returns 0 or the settings store's error.
  int StoreMemory(int n);
  // Restores memory n; false for an empty memory (nothing changes) or n out of range.
  bool RecallMemory(int n);

  const FrequencyMemory& memory(int n) const { return memories_[static_cast<size_t>(n)]; }
  // The memory list's entry: the formatted transceiver frequency, "" for an empty memory.
  std::string ListText(int n) const;
  // The text of the last recalled memory (for the console's input field).
  const std::string& recalledText() const { return recalledText_; }

 private:
  StationContext& ctx_;
  std::array<FrequencyMemory, kMemoryCount> memories_{};
  std::string recalledText_;
};

}  // namespace vexa::app
