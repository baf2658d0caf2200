// Just enough JSON output for `--json`: objects and arrays written in order, strings escaped.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vialto::cli {

class JsonWriter {
 public:
  JsonWriter& BeginObject(const std::string& key = "");
  JsonWriter& EndObject();
  JsonWriter& BeginArray(const std::string& key = "");
  JsonWriter& EndArray();
  JsonWriter& Field(const std::string& key, const std::string& value);
  JsonWriter& Field(const std::string& key, const char* value);
  JsonWriter& Field(const std::string& key, int64_t value);
  JsonWriter& Field(const std::string& key, int value) { return Field(key, static_cast<int64_t>(value)); }
  JsonWriter& Field(const std::string& key, bool value);
  JsonWriter& NullField(const std::string& key);
  const std::string& Text() const { return text_; }

  static std::string Quote(const std::string& text);

 private:
  void Key(const std::string& key);
  std::string text_;
  std::vector<bool> first_;  // per open container: nothing written yet
};

}  // namespace vialto::cli
