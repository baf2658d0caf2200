// vialto annotate: text and arrows on a picture file.
#include <cstdio>

#include "Args.h"
#include "Arrow.h"
#include "Commands.h"
#include "FontCheck.h"
#include "ImageFiles.h"
#include "Overlay.h"

namespace vialto::cli {
namespace {

constexpr char kHelp[] =
    "usage: vialto annotate IN OUT [--text TEXT [--at X,Y] [--font NAME] [--size PX]\n"
    "                       [--color RRGGBB] [--bg RRGGBB] [--bold]] [--arrow X,Y[,TILE]]...\n"
    "\n"
    "Draws a line of text and/or red arrows on the picture IN (JPEG, PNG, PGM or PPM) and\n"
    "writes OUT, its type taken from its extension (.jpg, .png, .pgm, .ppm).\n"
    "\n"
    "  --text TEXT      the text (UTF-8; characters outside Windows-1252 become '?')\n"
    "  --at X,Y         top-left corner of the text, from the picture's top-left (default 8,8)\n"
    "  --font NAME      font family (default \"DejaVu Sans\"); when it is not installed the\n"
    "                   face used instead is named on stderr\n"
    "  --size PX        character height in pixels (default 16)\n"
    "  --color RRGGBB   text colour (default FFFFFF)\n"
    "  --bg RRGGBB      background of the text's cells (default: transparent)\n"
    "  --bold           bold text\n"
    "  --arrow X,Y      a diagonal arrow whose tip is on the pixel X,Y (repeatable), laid on\n"
    "                   the side of the point with the most room; a point outside the picture,\n"
    "                   or one with no room for an arrowhead, fails\n"
    "  --arrow X,Y,TILE the library's own placement (PasteToImgX) with base tile TILE (0..7):\n"
    "                   0 puts a diagonal arrow's tip within 2 pixels of the point; others land\n"
    "                   a tile away or on an empty tile (4 to 6); drawing nothing fails\n"
    "  --quality Q      JPEG quality for a .jpg OUT (default 90)\n";

TextStyle ParseStyle(const Args& args) {
  TextStyle style;
  if (const auto font = args.Value("--font")) {
    if (font->empty() || font->size() > 31)
      throw UsageError("--font: a name of 1 to 31 characters");
    style.font = *font;
  }
  if (const auto size = args.Value("--size"))
    style.sizePx = ParseIntInRange(*size, "--size", 4, 500);
  const auto colour = args.Value("--color") ? args.Value("--color") : args.Value("--colour");
  if (colour) style.colour = ParseHexColour(*colour, "--color");
  if (const auto bg = args.Value("--bg")) style.background = ParseHexColour(*bg, "--bg");
  style.bold = args.Has("--bold");
  return style;
}

std::string ArrowText(const std::vector<int>& values) {
  std::string text;
  for (const int v : values) text += (text.empty() ? "" : ",") + std::to_string(v);
  return text;
}

}  // namespace

int RunAnnotate(const Words& words) {
  if (PrintHelpIfAsked(words, kHelp)) return 0;
  const Args args(words, {{"--text", "--at", "--font", "--size", "--color", "--colour", "--bg",
                           "--arrow", "--quality"},
                          {"--bold"}});
  if (args.Positionals().size() != 2) throw UsageError("expected IN and OUT");
  const std::string& in = args.Positionals()[0];
  const std::string& out = args.Positionals()[1];
  const ImageFormat outFormat = FormatFromName(out);
  const TextStyle style = ParseStyle(args);
  const auto text = args.Value("--text");
  if (!text && (args.Has("--at") || args.Has("--font") || args.Has("--size") ||
                args.Has("--color") || args.Has("--colour") || args.Has("--bg"))) {
    throw UsageError("text options given without --text");
  }
  std::vector<int> at{8, 8};
  if (const auto position = args.Value("--at")) at = ParseIntList(*position, "--at", 2, 2);
  std::vector<std::vector<int>> arrows;
  for (const std::string& arrow : args.Values("--arrow")) {
    std::vector<int> values = ParseIntList(arrow, "--arrow", 2, 3);
    if (values.size() == 3 && (values[2] < 0 || values[2] > 7)) {
      throw UsageError("--arrow: TILE is 0..7");
    }
    arrows.push_back(values);
  }
  const int quality =
      args.Value("--quality") ? ParseIntInRange(*args.Value("--quality"), "--quality", 1, 100) : 90;

  const Picture picture = ReadImage(in);
  Bitmap bitmap = ToBitmap(picture);
  if (text) {
    const std::string fallback = FallbackFamily(style.font, style.bold);
    if (!fallback.empty()) {
      std::fprintf(stderr,
                   "vialto annotate: font \"%s\" is not installed; the text is drawn in \"%s\"\n",
                   style.font.c_str(), fallback.c_str());
    }
    DrawText(bitmap, at[0], at[1], *text, style);
  }
  for (const auto& arrow : arrows) {
    std::string why;
    const bool drawn = arrow.size() == 3
                           ? PasteArrowTile(bitmap, arrow[0], arrow[1], arrow[2], &why)
                           : PointArrowAt(bitmap, arrow[0], arrow[1], &why);
    if (!drawn)
      throw CommandError("--arrow " + ArrowText(arrow) + ": cannot mark the point: " + why);
  }
  Picture result = FromBitmap(bitmap);
  // A grey picture stays grey when written to a grey format.
  if (picture.channels == 1 && outFormat == ImageFormat::kPgm) result = ToGrey(result);
  WriteImage(out, result, outFormat, quality);
  std::printf("annotated %s -> %s (%dx%d%s%s)\n", in.c_str(), out.c_str(), picture.width,
              picture.height, text ? ", text" : "",
              arrows.empty() ? "" : (", " + std::to_string(arrows.size()) + " arrow(s)").c_str());
  return 0;
}

}  // namespace vialto::cli
