#include "tx/cw_keyer.h"

#include <cstdio>

#include "tx/morse_table.h"
#include "tx/transmit_text.h"

namespace vexa::tx {

std::string CwSpeedCaption(int dotTicks) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "CW SPEED %i WPM", CwWpm(dotTicks));
  return buf;
}

CwKeyer::CwKeyer(KeyLines& lines, Clock& clock, int normalDotTicks)
    : lines_(lines),
      timer_(clock),
      dot_(normalDotTicks < 1 ? 20 : normalDotTicks),
      normal_(normalDotTicks < 1 ? 20 : normalDotTicks) {
  lines_.SetDotTicks(&dot_);
}

CwKeyer::~CwKeyer() {
  timer_.Stop();
}

void CwKeyer::SetNormalDotTicks(int d) {
  if (d < 1) return;
  normal_ = ClampDotTicks(d);
  dot_ = ClampDotTicks(d);
}

bool CwKeyer::LoadPattern(unsigned pattern) {
  unsigned expected = 0;
  return pattern_.compare_exchange_strong(expected, pattern);
}

void CwKeyer::Toggle() {
  if (running_.load()) {
    Stop();
  } else {
    (void)Start();
  }
}

bool CwKeyer::Start() {
  if (running_.load()) return true;
  if (hooks_.tncTerminalOpen && hooks_.tncTerminalOpen() && hooks_.tncWrite) {
    std::string cmd = "cw ";
    cmd += std::to_string(CwWpm(normal_.load()));
    cmd += "\r";
    hooks_.tncWrite(cmd);
    if (hooks_.sleep) hooks_.sleep(20);
    hooks_.tncWrite(std::string_view("\x03\x74", 2));
  }
  pattern_ = 0;
  countdown_ = 0;
  inLetter_ = false;
  escape_ = 0;
  dot_ = normal_.load();
  if (hooks_.stopReception) hooks_.stopReception();
  running_ = true;
  if (!timer_.Start(kKeyerTickUs, [this] { KeyerTick(); })) {
    running_ = false;
    if (hooks_.startReception) hooks_.startReception();
    return false;
  }
  return true;
}

void CwKeyer::Stop() {
  if (!running_.load()) return;
  if (hooks_.tncTerminalOpen && hooks_.tncTerminalOpen() && hooks_.tncWrite)
    hooks_.tncWrite(std::string_view("\x03\x78", 2));
  dot_ = normal_.load();
  timer_.Stop();
  running_ = false;
  pattern_ = 0;
  countdown_ = 0;
  inLetter_ = false;
  escape_ = 0;
  // The key and PTT are released with the keyer, so a toggle never leaves the rig keyed.
  lines_.SetKey(false, false);
  lines_.SetPtt(false);
  if (hooks_.startReception) hooks_.startReception();
}

void CwKeyer::KeyerTick() {
  lines_.HangTick();
  if (countdown_ > 0) --countdown_;
  const int d = ClampDotTicks(dot_.load());
  if (countdown_ == 0) {
    const unsigned p = pattern_.load();
    if (p > 0) {
      if (p > 1) {  // an element: dot 1 unit down, dash 3; both 1 unit up
        countdown_ = ((p & 1u) != 0 ? 4 : 2) * d;
        lines_.SetKey(true, true);
        inLetter_ = true;
      } else if (inLetter_) {  // the letter end: 2 units up, letters 3 units apart
        countdown_ = kLetterEndUnits * d;
        inLetter_ = false;
      } else {  // a gap character after the letter end: words 7 units apart
        countdown_ = kWordGapUnits * d;
      }
      pattern_.store(p >> 1);
    }
  }
  if (countdown_ == d && lines_.key()) lines_.SetKey(false, true);
}

void CwKeyer::CwPump() {
  if (!running_.load() || pattern_.load() != 0 || !hooks_.nextChar) return;
  for (;;) {
    uint8_t c = 0;
    if (!hooks_.nextChar(c) || c == 0) return;
    if (c == '\n' || c == '~') {
      dot_ = normal_.load();
      continue;
    }
    if (c == '^') {
      if (dot_.load() > 1) dot_ = dot_.load() - 1;
      continue;
    }
    if (c == kTxEnd) {
      Stop();
      lines_.SetPtt(false);
      if (hooks_.clearTransmitBuffers) hooks_.clearTransmitBuffers();
      return;
    }
    if (hooks_.tncTerminalOpen && hooks_.tncTerminalOpen() && hooks_.tncWrite) {
      const char ch = static_cast<char>(c);
      hooks_.tncWrite(std::string_view(&ch, 1));
    } else {
      (void)LoadPattern(MorseCode(c));
    }
    return;
  }
}

void CwKeyer::EscapePressed() {
  if (!running_.load()) return;
  escape_ += 10;
  if (escape_ > 15) Stop();
}

void CwKeyer::EscapeTick() {
  if (escape_ > 0) --escape_;
}

void CwKeyer::Faster() {
  const int shown = wpm();
  while (dot_.load() > 3 && normal_.load() > 1) {
    dot_ = dot_.load() - 1;
    normal_ = normal_.load() - 1;
    if (wpm() != shown) break;
  }
}

void CwKeyer::Slower() {
  const int shown = wpm();
  while (wpm() > 1 && dot_.load() < kMaxDotTicks) {
    dot_ = dot_.load() + 1;
    normal_ = normal_.load() + 1;
    if (wpm() != shown) break;
  }
}

}  // namespace vexa::tx
