#pragma once
// A small HTTP(S) client around libcurl: one blocking request per call, the whole body in
// memory. Returns status codes; never throws.
#include <cstddef>
#include <string>
#include <vector>

namespace vexa::platform {

enum HttpError : int {
  kHttpOk = 0,              // a response arrived (look at HttpResponse::status)
  kHttpInitFailed = 1,      // libcurl could not be set up
  kHttpTransferFailed = 2,  // no response: name, connection, TLS or timeout failure
  kHttpTooLarge = 3,        // the body exceeded HttpOptions::maxBytes
};

struct HttpOptions {
  long connectTimeoutSeconds = 15;
  long timeoutSeconds = 60;
  size_t maxBytes = 32u << 20;  // bodies larger than this are refused
  bool followRedirects = true;
  std::string userAgent = "Vexa";
  std::vector<std::string> headers;  // extra request header lines ("Name: value")
};

struct HttpResponse {
  long status = 0;  // HTTP status (200, 404, ...); 0 when no response arrived
  std::string body;
  std::string error;  // libcurl's text when the transfer failed
};

// GET `url`. Returns an HttpError; kHttpOk also for 4xx/5xx responses.
[[nodiscard]] int HttpGet(const std::string& url, HttpResponse& out,
                          const HttpOptions& options = {});
// POST `form` (application/x-www-form-urlencoded, already encoded) to `url`.
[[nodiscard]] int HttpPostForm(const std::string& url, const std::string& form, HttpResponse& out,
                               const HttpOptions& options = {});
// Percent-encodes a text for a form field or URL query.
std::string UrlEncode(const std::string& text);

}  // namespace vexa::platform
