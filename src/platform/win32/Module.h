// The library's own module handle, for the resource and dialog calls. Internal to the backend.
#pragma once
#include <windows.h>

namespace vialto::platform::win32 {

// The module this code lives in (the DLL, or the program its objects were linked into); null
// if the loader cannot tell.
HMODULE OwnModule();

}  // namespace vialto::platform::win32
