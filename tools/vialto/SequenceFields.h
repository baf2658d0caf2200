// The decoded file information as (name, value) pairs, in record order, for `vialto info`.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "vialto/vialto.h"

namespace vialto::cli {

struct NamedValue {
  std::string name;
  int64_t number = 0;
  std::string text;  // set for the character fields
  bool isText = false;
};

std::vector<NamedValue> SerInfoFields(const SerInfo& info);
// SerInfo's fields, then dwHeadLen, byVal44 and wVal45.
std::vector<NamedValue> SerHeadInfoFields(const SerHeadInfo& head);
// Printable form of a fixed-size character field (non-printing bytes as \xNN).
std::string PrintableChars(const char* chars, size_t count);

}  // namespace vialto::cli
