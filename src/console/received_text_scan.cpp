#include "console/received_text_scan.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "log/qso_record.h"

namespace vexa::console {
namespace {

std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

bool AllLetters(std::string_view s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace

void ReceivedTextScan::SetOwnCall(std::string call) {
  ownCall_ = Upper(call);
}

void ReceivedTextScan::SetNames(std::vector<std::string> names) {
  names_.clear();
  for (std::string& n : names) {
    // Surrounding blanks and the line end do not belong to the name.
    const size_t a = n.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) continue;
    const size_t b = n.find_last_not_of(" \t\r\n");
    names_.push_back(Upper(std::string_view(n).substr(a, b - a + 1)));
  }
}

int ReceivedTextScan::LoadNames(const std::string& path) {
  std::vector<std::string> lines;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    std::string line;
    int c = 0;
    while ((c = std::fgetc(f)) != EOF) {
      if (c == '\n') {
        lines.push_back(std::move(line));
        line.clear();
      } else if (c != 0 && line.size() < 256) {
        line.push_back(static_cast<char>(c));
      }
    }
    if (!line.empty()) lines.push_back(std::move(line));
    std::fclose(f);
  }
  SetNames(std::move(lines));
  return static_cast<int>(names_.size());
}

void ReceivedTextScan::CompareNames(const std::string& upper) {
  // The word filter: only words of letters can be names.
  if (!AllLetters(upper)) return;
  if (std::find(names_.begin(), names_.end(), upper) != names_.end()) found_.name = upper;
}

void ReceivedTextScan::Feed(uint8_t c, Mode mode, int64_t radioHz, bool noThreeDigitExchange) {
  const bool cw = mode == Mode::Cw;
  const unsigned char uc = static_cast<unsigned char>(std::toupper(c));
  // The number run: digits, the cut figures in CW, and O or a slashed zero for 0.
  char digit = 0;
  if (c >= '0' && c <= '9') {
    digit = static_cast<char>(c);
  } else if (uc == 'O' || c == 0xD8 || c == 0xF8) {
    digit = '0';
  } else if (cw && uc == 'T') {
    digit = '0';
  } else if (cw && uc == 'A') {
    digit = '1';
  } else if (cw && uc == 'N') {
    digit = '9';
  }

  const bool wordChar = std::isalnum(c) != 0 || c == '/';
  if (c < '!' || c == '-' || (!wordChar && digit == 0)) {
    if (!word_.empty() || !number_.empty()) {
      EndNumber(noThreeDigitExchange);
      EndWord(radioHz);
    }
    return;
  }
  if (word_.size() < kMaxWord) word_.push_back(static_cast<char>(c));
  if (digit != 0) {
    if (number_.size() < kMaxWord) number_.push_back(digit);
    if (c >= '0' && c <= '9') realDigit_ = true;
  } else {
    numberOnly_ = false;
  }
}

void ReceivedTextScan::EndNumber(bool noThreeDigitExchange) {
  std::string n;
  n.swap(number_);
  // A number is a run of digit characters only; one made of cut letters alone counts up to
  // two or three figures (a CW serial "TNT" or "NT"), other letter runs are words.
  const bool isNumber =
      numberOnly_ && !n.empty() && (realDigit_ || (n.size() >= 2 && n.size() <= 3));
  numberOnly_ = true;
  realDigit_ = false;
  if (!isNumber || n == "73") return;
  if (n.size() == 1) {
    if (found_.zone.empty()) found_.zone = "0" + n;
  } else if (n.size() == 2) {
    found_.zone = n;
    if (found_.receivedExchange.empty()) found_.receivedExchange = n;
  } else if (n.size() == 3 && !noThreeDigitExchange) {
    found_.receivedExchange = n;
  }
}

void ReceivedTextScan::EndWord(int64_t radioHz) {
  std::string w;
  w.swap(word_);
  if (w.empty()) return;
  const std::string upper = Upper(w);
  if (w.size() == 2 || w.size() == 3) {
    if (AllLetters(upper) && regionTest_ && regionTest_(upper)) {
      if (upper != found_.state) {
        found_.alternativeState = found_.state;
        found_.state = upper;
      }
      return;
    }
    CompareNames(upper);
    return;
  }
  if (log::IsCallsign(upper) && (ownCall_.empty() || upper.find(ownCall_) == std::string::npos)) {
    found_.lastCall = upper;
    found_.lastCallHz = radioHz;
    return;
  }
  CompareNames(upper);
}

}  // namespace vexa::console
