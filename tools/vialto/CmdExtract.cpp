// vialto extract: frames of a sequence as picture or data files.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "Args.h"
#include "Commands.h"
#include "FrameOutput.h"
#include "FramePipeline.h"
#include "NoticeCapture.h"
#include "Progress.h"
#include "Sequence.h"

namespace vialto::cli {
namespace {

constexpr char kHelp[] =
    "usage: vialto extract SOURCE [--frame N | --range A:B | --all] [--as FORMAT] [-o DIR]\n"
    "\n"
    "Writes frames of the sequence to DIR (default: the current directory) as\n"
    "DIR/NAME-NNNNNN.EXT, NAME being the source's file name without its extension.\n"
    "\n"
    "  --frame N     frame N only (frames count from 0)\n"
    "  --range A:B   frames A to B, both included\n"
    "  --all         every frame (the default)\n"
    "  --as FORMAT   png (default): upright RGB picture\n"
    "                jpeg: se1 frames as stored, ser frames encoded at quality 90\n"
    "                ppm / pgm: binary netpbm colour / grey (a ser frame's stored grey plane)\n"
    "                yuv: YUV 4:2:2 planar, Y then V then U planes\n"
    "                raw: the frame data exactly as stored\n"
    "  -o DIR        output directory, created when missing\n"
    "  --jobs N      frames encoded at once (default: one a core; 1 encodes each frame\n"
    "                before reading the next)\n"
    "\n"
    "A frame that cannot be written, that is cut short, or whose decoding raised a notice of\n"
    "the library's JPEG codec (\"frame 3: JPEG Error: ...\") is named on stderr, and so are\n"
    "the declared frames that cannot be reached; the other frames are still written and the\n"
    "exit status is then 1.\n";

Output ParseOutput(const std::string& name) {
  if (name == "png") return Output::kPng;
  if (name == "jpeg" || name == "jpg") return Output::kJpeg;
  if (name == "ppm") return Output::kPpm;
  if (name == "pgm") return Output::kPgm;
  if (name == "yuv") return Output::kYuv;
  if (name == "raw") return Output::kRaw;
  throw UsageError("--as: unknown format '" + name + "' (jpeg, png, pgm, ppm, yuv or raw)");
}

const char* Extension(Output output) {
  switch (output) {
    case Output::kPng:
      return "png";
    case Output::kJpeg:
      return "jpg";
    case Output::kPpm:
      return "ppm";
    case Output::kPgm:
      return "pgm";
    case Output::kYuv:
      return "yuv";
    case Output::kRaw:
      return "raw";
  }
  return "";
}

// The source's last path segment without query and extension ("road" for .../road.se1?x=1).
std::string StemOf(const std::string& source) {
  std::string name = source.substr(0, source.find_first_of("?#"));
  while (!name.empty() && name.back() == '/') name.pop_back();
  name = name.substr(name.find_last_of('/') + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name = name.substr(0, dot);
  return name.empty() ? "frame" : name;
}

struct Selection {
  int first = 0;
  int last = -1;  // -1: up to the end
};

Selection ParseSelection(const Args& args) {
  const int chosen = args.Has("--frame") + args.Has("--range") + args.Has("--all");
  if (chosen > 1) throw UsageError("give only one of --frame, --range and --all");
  if (const auto frame = args.Value("--frame")) {
    const int n = ParseInt(*frame, "--frame");
    if (n < 0) throw UsageError("--frame: frame numbers count from 0");
    return {n, n};
  }
  if (const auto range = args.Value("--range")) {
    const auto [first, last] = ParseRange(*range, "--range");
    return {first, last};
  }
  return {};
}

// Calls `each` with the current frame number for every selected frame, in order; throws
// CommandError when a frame of the selection is not there.
template <typename Each>
void ExtractFrames(Sequence& seq, const Selection& selection, Each each) {
  while (true) {
    each(seq.CurrentNumber());
    if (selection.last >= 0 && seq.CurrentNumber() >= selection.last) return;
    if (!seq.Next()) {
      if (selection.last >= 0) {
        throw CommandError(seq.Source() + ": frame " + std::to_string(selection.last) +
                           " out of range (the frames end at " +
                           std::to_string(seq.CurrentNumber()) + ")");
      }
      return;
    }
  }
}

// What became of the frames: written, damaged (written, but cut short or decoded with the
// codec's notices), failed (not written) and missing (declared, but not reached).
class ExtractTally {
 public:
  explicit ExtractTally(FILE* messages) : messages_(messages) {}
  // On the calling thread, in frame order.
  void Retire(const FrameJob& job, const std::string& error) {
    // What is wrong with the frame comes first, whether or not it could be written. Past the
    // first kNamedFrames such frames (a count that declares thousands of frames the file does
    // not hold), they are only counted.
    const bool wrong = !job.cutShort.empty() || !job.notices.empty() || !error.empty();
    const bool named = wrong && ++wrongFrames_ <= kNamedFrames;
    if (named && !job.cutShort.empty()) {
      std::fprintf(messages_, "vialto extract: %s: %s\n", SourceOf(job).c_str(),
                   job.cutShort.c_str());
    }
    for (const std::string& notice : job.notices) {
      if (named)
        std::fprintf(messages_, "vialto extract: %s: %s\n", job.label.c_str(), notice.c_str());
    }
    if (!error.empty()) {
      ++failed_;
      if (named) std::fprintf(messages_, "vialto extract: %s\n", error.c_str());
      return;
    }
    if (written_++ == 0) firstPath_ = job.path;
    lastPath_ = job.path;
    if (!job.cutShort.empty() || !job.notices.empty()) ++damaged_;
  }
  int Visited() const { return written_ + failed_; }

  // After a walk to the end from frame `first`: the declared frames it did not reach.
  void CountMissing(const Sequence& seq, int first, int declared) {
    const int end = first + Visited();  // the first frame not reached
    if (end >= declared) return;
    missing_ = declared - end;
    const std::string frames =
        missing_ == 1 ? "frame " + std::to_string(end)
                      : "frames " + std::to_string(end) + ".." + std::to_string(declared - 1);
    std::fprintf(messages_,
                 "vialto extract: %s: %s missing: the frames end at frame %d (%d declared)\n",
                 seq.Source().c_str(), frames.c_str(), end - 1, declared);
  }

  void PrintSummary(const char* extension, const std::string& dir) const {
    if (written_ > 0) {
      std::printf("extracted %d frame%s (%s) to %s: %s%s%s\n", written_, written_ == 1 ? "" : "s",
                  extension, dir.c_str(), std::filesystem::path(firstPath_).filename().c_str(),
                  written_ > 1 ? " .. " : "",
                  written_ > 1 ? std::filesystem::path(lastPath_).filename().c_str() : "");
    }
    if (AllWell()) return;
    if (wrongFrames_ > kNamedFrames) {
      std::fprintf(messages_,
                   "vialto extract: %d more frames went wrong (the first %d are named)\n",
                   wrongFrames_ - kNamedFrames, kNamedFrames);
    }
    std::string parts;
    auto add = [&](int n, const char* what) {
      if (n == 0) return;
      if (!parts.empty()) parts += ", ";
      parts += std::to_string(n) + " " + what;
    };
    add(failed_, failed_ == 1 ? "frame could not be written" : "frames could not be written");
    add(damaged_, damaged_ == 1 ? "frame written damaged" : "frames written damaged");
    add(missing_, missing_ == 1 ? "declared frame missing" : "declared frames missing");
    std::fprintf(messages_, "vialto extract: %s\n", parts.c_str());
  }
  bool AllWell() const { return failed_ == 0 && damaged_ == 0 && missing_ == 0; }

 private:
  // The label is "SOURCE: frame N".
  static std::string SourceOf(const FrameJob& job) {
    return job.label.substr(0, job.label.rfind(": frame "));
  }

  static constexpr int kNamedFrames = 20;

  FILE* messages_;
  int written_ = 0, failed_ = 0, damaged_ = 0, missing_ = 0;
  int wrongFrames_ = 0;  // frames cut short, decoded with notices or not written
  std::string firstPath_, lastPath_;
};

}  // namespace

int RunExtract(const Words& words) {
  if (PrintHelpIfAsked(words, kHelp)) return 0;
  const Args args(words, {{"--frame", "--range", "--as", "-o", "--jobs"}, {"--all"}});
  if (args.Positionals().size() != 1) throw UsageError("expected exactly one SOURCE");
  const Output output = ParseOutput(args.Value("--as").value_or("png"));
  const Selection selection = ParseSelection(args);
  const std::string dir = args.Value("-o").value_or(".");
  const auto jobsOption = args.Value("--jobs");
  const int jobs = jobsOption ? ParseIntInRange(*jobsOption, "--jobs", 1, 64) : DefaultJobCount();

  Sequence seq(args.Positionals()[0]);
  const int declared = seq.DeclaredFrameCount();
  if (selection.last >= 0 && declared > 0 && selection.last >= declared) {
    throw CommandError(seq.Source() + ": frame " + std::to_string(selection.last) +
                       " out of range (frames 0.." + std::to_string(declared - 1) + ")");
  }
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) throw CommandError("cannot create " + dir + ": " + ec.message());

  if (selection.first == 0 && selection.last < 0) {
    if (!seq.First()) throw CommandError(seq.Source() + ": cannot read the first frame");
  } else {
    seq.GoTo(selection.first);
  }
  const int total = selection.last >= 0 ? selection.last - selection.first + 1 : declared;
  const std::string stem = StemOf(seq.Source());
  // From here until the frames are all written, stderr belongs to the library's notices.
  NoticeCapture capture;
  ProgressBar progress("extracting", total, capture.UserStream());
  ExtractTally tally(capture.UserStream());
  FramePipeline<FrameJob> pipeline(
      jobs, [&](FrameJob& job) { WriteFrame(output, job, capture); },
      [&](FrameJob& job, const std::string& error) {
        tally.Retire(job, error);
        progress.Update(tally.Visited());
      });
  try {
    ExtractFrames(seq, selection, [&](const int number) {
      FrameJob& job = pipeline.Next();
      char name[64];
      std::snprintf(name, sizeof name, "-%06d.%s", number, Extension(output));
      job.path = (std::filesystem::path(dir) / (stem + name)).string();
      std::string readError;
      try {
        ReadFrame(seq, output, job);
      } catch (const CommandError& e) {
        readError = e.what();
      }
      pipeline.Submit(std::move(readError));
    });
  } catch (...) {
    pipeline.Finish();  // the frames before still count and report
    progress.Finish();
    throw;
  }
  pipeline.Finish();
  progress.Finish();
  if (selection.last < 0) tally.CountMissing(seq, selection.first, declared);
  tally.PrintSummary(Extension(output), dir);
  return tally.AllWell() ? 0 : 1;
}

}  // namespace vialto::cli
