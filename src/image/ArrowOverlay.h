// CArrowOverlay: the process-wide direction-arrow picture, built at load, freed at unload.
// Eight square tiles stacked in storage order, pixels blue, green, red; (0, 0, 0) is transparent.
#pragma once
#include <cstdint>

class CArrowOverlay {
 public:
  // Loads the built-in picture and, if present, the override file beside the library.
  CArrowOverlay();
  virtual ~CArrowOverlay();
  CArrowOverlay(const CArrowOverlay&) = delete;
  CArrowOverlay& operator=(const CArrowOverlay&) = delete;

  // Copies the built-in pixels, then lets "vialtox.res" overwrite them. Always 1; without a usable
  // built-in picture m_pPixels stays null and every paste draws nothing.
  int LoadPicture();
  // Blends the tile chosen by `tile` and by where (x, y) lies next to that point. Always 1.
  int PasteTile(unsigned char* image, int width, int height, int x, int y, int tile) const;
  // Averages the tile's drawn pixels into the image with the tile's first pixel at (left, top),
  // clipped to the image. 0 if (left, top) lies outside the image, else 1.
  int BlendTile(unsigned char* image, const unsigned char* tilePixels, int width, int height,
                int left, int top) const;

  const unsigned char* Pixels() const { return m_pPixels; }
  int Width() const { return m_nWidth; }
  int Height() const { return m_nHeight; }

 private:
  bool CopyBuiltInPicture();
  void ReadOverrideFile();

  unsigned char* m_pPixels = nullptr;
  int32_t m_nWidth = 0;
  int32_t m_nHeight = 0;
};

// The single instance, constructed while the library loads.
const CArrowOverlay& TheArrowOverlay();
