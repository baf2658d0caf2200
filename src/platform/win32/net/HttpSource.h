// Remote files over http and https, read with bounded Range requests through WinINet.
#pragma once
#include <memory>
#include <string>

#include "platform/ByteSource.h"

namespace vialto::platform::net {

class WinInetConnection;

// Opens url and measures it. Null when the server refuses (status 400 or above) or gives no
// length; throws InternetError when it cannot be reached or answers out of protocol.
std::unique_ptr<ByteSource> OpenHttp(std::shared_ptr<WinInetConnection> connection,
                                     const std::string& url);

}  // namespace vialto::platform::net
