#include <gtest/gtest.h>
#include <sys/stat.h>
#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/LocalFile.h"
#include "seq/DecoderFixture.h"
#include "support/SampleBuilder.h"

namespace {

using namespace vialto::test;
namespace seq = vialto::seq;
namespace fs = std::filesystem;

Bytes WithSignatures(std::size_t size, const char* head, const char* trailer) {
  Bytes b(size, 0x55);
  if (head) std::memcpy(b.data(), head, 3);
  if (trailer) std::memcpy(b.data() + size - 54, trailer, 3);
  return b;
}

TEST(OpenTypeRecognition, TrailerDecidesSerInAnyCase) {
  TempDir dir;
  for (const char* sign : {"ser", "SER", "sEr"}) {
    SerSample sample;
    sample.Frames(2).Signature(sign).Write(dir.File("a.ser"));
    Decoder d;
    ASSERT_EQ(d.Open(dir.File("a.ser")), 1) << sign;
    EXPECT_EQ(Ser_GetSerFileType(d.handle()), seq::kSerFile);
    EXPECT_EQ(d.FrameNo(), 0);
    EXPECT_EQ(d.Pos(), 0);
    EXPECT_EQ(d.obj().m_bOpen, 1);
    EXPECT_EQ(d.obj().m_nFileLength, sample.FileLength());
    EXPECT_EQ(d.obj().m_SerInfo.wFrameCount, 2);
    // "ser" files have no sub-headers: the open leaves the file's first 64 bytes there.
    unsigned char sub[64];
    EXPECT_EQ(Ser_GetCurrentSubHeadInfo(d.handle(), sub), 64);
    const Bytes first = sample.FrameBytes(0);
    EXPECT_EQ(Bytes(sub, sub + 64), Bytes(first.begin(), first.begin() + 64));
  }
}

TEST(OpenTypeRecognition, TrailerComesBeforeTheHead) {
  TempDir dir;
  WriteFile(dir.File("both"), WithSignatures(300, "se1", "ser"));
  Decoder d;
  EXPECT_EQ(d.Open(dir.File("both")), 1);
  EXPECT_EQ(Ser_GetSerFileType(d.handle()), seq::kSerFile);
}

TEST(OpenTypeRecognition, HeadDecidesSe1InAnyCase) {
  TempDir dir;
  Se1Sample sample;
  sample.AddFrames(3).HeadLength(200).Signature("SE1");
  sample.Write(dir.File("x.se1"));
  Decoder d;
  ASSERT_EQ(d.Open(dir.File("x.se1")), 1);
  EXPECT_EQ(Ser_GetSerFileType(d.handle()), seq::kSe1File);
  EXPECT_EQ(d.FrameNo(), 0);
  EXPECT_EQ(d.Pos(), 200);
  EXPECT_EQ(d.SubHead().nFrameNo, 0);
  EXPECT_EQ(d.SubHead().nFrameLen, sample.Lengths()[0]);
  EXPECT_EQ(Bytes(d.obj().m_SubHeadBuf, d.obj().m_SubHeadBuf + 64), sample.SubHead(0));
}

TEST(OpenTypeRecognition, UnrecognisedAndTooShortFiles) {
  TempDir dir;
  struct Case {
    const char* what;
    Bytes bytes;
    int result;
  } cases[] = {
      {"54 bytes with a ser trailer", WithSignatures(54, nullptr, "ser"), 0},
      {"55 bytes with a ser trailer", WithSignatures(55, nullptr, "ser"), 1},
      {"neither signature", WithSignatures(500, "abc", "xyz"), -1},
      {"se1 trailer only", WithSignatures(500, "abc", "se1"), -1},
      {"empty", Bytes{}, 0},
  };
  for (const Case& c : cases) {
    WriteFile(dir.File("f"), c.bytes);
    Decoder d;
    EXPECT_EQ(d.Open(dir.File("f")), c.result) << c.what;
    if (c.result == 1) continue;
    EXPECT_EQ(d.obj().m_bOpen, 0) << c.what;
    EXPECT_EQ(d.obj().m_pFile, nullptr) << c.what;
    EXPECT_EQ(Ser_GetSerFileType(d.handle()), -1) << c.what;
    EXPECT_EQ(d.FrameNo(), -1) << c.what;
    EXPECT_EQ(d.obj().m_nFileLength, static_cast<int64_t>(c.bytes.size())) << c.what;
  }
}

TEST(OpenNames, MissingEmptyDirectoryAndTooLongNamesFail) {
  TempDir dir;
  SerSample().Write(dir.File("ok.ser"));
  Decoder d;
  for (const std::string& name : {dir.File("missing.ser"), std::string(), dir.path().string()}) {
    ASSERT_EQ(d.Open(dir.File("ok.ser")), 1);
    EXPECT_EQ(d.Open(name), 0) << name;
    EXPECT_EQ(d.obj().m_bOpen, 0);
    EXPECT_EQ(d.obj().m_pFile, nullptr);  // the first file's source was released
    EXPECT_EQ(d.FrameNo(), -1);
  }
  // 249 characters fit the name field, 250 do not.
  const std::size_t room = 249 - dir.File("").size();
  const std::string fits = dir.File(std::string(room - 4, 'n') + ".ser");
  ASSERT_EQ(fits.size(), 249u);
  SerSample().Write(fits);
  const std::string tooLong = dir.File(std::string(room - 3, 'n') + ".ser");
  SerSample().Write(tooLong);
  EXPECT_EQ(d.Open(fits), 1);
  EXPECT_STREQ(d.obj().m_szFileName, fits.c_str());
  EXPECT_EQ(d.Open(tooLong), 0);
  EXPECT_EQ(d.obj().m_pFile, nullptr);
  EXPECT_EQ(Ser_GetSerFileType(d.handle()), -1);
}

TEST(OpenNames, KindComesFromTheScheme) {
  TempDir dir;
  fs::create_directories(dir.path() / "home");
  Se1Sample().AddFrames(1).Write(dir.File("frames.se1"));
  SerSample().Write(dir.File("home/cam1.ser"));
  const fs::path before = fs::current_path();
  fs::current_path(dir.path());
  Decoder d;
  EXPECT_EQ(d.Open("frames.se1"), 1);
  EXPECT_EQ(d.obj().m_nSourceKind, seq::kLocal);
  EXPECT_EQ(d.Open("home/cam1.ser"), 1);
  EXPECT_EQ(d.obj().m_nSourceKind, seq::kLocal);
  fs::current_path(before);
  // The session of this build cannot reach anything; the kind is still chosen from the scheme.
  const std::pair<const char*, int> urls[] = {{"http://127.0.0.1:9/a.se1", seq::kHttp},
                                              {"HTTPS://127.0.0.1:9/a.se1", seq::kHttp},
                                              {"Ftp://127.0.0.1:9/a.se1", seq::kFtp},
                                              {"http:/127.0.0.1/a.se1", seq::kLocal}};
  for (const auto& [url, kind] : urls) {
    EXPECT_EQ(d.Open(url), 0) << url;
    EXPECT_EQ(d.obj().m_nSourceKind, kind) << url;
    EXPECT_EQ(d.obj().m_bOpen, 0);
  }
}

TEST(FileInfo, CopiesAtMost128BytesAndReportsTheType) {
  TempDir dir;
  Decoder d;
  unsigned char out[200];
  std::memset(out, 0xAB, sizeof out);
  EXPECT_EQ(Ser_GetSerFileInfo(d.handle(), out, 0), -1);  // never opened

  SerSample ser;
  ser.Frames(1).Write(dir.File("a.ser"));
  ASSERT_EQ(d.Open(dir.File("a.ser")), 1);
  EXPECT_EQ(Ser_GetSerFileInfo(d.handle(), out, -5), 54);
  EXPECT_EQ(out[0], 0xAB);  // nothing copied for len <= 0
  EXPECT_EQ(Ser_GetSerFileInfo(d.handle(), out, 54), 54);
  EXPECT_EQ(Bytes(out, out + 54), ser.Trailer());
  EXPECT_EQ(out[54], 0xAB);

  Se1Sample se1;
  se1.AddFrames(2).HeadLength(300);
  se1.Head().wVal45 = 0x1234;
  se1.Write(dir.File("b.se1"));
  ASSERT_EQ(d.Open(dir.File("b.se1")), 1);
  EXPECT_EQ(Ser_GetSerFileInfo(d.handle(), out, 1000), 300);
  const Bytes headBytes = se1.HeadBytes();
  EXPECT_EQ(Bytes(out, out + 128), Bytes(headBytes.begin(), headBytes.begin() + 128));
  EXPECT_EQ(out[128], 0xAB);
  SerHeadInfo head;
  Ser_BufToSerHeadInfo(out, &head);
  EXPECT_EQ(head.wVal45, 0x1234);
  EXPECT_EQ(head.info.wFrameCount, 2);
}

TEST(FtpSettings, CutsTextsAndReleasesTheSource) {
  TempDir dir;
  Se1Sample().AddFrames(2).Write(dir.File("a.se1"));
  Decoder d;
  ASSERT_EQ(d.Open(dir.File("a.se1")), 1);
  const std::string long1(100, 'a'), long2(40, 'b'), long3(40, 'c');
  EXPECT_EQ(Ser_SetSerFileFtp(d.handle(), long1.c_str(), long2.c_str(), long3.c_str(), 21), 1);
  EXPECT_EQ(std::string(d.obj().m_szFtpText1), long1.substr(0, 63));
  EXPECT_EQ(std::string(d.obj().m_szFtpText2), long2.substr(0, 31));
  EXPECT_EQ(std::string(d.obj().m_szFtpText3), long3.substr(0, 31));
  EXPECT_EQ(d.obj().m_nFtpValue, 21);
  EXPECT_EQ(d.obj().m_nSourceKind, seq::kHttp);
  EXPECT_EQ(d.obj().m_pFile, nullptr);
  EXPECT_EQ(d.obj().m_bOpen, 0);
  EXPECT_EQ(Ser_GetSerFileType(d.handle()), seq::kSe1File);  // type and position are kept
  EXPECT_EQ(Ser_MoveFirst(d.handle()), 0);                   // but nothing can be read

  ASSERT_EQ(d.Open(dir.File("a.se1")), 1);
  EXPECT_EQ(Ser_SetSerFileFtp(d.handle(), "", "x", "y", 5), 1);
  EXPECT_EQ(d.obj().m_nSourceKind, seq::kLocal);
  EXPECT_EQ(d.obj().m_nFtpValue, 21);  // unchanged
  EXPECT_EQ(d.obj().m_pFile, nullptr);
}

TEST(SourceAccess, ReadSourceZeroFillsAndRefusesNegativePositions) {
  TempDir dir;
  const Bytes bytes = WithSignatures(100, nullptr, "ser");
  WriteFile(dir.File("a"), bytes);
  Decoder d;
  ASSERT_EQ(d.Open(dir.File("a")), 1);
  unsigned char buf[32];
  std::size_t got = 99;
  std::memset(buf, 0xEE, sizeof buf);
  ASSERT_TRUE(d.obj().ReadSource(90, buf, sizeof buf, &got));
  EXPECT_EQ(got, 10u);
  EXPECT_EQ(Bytes(buf, buf + 10), Bytes(bytes.end() - 10, bytes.end()));
  EXPECT_EQ(Bytes(buf + 10, buf + 32), Bytes(22, 0));
  ASSERT_TRUE(d.obj().ReadSource(5000, buf, sizeof buf, &got));
  EXPECT_EQ(got, 0u);
  std::memset(buf, 0xEE, sizeof buf);
  EXPECT_FALSE(d.obj().ReadSource(-1, buf, sizeof buf, &got));
  EXPECT_EQ(buf[0], 0xEE);
  EXPECT_EQ(d.obj().m_bOpen, 1);
  // A sub-header read past the end comes back as zeros.
  unsigned char sub[64];
  std::memset(sub, 0xEE, sizeof sub);
  d.obj().m_nCurFramePos = 1 << 20;
  EXPECT_EQ(d.obj().ReadSubHead(sub), 64);
  EXPECT_EQ(Bytes(sub, sub + 64), Bytes(64, 0));
}

TEST(SourceAccess, FileDeletedOrReplacedByADirectoryClosesTheDecoder) {
  for (const bool replaceWithDirectory : {false, true}) {
    TempDir dir;
    const std::string path = dir.File("a.se1");
    Se1Sample().AddFrames(4).Write(path);
    Decoder d;
    ASSERT_EQ(d.Open(path), 1);
    ASSERT_EQ(Ser_MoveCurrentFrameNo(d.handle(), 1), 1);
    fs::remove(path);
    if (replaceWithDirectory) fs::create_directory(path);
    const DecoderState before(d.obj());
    EXPECT_EQ(Ser_MoveCurrentFrameNo(d.handle(), 1), 0);
    EXPECT_EQ(d.obj().m_bOpen, 0);
    EXPECT_EQ(d.FrameNo(), 1);
    EXPECT_EQ(d.Pos(), before.framePos);
    EXPECT_EQ(Ser_MoveTo(d.handle(), 3), 0);
    EXPECT_EQ(Ser_MoveFirst(d.handle()), 0);
    EXPECT_EQ(Ser_MoveEnd(d.handle()), 0);
    unsigned char buf[8];
    EXPECT_FALSE(d.obj().ReadSource(0, buf, sizeof buf));
    // A fresh file under the same name does not revive the decoder; a new open does.
    if (replaceWithDirectory) fs::remove(path);
    Se1Sample().AddFrames(4).Write(path);
    EXPECT_EQ(Ser_MoveCurrentFrameNo(d.handle(), 1), 0);
    EXPECT_EQ(d.Open(path), 1);
    EXPECT_EQ(Ser_MoveCurrentFrameNo(d.handle(), 1), 1);
  }
}

TEST(SourceAccess, RemoteFailuresBecomeZeroResults) {
  TempDir dir;
  Se1Sample sample;
  sample.AddFrames(6);
  sample.Write(dir.File("a.se1"));
  Decoder d;
  ASSERT_EQ(d.Open(dir.File("a.se1")), 1);
  MemorySource* remote = ServeRemotely(d.obj(), sample.Build(), seq::kHttp);
  remote->fail = [](int64_t, std::size_t) { return true; };
  const DecoderState before(d.obj());
  EXPECT_EQ(Ser_MoveCurrentFrameNo(d.handle(), 1), 0);
  EXPECT_EQ(Ser_MoveTo(d.handle(), 4), 0);
  EXPECT_EQ(Ser_MoveEnd(d.handle()), 0);
  EXPECT_EQ(d.obj().ReadSubHead(nullptr), 0);
  EXPECT_TRUE(DecoderState(d.obj()) == before);  // m_bOpen stays 1 as well
  remote->fail = nullptr;
  EXPECT_EQ(Ser_MoveCurrentFrameNo(d.handle(), 1), 1);
}

TEST(LocalSource, RefusesDirectoriesAndReadsWithPread) {
  TempDir dir;
  EXPECT_EQ(vialto::platform::LocalSource::Open(dir.path().string()), nullptr);
  EXPECT_EQ(vialto::platform::LocalSource::Open(dir.File("none")), nullptr);
  const Bytes bytes = RandomBytes(1000, 3);
  WriteFile(dir.File("f"), bytes);
  auto source = vialto::platform::LocalSource::Open(dir.File("f"));
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(source->Length(), 1000);
  // The length is measured once; the file may grow behind it and reads see the new bytes.
  Bytes longer = bytes;
  longer.resize(1500, 7);
  WriteFile(dir.File("f"), longer);
  EXPECT_EQ(source->Length(), 1000);
  unsigned char buf[600];
  std::size_t got = 0;
  ASSERT_TRUE(source->ReadAt(999, buf, sizeof buf, &got));
  EXPECT_EQ(got, 501u);
  EXPECT_EQ(buf[0], bytes[999]);
  EXPECT_EQ(buf[1], 7);
  EXPECT_FALSE(source->ReadAt(-4, buf, 4, &got));
  fs::remove(dir.File("f"));
  EXPECT_FALSE(source->ReadAt(0, buf, 4, &got));
#if !defined(_WIN32)  // named pipes live in the file system only on POSIX
  // A pipe in the file's place neither blocks nor reads.
  ASSERT_EQ(::mkfifo(dir.File("f").c_str(), 0600), 0);
  EXPECT_FALSE(source->ReadAt(0, buf, 4, &got));
  EXPECT_EQ(vialto::platform::LocalSource::Open(dir.File("f")), nullptr);
#endif
}

}  // namespace
