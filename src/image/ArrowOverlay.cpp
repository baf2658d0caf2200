// Placeholder picture until the arrow overlay lands: the object is built at load and freed at
// unload, and draws nothing.
#include "image/ArrowOverlay.h"

#include <cstdlib>

#include "vialto/vialto.h"

namespace {
const CArrowOverlay g_arrowOverlay;
}

CArrowOverlay::CArrowOverlay() { LoadPicture(); }
CArrowOverlay::~CArrowOverlay() { std::free(m_pPixels); }
int CArrowOverlay::LoadPicture() { return 1; }
int CArrowOverlay::PasteTile(unsigned char*, int, int, int, int, int) const { return 1; }

const CArrowOverlay& TheArrowOverlay() { return g_arrowOverlay; }

extern "C" VIALTO_API int VIALTO_CALL PasteToImgX(unsigned char* image, int width, int height, int x,
                                                  int y, int tile) {
  return TheArrowOverlay().PasteTile(image, width, height, x, y, tile);
}
