// draw.cpp — the drawing state and the public drawing calls.
//
// Every draw becomes triangles in window pixels, handed to the current
// renderer in one DrawTriangles call per draw. Rectangles, images and glyphs
// are quads sent as the triangles (0, 1, 2) and (0, 2, 3) of their corners
// 0..3 in order round the quad, which lets the software renderer fill each
// quad as one polygon.
//
// Transform of a draw at (x, y): a point p of the draw's own space (the hot
// spot or the rectangle's corner at the origin) lands at
//     window = ((x, y) + R(rotation) · S(scale) · p) · (window / virtual)
// with the rotation turning clockwise on screen for positive degrees. The
// sine and cosine are worked out when the rotation is set, not per draw.
//
// This is the engine test's hot path (tens of thousands of sprites a frame):
// no heap allocation per draw once the scratch buffer has grown, no virtual
// call per vertex.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/backend.h"
#include "platform/image/image.h"

namespace {

struct DrawState {
    int color_red = 255, color_green = 255, color_blue = 255;  // 0..255
    float color_alpha = 1;                                     // 0..1
    uint32_t vertexColor = 0xFFFFFFFFu;  // the four above packed as 0xAARRGGBB
    uint32_t clsColor = 0;               // 0xRRGGBB
    float line_width = 1;                // virtual pixels
    float rotation = 0;                  // degrees
    float rotSin = 0, rotCos = 1;
    float scaleX = 1, scaleY = 1;
    Font image_font;                     // none = the built-in font
    int blend_mode = BlendAlpha;
    float vres_width = 0, vres_height = 0;
    int g_width = 0, g_height = 0;       // window pixels when the state was reset
    float toWindowX = 1, toWindowY = 1;  // window pixels per virtual pixel
    // Matrix R · S, rows (m00 m01) (m10 m11), already times toWindow.
    float m00 = 1, m01 = 0, m10 = 0, m11 = 1;
};

DrawState state;
std::vector<plat::Vertex> scratch;  // grows to the largest draw, then stays

int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

void UpdateVertexColor() {
    // Nearest 8-bit alpha, halves rounded down: alpha 0.5 becomes 127, so the
    // mask blend's "above one half" test stays false for exactly one half.
    uint32_t a = static_cast<uint32_t>(std::ceil(state.color_alpha * 255.0f - 0.5f));
    state.vertexColor = (a << 24) | (uint32_t(state.color_red) << 16) |
                        (uint32_t(state.color_green) << 8) | uint32_t(state.color_blue);
}

void UpdateMatrix() {
    const float c = state.rotCos, s = state.rotSin;
    state.m00 = c * state.scaleX * state.toWindowX;
    state.m01 = -s * state.scaleY * state.toWindowX;
    state.m10 = s * state.scaleX * state.toWindowY;
    state.m11 = c * state.scaleY * state.toWindowY;
}

void UpdateWindowScale() {
    state.toWindowX = state.vres_width > 0 ? state.g_width / state.vres_width : 1.0f;
    state.toWindowY = state.vres_height > 0 ? state.g_height / state.vres_height : 1.0f;
    UpdateMatrix();
}

plat::Vertex* Scratch(size_t count) {
    if (scratch.size() < count) scratch.resize(std::max(count, scratch.size() * 2));
    return scratch.data();
}

// Origin of a draw in window pixels.
struct Origin {
    float x, y;
};
inline Origin ToWindow(float x, float y) { return {x * state.toWindowX, y * state.toWindowY}; }

// A corner of the draw's own space, transformed; (px, py) in virtual pixels.
inline plat::Vertex Corner(Origin o, float px, float py, float u, float v, uint32_t color) {
    return plat::Vertex{o.x + state.m00 * px + state.m01 * py, o.y + state.m10 * px + state.m11 * py,
                        u, v, color};
}

// Writes the two triangles of the quad a, b, c, d (in order round it).
inline void EmitQuad(plat::Vertex* out, const plat::Vertex& a, const plat::Vertex& b,
                     const plat::Vertex& c, const plat::Vertex& d) {
    out[0] = a;
    out[1] = b;
    out[2] = c;
    out[3] = a;
    out[4] = c;
    out[5] = d;
}

}  // namespace

namespace plat {

void ResetDrawingState() {
    state = DrawState{};
    if (RenderBackend* r = CurrentRenderer()) {
        state.g_width = r->Width();
        state.g_height = r->Height();
    }
    state.vres_width = static_cast<float>(state.g_width);
    state.vres_height = static_cast<float>(state.g_height);
    UpdateVertexColor();
    UpdateWindowScale();
}

const FontData& ActiveFont() {
    return state.image_font ? *state.image_font : DefaultFont();
}

}  // namespace plat

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------
void SetColor(int r, int g, int b) {
    state.color_red = Clamp255(r);
    state.color_green = Clamp255(g);
    state.color_blue = Clamp255(b);
    UpdateVertexColor();
}

void GetColor(int& r, int& g, int& b) {
    r = state.color_red;
    g = state.color_green;
    b = state.color_blue;
}

void SetAlpha(float alpha) {
    if (!(alpha >= 0)) alpha = 0;  // also NaN
    if (alpha > 1) alpha = 1;
    state.color_alpha = alpha;
    UpdateVertexColor();
}

float GetAlpha() { return state.color_alpha; }

void SetBlend(int mode) { state.blend_mode = mode; }
int GetBlend() { return state.blend_mode; }

void SetScale(float sx, float sy) {
    state.scaleX = sx;
    state.scaleY = sy;
    UpdateMatrix();
}

void GetScale(float& sx, float& sy) {
    sx = state.scaleX;
    sy = state.scaleY;
}

void SetRotation(float degrees) {
    state.rotation = degrees;
    double radians = static_cast<double>(degrees) * (3.14159265358979323846 / 180.0);
    state.rotSin = static_cast<float>(std::sin(radians));
    state.rotCos = static_cast<float>(std::cos(radians));
    UpdateMatrix();
}

float GetRotation() { return state.rotation; }

void SetLineWidth(float width) { state.line_width = width; }
float GetLineWidth() { return state.line_width; }

void SetImageFont(const Font& font) { state.image_font = font; }
Font GetImageFont() { return state.image_font; }

void SetVirtualResolution(float width, float height) {
    // A zero, negative or NaN size would make every draw vanish or explode;
    // keep the previous area instead.
    if (!(width > 0) || !(height > 0) || !std::isfinite(width) || !std::isfinite(height)) return;
    state.vres_width = width;
    state.vres_height = height;
    if (plat::RenderBackend* r = plat::CurrentRenderer()) {
        state.g_width = r->Width();
        state.g_height = r->Height();
    }
    UpdateWindowScale();
}

float VirtualResolutionWidth() { return state.vres_width; }
float VirtualResolutionHeight() { return state.vres_height; }

void SetClsColor(int r, int g, int b) {
    state.clsColor = (uint32_t(Clamp255(r)) << 16) | (uint32_t(Clamp255(g)) << 8) |
                     uint32_t(Clamp255(b));
}

void Cls() {
    if (plat::RenderBackend* r = plat::CurrentRenderer()) r->Clear(state.clsColor);
}

// ---------------------------------------------------------------------------
// Primitives
// ---------------------------------------------------------------------------
void DrawRect(float x, float y, float w, float h) {
    plat::RenderBackend* r = plat::CurrentRenderer();
    if (!r) return;
    const Origin o = ToWindow(x, y);
    const uint32_t c = state.vertexColor;
    plat::Vertex* v = Scratch(6);
    EmitQuad(v, Corner(o, 0, 0, 0, 0, c), Corner(o, w, 0, 0, 0, c), Corner(o, w, h, 0, 0, c),
             Corner(o, 0, h, 0, 0, c));
    r->DrawTriangles(nullptr, state.blend_mode, v, 6);
}

void DrawLine(float x1, float y1, float x2, float y2) {
    plat::RenderBackend* r = plat::CurrentRenderer();
    if (!r) return;
    // A quad line_width wide centred on the segment, in the draw's own space
    // (so scale and rotation apply as to a rectangle from (x1, y1)). A point
    // gives a square dot.
    float dx = x2 - x1, dy = y2 - y1;
    float len = std::sqrt(dx * dx + dy * dy);
    float half = state.line_width * 0.5f;
    float nx, ny, ex, ey;  // half-width normal and half-width end extension
    if (len > 0) {
        nx = -dy / len * half;
        ny = dx / len * half;
        ex = ey = 0;
    } else {
        nx = 0;
        ny = half;
        ex = -half;
        ey = 0;
        dx = half * 2;
    }
    // Shifted half a window pixel so a line at whole coordinates covers the
    // pixels it names rather than straddling two rows.
    Origin o = ToWindow(x1, y1);
    o.x += 0.5f;
    o.y += 0.5f;
    const uint32_t c = state.vertexColor;
    plat::Vertex* v = Scratch(6);
    EmitQuad(v, Corner(o, ex + nx, ey + ny, 0, 0, c), Corner(o, ex + dx + nx, ey + dy + ny, 0, 0, c),
             Corner(o, ex + dx - nx, ey + dy - ny, 0, 0, c), Corner(o, ex - nx, ey - ny, 0, 0, c));
    r->DrawTriangles(nullptr, state.blend_mode, v, 6);
}

void DrawOval(float x, float y, float w, float h) {
    plat::RenderBackend* r = plat::CurrentRenderer();
    if (!r) return;
    const float rx = w * 0.5f, ry = h * 0.5f;
    // Segments from the radius in window pixels: the chord then strays from
    // the curve by well under half a pixel (r·(1 − cos(π/n)) < 0.25 needs
    // n > π·sqrt(2r)).
    float sx = std::fabs(state.scaleX), sy = std::fabs(state.scaleY);
    float radius = std::max(std::fabs(rx) * sx * state.toWindowX, std::fabs(ry) * sy * state.toWindowY);
    if (!std::isfinite(radius)) return;
    int segments = static_cast<int>(std::ceil(3.2f * std::sqrt(2.0f * radius))) + 4;
    segments = std::clamp(segments, 12, 360);

    const Origin o = ToWindow(x, y);
    const uint32_t c = state.vertexColor;
    plat::Vertex* v = Scratch(static_cast<size_t>(segments) * 3);
    const plat::Vertex centre = Corner(o, rx, ry, 0, 0, c);
    const double step = 2.0 * 3.14159265358979323846 / segments;
    plat::Vertex prev = Corner(o, rx + rx, ry, 0, 0, c);
    for (int i = 1; i <= segments; ++i) {
        plat::Vertex next =
            i == segments ? Corner(o, rx + rx, ry, 0, 0, c)
                          : Corner(o, rx + rx * static_cast<float>(std::cos(step * i)),
                                   ry + ry * static_cast<float>(std::sin(step * i)), 0, 0, c);
        plat::Vertex* t = v + (i - 1) * 3;
        t[0] = centre;
        t[1] = prev;
        t[2] = next;
        prev = next;
    }
    r->DrawTriangles(nullptr, state.blend_mode, v, segments * 3);
}

void DrawImage(const Image& image, float x, float y, int frame) {
    if (!image || frame < 0 || frame >= static_cast<int>(image->frames.size())) return;
    plat::RenderBackend* r = plat::CurrentRenderer();
    if (!r) return;
    plat::Texture* tex = image->frames[frame].get();
    const Origin o = ToWindow(x, y);
    const float x0 = -image->handle_x, y0 = -image->handle_y;
    const float x1 = x0 + image->width, y1 = y0 + image->height;
    const uint32_t c = state.vertexColor;
    plat::Vertex* v = Scratch(6);
    EmitQuad(v, Corner(o, x0, y0, 0, 0, c), Corner(o, x1, y0, 1, 0, c), Corner(o, x1, y1, 1, 1, c),
             Corner(o, x0, y1, 0, 1, c));
    r->DrawTriangles(tex, state.blend_mode, v, 6);
}

void DrawText(const std::string& text, float x, float y) {
    plat::RenderBackend* r = plat::CurrentRenderer();
    if (!r || text.empty()) return;
    const FontData& font = plat::ActiveFont();
    if (!font.atlas) return;
    const float iw = 1.0f / font.atlas->width, ih = 1.0f / font.atlas->height;
    const Origin o = ToWindow(x, y);
    const uint32_t c = state.vertexColor;
    plat::Vertex* v = Scratch(text.size() * 6);
    int count = 0, pen = 0;
    for (unsigned char code : text) {
        const GlyphInfo& g = font.glyphs[code];
        if (g.width > 0) {
            float gx0 = static_cast<float>(pen + g.left), gy0 = static_cast<float>(g.top);
            float gx1 = gx0 + g.width, gy1 = gy0 + g.height;
            float u0 = g.atlasX * iw, v0 = g.atlasY * ih;
            float u1 = (g.atlasX + g.width) * iw, v1 = (g.atlasY + g.height) * ih;
            EmitQuad(v + count, Corner(o, gx0, gy0, u0, v0, c), Corner(o, gx1, gy0, u1, v0, c),
                     Corner(o, gx1, gy1, u1, v1, c), Corner(o, gx0, gy1, u0, v1, c));
            count += 6;
        }
        pen += g.advance;
    }
    if (count > 0) r->DrawTriangles(font.atlas.get(), state.blend_mode, v, count);
}

int TextWidth(const std::string& text) {
    const FontData& font = plat::ActiveFont();
    int width = 0;
    for (unsigned char code : text) width += font.glyphs[code].advance;
    return width;
}

int TextHeight() { return plat::ActiveFont().lineHeight; }
