#include "platform/posix/net/HttpSource.h"

#include <algorithm>
#include <cctype>
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
#include "platform/posix/net/CurlConnection.h"

namespace vialto::platform::net {

namespace {

constexpr long kReceiveBuffer = 256 * 1024;

struct ContentRange {
  int64_t first = -1;
  int64_t last = -1;
  int64_t total = -1;  // -1: "*", unknown
};

std::optional<ContentRange> ParseContentRange(std::string_view value) {
  ContentRange r;
  char total[32] = {};
  const std::string text(value);
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

bool HeaderIs(std::string_view line, std::string_view name) {
  if (line.size() <= name.size() || line[name.size()] != ':') return false;
  for (std::size_t i = 0; i < name.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(line[i])) != name[i]) return false;
  return true;
}

std::string_view HeaderValue(std::string_view line, std::size_t nameLength) {
  std::string_view v = line.substr(nameLength + 1);
  while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
  while (!v.empty() && (v.back() == '\r' || v.back() == '\n' || v.back() == ' '))
    v.remove_suffix(1);
  return v;
}

// One ranged GET: the reply's status and headers as they arrive, and the wanted bytes of its body.
// A 206 must carry exactly the asked range; a 200 carries the whole file, so the body is skipped
// to the offset and the transfer stopped once the bytes are in.
class RangeRequest {
 public:
  RangeRequest(int64_t first, int64_t count) : first_(first), count_(count) {
    bytes_.reserve(static_cast<std::size_t>(count));
  }

  // Runs the request. kRefused: status 400 or above. Throws for transport failures and replies
  // that do not fit the request. `knownLength` (-1 when not yet known) is checked against the
  // length the reply states.
  Outcome Run(CurlConnection& connection, const std::string& url, int64_t knownLength) {
    CURL* h = connection.Prepare(url, nullptr);
    char range[64];
    std::snprintf(range, sizeof range, "%" PRId64 "-%" PRId64, first_, first_ + count_ - 1);
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(h, CURLOPT_RANGE, range);
    // Blocks of up to a megabyte arrive in fewer, larger pieces.
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, kReceiveBuffer);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &RangeRequest::HeaderThunk);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &RangeRequest::BodyThunk);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
    const CURLcode code = curl_easy_perform(h);

    if (refused_) return Outcome::kRefused;
    if (badReply_) throw InternetError("http: reply does not match the requested range");
    if (code != CURLE_OK && !(code == CURLE_WRITE_ERROR && stoppedEarly_)) {
      if (Classify(code) == Outcome::kMalformed) return Outcome::kMalformed;
      ThrowTransportFailure("http", code);
    }
    if (!inBody_) throw InternetError("http: no usable reply");
    if (knownLength >= 0 && length_ != knownLength)
      throw InternetError("http: the file's length changed");
    // A 206 promised exactly the range; fewer bytes means the reply broke off.
    if (status_ == 206 && static_cast<int64_t>(bytes_.size()) != ExpectedCount())
      throw InternetError("http: short range reply");
    return Outcome::kDone;
  }

  int64_t length() const { return length_; }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  static size_t HeaderThunk(char* data, size_t size, size_t n, void* self) {
    return static_cast<RangeRequest*>(self)->OnHeader(std::string_view(data, size * n)) ? size * n
                                                                                        : 0;
  }
  static size_t BodyThunk(char* data, size_t size, size_t n, void* self) {
    return static_cast<RangeRequest*>(self)->OnBody(data, size * n);
  }

  int64_t ExpectedCount() const {
    return length_ < 0 ? count_ : std::min(count_, std::max<int64_t>(0, length_ - first_));
  }

  bool OnHeader(std::string_view line) {
    if (line.starts_with("HTTP/")) {  // a new reply (after a redirect or a 100): forget the last
      status_ = 0;
      contentRange_.reset();
      contentLength_ = -1;
      const auto space = line.find(' ');
      if (space != std::string_view::npos)
        status_ = std::atoi(std::string(line.substr(space + 1, 3)).c_str());
      return true;
    }
    if (HeaderIs(line, "content-range")) {
      contentRange_ = ParseContentRange(HeaderValue(line, 13));
      if (!contentRange_) contentRange_ = ContentRange{};  // present but unreadable
    } else if (HeaderIs(line, "content-length")) {
      const std::string v(HeaderValue(line, 14));
      char* end = nullptr;
      const long long value = std::strtoll(v.c_str(), &end, 10);
      contentLength_ = (end != v.c_str() && *end == '\0' && value >= 0) ? value : -1;
    } else if (line == "\r\n" || line == "\n") {
      return OnHeadersEnd();
    }
    return true;
  }

  // Decides from the final reply's status how its body is used; false aborts the transfer.
  bool OnHeadersEnd() {
    if (status_ >= 300 && status_ < 400) return true;  // followed by libcurl; its body is not ours
    if (status_ >= 100 && status_ < 200) return true;
    if (status_ >= 400) {
      refused_ = true;
      return false;
    }
    if (status_ == 206) {
      const ContentRange& r = contentRange_.value_or(ContentRange{});
      length_ = r.total;
      if (length_ < 0 || r.first != first_ || r.last != first_ + ExpectedCount() - 1 ||
          (contentLength_ >= 0 && contentLength_ != ExpectedCount())) {
        badReply_ = true;
        return false;
      }
      skip_ = 0;
    } else if (status_ == 200) {
      length_ = contentLength_;  // the whole file; unknown without a length
      skip_ = first_;
    } else {
      badReply_ = true;
      return false;
    }
    inBody_ = true;
    return true;
  }

  size_t OnBody(const char* data, size_t size) {
    if (!inBody_) return size;  // a redirect's body
    const size_t skipped =
        static_cast<size_t>(std::min<int64_t>(skip_, static_cast<int64_t>(size)));
    skip_ -= static_cast<int64_t>(skipped);
    const int64_t room = ExpectedCount() - static_cast<int64_t>(bytes_.size());
    const size_t taken =
        static_cast<size_t>(std::min<int64_t>(room, static_cast<int64_t>(size - skipped)));
    bytes_.insert(bytes_.end(), data + skipped, data + skipped + taken);
    if (static_cast<int64_t>(bytes_.size()) >= ExpectedCount() && status_ == 200) {
      stoppedEarly_ = true;  // the rest of a whole-file reply is not needed
      return 0;
    }
    return size;
  }

  const int64_t first_;
  const int64_t count_;
  std::vector<uint8_t> bytes_;
  int status_ = 0;
  std::optional<ContentRange> contentRange_;
  int64_t contentLength_ = -1;
  int64_t length_ = -1;
  int64_t skip_ = 0;
  bool inBody_ = false;
  bool refused_ = false;
  bool badReply_ = false;
  bool stoppedEarly_ = false;
};

// The file behind its two cached blocks; each block missing is one range request.
class HttpSource final : public ByteSource {
 public:
  HttpSource(std::shared_ptr<CurlConnection> connection, std::string url, int64_t length,
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

  std::shared_ptr<CurlConnection> connection_;
  const std::string url_;
  BlockCache cache_;
};

}  // namespace

std::unique_ptr<ByteSource> OpenHttp(std::shared_ptr<CurlConnection> connection,
                                     const std::string& url) {
  // The first block is fetched with the measurement: the head is read next anyway.
  RangeRequest request(0, kMinReadAhead);
  if (request.Run(*connection, url, -1) != Outcome::kDone) return nullptr;
  if (request.length() < 0) return nullptr;  // no length, nothing to steer reads by
  return std::make_unique<HttpSource>(std::move(connection), url, request.length(),
                                      std::move(request.bytes()));
}

}  // namespace vialto::platform::net
