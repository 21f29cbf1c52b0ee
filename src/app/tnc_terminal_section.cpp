#include "app/tnc_terminal_section.h"

#include "app/settings_table.h"

namespace vexa::app {

void TncTerminalSettings::Load(const platform::SettingsStore& s) {
  com = s.ReadSettingInt("TNC", "Com", 2);
  speed = s.ReadSettingInt("TNC", "Speed", 9600);
  bits = s.ReadSettingInt("TNC", "Bits", 8);
  stopBits = s.ReadSettingInt("TNC", "StopBits", 1);
  useDtr = s.ReadSettingInt("TNC", "UseDtr", 1) != 0;
  useRts = s.ReadSettingInt("TNC", "UseRts", 1) != 0;
}

int TncTerminalSettings::Save(platform::SettingsStore& s) const {
  int failed = 0;
  for (auto [key, value] : {std::pair{"Com", com},
                            {"Speed", speed},
                            {"Bits", bits},
                            {"StopBits", stopBits},
                            {"UseDtr", useDtr ? 1 : 0},
                            {"UseRts", useRts ? 1 : 0}})
    if (s.WriteSettingInt("TNC", key, value) != 0) ++failed;
  return failed;
}

int TncTerminalSettings::SpeedIndex(int speed) {
  int index = 0;
  while (speed / 2 >= 1200 && index < 4) {
    speed /= 2;
    ++index;
  }
  return index;
}

int TncTerminalSettings::SpeedForIndex(int index) {
  if (index < 0) index = 0;
  if (index > 4) index = 4;
  return 1200 << index;
}

TncTerminalSection::~TncTerminalSection() {
  if (!open_) return;
  ctx_.tncTerminal = nullptr;
  ClosePort();
  (void)settings_.Save(ctx_.store());
}

void TncTerminalSection::Open() {
  if (open_) return;
  settings_.Load(ctx_.store());
  open_ = true;
  line_.clear();
  OpenPort();
  ctx_.tncTerminal = [this](std::string_view bytes) { Send(bytes); };
}

void TncTerminalSection::Close() {
  if (!open_) return;
  open_ = false;
  ctx_.tncTerminal = nullptr;  // the CW keyer keys its own line again
  ClosePort();
  if (settings_.Save(ctx_.store()) != 0)
    ctx_.bus.Notice("TNC settings could not be written: " + ctx_.store().lastError());
}

void TncTerminalSection::ApplySettings(const TncTerminalSettings& s) {
  ClosePort();
  settings_ = s;
  if (open_) OpenPort();
}

void TncTerminalSection::OpenPort() {
  portStatus_.clear();
  if (settings_.com <= 0 || !ctx_.config.openSerialPort) return;
  platform::SerialLineSettings ls;
  ls.baud = settings_.speed;
  ls.byteSize = settings_.bits;
  ls.stopBits = settings_.stopBits - 1;
  ls.dsrDtrFlow = settings_.useDtr;
  ls.ctsRtsFlow = settings_.useRts;
  const int n = settings_.com;
  const std::string device =
      ctx_.store().ReadSettingText("Ports", "COM" + std::to_string(n), DefaultPortDevice(n));
  port_ = std::make_unique<platform::SerialPort>();
  port_->SetNotifier([this](int) { ctx_.host.Wake(); });
  if (port_->Open(n, device, ls) != platform::kSerialOk) {
    portStatus_ = port_->lastError();
    port_.reset();
  }
}

void TncTerminalSection::ClosePort() {
  if (port_) (void)port_->Close();
  port_.reset();
}

void TncTerminalSection::Type(uint8_t c) {
  Send(std::string_view(reinterpret_cast<const char*>(&c), 1));
}

void TncTerminalSection::Send(std::string_view bytes) {
  if (!portOpen() || bytes.empty()) return;
  (void)port_->WriteBytes(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

void TncTerminalSection::OnWake() {
  if (!portOpen()) return;
  const std::string bytes = port_->ReadAll();
  if (!bytes.empty()) OnPortBytes(bytes);
}

void TncTerminalSection::OnPortBytes(std::string_view bytes) {
  for (char ch : bytes) {
    const auto c = static_cast<uint8_t>(ch);
    if (c != '\n' && display_) display_(c);
    if (c < 32) {
      if (!line_.empty()) {
        const std::string line = std::move(line_);
        line_.clear();
        ctx_.bus.TerminalLine(line);
      }
    } else if (line_.size() < kLineCapacity) {
      line_.push_back(static_cast<char>(c));
    }
  }
}

}  // namespace vexa::app
