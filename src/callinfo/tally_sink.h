#pragma once
// Connects the logbook to the multiplier tally: every contact the log hands to its sink's tally
// is entered with its received exchange.
#include "callinfo/multiplier_tally.h"
#include "log/qso_sink.h"

namespace vexa::callinfo {

class TallySink : public log::QsoSink {
 public:
  TallySink(CountryTable& table, MultiplierTally& tally, TallyContest contest = {})
      : table_(table), tally_(tally), contest_(std::move(contest)) {}
  void TallyQso(const log::QsoRecord& r) override {
    tally_.TallyContact(table_, r.call, r.frequency, r.mode, r.exchangeReceived, contest_);
  }

 private:
  CountryTable& table_;
  MultiplierTally& tally_;
  TallyContest contest_;
};

}  // namespace vexa::callinfo
