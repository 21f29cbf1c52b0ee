#pragma once
// An AX.25 frame between two callsigns, for tests that play the far station.
#include "packet/ax25_frame.h"

namespace vexa::test {

inline packet::Ax25Frame MakeFrame(const char* from, const char* to, packet::FrameType type, int cr,
                                   int pf) {
  packet::Ax25Frame f;
  f.source = *packet::ParseCallsign(from);
  f.destination = *packet::ParseCallsign(to);
  f.type = type;
  f.cr = cr;
  f.pf = pf;
  return f;
}

}  // namespace vexa::test
