#include "platform/serial/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace vexa::platform {
namespace {

class IoctlModemLines final : public ModemLines {
 public:
  int SetDtr(int fd, bool on) override { return Set(fd, TIOCM_DTR, on); }
  int SetRts(int fd, bool on) override { return Set(fd, TIOCM_RTS, on); }

 private:
  static int Set(int fd, int bit, bool on) {
    if (fd < 0) return EBADF;
    return ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bit) == 0 ? 0 : errno;
  }
};

struct BaudRow {
  int baud;
  speed_t speed;
};

constexpr BaudRow kBauds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

std::string OpenErrorTextImpl(const std::string& device, int err) {
  std::string s = "Cannot open serial port " + device + ": ";
  switch (err) {
    case EACCES:
    case EPERM:
      s += "permission denied. Add your user to the 'dialout' group (sudo usermod -aG dialout ";
      s += "$USER) and log in again.";
      break;
    case ENOENT:
    case ENODEV:
    case ENXIO:
      s += "no such device (is the interface plugged in? 'vexa-cli ports' lists the ports).";
      break;
    case EBUSY:
    case EWOULDBLOCK:
      s += "the port is in use by another program.";
      break;
    default:
      s += std::strerror(err);
  }
  return s;
}

}  // namespace

std::string SerialOpenErrorText(const std::string& device, int err) {
  return OpenErrorTextImpl(device, err);
}

std::unique_ptr<ModemLines> MakeIoctlModemLines() {
  return std::make_unique<IoctlModemLines>();
}

bool BaudToSpeed(int baud, unsigned& speed) {
  for (const auto& row : kBauds) {
    if (row.baud == baud) {
      speed = static_cast<unsigned>(row.speed);
      return true;
    }
  }
  return false;
}

bool MakeLineSettings(const SerialLineSettings& s, termios& tio) {
  unsigned speed = 0;
  if (!BaudToSpeed(s.baud, speed) || s.byteSize < 5 || s.byteSize > 8 || s.parity < 0 ||
      s.parity > 4 || s.stopBits < 0 || s.stopBits > 2)
    return false;
  cfmakeraw(&tio);
  cfsetispeed(&tio, static_cast<speed_t>(speed));
  cfsetospeed(&tio, static_cast<speed_t>(speed));
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  tio.c_cflag |= kSizes[s.byteSize - 5] | CLOCAL | CREAD;
  switch (s.parity) {
    case 1:
      tio.c_cflag |= PARENB | PARODD;
      break;
    case 2:
      tio.c_cflag |= PARENB;
      break;
    case 3:
      tio.c_cflag |= PARENB | PARODD | CMSPAR;
      break;
    case 4:
      tio.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  if (s.stopBits != 0) tio.c_cflag |= CSTOPB;  // one and a half is sent as two
  if (s.ctsRtsFlow) tio.c_cflag |= CRTSCTS;
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
  if (s.xonXoff) tio.c_iflag |= IXON | IXOFF;
  tio.c_cc[VSTART] = 17;
  tio.c_cc[VSTOP] = 19;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  return true;
}

int DrainInput(int fd, size_t maxRead, const std::function<void(const uint8_t*, size_t)>& sink) {
  uint8_t buf[4096];
  maxRead = std::clamp<size_t>(maxRead, 1, sizeof buf);
  int reads = 0;
  for (;;) {
    int waiting = 0;
    if (ioctl(fd, FIONREAD, &waiting) != 0) waiting = 0;
    const size_t want = waiting > 0 ? std::min(static_cast<size_t>(waiting), maxRead) : maxRead;
    const ssize_t n = read(fd, buf, want);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    ++reads;
    sink(buf, static_cast<size_t>(n));
  }
  return reads;
}

SerialPort::SerialPort(std::unique_ptr<ModemLines> lines)
    : lines_(lines ? std::move(lines) : MakeIoctlModemLines()) {}

SerialPort::~SerialPort() {
  (void)Close();
}

void SerialPort::CloseDescriptors() {
  if (fd_ >= 0) {
    flock(fd_, LOCK_UN);
    ::close(fd_);
  }
  if (wakeRead_ >= 0) ::close(wakeRead_);
  if (wakeWrite_ >= 0) ::close(wakeWrite_);
  fd_ = wakeRead_ = wakeWrite_ = -1;
}

int SerialPort::Open(int port, const std::string& device, const SerialLineSettings& s) {
  if (IsOpen()) (void)Close();
  {
    std::lock_guard lock(ringMutex_);
    writeIndex_ = readIndex_ = 0;
  }
  state_ = -1;
  vanished_ = false;
  lastError_.clear();
  device_ = device;
  if (port < 1 || device.empty()) {
    lastError_ = "No serial port is set for this number.";
    return kSerialCannotOpen;
  }

  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
    lastError_ = "Cannot create the reader's wake-up pipe: ";
    lastError_ += std::strerror(errno);
    return kSerialNoWakeup;
  }
  wakeRead_ = pipeFds[0];
  wakeWrite_ = pipeFds[1];

  fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) {
    lastError_ = SerialOpenErrorText(device, errno);
    CloseDescriptors();
    return kSerialCannotOpen;
  }
  // Exclusive use: a second program keying the same line would be a hazard on the air.
  if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    lastError_ = SerialOpenErrorText(device, EBUSY);
    CloseDescriptors();
    return kSerialCannotOpen;
  }
  (void)ioctl(fd_, TIOCEXCL);

  termios tio{};
  unsigned speed = 0;
  if (tcgetattr(fd_, &tio) != 0 || !BaudToSpeed(s.baud, speed) || s.byteSize < 5 ||
      s.byteSize > 8 || s.parity < 0 || s.parity > 4 || s.stopBits < 0 || s.stopBits > 2) {
    lastError_ = "The serial port " + device + " refused the line settings.";
    CloseDescriptors();
    return kSerialBadSettings;
  }
  tcflush(fd_, TCIOFLUSH);
  if (!MakeLineSettings(s, tio)) {
    lastError_ = "The serial port " + device + " refused the line settings.";
    CloseDescriptors();
    return kSerialBadSettings;
  }
  termios check{};
  if (tcsetattr(fd_, TCSANOW, &tio) != 0 || tcgetattr(fd_, &check) != 0 ||
      cfgetospeed(&check) != static_cast<speed_t>(speed)) {
    lastError_ = "The serial port " + device + " refused the line settings.";
    CloseDescriptors();
    return kSerialBadSettings;
  }

  settings_ = s;
  state_ = port;
  try {
    reader_ = std::thread([this] { ReaderLoop(); });
  } catch (...) {
    state_ = -1;
    lastError_ = "Cannot start the serial reader thread.";
    CloseDescriptors();
    return kSerialNoThread;
  }
  // Lines go to their idle level at once: opening a terminal raises DTR and RTS, and a rig
  // wired for PTT on one of them would otherwise key up at start-up.
  (void)lines_->SetDtr(fd_, s.dsrDtrFlow);
  (void)lines_->SetRts(fd_, s.ctsRtsFlow);
  return kSerialOk;
}

int SerialPort::Close() {
  if (state_.load() <= 0) return kSerialNotOpen;
  state_ = -1;
  (void)lines_->SetDtr(fd_, false);
  (void)lines_->SetRts(fd_, false);
  tcflush(fd_, TCIOFLUSH);
  const uint8_t wake = 1;
  (void)!write(wakeWrite_, &wake, 1);
  // The reader waits in poll() on the device and the wake-up pipe and never blocks in read(),
  // so it ends as soon as it sees the pipe.
  if (reader_.joinable()) reader_.join();
  state_ = 0;
  CloseDescriptors();
  return kSerialOk;
}

void SerialPort::SetNotifier(Notifier notify) {
  std::lock_guard lock(notifyMutex_);
  notify_ = std::move(notify);
}

void SerialPort::Append(const uint8_t* data, size_t n) {
  std::lock_guard lock(ringMutex_);
  ++stats_.reads;
  stats_.largestRead = std::max<uint64_t>(stats_.largestRead, n);
  stats_.bytesIn += n;
  for (size_t i = 0; i < n; ++i) {
    ring_[writeIndex_] = data[i];
    writeIndex_ = (writeIndex_ + 1) % kRingSize;
    if (writeIndex_ == readIndex_) {  // full: drop the oldest byte, keep the newest
      readIndex_ = (readIndex_ + 1) % kRingSize;
      ++stats_.bytesLost;
    }
  }
}

void SerialPort::ReaderLoop() {
  const int port = state_.load();
  while (state_.load() > 0) {
    pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    const int r = poll(fds, 2, -1);
    if (r < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if ((fds[1].revents & POLLIN) != 0 || state_.load() <= 0) break;
    if (fds[0].revents == 0) continue;
    const int reads =
        DrainInput(fd_, kMaxRead, [this](const uint8_t* d, size_t n) { Append(d, n); });
    if (reads > 0) {
      std::lock_guard lock(notifyMutex_);
      {
        std::lock_guard ringLock(ringMutex_);
        ++stats_.notifications;
      }
      if (notify_) notify_(port);
    } else if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      // The device went away (USB unplugged): tell the owner once, then wait for Close
      // without spinning.
      if (!vanished_.exchange(true)) {
        std::lock_guard lock(notifyMutex_);
        if (notify_) notify_(port);
      }
      pollfd wake = {wakeRead_, POLLIN, 0};
      (void)poll(&wake, 1, 100);
    }
  }
}

int SerialPort::WriteLocked(const uint8_t* data, size_t n) {
  // Time allowed: 1 ms per byte plus one second, like the port's write timeouts.
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(1000 + n);
  size_t done = 0;
  while (done < n) {
    const ssize_t w = ::write(fd_, data + done, n - done);
    if (w > 0) {
      done += static_cast<size_t>(w);
      continue;
    }
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && errno != EAGAIN) return 0;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return 0;
    pollfd p = {fd_, POLLOUT, 0};
    if (poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR) return 0;
  }
  return 1;
}

int SerialPort::WriteBytes(std::span<const uint8_t> bytes) {
  std::lock_guard lock(writeMutex_);
  if (!IsOpen()) return 0;
  return WriteLocked(bytes.data(), bytes.size());
}

int SerialPort::WriteText(const char* text) {
  if (text == nullptr) return 0;
  return WriteBytes(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text), std::strlen(text)));
}

std::string SerialPort::ReadAll() {
  std::lock_guard lock(ringMutex_);
  std::string out;
  while (readIndex_ != writeIndex_) {
    out.push_back(static_cast<char>(ring_[readIndex_]));
    readIndex_ = (readIndex_ + 1) % kRingSize;
  }
  return out;
}

int SerialPort::ReadByte() {
  std::lock_guard lock(ringMutex_);
  if (readIndex_ == writeIndex_) return -1;
  const int c = ring_[readIndex_];
  readIndex_ = (readIndex_ + 1) % kRingSize;
  return c;
}

void SerialPort::SetDtr(bool on) {
  std::lock_guard lock(writeMutex_);
  if (IsOpen()) (void)lines_->SetDtr(fd_, on);
}

void SerialPort::SetRts(bool on) {
  std::lock_guard lock(writeMutex_);
  if (IsOpen()) (void)lines_->SetRts(fd_, on);
}

SerialStats SerialPort::stats() {
  std::lock_guard lock(ringMutex_);
  return stats_;
}

}  // namespace vexa::platform
