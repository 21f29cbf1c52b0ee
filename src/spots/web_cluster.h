#pragma once
// The web cluster client: the page that lists the current spots is fetched over HTTP, reduced
// to text lines and fed to the spot ring; a new spot is sent to the server's spot form. The
// network calls block; the station core runs them on a worker thread and feeds the ring on its
// own thread (FeedPageLines), the command line calls them directly.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "spots/spot_ring.h"

namespace vexa::spots {

// The settings of the web cluster (the window's section of the settings file).
struct WebClusterSettings {
  std::string server;    // host name
  std::string page;      // path of the page that lists the spots
  std::string spotPage;  // path of the form that accepts a new spot
  int port = 80;
  int loadOnStart = 0;  // 1: fetch the page when the spot window opens

  // Limits that keep a slow, dead or babbling server from holding the station.
  long connectTimeoutSeconds = 10;
  long timeoutSeconds = 30;
  size_t maxPageBytes = size_t{2} << 20;
};

// Bounds of a page reduced to lines: a real spot page has a few hundred short lines.
constexpr size_t kMaxPageLines = 10000;
constexpr size_t kMaxPageLineChars = 4096;

// The agent name the client gives the server.
constexpr const char* kWebClusterAgent = "My HTTP Session";

enum WebClusterError : int {
  kWebOk = 0,
  kWebNoResponse = 1,   // no connection, host not found, time-out
  kWebHttpFailure = 2,  // the server answered with a status other than 200
  kWebTooLarge = 3,     // the answer exceeded maxPageBytes
};

// "http://server:port/path".
std::string WebClusterUrl(const WebClusterSettings& settings, std::string_view path);

// The page as lines: split at LF (a CR before it dropped), in each line everything up to and
// including "<PRE>" dropped, trailing white space removed. Lines beyond kMaxPageLines are
// dropped, and each line is cut to kMaxPageLineChars characters.
std::vector<std::string> PageLines(std::string_view body);

// Offers the lines to the ring from the last to the first (so the page's first line becomes
// the newest entry). Returns the number of new spots.
int FeedPageLines(SpotRing& ring, const std::vector<std::string>& lines);

// GET of the spot page, always from the server (never a cached copy), reduced by PageLines.
// On an error `lines` is empty and `message` says what failed.
[[nodiscard]] int FetchSpotPage(const WebClusterSettings& settings, std::vector<std::string>& lines,
                                std::string& message);

// FetchSpotPage, then FeedPageLines; `newSpots` counts the spots that were new to the ring.
// On an error the ring is left unchanged.
[[nodiscard]] int FetchSpots(SpotRing& ring, const WebClusterSettings& settings, int& newSpots,
                             std::string& message);

// A spot to be sent.
struct SpotPost {
  std::string dxCall;
  double frequencyKhz = 0;
  std::string comment;
};

// The form's encoding of a remark: each of ! # $ % & ' ( ) + = | / ? , < > becomes its %XX
// code and a space becomes '+'; every other byte passes unchanged.
std::string EncodeSpotComment(std::string_view comment);
// The frequency as the form wants it: "%9.1f" without the leading spaces.
std::string FormatPostFrequency(double khz);
// The whole form body; the callsigns and the frequency go unencoded.
std::string SpotPostBody(std::string_view myCall, const SpotPost& spot);

// Sends SpotPostBody to the spot form and discards the answer.
[[nodiscard]] int PostSpot(const WebClusterSettings& settings, std::string_view myCall,
                           const SpotPost& spot, std::string& message);

// The spot dialog's fields from what the operator typed on the console and the rig frequency:
// the first word, when it is made of callsign characters, is the DX call and the rest of the
// line the remark; otherwise the whole line is the remark. rigHz <= 0 leaves the frequency 0.
SpotPost PrefillSpot(std::string_view typed, int rigHz);

}  // namespace vexa::spots
