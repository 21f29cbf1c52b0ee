// The AX.25 settings sheet's values: milliseconds shown for the 10 ms settings, the speed list
// index, the monitor mask's four boxes, the ranges of OK; and OK through the packet section:
// the TNC port closed first, the values in the members and the file, the modem selection run
// again (the TNC gets its start command and the new parameters); the network TNC's address
// switching the station between the serial TNC and a TNC on the network, both ways.
#include "app/ax25_setup.h"

#include <gtest/gtest.h>

#include "app/main_core.h"
#include "support/net_tnc.h"
#include "support/pty.h"
#include "support/test_station.h"

namespace vexa::app {
namespace {

std::string& At(std::vector<std::string>& v, const char* key, int bit = 0) {
  const int i = FindAx25Field(key, bit);
  EXPECT_GE(i, 0) << key;
  return v.at(static_cast<size_t>(i < 0 ? 0 : i));
}

TEST(Ax25Setup, FourPagesWithTheirFields) {
  EXPECT_STREQ(Ax25PageTitle(Ax25Page::General), "General");
  EXPECT_STREQ(Ax25PageTitle(Ax25Page::BeaconMonitor), "Beacon/Monitor");
  EXPECT_STREQ(Ax25PageTitle(Ax25Page::Parameters), "Parameters");
  EXPECT_STREQ(Ax25PageTitle(Ax25Page::Tnc), "TNC & Custom AFSK");
  int perPage[kAx25PageCount] = {};
  for (const Ax25Field& f : Ax25Fields()) ++perPage[static_cast<int>(f.page)];
  EXPECT_EQ(perPage[0], 6);
  EXPECT_EQ(perPage[1], 10);  // six beacon fields and the four monitor boxes
  EXPECT_EQ(perPage[2], 12);
  EXPECT_EQ(perPage[3], 12);  // the serial port's six, the network TNC, two commands, AFSK
  const int host = FindAx25Field("TncHost");
  ASSERT_GE(host, 0);
  const Ax25Field& net = Ax25Fields()[static_cast<size_t>(host)];
  EXPECT_EQ(net.page, Ax25Page::Tnc);
  EXPECT_EQ(net.kind, Ax25Kind::HostPort);
  EXPECT_STREQ(net.label, "&Network TNC (host:port)");
  EXPECT_EQ(host, FindAx25Field("TncCom") + 1) << "shown right below the serial port";
  const Ax25Field& modem = Ax25Fields()[static_cast<size_t>(FindAx25Field("Modem_type"))];
  ASSERT_EQ(modem.choices.size(), 8u);
  EXPECT_EQ(modem.choices[7].label, "KISS TNC");
  EXPECT_EQ(modem.choices[1].label, "VHF 1200 baud  (Standard, 1200/2200 Hz)");
}

TEST(Ax25Setup, ShownValuesAndTheirWayBack) {
  test::TestStation t;
  ASSERT_EQ(t.store.WriteSettingInt("AX.25", "TxDelay", 30), 0);
  ASSERT_EQ(t.store.WriteSettingInt("AX.25", "TncSpeed", 9600), 0);
  ASSERT_EQ(t.store.WriteSettingInt("AX.25", "MonitorMask", 16 + 5), 0);
  t.Start();
  MemberSettings& m = t.core->members();
  auto v = ReadAx25Setup(m);
  ASSERT_EQ(v.size(), Ax25Fields().size());
  EXPECT_EQ(At(v, "TxDelay"), "300") << "TxDelay 30 shows as 300 ms";
  EXPECT_EQ(At(v, "TncSpeed"), "3") << "9600 is the fourth entry";
  EXPECT_EQ(At(v, "MonitorMask", 1), "1");
  EXPECT_EQ(At(v, "MonitorMask", 2), "0");
  EXPECT_EQ(At(v, "MonitorMask", 4), "1");
  EXPECT_EQ(At(v, "MonitorMask", 8), "0");
  EXPECT_EQ(At(v, "Modem_type"), "0");

  // Out of range: the message names the field and nothing changes.
  const int maxFrame = m.maxFrame.value;
  const std::string incoming = m.incomingMyCalls.Text();
  for (auto [key, bad] : {std::pair{"MaxFrame", "8"},
                          {"MaxFrame", "0"},
                          {"PacLen", "256"},
                          {"TxDelay", "2560"},
                          {"Persist", "-1"},
                          {"RetryTime", "61"},
                          {"RetryLimit", "10001"},
                          {"IdlePollTime", "3601"},
                          {"RedundancyTime", "59"},
                          {"MaxFrame", "3x"},
                          {"TncSpeed", "5"},
                          {"Modem_type", "8"},
                          {"BeaconSrcCall", "NOT A CALL"},
                          {"MyDigis", "DB0AAA DB0AAA-1 !!"},
                          {"TncHost", "localhost"},
                          {"TncHost", "127.0.0.1:"},
                          {"TncHost", ":8001"},
                          {"TncHost", "127.0.0.1:0"},
                          {"TncHost", "127.0.0.1:65536"},
                          {"TncHost", "127.0.0.1:80x"},
                          {"TncHost", "127.0.0.1:-1"},
                          {"TncHost", "my host:8001"}}) {
    auto w = v;
    w.at(0) = "DL1ME";  // a good change elsewhere must not go in either
    At(w, key) = bad;
    const std::string error = StoreAx25Setup(w, m);
    EXPECT_FALSE(error.empty()) << key << "=" << bad;
    EXPECT_EQ(m.maxFrame.value, maxFrame);
    EXPECT_EQ(m.incomingMyCalls.Text(), incoming) << key;
    EXPECT_EQ(m.tncHost.value, "") << key;
  }
  {
    auto w = v;
    At(w, "TncHost") = "127.0.0.1:65536";
    const std::string error = StoreAx25Setup(w, m);
    EXPECT_EQ(error.rfind("Network TNC (host:port): ", 0), 0u) << error;
    EXPECT_NE(error.find("between 1 and 65535"), std::string::npos) << error;
  }
  EXPECT_NE(StoreAx25Setup(
                [&] {
                  auto w = v;
                  At(w, "MaxFrame") = "8";
                  return w;
                }(),
                m)
                .find("between 1 and 7"),
            std::string::npos);

  // Good values: ms back to 10 ms units, the index back to the speed, the boxes into the mask
  // (bits above the four kept).
  At(v, "TxDelay") = "255";
  At(v, "SlotTime") = "2550";
  At(v, "TncSpeed") = "4";
  At(v, "MonitorMask", 1) = "0";
  At(v, "MonitorMask", 8) = "1";
  At(v, "MaxFrame") = "7";
  At(v, "IncomingMyCalls") = "DL1ME DL1ME-5";
  At(v, "BeaconText") = std::string(254, 'b');
  At(v, "TncHost") = " tnc.example.net:65535 ";
  ASSERT_EQ(StoreAx25Setup(v, m), "");
  EXPECT_EQ(m.tncHost.value, "tnc.example.net:65535") << "kept without the blanks";
  EXPECT_EQ(ReadAx25Setup(m).at(static_cast<size_t>(FindAx25Field("TncHost"))),
            "tnc.example.net:65535");
  EXPECT_EQ(m.txDelay.value, 25);
  EXPECT_EQ(m.slotTime.value, 255);
  EXPECT_EQ(m.tncSpeed.value, 19200);
  EXPECT_EQ(m.monitorMask.value, 16 + 4 + 8);
  EXPECT_EQ(m.maxFrame.value, 7);
  EXPECT_EQ(m.incomingMyCalls.Text().substr(0, 13), "DL1ME DL1ME-5");
  At(v, "BeaconText") = std::string(255, 'b');
  EXPECT_NE(StoreAx25Setup(v, m), "") << "the beacon text stays below 255 characters";
  // Empty: back to the serial TNC port.
  At(v, "BeaconText") = "beacon";
  At(v, "TncHost") = "  ";
  ASSERT_EQ(StoreAx25Setup(v, m), "");
  EXPECT_EQ(m.tncHost.value, "");
  At(v, "TncHost") = "127.0.0.1:1";
  EXPECT_EQ(StoreAx25Setup(v, m), "") << "port 1 is the lowest";
}

TEST(Ax25Setup, OkClosesTheTncStoresAndSelectsTheModemAgain) {
  test::TestStation t;
  test::Pty tnc;
  ASSERT_FALSE(tnc.name.empty()) << "no pseudo-terminal";
  ASSERT_EQ(t.store.WriteSettingInt("TX1", "ComPort", 0), 0);
  ASSERT_EQ(t.store.WriteSettingInt("AX.25", "Modem_type", 7), 0);
  ASSERT_EQ(t.store.WriteSettingInt("AX.25", "TncCom", 6), 0);
  ASSERT_EQ(t.store.WriteSettingText("Ports", "COM6", tnc.name), 0);
  t.onSleep = [](int) { usleep(20000); };
  t.Start(/*openPort=*/true);
  t.core->SetMode(Mode::Ax25Tx);
  PacketSection& p = t.core->packet();
  ASSERT_TRUE(p.tncOpen()) << p.tncStatus();
  (void)tnc.ReadMaster(16 + 20);

  // A refused value: the port stays open and the TNC hears nothing.
  auto v = ReadAx25Setup(t.core->members());
  At(v, "Persist") = "256";
  t.sleeps.clear();
  EXPECT_NE(p.ApplyAx25Setup(v), "");
  EXPECT_TRUE(p.tncOpen());
  EXPECT_TRUE(t.sleeps.empty());

  At(v, "Persist") = "100";
  At(v, "KissDisableCommand") = "^C^C^Cquit^M";
  EXPECT_EQ(p.ApplyAx25Setup(v), "");
  // The old exit command closes the port, then the start sequence with the new parameters.
  const std::string expect = std::string("\x03\x03\x03") + "KISS ON\nRESTART\n" +
                             std::string("\xC0\x01\x1E\xC0\xC0\x02\x64\xC0", 8);
  EXPECT_EQ(tnc.ReadMaster(expect.size() + 12).substr(0, expect.size()), expect);
  EXPECT_EQ(t.sleeps, (std::vector<int>{500, 1000, 1000}));
  EXPECT_TRUE(p.tncOpen());
  EXPECT_EQ(t.core->members().persist.value, 100);
  EXPECT_EQ(t.store.ReadSettingInt("AX.25", "Persist", 0), 100);
  // The new exit command is the one used next.
  t.core->SetMode(Mode::Psk31);
  EXPECT_EQ(tnc.ReadMaster(8), "\x03\x03\x03quit\r");
}

TEST(Ax25Setup, OkSwitchesBetweenTheSerialAndTheNetworkTnc) {
  test::TestStation t;
  test::Pty serial;
  ASSERT_FALSE(serial.name.empty()) << "no pseudo-terminal";
  test::NetTnc net;
  ASSERT_GT(net.port, 0);
  ASSERT_EQ(t.store.WriteSettingInt("TX1", "ComPort", 0), 0);
  ASSERT_EQ(t.store.WriteSettingInt("AX.25", "Modem_type", 7), 0);
  ASSERT_EQ(t.store.WriteSettingInt("AX.25", "TncCom", 6), 0);
  ASSERT_EQ(t.store.WriteSettingText("Ports", "COM6", serial.name), 0);
  t.onSleep = [](int) { usleep(20000); };
  t.Start(/*openPort=*/true);
  t.core->SetMode(Mode::Ax25Tx);
  PacketSection& p = t.core->packet();
  ASSERT_TRUE(p.tncOpen()) << p.tncStatus();
  const std::string start = "KISS ON\nRESTART\n";
  // TX delay 30, persist 63, slot time 1, tail 0, half duplex.
  const std::string params = std::string("\xC0\x01\x1E\xC0\xC0\x02\x3F\xC0\xC0\x03\x01\xC0", 12) +
                             std::string("\xC0\x04\x00\xC0\xC0\x05\x00\xC0", 8);
  ASSERT_EQ(serial.ReadMaster(start.size() + params.size()), start + params);

  // A refused address: the serial TNC stays, the network TNC hears of nothing.
  auto v = ReadAx25Setup(t.core->members());
  At(v, "TncHost") = net.Address() + "0000";
  t.sleeps.clear();
  EXPECT_NE(p.ApplyAx25Setup(v).find("Network TNC (host:port)"), std::string::npos);
  EXPECT_TRUE(p.tncOpen());
  EXPECT_TRUE(t.sleeps.empty());
  EXPECT_FALSE(net.Accept(50));

  // Serial -> network: the serial TNC gets its exit command, the network TNC the parameters.
  At(v, "TncHost") = net.Address();
  ASSERT_EQ(p.ApplyAx25Setup(v), "");
  EXPECT_EQ(serial.ReadMaster(3), "\x03\x03\x03");
  EXPECT_EQ(t.sleeps, (std::vector<int>{500, 1000})) << "no start sequence for the network TNC";
  EXPECT_EQ(t.core->members().tncHost.value, net.Address());
  EXPECT_EQ(t.store.ReadSettingText("AX.25", "TncHost", ""), net.Address());
  ASSERT_TRUE(net.Accept(2000));
  std::string got;
  ASSERT_TRUE(t.Serve(
      [&] {
        got += net.Read(params.size() - got.size(), 1);
        return got.size() >= params.size();
      },
      1));
  EXPECT_EQ(got, params);
  EXPECT_TRUE(p.tncOpen()) << p.tncStatus();

  // Network -> serial: the connection is closed (nothing more sent on it), the serial TNC gets
  // its start sequence and the parameters again.
  At(v, "TncHost") = "";
  t.sleeps.clear();
  ASSERT_EQ(p.ApplyAx25Setup(v), "");
  EXPECT_TRUE(net.ClosedByPeer(2000));
  EXPECT_EQ(serial.ReadMaster(start.size() + params.size()), start + params);
  EXPECT_EQ(t.sleeps, (std::vector<int>{1000})) << "the network TNC needs no exit sequence";
  EXPECT_TRUE(p.tncOpen()) << p.tncStatus();
  EXPECT_EQ(t.store.ReadSettingText("AX.25", "TncHost", "x"), "");
}

TEST(Ax25Setup, TheConnectDialogStoresItsEntries) {
  test::TestStation t;
  t.Start();
  PacketSection& p = t.core->packet();
  EXPECT_FALSE(p.BeginConnect());
  EXPECT_NE(t.prompt.shown.find("This works for Packet mode only (AX25TX)"), std::string::npos);
  t.core->SetMode(Mode::Ax25Tx);
  ASSERT_TRUE(p.BeginConnect());
  ASSERT_TRUE(p.ConnectFromDialog("DL2YOU-3", "DL1ME", "DB0AAA DB0BBB-2", false));
  EXPECT_EQ(t.core->members().defaultRemoteCall.value, "DL2YOU-3");
  EXPECT_EQ(t.store.ReadSettingText("AX.25", "DefaultDigis", ""), "DB0AAA DB0BBB-2");
  EXPECT_EQ(t.store.ReadSettingInt("AX.25", "TryAllSsids", 1), 0);
  auto* link = p.engine().console().current();
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(packet::FormatCallsign(link->remote()), "DL2YOU-3");
  // Connecting again aborts the running link first; Cancel then leaves none.
  ASSERT_TRUE(p.BeginConnect());
  EXPECT_EQ(p.engine().console().current(), nullptr);
  std::string text;
  uint8_t c;
  while (t.core->receive().mainQueue().Get(c)) text += static_cast<char>(c);
  EXPECT_EQ(text, "*** TRYING...\n*** ABORTED.\n");
  // A remote that is no callsign: "Cannot connect!".
  EXPECT_FALSE(p.ConnectFromDialog("??", "DL1ME", "", true));
  EXPECT_NE(t.prompt.shown.find("Cannot connect!"), std::string::npos);
}

}  // namespace
}  // namespace vexa::app
