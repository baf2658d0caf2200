// The internet session over WinINet. The session handle is opened with the system's configured
// access, so proxies and the system's certificate store apply; WinINet has no per-session trust
// file, so SetTrustedCertificates is kept for the interface and changes nothing here: an https
// server is trusted when the system store trusts it.
#include "platform/net/InternetSession.h"

#include <new>

#include "platform/UrlScheme.h"
#include "platform/win32/net/FtpSource.h"
#include "platform/win32/net/HttpSource.h"
#include "platform/win32/net/WinInetConnection.h"

namespace vialto::platform {

// The session's share of the one WinINet session its sources use.
class InternetConnection final : public net::WinInetConnection {
 public:
  using WinInetConnection::WinInetConnection;
};

InternetSession::InternetSession(const char* agent)
    : connection_(std::make_shared<InternetConnection>(agent ? agent : "")) {}

// Sources share the connection, so one that outlives the session still has its handle.
InternetSession::~InternetSession() = default;

std::unique_ptr<ByteSource> InternetSession::OpenUrl(const std::string& url) {
  try {
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
  connection_->ApplyTimeouts(connection_->session());
}

void InternetSession::SetTrustedCertificates(const std::string&) {}

int64_t InternetSession::RequestCount() const { return connection_->requests(); }

}  // namespace vialto::platform
