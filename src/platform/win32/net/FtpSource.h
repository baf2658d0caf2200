// Remote files over ftp: a streaming download through WinINet kept in step with the reads.
#pragma once
#include <memory>
#include <string>

#include "platform/ByteSource.h"

namespace vialto::platform::net {

class WinInetConnection;

// Logs in, measures url with SIZE. Null when the server refuses (login or access denied, no such
// file) or reports no size; throws InternetError when it cannot be reached.
std::unique_ptr<ByteSource> OpenFtp(std::shared_ptr<WinInetConnection> connection,
                                    const std::string& url);

}  // namespace vialto::platform::net
