#include "platform/net/InternetSession.h"

namespace vialto::platform {

struct InternetSession::Impl {
  std::string agent;
};

InternetSession::InternetSession(const char* agent) : impl_(std::make_unique<Impl>()) {
  impl_->agent = agent;
}

InternetSession::~InternetSession() = default;

// Remote sources are not available in this build yet.
std::unique_ptr<ByteSource> InternetSession::OpenUrl(const std::string&) { return nullptr; }

}  // namespace vialto::platform
