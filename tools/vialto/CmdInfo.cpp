// vialto info: what a sequence is and what its frames are.
#include <algorithm>
#include <cstdio>
#include <optional>

#include "Args.h"
#include "Commands.h"
#include "FrameCheck.h"
#include "JsonOutput.h"
#include "Sequence.h"
#include "SequenceFields.h"

namespace vialto::cli {
namespace {

constexpr char kHelp[] =
    "usage: vialto info SOURCE [--frames] [--json]\n"
    "\n"
    "Shows the sequence's type (ser or se1), its length, frame count and colour modes, and the\n"
    "decoded file information (the ser trailer or the se1 head).\n"
    "\n"
    "Every frame is walked to count the frames that can be reached and to find a file that is\n"
    "cut short (\"truncated\") or whose frames stop before its data does (\"damaged\"). A URL is\n"
    "walked only with --frames.\n"
    "\n"
    "  --frames   also list every frame: number, position, data length, codec tag, size and\n"
    "             colour status (1 colour, 0 grey)\n"
    "  --json     print one JSON object instead of text\n"
    "\n"
    "SOURCE is a local path or an http://, https:// or ftp:// URL.\n";

const char* ColourWord(int status) { return status == 1 ? "colour" : status == 0 ? "grey" : "?"; }

std::vector<NamedValue> Fields(const Sequence& seq) {
  return seq.IsSe1() ? SerHeadInfoFields(seq.HeadInfo()) : SerInfoFields(seq.Info());
}

void PrintCheckText(const FrameCheck* check) {
  if (!check) {
    std::printf("reachable     (not walked: a URL is walked with --frames)\n");
    return;
  }
  std::printf("reachable     %d\n", check->reachable);
  if (check->present != check->declared) std::printf("present       %d\n", check->present);
  std::printf("status        %s\n", check->Status());
  for (const std::string& problem : check->problems) std::printf("  %s\n", problem.c_str());
}

void PrintText(const Sequence& seq, const FrameCheck* check, bool listFrames) {
  const SerInfo& info = seq.Info();
  std::printf("source        %s\n", seq.Source().c_str());
  std::printf("type          %s\n", seq.TypeName());
  if (seq.FileLength() >= 0) {
    std::printf("length        %lld bytes\n", static_cast<long long>(seq.FileLength()));
  } else {
    std::printf("length        (remote)\n");
  }
  std::printf("frames        %d\n", info.wFrameCount);
  PrintCheckText(check);
  std::printf("colour modes  %d / %d\n", info.byColorMode, info.byColorMode2);
  std::printf("info length   %d\n", seq.InfoLength());
  std::printf("file information:\n");
  // Four fields a line, each in a 24-character column.
  std::string line;
  int column = 0;
  for (const NamedValue& f : Fields(seq)) {
    std::string cell = f.name + " " + (f.isText ? "\"" + f.text + "\"" : std::to_string(f.number));
    if (column > 0) line.append(24 - std::min<size_t>(line.size() % 24, 23), ' ');
    line += cell;
    if (++column == 4) {
      std::printf("  %s\n", line.c_str());
      line.clear();
      column = 0;
    }
  }
  if (column != 0) std::printf("  %s\n", line.c_str());
  if (!listFrames || !check) return;
  std::printf("%6s %10s %8s %5s %11s %s\n", "frame", "position", "length", "codec", "size",
              "colour");
  for (const FrameEntry& f : check->frames) {
    char size[24];
    std::snprintf(size, sizeof size, "%dx%d", f.width, f.height);
    std::printf("%6d %10lld %8d %5s %11s %d %s\n", f.number, static_cast<long long>(f.position),
                f.length, f.codec.c_str(), size, f.colour, ColourWord(f.colour));
  }
}

void CheckJson(nlohmann::ordered_json& json, const Sequence& seq, const FrameCheck* check) {
  json["frames_declared"] = seq.DeclaredFrameCount();
  if (!check) {
    json["frames_reachable"] = nullptr;
    json["frames_present"] = nullptr;
    json["status"] = "unchecked";
    json["problems"] = nlohmann::ordered_json::array();
    return;
  }
  json["frames_reachable"] = check->reachable;
  json["frames_present"] = check->present;
  json["status"] = check->Status();
  json["truncated"] = check->truncated;
  json["damaged"] = check->damaged;
  json["problems"] = check->problems;
}

void PrintJson(const Sequence& seq, const FrameCheck* check, bool listFrames) {
  const SerInfo& info = seq.Info();
  nlohmann::ordered_json json;  // fields in the order written
  json["source"] = seq.Source();
  json["type"] = seq.TypeName();
  json["length"] = seq.FileLength() >= 0 ? nlohmann::ordered_json(seq.FileLength()) : nullptr;
  json["frame_count"] = static_cast<int>(info.wFrameCount);
  json["colour_mode"] = static_cast<int>(info.byColorMode);
  json["colour_mode2"] = static_cast<int>(info.byColorMode2);
  json["info_length"] = seq.InfoLength();
  CheckJson(json, seq, check);
  json["info"] = nlohmann::ordered_json::object();
  for (const NamedValue& f : Fields(seq)) {
    if (f.isText) {
      json["info"][f.name] = f.text;
    } else {
      json["info"][f.name] = f.number;
    }
  }
  if (listFrames && check) {
    json["frames"] = nlohmann::ordered_json::array();
    for (const FrameEntry& f : check->frames) {
      json["frames"].push_back({{"number", f.number},
                                {"position", f.position},
                                {"length", f.length},
                                {"codec", f.codec},
                                {"width", f.width},
                                {"height", f.height},
                                {"colour", f.colour}});
    }
  }
  std::printf("%s\n", DumpJson(json).c_str());
}

}  // namespace

int RunInfo(const Words& words) {
  if (PrintHelpIfAsked(words, kHelp)) return 0;
  const Args args(words, {{}, {"--frames", "--json"}});
  if (args.Positionals().size() != 1) throw UsageError("expected exactly one SOURCE");
  Sequence seq(args.Positionals()[0]);
  const bool listFrames = args.Has("--frames");
  // Remote walks cost a request or more a frame: only when the frames are asked for.
  std::optional<FrameCheck> check;
  if (listFrames || !seq.IsRemote()) check = CheckFrames(seq);
  const FrameCheck* checked = check ? &*check : nullptr;
  if (args.Has("--json")) {
    PrintJson(seq, checked, listFrames);
  } else {
    PrintText(seq, checked, listFrames);
  }
  if (checked && (checked->truncated || checked->damaged)) {
    std::fprintf(stderr, "vialto info: %s is %s\n", seq.Source().c_str(), checked->Status());
  }
  return 0;
}

}  // namespace vialto::cli
