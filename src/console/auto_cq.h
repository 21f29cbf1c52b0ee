#pragma once
// The Auto CQ state: on or off, and the listen counter in seconds. The console calls again when
// the counter, counted at each change of the clock's seconds while receiving, has reached the
// listen time; in RTTY a station heard on the frequency holds the counter at 0.
namespace vexa::console {

class AutoCq {
 public:
  // On, with the counter reset (Apply, BEGIN, <ACQ>).
  void Start() {
    on_ = true;
    counter_ = 0;
  }
  void Stop() { on_ = false; }
  bool on() const { return on_; }
  int counter() const { return counter_; }
  void ResetCounter() { counter_ = 0; }
  void SetListenSeconds(int seconds) { listenSeconds_ = seconds < 0 ? 0 : seconds; }
  int listenSeconds() const { return listenSeconds_; }

  // Once a second, when the clock text changed. receiving: no transmission and no keyer;
  // busy: in RTTY the receive signal says a station is sending. True when a call is due now
  // (the caller then calls, which resets the counter).
  bool OnClockChange(bool receiving, bool busy) {
    if (busy) counter_ = 0;
    if (!on_ || !receiving) return false;
    const bool due = counter_ >= listenSeconds_;
    ++counter_;
    return due;
  }

 private:
  bool on_ = false;
  int counter_ = 0;
  int listenSeconds_ = 10;
};

}  // namespace vexa::console
