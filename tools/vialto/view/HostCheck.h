// Whether a request's Host header names this server. A page from another site can reach a
// loopback server only under a DNS name of its own that resolves here (DNS rebinding), so
// names are accepted only when they are the one the server was bound to, or "localhost";
// IP literals are accepted as they are. The port must be the server's.
#pragma once
#include <string>

namespace vialto::cli::view {

bool HostHeaderIsOurs(const std::string& header, const std::string& boundHost, int port);

}  // namespace vialto::cli::view
