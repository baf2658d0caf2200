// Faults a long-running host meets: files that change under the decoder, names that are not
// files, allocations that fail, and many decoders over time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Alloc.h"
#include "support/SampleBuilder.h"
#include "support/TestUtil.h"
#include "vialto/vialto.h"

namespace {

using vialto::test::Bytes;
using vialto::test::Se1Sample;
using vialto::test::TempDir;

class OpenDecoder {
 public:
  explicit OpenDecoder(const std::string& path) : d_(Ser_CreateSerFileDecode()) {
    opened_ = Ser_SetSerFileName(d_, path.c_str());
  }
  ~OpenDecoder() { Ser_FinishSerFileDecode(d_); }
  CSerFileDecode* get() const { return d_; }
  int opened() const { return opened_; }

 private:
  CSerFileDecode* d_;
  int opened_;
};

unsigned char* Rgb(CSerFileDecode* d) {
  int w, h, aux;
  return Ser_GetCurrentFrameDataBuf(d, &w, &h, &aux, 3);
}

TEST(Faults, FileRemovedBetweenCallsFailsCleanly) {
  TempDir dir;
  const std::string path = dir.File("gone.se1");
  Se1Sample().AddFrames(5).Write(path);
  OpenDecoder d(path);
  ASSERT_EQ(d.opened(), 1);
  ASSERT_EQ(Ser_MoveCurrentFrameNo(d.get(), +1), 1);
  std::filesystem::remove(path);
  EXPECT_EQ(Ser_MoveCurrentFrameNo(d.get(), +1), 0);
  EXPECT_EQ(Ser_GetCurrentFrameNo(d.get()), 1);
  EXPECT_EQ(Rgb(d.get()), nullptr);
  unsigned char buf[16];
  EXPECT_EQ(Ser_GetCurrentFrameData(d.get(), buf, sizeof buf), 0);
  EXPECT_EQ(Ser_MoveTo(d.get(), 3), 0);
  // The same name opens again once the file is back.
  Se1Sample().AddFrames(5).Write(path);
  EXPECT_EQ(Ser_SetSerFileName(d.get(), path.c_str()), 1);
}

TEST(Faults, FileTruncatedBetweenCallsGivesNoStaleBytes) {
  TempDir dir;
  const std::string path = dir.File("cut.se1");
  Se1Sample sample;
  sample.AddFrames(6);
  sample.Write(path);
  OpenDecoder d(path);
  ASSERT_EQ(Ser_MoveTo(d.get(), 4), 1);
  std::filesystem::resize_file(path, static_cast<uintmax_t>(sample.Positions()[4] + 80));
  // The frame's data is mostly gone: the frame fails, and the buffer never holds old bytes.
  const int n = Ser_GetCurrentFrameDataLength(d.get());
  Bytes data(static_cast<std::size_t>(n), 0xEE);
  EXPECT_EQ(Ser_GetCurrentFrameData(d.get(), data.data(), n), 0);
  const Bytes stored = sample.FrameData(4);
  EXPECT_TRUE(std::equal(data.begin(), data.begin() + 16, stored.begin()));
  for (int i = 16; i < n; ++i) ASSERT_EQ(data[static_cast<std::size_t>(i)], 0) << i;
  EXPECT_EQ(Rgb(d.get()), nullptr);
  EXPECT_EQ(Ser_MoveCurrentFrameNo(d.get(), +1), 0);  // the next sub-header is gone
  EXPECT_EQ(Ser_GetCurrentFrameNo(d.get()), 4);
}

TEST(Faults, FileGrownBetweenCallsKeepsWorking) {
  TempDir dir;
  const std::string path = dir.File("grow.se1");
  Se1Sample small, big;
  small.AddFrames(3);
  big.AddFrames(8);
  small.Write(path);
  OpenDecoder d(path);
  ASSERT_EQ(Ser_MoveEnd(d.get()), 1);
  EXPECT_EQ(Ser_GetCurrentFrameNo(d.get()), 2);
  big.Write(path);  // the camera went on writing: same first frames, more behind them
  EXPECT_EQ(Ser_MoveCurrentFrameNo(d.get(), +1), 1);
  EXPECT_EQ(Ser_GetCurrentFrameNo(d.get()), 3);
  unsigned char* rgb = Rgb(d.get());
  EXPECT_NE(rgb, nullptr);
  Ser_DeleteFrameDataBuf(d.get(), rgb);
}

TEST(Faults, NamesThatAreNotFilesAreRefused) {
  TempDir dir;
  OpenDecoder asDir(dir.path().string());
  EXPECT_EQ(asDir.opened(), 0);
  EXPECT_EQ(Ser_GetSerFileType(asDir.get()), -1);
  OpenDecoder missing(dir.File("none.ser"));
  EXPECT_EQ(missing.opened(), 0);
  OpenDecoder device("/dev/zero");
  EXPECT_EQ(device.opened(), 0);
}

TEST(Faults, AllocationFailuresGiveNullAndLeakNothing) {
  TempDir dir;
  const std::string path = dir.File("alloc.se1");
  Se1Sample().AddFrames(2).Write(path);
  OpenDecoder d(path);
  ASSERT_EQ(d.opened(), 1);
  // Fail the first, second, ... allocation of a conversion in turn; each must come back null
  // (or succeed when the failing allocation is past the last one), and ASan sees no leak.
  int nulls = 0;
  for (int k = 0; k < 8; ++k) {
    for (int type = 0; type <= 4; ++type) {
      int w, h, aux, length;
      vialto::platform::FailAllocationsAfter(k, 1);
      unsigned char* out = Ser_GetCurrentFrameDataBufEx(d.get(), &w, &h, &aux, &length, type);
      vialto::platform::FailAllocationsAfter(-1, 0);
      nulls += out == nullptr;
      Ser_DeleteFrameDataBuf(d.get(), out);
    }
  }
  EXPECT_GT(nulls, 0);
  unsigned char* rgb = Rgb(d.get());  // and everything works again afterwards
  EXPECT_NE(rgb, nullptr);
  Ser_DeleteFrameDataBuf(d.get(), rgb);
}

int OpenDescriptors() {
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

TEST(Faults, TenThousandDecoderLifetimesLeaveNothingBehind) {
  TempDir dir;
  const std::string path = dir.File("cycle.se1");
  Se1Sample().AddFrames(3).Write(path);
  auto cycle = [&] {
    CSerFileDecode* d = Ser_CreateSerFileDecode();
    ASSERT_EQ(Ser_SetSerFileName(d, path.c_str()), 1);
    Ser_MoveCurrentFrameNo(d, +1);
    Ser_FinishSerFileDecode(d);
  };
  for (int i = 0; i < 500; ++i) cycle();  // warm up caches and the heap
  const int fds = OpenDescriptors();
  const long rss = ResidentKiB();
  for (int i = 0; i < 10000; ++i) cycle();
  EXPECT_EQ(OpenDescriptors(), fds);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  // Sanitizers hold freed memory back on purpose; there LeakSanitizer does this job.
  EXPECT_LT(ResidentKiB() - rss, 2048) << "resident memory grew";
#else
  (void)rss;
#endif
}

}  // namespace
