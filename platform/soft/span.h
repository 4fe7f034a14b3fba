// span.h — the software renderer's row spans: what one prepared draw needs
// to fill a row, and the span loops for every blend × sampling × tint.
//
// Fragments: texel (nearest, or bilinear for filtered textures, clamped at
// the edges) times the vertex colour, channel by channel (x·c/255, rounded);
// untextured draws use the vertex colour alone. Blends, on 0..255 channels
// with a = fragment alpha:
//   1 mask:  written only when a > 127 (alpha above one half), no blending
//   2 solid: written as it is (also any unknown mode)
//   3 alpha: src·a/255 + dst·(255 − a)/255
//   4 light: dst + src·a/255, clamped to 255
//   5 shade: src·dst/255
// The back buffer is always opaque (alpha 255).
//
// A span's result depends only on its row, its first pixel and the draw, so
// rows may be filled in any order and on any thread. The wide (AVX2) loops
// give exactly the bits of the four-pixel (SSE2) ones.
#pragma once

#include <cstdint>

#include "platform/soft/raster.h"

namespace plat::soft {

// The Alpha modes sample a white texture kept as one alpha byte a texel
// (Texture::alpha) and give exactly the texels its 32-bit form would.
enum TexMode { TexNone = 0, TexNearest = 1, TexBilinear = 2, TexAlphaNearest = 3, TexAlphaBilinear = 4 };

// An attribute as a plane over window pixels: f(px, py) = c + dx·px + dy·py.
struct Plane {
    double c = 0, dx = 0, dy = 0;
    double At(double px, double py) const { return c + dx * px + dy * py; }
};

// Colour planes per channel (0..255), for draws whose corners differ.
struct ColorPlanes {
    Plane a, r, g, b;
};

struct SpanCtx {
    uint32_t* buffer;  // the back buffer, `pitch` pixels per row, all of them in the picture
    int pitch;
    // Texture: texel coordinates in 16.16 fixed point
    const uint32_t* texels;
    const uint8_t* alpha;  // the Alpha modes' texels
    int texW, texH;
    int32_t dudx, dvdx;  // per pixel along a row
    int64_t dudy, dvdy;  // per row
    int64_t u00, v00;    // at the centre of pixel (0, 0)
    // Colour: 0xAARRGGBB and its channels; `planes` only for Gouraud spans
    uint32_t color;
    uint32_t ca, cr, cg, cb;
    const ColorPlanes* planes;
    // The texture's own texels when `texels` is a tinted copy of them (which
    // spans never read): commands drawing different textures then never
    // hold the same bytes, although copies reuse their memory.
    const uint32_t* untinted;
};

// The span loop for a blend (any int; unknown = solid), a TexMode, a tint
// (colour other than opaque white) and per-corner colour, taking runs of rows.
RowsFn PickSpan(int blend, int tex, bool tint, bool gouraud);
// The wide loop for the same, or null where there is none (every blend and
// sampling with one colour per draw; per-corner colour has none; textures
// wider or taller than WideTexLimit). Call only when WideSpansSupported().
RowsFn PickWideSpan(int blend, int tex, bool tint, bool gouraud);
constexpr int WideTexLimit = 32767;  // texel rows and columns fit 16-bit lanes
// True when this processor runs the wide loops.
bool WideSpansSupported();

}  // namespace plat::soft
