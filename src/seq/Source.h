// The one interface the decoder reads through: local files and remote streams alike.
#pragma once
#include "platform/ByteSource.h"

namespace vialto::seq {
using Source = platform::ByteSource;
}  // namespace vialto::seq
