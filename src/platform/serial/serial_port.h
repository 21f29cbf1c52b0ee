#pragma once
// One serial port on a POSIX terminal device: the transceiver port (PTT and CW on DTR/RTS, CAT
// commands), the TNC terminal and the KISS link all use this class.
//
// Open sets the line from a small settings record and starts one reader thread that collects
// incoming bytes into a 16384-byte ring (reads of at most 1023 bytes, as many as are waiting)
// and, after each burst, calls the arrival notifier with the port number. The notifier runs on
// the reader thread: it must only post to (or wake) the main loop, which then takes the bytes
// with ReadAll or ReadByte. Writes are serialised per port, so a CAT command from the main
// thread and a PTT command from the keyer thread never interleave on the line.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>

struct termios;

namespace vexa::platform {

// Results of Open and Close.
enum SerialResult : int {
  kSerialOk = 0,
  kSerialNoWakeup = 1,      // the reader's wake-up channel could not be created
  kSerialNoWriteEvent = 2,  // kept for the numbering of the result codes; not produced here
  kSerialCannotOpen = 3,    // no such device, no permission, or in use
  kSerialNoThread = 4,      // the reader thread could not be started
  kSerialBadSettings = 5,   // the line settings were refused (baud rate, byte size...)
  kSerialNotOpen = 6,       // Close of a port that is not open
};

struct SerialLineSettings {
  int baud = 1200;
  int byteSize = 8;         // 5 to 8
  int parity = 0;           // 0 none, 1 odd, 2 even, 3 mark, 4 space
  int stopBits = 0;         // 0 one, 1 one and a half (sent as two), 2 two
  bool dsrDtrFlow = false;  // raises DTR at open (the terminal layer has no DSR flow control)
  bool ctsRtsFlow = false;  // hardware flow control; raises RTS at open
  bool xonXoff = false;     // software flow control both ways, XON 17, XOFF 19
};

// What the transmitter needs of a port: bytes out and the two modem-control lines. Tests use
// a fake that records them.
class SerialLink {
 public:
  virtual ~SerialLink() = default;
  virtual bool IsOpen() const = 0;
  // 1 written, 0 failed.
  virtual int WriteBytes(std::span<const uint8_t> bytes) = 0;
  virtual void SetDtr(bool on) = 0;
  virtual void SetRts(bool on) = 0;
  // Baud rate of the open port (0 when closed).
  virtual int Speed() const = 0;
};

// The modem-control lines of an open descriptor. The default drives them with the TIOCMBIS and
// TIOCMBIC ioctls; pseudo-terminals have no modem lines, so tests pass a recorder instead.
class ModemLines {
 public:
  virtual ~ModemLines() = default;
  // Returns 0 or an errno value.
  virtual int SetDtr(int fd, bool on) = 0;
  virtual int SetRts(int fd, bool on) = 0;
};
std::unique_ptr<ModemLines> MakeIoctlModemLines();

// Counts kept for diagnostics (and observed by tests).
struct SerialStats {
  uint64_t reads = 0;          // read() calls that returned bytes
  uint64_t largestRead = 0;    // bytes of the largest single read
  uint64_t notifications = 0;  // arrival notifications posted
  uint64_t bytesIn = 0;
  uint64_t bytesLost = 0;  // dropped because the ring was full
};

class SerialPort final : public SerialLink {
 public:
  static constexpr size_t kRingSize = 16384;
  static constexpr size_t kMaxRead = 1023;

  using Notifier = std::function<void(int port)>;

  // lines: null uses the modem-control ioctls.
  explicit SerialPort(std::unique_ptr<ModemLines> lines = nullptr);
  ~SerialPort() override;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens port number `port` (1 or more; 0 is never opened) on the terminal device `device`
  // (e.g. "/dev/ttyUSB0" or a /dev/serial/by-id/ link). Returns a SerialResult; on failure
  // lastError() says why in words the user can act on.
  [[nodiscard]] int Open(int port, const std::string& device, const SerialLineSettings& settings);
  // Lowers DTR and RTS, ends the reader thread and closes the device. kSerialNotOpen when the
  // port was not open.
  int Close();

  // The notifier is called on the reader thread after each burst of bytes.
  void SetNotifier(Notifier notify);

  int WriteText(const char* text);
  int WriteBytes(std::span<const uint8_t> bytes) override;
  // Everything in the ring, oldest first; the ring is emptied.
  std::string ReadAll();
  // The next byte, or -1 when the ring is empty.
  int ReadByte();

  void SetDtr(bool on) override;
  void SetRts(bool on) override;

  bool IsOpen() const override { return state_.load() > 0; }
  // The device hung up while open (a USB adapter unplugged): only closing and opening again
  // brings it back.
  bool vanished() const { return vanished_.load(); }
  int Speed() const override { return IsOpen() ? settings_.baud : 0; }
  // The port number while open; -1 closed or closing; 0 after the reader ended.
  int state() const { return state_.load(); }
  const std::string& device() const { return device_; }
  const SerialLineSettings& settings() const { return settings_; }
  const std::string& lastError() const { return lastError_; }
  SerialStats stats();

 private:
  void ReaderLoop();
  int WriteLocked(const uint8_t* data, size_t n);
  void Append(const uint8_t* data, size_t n);
  void CloseDescriptors();

  std::unique_ptr<ModemLines> lines_;
  std::atomic<int> state_{-1};
  std::atomic<bool> vanished_{false};
  int fd_ = -1;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  std::thread reader_;
  std::string device_;
  SerialLineSettings settings_;
  std::string lastError_;

  std::mutex notifyMutex_;
  Notifier notify_;

  std::mutex ringMutex_;  // ring contents, indices and stats
  uint8_t ring_[kRingSize] = {};
  size_t writeIndex_ = 0;
  size_t readIndex_ = 0;
  SerialStats stats_;

  std::mutex writeMutex_;  // one write at a time per port
};

// The message for a device that would not open (errno err): names the device and, for a
// permission problem, the 'dialout' group.
std::string SerialOpenErrorText(const std::string& device, int err);

// Maps a baud rate to the terminal speed constant; false for a rate the terminal layer lacks.
bool BaudToSpeed(int baud, unsigned& speed);

// Turns the settings into terminal attributes (raw, binary, CLOCAL, no timeouts), starting from
// the port's current attributes in tio. False when a value is out of range. The pseudo-terminal
// driver forces 8 bits without parity whatever is asked, so a virtual port ignores those two.
bool MakeLineSettings(const SerialLineSettings& s, termios& tio);

// Reads everything waiting on a non-blocking descriptor in pieces of at most maxRead bytes,
// passing each piece to sink; stops when a read returns no bytes. Returns the number of reads.
// (The reader thread's inner loop, separate so that it can be checked on its own.)
int DrainInput(int fd, size_t maxRead, const std::function<void(const uint8_t*, size_t)>& sink);

}  // namespace vexa::platform
