#include "HostCheck.h"

#include <algorithm>
#include <cctype>

namespace vialto::cli::view {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool IsIpv4Literal(const std::string& host) {
  int dots = 0;
  for (char c : host) {
    if (c == '.') {
      ++dots;
    } else if (!std::isdigit(static_cast<unsigned char>(c))) {
      return false;
    }
  }
  return dots == 3;
}

bool IsIpv6Literal(const std::string& host) {
  if (host.size() < 3 || host.front() != '[' || host.back() != ']') return false;
  return std::all_of(host.begin() + 1, host.end() - 1, [](char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
  });
}

}  // namespace

bool HostHeaderIsOurs(const std::string& header, const std::string& boundHost, int port) {
  const size_t colon = header.rfind(':');
  if (colon == std::string::npos || colon + 1 == header.size()) return false;
  if (header.substr(colon + 1) != std::to_string(port)) return false;
  const std::string host = Lower(header.substr(0, colon));
  if (host == "localhost" || IsIpv4Literal(host) || IsIpv6Literal(host)) return true;
  return host == Lower(boundHost);
}

}  // namespace vialto::cli::view
