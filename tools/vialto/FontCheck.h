// Which installed face a font request gets, asked of fontconfig the way the library's text
// routine asks it (the named family, then sans-serif), so that the tool can say when a named
// face is not installed and what stands in for it.
#pragma once
#include <string>

namespace vialto::cli {

// The family of the face fontconfig picks for `family` at the given boldness, or empty when
// that is the family asked for (or fontconfig finds nothing at all).
std::string FallbackFamily(const std::string& family, bool bold);

}  // namespace vialto::cli
