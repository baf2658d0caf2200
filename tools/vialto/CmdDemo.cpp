// vialto demo: the sample sequences end to end. Every frame is decoded, labelled with its number
// and time, its bright moving object marked with an arrow, and written as a JPEG; a contact
// sheet of all frames closes the run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "Args.h"
#include "Arrow.h"
#include "BrightBlob.h"
#include "Commands.h"
#include "ContactSheet.h"
#include "ImageFiles.h"
#include "Overlay.h"
#include "Progress.h"
#include "Sequence.h"

#ifndef VIALTO_SAMPLES_DIR
#define VIALTO_SAMPLES_DIR "samples"
#endif

namespace vialto::cli {
namespace {

constexpr char kHelp[] =
    "usage: vialto demo [-o DIR] [--samples DIR]\n"
    "\n"
    "Opens every .se1 and .ser sequence in the samples directory, walks all their frames,\n"
    "draws each frame's number and time (at 25 frames/s) and an arrow at its brightest moving\n"
    "object, and writes\n"
    "  DIR/frames/NAME-TYPE-NNNNNN.jpg   every annotated frame\n"
    "  DIR/contact-sheet.png and .jpg    a grid of thumbnails of all frames\n"
    "then prints a summary with the frames per second reached.\n"
    "\n"
    "  -o DIR          output directory (default ./vialto-demo)\n"
    "  --samples DIR   where the sequences are (default: the samples shipped with the source)\n";

constexpr int kNominalFramesPerSecond = 25;
constexpr int kJpegQuality = 85;

struct SequenceSummary {
  std::string name;
  std::string type;
  int frames = 0;
  int marked = 0;
  int width = 0;
  int height = 0;
};

std::vector<std::filesystem::path> FindSequences(const std::string& dir) {
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) throw CommandError(dir + ": no such directory");
  std::vector<std::filesystem::path> found;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    const std::string ext = entry.path().extension().string();
    if (entry.is_regular_file() && (ext == ".se1" || ext == ".ser")) found.push_back(entry.path());
  }
  if (ec) throw CommandError(dir + ": " + ec.message());
  std::sort(found.begin(), found.end());
  if (found.empty()) throw CommandError(dir + ": no .se1 or .ser sequences found");
  return found;
}

std::string TimeLabel(int frame) {
  const int ms = frame * 1000 / kNominalFramesPerSecond;
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d.%03d", ms / 60000, ms / 1000 % 60, ms % 1000);
  return text;
}

// Labels the frame and marks its object; returns whether an object was found.
bool Annotate(Bitmap& bitmap, const Picture& upright, const std::string& label) {
  TextStyle style;
  style.sizePx = std::max(12, bitmap.height / 16);
  style.background = 0x000000;
  DrawText(bitmap, 6, 6, label, style);
  const auto blob = FindBrightestBlob(upright);
  if (!blob) return false;
  // Aim at the object's lower left corner, so that the arrow lies on the road beside it.
  std::string why;
  return PointArrowAt(bitmap, blob->left, std::min(blob->bottom + 2, bitmap.height - 1), &why);
}

SequenceSummary RunSequence(const std::filesystem::path& path,
                            const std::filesystem::path& framesDir, ContactSheet& sheet,
                            ProgressBar& progress, int* done) {
  Sequence seq(path.string());
  SequenceSummary summary{path.filename().string(), seq.TypeName()};
  if (!seq.First()) throw CommandError(path.string() + ": cannot read the first frame");
  do {
    const int n = seq.CurrentNumber();
    Bitmap bitmap = seq.ForDrawing();
    const Picture upright = FromBitmap(bitmap);
    const std::string label = summary.name + "  frame " + std::to_string(n) + "  " + TimeLabel(n);
    summary.marked += Annotate(bitmap, upright, label) ? 1 : 0;
    const Picture annotated = FromBitmap(bitmap);
    char name[96];
    std::snprintf(name, sizeof name, "%s-%s-%06d.jpg", path.stem().c_str(), summary.type.c_str(),
                  n);
    WriteImage((framesDir / name).string(), annotated, ImageFormat::kJpeg, kJpegQuality);
    sheet.Add(annotated, summary.name + " #" + std::to_string(n));
    summary.width = annotated.width;
    summary.height = annotated.height;
    ++summary.frames;
    progress.Update(++*done);
  } while (seq.Next());
  return summary;
}

std::string DefaultSamplesDir() { return VIALTO_SAMPLES_DIR; }

}  // namespace

int RunDemo(const Words& words) {
  if (PrintHelpIfAsked(words, kHelp)) return 0;
  const Args args(words, {{"-o", "--samples"}, {}});
  if (!args.Positionals().empty()) throw UsageError("unexpected argument " + args.Positionals()[0]);
  const std::string outDir = args.Value("-o").value_or("vialto-demo");
  const std::string samplesDir = args.Value("--samples").value_or(DefaultSamplesDir());
  const std::vector<std::filesystem::path> sequences = FindSequences(samplesDir);

  const std::filesystem::path framesDir = std::filesystem::path(outDir) / "frames";
  std::error_code ec;
  std::filesystem::create_directories(framesDir, ec);
  if (ec) throw CommandError("cannot create " + framesDir.string() + ": " + ec.message());

  int expected = 0;
  for (const auto& path : sequences) expected += Sequence(path.string()).DeclaredFrameCount();
  ContactSheet sheet(4, 240, 135);
  ProgressBar progress("demo", expected);
  std::vector<SequenceSummary> summaries;
  int done = 0;
  const auto start = std::chrono::steady_clock::now();
  for (const auto& path : sequences) {
    summaries.push_back(RunSequence(path, framesDir, sheet, progress, &done));
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  progress.Finish();

  const Picture contact = sheet.Render("vialto demo: " + std::to_string(done) + " frames from " +
                                       std::to_string(summaries.size()) + " sequences");
  const std::string pngPath = (std::filesystem::path(outDir) / "contact-sheet.png").string();
  const std::string jpgPath = (std::filesystem::path(outDir) / "contact-sheet.jpg").string();
  WriteImage(pngPath, contact, ImageFormat::kPng);
  WriteImage(jpgPath, contact, ImageFormat::kJpeg, kJpegQuality);

  std::printf("vialto demo: %d frames from %zu sequences in %.2f s (%.1f frames/s)\n", done,
              summaries.size(), seconds, seconds > 0 ? done / seconds : 0.0);
  for (const SequenceSummary& s : summaries) {
    std::printf("  %-12s %s %4d frames  %dx%d  object marked in %d\n", s.name.c_str(),
                s.type.c_str(), s.frames, s.width, s.height, s.marked);
  }
  std::printf("  frames:        %s/\n", framesDir.string().c_str());
  std::printf("  contact sheet: %s, %s (%dx%d)\n", pngPath.c_str(), jpgPath.c_str(), contact.width,
              contact.height);
  return 0;
}

}  // namespace vialto::cli
