// Opening, navigating and fetching frames of arbitrary file bytes. The input's first 24 bytes are
// an operation script, the rest is the sequence file; every move and every output type runs in
// the order the fuzzer picks.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "vialto/vialto.h"

namespace {

constexpr std::size_t kScriptBytes = 24;

const std::string& ScratchFile() {
  static const std::string path = "/tmp/vialto-fuzz-seq-" + std::to_string(getpid()) + ".bin";
  return path;
}

bool WriteScratch(const uint8_t* data, std::size_t size) {
  FILE* f = std::fopen(ScratchFile().c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

void FetchFrame(CSerFileDecode* d, int how, int type, std::size_t fileSize) {
  int w = 0, h = 0, aux = 0, length = 0;
  switch (how) {
    case 0: {
      unsigned char* buf = Ser_GetCurrentFrameDataBuf(d, &w, &h, &aux, type);
      Ser_DeleteFrameDataBuf(d, buf);
      break;
    }
    case 1: {
      unsigned char* buf = Ser_GetCurrentFrameDataBufEx(d, &w, &h, &aux, &length, type);
      Ser_DeleteFrameDataBuf(d, buf);
      break;
    }
    default: {
      const int n = Ser_GetCurrentFrameDataLength(d);
      if (n < 1 || static_cast<std::size_t>(n) > fileSize) break;
      std::vector<unsigned char> buf(static_cast<std::size_t>(n));
      Ser_GetCurrentFrameData(d, buf.data(), n);
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kScriptBytes) return 0;
  if (!WriteScratch(data + kScriptBytes, size - kScriptBytes)) return 0;
  FuzzInput script(data, kScriptBytes);
  CSerFileDecode* d = Ser_CreateSerFileDecode();
  if (!d) return 0;
  if (Ser_SetSerFileName(d, ScratchFile().c_str()) == 1) {
    for (int step = 0; step < 12; ++step) {
      const uint8_t op = script.Byte();
      const uint8_t arg = script.Byte();
      switch (op % 8) {
        case 0:
          Ser_MoveFirst(d);
          break;
        case 1:
          Ser_MoveEnd(d);
          break;
        case 2:
          Ser_MoveCurrentFrameNo(d, +1);
          break;
        case 3:
          Ser_MoveCurrentFrameNo(d, static_cast<int8_t>(arg));
          break;
        case 4:
          Ser_MoveTo(d, static_cast<int8_t>(arg) * 3);
          break;
        case 5:
          FetchFrame(d, arg % 3, arg / 3 % 6, size - kScriptBytes);
          break;
        case 6: {
          unsigned char sub[64], head[128];
          Ser_GetCurrentSubHeadInfo(d, sub);
          Ser_GetSerFileInfo(d, head, arg % 129);
          Ser_GetColorStatus(d);
          Ser_GetCurrentFramePos(d);
          break;
        }
        default:
          FetchFrame(d, 1, 4, size - kScriptBytes);
          break;
      }
    }
  }
  Ser_FinishSerFileDecode(d);
  return 0;
}
