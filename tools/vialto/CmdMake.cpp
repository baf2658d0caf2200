// vialto make: a ser or se1 sequence from pictures or from the synthetic road scene.
#include <cstdio>
#include <filesystem>
#include <functional>
#include <system_error>

#include "Args.h"
#include "Commands.h"
#include "ImageFiles.h"
#include "Progress.h"
#include "RoadScene.h"
#include "SequenceWriter.h"

namespace vialto::cli {
namespace {

constexpr char kHelp[] =
    "usage: vialto make ser|se1 -o FILE [options] INPUT...\n"
    "       vialto make ser|se1 -o FILE [options] --synthetic N\n"
    "\n"
    "Builds a sequence file from pictures (JPEG, PNG, PGM or PPM), one frame each, in order.\n"
    "  se1: JPEG inputs become frames unchanged; other pictures are encoded as JPEG.\n"
    "  ser: pictures are scaled to 768 x 288; frames are grey with a colour last frame\n"
    "       (colour mode 2), or all colour YUV 4:2:2 with --colour (mode 1).\n"
    "\n"
    "  -o FILE         the sequence to write (replaced when it exists)\n"
    "  --synthetic N   N frames (1..65535) of a synthetic road scene instead of INPUTs\n"
    "                  (deterministic)\n"
    "  --size WxH      size of synthetic se1 frames (default 480x270)\n"
    "  --colour        ser only: every frame in colour\n"
    "  --quality Q     JPEG quality 1..100 for encoded se1 frames (default 85)\n";

constexpr int kDefaultSynthWidth = 480;
constexpr int kDefaultSynthHeight = 270;

struct MakeOptions {
  bool se1 = false;
  bool colour = false;
  int quality = 85;
  int width = kDefaultSynthWidth;
  int height = kDefaultSynthHeight;
};

void AddSe1Input(Se1Writer& writer, const std::string& input, int quality) {
  const std::vector<uint8_t> bytes = ReadBytes(input);
  if (IsJpeg(bytes)) {
    const Picture picture = DecodeJpeg(bytes, input);  // checks the stream and finds its size
    writer.AddFrame(bytes, picture.width, picture.height, picture.channels == 3);
    return;
  }
  const Picture picture = ReadImage(input);
  writer.AddFrame(EncodeJpeg(picture, quality), picture.width, picture.height,
                  picture.channels == 3);
}

Picture ForSer(const Picture& picture) {
  return Resize(WidenToRgb(picture), SerWriter::kWidth, SerWriter::kHeight);
}

int Build(const std::string& out, const MakeOptions& options, int count,
          const std::function<Picture(int)>& synthetic, const std::vector<std::string>& inputs) {
  ProgressBar progress("making", count);
  int frames = 0;
  if (options.se1) {
    Se1Writer writer(out);
    for (int i = 0; i < count; ++i) {
      if (synthetic) {
        const Picture picture = synthetic(i);
        writer.AddFrame(EncodeJpeg(picture, options.quality), picture.width, picture.height, true);
      } else {
        AddSe1Input(writer, inputs[static_cast<size_t>(i)], options.quality);
      }
      progress.Update(i + 1);
    }
    writer.Finish();
    frames = writer.FrameCount();
  } else {
    SerWriter writer(out, options.colour);
    for (int i = 0; i < count; ++i) {
      writer.AddFrame(synthetic ? synthetic(i) : ForSer(ReadImage(inputs[static_cast<size_t>(i)])));
      progress.Update(i + 1);
    }
    writer.Finish();
    frames = writer.FrameCount();
  }
  progress.Finish();
  return frames;
}

}  // namespace

int RunMake(const Words& words) {
  if (PrintHelpIfAsked(words, kHelp)) return 0;
  const Args args(words, {{"-o", "--synthetic", "--size", "--quality"}, {"--colour", "--color"}});
  const auto& positionals = args.Positionals();
  if (positionals.empty()) throw UsageError("expected the sequence type: ser or se1");
  MakeOptions options;
  const std::string& kind = positionals[0];
  if (kind != "ser" && kind != "se1") throw UsageError("unknown sequence type '" + kind + "'");
  options.se1 = kind == "se1";
  options.colour = args.Has("--colour") || args.Has("--color");
  if (options.colour && options.se1) throw UsageError("--colour applies to ser files only");
  const auto out = args.Value("-o");
  if (!out) throw UsageError("-o FILE is required");
  if (const auto quality = args.Value("--quality")) {
    options.quality = ParseIntInRange(*quality, "--quality", 1, 100);
  }
  if (const auto size = args.Value("--size")) {
    if (!options.se1) throw UsageError("--size applies to se1 files (ser frames are 768x288)");
    std::tie(options.width, options.height) = ParseSize(*size, "--size");
  }
  const std::vector<std::string> inputs(positionals.begin() + 1, positionals.end());
  std::function<Picture(int)> synthetic;
  int count = static_cast<int>(inputs.size());
  if (const auto n = args.Value("--synthetic")) {
    if (!inputs.empty()) throw UsageError("give INPUT pictures or --synthetic N, not both");
    count = ParseIntInRange(*n, "--synthetic", 1, 65535);
    const int width = options.se1 ? options.width : SerWriter::kWidth;
    const int height = options.se1 ? options.height : SerWriter::kHeight;
    synthetic = [width, height, count](int i) { return RenderRoadScene(width, height, i, count); };
  } else if (inputs.empty()) {
    throw UsageError("no INPUT pictures given (or use --synthetic N)");
  } else {
    // A missing input fails before anything is written.
    for (const std::string& input : inputs) {
      if (!std::filesystem::is_regular_file(input)) throw CommandError(input + ": no such file");
    }
  }

  int frames = 0;
  try {
    frames = Build(*out, options, count, synthetic, inputs);
  } catch (...) {
    std::error_code ec;
    std::filesystem::remove(*out, ec);  // no half-written sequence left behind
    throw;
  }
  std::error_code ec;
  const auto bytes = std::filesystem::file_size(*out, ec);
  std::printf("made %s: %s, %d frame%s, %llu bytes\n", out->c_str(), kind.c_str(), frames,
              frames == 1 ? "" : "s", static_cast<unsigned long long>(ec ? 0 : bytes));
  return 0;
}

}  // namespace vialto::cli
