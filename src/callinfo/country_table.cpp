#include "callinfo/country_table.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "callinfo/beam.h"

namespace vexa::callinfo {
namespace {

std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return u;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Integer between `open` and `close` starting at s[pos] == open; advances pos past close.
bool ReadBracketed(std::string_view s, size_t& pos, char close, std::string_view& inner) {
  const size_t end = s.find(close, pos + 1);
  if (end == std::string_view::npos) return false;
  inner = s.substr(pos + 1, end - pos - 1);
  pos = end + 1;
  return true;
}

int ToInt(std::string_view s) {
  int v = 0;
  bool any = false;
  for (char c : s) {
    if (!IsDigit(c)) return 0;
    if (v < 100000) v = v * 10 + (c - '0');
    any = true;
  }
  return any ? v : 0;
}

double ToDouble(std::string_view s) {
  const std::string t(Trim(s));
  char* end = nullptr;
  const double v = std::strtod(t.c_str(), &end);
  return end != t.c_str() && std::isfinite(v) ? v : 0.0;
}

struct VkPosition {
  char digit;
  double lat, lon;
};
constexpr VkPosition kVkPositions[] = {
    {'2', -33.88, 151.17}, {'3', -37.75, 144.97}, {'4', -27.5, 153.0}, {'5', -34.9, 138.6},
    {'6', -32.0, 115.9},   {'7', -42.9, 147.3},   {'8', -13.0, 131.0}};

}  // namespace

bool ParseCountryHeader(std::string_view header, CountryInfo& out) {
  std::string_view f[8];
  size_t pos = 0;
  for (int i = 0; i < 8; ++i) {
    const size_t colon = header.find(':', pos);
    if (colon == std::string_view::npos) {
      if (i < 7) return false;
      f[i] = header.substr(pos);  // a last field without its ':'
      pos = header.size();
    } else {
      f[i] = header.substr(pos, colon - pos);
      pos = colon + 1;
    }
    f[i] = Trim(f[i]);
  }
  if (f[0].empty() || f[7].empty()) return false;
  out.name = f[0];
  out.cqZone = ToInt(f[1]);
  out.ituZone = ToInt(f[2]);
  out.continent = f[3];
  out.latitude = ToDouble(f[4]);
  out.longitude = -ToDouble(f[5]);  // the file counts west positive
  out.primaryPrefix = f[7];
  return true;
}

int CountryTable::LoadCountryFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    *this = CountryTable{};
    return kCountryFileMissing;
  }
  std::string text;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  std::fclose(f);
  return LoadText(text);
}

int CountryTable::LoadText(std::string_view text) {
  const double myLat = myLat_, myLon = myLon_;
  const bool haveStation = haveStation_;
  *this = CountryTable{};
  myLat_ = myLat;
  myLon_ = myLon;
  haveStation_ = haveStation;

  std::string header, prefixes;
  bool current = false;  // a valid header is in progress
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    const std::string_view line = text.substr(pos, eol - pos);
    pos = eol + 1;
    if (line.empty() || static_cast<unsigned char>(line[0]) <= 0x20) {
      if (line.find(':') != std::string_view::npos) {
        // Prefix lines never hold ':': this is a damaged header. Its prefixes must not join the
        // entry before it, so they are dropped with it.
        if (current) StoreEntry(std::move(header), std::move(prefixes));
        current = false;
        ++stats_.badHeaders;
        ++stats_.droppedEntries;
        continue;
      }
      if (!current) continue;  // prefixes without a valid header are dropped
      for (char c : line) {
        if (c == '\r' || c == ' ' || c == '\t') continue;
        prefixes += c == ';' ? ',' : c;
      }
      continue;
    }
    if (current) StoreEntry(std::move(header), std::move(prefixes));
    const std::string_view trimmed = Trim(line);
    header.assign(trimmed.data(), trimmed.size());
    prefixes.assign(1, ',');
    CountryInfo probe;
    current = ParseCountryHeader(header, probe);
    if (!current) {
      ++stats_.badHeaders;
      ++stats_.droppedEntries;
    }
  }
  if (current) StoreEntry(std::move(header), std::move(prefixes));
  stats_.entries = size();
  return entries_.empty() ? kCountryNoEntries : kCountryOk;
}

void CountryTable::StoreEntry(std::string header, std::string prefixes) {
  if (prefixes.size() <= 1) {
    ++stats_.droppedEntries;
    return;
  }
  if (prefixes.back() != ',') prefixes += ',';  // a truncated last line
  Entry e;
  e.header = std::move(header);
  e.prefixes = std::move(prefixes);
  ParseCountryHeader(e.header, e.fields);
  const int index = size();
  e.fields.index = index;
  entries_.push_back(std::move(e));
  const std::string& list = entries_.back().prefixes;
  size_t start = 0;
  while (start < list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    if (comma > start) IndexToken(index, std::string_view(list).substr(start, comma - start));
    start = comma + 1;
  }
}

void CountryTable::IndexToken(int country, std::string_view token) {
  const bool exact = token.front() == '=';
  if (exact) token.remove_prefix(1);
  const size_t nameEnd = token.find_first_of("([<{~");
  const std::string name = Upper(token.substr(0, nameEnd));
  if (name.empty()) return;
  Hit hit;
  hit.country = country;
  size_t pos = nameEnd;
  while (pos != std::string_view::npos && pos < token.size()) {
    std::string_view inner;
    const char c = token[pos];
    const char close = c == '(' ? ')' : c == '[' ? ']' : c == '<' ? '>' : c == '{' ? '}' : '~';
    if (!ReadBracketed(token, pos, close, inner)) break;
    if (hit.rank == 0) hit.rank = c == '(' ? 1 : c == '[' ? 2 : 3;
    if (c == '(') {
      hit.cqZone = ToInt(inner);
    } else if (c == '[') {
      hit.ituZone = ToInt(inner);
    } else if (c == '{') {
      hit.continent = inner;
    } else if (c == '<') {
      const size_t slash = inner.find('/');
      if (slash != std::string_view::npos) {
        hit.havePosition = true;
        hit.latitude = ToDouble(inner.substr(0, slash));
        hit.longitude = -ToDouble(inner.substr(slash + 1));
      }
    }
  }
  if (exact) ++stats_.exactCalls;
  auto& index = exact ? exactIndex_ : prefixIndex_;
  auto [it, inserted] = index.try_emplace(name, hit);
  // An earlier entry keeps the prefix; within one entry a plainer token wins.
  if (!inserted && it->second.country == country && hit.rank < it->second.rank) it->second = hit;
}

std::string CountryTable::ReduceCall(std::string_view callText) {
  std::string call = Upper(callText);
  size_t slash;
  while (call.size() > 1 && (slash = call.find('/', 1)) != std::string::npos) {
    const std::string l = call.substr(0, slash);
    const std::string r = call.substr(slash + 1);
    if (r.empty() || r == "P" || r == "MM" || r == "AM" || r == "S" || r == "A" || r == "QRP" ||
        r == "M" || r == "B") {
      call = l;
    } else if (r.size() == 1 && IsDigit(r[0])) {
      const size_t d = l.find_first_of("0123456789");
      if (d != std::string::npos) {
        size_t e = d;
        while (e < l.size() && IsDigit(l[e])) ++e;
        call = e < l.size() ? l.substr(0, d) + r + l.substr(e) : l;
      } else {
        call = l;
      }
    } else {
      call = r.size() < l.size() ? r : l;
    }
  }
  return call;
}

void CountryTable::Fill(const Hit& hit, std::string_view callAsGiven, CountryInfo* out) {
  const CountryInfo& f = entries_[static_cast<size_t>(hit.country)].fields;
  const int cq = hit.cqZone ? hit.cqZone : f.cqZone;
  lastCqZone_ = cq;
  lastPrefix_ = f.primaryPrefix;
  if (!out) return;
  *out = f;
  out->cqZone = cq;
  if (hit.ituZone) out->ituZone = hit.ituZone;
  if (!hit.continent.empty()) out->continent = hit.continent;
  if (hit.havePosition) {
    out->latitude = hit.latitude;
    out->longitude = hit.longitude;
  }
  if (f.primaryPrefix == "VK" && callAsGiven.size() > 2) {
    for (const VkPosition& p : kVkPositions) {
      if (callAsGiven[2] == p.digit) {
        out->latitude = p.lat;
        out->longitude = p.lon;
      }
    }
  }
  out->beamText.clear();
  if (haveStation_)
    out->beamText = BeamText(myLat_, myLon_, out->latitude, out->longitude, kBeamShortBearing);
}

int CountryTable::LookupCountry(std::string_view call, CountryInfo* out) {
  if (entries_.empty() || call.empty()) return -1;
  const std::string upper = Upper(call);
  auto exact = exactIndex_.find(upper);
  const std::string reduced = ReduceCall(upper);
  if (exact == exactIndex_.end() && reduced != upper) exact = exactIndex_.find(reduced);
  if (exact != exactIndex_.end()) {
    Fill(exact->second, call, out);
    return exact->second.country;
  }
  std::string t = reduced;
  while (!t.empty()) {
    auto it = prefixIndex_.find(t);
    if (it != prefixIndex_.end()) {
      Fill(it->second, call, out);
      return it->second.country;
    }
    t.pop_back();
  }
  return -1;
}

int CountryTable::CountryFields(int index, CountryInfo* out) const {
  if (index < 0 || index >= size()) return -1;
  if (out) {
    *out = entries_[static_cast<size_t>(index)].fields;
    out->beamText.clear();
    if (haveStation_)
      out->beamText = BeamText(myLat_, myLon_, out->latitude, out->longitude, kBeamShortBearing);
  }
  return index;
}

int CountryTable::FindPrimaryPrefix(std::string_view prefix, int from) const {
  for (int i = from < 0 ? 0 : from; i < size(); ++i)
    if (entries_[static_cast<size_t>(i)].fields.primaryPrefix == prefix) return i;
  return -1;
}

}  // namespace vexa::callinfo
