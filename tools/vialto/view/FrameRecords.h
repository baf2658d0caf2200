// The JSON the page reads: the sequence's file information, and one frame's facts with every
// decoded sub-header field.
#pragma once
#include <string>

namespace vialto::cli {
class Sequence;
}

namespace vialto::cli::view {

// Source, type, frame count, colour modes, whether only forward moves are possible, and the
// decoded file information.
std::string InfoJson(Sequence& seq);
// The current frame: number, time, position, length, codec tag, size, colour status, whether its
// stored JPEG is served as it is, and (for "se1") the decoded sub-header.
std::string FrameJson(Sequence& seq);

}  // namespace vialto::cli::view
