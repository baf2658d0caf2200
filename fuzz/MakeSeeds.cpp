// Writes the seed corpora of the fuzz targets: small but real sequences and JPEG streams.
// Usage: vialto_fuzz_seeds <fuzz/corpus dir>
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/SampleBuilder.h"
#include "support/TestUtil.h"

namespace fs = std::filesystem;
using vialto::test::Bytes;

namespace {

void Put(const fs::path& dir, const std::string& name, const Bytes& bytes) {
  fs::create_directories(dir);
  vialto::test::WriteFile((dir / name).string(), bytes);
}

// The sequence target's input: a 24-byte operation script, then the file.
Bytes WithScript(const Bytes& file, uint8_t salt) {
  Bytes out;
  for (int i = 0; i < 24; ++i) out.push_back(static_cast<uint8_t>(i * 37 + salt));
  out.insert(out.end(), file.begin(), file.end());
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
    return 2;
  }
  const fs::path corpus = argv[1];
  using vialto::test::Se1Frame;
  using vialto::test::Se1Sample;

  Se1Frame small;
  small.width = 16;
  small.height = 8;
  Se1Sample plain;
  plain.AddFrames(3, small);
  Put(corpus / "sequence", "se1-jpg", WithScript(plain.Build(), 1));
  Se1Sample mixed;
  mixed.AddFrame(small);
  small.codec = "JPE";
  small.greyPicture = true;
  mixed.AddFrame(small);
  small.codec = "PNG";
  mixed.AddFrame(small).HeadLength(192);
  Put(corpus / "sequence", "se1-mixed", WithScript(mixed.Build(), 2));

  // A "ser" file cut down to its trailer and a little data: its frames are missing.
  for (int mode : {1, 2}) {
    vialto::test::SerSample ser;
    ser.Frames(2).Modes(static_cast<uint8_t>(mode), static_cast<uint8_t>(mode));
    Bytes file(1500, static_cast<uint8_t>(0x40 * mode));
    const Bytes trailer = ser.Trailer();
    file.insert(file.end(), trailer.begin(), trailer.end());
    Put(corpus / "sequence", "ser-mode" + std::to_string(mode), WithScript(file, 3));
  }

  const Bytes colour = Se1Sample::Picture(0, 24, 16, false);
  const Bytes grey = Se1Sample::Picture(1, 24, 16, true);
  Put(corpus / "jpeg", "colour", Se1Sample::EncodeJpeg(colour, 24, 16, false, 85));
  Put(corpus / "jpeg", "grey", Se1Sample::EncodeJpeg(grey, 24, 16, true, 60));
  const Bytes progressive = Se1Sample::EncodeJpeg(colour, 24, 16, false, 70, true);
  Put(corpus / "jpeg", "progressive", progressive);
  // The same stream with a frame header claiming 8000 x 8000: a start for headers that lie.
  Bytes claiming = progressive;
  for (std::size_t i = 0; i + 8 < claiming.size(); ++i)
    if (claiming[i] == 0xFF && claiming[i + 1] == 0xC2) {
      for (std::size_t k : {i + 5, i + 7}) claiming[k] = 8000 >> 8, claiming[k + 1] = 8000 & 0xFF;
      break;
    }
  Put(corpus / "jpeg", "claims-8000x8000", claiming);
  Put(corpus / "image", "seed0", vialto::test::RandomBytes(64, 11));
  Put(corpus / "image", "seed1", vialto::test::RandomBytes(300, 12));
  Put(corpus / "image", "seed2", vialto::test::RandomBytes(900, 13));
  return 0;
}
