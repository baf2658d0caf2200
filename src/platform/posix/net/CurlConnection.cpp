#include "platform/posix/net/CurlConnection.h"

#include <new>
#include <string>
#include <utility>

#include "platform/net/InternetSession.h"

namespace vialto::platform::net {

namespace {

// libcurl's global set-up is not thread-safe before 7.84 and costly; done once for the process.
void EnsureCurlInitialised() {
  static const CURLcode once = curl_global_init(CURL_GLOBAL_DEFAULT);
  (void)once;
}

}  // namespace

CurlConnection::CurlConnection(SessionOptions options) : options_(std::move(options)) {
  EnsureCurlInitialised();
  handle_ = curl_easy_init();
  if (!handle_) throw std::bad_alloc();
}

CurlConnection::~CurlConnection() { curl_easy_cleanup(handle_); }

CURL* CurlConnection::Prepare(const std::string& url, TransferHolder* next) {
  if (holder_ && holder_ != next) {
    TransferHolder* previous = holder_;
    holder_ = nullptr;
    previous->LetGo();
  }
  holder_ = next;
  ++requests_;

  // Reset keeps the live connections and caches, so keep-alive survives between transfers.
  curl_easy_reset(handle_);
  curl_easy_setopt(handle_, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle_, CURLOPT_USERAGENT, options_.agent.c_str());
  curl_easy_setopt(handle_, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
  curl_easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle_, CURLOPT_CONNECTTIMEOUT_MS,
                   static_cast<long>(options_.connectTimeout.count()));
  // A server that sends nothing for the stall time is taken for dead. libcurl's own low-speed
  // check averages over seconds, so a burst followed by silence would hang on much longer.
  RestartStallClock();
  curl_easy_setopt(handle_, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(handle_, CURLOPT_XFERINFOFUNCTION, &CurlConnection::OnProgress);
  curl_easy_setopt(handle_, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(handle_, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(handle_, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!options_.caFile.empty()) curl_easy_setopt(handle_, CURLOPT_CAINFO, options_.caFile.c_str());
  return handle_;
}

void CurlConnection::RestartStallClock() {
  lastReceived_ = 0;
  lastProgress_ = std::chrono::steady_clock::now();
}

int CurlConnection::OnProgress(void* self, curl_off_t, curl_off_t dlNow, curl_off_t, curl_off_t) {
  auto* c = static_cast<CurlConnection*>(self);
  const auto now = std::chrono::steady_clock::now();
  if (dlNow != c->lastReceived_) {
    c->lastReceived_ = dlNow;
    c->lastProgress_ = now;
    return 0;
  }
  return now - c->lastProgress_ > c->options_.stallTimeout ? 1 : 0;  // 1 aborts the transfer
}

void CurlConnection::Release(const TransferHolder* holder) {
  if (holder_ == holder) holder_ = nullptr;
}

Outcome Classify(CURLcode code) {
  switch (code) {
    case CURLE_OK:
      return Outcome::kDone;
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_LOGIN_DENIED:
    case CURLE_FTP_COULDNT_RETR_FILE:
    case CURLE_HTTP_RETURNED_ERROR:
      return Outcome::kRefused;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
      return Outcome::kMalformed;
    default:
      return Outcome::kTransportFailure;
  }
}

void ThrowTransportFailure(const char* what, CURLcode code) {
  throw InternetError(std::string(what) + ": " + curl_easy_strerror(code));
}

}  // namespace vialto::platform::net
