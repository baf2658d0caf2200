// Running the vialto tool as a user would (a child process with real files), and small readers
// for what it writes: PPM pictures, sequence files and JSON.
#pragma once
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "support/TestUtil.h"
#include "vialto/vialto.h"

extern char** environ;

namespace vialto::test::cli {

struct RunResult {
  int status = -1;  // exit status, or -1 when it did not exit normally
  std::string out;
  std::string err;
};

inline std::string ReadText(const std::string& path) {
  const Bytes bytes = ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

// Runs the tool with the given arguments, stdin from /dev/null, stdout and stderr to files in
// `scratch`; kills it after a minute so a hang fails the test instead of stalling the suite.
inline RunResult RunTool(const TempDir& scratch, const std::vector<std::string>& args,
                         const std::string& workDir = "") {
  static int counter = 0;
  const std::string tag = std::to_string(++counter);
  const std::string outPath = scratch.File("stdout." + tag);
  const std::string errPath = scratch.File("stderr." + tag);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  std::vector<std::string> words{VIALTO_CLI_FILE};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  if (!workDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("posix_spawn failed: " + std::string(std::strerror(rc)));
  int wstatus = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (waitpid(pid, &wstatus, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &wstatus, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  RunResult result;
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  result.out = ReadText(outPath);
  result.err = ReadText(errPath);
  return result;
}

// --- pictures --------------------------------------------------------------------------------

struct Ppm {
  int width = 0, height = 0, channels = 0;
  Bytes pixels;
  const uint8_t* At(int x, int y) const {
    return &pixels[(static_cast<size_t>(y) * width + x) * channels];
  }
};

// Reads the binary PGM/PPM files the tool writes ("P6\nW H\n255\n").
inline Ppm ReadPnm(const std::string& path) {
  const Bytes bytes = ReadFile(path);
  Ppm ppm;
  if (bytes.size() < 2 || bytes[0] != 'P' || (bytes[1] != '5' && bytes[1] != '6')) return ppm;
  ppm.channels = bytes[1] == '6' ? 3 : 1;
  size_t pos = 2;
  int numbers[3] = {};
  for (int& n : numbers) {
    while (pos < bytes.size() && std::isspace(bytes[pos])) ++pos;
    while (pos < bytes.size() && std::isdigit(bytes[pos])) n = n * 10 + (bytes[pos++] - '0');
  }
  ++pos;
  ppm.width = numbers[0];
  ppm.height = numbers[1];
  ppm.pixels.assign(bytes.begin() + static_cast<ptrdiff_t>(pos), bytes.end());
  return ppm;
}

inline void WritePpm(const std::string& path, int width, int height, const Bytes& rgb) {
  const std::string header =
      "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  Bytes bytes(header.begin(), header.end());
  bytes.insert(bytes.end(), rgb.begin(), rgb.end());
  WriteFile(path, bytes);
}

// Width and height from a PNG's IHDR chunk (0, 0 when it is not a PNG).
inline std::pair<uint32_t, uint32_t> PngSize(const std::string& path) {
  const Bytes b = ReadFile(path);
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (b.size() < 24 || std::memcmp(b.data(), kSignature, 8) != 0) return {0, 0};
  auto be32 = [&](size_t at) {
    return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) |
           b[at + 3];
  };
  return {be32(16), be32(20)};
}

inline uint32_t Le32(const Bytes& b, size_t at) {
  return uint32_t{b[at]} | (uint32_t{b[at + 1]} << 8) | (uint32_t{b[at + 2]} << 16) |
         (uint32_t{b[at + 3]} << 24);
}
inline uint16_t Le16(const Bytes& b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

// --- JSON ------------------------------------------------------------------------------------

// A parsed JSON value: null, bool, number, string, array or object.
struct Json {
  std::variant<std::nullptr_t, bool, double, std::string, std::vector<Json>,
               std::map<std::string, Json>>
      value;
  bool IsNull() const { return std::holds_alternative<std::nullptr_t>(value); }
  double Number() const { return std::get<double>(value); }
  const std::string& String() const { return std::get<std::string>(value); }
  const std::vector<Json>& Array() const { return std::get<std::vector<Json>>(value); }
  const Json& operator[](const std::string& key) const {
    return std::get<std::map<std::string, Json>>(value).at(key);
  }
  bool Has(const std::string& key) const {
    const auto* object = std::get_if<std::map<std::string, Json>>(&value);
    return object && object->count(key);
  }
};

class JsonParser {
 public:
  explicit JsonParser(const std::string& text) : s_(text) {}
  // Throws std::runtime_error on anything that is not one complete JSON value.
  Json ParseDocument() {
    Json v = ParseValue();
    SkipSpace();
    if (i_ != s_.size()) Fail("trailing characters");
    return v;
  }

 private:
  [[noreturn]] void Fail(const char* what) {
    throw std::runtime_error(std::string("bad JSON: ") + what + " at " + std::to_string(i_));
  }
  void SkipSpace() {
    while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
  }
  bool Take(char c) {
    SkipSpace();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  void Expect(char c) {
    if (!Take(c)) Fail("unexpected character");
  }
  std::string ParseString() {
    Expect('"');
    std::string out;
    while (i_ < s_.size() && s_[i_] != '"') {
      char c = s_[i_++];
      if (c == '\\') {
        if (i_ >= s_.size()) Fail("cut escape");
        const char e = s_[i_++];
        if (e == 'n')
          c = '\n';
        else if (e == 't')
          c = '\t';
        else if (e == 'r')
          c = '\r';
        else if (e == 'u') {
          if (i_ + 4 > s_.size()) Fail("cut escape");
          c = static_cast<char>(std::stoi(s_.substr(i_, 4), nullptr, 16));
          i_ += 4;
        } else
          c = e;
      } else if (static_cast<unsigned char>(c) < 0x20) {
        Fail("control character in string");
      }
      out += c;
    }
    Expect('"');
    return out;
  }
  Json ParseValue() {
    SkipSpace();
    if (i_ >= s_.size()) Fail("end of text");
    const char c = s_[i_];
    if (c == '{') {
      ++i_;
      std::map<std::string, Json> object;
      if (!Take('}')) {
        do {
          SkipSpace();
          std::string key = ParseString();
          Expect(':');
          object[key] = ParseValue();
        } while (Take(','));
        Expect('}');
      }
      return Json{object};
    }
    if (c == '[') {
      ++i_;
      std::vector<Json> array;
      if (!Take(']')) {
        do array.push_back(ParseValue());
        while (Take(','));
        Expect(']');
      }
      return Json{array};
    }
    if (c == '"') return Json{ParseString()};
    for (const auto& [word, value] : {std::pair<const char*, Json>{"true", Json{true}},
                                      {"false", Json{false}},
                                      {"null", Json{nullptr}}}) {
      if (s_.compare(i_, std::strlen(word), word) == 0) {
        i_ += std::strlen(word);
        return value;
      }
    }
    size_t used = 0;
    double number = 0;
    try {
      number = std::stod(s_.substr(i_), &used);
    } catch (...) {
      Fail("not a value");
    }
    i_ += used;
    return Json{number};
  }
  const std::string& s_;
  size_t i_ = 0;
};

inline Json ParseJson(const std::string& text) { return JsonParser(text).ParseDocument(); }

}  // namespace vialto::test::cli
