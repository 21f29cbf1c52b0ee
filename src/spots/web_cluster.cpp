#include "spots/web_cluster.h"

#include <cstdio>

#include "platform/http/http_client.h"

namespace vexa::spots {
namespace {

bool IsWhite(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

platform::HttpOptions Options(const WebClusterSettings& s) {
  platform::HttpOptions o;
  o.connectTimeoutSeconds = s.connectTimeoutSeconds;
  o.timeoutSeconds = s.timeoutSeconds;
  o.maxBytes = s.maxPageBytes;
  o.userAgent = kWebClusterAgent;
  // The list changes by the minute: ask every cache on the way for a fresh copy.
  o.headers = {"Cache-Control: no-cache", "Pragma: no-cache"};
  return o;
}

// Turns the HTTP client's result into a web cluster error and an operator message.
int Classify(int rc, const platform::HttpResponse& r, const std::string& url,
             const WebClusterSettings& s, std::string& message) {
  if (rc == platform::kHttpTooLarge) {
    message = url + ": the answer is larger than " + std::to_string(s.maxPageBytes) + " bytes";
    return kWebTooLarge;
  }
  if (rc != platform::kHttpOk) {
    message = url + ": " + (r.error.empty() ? std::string("no answer") : r.error);
    return kWebNoResponse;
  }
  if (r.status != 200) {
    message = url + ": HTTP status " + std::to_string(r.status);
    return kWebHttpFailure;
  }
  return kWebOk;
}

}  // namespace

std::string WebClusterUrl(const WebClusterSettings& s, std::string_view path) {
  std::string url = "http://" + s.server + ":" + std::to_string(s.port);
  if (path.empty() || path.front() != '/') url += '/';
  url += path;
  return url;
}

std::vector<std::string> PageLines(std::string_view body) {
  std::vector<std::string> lines;
  while (!body.empty() && lines.size() < kMaxPageLines) {
    const size_t lf = body.find('\n');
    std::string_view line = body.substr(0, lf);
    body = lf == std::string_view::npos ? std::string_view() : body.substr(lf + 1);
    if (const size_t pre = line.find("<PRE>"); pre != std::string_view::npos)
      line.remove_prefix(pre + 5);
    if (line.size() > kMaxPageLineChars) line = line.substr(0, kMaxPageLineChars);
    while (!line.empty() && IsWhite(line.back())) line.remove_suffix(1);
    lines.emplace_back(line);
  }
  return lines;
}

int FeedPageLines(SpotRing& ring, const std::vector<std::string>& lines) {
  int added = 0;
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) added += ring.addSpotFromLine(*it);
  return added;
}

int FetchSpotPage(const WebClusterSettings& s, std::vector<std::string>& lines,
                  std::string& message) {
  lines.clear();
  const std::string url = WebClusterUrl(s, s.page);
  platform::HttpResponse r;
  const int rc = Classify(platform::HttpGet(url, r, Options(s)), r, url, s, message);
  if (rc != kWebOk) return rc;
  lines = PageLines(r.body);
  message = url + ": " + std::to_string(lines.size()) + " lines";
  return kWebOk;
}

int FetchSpots(SpotRing& ring, const WebClusterSettings& s, int& newSpots, std::string& message) {
  newSpots = 0;
  std::vector<std::string> lines;
  const int rc = FetchSpotPage(s, lines, message);
  if (rc != kWebOk) return rc;
  newSpots = FeedPageLines(ring, lines);
  message += ", " + std::to_string(newSpots) + " new spots";
  return kWebOk;
}

std::string EncodeSpotComment(std::string_view comment) {
  std::string out;
  out.reserve(comment.size());
  for (char c : comment) {
    switch (c) {
      case '!':
        out += "%21";
        break;
      case '#':
        out += "%23";
        break;
      case '$':
        out += "%24";
        break;
      case '%':
        out += "%25";
        break;
      case '&':
        out += "%26";
        break;
      case '\'':
        out += "%27";
        break;
      case '(':
        out += "%28";
        break;
      case ')':
        out += "%29";
        break;
      case '+':
        out += "%2B";
        break;
      case '=':
        out += "%3D";
        break;
      case '|':
        out += "%7C";
        break;
      case '/':
        out += "%2F";
        break;
      case '?':
        out += "%3F";
        break;
      case ',':
        out += "%2C";
        break;
      case '<':
        out += "%3C";
        break;
      case '>':
        out += "%3E";
        break;
      case ' ':
        out += '+';
        break;
      default:
        out += c;
        break;
    }
  }
  return out;
}

std::string FormatPostFrequency(double khz) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%9.1f", khz);
  std::string_view s(buf);
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return std::string(s);
}

std::string SpotPostBody(std::string_view myCall, const SpotPost& spot) {
  std::string body = "mycall=";
  body += myCall;
  body += "&dxcall=";
  body += spot.dxCall;
  body += "&freq=";
  body += FormatPostFrequency(spot.frequencyKhz);
  body += "&info=";
  body += EncodeSpotComment(spot.comment);
  body += "&Submit%21=Submit%21";
  return body;
}

int PostSpot(const WebClusterSettings& s, std::string_view myCall, const SpotPost& spot,
             std::string& message) {
  const std::string url = WebClusterUrl(s, s.spotPage);
  platform::HttpResponse r;
  const int rc = Classify(platform::HttpPostForm(url, SpotPostBody(myCall, spot), r, Options(s)), r,
                          url, s, message);
  if (rc != kWebOk) return rc;
  message = url + ": spot of " + spot.dxCall + " sent";
  return kWebOk;
}

SpotPost PrefillSpot(std::string_view typed, int rigHz) {
  SpotPost p;
  if (rigHz > 0) p.frequencyKhz = rigHz * 0.001;
  while (!typed.empty() && IsWhite(typed.front())) typed.remove_prefix(1);
  while (!typed.empty() && IsWhite(typed.back())) typed.remove_suffix(1);
  size_t end = 0;
  while (end < typed.size() && IsCallsignChar(typed[end])) ++end;
  if (end > 0 && (end == typed.size() || IsWhite(typed[end]))) {
    p.dxCall = std::string(typed.substr(0, end));
    typed.remove_prefix(end);
    while (!typed.empty() && IsWhite(typed.front())) typed.remove_prefix(1);
  }
  p.comment = std::string(typed);
  return p;
}

}  // namespace vexa::spots
