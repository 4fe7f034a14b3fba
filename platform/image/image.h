// image.h — what lies behind the Image, Font and Pixmap handles, and the
// helpers the drawing calls (platform/draw) and the renderers share with the
// loaders. Only platform/ includes this.
//
// Pixels everywhere are 0xAARRGGBB with straight alpha (see plat::Texture).
// Every size that reaches an allocation first passes SaneImageSize, so a
// corrupt file or an absurd request gives "none" instead of a huge allocation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/backend.h"

// ---------------------------------------------------------------------------
// Handles' records
// ---------------------------------------------------------------------------
struct ImageData {
    int width = 0, height = 0;               // of one frame, texels
    float handle_x = 0, handle_y = 0;        // hot spot, texels from the top-left
    int flags = 0;                           // ImageMasked | ImageFiltered | ImageDynamic
    std::vector<plat::TexturePtr> frames;    // all width × height
    int64_t trackedBytes = 0;                // reported to plat::TrackMemory
    ~ImageData();
};

struct PixmapData {
    int width = 0, height = 0;
    int pitch = 0;                    // pixels per row (always width here)
    std::vector<uint32_t> pixels;     // 0xAARRGGBB, rows top to bottom
    int64_t trackedBytes = 0;
    ~PixmapData();
};

// One glyph of a font's atlas. Offsets are whole pixels of the font's size.
struct GlyphInfo {
    int atlasX = 0, atlasY = 0;  // top-left of the glyph's bitmap in the atlas
    int width = 0, height = 0;   // bitmap size; 0 = nothing to draw
    int left = 0;                // pen position to the bitmap's left edge
    int top = 0;                 // line top to the bitmap's top edge
    int advance = 0;             // pen movement after the glyph
};

struct FontData {
    int size = 0;        // pixel height asked for
    int lineHeight = 0;  // TextHeight(): ascent + descent, pixels
    int ascent = 0;      // line top to baseline, pixels
    GlyphInfo glyphs[256];   // by Latin-1 code unit
    plat::TexturePtr atlas;  // white glyphs, coverage in alpha (Texture::alpha)
    int64_t trackedBytes = 0;
    ~FontData();
};

namespace plat {

// ---------------------------------------------------------------------------
// Size limits shared by every loader and constructor
// ---------------------------------------------------------------------------
inline constexpr int MaxImageSide = 16384;                 // texels per side
inline constexpr int64_t MaxImageBytes = 256ll << 20;      // per image or pixmap
// True when width × height × frames 32-bit pixels is a size we agree to hold.
bool SaneImageSize(int64_t width, int64_t height, int64_t frames = 1);

// ---------------------------------------------------------------------------
// PNG (platform/image/png.cpp)
// ---------------------------------------------------------------------------
struct DecodedPicture {
    int width = 0, height = 0;
    bool hasAlpha = false;         // an alpha channel or a transparency chunk
    std::vector<uint32_t> pixels;  // 0xAARRGGBB; alpha 255 when !hasAlpha
};
// False (and `out` untouched) for a missing, empty, truncated or corrupt file
// and for pictures SaneImageSize refuses.
bool DecodePNGFile(const std::string& path, DecodedPicture& out);
bool DecodePNGMemory(const uint8_t* data, size_t size, DecodedPicture& out);
// Writes RGB when every pixel is opaque, RGBA otherwise. compression 0..9
// (clamped). On failure the partly written file is removed.
bool EncodePNGFile(const std::string& path, const uint32_t* argb, int width, int height,
                   int compression);

// ---------------------------------------------------------------------------
// Fonts (platform/image/font.cpp, default_font.cpp)
// ---------------------------------------------------------------------------
// One rendered glyph before packing: coverage 0..255, width × height bytes.
struct GlyphBitmap {
    int width = 0, height = 0, left = 0, top = 0, advance = 0;
    std::vector<uint8_t> coverage;
};
// Packs the glyphs (index = code unit, up to 256) into one atlas texture and
// fills font.glyphs, font.atlas and its memory figure. False when refused.
bool BuildFontAtlas(const std::vector<GlyphBitmap>& glyphs, bool filtered, FontData& font);
// The built-in font, made on first use and kept for the whole run.
const FontData& DefaultFont();
// The font DrawText and TextWidth use now: the one set, else the default.
const FontData& ActiveFont();

// ---------------------------------------------------------------------------
// Textures
// ---------------------------------------------------------------------------
// A new texture of the given size, transparent black; null when refused.
TexturePtr MakeTexture(int width, int height, bool filtered);
// Black pixels (rgb 0) become transparent; for masked pictures without alpha.
void MaskBlack(std::vector<uint32_t>& pixels);

}  // namespace plat
