// The library's own resources, as the backend stores them (compiled into the module).
#pragma once
#include <cstddef>
#include <span>

namespace vialto::platform {

// The packed device-independent bitmap of bitmap resource `id`: its 40-byte info header, then the
// pixels (no file header). Empty when the library has no such bitmap.
std::span<const unsigned char> BitmapResource(int id);

}  // namespace vialto::platform
