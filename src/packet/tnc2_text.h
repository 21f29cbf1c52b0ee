#pragma once
// The one-line text form of a frame that monitoring programs print and packet files list:
// "SRC>DST[,DIGI[*]...]:INFO", with "*" after the last digipeater that has repeated.
#include <optional>
#include <string>
#include <string_view>

#include "packet/ax25_frame.h"

namespace vexa::packet {

// The frame's line. Information bytes below 0x20 and 0x7F print as "<0xNN>" so that the line
// stays one line; all other bytes go out unchanged.
std::string FormatTnc2(const Ax25Frame& f);
// A UI command frame (PID 0xF0) from one line; nothing when the addresses do not parse, there
// are more than seven digipeaters or the ':' is missing. The information is taken as written.
std::optional<Ax25Frame> ParseTnc2(std::string_view line);

}  // namespace vexa::packet
