// The six record codecs: decoding then encoding must give back the defined bytes, and nothing
// outside the records and buffers may be touched.
#include <cstdint>
#include <cstring>

#include "vialto/vialto.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t block[128] = {};
  std::memcpy(block, data, size < sizeof block ? size : sizeof block);
  const uint32_t len = size > 0 ? data[0] % 129 : 0;

  SerInfo info;
  Ser_BufToSerInfo(block, &info);
  uint8_t out[128];
  std::memset(out, 0xAA, sizeof out);
  Ser_SerInfoToBuf(&info, out, len);
  if (std::memcmp(out, block, 48) != 0) __builtin_trap();
  for (uint32_t i = 48; i < 128; ++i)
    if (out[i] != (i < len ? 0 : 0xAA)) __builtin_trap();

  SerHeadInfo head;
  std::memset(&head, 0x5C, sizeof head);
  Ser_BufToSerHeadInfo(block, &head);
  if (head.byExtra[0] != 0x5C || head.byExtra[11] != 0x5C) __builtin_trap();
  std::memset(out, 0xAA, sizeof out);
  Ser_SerHeadInfoToBuf(&head, out, 128);
  if (std::memcmp(out, block, 48) != 0 || std::memcmp(out + 64, block + 64, 7) != 0)
    __builtin_trap();

  SubHeadInfo sub;
  Ser_BufToSubHeadInfo(block, &sub);
  Ser_SubHeadInfoToBuf(&sub, out);
  if (std::memcmp(out, block, 62) != 0 || out[62] != 0 || out[63] != 0) __builtin_trap();
  return 0;
}
