#include <gtest/gtest.h>

#include <cstring>

#include "support/TestUtil.h"
#include "vialto/vialto.h"

namespace {

using vialto::test::Bytes;
using vialto::test::RandomBytes;

template <typename T>
Bytes RecordBytes(const T& record) {
  Bytes out(sizeof record);
  std::memcpy(out.data(), &record, sizeof record);
  return out;
}

TEST(SerInfoCodec, DecodesFieldsFromTheirDiskOffsets) {
  Bytes block(54, 0);
  std::memcpy(block.data(), "SER", 3);
  block[3] = 0x11, block[4] = 0x22;  // wVal03 at an odd disk offset
  block[5] = 0x10, block[6] = 0x27;  // wFrameCount 10000
  block[11] = 2;                     // byColorMode
  block[19] = 0x78, block[20] = 0x56, block[21] = 0x34, block[22] = 0x12;  // dwVal13
  block[24] = 1;                                                           // byColorMode2
  block[41] = 0x99;                                                        // byVal29
  block[42] = 0xCD, block[43] = 0xAB;                                      // wVal2A
  block[46] = 0x01, block[47] = 0x80;  // wVal2E, the last defined field
  SerInfo info;
  std::memset(&info, 0xEE, sizeof info);
  Ser_BufToSerInfo(block.data(), &info);
  EXPECT_EQ(std::memcmp(info.chSign, "SER", 3), 0);  // copied as stored, case kept
  EXPECT_EQ(info.wVal03, 0x2211);
  EXPECT_EQ(info.wFrameCount, 10000);
  EXPECT_EQ(RecordBytes(info)[6], 0x10);
  EXPECT_EQ(info.byColorMode, 2);
  EXPECT_EQ(info.dwVal13, 0x12345678u);
  EXPECT_EQ(info.byColorMode2, 1);
  EXPECT_EQ(info.byVal29, 0x99);
  EXPECT_EQ(info.wVal2A, 0xABCD);
  EXPECT_EQ(info.wVal2E, 0x8001);
}

TEST(SerInfoCodec, DecodingZeroesGapsAndReservedBytes) {
  const Bytes block = RandomBytes(128, 1);
  SerInfo info;
  std::memset(&info, 0xFF, sizeof info);
  Ser_BufToSerInfo(block.data(), &info);
  const Bytes rec = RecordBytes(info);
  EXPECT_EQ(rec[3], 0);
  EXPECT_EQ(rec[43], 0);
  for (int i = 50; i < 60; ++i) EXPECT_EQ(rec[i], 0) << i;
}

TEST(SerInfoCodec, EncoderClearsLenBytesAndAlwaysWritesTheBlock) {
  const Bytes block = RandomBytes(48, 2);
  SerInfo info;
  Ser_BufToSerInfo(block.data(), &info);

  Bytes out(128, 0xAA);
  Ser_SerInfoToBuf(&info, out.data(), 0);  // clears nothing, still writes 0..47
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 48), block);
  for (int i = 48; i < 128; ++i) ASSERT_EQ(out[i], 0xAA) << i;

  Ser_SerInfoToBuf(&info, out.data(), 128);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 48), block);
  for (int i = 48; i < 128; ++i) ASSERT_EQ(out[i], 0) << i;
}

TEST(SerHeadInfoCodec, KeepsTheCallersExtraBytesAndDecodesTheTail) {
  Bytes head = RandomBytes(128, 3);
  head[64] = 0x80, head[65] = 0x00, head[66] = 0x00, head[67] = 0x00;  // dwHeadLen 128
  head[68] = 0x42;
  head[69] = 0x34, head[70] = 0x12;  // wVal45 at an odd offset
  SerHeadInfo info;
  std::memset(&info, 0x5C, sizeof info);
  Ser_BufToSerHeadInfo(head.data(), &info);
  const Bytes rec = RecordBytes(info);
  for (int i = 60; i < 72; ++i) EXPECT_EQ(rec[i], 0x5C) << i;
  EXPECT_EQ(rec[77], 0x5C);
  EXPECT_EQ(rec[3], 0);
  EXPECT_EQ(rec[55], 0);  // reserved bytes of the SerInfo part are cleared
  EXPECT_EQ(info.dwHeadLen, 128u);
  EXPECT_EQ(info.byVal44, 0x42);
  EXPECT_EQ(info.wVal45, 0x1234);
  SerInfo plain;
  Ser_BufToSerInfo(head.data(), &plain);
  EXPECT_EQ(std::memcmp(&plain, &info.info, sizeof plain), 0);
}

TEST(SerHeadInfoCodec, RoundTripGivesBackTheDefinedBytes) {
  const Bytes head = RandomBytes(128, 4);
  SerHeadInfo info{};
  Ser_BufToSerHeadInfo(head.data(), &info);
  Bytes out(128, 0xAA);
  Ser_SerHeadInfoToBuf(&info, out.data(), 128);
  for (int i = 0; i < 128; ++i) {
    const bool defined = i < 48 || (i >= 64 && i <= 70);
    EXPECT_EQ(out[i], defined ? head[i] : 0) << i;
  }
}

TEST(SubHeadInfoCodec, DecodesShiftedFieldsAndClearsGaps) {
  Bytes sub = RandomBytes(64, 5);
  std::memcpy(sub.data(), "QXAAAAAA", 8);
  std::memcpy(sub.data() + 8, "JPE\0", 4);
  sub[16] = 0x00, sub[17] = 0x10, sub[18] = 0x00, sub[19] = 0x00;  // nFrameLen 4096
  sub[29] = 0x07;                                                  // byVal1D
  sub[45] = 0x34, sub[46] = 0x12;                                  // wVal2D
  sub[53] = 0x77;                                                  // byVal35
  sub[60] = 0xEF, sub[61] = 0xBE;                                  // wVal3C
  SubHeadInfo info;
  std::memset(&info, 0xFF, sizeof info);
  Ser_BufToSubHeadInfo(sub.data(), &info);
  const Bytes rec = RecordBytes(info);
  EXPECT_EQ(std::memcmp(info.chMark, "QXAAAAAA", 8), 0);
  EXPECT_EQ(std::memcmp(info.chCodec, "JPE", 3), 0);
  EXPECT_EQ(info.nFrameLen, 4096);
  EXPECT_EQ(info.byVal1D, 7);
  EXPECT_EQ(info.wVal2D, 0x1234);
  EXPECT_EQ(rec[46], 0x34);
  EXPECT_EQ(rec[45], 0);
  EXPECT_EQ(rec[55], 0);
  EXPECT_EQ(info.byVal35, 0x77);
  EXPECT_EQ(info.wVal3C, 0xBEEF);
  EXPECT_EQ(std::memcmp(info.chVal21, sub.data() + 33, 12), 0);
  for (int i = 64; i < 76; ++i) EXPECT_EQ(rec[i], 0) << i;
}

TEST(SubHeadInfoCodec, EncoderIgnoresReservedBytesAndZeroesTheTail) {
  const Bytes sub = RandomBytes(64, 6);
  SubHeadInfo info;
  Ser_BufToSubHeadInfo(sub.data(), &info);
  std::memset(info.byReserved, 0x33, sizeof info.byReserved);
  Bytes out(64, 0xAA);
  Ser_SubHeadInfoToBuf(&info, out.data());
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 62), Bytes(sub.begin(), sub.begin() + 62));
  EXPECT_EQ(out[62], 0);
  EXPECT_EQ(out[63], 0);
}

}  // namespace
