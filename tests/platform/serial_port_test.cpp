// The serial port on pseudo-terminals: line settings, burst delivery, close with a waiting
// reader, serialised writes, modem lines through a recording ModemLines, and the device list.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/serial/serial_devices.h"
#include "platform/serial/serial_port.h"
#include "support/pty.h"
#include "support/test_paths.h"

namespace vexa::platform {
namespace {

using test::Pty;

struct LineEvent {
  bool dtr;
  bool on;
};

class RecordingLines final : public ModemLines {
 public:
  explicit RecordingLines(std::vector<LineEvent>* log) : log_(log) {}
  int SetDtr(int, bool on) override {
    log_->push_back({true, on});
    return 0;
  }
  int SetRts(int, bool on) override {
    log_->push_back({false, on});
    return 0;
  }

 private:
  std::vector<LineEvent>* log_;
};

// Collects notified bytes; waits (bounded) for a given count.
struct Collector {
  std::mutex m;
  std::condition_variable cv;
  std::string bytes;
  int notifications = 0;
  void Notify(SerialPort& port) {
    std::lock_guard lock(m);
    bytes += port.ReadAll();
    ++notifications;
    cv.notify_all();
  }
  bool WaitFor(size_t n) {
    std::unique_lock lock(m);
    return cv.wait_for(lock, std::chrono::seconds(10), [&] { return bytes.size() >= n; });
  }
};

TEST(SerialPort, LineSettingsMapToTerminalAttributes) {
  struct Row {
    int byteSize, parity, stopBits;
    tcflag_t size, parityBits;
    bool twoStops;
  };
  const Row rows[] = {
      {8, 0, 0, CS8, 0, false},
      {7, 2, 2, CS7, PARENB, true},                    // even, two stop bits
      {7, 1, 0, CS7, PARENB | PARODD, false},          // odd
      {5, 3, 1, CS5, PARENB | PARODD | CMSPAR, true},  // mark; 1.5 stop bits sent as two
      {6, 4, 0, CS6, PARENB | CMSPAR, false},          // space
  };
  for (const Row& r : rows) {
    SerialLineSettings s;
    s.baud = 4800;
    s.byteSize = r.byteSize;
    s.parity = r.parity;
    s.stopBits = r.stopBits;
    termios t{};
    t.c_cflag = PARENB | CS8 | CRTSCTS;  // leftovers from an earlier user must go
    t.c_lflag = ICANON | ECHO;
    ASSERT_TRUE(MakeLineSettings(s, t));
    EXPECT_EQ(t.c_cflag & CSIZE, r.size) << r.byteSize;
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), r.parityBits) << r.parity;
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, r.twoStops);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_NE(t.c_cflag & CLOCAL, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B4800));
  }
  SerialLineSettings bad;
  termios t{};
  for (int size : {4, 9}) {
    bad.byteSize = size;
    EXPECT_FALSE(MakeLineSettings(bad, t));
  }
  bad = {};
  bad.parity = 5;
  EXPECT_FALSE(MakeLineSettings(bad, t));
  bad = {};
  bad.stopBits = 3;
  EXPECT_FALSE(MakeLineSettings(bad, t));
}

TEST(SerialPort, OpenAppliesLineSettingsAndRawMode) {
  Pty pty;
  ASSERT_FALSE(pty.name.empty());
  SerialPort port;
  SerialLineSettings s;
  s.baud = 9600;
  s.stopBits = 2;
  s.xonXoff = true;
  ASSERT_EQ(port.Open(3, pty.name, s), kSerialOk) << port.lastError();
  EXPECT_EQ(port.state(), 3);
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(port.Speed(), 9600);

  termios t{};
  ASSERT_EQ(tcgetattr(pty.slave, &t), 0);
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & PARENB, 0u);
  EXPECT_NE(t.c_cflag & CSTOPB, 0u);
  EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
  EXPECT_NE(t.c_iflag & IXON, 0u);
  EXPECT_NE(t.c_iflag & IXOFF, 0u);
  EXPECT_EQ(t.c_cc[VSTART], 17);
  EXPECT_EQ(t.c_cc[VSTOP], 19);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);  // binary: no line editing or echo
  EXPECT_EQ(t.c_oflag & OPOST, 0u);

  EXPECT_EQ(port.Close(), kSerialOk);
  EXPECT_EQ(port.state(), 0);
  EXPECT_EQ(port.Close(), kSerialNotOpen);
}

TEST(SerialPort, OpenFailuresGiveTheirCodesAndWords) {
  SerialPort port;
  SerialLineSettings s;
  EXPECT_EQ(port.Open(0, "/dev/null", s), kSerialCannotOpen);  // port 0 is never opened
  EXPECT_EQ(port.Open(1, "/nonexistent/ttyUSB9", s), kSerialCannotOpen);
  EXPECT_NE(port.lastError().find("/nonexistent/ttyUSB9"), std::string::npos);
  EXPECT_FALSE(port.IsOpen());

  Pty pty;
  s.baud = 12345;  // no such terminal speed
  EXPECT_EQ(port.Open(1, pty.name, s), kSerialBadSettings);
  s.baud = 1200;
  s.byteSize = 9;
  EXPECT_EQ(port.Open(1, pty.name, s), kSerialBadSettings);
  // A file that is not a terminal refuses the line settings.
  test::TempDir dir;
  test::WriteFileBytes(dir.File("plain"), "x");
  s.byteSize = 8;
  EXPECT_EQ(port.Open(1, dir.File("plain"), s), kSerialBadSettings);
  EXPECT_FALSE(port.IsOpen());
}

TEST(SerialPort, PermissionDeniedNamesTheDeviceAndTheDialoutGroup) {
  if (geteuid() == 0) GTEST_SKIP() << "running as root: permissions are not enforced";
  test::TempDir dir;
  const std::string path = dir.File("ttyLocked");
  test::WriteFileBytes(path, "");
  std::filesystem::permissions(path, std::filesystem::perms::none);
  SerialPort port;
  EXPECT_EQ(port.Open(1, path, SerialLineSettings{}), kSerialCannotOpen);
  EXPECT_NE(port.lastError().find(path), std::string::npos);
  EXPECT_NE(port.lastError().find("dialout"), std::string::npos);
}

TEST(SerialPort, OpenErrorTextsSayWhatToDo) {
  const std::string denied = SerialOpenErrorText("/dev/ttyUSB0", EACCES);
  EXPECT_NE(denied.find("/dev/ttyUSB0"), std::string::npos);
  EXPECT_NE(denied.find("dialout"), std::string::npos);
  EXPECT_NE(SerialOpenErrorText("/dev/ttyACM1", ENOENT).find("no such device"), std::string::npos);
  EXPECT_NE(SerialOpenErrorText("/dev/ttyS0", EBUSY).find("in use"), std::string::npos);
}

TEST(SerialPort, SecondOpenOfTheSameDeviceIsRefused) {
  Pty pty;
  SerialPort a, b;
  ASSERT_EQ(a.Open(1, pty.name, SerialLineSettings{}), kSerialOk);
  EXPECT_EQ(b.Open(2, pty.name, SerialLineSettings{}), kSerialCannotOpen);
  EXPECT_NE(b.lastError().find("in use"), std::string::npos);
}

TEST(SerialPort, ReceivesBytesAndNotifiesWithThePortNumber) {
  Pty pty;
  SerialPort port;
  Collector col;
  std::atomic<int> notifiedPort{0};
  port.SetNotifier([&](int n) {
    notifiedPort = n;
    col.Notify(port);
  });
  ASSERT_EQ(port.Open(4, pty.name, SerialLineSettings{}), kSerialOk);
  const std::string msg = "FA00014070000;";
  ASSERT_EQ(write(pty.master, msg.data(), msg.size()), static_cast<ssize_t>(msg.size()));
  ASSERT_TRUE(col.WaitFor(msg.size()));
  EXPECT_EQ(col.bytes, msg);
  EXPECT_EQ(notifiedPort.load(), 4);
  EXPECT_EQ(port.ReadByte(), -1);  // everything was taken by ReadAll
}

TEST(SerialPort, BurstsLargerThanOneReadArriveCompleteInReadsOfAtMost1023) {
  Pty pty;
  SerialPort port;
  Collector col;
  port.SetNotifier([&](int) { col.Notify(port); });
  ASSERT_EQ(port.Open(1, pty.name, SerialLineSettings{}), kSerialOk);
  std::string burst;
  for (int i = 0; i < 3000; ++i) burst.push_back(static_cast<char>(i * 7 + 3));
  ASSERT_EQ(write(pty.master, burst.data(), burst.size()), static_cast<ssize_t>(burst.size()));
  ASSERT_TRUE(col.WaitFor(burst.size()));
  EXPECT_EQ(col.bytes, burst);
  const SerialStats st = port.stats();
  EXPECT_GE(st.reads, 3u);
  EXPECT_LE(st.largestRead, SerialPort::kMaxRead);
  EXPECT_LT(st.notifications, st.reads);  // one notification covers several reads
  EXPECT_EQ(st.bytesLost, 0u);
}

TEST(SerialPort, DrainReadsAWaitingBurstInPiecesOf1023) {
  Pty pty;
  const int flags = fcntl(pty.slave, F_GETFL);
  ASSERT_EQ(fcntl(pty.slave, F_SETFL, flags | O_NONBLOCK), 0);
  termios t{};
  ASSERT_EQ(tcgetattr(pty.slave, &t), 0);
  cfmakeraw(&t);
  ASSERT_EQ(tcsetattr(pty.slave, TCSANOW, &t), 0);
  const std::string burst(3000, 'x');
  ASSERT_EQ(write(pty.master, burst.data(), burst.size()), 3000);
  // Wait (bounded) until the whole burst is queued on the slave side: the pty passes it on in
  // pieces, so readable is not yet complete.
  int waiting = 0;
  for (int i = 0; i < 1000 && waiting < 3000; ++i) {
    ioctl(pty.slave, FIONREAD, &waiting);
    if (waiting < 3000) (void)poll(nullptr, 0, 2);
  }
  ASSERT_EQ(waiting, 3000);
  std::vector<size_t> pieces;
  const int reads = DrainInput(pty.slave, SerialPort::kMaxRead,
                               [&](const uint8_t*, size_t n) { pieces.push_back(n); });
  EXPECT_EQ(reads, 3);
  EXPECT_EQ(pieces, (std::vector<size_t>{1023, 1023, 954}));
}

TEST(SerialPort, RingKeepsTheNewestBytesWhenFull) {
  Pty pty;
  SerialPort port;
  ASSERT_EQ(port.Open(1, pty.name, SerialLineSettings{}), kSerialOk);
  std::string data;
  for (int i = 0; i < 20000; ++i) data.push_back(static_cast<char>('a' + i % 26));
  size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t w =
        write(pty.master, data.data() + sent, std::min<size_t>(2000, data.size() - sent));
    ASSERT_GT(w, 0);
    sent += static_cast<size_t>(w);
    for (int i = 0; i < 1000 && port.stats().bytesIn < sent; ++i) {
      pollfd p{-1, 0, 0};
      (void)poll(&p, 0, 5);
    }
  }
  ASSERT_EQ(port.stats().bytesIn, data.size());
  const std::string got = port.ReadAll();
  EXPECT_EQ(got.size(), SerialPort::kRingSize - 1);
  EXPECT_EQ(got, data.substr(data.size() - got.size()));
  EXPECT_EQ(port.stats().bytesLost, data.size() - got.size());
}

TEST(SerialPort, CloseEndsAReaderWaitingForBytes) {
  Pty pty;
  SerialPort port;
  ASSERT_EQ(port.Open(2, pty.name, SerialLineSettings{}), kSerialOk);
  // The reader is waiting: nothing has arrived. Close must end it and release the device.
  EXPECT_EQ(port.Close(), kSerialOk);
  EXPECT_EQ(port.state(), 0);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.WriteText("x"), 0);  // a closed port writes nothing
  ASSERT_EQ(port.Open(2, pty.name, SerialLineSettings{}), kSerialOk);  // free again
  EXPECT_EQ(port.Close(), kSerialOk);
}

TEST(SerialPort, WritesFromTwoThreadsNeverInterleave) {
  Pty pty;
  SerialPort port;
  ASSERT_EQ(port.Open(1, pty.name, SerialLineSettings{}), kSerialOk);
  constexpr int kBlocks = 20;
  constexpr size_t kLen = 3000;  // larger than the pty buffer takes at once: writes are partial
  auto writer = [&](char c) {
    const std::vector<uint8_t> block(kLen, static_cast<uint8_t>(c));
    for (int i = 0; i < kBlocks; ++i) EXPECT_EQ(port.WriteBytes(block), 1);
  };
  std::thread a(writer, 'A'), b(writer, 'B');
  const std::string got = pty.ReadMaster(2 * kBlocks * kLen);
  a.join();
  b.join();
  ASSERT_EQ(got.size(), 2 * kBlocks * kLen);
  for (size_t at = 0; at < got.size(); at += kLen) {
    const std::string block = got.substr(at, kLen);
    EXPECT_EQ(block.find_first_not_of(block[0]), std::string::npos)
        << "block at " << at << " is mixed";
  }
}

TEST(SerialPort, LinesGoIdleAtOpenFollowFlowFlagsAndDropAtClose) {
  Pty pty;
  std::vector<LineEvent> log;
  SerialPort port(std::make_unique<RecordingLines>(&log));
  ASSERT_EQ(port.Open(1, pty.name, SerialLineSettings{}), kSerialOk);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_TRUE(log[0].dtr && !log[0].on);  // lowered at once: no keying at start-up
  EXPECT_TRUE(!log[1].dtr && !log[1].on);
  port.SetDtr(true);
  port.SetRts(true);
  ASSERT_EQ(log.size(), 4u);
  EXPECT_TRUE(log[2].dtr && log[2].on);
  EXPECT_TRUE(!log[3].dtr && log[3].on);
  EXPECT_EQ(port.Close(), kSerialOk);
  ASSERT_EQ(log.size(), 6u);
  EXPECT_FALSE(log[4].on);
  EXPECT_FALSE(log[5].on);
  port.SetDtr(true);  // closed: nothing happens
  EXPECT_EQ(log.size(), 6u);

  log.clear();
  SerialLineSettings flow;
  flow.dsrDtrFlow = true;
  flow.ctsRtsFlow = true;
  ASSERT_EQ(port.Open(1, pty.name, flow), kSerialOk);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_TRUE(log[0].on);
  EXPECT_TRUE(log[1].on);
}

TEST(SerialPort, BaudTableKnowsTheRigSpeeds) {
  unsigned sp = 0;
  for (int b : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200})
    EXPECT_TRUE(BaudToSpeed(b, sp));
  EXPECT_TRUE(BaudToSpeed(4800, sp));
  EXPECT_EQ(sp, static_cast<unsigned>(B4800));
  EXPECT_FALSE(BaudToSpeed(0, sp));
  EXPECT_FALSE(BaudToSpeed(-9600, sp));
  EXPECT_FALSE(BaudToSpeed(1201, sp));
}

TEST(SerialDevices, ListsAdaptersInNaturalOrderAndResolvesByIdLinks) {
  test::TempDir dir;
  namespace fs = std::filesystem;
  for (const char* n : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "tty0", "null"})
    test::WriteFileBytes(dir.File(n), "");
  fs::create_directories(dir.path() + "/serial/by-id");
  fs::create_symlink("../../ttyUSB2", dir.path() + "/serial/by-id/usb-FTDI_FT232R-if00-port0");
  const auto list = ListSerialDevices(dir.path());
  std::vector<std::string> names;
  for (const auto& e : list) names.push_back(fs::path(e.path).filename().string());
  // ttyS0 here is a plain file, which does not answer as a UART: it is left out.
  EXPECT_EQ(names, (std::vector<std::string>{"ttyUSB2", "ttyUSB10", "ttyACM0",
                                             "usb-FTDI_FT232R-if00-port0"}));
  EXPECT_EQ(list.back().target, fs::canonical(dir.File("ttyUSB2")).string());
  EXPECT_TRUE(ListSerialDevices(dir.path() + "/missing").empty());
}

}  // namespace
}  // namespace vexa::platform
