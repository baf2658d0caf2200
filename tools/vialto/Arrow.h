// Red arrows on bitmap-order pictures, through the library's arrow routine (PasteToImgX).
//
// The library places a tile by its own rule: the base tile moves on by one for a point more
// than a tile width from the left and by two for one more than a tile height from the bottom,
// and the tile's corner is put at the point or a tile back from it. Only base tile 0 then lands
// an arrowhead near the point. The tool instead measures where each diagonal arrow's tip lies
// in the library's own picture and puts that tip on the point, choosing the direction whose
// arrow has the most room in the picture.
#pragma once
#include <string>

#include "Picture.h"

namespace vialto::cli {

// Draws a diagonal arrow whose tip is on (x, y), y from the top of the picture. Returns false,
// with the reason in `why`, when the point lies outside the picture or no arrow's head fits.
bool PointArrowAt(Bitmap& bitmap, int x, int y, std::string* why);

// The library's own placement: PasteToImgX with the base tile as given (0..7) at (x, y), y from
// the top. Returns false, with the reason, when that draws nothing.
bool PasteArrowTile(Bitmap& bitmap, int x, int y, int tile, std::string* why);

}  // namespace vialto::cli
