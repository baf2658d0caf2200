// The image toolkit with fuzzer-chosen sizes and positions, inside each call's buffer contract:
// every buffer is allocated at exactly the size the call documents.
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzInput.h"
#include "vialto/vialto.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Filled(FuzzInput& in, std::size_t n) {
  Bytes b(n);
  in.Fill(b.data(), n);
  return b;
}

void Conversions(FuzzInput& in) {
  const int w = in.Range(0, 96), h = in.Range(0, 64);
  const std::size_t n = static_cast<std::size_t>(w) * h;
  const Bytes yuv = Filled(in, 2 * n), rgb = Filled(in, 3 * n), grey = Filled(in, n);
  Bytes out3(3 * n), out2(2 * n), out1(n);
  YUV422PlaneToRGB(yuv.data(), out3.data(), w, h);
  YUV422PlaneToRGB_FLOAT(yuv.data(), out3.data(), w, h);
  RGBToYUV422Plane(rgb.data(), out2.data(), w, h);
  RGBToYUV422Plane_FLOAT(rgb.data(), out2.data(), w, h);
  GrayToRGB(grey.data(), out3.data(), w, h);
  RGBToGray(rgb.data(), out1.data(), w, h);
  ImageSwapRGB(out3.data(), static_cast<unsigned>(w), static_cast<unsigned>(h));
}

void Geometry(FuzzInput& in) {
  const int three = in.Byte() & 1;
  const int bpp = three ? 3 : 1;
  const int sw = in.Range(0, 80), sh = in.Range(0, 80);
  const int dw = in.Range(0, 120), dh = in.Range(0, 120);
  const Bytes src = Filled(in, static_cast<std::size_t>(sw) * sh * bpp);
  Bytes dst(static_cast<std::size_t>(dw) * dh * bpp);
  ImageResize(dst.data(), src.data(), sw, sh, dw, dh, three ? 3 : 0, 0);
  Bytes flipped(src.size());
  ImageFlip(flipped.data(), src.data(), sw, sh, three);
  ImageFlip(flipped.data(), flipped.data(), sw, sh, three);
  if (flipped != src) __builtin_trap();  // flipping twice restores the image
  Ser_CopyMemory(flipped.data(), src.data(), static_cast<uint32_t>(src.size()));
}

void Overlays(FuzzInput& in) {
  const int w = in.Range(1, 200), h = in.Range(1, 160);
  Bytes image = Filled(in, static_cast<std::size_t>(w) * h * 3);
  const int x = in.Range(-300, 500), y = in.Range(-300, 500);
  PasteToImgX(image.data(), w, h, x, y, in.Range(-2, 9));
  LOGFONTA font;
  std::memset(&font, 0, sizeof font);
  font.lfHeight = in.Range(-80, 80);
  font.lfWidth = in.Range(0, 40);
  font.lfEscapement = in.Range(-3600, 3600);
  font.lfWeight = in.Range(0, 1000);
  font.lfItalic = in.Byte() & 1;
  font.lfUnderline = in.Byte() & 1;
  font.lfStrikeOut = in.Byte() & 1;
  font.lfQuality = in.Byte() % 6;
  static const char* kFaces[] = {"", "DejaVu Sans", "DejaVu Serif", "DejaVu Sans Mono",
                                 "NoSuchFace"};
  std::strcpy(font.lfFaceName, kFaces[in.Byte() % 5]);
  char text[24] = {};
  for (int i = 0; i < 23; ++i) text[i] = static_cast<char>(in.Byte() | 0x01);
  text[in.Range(0, 23)] = 0;
  const COLORREF back = (in.Byte() & 1) ? static_cast<COLORREF>(-1) : 0x00204060u;
  ImageWriteStringToImg(image.data(), w, h, in.Range(-100, 300), in.Range(-100, 300), text, &font,
                        0x000000FFu, back);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  switch (in.Byte() % 3) {
    case 0:
      Conversions(in);
      break;
    case 1:
      Geometry(in);
      break;
    default:
      Overlays(in);
      break;
  }
  return 0;
}
