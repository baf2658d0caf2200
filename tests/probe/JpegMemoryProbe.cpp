// Decodes one JPEG file through the public JpegToRGB and reports what the decode cost this
// process: how much its peak resident and peak virtual memory grew, and how long it took. Run as
// a child of the tests, so that the peaks are this decode's and no other test's.
//
//   vialto_jpeg_probe FILE   prints "result=0|1 rss_kb=N vm_kb=N ms=N" on stdout
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "vialto/vialto.h"

namespace {

// A "Vm...:   N kB" line of /proc/self/status.
long StatusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::size_t n = std::strlen(field);
  while (std::getline(status, line))
    if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':')
      return std::stol(line.substr(n + 1));
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<unsigned char> stream((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
  if (stream.empty()) return 2;
  const long rssBefore = StatusKb("VmHWM"), vmBefore = StatusKb("VmPeak");
  const auto start = std::chrono::steady_clock::now();
  uint32_t width = 0, height = 0;
  int depth = 0;
  unsigned char* picture =
      JpegToRGB(stream.data(), static_cast<int>(stream.size()), &width, &height, &depth);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  const long rssAfter = StatusKb("VmHWM"), vmAfter = StatusKb("VmPeak");
  std::printf("result=%d rss_kb=%ld vm_kb=%ld ms=%lld\n", picture ? 1 : 0, rssAfter - rssBefore,
              vmAfter - vmBefore,
              static_cast<long long>(
                  std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));
  Ser_DeleteJpegToRGBBuf(picture);
  return 0;
}
