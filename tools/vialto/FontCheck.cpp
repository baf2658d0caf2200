#include "FontCheck.h"

#include <fontconfig/fontconfig.h>
#include <strings.h>

#include <memory>

namespace vialto::cli {
namespace {

struct PatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

const FcChar8* Text(const char* text) { return reinterpret_cast<const FcChar8*>(text); }

// True when any of the face's family names (fonts carry several, one a language) is `family`.
bool HasFamily(const FcPattern* face, const std::string& family) {
  FcChar8* name = nullptr;
  for (int i = 0; FcPatternGetString(face, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
    if (name && strcasecmp(reinterpret_cast<const char*>(name), family.c_str()) == 0) return true;
  }
  return false;
}

}  // namespace

std::string FallbackFamily(const std::string& family, bool bold) {
  const PatternPtr pattern(FcPatternCreate());
  if (!pattern) return {};
  FcPatternAddString(pattern.get(), FC_FAMILY, Text(family.c_str()));
  FcPatternAddString(pattern.get(), FC_FAMILY, Text("sans-serif"));
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern.get(), FC_SLANT, FC_SLANT_ROMAN);
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  if (!FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern)) return {};
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  const PatternPtr face(FcFontMatch(nullptr, pattern.get(), &result));
  if (!face || result != FcResultMatch || HasFamily(face.get(), family)) return {};
  FcChar8* name = nullptr;
  if (FcPatternGetString(face.get(), FC_FAMILY, 0, &name) != FcResultMatch || !name) return {};
  return reinterpret_cast<const char*>(name);
}

}  // namespace vialto::cli
