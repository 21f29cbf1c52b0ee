#include "platform/http/http_client.h"

#include <curl/curl.h>

#include <memory>

namespace vexa::platform {
namespace {

struct Sink {
  std::string* body;
  size_t maxBytes;
  bool tooLarge = false;
};

size_t OnData(char* data, size_t size, size_t count, void* user) {
  Sink* s = static_cast<Sink*>(user);
  const size_t n = size * count;
  if (s->body->size() + n > s->maxBytes) {
    s->tooLarge = true;
    return 0;  // makes libcurl stop with a write error
  }
  s->body->append(data, n);
  return n;
}

int Perform(const std::string& url, const std::string* form, HttpResponse& out,
            const HttpOptions& o) {
  out = HttpResponse();
  std::unique_ptr<CURL, void (*)(CURL*)> curl(curl_easy_init(), curl_easy_cleanup);
  if (!curl) {
    out.error = "libcurl initialisation failed";
    return kHttpInitFailed;
  }
  char errbuf[CURL_ERROR_SIZE] = {};
  Sink sink{&out.body, o.maxBytes};
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errbuf);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnData);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, o.connectTimeoutSeconds);
  curl_easy_setopt(c, CURLOPT_TIMEOUT, o.timeoutSeconds);
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, o.followRedirects ? 1L : 0L);
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(c, CURLOPT_USERAGENT, o.userAgent.c_str());
  curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "");  // any encoding libcurl can decode
  std::unique_ptr<curl_slist, void (*)(curl_slist*)> headers(nullptr, curl_slist_free_all);
  for (const std::string& h : o.headers) {
    curl_slist* grown = curl_slist_append(headers.get(), h.c_str());
    if (grown == nullptr) {
      out.error = "out of memory for the request headers";
      return kHttpInitFailed;
    }
    (void)headers.release();
    headers.reset(grown);
  }
  if (headers) curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  if (form) {
    curl_easy_setopt(c, CURLOPT_POST, 1L);
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, form->c_str());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, static_cast<long>(form->size()));
  }
  const CURLcode rc = curl_easy_perform(c);
  if (sink.tooLarge) {
    out.error = "response larger than the limit";
    out.body.clear();
    return kHttpTooLarge;
  }
  if (rc != CURLE_OK) {
    out.error = errbuf[0] ? errbuf : curl_easy_strerror(rc);
    return kHttpTransferFailed;
  }
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &out.status);
  return kHttpOk;
}

}  // namespace

int HttpGet(const std::string& url, HttpResponse& out, const HttpOptions& options) {
  return Perform(url, nullptr, out, options);
}

int HttpPostForm(const std::string& url, const std::string& form, HttpResponse& out,
                 const HttpOptions& options) {
  return Perform(url, &form, out, options);
}

std::string UrlEncode(const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace vexa::platform
