#pragma once
// The contest exchange of one QSO: what the operator sends (`AskOwnExchange`) and what was
// received (`AskReceivedExchange`), asked by the rules of the chosen contest. Only fields still
// empty are asked; an empty answer or Cancel leaves a field empty. Questions carry the contest
// name as their title.
#include <cstdint>
#include <functional>
#include <string>

#include "callinfo/country_table.h"
#include "log/qso_entry.h"
#include "platform/files/prompt.h"

namespace vexa::contest {

// The operator's side of the exchange.
struct OwnStation {
  std::string myCall;
  std::string myName;
};

class ContestExchange {
 public:
  // `nowUtc` gives the time in seconds since the epoch (the QSO time of "BARTG SPRING RTTY").
  ContestExchange(platform::Prompt& prompt, callinfo::CountryTable& countries, OwnStation own,
                  std::function<int64_t()> nowUtc);

  // Fills entry.ownExchange when it is empty; returns it.
  std::string AskOwnExchange(log::QsoEntry& entry);
  // Fills entry.receivedExchange when it is empty; returns it.
  std::string AskReceivedExchange(log::QsoEntry& entry);
  // The hook for QsoEntry::askExchange: both halves and the contest's default received report.
  void Stamp(log::QsoEntry& entry);

  // The received report a contest defaults to: "599" for "BARTG RTTY Sprint" and "Ukrainian
  // Open RTTY", else the mode's default report.
  static std::string DefaultReceivedReport(const std::string& contest, Mode mode);

  // The operator's country prefix and CQ zone (from MyCall).
  std::string ownPrefix();
  int ownCqZone();

 private:
  bool Ask(const std::string& contest, const char* question, std::string& answer);
  std::string SerialNumber(log::QsoEntry& e, const std::string& contest);
  std::string QsoTimeText(log::QsoEntry& e);

  platform::Prompt& prompt_;
  callinfo::CountryTable& countries_;
  OwnStation own_;
  std::function<int64_t()> nowUtc_;
  std::string qsoTime_;     // "%02i%02i" of the current QSO, once set
  std::string qsoTimeFor_;  // the call the time belongs to
};

// The second word of the last line of the entry box text ("" when it has none).
std::string SecondWordOfCurrentLine(const std::string& text);

}  // namespace vexa::contest
