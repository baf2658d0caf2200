// One extracted frame as a file, in two halves for the frame pipeline: reading, on the thread
// that owns the sequence and in frame order, takes what the frame file needs out of the
// sequence (an "se1" frame's stored stream, a "ser" frame's converted picture); writing, on any
// thread, decodes, converts, encodes and writes it. A job's buffers are reused frame after frame.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "FrameFiles.h"
#include "Picture.h"

namespace vialto::cli {

class NoticeCapture;
class Sequence;

enum class Output { kPng, kJpeg, kPpm, kPgm, kYuv, kRaw };

struct FrameJob {
  std::string path;   // the file to write
  std::string label;  // "SOURCE: frame N", the start of the frame's messages
  // What the reading took: bytes to write as they are, a JPEG stream to decode, or a picture.
  enum class Input { kBytes, kJpegStream, kPicture } input = Input::kBytes;
  std::vector<uint8_t> bytes;
  Picture picture;
  std::vector<uint8_t> scratch;  // conversions' output
  // Set by the reading when the file ends inside the frame ("frame 3 is cut short: ...").
  std::string cutShort;
  // The library's notices raised while this frame was decoded or encoded.
  std::vector<std::string> notices;
};

// Fills the job from the sequence's current frame; throws CommandError when the frame cannot
// be read (the messages of Sequence's own frame calls).
void ReadFrame(Sequence& seq, Output output, FrameJob& job);
// Writes job.path; throws CommandError naming the frame or the file. The library's codec runs
// inside `capture`, its notices going to job.notices.
void WriteFrame(Output output, FrameJob& job, NoticeCapture& capture);

}  // namespace vialto::cli
