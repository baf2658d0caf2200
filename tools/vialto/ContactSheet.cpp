#include "ContactSheet.h"

#include <algorithm>

#include "Args.h"
#include "Overlay.h"

namespace vialto::cli {
namespace {

constexpr int kGap = 8;
constexpr int kTitleHeight = 36;
constexpr int kCaptionHeight = 20;
constexpr uint8_t kBackground = 40;

}  // namespace

ContactSheet::ContactSheet(int columns, int thumbWidth, int thumbHeight)
    : columns_(columns), thumbWidth_(thumbWidth), thumbHeight_(thumbHeight) {}

void ContactSheet::Add(const Picture& picture, const std::string& caption) {
  thumbs_.push_back(FitInto(picture, thumbWidth_, thumbHeight_));
  captions_.push_back(caption);
}

Picture ContactSheet::Render(const std::string& title) const {
  if (thumbs_.empty()) throw CommandError("no frames for the contact sheet");
  const int rows = (Count() + columns_ - 1) / columns_;
  const int cellHeight = thumbHeight_ + kCaptionHeight;
  // The text routine wants a width that is a multiple of 4.
  const int width = (columns_ * thumbWidth_ + (columns_ + 1) * kGap + 3) / 4 * 4;
  const int height = kTitleHeight + rows * (cellHeight + kGap) + kGap;
  Picture sheet = Picture::Rgb(width, height);
  std::fill(sheet.pixels.begin(), sheet.pixels.end(), kBackground);
  auto cellLeft = [&](int i) { return kGap + (i % columns_) * (thumbWidth_ + kGap); };
  auto cellTop = [&](int i) { return kTitleHeight + (i / columns_) * (cellHeight + kGap); };
  for (int i = 0; i < Count(); ++i) {
    const Picture& thumb = thumbs_[static_cast<size_t>(i)];
    for (int y = 0; y < thumb.height; ++y) {
      std::copy_n(&thumb.pixels[static_cast<size_t>(y) * thumb.RowBytes()], thumb.RowBytes(),
                  &sheet.pixels[(static_cast<size_t>(cellTop(i) + y) * width + cellLeft(i)) * 3]);
    }
  }
  Bitmap bitmap = ToBitmap(sheet);
  TextStyle titleStyle;
  titleStyle.sizePx = 20;
  titleStyle.bold = true;
  DrawText(bitmap, kGap, 8, title, titleStyle);
  TextStyle captionStyle;
  captionStyle.sizePx = 13;
  captionStyle.colour = 0xD0D0D0;
  for (int i = 0; i < Count(); ++i) {
    DrawText(bitmap, cellLeft(i) + 2, cellTop(i) + thumbHeight_ + 3,
             captions_[static_cast<size_t>(i)], captionStyle);
  }
  return FromBitmap(bitmap);
}

}  // namespace vialto::cli
