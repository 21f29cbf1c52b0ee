// Logbook and country database speed: the start-up scan of a 100000-record log, and 100000
// callsign lookups against the real country file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "callinfo/country_table.h"
#include "callinfo/multiplier_tally.h"
#include "callinfo/tally_sink.h"
#include "log/log_file.h"
#include "log/log_scan.h"
#include "log/worked_table.h"

namespace {

using namespace vexa;

std::string CountryFilePath() {
  return (std::filesystem::path(__FILE__).parent_path() / "../../shared/testdata/cty/cty.dat")
      .string();
}

// Calls from many countries, with designators now and then.
std::vector<std::string> MakeCalls(size_t n) {
  static const char* const kPrefixes[] = {
      "DL", "W",  "K",  "JA", "VK", "VE", "G",  "F",  "I",  "EA", "UA", "UA9", "LU",  "PY",
      "ZS", "OH", "SM", "OK", "SP", "YB", "BY", "HL", "4X", "9A", "VU", "ZL",  "KH6", "CE"};
  std::mt19937 rng(7);
  std::vector<std::string> calls;
  calls.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    std::string c = kPrefixes[rng() % std::size(kPrefixes)];
    if (c.back() < '0' || c.back() > '9') c += static_cast<char>('0' + rng() % 10);
    for (unsigned k = 0, len = 1 + rng() % 3; k < len; ++k)
      c += static_cast<char>('A' + rng() % 26);
    if (rng() % 20 == 0) c += "/P";
    calls.push_back(std::move(c));
  }
  return calls;
}

std::string MakeLog(size_t records) {
  const auto calls = MakeCalls(records);
  static const char* const kModes[] = {"CW", "RTTY", "PSK31", "SSB"};
  static const int kKHz[] = {3580, 7035, 14080, 21080, 28080};
  std::string log;
  log.reserve(records * 80);
  char buf[200];
  for (size_t i = 0; i < records; ++i) {
    std::snprintf(buf, sizeof buf,
                  "%s %02zu/Sep/2000 %02zu:%02zu:%02zuz %d.%03zu.000 %s 599/579 OP\r\n\r\n",
                  calls[i].c_str(), 1 + i % 28, i % 24, i / 24 % 60, i % 60, kKHz[i % 5] / 1000,
                  static_cast<size_t>(kKHz[i % 5] % 1000), kModes[i % 4]);
    log += buf;
  }
  return log;
}

struct WorkedSink : log::QsoSink {
  log::WorkedTable worked;
  void WorkedQso(const log::QsoRecord& r, int band, int cls) override {
    worked.AddWorked(r.call, band, cls);
  }
};

void BM_ScanLog100k(benchmark::State& state) {
  const std::string path = (std::filesystem::temp_directory_path() / "vexa_bench_log.log").string();
  if (log::WriteFileAtomic(path, MakeLog(100000)) != 0) {
    state.SkipWithError("cannot write the temporary log");
    return;
  }
  for (auto _ : state) {
    WorkedSink sink;
    log::LogScanOptions o;
    o.fullScan = true;
    log::LogScanResult res;
    if (log::ScanLogFile(path, o, sink, res) != 0 || res.qsoTotal != 100000) {
      state.SkipWithError("scan failed");
      break;
    }
    benchmark::DoNotOptimize(sink.worked.size());
  }
  state.SetItemsProcessed(state.iterations() * 100000);
  std::filesystem::remove(path);
}
BENCHMARK(BM_ScanLog100k)->Unit(benchmark::kMillisecond);

void BM_ScanLog100kWithCountryTally(benchmark::State& state) {
  callinfo::CountryTable table;
  if (table.LoadCountryFile(CountryFilePath()) != 0) {
    state.SkipWithError("country file not found");
    return;
  }
  const std::string text = MakeLog(100000);
  for (auto _ : state) {
    callinfo::MultiplierTally tally;
    tally.Reset(table.size());
    callinfo::TallySink sink(table, tally);
    log::LogScanOptions o;
    o.fullScan = true;
    const auto res = log::ScanLogText(text, o, sink);
    benchmark::DoNotOptimize(res.qsoTotal);
  }
  state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_ScanLog100kWithCountryTally)->Unit(benchmark::kMillisecond);

void BM_Lookup100k(benchmark::State& state) {
  callinfo::CountryTable table;
  if (table.LoadCountryFile(CountryFilePath()) != 0) {
    state.SkipWithError("country file not found");
    return;
  }
  table.SetStationPosition(51.0, 10.0);
  const auto calls = MakeCalls(100000);
  for (auto _ : state) {
    int found = 0;
    callinfo::CountryInfo info;
    for (const auto& c : calls) found += table.LookupCountry(c, &info) >= 0;
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_Lookup100k)->Unit(benchmark::kMillisecond);

void BM_LoadCountryFile(benchmark::State& state) {
  for (auto _ : state) {
    callinfo::CountryTable table;
    if (table.LoadCountryFile(CountryFilePath()) != 0) {
      state.SkipWithError("country file not found");
      break;
    }
    benchmark::DoNotOptimize(table.size());
  }
}
BENCHMARK(BM_LoadCountryFile)->Unit(benchmark::kMillisecond);

}  // namespace
