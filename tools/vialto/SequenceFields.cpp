#include "SequenceFields.h"

#include <cctype>
#include <cstdio>

namespace vialto::cli {
namespace {

NamedValue Number(const char* name, int64_t value) { return NamedValue{name, value, "", false}; }

}  // namespace

std::string PrintableChars(const char* chars, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    const auto c = static_cast<unsigned char>(chars[i]);
    if (std::isprint(c) && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    }
  }
  return out;
}

std::vector<NamedValue> SerInfoFields(const SerInfo& i) {
  return {NamedValue{"chSign", 0, PrintableChars(i.chSign, 3), true},
          Number("wVal03", i.wVal03),
          Number("wFrameCount", i.wFrameCount),
          Number("wVal07", i.wVal07),
          Number("wVal09", i.wVal09),
          Number("byColorMode", i.byColorMode),
          Number("byVal0C", i.byVal0C),
          Number("byVal0D", i.byVal0D),
          Number("byVal0E", i.byVal0E),
          Number("wVal0F", i.wVal0F),
          Number("byVal11", i.byVal11),
          Number("byVal12", i.byVal12),
          Number("dwVal13", i.dwVal13),
          Number("byVal17", i.byVal17),
          Number("byColorMode2", i.byColorMode2),
          Number("byVal19", i.byVal19),
          Number("byVal1A", i.byVal1A),
          Number("byVal1B", i.byVal1B),
          Number("byVal1C", i.byVal1C),
          Number("wVal1D", i.wVal1D),
          Number("wVal1F", i.wVal1F),
          Number("wVal21", i.wVal21),
          Number("byVal23", i.byVal23),
          Number("byVal24", i.byVal24),
          Number("byVal25", i.byVal25),
          Number("byVal26", i.byVal26),
          Number("wVal27", i.wVal27),
          Number("byVal29", i.byVal29),
          Number("wVal2A", i.wVal2A),
          Number("wVal2C", i.wVal2C),
          Number("wVal2E", i.wVal2E)};
}

std::vector<NamedValue> SerHeadInfoFields(const SerHeadInfo& head) {
  std::vector<NamedValue> fields = SerInfoFields(head.info);
  fields.push_back(Number("dwHeadLen", head.dwHeadLen));
  fields.push_back(Number("byVal44", head.byVal44));
  fields.push_back(Number("wVal45", head.wVal45));
  return fields;
}

}  // namespace vialto::cli
