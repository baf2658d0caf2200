#include "PageAssets.h"

#include <cstddef>

namespace vialto::embedded {
extern const unsigned char view_index_html[];
extern const std::size_t view_index_html_size;
extern const unsigned char view_viewer_js[];
extern const std::size_t view_viewer_js_size;
extern const unsigned char view_viewer_css[];
extern const std::size_t view_viewer_css_size;
}  // namespace vialto::embedded

namespace vialto::cli::view {
namespace {

std::string_view Bytes(const unsigned char* data, std::size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

struct NamedAsset {
  const char* path;
  PageAsset asset;
};

const NamedAsset kAssets[] = {
    {"/",
     {Bytes(embedded::view_index_html, embedded::view_index_html_size),
      "text/html; charset=utf-8"}},
    {"/viewer.js",
     {Bytes(embedded::view_viewer_js, embedded::view_viewer_js_size),
      "text/javascript; charset=utf-8"}},
    {"/viewer.css",
     {Bytes(embedded::view_viewer_css, embedded::view_viewer_css_size), "text/css; charset=utf-8"}},
};

}  // namespace

const PageAsset* FindPageAsset(const std::string& path) {
  for (const NamedAsset& a : kAssets) {
    if (path == a.path) return &a.asset;
  }
  return nullptr;
}

}  // namespace vialto::cli::view
