// The six record codecs: packed little-endian disk blocks <-> naturally aligned records.
#pragma once
#include <cstddef>

#include "vialto/vialto.h"

namespace vialto::seq {

inline constexpr std::size_t kInfoBlockBytes = 48;  // defined bytes of a file-information block
inline constexpr std::size_t kSerTrailerBytes = 54;
inline constexpr std::size_t kHeadBufBytes = 128;
inline constexpr std::size_t kSubHeadBytes = 64;

}  // namespace vialto::seq
