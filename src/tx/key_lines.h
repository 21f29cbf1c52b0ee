#pragma once
// PTT and the CW key line of the transceiver port: which of DTR and RTS carries what (DtrMode,
// RtsMode), the CAT PTT commands of the Icom (type 2), Yaesu (type 3) and Kenwood (type 4) command
// sets (from the CAT family code) with the pause each rig needs after them, and the PTT hang
// counter of the CW keyer.
//
// Line use by mode value: 0 DTR = CW key, RTS = PTT; 1 DTR = PTT, RTS = CW key; 2 the line is
// held on permanently (interface supply); 4 the line is both PTT and CW key.
//
// SetPtt is called from the main thread and from the keyer thread (the hang counter's release),
// so every operation runs under one lock; the port serialises the bytes it writes.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/serial/serial_port.h"

namespace vexa::tx {

struct KeyLineSettings {
  int dtrMode = 0;     // DtrMode (TX1)
  int rtsMode = 0;     // RtsMode (TX1)
  int rigType = 0;     // Type (TX1): 2 Icom by address, 3 Yaesu, 4 Kenwood
  int icomAddr = 0;    // IcomAddr (TX1): index into the address table; PTT needs 12 (0x56)
  int yaesuModel = 0;  // Yaesu (TX1)
};

// The CAT PTT command for a rig type; empty when the type (or Icom model) has none.
std::vector<uint8_t> CatPttCommand(const KeyLineSettings& s, bool on);
// The pause after that command, in milliseconds, for a port speed in baud.
int CatPttPauseMs(int rigType, int baud);

class KeyLines {
 public:
  using Sleeper = std::function<void(int ms)>;

  // port may be null (no transceiver port); sleep defaults to a real sleep.
  explicit KeyLines(platform::SerialLink* port = nullptr, Sleeper sleep = nullptr);

  void SetPort(platform::SerialLink* port);
  // PTT of a rig on the network (null: none). Called under the lines' lock, from the main and
  // the keyer thread; it must not block.
  using NetworkPtt = std::function<void(bool on)>;
  void SetNetworkPtt(NetworkPtt ptt) {
    std::lock_guard lock(mutex_);
    networkPtt_ = std::move(ptt);
  }
  void SetSettings(const KeyLineSettings& s);
  KeyLineSettings settings() const;
  // CW mode and its current dot length (for the hang counter).
  void SetCwMode(bool on) { cwMode_ = on; }
  void SetDotTicks(const std::atomic<int>* dot) { dot_ = dot; }

  // Switches PTT: DTR and/or RTS by their modes, then the CAT command and its pause. In CW mode
  // switching on loads the hang counter with 8 dot lengths.
  void SetPtt(bool on);
  // Key down or up on the CW line(s); with pttFollows, a key-down also raises PTT (or, when PTT
  // is already on, only reloads the hang counter).
  void SetKey(bool down, bool pttFollows);
  // Puts both lines at their idle level: a line whose mode is 2 is raised, the other lowered.
  // At start-up (startUp true) it then waits 200 ms, so an interface powered from a line is up
  // before the first command.
  void ApplyIdleLines(bool startUp = false);
  // One 4 ms keyer tick of the hang counter: PTT goes off when it runs out.
  void HangTick();

  bool ptt() const { return ptt_.load(); }
  bool key() const { return key_.load(); }
  int hangTicks() const { return hang_.load(); }

 private:
  void SetPttLocked(bool on);
  int HangDot() const;

  mutable std::recursive_mutex mutex_;
  platform::SerialLink* port_;
  Sleeper sleep_;
  KeyLineSettings s_;
  std::atomic<bool> ptt_{false};
  std::atomic<bool> key_{false};
  std::atomic<int> hang_{0};
  std::atomic<bool> cwMode_{false};
  const std::atomic<int>* dot_ = nullptr;
  NetworkPtt networkPtt_;
};

}  // namespace vexa::tx
