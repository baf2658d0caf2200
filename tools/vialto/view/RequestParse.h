// The parts of a request path and query the viewer accepts, read strictly: anything else is an
// HttpError 400 that says what was wrong.
#pragma once
#include <map>
#include <string>

#include "FramePictures.h"

namespace vialto::cli::view {

using QueryParams = std::multimap<std::string, std::string>;

// A frame number: decimal digits only, at most nine of them.
int ParseFrameNumber(const std::string& text);

// "N" or "N.ext": the frame number and the extension ("" when none).
struct FrameName {
  int number = 0;
  std::string extension;
};
FrameName ParseFrameName(const std::string& text);

// stamp=0|1 and arrow=X,Y; any other parameter is refused.
OverlayRequest ParseOverlays(const QueryParams& params);
// Refuses every parameter.
void RequireNoParams(const QueryParams& params);

}  // namespace vialto::cli::view
