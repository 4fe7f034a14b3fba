// raster.h — the small picture toolkit the asset generator draws with.
//
// Shapes are signed distance functions (negative inside, in pixels), so one
// description gives anti-aliased edges, outlines of any width and offsets.
// A Mask holds coverage 0..1 per pixel; a Canvas holds premultiplied RGBA
// floats. Pixel (i, j) covers the square [i, i+1) × [j, j+1); its centre is
// (i + 0.5, j + 0.5). Everything is plain arithmetic with no randomness, so
// the same calls always give the same bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace assetgen {

struct Rgba {
    double r = 0, g = 0, b = 0, a = 0;  // straight (not premultiplied), 0..1
};

// Colour from 0..255 components and alpha 0..1.
Rgba Col(int r, int g, int b, double a = 1.0);
Rgba Mix(const Rgba& p, const Rgba& q, double t);  // t 0 gives p, 1 gives q

struct Vec {
    double x = 0, y = 0;
};

// Signed distance in pixels: < 0 inside, > 0 outside.
using Shape = std::function<double(double x, double y)>;
// Colour at a point; lets one fill carry gradients or patterns.
using Paint = std::function<Rgba(double x, double y)>;

// ---- primitive shapes ------------------------------------------------------
Shape Circle(double cx, double cy, double r);
Shape Ellipse(double cx, double cy, double rx, double ry);  // approximate distance
Shape Box(double x0, double y0, double x1, double y1, double radius = 0);  // rounded corners
Shape Segment(double x0, double y0, double x1, double y1, double width);  // round caps
Shape Polygon(std::vector<Vec> points);  // any simple or self-touching polygon (even-odd)
Shape Arc(double cx, double cy, double r, double width, double fromDeg, double toDeg);  // round caps
// Regular star: n points, outer and inner radius, first point at angle deg (0 = up).
Shape Star(double cx, double cy, int n, double outer, double inner, double deg = 0);

// ---- combining shapes ------------------------------------------------------
Shape Union(Shape a, Shape b);
Shape Union(std::vector<Shape> parts);
Shape Intersect(Shape a, Shape b);
Shape Subtract(Shape a, Shape b);
Shape Grow(Shape a, double by);         // outward offset (negative shrinks)
Shape Outline(Shape a, double width);   // a band of this width centred on the edge
Shape Move(Shape a, double dx, double dy);
Shape Rotate(Shape a, double cx, double cy, double deg);  // clockwise on screen
Shape Scale(Shape a, double cx, double cy, double s);

// ---- paints ----------------------------------------------------------------
Paint Solid(Rgba c);
Paint Linear(double x0, double y0, Rgba c0, double x1, double y1, Rgba c1);
Paint Radial(double cx, double cy, double r, Rgba inner, Rgba outer);

// ---- coverage masks --------------------------------------------------------
struct Mask {
    int w = 0, h = 0;
    std::vector<float> a;
    Mask() = default;
    Mask(int width, int height) : w(width), h(height), a(size_t(width) * height, 0.f) {}
    float At(int x, int y) const { return (x < 0 || y < 0 || x >= w || y >= h) ? 0.f : a[size_t(y) * w + x]; }
    float& Ref(int x, int y) { return a[size_t(y) * w + x]; }
};

Mask ShapeMask(int w, int h, const Shape& s);
Mask Dilate(const Mask& m, double radius);  // coverage grown by radius pixels
Mask Blur(const Mask& m, int radius);       // three box passes, a soft shadow or glow
Mask Shifted(const Mask& m, int dx, int dy);
Mask MaxOf(const Mask& p, const Mask& q);

// ---- canvas ----------------------------------------------------------------
struct Canvas {
    int w = 0, h = 0;
    std::vector<float> px;  // premultiplied r, g, b, a per pixel
    Canvas() = default;
    Canvas(int width, int height) : w(width), h(height), px(size_t(width) * height * 4, 0.f) {}
    Rgba Get(int x, int y) const;  // straight alpha
};

// Source-over painting; opacity scales the coverage.
void Fill(Canvas& c, const Mask& m, const Paint& p, double opacity = 1.0);
void Fill(Canvas& c, const Shape& s, const Paint& p, double opacity = 1.0);
void Fill(Canvas& c, const Shape& s, Rgba col, double opacity = 1.0);
// Draws s in col with a dark rim of the given width around it: the readable
// look every icon and badge uses on the striped backdrops.
void FillOutlined(Canvas& c, const Shape& s, const Paint& p, Rgba rim, double rimWidth);
// Places src over dst with its top-left corner at (x, y).
void Compose(Canvas& dst, const Canvas& src, int x, int y);
// Coverage of everything drawn so far (its alpha channel).
Mask AlphaOf(const Canvas& c);
// Draws a rim of width w under the whole canvas content (behind it).
void RimBehind(Canvas& c, Rgba rim, double width);

// 8-bit straight RGBA rows, ready for a PNG encoder.
std::vector<uint8_t> ToRgba8(const Canvas& c);

}  // namespace assetgen
