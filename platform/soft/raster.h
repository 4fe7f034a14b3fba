// raster.h — the software renderer's polygon filler and pixel arithmetic,
// shared by soft.cpp and its tests.
//
// Coverage: a pixel is drawn when its centre lies inside the polygon, with
// the top-left rule for centres exactly on an edge (inside when the edge is a
// top edge or a left edge), computed exactly on vertices snapped to 1/256
// pixel. Two triangles sharing an edge therefore never both draw, nor both
// miss, a pixel on it, and a convex quad filled as one polygon covers exactly
// the pixels of its two triangles.
#pragma once

#include <cstdint>

namespace plat::soft {

constexpr int SubPixelBits = 8;
constexpr int SubPixel = 1 << SubPixelBits;  // fixed-point units per pixel

struct FixPoint {
    int32_t x, y;  // window pixels × SubPixel
};

// Called once per non-empty row with the half-open pixel range [x0, x1).
using SpanFn = void (*)(const void* ctx, int y, int x0, int x1);
// Called once per run of up to RowRun consecutive rows: row y + i spans
// [spans[2i], spans[2i + 1]), empty when spans[2i] >= spans[2i + 1]. A loop
// that takes a run at a time sets up its draw once, not once per row.
using RowsFn = void (*)(const void* ctx, int y, int rows, const int32_t* spans);
constexpr int RowRun = 64;

// Fills the convex polygon p[0..n) (either winding, n <= 16) clipped to
// [0, width) × [0, height). Zero-area polygons draw nothing.
void FillConvex(const FixPoint* p, int n, int width, int height, SpanFn span, const void* ctx);
// The same restricted to rows [rowBegin, rowEnd): every row gets exactly the
// span the whole fill gives it, so bands filled apart make the whole picture.
void FillConvexRows(const FixPoint* p, int n, int width, int rowBegin, int rowEnd, SpanFn span,
                    const void* ctx);
// The same rows handed over in runs.
void FillConvexRows(const FixPoint* p, int n, int width, int rowBegin, int rowEnd, RowsFn rows,
                    const void* ctx);
// The rows [first, last] a fill of p[0..n) can touch within [0, height);
// false when none.
bool ConvexRows(const FixPoint* p, int n, int height, int* first, int* last);

// True when p[0..3] is a convex quad (collinear corners allowed) of non-zero
// area, i.e. filling it equals filling triangles (0,1,2) and (0,2,3).
bool IsConvexQuad(const FixPoint* p);

// ---------------------------------------------------------------------------
// 8-bit arithmetic: x / 255 rounded to nearest, exact for 0 <= x <= 255 × 255
// ---------------------------------------------------------------------------
// (the form the renderer's four-pixel path uses on 16-bit lanes).
inline uint32_t Div255(uint32_t x) { return ((x + 128) * 257) >> 16; }
// The same on two 16-bit lanes (bits 0..15 and 16..31), each <= 255 × 255.
inline uint32_t Div255Pair(uint32_t x) {
    x += 0x00800080u;
    return ((x + ((x >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
}

}  // namespace plat::soft
