#include "Json.h"

#include <cstdio>

namespace vialto::cli {

std::string JsonWriter::Quote(const std::string& text) {
  std::string out = "\"";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += ch;
        }
    }
  }
  return out + "\"";
}

void JsonWriter::Key(const std::string& key) {
  if (!first_.empty()) {
    if (!first_.back()) text_ += ",";
    first_.back() = false;
  }
  if (!key.empty()) text_ += Quote(key) + ":";
}

JsonWriter& JsonWriter::BeginObject(const std::string& key) {
  Key(key);
  text_ += "{";
  first_.push_back(true);
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  text_ += "}";
  first_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::BeginArray(const std::string& key) {
  Key(key);
  text_ += "[";
  first_.push_back(true);
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  text_ += "]";
  first_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::Field(const std::string& key, const std::string& value) {
  Key(key);
  text_ += Quote(value);
  return *this;
}

JsonWriter& JsonWriter::Field(const std::string& key, const char* value) {
  return Field(key, std::string(value));
}

JsonWriter& JsonWriter::Field(const std::string& key, int64_t value) {
  Key(key);
  text_ += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::Field(const std::string& key, bool value) {
  Key(key);
  text_ += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::NullField(const std::string& key) {
  Key(key);
  text_ += "null";
  return *this;
}

}  // namespace vialto::cli
