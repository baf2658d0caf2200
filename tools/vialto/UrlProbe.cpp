#include "UrlProbe.h"

#include <curl/curl.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace vialto::cli {
namespace {

// Quicker than the library's own limits: the user has already waited for those once.
constexpr long kConnectTimeoutMs = 5000;
constexpr long kStallSeconds = 5;

struct HandleDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

size_t Discard(char*, size_t size, size_t count, void*) { return size * count; }

std::string HttpStatusText(long status) {
  switch (status) {
    case 400:
      return "HTTP 400 Bad Request";
    case 401:
      return "HTTP 401 Unauthorized";
    case 403:
      return "HTTP 403 Forbidden";
    case 404:
      return "HTTP 404 Not Found";
    case 405:
      return "HTTP 405 Method Not Allowed";
    case 410:
      return "HTTP 410 Gone";
    case 416:
      return "HTTP 416 Range Not Satisfiable";
    case 500:
      return "HTTP 500 Internal Server Error";
    case 502:
      return "HTTP 502 Bad Gateway";
    case 503:
      return "HTTP 503 Service Unavailable";
    case 504:
      return "HTTP 504 Gateway Timeout";
    default:
      return "HTTP " + std::to_string(status);
  }
}

std::string TransportText(CURLcode code, const char* detail, long systemError) {
  const std::string more = detail[0] != '\0' ? std::string(": ") + detail : std::string();
  switch (code) {
    case CURLE_COULDNT_CONNECT:
      if (systemError == ECONNREFUSED) return "connection refused";
      if (systemError != 0)
        return std::string("cannot connect: ") + std::strerror(static_cast<int>(systemError));
      return "cannot connect" + more;
    case CURLE_COULDNT_RESOLVE_HOST:
      return "unknown host" + more;
    case CURLE_COULDNT_RESOLVE_PROXY:
      return "unknown proxy host" + more;
    case CURLE_OPERATION_TIMEDOUT:
      return "timed out" + more;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
      return "TLS failure" + more;
    case CURLE_REMOTE_ACCESS_DENIED:
      return "access denied" + more;
    case CURLE_REMOTE_FILE_NOT_FOUND:
      return "no such file on the server" + more;
    case CURLE_LOGIN_DENIED:
      return "login denied" + more;
    case CURLE_GOT_NOTHING:
      return "the server closed the connection without answering";
    case CURLE_TOO_MANY_REDIRECTS:
      return "too many redirects";
    case CURLE_UNSUPPORTED_PROTOCOL:
      return "unsupported protocol" + more;
    default:
      return curl_easy_strerror(code) + more;
  }
}

}  // namespace

std::string ProbeUrlFailure(const std::string& url) {
  const std::unique_ptr<CURL, HandleDeleter> handle(curl_easy_init());
  if (!handle) return "out of memory";
  CURL* h = handle.get();
  char detail[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
  curl_easy_setopt(h, CURLOPT_RANGE, "0-0");
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Discard);
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, detail);
  const CURLcode code = curl_easy_perform(h);
  long status = 0, systemError = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_getinfo(h, CURLINFO_OS_ERRNO, &systemError);
  // A stall in the middle of an answer is still a timeout, whatever status came first.
  if (code == CURLE_OPERATION_TIMEDOUT) return TransportText(code, detail, systemError);
  if (code == CURLE_OK || code == CURLE_HTTP_RETURNED_ERROR) {
    const bool http = url.size() > 4 && (url[0] == 'h' || url[0] == 'H');
    if (http && status >= 400) return HttpStatusText(status);
    return {};
  }
  return TransportText(code, detail, systemError);
}

}  // namespace vialto::cli
