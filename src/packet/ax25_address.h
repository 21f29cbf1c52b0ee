#pragma once
// AX.25 addresses: a callsign of up to six upper-case letters and digits with an SSID 0..15,
// their text form ("N0CALL", "N0CALL-7"), and bounded address lists (digipeater paths and the
// list of own callsigns).
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vexa::packet {

struct Ax25Address {
  std::array<char, 7> call{};  // zero-terminated, at most 6 characters
  uint8_t ssid = 0;            // 0..15

  std::string_view Call() const { return std::string_view(call.data()); }
  bool operator==(const Ax25Address& o) const { return Call() == o.Call() && ssid == o.ssid; }
};

// Parses 1 to 9 characters: 1 to 6 letters or digits (made upper case), optionally "-" and one
// or two digits giving an SSID of at most 15. Anything else gives nothing.
std::optional<Ax25Address> ParseCallsign(std::string_view text);
// The callsign, then "-" and the SSID when it is not 0.
std::string FormatCallsign(const Ax25Address& address);

class Ax25AddressList {
 public:
  static constexpr int kMaxCapacity = 10;

  explicit Ax25AddressList(int capacity)
      : capacity_(capacity < kMaxCapacity ? capacity : kMaxCapacity) {}

  int capacity() const { return capacity_; }
  int count() const { return count_; }
  const Ax25Address& operator[](int i) const { return items_[static_cast<size_t>(i)]; }
  // Adds at the end; false (and no change) when the list is full.
  bool Add(const Ax25Address& a) {
    if (count_ >= capacity_) return false;
    items_[static_cast<size_t>(count_++)] = a;
    return true;
  }
  void Clear() { count_ = 0; }
  bool operator==(const Ax25AddressList& o) const {
    if (count_ != o.count_) return false;
    for (int i = 0; i < count_; ++i)
      if (!(items_[static_cast<size_t>(i)] == o.items_[static_cast<size_t>(i)])) return false;
    return true;
  }

 private:
  int capacity_;
  int count_ = 0;
  std::array<Ax25Address, kMaxCapacity> items_{};
};

// Empties the list and reads space-separated tokens (a character below '!' other than a space
// ends the text); each token is cut to 9 characters and parsed. Returns the number read, or -1 at
// the first token that fails or does not fit (the entries before it stay).
int ParseCallsignList(std::string_view text, Ax25AddressList& list);
// The stored text form: each callsign followed by one space.
std::string FormatCallsignList(const Ax25AddressList& list);

}  // namespace vexa::packet
