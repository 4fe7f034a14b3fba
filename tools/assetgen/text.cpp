// text.cpp — FreeType glyph rendering into coverage masks.
#include "tools/assetgen/text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <map>
#include <memory>

#include "tools/assetgen/output.h"

namespace assetgen {

struct Typeface {
    FT_Face face = nullptr;
};

namespace {
constexpr double kPi = 3.14159265358979323846;

// The library and every face it opened, freed together at exit so that a
// leak checker running the generator finds nothing left behind.
struct FreeType {
    FT_Library lib = nullptr;
    std::map<std::string, std::unique_ptr<Typeface>> faces;  // by path
    ~FreeType() {
        for (auto& entry : faces) FT_Done_Face(entry.second->face);
        faces.clear();
        if (lib) FT_Done_FreeType(lib);
    }
};

FreeType& State() {
    static FreeType state;
    if (!state.lib && FT_Init_FreeType(&state.lib) != 0) Fail("FreeType could not start");
    return state;
}

void SetSize(Typeface* t, double px) {
    FT_Set_Char_Size(t->face, 0, FT_F26Dot6(std::lround(px * 64)), 72, 72);
}

// Kerning between two Latin-1 characters, in pixels.
double Kern(Typeface* t, unsigned char a, unsigned char b) {
    if (!FT_HAS_KERNING(t->face)) return 0;
    FT_Vector k{};
    FT_Get_Kerning(t->face, FT_Get_Char_Index(t->face, a), FT_Get_Char_Index(t->face, b), FT_KERNING_UNFITTED, &k);
    return k.x / 64.0;
}

double Advance(Typeface* t, unsigned char c) {
    FT_Set_Transform(t->face, nullptr, nullptr);
    if (FT_Load_Char(t->face, c, FT_LOAD_NO_HINTING) != 0) return 0;
    return t->face->glyph->advance.x / 64.0;
}
}  // namespace

Typeface* LoadTypeface(const std::string& path) {
    FreeType& ft = State();
    auto it = ft.faces.find(path);
    if (it != ft.faces.end()) return it->second.get();
    auto t = std::make_unique<Typeface>();
    if (FT_New_Face(ft.lib, path.c_str(), 0, &t->face) != 0) Fail("cannot load the font " + path);
    return (ft.faces[path] = std::move(t)).get();
}

double TextWidth(Typeface* t, double px, const std::string& text, double tracking) {
    SetSize(t, px);
    double w = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        w += Advance(t, c);
        if (i + 1 < text.size()) w += Kern(t, c, static_cast<unsigned char>(text[i + 1])) + tracking;
    }
    return w;
}

double CapHeight(Typeface* t, double px) {
    SetSize(t, px);
    FT_Set_Transform(t->face, nullptr, nullptr);
    if (FT_Load_Char(t->face, 'H', FT_LOAD_NO_HINTING) != 0) return px * 0.7;
    return t->face->glyph->metrics.horiBearingY / 64.0;
}

void DrawText(Mask& m, Typeface* t, double px, const std::string& text, double x, double baseline,
              double tracking, double rotDeg) {
    SetSize(t, px);
    double pen = x;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        double adv = Advance(t, c);
        // Rotate about the letter's base-line centre: the glyph origin moves
        // with the rotation, so place it where the turned origin lands.
        double a = rotDeg * kPi / 180;
        double ca = std::cos(a), sa = std::sin(a);
        double half = adv / 2;
        // Origin relative to the pivot is (-half, 0); on screen (y down) a
        // clockwise turn maps (u, v) to (u ca - v sa, u sa + v ca).
        double ox = pen + half + (-half * ca), oy = baseline + (-half * sa);
        FT_Matrix mat;  // FreeType's y axis points up, so the turn is negated
        mat.xx = FT_Fixed(std::lround(ca * 65536));
        mat.xy = FT_Fixed(std::lround(sa * 65536));
        mat.yx = FT_Fixed(std::lround(-sa * 65536));
        mat.yy = FT_Fixed(std::lround(ca * 65536));
        double fx = std::floor(ox), fy = std::floor(oy);
        FT_Vector delta{FT_Pos(std::lround((ox - fx) * 64)), FT_Pos(std::lround(-(oy - fy) * 64))};
        FT_Set_Transform(t->face, &mat, &delta);
        if (FT_Load_Char(t->face, c, FT_LOAD_NO_HINTING | FT_LOAD_RENDER) == 0) {
            FT_GlyphSlot g = t->face->glyph;
            const FT_Bitmap& bm = g->bitmap;
            int left = int(fx) + g->bitmap_left, top = int(fy) - g->bitmap_top;
            for (unsigned row = 0; row < bm.rows; ++row)
                for (unsigned col = 0; col < bm.width; ++col) {
                    int X = left + int(col), Y = top + int(row);
                    if (X < 0 || Y < 0 || X >= m.w || Y >= m.h) continue;
                    float v = bm.buffer[row * bm.pitch + col] / 255.f;
                    float& d = m.Ref(X, Y);
                    if (v > d) d = v;
                }
        }
        FT_Set_Transform(t->face, nullptr, nullptr);
        pen += adv;
        if (i + 1 < text.size()) pen += Kern(t, c, static_cast<unsigned char>(text[i + 1])) + tracking;
    }
}

}  // namespace assetgen
