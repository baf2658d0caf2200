// The fixed sizes and marks of the "ser" and "se1" sequence formats, the one place they are
// written down. Header-only, so that hosts built here (the vialto tool) share them.
#pragma once
#include <cstddef>
#include <cstdint>

namespace vialto::seq {

// "ser": fixed-size frames of 768 x 288 pixels, grey or YUV 4:2:2 planar, then a 54-byte trailer
// holding the file information.
inline constexpr int kSerWidth = 768;
inline constexpr int kSerHeight = 288;
inline constexpr int64_t kGreyFrameBytes = 0x36000;    // 768 x 288
inline constexpr int64_t kColourFrameBytes = 0x6c000;  // 768 x 288 x 2, YUV 4:2:2 planar
static_assert(kGreyFrameBytes == int64_t{kSerWidth} * kSerHeight);
static_assert(kColourFrameBytes == 2 * kGreyFrameBytes);
inline constexpr std::size_t kSerTrailerBytes = 54;

// "se1": a 128-byte head whose dwHeadLen gives the first frame's offset, then each JPEG frame
// behind a 64-byte sub-header that starts with the sync marker and carries the frame number.
inline constexpr std::size_t kHeadBufBytes = 128;
inline constexpr std::size_t kHeadLengthOffset = 64;  // dwHeadLen in the head
inline constexpr std::size_t kSubHeadBytes = 64;
inline constexpr char kFrameMarker[8] = {'Q', 'X', 'A', 'A', 'A', 'A', 'A', 'A'};
inline constexpr std::size_t kFrameNoOffset = 12;  // nFrameNo in the sub-header

// Defined bytes of a file-information block, at the start of the trailer or the head.
inline constexpr std::size_t kInfoBlockBytes = 48;

// Anything shorter cannot hold a trailer and a frame.
inline constexpr int64_t kMinSourceLength = 55;

}  // namespace vialto::seq
