// The page, its script and its styles, built into the binary.
#pragma once
#include <string>
#include <string_view>

namespace vialto::cli::view {

struct PageAsset {
  std::string_view bytes;
  const char* type;
};

// The asset served at `path` ("/", "/viewer.js", "/viewer.css"), or null.
const PageAsset* FindPageAsset(const std::string& path);

}  // namespace vialto::cli::view
