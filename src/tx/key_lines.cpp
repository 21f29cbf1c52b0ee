#include "tx/key_lines.h"

#include "tx/cat.h"

#include <chrono>
#include <thread>

namespace vexa::tx {

namespace {

CatSettings CatOf(const KeyLineSettings& s) {
  CatSettings c;
  c.type = s.rigType;
  c.icomAddr = s.icomAddr;
  c.yaesuModel = s.yaesuModel;
  return c;
}

}  // namespace

std::vector<uint8_t> CatPttCommand(const KeyLineSettings& s, bool on) {
  const CatCommands c = EncodePtt(CatOf(s), on);
  return c.empty() ? std::vector<uint8_t>{} : c.front().bytes;
}

int CatPttPauseMs(int rigType, int baud) {
  const CatFamilyRow& row = FamilyRow(rigType);
  return row.pttWaitScaled ? CatWaitMs(row.pttWaitMs, baud) : row.pttWaitMs;
}

int KeyLines::HangDot() const {
  const int d = dot_ != nullptr ? dot_->load() : 20;
  return d < 1 ? 1 : d > 10000 ? 10000 : d;
}

KeyLines::KeyLines(platform::SerialLink* port, Sleeper sleep)
    : port_(port), sleep_(std::move(sleep)) {
  if (!sleep_) sleep_ = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
}

void KeyLines::SetPort(platform::SerialLink* port) {
  std::lock_guard lock(mutex_);
  port_ = port;
}

void KeyLines::SetSettings(const KeyLineSettings& s) {
  std::lock_guard lock(mutex_);
  s_ = s;
}

KeyLineSettings KeyLines::settings() const {
  std::lock_guard lock(mutex_);
  return s_;
}

void KeyLines::SetPtt(bool on) {
  std::lock_guard lock(mutex_);
  SetPttLocked(on);
}

void KeyLines::SetPttLocked(bool on) {
  ptt_ = on;
  if (networkPtt_) {
    // A rig on the network: its PTT command, whether or not a serial port is open as well.
    networkPtt_(on);
    if (port_ == nullptr || !port_->IsOpen()) {
      if (on && cwMode_.load()) hang_ = 8 * HangDot();
      return;
    }
  }
  if (port_ == nullptr || !port_->IsOpen()) return;
  if (s_.dtrMode == 1 || s_.dtrMode == 4) port_->SetDtr(on);
  if (s_.rtsMode == 0 || s_.rtsMode == 4) port_->SetRts(on);
  const std::vector<uint8_t> cmd = CatPttCommand(s_, on);
  if (!cmd.empty()) {
    (void)port_->WriteBytes(cmd);
    const int pause = CatPttPauseMs(s_.rigType, port_->Speed());
    if (pause > 0) sleep_(pause);
  }
  if (on && cwMode_.load()) hang_ = 8 * HangDot();
}

void KeyLines::SetKey(bool down, bool pttFollows) {
  std::lock_guard lock(mutex_);
  key_ = down;
  if (port_ == nullptr || !port_->IsOpen()) return;
  bool raisePtt = pttFollows;
  if (s_.dtrMode == 0) port_->SetDtr(down);
  if (s_.dtrMode == 4) {
    port_->SetDtr(down);
    raisePtt = false;
  }
  if (s_.rtsMode == 1) port_->SetRts(down);
  if (s_.rtsMode == 4) {
    port_->SetRts(down);
    return;
  }
  if (raisePtt && down) {
    // PTT already on: only the hang time starts again (no repeated CAT command and its pause
    // in the middle of a letter).
    if (ptt_.load()) {
      if (cwMode_.load()) hang_ = 8 * HangDot();
    } else {
      SetPttLocked(true);
    }
  }
}

void KeyLines::ApplyIdleLines(bool startUp) {
  std::lock_guard lock(mutex_);
  if (port_ == nullptr || !port_->IsOpen()) return;
  port_->SetDtr(s_.dtrMode == 2);
  port_->SetRts(s_.rtsMode == 2);
  if (startUp) sleep_(200);
}

void KeyLines::HangTick() {
  std::lock_guard lock(mutex_);
  const int h = hang_.load();
  if (h <= 0) return;
  hang_ = h - 1;
  if (h == 1) SetPttLocked(false);
}

}  // namespace vexa::tx
