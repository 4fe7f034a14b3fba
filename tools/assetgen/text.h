// text.h — lettering for the logos, rendered from the shipped TrueType files.
//
// Text is turned into coverage masks, so it is filled, outlined and shadowed
// with the same tools as every other shape. Strings hold Latin-1 bytes.
#pragma once

#include <string>

#include "tools/assetgen/raster.h"

namespace assetgen {

struct Typeface;  // one loaded font file

// Loads a TrueType file; Fail()s when it is missing or unreadable.
Typeface* LoadTypeface(const std::string& path);

// Advance width in pixels of the text at this pixel size, with extra spacing
// between letters (tracking, in pixels).
double TextWidth(Typeface* face, double px, const std::string& text, double tracking = 0);

// Adds the text's coverage into the mask (keeping the larger value where
// letters overlap). (x, baseline) is the left end of the base line; rotDeg
// turns each letter about its own base-line centre, clockwise.
void DrawText(Mask& m, Typeface* face, double px, const std::string& text, double x, double baseline,
              double tracking = 0, double rotDeg = 0);

// Height above the base line of capital letters at this size, in pixels.
double CapHeight(Typeface* face, double px);

}  // namespace assetgen
