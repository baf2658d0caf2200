// The URL schemes the library reaches, told from a name's first characters in any case. A name
// with none of them is a local path. Header-only, so that hosts built here share the one reading.
#pragma once
#include <cstddef>
#include <string_view>

#include "platform/AsciiCase.h"

namespace vialto::platform {

enum class UrlScheme { kNone, kHttp, kHttps, kFtp };

struct UrlSchemePrefix {
  UrlScheme scheme;
  std::string_view prefix;
};

inline constexpr UrlSchemePrefix kUrlSchemePrefixes[] = {
    {UrlScheme::kHttp, "http://"}, {UrlScheme::kHttps, "https://"}, {UrlScheme::kFtp, "ftp://"}};

// The scheme name begins with ("HTTP://host/x" is kHttp), kNone for anything else.
constexpr UrlScheme SchemeOf(std::string_view name) {
  for (const UrlSchemePrefix& s : kUrlSchemePrefixes)
    if (StartsWithNoCase(name, s.prefix)) return s.scheme;
  return UrlScheme::kNone;
}

// Characters of the scheme's prefix ("ftp://" has 6); 0 for kNone.
constexpr std::size_t SchemePrefixLength(UrlScheme scheme) {
  for (const UrlSchemePrefix& s : kUrlSchemePrefixes)
    if (s.scheme == scheme) return s.prefix.size();
  return 0;
}

}  // namespace vialto::platform
