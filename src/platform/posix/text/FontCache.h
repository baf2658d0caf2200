// The calling thread's fonts: a FreeType library, the faces opened so far and the sized
// instances made from them, each list bounded. Internal to the text service.
#pragma once
#include <ft2build.h>
#include FT_FREETYPE_H

#include <memory>
#include <optional>
#include <string>

#include "platform/posix/text/FontInstance.h"
#include "platform/text/FontRequest.h"
#include "platform/text/SmallLru.h"
#include "platform/text/TextOutput.h"

namespace vialto::platform::text {

class ThreadFontCache {
 public:
  static ThreadFontCache& ForThisThread();

  ThreadFontCache();
  ~ThreadFontCache();
  ThreadFontCache(const ThreadFontCache&) = delete;
  ThreadFontCache& operator=(const ThreadFontCache&) = delete;

  std::optional<FontMatch> Match(const FontRequest& request);
  // Null when no usable font is installed. Valid until the next call on this thread.
  FontInstance* Instance(const FontRequest& request);

 private:
  struct FaceKey {
    std::string file;
    int index = 0;
    bool operator==(const FaceKey&) const = default;
  };

  std::optional<FontMatch> FindWithSynthesis(const FontRequest& request);
  std::shared_ptr<FaceHandle> Face(const FontMatch& match);

  // Released by the destructor after the instances and faces made from it.
  FT_Library library_ = nullptr;
  SmallLru<FontRequest, std::optional<FontMatch>, 16> matches_;
  SmallLru<FaceKey, std::shared_ptr<FaceHandle>, 8> faces_;
  SmallLru<FontRequest, std::unique_ptr<FontInstance>, 8> instances_;
};

}  // namespace vialto::platform::text
