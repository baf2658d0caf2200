// Why a URL could not be opened. The library says only that it failed, so after a failure the
// tool asks the server again itself, for the first byte, and names what it ran into.
#pragma once
#include <string>

namespace vialto::cli {

// "HTTP 404 Not Found", "connection refused", "unknown host: ...", "TLS failure: ...",
// "timed out", ...; empty when the probe got the byte (the failure lies elsewhere).
std::string ProbeUrlFailure(const std::string& url);

}  // namespace vialto::cli
