// Bitmap resources of the module's resource section (vialto.rc). The resource compiler stores a
// BITMAP without its file header: the info header, then the pixels, as the interface promises.
#include "platform/Resources.h"

#include <windows.h>

#include "platform/win32/Module.h"

namespace vialto::platform {

std::span<const unsigned char> BitmapResource(int id) {
  if (id <= 0 || id > 0xFFFF) return {};  // not an integer resource name
  const HMODULE module = win32::OwnModule();
  if (!module) return {};
  const HRSRC found =
      FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2));  // RT_BITMAP
  if (!found) return {};
  const DWORD size = SizeofResource(module, found);
  const HGLOBAL loaded = LoadResource(module, found);
  // Resource memory is part of the mapped module: valid while the library stays loaded.
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes || size == 0) return {};
  return {static_cast<const unsigned char*>(bytes), size};
}

}  // namespace vialto::platform
