#include "FrameCheck.h"

#include <algorithm>

#include "seq/SerFormat.h"

namespace vialto::cli {
namespace {

// Where a "ser" file's frames must end: its trailer takes the last bytes.
int64_t FramesEnd(const Sequence& seq) {
  return seq.IsSe1() ? seq.FileLength()
                     : seq.FileLength() - static_cast<int64_t>(seq::kSerTrailerBytes);
}

void CheckEnding(const Sequence& seq, FrameCheck& check) {
  const std::string declared = std::to_string(check.declared);
  if (check.frames.empty()) {
    check.truncated = true;
    check.problems.push_back("no frame can be read (" + declared + " declared)");
    return;
  }
  const FrameEntry& last = check.frames.back();
  if (check.reachable > check.declared && seq.IsSe1()) {
    check.damaged = true;
    check.problems.push_back(std::to_string(check.reachable) +
                             " frames can be reached, the head declares " + declared);
  }
  if (check.reachable >= check.declared) return;
  const std::string missing = std::to_string(check.declared - check.reachable) + " of " + declared +
                              " declared frames missing";
  const int64_t end = last.position >= 0 ? last.position + last.span : -1;
  if (seq.FileLength() >= 0 && end >= 0 && end < FramesEnd(seq)) {
    check.damaged = true;
    check.problems.push_back(missing + ": the frames stop after frame " +
                             std::to_string(last.number) + " although " +
                             std::to_string(FramesEnd(seq) - end) + " bytes follow");
    return;
  }
  check.truncated = true;
  check.problems.push_back(missing + ": the data ends after frame " + std::to_string(last.number));
}

}  // namespace

const char* FrameCheck::Status() const {
  return damaged ? "damaged" : truncated ? "truncated" : "complete";
}

int64_t BytesPresent(const Sequence& seq, const FrameEntry& frame) {
  if (seq.FileLength() < 0 || frame.position < 0 || frame.span <= 0) return -1;
  const int64_t present = FramesEnd(seq) - frame.position;
  return present < 0 ? 0 : std::min(present, static_cast<int64_t>(frame.span));
}

std::string CutShortProblem(const Sequence& seq, const FrameEntry& frame) {
  const int64_t present = BytesPresent(seq, frame);
  if (present < 0 || present >= frame.span) return {};
  return "frame " + std::to_string(frame.number) +
         " is cut short: " + std::to_string(present < 0 ? 0 : present) + " of " +
         std::to_string(frame.span) + " bytes present";
}

FrameCheck CheckFrames(Sequence& seq) {
  FrameCheck check;
  check.declared = seq.DeclaredFrameCount();
  if (seq.First()) {
    do {
      check.frames.push_back(seq.Current());
    } while (seq.Next());
  }
  check.reachable = static_cast<int>(check.frames.size());
  // A frame cut short is named; a run of frames that lie wholly past the data (a count that
  // declares more frames than the file holds) is one sentence, however long it is.
  int absentFrom = -1, absentTo = -1;
  auto nameAbsentRun = [&] {
    if (absentFrom < 0) return;
    check.problems.push_back(
        absentFrom == absentTo
            ? "frame " + std::to_string(absentFrom) + " lies past the end of the data"
            : "frames " + std::to_string(absentFrom) + ".." + std::to_string(absentTo) + " (" +
                  std::to_string(absentTo - absentFrom + 1) + ") lie past the end of the data");
    absentFrom = absentTo = -1;
  };
  for (const FrameEntry& frame : check.frames) {
    const int64_t present = BytesPresent(seq, frame);
    if (present < 0 || present >= frame.span) {
      nameAbsentRun();
      ++check.present;
      continue;
    }
    check.truncated = true;
    if (present == 0) {
      if (absentFrom < 0) absentFrom = frame.number;
      absentTo = frame.number;
      continue;
    }
    nameAbsentRun();
    check.problems.push_back(CutShortProblem(seq, frame));
  }
  nameAbsentRun();
  CheckEnding(seq, check);
  return check;
}

}  // namespace vialto::cli
