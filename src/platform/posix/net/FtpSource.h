// Remote files over ftp: a streaming download kept in step with the reads.
#pragma once
#include <memory>
#include <string>

#include "platform/ByteSource.h"

namespace vialto::platform::net {

class CurlConnection;

// Opens url and measures it with SIZE. Null when the server refuses (no such file, login or
// access denied) or reports no size; throws InternetError when it cannot be reached.
std::unique_ptr<ByteSource> OpenFtp(std::shared_ptr<CurlConnection> connection,
                                    const std::string& url);

}  // namespace vialto::platform::net
