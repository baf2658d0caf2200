// Ser_SaveToLocal over every kind of source: the copy is the source byte for byte, replaces what
// was at the path, and leaves the decoder where it stood.
#include <gtest/gtest.h>

#include <filesystem>

#include "seq/DecoderFixture.h"
#include "support/SampleBuilder.h"
#include "support/Servers.h"

namespace vialto::test {
namespace {

// A "ser" file of exactly `size` bytes: random frame bytes in front of a real trailer.
Bytes SerFileOfSize(std::size_t size) {
  Bytes file = RandomBytes(size - kSerTrailer, static_cast<uint32_t>(size));
  const Bytes trailer = SerSample().Frames(0).Trailer();
  file.insert(file.end(), trailer.begin(), trailer.end());
  return file;
}

class SaveToLocalTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    servers_ = new RemoteServers;
    for (std::size_t size : kSizes) servers_->Publish(Name(size), SerFileOfSize(size));
    big_ = new Se1Sample;
    Se1Frame f;
    f.width = 320;
    f.height = 240;
    f.padding = 50'000;
    big_->AddFrames(60, f);  // about 4 MB
    big_->Write(servers_->root.File("big.se1"));
  }
  static void TearDownTestSuite() {
    delete big_;
    delete servers_;
  }
  static std::string Name(std::size_t size) { return "s" + std::to_string(size) + ".ser"; }

  std::vector<std::string> Urls(const std::string& file) const {
    return {servers_->root.File(file), servers_->nginx.HttpUrl(file), servers_->ftp.Url(file)};
  }

  static constexpr std::size_t kSizes[] = {100, 65536, 65537};
  static RemoteServers* servers_;
  static Se1Sample* big_;
  TempDir out_;
};
RemoteServers* SaveToLocalTest::servers_ = nullptr;
Se1Sample* SaveToLocalTest::big_ = nullptr;

TEST_F(SaveToLocalTest, CopiesEverySourceByteForByte) {
  for (std::size_t size : kSizes)
    for (const std::string& url : Urls(Name(size))) {
      SCOPED_TRACE(url);
      Decoder d;
      ASSERT_EQ(d.Open(url), 1);
      const std::string dest = out_.File("copy");
      ASSERT_EQ(Ser_SaveToLocal(d.handle(), dest.c_str(), 12345), 1);
      EXPECT_EQ(ReadFile(dest), SerFileOfSize(size));
    }
}

TEST_F(SaveToLocalTest, CopiesAMultiMegabyteSequenceAndKeepsTheCurrentFrame) {
  const Bytes file = big_->Build();
  for (const std::string& url : Urls("big.se1")) {
    SCOPED_TRACE(url);
    Decoder d;
    ASSERT_EQ(d.Open(url), 1);
    for (int i = 0; i < 7; ++i) ASSERT_EQ(Ser_MoveCurrentFrameNo(d.handle(), 1), 1);
    const DecoderState before(d.obj());
    const std::string dest = out_.File("big");
    WriteFile(dest, RandomBytes(file.size() + 100'000, 5));  // longer: must be replaced, not kept
    ASSERT_EQ(Ser_SaveToLocal(d.handle(), dest.c_str(), 0), 1);
    EXPECT_EQ(ReadFile(dest), file);
    EXPECT_EQ(DecoderState(d.obj()), before);
    // Reads go on from the current frame, the ftp stream included.
    ASSERT_EQ(Ser_MoveCurrentFrameNo(d.handle(), 1), 1);
    EXPECT_EQ(d.Pos(), big_->Positions()[8]);
    Bytes data(big_->FrameData(8).size());
    ASSERT_TRUE(d.obj().ReadSource(d.Pos() + kSubHeadSize, data.data(), data.size()));
    EXPECT_EQ(data, big_->FrameData(8));
  }
}

TEST_F(SaveToLocalTest, FailsWhereNothingCanBeWrittenOrRead) {
  Decoder d;
  ASSERT_EQ(d.Open(servers_->nginx.HttpUrl(Name(65537))), 1);
  EXPECT_EQ(Ser_SaveToLocal(d.handle(), out_.File("no/such/dir/copy").c_str(), 0), 0);
  EXPECT_EQ(Ser_SaveToLocal(d.handle(), out_.path().c_str(), 0), 0);  // a directory
  EXPECT_EQ(Ser_SaveToLocal(d.handle(), nullptr, 0), 0);

  // No source held: an existing file at the path stays as it was.
  const std::string dest = out_.File("kept");
  WriteFile(dest, Bytes{1, 2, 3});
  ASSERT_EQ(Ser_SetSerFileFtp(d.handle(), "", "", "", 0), 1);
  EXPECT_EQ(Ser_SaveToLocal(d.handle(), dest.c_str(), 0), 0);
  Decoder fresh;
  EXPECT_EQ(Ser_SaveToLocal(fresh.handle(), dest.c_str(), 0), 0);
  EXPECT_EQ(ReadFile(dest), (Bytes{1, 2, 3}));
}

TEST_F(SaveToLocalTest, RefusesToSaveALocalSourceOntoItself) {
  const std::string path = out_.File("self.ser");
  WriteFile(path, SerFileOfSize(65537));
  Decoder d;
  ASSERT_EQ(d.Open(path), 1);
  EXPECT_EQ(Ser_SaveToLocal(d.handle(), path.c_str(), 0), 0);
  EXPECT_EQ(ReadFile(path), SerFileOfSize(65537));
}

TEST_F(SaveToLocalTest, ALocalSourceThatShrankIsNotReportedAsCopied) {
  const std::string path = out_.File("shrinks.ser");
  WriteFile(path, SerFileOfSize(65537));
  Decoder d;
  ASSERT_EQ(d.Open(path), 1);
  std::filesystem::resize_file(path, 70'000 - 65537 + 1000);
  EXPECT_EQ(Ser_SaveToLocal(d.handle(), out_.File("copy").c_str(), 0), 0);
}

}  // namespace
}  // namespace vialto::test
