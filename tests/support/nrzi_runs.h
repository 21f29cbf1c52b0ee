#pragma once
// Test helpers for the HDLC layer: the line levels of a transmission, the bits they stand for,
// and the run lengths an ideal demodulator would report for them.
#include <vector>

#include "packet/hdlc.h"

namespace vexa::test {

// Every level of the transmitter's buffer (it is empty afterwards).
inline std::vector<int> DrainLevels(packet::HdlcTransmitter& tx) {
  std::vector<int> levels;
  for (int l = tx.NextLevel(); l >= 0; l = tx.NextLevel()) levels.push_back(l);
  return levels;
}

// NRZI decoded: a bit is 1 when the level stays, 0 when it changes (from `start`).
inline std::vector<int> NrziBits(const std::vector<int>& levels, int start = 0) {
  std::vector<int> bits;
  int prev = start;
  for (int l : levels) {
    bits.push_back(l == prev ? 1 : 0);
    prev = l;
  }
  return bits;
}

// The bit periods between transitions (capped at 8), fed to a run-length sink.
inline void FeedRuns(const std::vector<int>& levels, packet::RunLengthSink& sink, int start = 0) {
  int prev = start;
  int run = 0;
  for (int l : levels) {
    ++run;
    if (l != prev) {
      sink.Run(run > 8 ? 8 : run);
      run = 0;
      prev = l;
    }
  }
}

}  // namespace vexa::test
