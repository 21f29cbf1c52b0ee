#include "fuzz/parser_fuzz.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "callinfo/country_table.h"
#include "callinfo/multiplier_tally.h"
#include "contest/contest_exchange.h"
#include "contest/contest_report.h"
#include "decoders/baudot_codec.h"
#include "decoders/psk_receiver.h"
#include "engine/rx_text_queue.h"
#include "log/adif3.h"
#include "log/log_file.h"
#include "log/log_scan.h"
#include "log/qso_record.h"
#include "packet/ax25_address.h"
#include "packet/ax25_frame.h"
#include "packet/ax25_link.h"
#include "packet/fcs16.h"
#include "packet/hdlc.h"
#include "packet/kiss.h"
#include "platform/files/settings_store.h"
#include "spots/cluster_line_reader.h"
#include "spots/spot_ring.h"

namespace vexa::fuzz {
namespace {

std::string_view Text(const uint8_t* data, size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

// A scratch file that lives as long as the process (the settings store reads only files).
const std::string& ScratchPath() {
  static const std::string path = [] {
    char tmpl[] = "/tmp/vexa-fuzz-XXXXXX";
    const int fd = mkstemp(tmpl);
    if (fd >= 0) close(fd);
    return std::string(tmpl);
  }();
  return path;
}

}  // namespace

bool FuzzSettingsFile(const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(ScratchPath().c_str(), "wb");
  if (f == nullptr) return true;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  platform::SettingsStore store(ScratchPath());
  (void)store.ReadSettingInt("Misc", "AFC", 7);
  const std::string text = store.ReadSettingText("Station", "MyCall", "NOCALL");
  if (text.size() > platform::SettingsStore::kMaxTextLength) return false;
  // A write into any file must read back, and keep the other keys readable.
  if (store.WriteSettingText("Station", "MyCall", "VX1FZ") != 0) return true;
  return store.ReadSettingText("station", "mycall", "") == "VX1FZ" &&
         store.ReadSettingInt("Fuzz", "Missing", 42) == 42;
}

bool FuzzQsoRecord(const uint8_t* data, size_t size) {
  log::QsoRecord r;
  const int result = log::ParseQsoText(Text(data, size), r);
  if (result < log::kQsoOk || result > log::kQsoNoFrequency) return false;
  if (result == log::kQsoOk && !log::IsCallsign(r.call)) return false;
  (void)log::ModeClassOf(Text(data, size));
  return true;
}

bool FuzzLogFile(const uint8_t* data, size_t size) {
  log::LogScanOptions o;
  o.nowUtc = 1796601600;  // a fixed "now": 2026-12-08
  o.fullScan = (size % 2) == 1;
  o.serialNumbers = (size % 3) == 1;
  log::QsoSink sink;
  const auto res = log::ScanLogText(Text(data, size), o, sink);
  return res.qsoTotal >= 0 && res.errorCount >= 0 && res.lines >= 0 &&
         res.qsoTotal + res.errorCount <= res.lines + 1;
}

bool FuzzCountryFile(const uint8_t* data, size_t size) {
  callinfo::CountryTable t;
  (void)t.LoadText(Text(data, size));
  // Look up every token of the input as a call: an index is -1 or inside the table.
  std::string_view s = Text(data, size);
  size_t pos = 0;
  int lookups = 0;
  while (pos < s.size() && lookups < 64) {
    size_t end = s.find_first_of(" ,;:\r\n", pos);
    if (end == std::string_view::npos) end = s.size();
    if (end > pos) {
      callinfo::CountryInfo info;
      const int i = t.LookupCountry(s.substr(pos, end - pos), &info);
      if (i < -1 || i >= t.size()) return false;
      ++lookups;
    }
    pos = end + 1;
  }
  return true;
}

bool FuzzCallsignList(const uint8_t* data, size_t size) {
  packet::Ax25AddressList list(size % 2 ? 7 : 10);
  const int n = packet::ParseCallsignList(Text(data, size), list);
  if (n < -1 || n > list.capacity() || list.count() > list.capacity()) return false;
  if (n >= 0) {
    // What parsed prints back and parses again to the same list.
    packet::Ax25AddressList again(list.capacity());
    if (packet::ParseCallsignList(packet::FormatCallsignList(list), again) != n) return false;
    if (!(again == list)) return false;
  }
  return true;
}

bool FuzzRxBits(const uint8_t* data, size_t size) {
  engine::RxTextQueue q;
  decoders::BaudotDecoder baudot(&q);
  decoders::PskDecoder psk(&q);
  for (size_t i = 0; i < size; ++i) {
    for (int b = 0; b < 8; ++b) {
      const int bit = (data[i] >> b) & 1;
      const int r = baudot.PutBit(bit);
      if (r != 0 && r != decoders::BaudotDecoder::kStartBit &&
          r != decoders::BaudotDecoder::kFramingError)
        return false;
      psk.PutBit(bit);
    }
  }
  return q.Size() <= engine::RxTextQueue::kCapacity;
}

namespace {

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || (s.back() >= '\t' && s.back() <= '\r')))
    s.remove_suffix(1);
  return s;
}

}  // namespace

bool FuzzSpotLine(const uint8_t* data, size_t size) {
  const std::string_view line = Text(data, size);
  spots::SpotRecord r;
  if (r.parseSpotLine(line)) {
    const std::string s = r.formatSpotLine();
    if (s.size() > spots::kSpotLineChars) return false;
    if (r.time.hour < 0 || r.time.hour > 23 || r.time.minute < 0 || r.time.minute > 59)
      return false;
    if (r.spotter.empty() || r.dxCall.empty()) return false;
    for (char c : r.spotter + r.dxCall)
      if (!spots::IsCallsignChar(c)) return false;
    if (TrimRight(r.comment).size() != r.comment.size()) return false;
    // Where the fields fit their columns (the own line needs three kHz digits: 100.0 kHz and
    // up), the own line reads back into the same line.
    if (r.spotter.size() <= 8 && r.dxCall.size() >= 2 && r.dxCall.size() <= 11 &&
        r.frequency >= 100000 && r.frequency <= 999999949) {
      spots::SpotRecord back;
      if (!back.parseSpotLine(s)) return false;
      if (TrimRight(back.formatSpotLine()) != TrimRight(s)) return false;
    }
  }
  // A line is stored at most once.
  spots::SpotRing ring;
  const int first = ring.addSpotFromLine(line);
  if (ring.addSpotFromLine(line) != 0 || ring.size() != first || ring.next() != first) return false;
  return true;
}

bool FuzzClusterReader(const uint8_t* data, size_t size) {
  // Fed at once and in pieces, the bytes give the same lines, answers and pending text.
  spots::ClusterLineReader whole, pieces;
  std::vector<std::string> a, b;
  whole.Feed(std::span<const uint8_t>(data, size), a);
  const size_t step = 1 + size % 7;
  for (size_t i = 0; i < size; i += step)
    pieces.Feed(std::span<const uint8_t>(data + i, std::min(step, size - i)), b);
  if (a != b || whole.pending() != pieces.pending()) return false;
  if (whole.TakeReplies() != pieces.TakeReplies()) return false;
  if (whole.pending().size() > spots::ClusterLineReader::kMaxLineChars) return false;
  for (const std::string& l : a) {
    if (l.empty() || l.size() > spots::ClusterLineReader::kMaxLineChars) return false;
    for (char c : l)
      if (static_cast<unsigned char>(c) < 32 && c != '\t') return false;
  }
  (void)spots::IsLoginPrompt(whole.pending());
  return true;
}

bool FuzzAx25Frame(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  auto f = packet::DecodeFrame(bytes);
  if (!f) return true;           // refusing is always allowed
  if (size <= 14) return false;  // a frame of 14 bytes or less must fail
  if (f->digis.count() > packet::kMaxDigis || f->repeated > f->digis.count()) return false;
  if (f->nr < 0 || f->nr > 7 || f->ns < 0 || f->ns > 7 || (f->pf != 0 && f->pf != 1)) return false;
  const std::string line = packet::MonitorText(*f);
  if (line.size() > packet::kMonitorLineLimit + 2 || line.substr(line.size() - 2) != "\r\n")
    return false;
  // Whatever decodes (but an unknown control byte) encodes to bytes that decode alike.
  if (f->type == packet::FrameType::Unkn) return true;
  auto again = packet::DecodeFrame(packet::EncodeFrame(*f));
  if (!again) return false;
  return again->type == f->type && again->info == f->info && again->source == f->source &&
         again->destination == f->destination && again->digis == f->digis &&
         again->repeated == f->repeated;
}

bool FuzzHdlcRuns(const uint8_t* data, size_t size) {
  struct Check : packet::FrameSink {
    bool ok = true;
    void OnFrame(std::span<const uint8_t> frame) override {
      // Only frames of more than 12 bytes (15 with the FCS) whose FCS matched come out.
      if (frame.size() < 13 || frame.size() > packet::HdlcReceiver::kBufferBytes - 2) ok = false;
    }
  } check;
  packet::HdlcReceiver runs(&check);
  for (size_t i = 0; i < size; ++i) runs.Run(static_cast<int>(data[i] % 10) - 1);
  // The same bytes as a line of levels, bit by bit.
  packet::HdlcReceiver levels(&check);
  int prev = 0, run = 0;
  for (size_t i = 0; i < size; ++i) {
    for (int b = 0; b < 8; ++b) {
      const int l = (data[i] >> b) & 1;
      ++run;
      if (l != prev) {
        levels.Run(run > 8 ? 8 : run);
        run = 0;
        prev = l;
      }
    }
  }
  return check.ok;
}

bool FuzzAdif(const uint8_t* data, size_t size) {
  const std::string text(Text(data, size));
  const log::AdifReadResult r = log::ReadAdif(text);
  for (const log::AdifFields& f : r.records) {
    log::QsoRecord q;
    std::string contest, why;
    if (log::QsoFromAdif(f, {}, q, contest, why)) {
      // A converted record must be a valid record of the log.
      log::QsoRecord back;
      if (!log::IsCallsign(q.call) || q.frequency <= 0) return false;
      if (log::ParseQsoText(log::FormatEditedRecord(q, contest), back) != log::kQsoOk) return false;
    } else if (why.empty()) {
      return false;
    }
  }
  return true;
}

bool FuzzKissReceiver(const uint8_t* data, size_t size) {
  struct Check : packet::KissReceiver::Handler {
    bool ok = true;
    void OnKissFrame(std::span<const uint8_t> frame) override {
      if (frame.empty() || frame.size() > packet::KissReceiver::kBufferBytes - 1) ok = false;
      // What comes out encodes and decodes to itself.
      struct Again : packet::KissReceiver::Handler {
        std::vector<uint8_t> got;
        int frames = 0;
        void OnKissFrame(std::span<const uint8_t> f) override {
          got.assign(f.begin(), f.end());
          ++frames;
        }
      } again;
      packet::KissReceiver rx(&again);
      rx.Push(packet::EncodeKiss(packet::KissCommand::Data, frame));
      if (again.frames != 1 ||
          !std::equal(again.got.begin(), again.got.end(), frame.begin(), frame.end()))
        ok = false;
    }
  } check;
  packet::KissReceiver rx(&check);
  rx.Push(std::span<const uint8_t>(data, size));
  return check.ok && rx.pending() <= packet::KissReceiver::kBufferBytes;
}

bool FuzzAx25Link(const uint8_t* data, size_t size) {
  struct Null : packet::FrameOutput {
    size_t frames = 0;
    void SendFrame(std::span<const uint8_t> bytes) override {
      if (packet::DecodeFrame(bytes)) ++frames;
    }
  } out;
  packet::Ax25Station station(&out);
  packet::StationSettings s;
  const auto me = *packet::ParseCallsign("DL1ME");
  const auto peer = *packet::ParseCallsign("DL2YOU");
  (void)s.incomingCalls.Add(me);
  (void)s.digiCalls.Add(me);
  s.digipeating = true;
  s.link.maxFrame = 1 + (size % 7);
  s.link.pacLen = 1 + static_cast<int>(size % 50);
  s.link.retryTime = 2;
  s.link.retryLimit = 4;
  s.link.idlePollTime = 3;
  s.link.redundancyTime = 60;
  station.Apply(s);
  packet::Ax25Link* link = station.Connect(me, peer, packet::Ax25AddressList(packet::kMaxDigis));
  if (!link) return false;
  const std::string text(300, 'x');
  for (size_t i = 0; i + 3 <= size; i += 3) {
    const uint8_t a = data[i], b = data[i + 1], c = data[i + 2];
    if (c < 16) {
      station.Tick();
    } else if (c < 32) {
      (void)link->SendData({reinterpret_cast<const uint8_t*>(text.data()), c * 7u});
    } else if (c < 34) {
      link->Disconnect();
    } else if (c < 40) {
      // A raw chunk of the input as a whole frame.
      station.Receive({data + i, std::min<size_t>(size - i, c)});
    } else {
      packet::Ax25Frame f;
      f.source = peer;
      f.destination = me;
      f.type = static_cast<packet::FrameType>(a % packet::kFrameTypeCount);
      f.nr = b & 7;
      f.ns = (b >> 3) & 7;
      f.pf = (b >> 6) & 1;
      f.cr = (b >> 7) ? packet::kCommand : packet::kResponse;
      f.info.assign(text.begin(), text.begin() + (c % 64) * 4);
      station.Receive(packet::EncodeFrame(f));
    }
    uint8_t buf[512];
    if (a & 1) (void)link->ReadReceived(buf);
    // The window's invariants hold whatever came in.
    if (link->unack() < 0 || link->unack() > link->written() ||
        link->written() > packet::Ax25Link::kSlots || link->unack() > s.link.maxFrame ||
        link->vs() < 0 || link->vs() > 7 || link->vr() < 0 || link->vr() > 7 ||
        link->ReceivedCount() >= packet::Ax25Link::kRingBytes || station.LinkCount() > 1)
      return false;
    const int st = link->state();
    if (st != 0 && (st < 2 || st > 6)) return false;
    if (st == 0) {
      // The console's part: release the ended link, take a pending one over, or connect anew.
      station.Release(link);
      link = station.TakeIncoming();
      if (link) link->AcceptIncoming();
      if (!link) link = station.Connect(me, peer, packet::Ax25AddressList(packet::kMaxDigis));
      if (!link) return false;
    }
  }
  return true;
}

bool FuzzContestExchange(const uint8_t* data, size_t size) {
  static callinfo::CountryTable table = [] {
    callinfo::CountryTable t;
    (void)t.LoadText(
        "United States:  05:  08:  NA:  37.60:  91.87:  5.0:  K:\n    K,W,N;\n"
        "Canada:  05:  09:  NA:  44.35:  78.75:  5.0:  VE:\n    VE,VA;\n"
        "Japan:  25:  45:  AS:  36.00:  -138.00:  -9.0:  JA:\n    JA;\n");
    return t;
  }();
  const std::string text(Text(data, size));
  const size_t cut = size == 0 ? 0 : data[0] % (size + 1);
  const std::string call = text.substr(0, cut);
  const std::string exchange = text.substr(cut);
  callinfo::MultiplierTally tally;
  tally.Reset(table.size());
  static const char* const kContests[] = {"CQ WW RTTY", "ARRL RTTY Roundup Contest", "WPX RTTY",
                                          "JARTS RTTY", "BARTG SPRING RTTY",         "CQ WW DX CW"};
  const callinfo::TallyContest tc{kContests[size % 6], static_cast<int>(size % 10) - 1};
  (void)tally.TallyContact(table, call, 14085000, "RTTY", exchange, tc);
  const std::string p = callinfo::WpxPrefix(call);
  if (p.size() > call.size() + 1) return false;
  (void)contest::SecondWordOfCurrentLine(text);
  contest::ReportSetup setup;
  setup.contest = tc.name;
  setup.myCall = call;
  platform::FixedPrompt quiet;
  log::WorkedTable worked;
  const contest::ReportFiles f =
      contest::BuildContestReport(text, setup, table, quiet, {}, worked, tally);
  return f.qsos >= f.dupes && !contest::ReportBaseName(call).empty() &&
         contest::ReportBaseName(call).find('/') == std::string::npos;
}

}  // namespace vexa::fuzz
