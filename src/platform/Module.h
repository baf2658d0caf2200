// Where the library's own file lies, found from an address inside the library.
#pragma once
#include <string>

namespace vialto::platform {

// Full path of the file this code was loaded from (as the loader knows it), or "" if unknown.
std::string OwnModulePath();
// OwnModulePath() up to and including its last directory separator, or "" if it has none.
std::string OwnModuleDirectory();

}  // namespace vialto::platform
