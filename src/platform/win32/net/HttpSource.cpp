// Each read of a block is one GET with a Range header on a request of its own; WinINet keeps
// the connection to the server alive between them and follows redirects between http and https.
// The reply is checked as strictly as on every other backend: a 206 must carry exactly the range
// asked for, a 200 is the whole file (skipped to the offset), anything else fails.
#include "platform/win32/net/HttpSource.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/net/BlockCache.h"
#include "platform/net/InternetSession.h"
#include "platform/win32/net/WinInetConnection.h"

namespace vialto::platform::net {

namespace {

constexpr DWORD kReadPiece = 256 * 1024;

constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_KEEP_CONNECTION |
                                INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI |
                                INTERNET_FLAG_NO_AUTH | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP |
                                INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;

struct ContentRange {
  int64_t first = -1;
  int64_t last = -1;
  int64_t total = -1;  // -1: "*", unknown
};

std::optional<ContentRange> ParseContentRange(const std::string& text) {
  ContentRange r;
  char total[32] = {};
  if (std::sscanf(text.c_str(), " bytes %" SCNd64 "-%" SCNd64 "/%31s", &r.first, &r.last, total) !=
      3)
    return std::nullopt;
  if (std::strcmp(total, "*") != 0) {
    char* end = nullptr;
    r.total = std::strtoll(total, &end, 10);
    if (*end != '\0' || r.total < 0) return std::nullopt;
  }
  if (r.first < 0 || r.last < r.first) return std::nullopt;
  return r;
}

// A header of the final reply as text; nothing when the reply has none.
std::optional<std::string> QueryHeader(HINTERNET request, DWORD which) {
  std::string value(256, '\0');
  for (;;) {
    DWORD size = static_cast<DWORD>(value.size());
    DWORD index = 0;
    if (HttpQueryInfoA(request, which, value.data(), &size, &index)) {
      value.resize(size);
      return value;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= value.size()) return std::nullopt;
    value.assign(size, '\0');
  }
}

int StatusOf(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof status;
  DWORD index = 0;
  if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                      &index))
    return 0;
  return static_cast<int>(status);
}

int64_t ContentLengthOf(HINTERNET request) {
  const std::optional<std::string> text = QueryHeader(request, HTTP_QUERY_CONTENT_LENGTH);
  if (!text || text->empty()) return -1;
  char* end = nullptr;
  const long long value = std::strtoll(text->c_str(), &end, 10);
  return (*end == '\0' && value >= 0) ? value : -1;
}

// Where a request goes: the server, and the object named on the request line.
struct HttpTarget {
  std::string host;
  INTERNET_PORT port = 0;
  std::string object;  // path and query
  DWORD secureFlag = 0;
};

std::optional<HttpTarget> TargetOf(const std::string& url) {
  std::vector<char> host(url.size() + 1), path(url.size() + 1), extra(url.size() + 1);
  URL_COMPONENTSA parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host.data();
  parts.dwHostNameLength = static_cast<DWORD>(host.size());
  parts.lpszUrlPath = path.data();
  parts.dwUrlPathLength = static_cast<DWORD>(path.size());
  parts.lpszExtraInfo = extra.data();
  parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());
  if (!InternetCrackUrlA(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts))
    return std::nullopt;
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
    return std::nullopt;
  HttpTarget target;
  target.host = host.data();
  if (target.host.empty()) return std::nullopt;
  target.port = parts.nPort;
  target.object = std::string(path.data()) + extra.data();
  if (target.object.empty()) target.object = "/";
  target.secureFlag = parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0;
  return target;
}

// One ranged GET: the reply's status and headers, and the wanted bytes of its body.
class RangeRequest {
 public:
  RangeRequest(int64_t first, int64_t count) : first_(first), count_(count) {
    bytes_.reserve(static_cast<std::size_t>(count));
  }

  // Runs the request. kRefused: status 400 or above; kMalformed: a URL WinINet cannot read.
  // Throws for transport failures and replies that do not fit the request. `knownLength` (-1
  // when not yet known) is checked against the length the reply states.
  Outcome Run(WinInetConnection& connection, const std::string& url, int64_t knownLength) {
    char headers[96];
    std::snprintf(headers, sizeof headers, "Range: bytes=%" PRId64 "-%" PRId64 "\r\n", first_,
                  first_ + count_ - 1);
    connection.CountRequest();
    const std::optional<HttpTarget> target = TargetOf(url);
    if (!target) return Outcome::kMalformed;
    const InternetHandle server(InternetConnectA(connection.session(), target->host.c_str(),
                                                 target->port, nullptr, nullptr,
                                                 INTERNET_SERVICE_HTTP, 0, 0));
    if (!server) ThrowTransportFailure("http", GetLastError());
    const InternetHandle request(HttpOpenRequestA(server.get(), "GET", target->object.c_str(),
                                                  nullptr, nullptr, nullptr,
                                                  kRequestFlags | target->secureFlag, 0));
    if (!request) ThrowTransportFailure("http", GetLastError());
    // On the request itself: timeouts given to the session do not reach every implementation's
    // requests.
    connection.ApplyTimeouts(request.get());
    if (!HttpSendRequestA(request.get(), headers, static_cast<DWORD>(std::strlen(headers)), nullptr,
                          0)) {
      const DWORD error = GetLastError();
      if (Classify(error) == Outcome::kMalformed) return Outcome::kMalformed;
      ThrowTransportFailure("http", error);
    }
    const int status = StatusOf(request.get());
    if (status >= 400) return Outcome::kRefused;
    ChooseBody(request.get(), status);
    if (knownLength >= 0 && length_ != knownLength)
      throw InternetError("http: the file's length changed");
    ReadBody(request.get());
    // A 206 promised exactly the range; fewer bytes means the reply broke off.
    if (status == 206 && static_cast<int64_t>(bytes_.size()) != ExpectedCount())
      throw InternetError("http: short range reply");
    return Outcome::kDone;
  }

  int64_t length() const { return length_; }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  int64_t ExpectedCount() const {
    return length_ < 0 ? count_ : std::min(count_, std::max<int64_t>(0, length_ - first_));
  }

  // Decides from the final reply's status and headers how its body is used.
  void ChooseBody(HINTERNET request, int status) {
    const int64_t contentLength = ContentLengthOf(request);
    if (status == 206) {
      const std::optional<std::string> text = QueryHeader(request, HTTP_QUERY_CONTENT_RANGE);
      const ContentRange r =
          text ? ParseContentRange(*text).value_or(ContentRange{}) : ContentRange{};
      length_ = r.total;
      if (length_ < 0 || r.first != first_ || r.last != first_ + ExpectedCount() - 1 ||
          (contentLength >= 0 && contentLength != ExpectedCount()))
        throw InternetError("http: reply does not match the requested range");
      skip_ = 0;
    } else if (status == 200) {
      length_ = contentLength;  // the whole file; unknown without a length
      skip_ = first_;
    } else {
      throw InternetError("http: no usable reply (status " + std::to_string(status) + ")");
    }
  }

  // Reads until the wanted bytes are in or the body ends; the rest of a whole-file reply is
  // left unread (closing the request drops it).
  void ReadBody(HINTERNET request) {
    std::vector<uint8_t> piece(kReadPiece);
    while (static_cast<int64_t>(bytes_.size()) < ExpectedCount()) {
      DWORD got = 0;
      if (!InternetReadFile(request, piece.data(), kReadPiece, &got))
        ThrowTransportFailure("http", GetLastError());
      if (got == 0) return;
      const int64_t skipped = std::min<int64_t>(skip_, got);
      skip_ -= skipped;
      const int64_t room = ExpectedCount() - static_cast<int64_t>(bytes_.size());
      const int64_t taken = std::min<int64_t>(room, got - skipped);
      bytes_.insert(bytes_.end(), piece.data() + skipped, piece.data() + skipped + taken);
    }
  }

  const int64_t first_;
  const int64_t count_;
  std::vector<uint8_t> bytes_;
  int64_t length_ = -1;
  int64_t skip_ = 0;
};

// The file behind its two cached blocks; each block missing is one range request.
class HttpSource final : public ByteSource {
 public:
  HttpSource(std::shared_ptr<WinInetConnection> connection, std::string url, int64_t length,
             std::vector<uint8_t> first)
      : connection_(std::move(connection)),
        url_(std::move(url)),
        cache_(length, std::move(first),
               [this](int64_t pos, int64_t count) { return FetchRange(pos, count); }) {}

  int64_t Length() const override { return cache_.length(); }

  bool ReadAt(int64_t pos, void* buf, std::size_t n, std::size_t* got) override {
    return cache_.ReadAt(pos, buf, n, got);
  }

 private:
  std::optional<std::vector<uint8_t>> FetchRange(int64_t pos, int64_t count) {
    RangeRequest request(pos, count);
    if (request.Run(*connection_, url_, cache_.length()) != Outcome::kDone) return std::nullopt;
    return std::move(request.bytes());
  }

  std::shared_ptr<WinInetConnection> connection_;
  const std::string url_;
  BlockCache cache_;
};

}  // namespace

std::unique_ptr<ByteSource> OpenHttp(std::shared_ptr<WinInetConnection> connection,
                                     const std::string& url) {
  // The first block is fetched with the measurement: the head is read next anyway.
  RangeRequest request(0, kMinReadAhead);
  if (request.Run(*connection, url, -1) != Outcome::kDone) return nullptr;
  if (request.length() < 0) return nullptr;  // no length, nothing to steer reads by
  return std::make_unique<HttpSource>(std::move(connection), url, request.length(),
                                      std::move(request.bytes()));
}

}  // namespace vialto::platform::net
