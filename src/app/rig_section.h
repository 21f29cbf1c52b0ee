#pragma once
// The rig section: keeps the transceiver's dial frequency and mode in step with the program's.
// It sends the CAT commands of the configured family over the transceiver port that the
// transmit section opened, decodes what the transceiver sends back (Icom frames as they arrive,
// Yaesu and Kenwood replies on the tick, with the poll repeated), and works out the operating
// frequency the user sees from the dial, the receive audio frequency and the corrections.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "app/section.h"
#include "app/station_context.h"
#include "platform/net/tcp_client.h"
#include "tx/cat.h"

namespace vexa::app {

// The CAT settings read at initialisation (step 11).
struct RigSettings {
  tx::CatSettings cat;
  tx::FrequencyCorrections corrections;
  bool cwBySoundCard = true;  // CW/UseSB
  int comPort = 0;
  std::string netHost = "127.0.0.1";  // Type 6
  int netPort = 4532;

  void Load(const platform::SettingsStore& store);
};

class RigSection final : public Section {
 public:
  // A Yaesu or Kenwood rig that has not answered for this many ticks is asked again.
  static constexpr int kRepollTicks = 18;
  // The reply buffer of the polled families holds at most this much.
  static constexpr size_t kMaxReply = 512;
  // The network rig: a request unanswered this long drops the connection; a lost connection is
  // tried again after kReconnectTicks; the frequency is asked every kNetPollTicks.
  static constexpr int kNetTimeoutTicks = 36;
  static constexpr int kReconnectTicks = 36;
  static constexpr int kNetPollTicks = 4;

  explicit RigSection(StationContext& ctx) : ctx_(ctx) {}
  void OnDestroy() override {
    ctx_.networkPtt = nullptr;
    net_.Close();
  }

  const char* name() const override { return "rig"; }
  void OnInitStep(int step) override;
  void OnModeChange(Mode mode) override;
  void OnSetupApplied() override;
  void OnTick() override;
  void OnReceiveFrequency(double hz) override { audioHz_ = hz; }
  void OnTransceiverBytes(std::span<const uint8_t> bytes) override;
  void OnCapture(StationSnapshot& snapshot) override { snapshot.dialHz = dialHz_; }
  void OnRestore(const StationSnapshot& snapshot) override {
    if (snapshot.dialHz > 0) SetDial(snapshot.dialHz);
  }

  // --- Commands ---
  // Sets the transceiver so that the signal under the receive marker is at operatingHz.
  void SetOperatingFrequency(int64_t operatingHz);
  // Sets the dial frequency itself.
  void SetDial(int64_t dialHz);
  // The mode command for a rig mode code (kRigLsb..kRigFm).
  void SetRigMode(int rigMode);
  // Asks for the operating frequency (the current one to start with) and sets it. False when
  // cancelled or when the text is no frequency (the prompt then says so).
  bool AskOperatingFrequency();
  void RequestStatus();
  void SelectVfo(int subCommand);

  // --- State ---
  int64_t dialHz() const { return dialHz_; }
  int64_t operatingHz() const;
  // "%i.%03i.%03i" of the operating frequency.
  std::string OperatingText() const { return tx::FormatFrequency(operatingHz()); }
  // The rig mode code last sent (kNoRigMode before any).
  int rigMode() const { return rigMode_; }
  // One line for the status indicator: the family and whether it answers.
  std::string StatusText() const;
  bool answering() const { return replies_ > 0 && ticksSinceReply_ < 4 * kRepollTicks; }
  const RigSettings& settings() const { return settings_; }
  // Bytes of a Yaesu or Kenwood reply waiting for the tick.
  size_t pendingReply() const { return reply_.size(); }
  // What was sent, oldest first (for tests and the port monitor), bounded.
  const std::vector<std::vector<uint8_t>>& sent() const { return sent_; }
  // How many commands were sent in all (sent() keeps the last 64).
  size_t sentTotal() const { return sentTotal_; }

 private:
  tx::DialContext Context() const;
  bool Networked() const { return settings_.cat.family() == tx::CatFamily::Rigctld; }
  bool PortOpen() const {
    if (Networked()) return net_.state() == platform::TcpClient::State::Open;
    return ctx_.transceiver != nullptr && ctx_.transceiver->IsOpen();
  }
  // The network rig: connection, requests in flight, replies.
  enum class Expect { Result, Frequency, Mode };
  void NetConnect();
  void NetSend(const std::string& line, Expect reply);
  void NetTick();
  void NetLine(std::string_view line);
  void NetPtt(bool on);
  void Send(const tx::CatCommands& commands);
  void DialKnown(int64_t hz);
  bool ReplyComplete() const;
  void DecodePolledReply();

  StationContext& ctx_;
  RigSettings settings_;
  Mode mode_ = Mode::Psk31;
  double audioHz_ = 1000;
  int64_t dialHz_ = tx::kInitialDialHz;
  int rigMode_ = kNoRigMode;
  tx::IcomFramer framer_;
  std::vector<uint8_t> reply_;
  std::vector<std::vector<uint8_t>> sent_;
  size_t sentTotal_ = 0;
  bool portWasOpen_ = false;
  int ticksSincePoll_ = 0;
  int ticksSinceReply_ = 0;
  int replies_ = 0;
  std::atomic<int> pendingPtt_{-1};  // from the keyer thread: 0 or 1 to send, -1 none
  std::thread::id mainThread_ = std::this_thread::get_id();
  bool followingRig_ = false;  // a mode change that came from the rig is not sent back
  platform::TcpClient net_;
  std::string netIn_;
  std::vector<Expect> expect_;  // replies still due, oldest first
  int ticksWaiting_ = 0;        // since the oldest request went out
  int ticksToReconnect_ = 0;
  int polls_ = 0;
  bool modeLineDue_ = false;  // a mode reply is followed by its passband line
};

}  // namespace vexa::app
