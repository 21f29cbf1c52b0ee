#include "decoders/receive_path.h"

namespace vexa::decoders {

ReceivePath::ReceivePath(engine::RxTextQueue& mainQueue, int soundHistory)
    : chain_(mainQueue), loop_(chain_.Table(), soundHistory) {
  // The catch-up corrects the second channel by the drift its decoder has measured.
  loop_.SetSecondFrequencyError(&chain_.secondDecoder().phaseErrAvg);
  SetMode(chain_.mode());
}

void ReceivePath::Apply(const ReceiveOptions& o) {
  SetMode(o.mode);
  Tune(o.receiveHz);
  SetTwoTone(o.twoTone);
  SetBestDemod(o.bestDemod);
  SetInversion(o.inversion);
  chain_.SetUnshiftOnSpace(o.unshiftOnSpace);
}

void ReceivePath::SetMode(Mode mode) {
  chain_.SetMode(mode);
  loop_.SetMode(mode);
}

void ReceivePath::SetPacketSinks(SampleSink* monitor, SampleSink* modem) {
  engine::ChannelTable t = chain_.Table();
  t.packetMonitor = monitor;
  t.packetActive = modem;
  loop_.SetChannels(t);
}

void ReceivePath::PlaceSecondChannel(double hz) {
  loop_.PlaceSecondChannel(hz);
}

void ReceivePath::RetuneSecondChannel(double hz) {
  loop_.RetuneSecondChannel(hz);
}

AfcOutcome ReceivePath::AfcStep(bool afcOn, bool transmitting) {
  const AfcOutcome out = chain_.AfcStep(afcOn, transmitting, loop_.secondFrequency());
  if (out.secondMoved) RetuneSecondChannel(out.secondHz);
  return out;
}

}  // namespace vexa::decoders
