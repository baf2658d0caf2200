// Files compiled into the library by the build (see cmake/Embed.cmake).
#pragma once
#include <cstddef>

namespace vialto::embedded {
extern const unsigned char vialto_arrows_bmp[];  // res/arrows.bmp
extern const std::size_t vialto_arrows_bmp_size;
extern const unsigned char vialto_test_dialog[];  // res/TestDialog.txt
extern const std::size_t vialto_test_dialog_size;
}  // namespace vialto::embedded
