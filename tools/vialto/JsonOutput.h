// JSON as the tool prints it: one compact line, fields in the order the command set them.
#pragma once
#include <nlohmann/json.hpp>
#include <string>

namespace vialto::cli {

// Text passes through as UTF-8; bytes that are not UTF-8 (a file name in another encoding)
// become U+FFFD, so the output is always valid JSON and the command never fails on them.
inline std::string DumpJson(const nlohmann::ordered_json& json) {
  return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace vialto::cli
