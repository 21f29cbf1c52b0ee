#pragma once
// The packet station of mode 13 without a window: the AX.25 settings applied to the station,
// the console, the selected modem's receiver and channel access, or the KISS TNC. The desktop
// program and `vexa-cli packet` both run this object; they only move bytes and samples:
//
//   receive samples -> ProcessSamples -> modem receiver -> station (and the heard hook)
//   TNC bytes       -> OnTncBytes -> KISS receiver  -> station (and the heard hook)
//   Tick55 (every 55 ms): five channel-access steps -> transmit hook(samples); console step
//   Second (every second): link timers, beacon, KISS parameters every 60 s
//
// Frames that KISS clients hand in (SubmitFrame) go out through the same queue and channel
// access as the station's own.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "app/section.h"
#include "app/station_context.h"
#include "engine/rx_text_queue.h"
#include "packet/ax25_link.h"
#include "packet/kiss.h"
#include "packet/packet_channels.h"
#include "packet/packet_console.h"
#include "platform/files/settings_store.h"
#include "platform/net/tcp_client.h"
#include "platform/serial/serial_port.h"

namespace vexa::app {

// The AX.25 settings as the packet station uses them.
struct PacketSettings {
  packet::StationSettings station;
  packet::PacketModemSettings modem;
  packet::PacketSendOptions send;
  packet::KissParameters kiss;
  int monitorMask = 15;
  packet::Ax25Address defaultMyCall, defaultRemote;
  packet::Ax25AddressList defaultDigis{packet::kMaxDigis};
  bool tryAllSsids = true;

  // Reads section "AX.25". Bad callsigns and lists are left empty.
  void Load(const platform::SettingsStore& store);
};

// The serial line of the KISS TNC (modem type 7) and its start and stop command strings, as
// stored (before the escapes are expanded).
struct TncPortSettings {
  int com = 0;  // port number; 0: no TNC port
  int speed = 9600;
  bool data8 = true;  // 8 data bits, else 7
  int stopBits = 0;   // 0 one, 1 two
  bool dtr = false, rts = false;
  std::string enableCommand = "KISS ON\\nRESTART\\n";
  std::string exitCommand = "^C^C^C";
  // "HOST:PORT" of a KISS TNC on the network (direwolf, a TNC behind a terminal server): when
  // set it is used instead of the serial port, and no command strings are sent (it speaks KISS
  // already).
  std::string host;

  void Load(const platform::SettingsStore& store);
  // The line settings of the port: no parity; DTR flow raises DTR, RTS flow uses RTS/CTS.
  platform::SerialLineSettings Line() const;
};

// Writes trace lines into "trace.log" in the working folder (emptied when a link opens).
class FileLinkTrace final : public packet::LinkTrace {
 public:
  explicit FileLinkTrace(std::string path = "trace.log") : path_(std::move(path)) {}
  ~FileLinkTrace() override { Close(); }
  void Open() override;
  void Write(std::string_view line) override;
  void Close() override;

 private:
  std::string path_;
  std::FILE* file_ = nullptr;
};

class PacketEngine final : private packet::FrameOutput {
 public:
  // Samples of one transmission at 11025/s (the modem's frames, TX delay and tail included).
  using TransmitHook = std::function<void(std::vector<int16_t> samples)>;
  // Bytes for the TNC (KISS frames).
  using TncHook = std::function<void(std::span<const uint8_t> bytes)>;
  // Every frame heard from the air or the TNC (bytes without FCS), for KISS clients.
  using HeardHook = std::function<void(std::span<const uint8_t> frame)>;

  PacketEngine(packet::TextSink* main, packet::TextSink* second, packet::LinkTrace* trace);
  ~PacketEngine() override;
  PacketEngine(const PacketEngine&) = delete;
  PacketEngine& operator=(const PacketEngine&) = delete;

  void set_transmit(TransmitHook h) { transmit_ = std::move(h); }
  void set_tnc(TncHook h) { tnc_ = std::move(h); }
  void set_heard(HeardHook h) { heard_ = std::move(h); }

  // Applies the settings to the station and builds the modem of their row; for the KISS TNC
  // (type 7) the five parameter frames go out.
  void Apply(const PacketSettings& s);
  const PacketSettings& settings() const { return settings_; }
  bool usesTnc() const { return settings_.modem.type == 7; }

  // Receive audio (11025/s) for the built-in modem.
  void ProcessSamples(std::span<const int16_t> samples);
  // The window's receive path owns the modem receiver: its frames come in through
  // OnModemFrame and its carrier level decides channel access.
  void UseReceiver(packet::PacketChannels* channels) { rx_ = channels ? channels : &channels_; }
  void OnModemFrame(const packet::Ax25Frame& f) {
    const auto bytes = packet::EncodeFrame(f);
    Heard(bytes);
  }
  // Bytes from the KISS TNC.
  void OnTncBytes(std::span<const uint8_t> bytes) { kissRx_.Push(bytes); }
  // A frame (bytes without FCS) to send as it is: monitored, queued, sent with channel access.
  void SubmitFrame(std::span<const uint8_t> frame);

  void Tick55();
  void Second();

  // The carrier-detect indicator: the modem's level at or above its busy threshold.
  bool carrierDetect() const { return rx_->Busy(); }
  size_t framesWaiting() const { return waiting_.size(); }
  packet::Ax25Station& station() { return station_; }
  packet::PacketConsole& console() { return console_; }

 private:
  struct KissIn final : packet::KissReceiver::Handler {
    PacketEngine* engine;
    explicit KissIn(PacketEngine* e) : engine(e) {}
    void OnKissFrame(std::span<const uint8_t> frame) override { engine->Heard(frame); }
  };

  void SendFrame(std::span<const uint8_t> bytes) override;  // the station's output
  void Heard(std::span<const uint8_t> frame);
  void SendKissParameters();

  PacketSettings settings_;
  packet::Ax25Station station_;
  packet::PacketConsole console_;
  packet::PacketChannels channels_;
  packet::PacketChannels* rx_ = &channels_;
  packet::ChannelAccess access_;
  KissIn kissIn_{this};
  packet::KissReceiver kissRx_{&kissIn_};
  std::vector<std::vector<uint8_t>> waiting_;
  TransmitHook transmit_;
  TncHook tnc_;
  HeardHook heard_;
  int kissSeconds_ = 0;
};

class ReceiveSection;
class TransmitSection;

// The packet station in the main window: in mode 13 it hears the selected modem's frames (the
// receive section hands them over instead of printing them), sends through the transmitter as
// prepared samples, and runs the engine on the tick. Connected text and status lines go into
// the main receive text, monitor lines and incoming notices into the second text queue.
class PacketSection final : public Section {
 public:
  PacketSection(StationContext& ctx, ReceiveSection& receive, TransmitSection& transmit);
  ~PacketSection() override;

  const char* name() const override { return "packet"; }
  void OnModeChange(Mode mode) override;
  void OnTick() override;
  void OnSecond() override;
  void OnClosing() override;

  // "Connect to...": outside mode 13 the message "This works for Packet mode only (AX25TX)"
  // (false); a running link is aborted first; then the connection from myCall to remote over
  // the space-separated digis. False with "Cannot connect!" when the calls do not parse or the
  // station refuses.
  bool ConnectCommand(const std::string& remote, const std::string& myCall,
                      const std::string& digis, bool tryAllSsids);
  // The two halves of "Connect to..." around its dialog. BeginConnect: outside mode 13 the
  // message "This works for Packet mode only (AX25TX)" (false); a running link is aborted
  // ("*** ABORTED."); true when the dialog is to be shown. ConnectFromDialog ("CONNECT"): the
  // four entries are stored into their settings, then the connection is made as with
  // ConnectCommand's last step.
  bool BeginConnect();
  bool ConnectFromDialog(const std::string& remote, const std::string& myCall,
                         const std::string& digis, bool tryAllSsids);
  // The AX.25 settings sheet's OK: every value is checked ("" or the message of the first
  // refused one, and nothing changes); then the TNC port is closed, the values go into the
  // member settings (and the file) and the modem selection runs with them. A changed network
  // TNC address (TncHost) thereby moves the station between the serial TNC and the network
  // TNC, either way.
  std::string ApplyAx25Setup(const std::vector<std::string>& values);
  // Characters typed for the connection (the transmit text of mode 13).
  void Type(std::string_view text) { engine_.console().Type(text); }
  // Bytes from the KISS TNC (type 7).
  void OnTncBytes(std::span<const uint8_t> bytes) { engine_.OnTncBytes(bytes); }
  PacketEngine& engine() { return engine_; }
  bool active() const { return active_; }

  // The modem selection: the TNC port is closed (CloseTnc), and in mode 13 the settings are
  // read and applied; with the KISS TNC and a port number the port is opened first (OpenTnc),
  // so the parameter frames reach the TNC at once. Runs at every mode selection and after the
  // AX.25 settings sheet is confirmed.
  void SelectModem();
  // The start sequence of the TNC port: open it, raise RTS, write the expanded KISS enable
  // command and wait 1000 ms. False when the port would not open ("Cannot open TNC port!").
  bool OpenTnc();
  // The stop sequence, only when the port is open: wait 500 ms, write the expanded exit
  // command, wait 1000 ms, close the port.
  void CloseTnc();
  bool tncOpen() const {
    return (tncPort_ != nullptr && tncPort_->IsOpen()) ||
           (tncNet_ != nullptr && tncNet_->state() != platform::TcpClient::State::Closed);
  }
  // Why the TNC port is not open (empty when it is, or when none is configured).
  const std::string& tncStatus() const { return tncStatus_; }
  // The carrier-detect indicator: mode 13 with a built-in modem whose level is at or above
  // its busy threshold.
  bool carrierDetect() const { return active_ && !engine_.usesTnc() && engine_.carrierDetect(); }

  void OnWake() override;

 private:
  struct QueueText final : packet::TextSink {
    engine::RxTextQueue* q = nullptr;
    void PutText(std::string_view t) override {
      for (char c : t) q->Put(static_cast<uint8_t>(c));
    }
  };
  void Message(const char* text, const char* title);
  bool Connect(const std::string& remote, const std::string& myCall, const std::string& digis,
               bool tryAllSsids);
  void SaveAx25Members();
  void WriteTnc(std::span<const uint8_t> bytes);
  void WriteTncText(const std::string& text);
  bool OpenNetworkTnc(const std::string& hostPort);
  void PollNetworkTnc();
  // Typed text from the transmit window into the console while the link can take it.
  void TakeTypedText();

  StationContext& ctx_;
  ReceiveSection& receive_;
  TransmitSection& transmit_;
  QueueText main_, second_;
  FileLinkTrace trace_;
  PacketEngine engine_;
  bool active_ = false;
  std::unique_ptr<platform::SerialPort> tncPort_;
  std::unique_ptr<platform::TcpClient> tncNet_;
  std::string tncAddress_;  // the network TNC's "HOST:PORT", for messages
  std::string tncStatus_;
  char lastTyped_ = 0;  // the last character taken from the transmit window
};

}  // namespace vexa::app
