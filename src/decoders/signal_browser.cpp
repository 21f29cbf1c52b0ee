#include "decoders/signal_browser.h"

#include <fftw3.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "decoders/psk_best.h"
#include "decoders/psk_receiver.h"
#include "decoders/rtty_best.h"
#include "decoders/rtty_receiver.h"
#include "engine/receive_channel.h"
#include "engine/rx_text_queue.h"

namespace vexa::decoders {
namespace {

constexpr double kRate = engine::kInputSampleRate;
constexpr int kBins = SignalBrowser::kFftSize / 2 + 1;
constexpr double kBinHz = kRate / SignalBrowser::kFftSize;
constexpr int kHistorySamples = 16538;  // 1.5 s caught up by a new slot
constexpr float kSmoothing = 0.25f;     // per frame (93 ms): about 0.4 s
constexpr int kFloorBlock = 16;         // bins per block of the noise floor (86 Hz)
constexpr int kFloorSpan = 3;           // blocks either side in the floor's median
constexpr int kOpenFrames = 3;
constexpr float kOpenRatio = 6.0f;  // 7.8 dB above the floor to open a slot
constexpr float kKeepRatio = 2.5f;  // 4 dB to keep it
constexpr double kRttyShiftHz = 170.0;
constexpr double kAfcScale = 1.0 / 536870912.0;  // 2^-29 Hz per unit of PSK drift
constexpr int32_t kAfcFreqErrLimit = 100000000;

// The per-mode geometry of a signal on the spectrum, in bins.
struct Shape {
  int halfWidth;     // band power: bins either side of the centre (of each tone for RTTY)
  int peakRadius;    // a peak is the largest score within this many bins
  int clearNear;     // the surroundings checked for a clear peak: from here ...
  int clearFar;      // ... to here, both sides (for RTTY: outside the tones)
  double spacingHz;  // two slots never lie closer
  double matchHz;    // a peak this close to a slot or a candidate is the same signal
  double reuseHz;    // a closed slot this close is taken up again
};

Shape ShapeOf(BrowseMode m) {
  if (m == BrowseMode::Rtty) return {4, 10, 9, 18, 120.0, 10.0, 12.0};
  return {3, 6, 8, 17, 40.0, 6.0, 6.0};
}

}  // namespace

std::string BrowserSignal::Recent() const {
  return text.size() <= kRecentChars ? text : text.substr(text.size() - kRecentChars);
}

struct SignalBrowser::Impl {
  struct Slot {
    size_t record = 0;  // index into records
    std::unique_ptr<engine::RxTextQueue> queue;
    std::unique_ptr<engine::ReceiveChannel> channel;
    std::unique_ptr<PskDecoder> psk;  // classic PSK slots: the BPSK decoder behind the channel
    PskBest* pskBest = nullptr;       // PSK slots with the stronger demodulator: the channel
    double hz = 0;
    int missFrames = 0;
    bool present = true;  // the spectrum saw the signal in the last frame
    bool lastWasCr = false;
  };
  struct Candidate {
    double hz;
    int frames;
    bool seen;
  };

  float* in = nullptr;
  fftwf_complex* out = nullptr;
  fftwf_plan plan = nullptr;
  std::array<float, SignalBrowser::kFftSize> window{};
  std::array<int16_t, SignalBrowser::kFftSize> ring{};  // the last kFftSize samples
  size_t ringPos = 0;
  int sinceFrame = 0;
  std::vector<int16_t> history = std::vector<int16_t>(kHistorySamples);
  size_t historyPos = 0;
  size_t historyFill = 0;

  std::vector<float> power = std::vector<float>(kBins);
  std::vector<float> band = std::vector<float>(kBins);
  std::vector<float> floor = std::vector<float>(kBins);
  std::vector<float> score = std::vector<float>(kBins);
  bool primed = false;

  std::vector<BrowserSignal> records;
  std::vector<Slot> slots;
  std::vector<Candidate> candidates;
  int nextId = 1;

  Impl() {
    in = fftwf_alloc_real(SignalBrowser::kFftSize);
    out = fftwf_alloc_complex(kBins);
    if (in != nullptr && out != nullptr) {
      plan = fftwf_plan_dft_r2c_1d(SignalBrowser::kFftSize, in, out, FFTW_ESTIMATE);
    }
    for (int i = 0; i < SignalBrowser::kFftSize; ++i) {
      window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2 * M_PI * i / SignalBrowser::kFftSize));
    }
  }
  ~Impl() {
    if (plan != nullptr) fftwf_destroy_plan(plan);
    fftwf_free(in);
    fftwf_free(out);
  }
};

SignalBrowser::SignalBrowser(const BrowserOptions& options)
    : options_(options), impl_(std::make_unique<Impl>()) {
  options_.lowHz = std::clamp(options_.lowHz, 50.0, kRate / 2 - 200);
  options_.highHz = std::clamp(options_.highHz, options_.lowHz + 100, kRate / 2 - 100);
  options_.maxSlots = std::clamp(options_.maxSlots, 1, 200);
}

SignalBrowser::~SignalBrowser() = default;

bool SignalBrowser::ok() const {
  return impl_->plan != nullptr;
}

namespace {

// Band power at a fractional bin (linear between bins), 0 outside the spectrum.
float BandAt(const std::vector<float>& band, double bin) {
  if (bin < 0 || bin > kBins - 1) return 0;
  const int k = static_cast<int>(bin);
  const double f = bin - k;
  if (k + 1 >= kBins) return band[k];
  return static_cast<float>(band[k] * (1 - f) + band[k + 1] * f);
}

// Power-weighted centre of the bins lo..hi above the floor level, in bins.
double Centroid(const std::vector<float>& power, int lo, int hi, float floorPerBin) {
  lo = std::max(lo, 0);
  hi = std::min(hi, kBins - 1);
  double w = 0, m = 0;
  for (int k = lo; k <= hi; ++k) {
    const double p = std::max(0.0f, power[k] - floorPerBin);
    w += p;
    m += p * k;
  }
  return w > 0 ? m / w : 0.5 * (lo + hi);
}

// A character into a signal's text: CR, LF and tab become one space per line end; other control
// characters are left out.
bool AppendChar(BrowserSignal& s, uint8_t c, bool& lastWasCr) {
  const bool cr = c == '\r';
  if (c == '\n' && lastWasCr) {
    lastWasCr = false;
    return false;
  }
  lastWasCr = cr;
  if (cr || c == '\n' || c == '\t') {
    s.text.push_back(' ');
    return true;
  }
  if (c < 0x20 || c == 0x7F) return false;
  s.text.push_back(static_cast<char>(c));
  return true;
}

}  // namespace

void SignalBrowser::ProcessBlock(std::span<const int16_t> samples) {
  Impl& m = *impl_;
  size_t pos = 0;
  while (pos < samples.size()) {
    // Up to the next spectrum frame, every open slot's receiver runs over the same samples.
    const size_t n = std::min(samples.size() - pos, static_cast<size_t>(kHop - m.sinceFrame));
    const std::span<const int16_t> part = samples.subspan(pos, n);
    for (Impl::Slot& s : m.slots) s.channel->ProcessBlock(part);
    for (int16_t x : part) {
      m.ring[m.ringPos] = x;
      m.ringPos = (m.ringPos + 1) % kFftSize;
      m.history[m.historyPos] = x;
      m.historyPos = (m.historyPos + 1) % m.history.size();
    }
    m.historyFill = std::min(m.history.size(), m.historyFill + n);
    m.sinceFrame += static_cast<int>(n);
    pos += n;
    if (m.sinceFrame == kHop) {
      m.sinceFrame = 0;
      Frame();
    }
  }
  for (Impl::Slot& s : m.slots) {
    uint8_t c;
    BrowserSignal& rec = m.records[s.record];
    while (s.queue->Get(c)) {
      if (s.present && AppendChar(rec, c, s.lastWasCr)) ++revision_;
    }
  }
}

void SignalBrowser::Frame() {
  Impl& m = *impl_;
  if (m.plan == nullptr) return;
  const Shape sh = ShapeOf(options_.mode);

  // The spectrum of the last kFftSize samples, smoothed.
  for (int i = 0; i < kFftSize; ++i) {
    m.in[i] = m.window[i] * m.ring[(m.ringPos + i) % kFftSize];
  }
  fftwf_execute(m.plan);
  for (int k = 0; k < kBins; ++k) {
    const float p = m.out[k][0] * m.out[k][0] + m.out[k][1] * m.out[k][1];
    m.power[k] = m.primed ? m.power[k] + kSmoothing * (p - m.power[k]) : p;
  }
  m.primed = true;

  // Band power and the local noise floor of the band power.
  const int w = sh.halfWidth;
  float run = 0;
  for (int k = 0; k < kBins; ++k) {
    run += m.power[k];
    if (k - 2 * w - 1 >= 0) run -= m.power[k - 2 * w - 1];
    if (k - w >= 0) m.band[k - w] = run;
  }
  for (int k = kBins - w; k < kBins; ++k) m.band[k] = m.band[kBins - w - 1];
  for (int k = 0; k < w; ++k) m.band[k] = m.band[w];
  const int blocks = (kBins + kFloorBlock - 1) / kFloorBlock;
  std::vector<float> blockMin(blocks);
  for (int b = 0; b < blocks; ++b) {
    float v = m.band[b * kFloorBlock];
    for (int k = b * kFloorBlock; k < std::min(kBins, (b + 1) * kFloorBlock); ++k) {
      v = std::min(v, m.band[k]);
    }
    blockMin[b] = v;
  }
  std::array<float, 2 * kFloorSpan + 1> near{};
  for (int b = 0; b < blocks; ++b) {
    const int lo = std::max(0, std::min(b - kFloorSpan, blocks - 2 * kFloorSpan - 1));
    for (int j = 0; j < 2 * kFloorSpan + 1; ++j) near[j] = blockMin[lo + j];
    std::nth_element(near.begin(), near.begin() + kFloorSpan, near.end());
    const float f = std::max(near[kFloorSpan], 1e-3f);
    for (int k = b * kFloorBlock; k < std::min(kBins, (b + 1) * kFloorBlock); ++k) m.floor[k] = f;
  }

  // The score: band power over the floor (RTTY: of the weaker tone).
  const double half = kRttyShiftHz / 2 / kBinHz;
  const bool rtty = options_.mode == BrowseMode::Rtty;
  const int loBin = static_cast<int>(std::ceil(options_.lowHz / kBinHz));
  const int hiBin = static_cast<int>(options_.highHz / kBinHz);
  for (int k = 0; k < kBins; ++k) {
    if (!rtty) {
      m.score[k] = m.band[k] / m.floor[k];
    } else {
      const float lo = BandAt(m.band, k - half), hi = BandAt(m.band, k + half);
      m.score[k] = std::min(lo, hi) / m.floor[k];
    }
  }
  auto clear = [&](int k) {
    // The signal must stand out from what lies just beside it (noise that fills the band
    // evenly does not), on both sides.
    const double reach = rtty ? half : 0;
    const float level =
        rtty ? std::min(BandAt(m.band, k - half), BandAt(m.band, k + half)) : m.band[k];
    for (int side = -1; side <= 1; side += 2) {
      float lowest = level;
      for (int d = sh.clearNear; d <= sh.clearFar; ++d) {
        lowest = std::min(lowest, BandAt(m.band, k + side * (reach + d)));
      }
      if (lowest * 3 > level) return false;
    }
    return true;
  };
  auto estimate = [&](int k) {
    const float fpb = m.floor[k] / (2 * w + 1);
    if (!rtty) return Centroid(m.power, k - 2 * w, k + 2 * w, fpb) * kBinHz;
    const int a = static_cast<int>(std::lround(k - half)),
              b = static_cast<int>(std::lround(k + half));
    const double lc = Centroid(m.power, a - w - 1, a + w + 1, fpb);
    const double hc = Centroid(m.power, b - w - 1, b + w + 1, fpb);
    return 0.5 * (lc + hc) * kBinHz;
  };

  // Open slots: still there?
  for (Impl::Slot& s : m.slots) {
    const int k = static_cast<int>(std::lround(s.hz / kBinHz));
    float best = 0;
    for (int d = -2; d <= 2; ++d) {
      if (k + d >= 0 && k + d < kBins) best = std::max(best, m.score[k + d]);
    }
    s.present = best >= kKeepRatio;
    s.missFrames = s.present ? 0 : s.missFrames + 1;
    if (s.pskBest != nullptr && s.present) {
      // Retuning hands the offset the demodulator tracks back to its front end.
      const double corrected = s.hz + s.pskBest->offsetHz();
      if (std::fabs(corrected - s.hz) > 0.1 && std::fabs(corrected - s.hz) < 5) {
        s.hz = corrected;
        s.channel->SetCarrier(corrected);
      }
    } else if (s.psk != nullptr && s.present && std::abs(s.psk->freqErr) < kAfcFreqErrLimit) {
      const double corrected = s.hz - s.psk->phaseErrAvg * kAfcScale;
      if (std::fabs(corrected - s.hz) > 0.05 && std::fabs(corrected - s.hz) < 5) {
        s.hz = corrected;
        s.channel->SetCarrier(corrected);
        s.psk->phaseErrAvg /= 2;
      }
    }
    BrowserSignal& rec = m.records[s.record];
    if (std::fabs(rec.hz - s.hz) >= 0.5) {
      rec.hz = s.hz;
      ++revision_;
    }
  }
  const int silence = static_cast<int>(options_.silenceSeconds * kRate / kHop);
  for (size_t i = m.slots.size(); i-- > 0;) {
    if (m.slots[i].missFrames > silence) {
      m.records[m.slots[i].record].active = false;
      m.slots.erase(m.slots.begin() + static_cast<long>(i));
      ++revision_;
    }
  }

  // New peaks: candidates until they were seen in kOpenFrames frames in a row.
  for (Impl::Candidate& c : m.candidates) c.seen = false;
  for (int k = std::max(loBin, sh.peakRadius); k <= std::min(hiBin, kBins - 1 - sh.peakRadius);
       ++k) {
    const float v = m.score[k];
    if (v < kOpenRatio) continue;
    bool peak = true;
    for (int d = 1; d <= sh.peakRadius && peak; ++d) {
      peak = v >= m.score[k - d] && v > m.score[k + d];
    }
    if (!peak || !clear(k)) continue;
    const double hz = estimate(k);
    bool taken = false;
    for (const Impl::Slot& s : m.slots) taken = taken || std::fabs(s.hz - hz) < sh.spacingHz;
    if (taken) continue;
    Impl::Candidate* match = nullptr;
    for (Impl::Candidate& c : m.candidates) {
      if (!c.seen && std::fabs(c.hz - hz) < sh.matchHz) match = &c;
    }
    if (match == nullptr) {
      m.candidates.push_back({hz, 1, true});
    } else {
      match->hz = hz;
      ++match->frames;
      match->seen = true;
    }
  }
  std::erase_if(m.candidates, [](const Impl::Candidate& c) { return !c.seen; });
  for (const Impl::Candidate& c : m.candidates) {
    if (c.frames < kOpenFrames || static_cast<int>(m.slots.size()) >= options_.maxSlots) continue;
    bool taken = false;
    for (const Impl::Slot& s : m.slots) taken = taken || std::fabs(s.hz - c.hz) < sh.spacingHz;
    if (taken) continue;

    Impl::Slot s;
    s.hz = c.hz;
    s.queue = std::make_unique<engine::RxTextQueue>();
    if (rtty) {
      if (options_.best) {
        auto best = std::make_unique<RttyBest>(s.queue.get(), kRttyShiftHz);
        best->invert = options_.invert;
        s.channel = std::move(best);
      } else {
        auto classic = std::make_unique<RttySingleTone>(s.queue.get());
        classic->invert = options_.invert;
        s.channel = std::move(classic);
      }
    } else if (options_.best) {
      auto best = std::make_unique<PskBest>(s.queue.get());
      s.pskBest = best.get();
      s.channel = std::move(best);
    } else {
      s.psk = std::make_unique<PskDecoder>(s.queue.get());
      s.channel = std::make_unique<PskChannel>();
      s.channel->listener = s.psk.get();
    }
    s.channel->SetCarrier(c.hz);
    s.record = m.records.size();
    for (size_t r = 0; r < m.records.size(); ++r) {
      if (!m.records[r].active && std::fabs(m.records[r].hz - c.hz) < sh.reuseHz) s.record = r;
    }
    if (s.record == m.records.size()) {
      BrowserSignal rec;
      rec.id = m.nextId++;
      rec.hz = c.hz;
      m.records.push_back(rec);
    } else if (!m.records[s.record].text.empty() && m.records[s.record].text.back() != ' ') {
      m.records[s.record].text.push_back(' ');
    }
    m.records[s.record].active = true;
    m.records[s.record].hz = c.hz;
    // Catch up on the stored audio, oldest first.
    const size_t len = m.history.size();
    const size_t start = (m.historyPos + len - m.historyFill) % len;
    const size_t first = std::min(m.historyFill, len - start);
    s.channel->ProcessBlock(std::span<const int16_t>(m.history.data() + start, first));
    s.channel->ProcessBlock(std::span<const int16_t>(m.history.data(), m.historyFill - first));
    m.slots.push_back(std::move(s));
    ++revision_;
  }
  std::erase_if(m.candidates, [&](const Impl::Candidate& c) {
    for (const Impl::Slot& s : m.slots) {
      if (std::fabs(s.hz - c.hz) < sh.spacingHz) return true;
    }
    return false;
  });
}

std::vector<BrowserSignal> SignalBrowser::Signals() const {
  std::vector<BrowserSignal> v = impl_->records;
  std::sort(v.begin(), v.end(),
            [](const BrowserSignal& a, const BrowserSignal& b) { return a.hz < b.hz; });
  return v;
}

int SignalBrowser::ActiveCount() const {
  return static_cast<int>(impl_->slots.size());
}

}  // namespace vexa::decoders
