// What the "se1" frame searches know about where the frame carrying a wanted number starts, learnt
// from the sync markers of the windows they have read. Writers number frames upwards along the
// file, so a marker below the target puts the target behind that marker's whole frame, and one
// above it puts the target in front of it.
#pragma once
#include <cstdint>

#include "seq/SearchWindow.h"

namespace vialto::seq {

class FrameBracket {
 public:
  // Frame 0 starts at `first`, the source ends at `end`; frameCount is the stored wFrameCount, the
  // number a frame behind the last one would carry (0 when unknown).
  FrameBracket(int32_t target, int64_t first, int64_t end, int32_t frameCount);

  enum class Verdict { kTarget, kNarrowed, kIgnored };
  // Learns from one marker. A marker that contradicts what is known (it lies outside the bracket,
  // or its number does not fit between the numbers at the bounds: stray bytes, a damaged
  // sub-header) is ignored.
  Verdict Note(const MarkerHit& hit);
  // Learns that no marker carrying the target starts in [from, to).
  void NoteScanned(int64_t from, int64_t to);

  bool Found() const { return found_; }
  int64_t FoundPos() const { return foundPos_; }
  // Found, or no place is left where the target's marker could start.
  bool Settled() const { return found_ || low_ >= high_; }
  // The target's marker starts in [Low(), High()).
  int64_t Low() const { return low_; }
  int64_t High() const { return high_; }
  int64_t Middle() const { return low_ + (high_ - low_) / 2; }
  // Where the target's marker is expected when the frames between the bounds are taken as
  // equally long; the middle when the number at High() is unknown.
  int64_t Interpolated() const;
  // The average length of the frames between the bounds; 0 when the number at High() is unknown.
  int64_t AverageFrameLength() const;

 private:
  int32_t target_;
  int64_t low_;
  int64_t lowNo_;  // the number expected for a frame starting at low_
  int64_t high_;
  int64_t highNo_;  // the number of the marker at high_, -1 when unknown
  bool found_ = false;
  int64_t foundPos_ = 0;
};

}  // namespace vialto::seq
