#include "Picture.h"

#include <algorithm>

#include "Args.h"
#include "vialto/vialto.h"

namespace vialto::cli {

Picture Picture::Rgb(int width, int height) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  picture.channels = 3;
  picture.pixels.assign(static_cast<size_t>(width) * height * 3, 0);
  return picture;
}

void SwapAndFlip(uint8_t* pixels, int width, int height) {
  ImageSwapRGB(pixels, static_cast<unsigned>(width), static_cast<unsigned>(height));
  ImageFlip(pixels, pixels, width, height, 1);
}

Bitmap ToBitmap(const Picture& picture) {
  const Picture rgb = picture.channels == 3 ? picture : WidenToRgb(picture);
  Bitmap bitmap{rgb.width, rgb.height, rgb.pixels};
  SwapAndFlip(bitmap.pixels.data(), bitmap.width, bitmap.height);
  return bitmap;
}

Picture FromBitmap(const Bitmap& bitmap) {
  Picture picture{bitmap.width, bitmap.height, 3, bitmap.pixels};
  SwapAndFlip(picture.pixels.data(), picture.width, picture.height);
  return picture;
}

Picture WidenToRgb(const Picture& picture) {
  if (picture.channels == 3) return picture;
  Picture rgb = Picture::Rgb(picture.width, picture.height);
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    std::fill_n(&rgb.pixels[i * 3], 3, picture.pixels[i]);
  }
  return rgb;
}

void ToYuv422Planes(const uint8_t* pixels, int width, int height, int channels, uint8_t* out) {
  const size_t n = static_cast<size_t>(width) * height;
  if (channels == 1) {
    std::copy_n(pixels, n, out);
    std::fill_n(out + n, n, uint8_t{128});
    return;
  }
  // Zeroed: with an odd width the converter leaves the last bytes of each plane as they were.
  std::fill_n(out, n * 2, uint8_t{0});
  RGBToYUV422Plane(pixels, out, width, height);
}

Picture ToGrey(const Picture& picture) {
  if (picture.channels == 1) return picture;
  Picture grey{picture.width, picture.height, 1, {}};
  grey.pixels.assign(static_cast<size_t>(picture.width) * picture.height, 0);
  RGBToGray(picture.pixels.data(), grey.pixels.data(), picture.width, picture.height);
  return grey;
}

Picture Resize(const Picture& picture, int width, int height) {
  if (picture.width == width && picture.height == height) return picture;
  if (picture.width < 1 || picture.height < 2) {
    throw CommandError("picture of " + std::to_string(picture.width) + " x " +
                       std::to_string(picture.height) + " is too small to scale");
  }
  Picture out{width, height, picture.channels, {}};
  out.pixels.assign(static_cast<size_t>(width) * height * picture.channels, 0);
  const int mode = picture.channels == 3 ? 3 : 0;
  if (ImageResize(out.pixels.data(), picture.pixels.data(), picture.width, picture.height, width,
                  height, mode, 0) != 1) {
    throw CommandError("the library could not scale a " + std::to_string(picture.width) + " x " +
                       std::to_string(picture.height) + " picture to " + std::to_string(width) +
                       " x " + std::to_string(height) + " (ImageResize failed)");
  }
  return out;
}

Picture FitInto(const Picture& picture, int width, int height) {
  const Picture rgb = WidenToRgb(picture);
  // Largest size of the picture's aspect that fits; the library needs at least 4 x 4.
  int fitWidth = width;
  int fitHeight = static_cast<int>(static_cast<int64_t>(rgb.height) * width / rgb.width);
  if (fitHeight > height) {
    fitHeight = height;
    fitWidth = static_cast<int>(static_cast<int64_t>(rgb.width) * height / rgb.height);
  }
  fitWidth = std::max(fitWidth, 4);
  fitHeight = std::max(fitHeight, 4);
  const Picture scaled = Resize(rgb, fitWidth, fitHeight);
  Picture cell = Picture::Rgb(width, height);
  std::fill(cell.pixels.begin(), cell.pixels.end(), uint8_t{24});
  const int left = (width - fitWidth) / 2;
  const int top = (height - fitHeight) / 2;
  for (int y = 0; y < fitHeight; ++y) {
    std::copy_n(&scaled.pixels[static_cast<size_t>(y) * scaled.RowBytes()], scaled.RowBytes(),
                &cell.pixels[(static_cast<size_t>(top + y) * width + left) * 3]);
  }
  return cell;
}

}  // namespace vialto::cli
