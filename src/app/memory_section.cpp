#include "app/memory_section.h"

#include <cmath>

#include "tx/cat.h"

namespace vexa::app {
namespace {

int Milli(double hz) {
  const double v = std::round(hz * 1000.0);
  return v > 2e9 ? 2000000000 : v < 0 ? 0 : static_cast<int>(v);
}

}  // namespace

std::string MemorySectionName(int n) {
  return "Memory" + std::to_string((n + 1) % 10);
}

void MemorySection::LoadMemories() {
  const platform::SettingsStore& s = ctx_.store();
  for (int n = 0; n < kMemoryCount; ++n) {
    FrequencyMemory m;
    const std::string sec = MemorySectionName(n);
    m.soundRx = s.ReadSettingInt(sec, "SoundFq", 0);
    m.soundTx = s.ReadSettingInt(sec, "SoundFqTx", 0);
    m.used = m.soundRx != 0;
    if (m.used) {
      m.rxFrequency = s.ReadSettingInt(sec, "HfFqRx", 0);
      m.txFrequency = s.ReadSettingInt(sec, "HfFqTx", 0);
      m.mode = s.ReadSettingInt(sec, "Mode", 9);
      m.param1 = s.ReadSettingInt(sec, "Param1", 0);
      m.param2 = s.ReadSettingInt(sec, "Param2", 0);
      m.param3 = s.ReadSettingInt(sec, "Param3", 0);
      m.second = s.ReadSettingInt(sec, "SecondFq", 0);
      m.flags = s.ReadSettingInt(sec, "Flags", 0);
      m.text = s.ReadSettingText(sec, "Text", "");
    }
    memories_[static_cast<size_t>(n)] = std::move(m);
  }
}

int MemorySection::StoreMemory(int n) {
  if (n < 0 || n >= kMemoryCount) return 0;
  StationSnapshot snap;
  ctx_.bus.CaptureStation(snap);
  FrequencyMemory& m = memories_[static_cast<size_t>(n)];
  m.second = Milli(snap.secondHz);
  m.rxFrequency = m.txFrequency = static_cast<int>(snap.dialHz);
  m.mode = static_cast<int>(snap.mode);
  m.param1 = Milli(snap.rttyBaud);
  m.param2 = snap.cwDotTicks;
  m.soundRx = Milli(snap.receiveHz);
  m.soundTx = Milli(snap.transmitHz);
  m.used = true;
  // Bits 1 and 3 belong to the console's switches: kept as they were.
  m.flags = (m.flags & 0xA) | (snap.afc ? 1 : 0) | (snap.net ? 4 : 0);
  platform::SettingsStore& s = ctx_.store();
  const std::string sec = MemorySectionName(n);
  for (auto [key, value] : {std::pair<const char*, int>{"HfFqRx", m.rxFrequency},
                            {"HfFqTx", m.rxFrequency},
                            {"Mode", m.mode},
                            {"Param1", m.param1},
                            {"Param2", m.param2},
                            {"SoundFq", m.soundRx},
                            {"SoundFqTx", m.soundTx},
                            {"SecondFq", m.second},
                            {"Flags", m.flags}}) {
    if (int r = s.WriteSettingInt(sec, key, value)) return r;
  }
  return s.WriteSettingText(sec, "Text", m.text);
}

bool MemorySection::RecallMemory(int n) {
  if (n < 0 || n >= kMemoryCount) return false;
  const FrequencyMemory& m = memories_[static_cast<size_t>(n)];
  if (!m.used) return false;
  StationSnapshot snap;
  snap.mode = ModeFromNumber(m.mode).value_or(Mode::Psk31);
  snap.secondHz = m.second / 1000.0;
  snap.rttyBaud = m.param1 / 1000.0;
  snap.cwDotTicks = m.param2;
  snap.receiveHz = m.soundRx / 1000.0;
  snap.transmitHz = m.soundTx / 1000.0;
  snap.dialHz = m.rxFrequency;
  snap.afc = (m.flags & 1) != 0;
  snap.net = (m.flags & 4) != 0;
  recalledText_ = m.text;
  ctx_.bus.RestoreStation(snap);
  return true;
}

std::string MemorySection::ListText(int n) const {
  if (n < 0 || n >= kMemoryCount || !memories_[static_cast<size_t>(n)].used) return "";
  return tx::FormatFrequency(memories_[static_cast<size_t>(n)].rxFrequency);
}

bool MemorySection::OnCommand(int command) {
  if (command >= kCmdStoreMemory && command < kCmdStoreMemory + kMemoryCount) {
    (void)StoreMemory(command - kCmdStoreMemory);
    return true;
  }
  if (command >= kCmdRecallMemory && command < kCmdRecallMemory + kMemoryCount) {
    (void)RecallMemory(command - kCmdRecallMemory);
    return true;
  }
  return false;
}

}  // namespace vexa::app
