#include "RequestParse.h"

#include <cctype>

#include "HttpError.h"

namespace vialto::cli::view {
namespace {

constexpr size_t kMaxDigits = 9;
constexpr int kMaxCoordinate = 65535;

bool AllDigits(const std::string& text) {
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return !text.empty();
}

int ParseCoordinate(const std::string& text, const std::string& whole) {
  if (!AllDigits(text) || text.size() > 5 || std::stoi(text) > kMaxCoordinate) {
    throw HttpError(400, "arrow=" + whole + ": expected X,Y with whole numbers from 0 to " +
                             std::to_string(kMaxCoordinate));
  }
  return std::stoi(text);
}

std::string Single(const QueryParams& params, const std::string& name) {
  if (params.count(name) > 1) throw HttpError(400, "parameter " + name + " given more than once");
  return params.find(name)->second;
}

}  // namespace

int ParseFrameNumber(const std::string& text) {
  if (!AllDigits(text)) {
    throw HttpError(400,
                    "frame number \"" + text.substr(0, 40) + "\" is not a whole number from 0");
  }
  if (text.size() > kMaxDigits) {
    throw HttpError(400, "frame number " + text.substr(0, 40) + (text.size() > 40 ? "..." : "") +
                             " is too large");
  }
  return std::stoi(text);
}

FrameName ParseFrameName(const std::string& text) {
  const size_t dot = text.find('.');
  FrameName name;
  name.number = ParseFrameNumber(text.substr(0, dot));
  if (dot != std::string::npos) name.extension = text.substr(dot + 1);
  return name;
}

OverlayRequest ParseOverlays(const QueryParams& params) {
  OverlayRequest overlays;
  for (const auto& [name, value] : params) {
    if (name != "stamp" && name != "arrow") throw HttpError(400, "unknown parameter " + name);
  }
  if (params.count("stamp")) {
    const std::string stamp = Single(params, "stamp");
    if (stamp != "0" && stamp != "1") throw HttpError(400, "stamp=" + stamp + ": expected 0 or 1");
    overlays.stamp = stamp == "1";
  }
  if (params.count("arrow")) {
    const std::string arrow = Single(params, "arrow");
    const size_t comma = arrow.find(',');
    if (comma == std::string::npos) throw HttpError(400, "arrow=" + arrow + ": expected X,Y");
    overlays.arrow = std::make_pair(ParseCoordinate(arrow.substr(0, comma), arrow),
                                    ParseCoordinate(arrow.substr(comma + 1), arrow));
  }
  return overlays;
}

void RequireNoParams(const QueryParams& params) {
  if (!params.empty()) throw HttpError(400, "unknown parameter " + params.begin()->first);
}

}  // namespace vialto::cli::view
