#include "platform/Module.h"

#include <dlfcn.h>

namespace vialto::platform {
namespace {
// Any object of this library will do: the loader maps its address back to the library's file.
const char kAddressInThisModule = 0;
}  // namespace

std::string OwnModulePath() {
  Dl_info info{};
  if (dladdr(&kAddressInThisModule, &info) == 0 || info.dli_fname == nullptr) return {};
  return info.dli_fname;
}

std::string OwnModuleDirectory() {
  std::string path = OwnModulePath();
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  path.resize(slash + 1);
  return path;
}

}  // namespace vialto::platform
