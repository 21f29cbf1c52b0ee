#include "contest/contest_catalogue.h"

namespace vexa::contest {
namespace {

std::vector<std::string> CqWwDxCategories() {
  std::vector<std::string> out;
  for (const char* cls : {"High", "Low", "QRPp", "Assisted"})
    for (const char* band : {"All Band", "160m", "80m", "40m", "20m", "15m", "10m"})
      out.push_back(std::string("Single Operator ") + cls + " - " + band);
  out.push_back("Multi Operator Single Transmitter");
  out.push_back("Multi Operator Multi-Transmitter");
  out.push_back("Team");
  return out;
}

std::vector<std::string> WpxCategories() {
  return {"Single Op, All Bands, High Power",
          "Single Op, All Bands, Low Power",
          "Single Op, Single Band, 10m",
          "Single Op, Single Band, 15m",
          "Single Op, Single Band, 20m",
          "Single Op, Single Band, 40m",
          "Single Op, Single Band, 80m",
          "Multi op, Single Tx",
          "Multi op, Two Tx",
          "Multi op, Multi Tx"};
}

std::vector<ContestDef> BuildCatalogue() {
  std::vector<ContestDef> c;
  c.push_back({"CCCC PSK31",
               "02/Sep/2000 00:00:01",
               "02/Sep/2000 23:59:59",
               {"A : Single Op / All Band", "B10: Single Op / 10m", "B15: Single Op / 15m",
                "B20: Single Op / 20m", "B40: Single Op / 40m", "B80: Single Op / 80m",
                "C: Multi Op / Single Tx / All Band", "D: SWL / All Band"}});
  c.push_back({"CQ WW RTTY",
               "26/Sep/2000 00:00:01",
               "27/Sep/2000 23:59:59",
               {"Single Op All Band High Power", "Single Op All Band Low Power", "Single Op 10m",
                "Single Op 15m", "Single Op 20m", "Single Op 40m", "Single Op 80m",
                "Milti Op All Band High Power", "Multi Op All Band Low Power",
                "Multi Op Multi Transmitter All Band"}});
  c.push_back(
      {"TARA Rumble PSK31 2000",
       "07/Oct/2000 00:00:01",
       "07/Oct/2000 23:59:59",
       {"Normal Category - 100 watts MAX", "Great Category - 20 watts MAX",
        "Super Category - 5 watts MAX", "Novice Category - no power limit", "SWL Category"}});
  c.push_back({"BARTG RTTY Sprint",
               "9/Nov/2000 12:00:01",
               "10/Nov/2000 11:59:59",
               {"Single Operator Expert", "Single Operator", "Multi Operator", "SWL"}});
  c.push_back({"JARTS RTTY",
               "16/Oct/1999 00:00:01",
               "17/Oct/1999 23:59:59",
               {"Single Operator, All Band", "Multi Operator, All Band", "SWL, All Band"}});
  c.push_back({"CQ WW DX SSB", "30/Oct/1999 00:00:01", "31/Oct/1999 23:59:59", CqWwDxCategories()});
  c.push_back({"CQ WW DX CW", "27/Nov/1999 00:00:01", "28/Nov/1999 23:59:59", CqWwDxCategories()});
  c.push_back({"WAE RTTY",
               "13/Nov/1999 00:00:01",
               "14/Nov/1999 23:59:59",
               {"Single Operator, All Band", "Multi Operator, Single TX", "SWL, All Band"}});
  c.push_back(
      {"ARRL 10 METERS",
       "11/Dec/1999 00:00:01",
       "12/Dec/1999 23:59:59",
       {"Single Operator, High Power, MIXED", "Single Operator, Low Power, MIXED",
        "Single Operator, QRP, MIXED", "Single Operator, High Power, CW",
        "Single Operator, Low Power, CW", "Single Operator, QRP, CW",
        "Single Operator, High Power, PHONE", "Single Operator, Low Power, PHONE",
        "Single Operator, QRP, PHONE", "Multi Operator, Single TX, MIXED",
        "Multi Operator, Single TX, CW", "Multi Operator, Single TX, PHONE", "SWL, All Band"}});
  c.push_back({"ARRL RTTY Roundup Contest",
               "08/Jan/2000 18:00:01",
               "09/Jan/2000 23:59:59",
               {"Single op, UA, All Bands, Low Power", "Single op, UA, All Bands, High Power",
                "Multi op, Single Transmitter"}});
  c.push_back({"WPX RTTY", "12/Jan/2000 00:00:01", "13/Jan/2000 23:59:59", WpxCategories()});
  c.push_back({"ARRL CW", "19/Jan/2000 00:00:01", "20/Jan/2000 23:59:59", WpxCategories()});
  c.push_back({"Ukrainian Open RTTY",
               "19/Jan/2000 00:00:01",
               "20/Jan/2000 23:59:59",
               {"A: Single Op, Two Bands", "B: Single Op, 160m", "C: Single Op, 80m",
                "D: Multi Op, Single Tx"}});
  c.push_back(
      {"BARTG SPRING RTTY",
       "18/Mar/2000 02:00:00",
       "20/Mar/2000 02:00:00",
       {"Single Operator All Band", "Single Op, Single Band, 10m", "Single Op, Single Band, 15m",
        "Single Op, Single Band, 20m", "Single Op, Single Band, 40m", "Single Op, Single Band, 80m",
        "Multi-operator All band", "Multi-operator Multi-Transmitter", "SWL"}});
  return c;
}

}  // namespace

const std::vector<ContestDef>& Contests() {
  static const std::vector<ContestDef> catalogue = BuildCatalogue();
  return catalogue;
}

int ContestNumberOf(std::string_view name) {
  if (name.empty()) return -1;
  const auto& c = Contests();
  for (size_t i = 0; i < c.size(); ++i)
    if (name == c[i].name) return static_cast<int>(i);
  return -1;
}

ContestPeriod DefaultPeriod(std::string_view name) {
  const int n = ContestNumberOf(name);
  if (n < 0) return {"04/Sep/2000 00:00:01", "04/Sep/2000 23:59:59"};
  const ContestDef& d = Contests()[static_cast<size_t>(n)];
  return {d.periodStart, d.periodEnd};
}

const std::vector<std::string>& Categories(std::string_view name) {
  static const std::vector<std::string> none;
  const int n = ContestNumberOf(name);
  return n < 0 ? none : Contests()[static_cast<size_t>(n)].categories;
}

// The band numbers are looked for with their "m": a bare "10" would also be found in
// "100 watts" and make a power category a single-band one.
int SingleBandOfCategory(std::string_view category) {
  static constexpr struct {
    const char* text;
    int band;
  } kOrder[] = {{"10m", 8}, {"15m", 6}, {"20m", 4}, {"40m", 2}, {"80m", 1}, {"160m", 0}};
  for (const auto& o : kOrder)
    if (category.find(o.text) != std::string_view::npos) return o.band;
  return -1;
}

bool IsArrlStateContest(std::string_view name) {
  return name == "ARRL 10 METERS" || name == "ARRL RTTY Roundup Contest";
}

int ContestKind(std::string_view name, std::string_view ownPrefix) {
  if (name.empty()) return 0;
  if (name == "CQ WW RTTY" || name == "TARA Rumble PSK31 2000" || name == "CQ WW DX SSB" ||
      name == "CQ WW DX CW" || name == "JARTS RTTY" || name == "ARRL CW")
    return 2;
  if (IsArrlStateContest(name) && IsNorthAmericanArrl(ownPrefix)) return 2;
  return 1;
}

}  // namespace vexa::contest
