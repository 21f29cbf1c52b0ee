// The port monitor's text, byte for byte: the "\r\n%i:" head on a new port or after a pause,
// 20 bytes to a line across several arrivals, and nothing for an empty read.
#include "tx/port_monitor.h"

#include <gtest/gtest.h>

#include <vector>

namespace vexa::tx {
namespace {

std::string Feed(PortMonitor& m, int port, std::vector<uint8_t> bytes) {
  return m.Format(port, bytes);
}

TEST(PortMonitor, HeadsANewPortAndAPauseOfThreeTicks) {
  PortMonitor m;
  EXPECT_EQ(Feed(m, 2, {0xfe, 0xfe, 0x00}), "\r\n2: fe fe 00");
  EXPECT_EQ(Feed(m, 2, {0xe0}), " e0");  // same port, no pause: the line goes on
  m.Tick();
  m.Tick();
  EXPECT_EQ(Feed(m, 2, {0x05}), " 05");  // two quiet ticks are not a pause
  m.Tick();
  m.Tick();
  m.Tick();
  EXPECT_EQ(Feed(m, 2, {0xfd}), "\r\n2: fd");
  EXPECT_EQ(Feed(m, 5, {0x3b}), "\r\n5: 3b");  // another port
  EXPECT_EQ(Feed(m, 2, {0x0a}), "\r\n2: 0a");
  EXPECT_EQ(Feed(m, 2, {}), "");
}

TEST(PortMonitor, TwentyBytesALineAcrossArrivals) {
  PortMonitor m;
  std::vector<uint8_t> first(15), second(12);
  for (size_t i = 0; i < first.size(); ++i) first[i] = static_cast<uint8_t>(i);
  for (size_t i = 0; i < second.size(); ++i) second[i] = static_cast<uint8_t>(0xa0 + i);
  EXPECT_EQ(m.Format(1, first), "\r\n1: 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e");
  EXPECT_EQ(m.Format(1, second), " a0 a1 a2 a3 a4\r\n   a5 a6 a7 a8 a9 aa ab");
  // A full line ends exactly at 20 and the 21st byte starts the indented one.
  PortMonitor n;
  std::vector<uint8_t> twenty(20, 0xff);
  const std::string line = n.Format(9, twenty);
  EXPECT_EQ(line.size(), std::string("\r\n9:").size() + 20 * 3);
  EXPECT_EQ(n.Format(9, std::vector<uint8_t>{0x11}), "\r\n   11");
}

TEST(PortMonitor, ResetStartsAFreshHead) {
  PortMonitor m;
  (void)Feed(m, 3, {1, 2});
  m.Reset();
  EXPECT_EQ(Feed(m, 3, {3}), "\r\n3: 03");
}

}  // namespace
}  // namespace vexa::tx
