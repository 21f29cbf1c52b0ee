#include "contest/contest_exchange.h"

#include <cstdio>
#include <ctime>

#include "contest/contest_catalogue.h"
#include "log/qso_record.h"

namespace vexa::contest {
namespace {

std::string TwoDigits(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02i", v);
  return buf;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

std::string SecondWordOfCurrentLine(const std::string& text) {
  std::string_view t = text;
  while (!t.empty() && IsBlank(t.back())) t.remove_suffix(1);
  const size_t nl = t.find_last_of('\n');
  if (nl != std::string_view::npos) t.remove_prefix(nl + 1);
  int word = 0;
  size_t i = 0;
  while (i < t.size()) {
    while (i < t.size() && IsBlank(t[i])) ++i;
    const size_t start = i;
    while (i < t.size() && !IsBlank(t[i])) ++i;
    if (i > start && ++word == 2) return std::string(t.substr(start, i - start));
  }
  return {};
}

ContestExchange::ContestExchange(platform::Prompt& prompt, callinfo::CountryTable& countries,
                                 OwnStation own, std::function<int64_t()> nowUtc)
    : prompt_(prompt), countries_(countries), own_(std::move(own)), nowUtc_(std::move(nowUtc)) {}

std::string ContestExchange::ownPrefix() {
  callinfo::CountryInfo info;
  return countries_.LookupCountry(own_.myCall, &info) >= 0 ? info.primaryPrefix : std::string();
}

int ContestExchange::ownCqZone() {
  callinfo::CountryInfo info;
  return countries_.LookupCountry(own_.myCall, &info) >= 0 ? info.cqZone : 0;
}

bool ContestExchange::Ask(const std::string& contest, const char* question, std::string& answer) {
  std::string a = answer;
  if (!prompt_.AskText(question, contest, a)) return false;
  // Trim: an answer of blanks is an empty answer.
  while (!a.empty() && IsBlank(a.back())) a.pop_back();
  size_t s = 0;
  while (s < a.size() && IsBlank(a[s])) ++s;
  answer = a.substr(s);
  return !answer.empty();
}

std::string ContestExchange::SerialNumber(log::QsoEntry& e, const std::string& contest) {
  std::string n = e.ownNumber.empty() ? std::string("001") : e.ownNumber;
  if (!Ask(contest, "My Number:", n)) return {};
  e.ownNumber = n;  // the save counts on from the number sent
  return n;
}

std::string ContestExchange::QsoTimeText(log::QsoEntry& e) {
  // Kept for the QSO once set: a second stamp of the same box keeps the first time.
  if (qsoTime_.empty() || qsoTimeFor_ != e.call) {
    const int64_t now = nowUtc_ ? nowUtc_() : 0;
    const log::QsoTime t = log::QsoTimeFromEpoch(now, true);
    qsoTime_ = TwoDigits(t.hour) + TwoDigits(t.minute);
    qsoTimeFor_ = e.call;
  }
  return qsoTime_;
}

std::string ContestExchange::AskOwnExchange(log::QsoEntry& e) {
  const std::string& c = e.contest.name;
  if (c.empty() || !e.ownExchange.empty()) return e.ownExchange;
  const std::string prefix = ownPrefix();
  const bool na = IsNorthAmericanArrl(prefix);
  std::string out;
  if (c == "JARTS RTTY") {
    std::string age;
    if (Ask(c, "Input your AGE for Contest", age)) out = age;
  } else if (c == "CQ WW DX SSB" || c == "CQ WW DX CW") {
    const int z = ownCqZone();
    if (z > 0) out = TwoDigits(z);
  } else if (c == "CQ WW RTTY") {
    const int z = ownCqZone();
    std::string ex = z > 0 ? TwoDigits(z) : std::string();
    if (na) {
      std::string state;
      if (Ask(c, "Input your State or Province Abbreviation", state)) ex += "-" + state;
    }
    if (Ask(c, "My Exchange:", ex)) out = ex;
  } else if (IsArrlStateContest(c)) {
    if (na) {
      std::string state;
      if (Ask(c, "Input your State or Province Abbreviation", state)) out = state;
    } else {
      out = SerialNumber(e, c);
    }
  } else if (c == "TARA Rumble PSK31 2000") {
    std::string name = own_.myName;
    std::string where = na ? std::string() : prefix;
    std::string ex;
    if (Ask(c, "Input your NAME to use in the contest", name) &&
        Ask(c, na ? "Input your State or Province Abbreviation" : "Input your Country Prefix",
            where)) {
      ex = name + "-" + where;
      if (Ask(c, "My Exchange:", ex)) out = ex;
    }
  } else if (c == "BARTG SPRING RTTY") {
    const std::string n = SerialNumber(e, c);
    if (!n.empty()) out = n + "-" + QsoTimeText(e);
  } else if (c == "ARRL CW") {
    // Stations in "K" and "VE" send their state or province, the others their power.
    std::string ex;
    if (Ask(c, na ? "Input your State or Province Abbreviation" : "My Exchange:", ex)) out = ex;
  } else {
    out = SerialNumber(e, c);
  }
  e.ownExchange = out;
  return out;
}

std::string ContestExchange::AskReceivedExchange(log::QsoEntry& e) {
  const std::string& c = e.contest.name;
  if (c.empty() || !e.receivedExchange.empty()) return e.receivedExchange;
  std::string out;
  const std::string word = SecondWordOfCurrentLine(e.text);
  callinfo::CountryInfo info;
  const bool known = !e.call.empty() && countries_.LookupCountry(e.call, &info) >= 0;
  const bool na = known && IsNorthAmericanArrl(info.primaryPrefix);
  if (!word.empty()) {
    std::string ex = word;
    if (Ask(c, "Exchange:", ex)) out = ex;
  } else if (c == "CQ WW RTTY") {
    std::string zone = e.zone;
    if (zone.size() == 1 && zone[0] >= '0' && zone[0] <= '9') zone = "0" + zone;
    if (zone.empty() || zone > "40") zone = known && info.cqZone > 0 ? TwoDigits(info.cqZone) : "";
    if (Ask(c, "Zone:", zone)) {
      if (zone.size() == 1 && zone[0] >= '0' && zone[0] <= '9') zone = "0" + zone;
      out = zone;
      if (na) {
        std::string state = e.stateProvince;
        if (Ask(c, "US State/VE Province:", state)) out += "-" + state;
      }
    }
  } else if (c == "CQ WW DX SSB" || c == "CQ WW DX CW") {
    std::string zone = e.zone.empty() && known && info.cqZone > 0 ? TwoDigits(info.cqZone) : e.zone;
    if (Ask(c, "Zone:", zone)) out = zone;
  } else if (c == "TARA Rumble PSK31 2000") {
    std::string name = e.name;
    std::string where = na ? e.stateProvince : (known ? info.primaryPrefix : std::string());
    if (Ask(c, "Name:", name) && Ask(c, na ? "US State/VE Province:" : "Country Prefix:", where))
      out = name + "-" + where;
  } else if (IsArrlStateContest(c)) {
    std::string ex = na ? e.stateProvince : std::string();
    if (Ask(c, na ? "US State/VE Province:" : "Exchange received:", ex)) out = ex;
  } else if (c == "BARTG SPRING RTTY") {
    std::string ex = "001-" + QsoTimeText(e);
    if (Ask(c, "Exchange received:", ex)) out = ex;
  } else {
    std::string ex;
    if (Ask(c, "Exchange received:", ex)) out = ex;
  }
  e.receivedExchange = out;
  return out;
}

std::string ContestExchange::DefaultReceivedReport(const std::string& contest, Mode mode) {
  if (contest == "BARTG RTTY Sprint" || contest == "Ukrainian Open RTTY") return "599";
  return log::DefaultReport(mode);
}

void ContestExchange::Stamp(log::QsoEntry& e) {
  if (!e.contest.active()) return;
  (void)AskOwnExchange(e);
  (void)AskReceivedExchange(e);
  if (e.rstReceived.empty()) e.rstReceived = DefaultReceivedReport(e.contest.name, e.mode);
}

}  // namespace vexa::contest
