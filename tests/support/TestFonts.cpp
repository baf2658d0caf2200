// Every test in this program, and every tool it starts, matches fonts against the tests' own
// font configuration rather than the machine's: set before anything asks fontconfig.
#include <cstdlib>

#ifndef VIALTO_TEST_FONTS_CONF
#error "VIALTO_TEST_FONTS_CONF names the tests' fonts.conf"
#endif

namespace {

// GDI has no font configuration to pin; the Windows tests ask for the faces Windows has.
#if !defined(_WIN32)
[[maybe_unused]] const bool kFontsPinned = [] {
  return setenv("FONTCONFIG_FILE", VIALTO_TEST_FONTS_CONF, 1) == 0;
}();
#endif

}  // namespace
