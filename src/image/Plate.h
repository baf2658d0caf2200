// The plate recognition entry's results: pseudo-random text, rectangle and confidence, drawn from
// the per-thread generator after seeding it.
#pragma once
#include <cstdint>

namespace vialto::image {

// Seeds this thread's generator with `seed`, then draws and stores, in this order: the text
// ("%05d", 6 bytes with the terminator), left, top, width, height and confidence. Each result is
// stored before the next number is drawn.
void FillPlateResults(uint32_t seed, int imageWidth, int imageHeight, char* plateText, int* left,
                      int* top, int* rectWidth, int* rectHeight, int* confidence);

}  // namespace vialto::image
