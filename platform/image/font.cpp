// font.cpp — TrueType fonts rendered once, at load, into a glyph atlas.
//
// Every code unit 0..255 is looked up as the Unicode character of the same
// number (strings are Latin-1). Glyphs the face lacks get no bitmap and no
// advance. The atlas is white; a glyph's coverage is its alpha, so the draw
// colour tints the text and the blend mode decides how it lands.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>

#include "platform/image/image.h"

namespace {

// Sizes past this would only make a huge atlas; no screen uses them.
constexpr int MaxFontPixels = 1024;
constexpr int64_t MaxFontFileBytes = 64ll << 20;
constexpr int AtlasPadding = 1;  // transparent texels around each glyph for bilinear

FT_Library Library() {
    static FT_Library library = [] {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
        return lib;
    }();
    return library;
}

bool ReadFontFile(const std::string& path, std::vector<FT_Byte>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size <= 0 || size > MaxFontFileBytes) return false;
    in.seekg(0, std::ios::beg);
    bytes.resize(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    return static_cast<std::streamoff>(in.gcount()) == size;
}

// Copies FreeType's bitmap (grey or 1-bit) into coverage bytes.
bool CopyBitmap(const FT_Bitmap& bm, plat::GlyphBitmap& out) {
    out.width = static_cast<int>(bm.width);
    out.height = static_cast<int>(bm.rows);
    if (out.width == 0 || out.height == 0) {
        out.width = out.height = 0;
        return true;
    }
    if (bm.pixel_mode != FT_PIXEL_MODE_GRAY && bm.pixel_mode != FT_PIXEL_MODE_MONO) return false;
    out.coverage.assign(static_cast<size_t>(out.width) * out.height, 0);
    int levels = bm.num_grays > 1 ? bm.num_grays - 1 : 255;
    for (int y = 0; y < out.height; ++y) {
        const unsigned char* row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
        uint8_t* dst = out.coverage.data() + static_cast<size_t>(y) * out.width;
        for (int x = 0; x < out.width; ++x) {
            if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
                dst[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
            else
                dst[x] = static_cast<uint8_t>(levels == 255 ? row[x] : row[x] * 255 / levels);
        }
    }
    return true;
}

}  // namespace

FontData::~FontData() { plat::TrackMemory(-trackedBytes); }

namespace plat {

bool BuildFontAtlas(const std::vector<GlyphBitmap>& glyphs, bool filtered, FontData& font) {
    // Shelf packing in code order: rows of glyphs, each row as tall as its
    // tallest glyph. The width is the power of two near the square root of
    // the total area, so the atlas comes out roughly square.
    int64_t area = 0;
    int widest = 0;
    for (const auto& g : glyphs) {
        if (g.width == 0) continue;
        area += int64_t(g.width + AtlasPadding) * (g.height + AtlasPadding);
        widest = std::max(widest, g.width + 2 * AtlasPadding);
    }
    int width = 64;
    while (width < MaxImageSide && int64_t(width) * width < area) width *= 2;
    width = std::max(width, widest);
    if (width > MaxImageSide) return false;

    struct Place { int x, y; };
    std::vector<Place> places(glyphs.size(), Place{0, 0});
    int penX = AtlasPadding, penY = AtlasPadding, shelf = 0;
    for (size_t i = 0; i < glyphs.size(); ++i) {
        const auto& g = glyphs[i];
        if (g.width == 0) continue;
        if (penX + g.width + AtlasPadding > width) {
            penX = AtlasPadding;
            penY += shelf + AtlasPadding;
            shelf = 0;
        }
        places[i] = {penX, penY};
        penX += g.width + AtlasPadding;
        shelf = std::max(shelf, g.height);
    }
    int height = std::max(penY + shelf + AtlasPadding, 1);
    if (!SaneImageSize(width, height)) return false;
    // White glyphs, coverage in alpha: one byte a texel holds all of it.
    auto atlas = std::make_shared<Texture>();
    atlas->width = width;
    atlas->height = height;
    atlas->filtered = filtered;
    atlas->alpha.assign(static_cast<size_t>(width) * height, 0);

    for (size_t i = 0; i < glyphs.size() && i < 256; ++i) {
        const auto& g = glyphs[i];
        GlyphInfo& info = font.glyphs[i];
        info = GlyphInfo{};
        info.advance = g.advance;
        info.left = g.left;
        info.top = g.top;
        if (g.width == 0) continue;
        info.atlasX = places[i].x;
        info.atlasY = places[i].y;
        info.width = g.width;
        info.height = g.height;
        for (int y = 0; y < g.height; ++y) {
            uint8_t* dst = atlas->alpha.data() + static_cast<size_t>(info.atlasY + y) * width +
                           info.atlasX;
            std::memcpy(dst, g.coverage.data() + static_cast<size_t>(y) * g.width, g.width);
        }
    }
    font.atlas = std::move(atlas);
    font.trackedBytes = static_cast<int64_t>(font.atlas->alpha.size());
    TrackMemory(font.trackedBytes);
    return true;
}

}  // namespace plat

Font LoadImageFont(const std::string& path, int size, int style) {
    if (size <= 0 || size > MaxFontPixels) return nullptr;
    FT_Library lib = Library();
    if (!lib) return nullptr;
    std::vector<FT_Byte> bytes;
    if (!ReadFontFile(path, bytes)) return nullptr;

    FT_Face face = nullptr;
    if (FT_New_Memory_Face(lib, bytes.data(), static_cast<FT_Long>(bytes.size()), 0, &face) != 0)
        return nullptr;
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size)) != 0) {
        FT_Done_Face(face);
        return nullptr;
    }

    const bool smooth = style == 4;
    const FT_Int32 loadFlags =
        smooth ? FT_LOAD_RENDER : (FT_LOAD_RENDER | FT_LOAD_MONOCHROME | FT_LOAD_TARGET_MONO);

    auto font = std::make_shared<FontData>();
    font->size = size;
    const FT_Size_Metrics& m = face->size->metrics;
    font->ascent = static_cast<int>((m.ascender + 63) >> 6);
    int descent = static_cast<int>((-m.descender + 63) >> 6);
    font->lineHeight = std::max(font->ascent + descent, 1);

    std::vector<plat::GlyphBitmap> glyphs(256);
    const FT_Pos glyphLimit = 4 * FT_Pos(size) + 8;  // pixels, either way
    int printable = 0;  // glyphs of 33..126 that rendered: a usable face has some
    for (int code = 0; code < 256; ++code) {
        FT_UInt index = FT_Get_Char_Index(face, static_cast<FT_ULong>(code));
        if (index == 0) continue;
        // Loaded, measured, then rendered: a glyph many times the pixel size
        // comes only from a damaged face, and rendering and packing it would
        // take seconds and a huge atlas, so it is left out unrendered.
        if (FT_Load_Glyph(face, index, loadFlags & ~FT_LOAD_RENDER) != 0) continue;
        FT_GlyphSlot slot = face->glyph;
        if (slot->metrics.width > glyphLimit * 64 || slot->metrics.height > glyphLimit * 64) continue;
        if (FT_Render_Glyph(slot, smooth ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) != 0) continue;
        if (FT_Pos(slot->bitmap.width) > glyphLimit || FT_Pos(slot->bitmap.rows) > glyphLimit) continue;
        plat::GlyphBitmap g;
        if (!CopyBitmap(slot->bitmap, g)) continue;
        g.left = slot->bitmap_left;
        g.top = font->ascent - slot->bitmap_top;
        g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        if (code > 32 && code < 127 && g.width > 0) ++printable;
        glyphs[code] = std::move(g);
    }
    FT_Done_Face(face);
    if (printable == 0) return nullptr;
    if (!plat::BuildFontAtlas(glyphs, smooth, *font)) return nullptr;
    return font;
}
