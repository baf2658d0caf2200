// Resolves a font request to an installed scalable face with fontconfig.
#pragma once
#include <optional>

#include "platform/text/FontRequest.h"
#include "platform/text/TextOutput.h"

namespace vialto::platform::text {

// The generic fontconfig family that stands in for a missing face: serif for roman,
// monospace for modern or fixed-pitch requests, sans-serif for everything else.
const char* GenericFamilyFor(const FontRequest& request);

// Weights from here up are bold.
constexpr int kFirstBoldWeight = 600;

// The weight asked for, 0 read as normal.
int RequestedWeight(const FontRequest& request);

// Nothing when fontconfig has no scalable face at all. Uncached: a fontconfig query per call.
// What must be synthesised is left for the caller to decide from the face itself.
std::optional<FontMatch> FindInstalledFont(const FontRequest& request);

}  // namespace vialto::platform::text
