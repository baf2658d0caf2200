// What a walk over every frame finds: how many frames the file declares and how many can be
// reached, and whether the file is cut short or its chain broken.
#pragma once
#include <string>
#include <vector>

#include "Sequence.h"

namespace vialto::cli {

struct FrameCheck {
  int declared = 0;
  int reachable = 0;
  int present = 0;         // reachable frames whose data lies wholly in the file
  bool truncated = false;  // the data ends inside a frame or before the declared frames
  bool damaged = false;    // the frames stop before the data does, or outnumber the declared
  std::vector<std::string> problems;  // one sentence each, for people
  std::vector<FrameEntry> frames;

  // "complete", "truncated" or "damaged".
  const char* Status() const;
};

// Walks from the first frame to the last one that can be reached. Bytes on disk are compared
// only for local files.
FrameCheck CheckFrames(Sequence& seq);

// How many of the frame's bytes lie in the file before the trailer; -1 when that is not known.
int64_t BytesPresent(const Sequence& seq, const FrameEntry& frame);

// "frame 3 is cut short: 1200 of 5000 bytes present", or empty when the frame is whole (or
// the file's length is not known).
std::string CutShortProblem(const Sequence& seq, const FrameEntry& frame);

}  // namespace vialto::cli
