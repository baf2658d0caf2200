// CArrowOverlay: the process-wide direction-arrow picture, built at load, freed at unload.
#pragma once
#include <cstdint>

class CArrowOverlay {
 public:
  CArrowOverlay();
  virtual ~CArrowOverlay();
  CArrowOverlay(const CArrowOverlay&) = delete;
  CArrowOverlay& operator=(const CArrowOverlay&) = delete;

  int LoadPicture();
  int PasteTile(unsigned char* image, int width, int height, int x, int y, int tile) const;

  const unsigned char* Pixels() const { return m_pPixels; }
  int Width() const { return m_nWidth; }
  int Height() const { return m_nHeight; }

 private:
  unsigned char* m_pPixels = nullptr;
  int32_t m_nWidth = 0;
  int32_t m_nHeight = 0;
};

// The single instance, constructed while the library loads.
const CArrowOverlay& TheArrowOverlay();
