#include "platform/net/InternetSession.h"

#include <new>

#include "platform/UrlScheme.h"
#include "platform/posix/net/CurlConnection.h"
#include "platform/posix/net/FtpSource.h"
#include "platform/posix/net/HttpSource.h"

namespace vialto::platform {

// The session's share of the one libcurl handle its sources reuse.
class InternetConnection final : public net::CurlConnection {
 public:
  using CurlConnection::CurlConnection;
};

InternetSession::InternetSession(const char* agent)
    : connection_(std::make_shared<InternetConnection>(net::SessionOptions{agent ? agent : ""})) {}

// Sources share the connection, so one that outlives the session still has its handle.
InternetSession::~InternetSession() = default;

std::unique_ptr<ByteSource> InternetSession::OpenUrl(const std::string& url) {
  // Callers catch InternetError; memory running out mid-transfer fails the open the same way.
  try {
    // Only the schemes the decoder hands over; anything else names nothing this session reaches.
    switch (SchemeOf(url)) {
      case UrlScheme::kHttp:
      case UrlScheme::kHttps:
        return net::OpenHttp(connection_, url);
      case UrlScheme::kFtp:
        return net::OpenFtp(connection_, url);
      case UrlScheme::kNone:
        break;
    }
    return nullptr;
  } catch (const std::bad_alloc&) {
    throw InternetError("out of memory for the transfer");
  }
}

void InternetSession::SetTimeouts(std::chrono::milliseconds connect,
                                  std::chrono::milliseconds stall) {
  connection_->options().connectTimeout = connect;
  connection_->options().stallTimeout = stall;
}

void InternetSession::SetTrustedCertificates(const std::string& caFile) {
  connection_->options().caFile = caFile;
}

int64_t InternetSession::RequestCount() const { return connection_->requests(); }

}  // namespace vialto::platform
