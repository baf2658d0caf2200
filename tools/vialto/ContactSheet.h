// A grid of thumbnails with a title line and a caption under each, as one picture.
#pragma once
#include <string>
#include <vector>

#include "Picture.h"

namespace vialto::cli {

class ContactSheet {
 public:
  ContactSheet(int columns, int thumbWidth, int thumbHeight);
  // The picture is scaled to fit its cell (ImageResize), keeping its aspect.
  void Add(const Picture& picture, const std::string& caption);
  // The whole sheet, upright RGB24. Throws CommandError when there is nothing on it.
  Picture Render(const std::string& title) const;
  int Count() const { return static_cast<int>(thumbs_.size()); }

 private:
  int columns_;
  int thumbWidth_;
  int thumbHeight_;
  std::vector<Picture> thumbs_;
  std::vector<std::string> captions_;
};

}  // namespace vialto::cli
