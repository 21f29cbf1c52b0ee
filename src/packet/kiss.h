#pragma once
// KISS: the byte framing between the station and a TNC (serial line or TCP), the frames that set
// the TNC's channel parameters, the TNC command strings with their escapes, and the p-persistent
// channel access of the built-in modems. Pure encode/decode over spans.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexa::packet {

constexpr uint8_t kFend = 0xC0;
constexpr uint8_t kFesc = 0xDB;
constexpr uint8_t kTfend = 0xDC;
constexpr uint8_t kTfesc = 0xDD;

// KISS command bytes (port 0).
enum class KissCommand : uint8_t {
  Data = 0,
  TxDelay = 1,
  Persistence = 2,
  SlotTime = 3,
  TxTail = 4,
  FullDuplex = 5,
};

// FEND, the command byte, the data with FEND and FESC escaped, FEND.
std::vector<uint8_t> EncodeKiss(KissCommand command, std::span<const uint8_t> data);

// Channel settings the TNC gets as parameter frames; TxDelay, SlotTime and TxTail in 10 ms.
struct KissParameters {
  int txDelay = 30;
  int persist = 63;
  int slotTime = 10;
  int txTail = 0;
  bool fullDuplex = false;
};
// The five parameter frames in their order: TX delay, persistence, slot time, TX tail, full
// duplex, one data byte each (the low byte of the value).
std::vector<std::vector<uint8_t>> KissParameterFrames(const KissParameters& p);

// Reassembles frames from the bytes of a KISS stream. Data frames (command 0) of at least one
// byte go to the handler; other commands, empty frames and frames that end while an escape is
// pending are dropped; a frame longer than the buffer keeps its first kBufferBytes bytes.
class KissReceiver {
 public:
  static constexpr size_t kBufferBytes = 4096;  // command byte included

  class Handler {
   public:
    virtual ~Handler() = default;
    virtual void OnKissFrame(std::span<const uint8_t> frame) = 0;
  };

  explicit KissReceiver(Handler* handler) : handler_(handler) {}
  void Push(uint8_t byte);
  void Push(std::span<const uint8_t> bytes) {
    for (uint8_t b : bytes) Push(b);
  }
  void Reset() {
    length_ = 0;
    escape_ = false;
  }
  size_t pending() const { return length_; }

 private:
  Handler* handler_;
  uint8_t buffer_[kBufferBytes];
  size_t length_ = 0;
  bool escape_ = false;
};

// A TNC command string as stored ("KISS ON\nRESTART\n", "^C^C^C") turned into its bytes:
// backslash-n becomes LF, backslash-r CR, "^M" CR, "^J" LF, "^C" the byte 3, in that order.
std::string ExpandTncCommand(std::string_view stored);

// p-persistent channel access, one step about every 11 ms. Draws come from a small seeded
// generator so a test can replay them.
class ChannelAccess {
 public:
  explicit ChannelAccess(uint32_t seed = 1) : seed_(seed ? seed : 1) {}
  // persist 0..255; slotTime in steps.
  void Configure(int persist, int slotTime) {
    persist_ = persist;
    slotTime_ = slotTime;
  }
  // One step: busy is the carrier decision of this step, waiting whether frames wait. True
  // when the transmitter should be keyed now (the attempt ends).
  bool Step(bool busy, bool waiting);
  bool running() const { return running_; }
  int countdown() const { return countdown_; }

 private:
  int Draw();  // 0..255

  uint32_t seed_;
  int persist_ = 63;
  int slotTime_ = 10;
  bool running_ = false;
  int countdown_ = 0;
};

}  // namespace vexa::packet
