// Hands a URL to the desktop's browser with xdg-open, without waiting for it and without
// failing when there is none.
#pragma once
#include <string>

namespace vialto::cli::view {

void OpenInBrowser(const std::string& url);

}  // namespace vialto::cli::view
