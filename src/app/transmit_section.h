#pragma once
// The transmit section: the transmitter with its modulators and CW keyer, the keying lines, the
// transceiver port (PTT, CW and CAT bytes, the port monitor, the line test), the voice keyer of
// the phone modes and the transmit text source. It follows the transmit frequency, the
// inversion flag and the RTTY baud rate that the receive section announces.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "app/section.h"
#include "app/station_context.h"
#include "engine/rx_text_queue.h"
#include "platform/serial/serial_port.h"
#include "tx/key_lines.h"
#include "tx/port_monitor.h"
#include "tx/transmit_text.h"
#include "tx/transmitter.h"
#include "tx/voice_keyer.h"

namespace vexa::app {

// The transmit settings read at initialisation (step 11).
struct TransmitSettings {
  int cwId = 2;
  int comPort = 2, comSpeed = 1200, rigType = 0, icomAddr = 0, yaesu = 0;
  int txTimeout = 300;
  int wrap = 80;

  void Load(const platform::SettingsStore& store);
};

// Passes the transmitter's calls on to the text source in use: the window's editor when one is
// attached, else a plain in-memory text (command line, tests).
class ForwardingTransmitText final : public tx::TransmitText {
 public:
  explicit ForwardingTransmitText(tx::TransmitText* target) : t_(target) {}
  void SetTarget(tx::TransmitText* target) { t_ = target; }
  bool SimpleKeyboardVisible() const override { return t_->SimpleKeyboardVisible(); }
  bool PopPending(uint8_t& c) override { return t_->PopPending(c); }
  size_t CaretPosition() const override { return t_->CaretPosition(); }
  std::string TakeFirst() override { return t_->TakeFirst(); }
  void ClearWindow() override { t_->ClearWindow(); }
  void ClearSimpleKeyboard() override { t_->ClearSimpleKeyboard(); }
  void PostAtEnd(uint8_t c) override { t_->PostAtEnd(c); }
  void SelectAll() override { t_->SelectAll(); }

 private:
  tx::TransmitText* t_;
};

class TransmitSection final : public Section {
 public:
  // echo: the ring the receive window shows the sent characters from.
  TransmitSection(StationContext& ctx, engine::RxTextQueue& echo);
  ~TransmitSection() override;

  const char* name() const override { return "transmit"; }
  void OnInitStep(int step) override;
  // The port is closed and opened again with the new values, whatever changed.
  void OnSetupApplied() override;
  void OnModeChange(Mode mode) override;
  void OnTick() override;
  void OnClosing() override;
  void OnDestroy() override;
  void OnTransmitFrequency(double hz) override;
  void OnInversion(bool on) override { inversion_ = on; }
  void OnRttyBaud(double baud) override { rttyBaud_ = baud; }
  void OnReceptionSwitch(bool on) override;
  void OnPortMonitorText(std::string_view text) override;
  void OnCapture(StationSnapshot& snapshot) override {
    snapshot.cwDotTicks = transmitter_->keyer().dotTicks();
  }
  // The keyer speed comes back with a CW memory only.
  void OnRestore(const StationSnapshot& snapshot) override {
    if (snapshot.mode == Mode::Cw && snapshot.cwDotTicks > 0)
      transmitter_->keyer().SetNormalDotTicks(snapshot.cwDotTicks);
  }

  // --- Events ---
  // Takes every finished output block and hands it to the transmitter.
  void OnOutputDone();
  // Bytes arrived on the transceiver port: to the port monitor when it is on, else announced as
  // transceiver replies.
  void OnSerialData();

  // --- Operator controls ---
  // The TX/RX switch (Pause, Alt+X): starts a transmission, or ends it after its tail.
  void ToggleTransmit();
  bool transmitting() const { return transmitting_; }
  void EndOfTransmitKey() { transmitter_->EndOfTransmitKey(); }
  void ClearTransmitBuffers() { transmitter_->ClearTransmitBuffers(); }
  void EscapeKey() { transmitter_->EscapeKey(); }
  // A programmable key (0..23) in a phone mode plays its recorded message "SSB%i.wav". False
  // outside the phone modes.
  bool PlayVoiceMessage(int key);
  // The CW speed dialog.
  void CwFaster() { transmitter_->keyer().Faster(); }
  void CwSlower() { transmitter_->keyer().Slower(); }
  std::string CwSpeedCaption() const;
  int cwWpm() { return transmitter_->keyer().wpm(); }

  // --- Transceiver port ---
  // The port monitor option: received bytes are shown in hexadecimal instead of being parsed.
  using MonitorSink = std::function<void(const std::string& text)>;
  void SetPortMonitor(bool on, MonitorSink sink = nullptr);
  bool portMonitor() const { return monitorOn_; }
  // "Test PTT/CW": the lines of the transceiver port by hand. False when no port is open.
  bool TestDtr(bool on);
  // PTT by hand (the command line's rig check): the lines, the CAT command or the rig server.
  void SetPtt(bool on);
  bool TestRts(bool on);
  bool portOpen() const { return port_ != nullptr && port_->IsOpen(); }
  int portSpeed() const { return portOpen() ? port_->Speed() : 0; }
  // Why the transceiver port is not open ("" when it is, or when none is configured).
  const std::string& portStatus() const { return portStatus_; }

  // --- Parts ---
  // The transmit window's editor; null returns to the plain in-memory text.
  void AttachTransmitText(tx::TransmitText* text) {
    text_.SetTarget(text != nullptr ? text : &plainText_);
  }
  tx::PlainTransmitText& plainTransmitText() { return plainText_; }
  // The text source in use (the window's editor or the plain text).
  tx::TransmitText& transmitText() { return text_; }
  tx::Transmitter& transmitter() { return *transmitter_; }
  tx::VoiceKeyer& voiceKeyer() { return *voice_; }
  const TransmitSettings& settings() const { return settings_; }
  double transmitHz() const { return txHz_; }

 private:
  void OpenTransceiverPort();
  void CloseTransceiverPort();
  // A port whose device went away is closed and tried again every kReopenTicks.
  void WatchTransceiverPort();
  static constexpr int kReopenTicks = 36;  // about 2 s
  std::string lostDevice_;
  int ticksToReopen_ = 0;
  // From another thread: runs fn on the main loop (at its next wake-up or tick) and waits.
  void RunOnMainLoop(std::function<void()> fn);
  void RunMainLoopCalls();
  tx::ModulatorParams TransmitParams() const;

  StationContext& ctx_;
  TransmitSettings settings_;
  tx::PlainTransmitText plainText_;
  ForwardingTransmitText text_{&plainText_};
  std::unique_ptr<platform::SerialPort> port_;
  std::unique_ptr<tx::KeyLines> lines_;
  std::unique_ptr<tx::Transmitter> transmitter_;
  std::mutex voiceLock_;  // the main window's lock around the voice queue
  std::unique_ptr<tx::VoicePlayer> voicePlayer_;
  std::unique_ptr<tx::VoiceKeyer> voice_;
  tx::PortMonitor monitor_;
  MonitorSink monitorSink_;
  bool monitorOn_ = false;
  std::string portStatus_;

  Mode mode_ = Mode::Psk31;
  double txHz_ = 1000;
  double rttyBaud_ = 45.45;
  bool inversion_ = false;
  std::atomic<bool> receptionOn_{true};  // read by the voice keyer thread
  std::mutex mainLoopLock_;
  std::condition_variable mainLoopDone_;
  std::deque<std::function<void()>> mainLoopCalls_;
  uint64_t callsQueued_ = 0, callsRun_ = 0;
  bool closing_ = false;  // under mainLoopLock_
  bool transmitting_ = false;
};

}  // namespace vexa::app
