// raster.cpp — distance-function shapes, coverage masks and a float canvas.
#include "tools/assetgen/raster.h"

#include <algorithm>
#include <cmath>

namespace assetgen {

namespace {
constexpr double kPi = 3.14159265358979323846;
double Clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
double Len(double x, double y) { return std::sqrt(x * x + y * y); }

// Distance from p to the segment a-b.
double SegDist(double px, double py, double ax, double ay, double bx, double by) {
    double vx = bx - ax, vy = by - ay;
    double wx = px - ax, wy = py - ay;
    double l2 = vx * vx + vy * vy;
    double t = l2 > 0 ? std::clamp((wx * vx + wy * vy) / l2, 0.0, 1.0) : 0.0;
    return Len(wx - t * vx, wy - t * vy);
}
}  // namespace

Rgba Col(int r, int g, int b, double a) { return {r / 255.0, g / 255.0, b / 255.0, a}; }

Rgba Mix(const Rgba& p, const Rgba& q, double t) {
    return {p.r + (q.r - p.r) * t, p.g + (q.g - p.g) * t, p.b + (q.b - p.b) * t, p.a + (q.a - p.a) * t};
}

Shape Circle(double cx, double cy, double r) {
    return [=](double x, double y) { return Len(x - cx, y - cy) - r; };
}

Shape Ellipse(double cx, double cy, double rx, double ry) {
    return [=](double x, double y) {
        double px = (x - cx), py = (y - cy);
        double k0 = Len(px / rx, py / ry);
        double k1 = Len(px / (rx * rx), py / (ry * ry));
        if (k1 < 1e-9) return -std::min(rx, ry);
        return k0 * (k0 - 1.0) / k1;
    };
}

Shape Box(double x0, double y0, double x1, double y1, double radius) {
    double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    double hx = (x1 - x0) / 2 - radius, hy = (y1 - y0) / 2 - radius;
    return [=](double x, double y) {
        double qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
        double outside = Len(std::max(qx, 0.0), std::max(qy, 0.0));
        double inside = std::min(std::max(qx, qy), 0.0);
        return outside + inside - radius;
    };
}

Shape Segment(double x0, double y0, double x1, double y1, double width) {
    return [=](double x, double y) { return SegDist(x, y, x0, y0, x1, y1) - width / 2; };
}

Shape Polygon(std::vector<Vec> pts) {
    return [pts = std::move(pts)](double x, double y) {
        double best = 1e30;
        bool inside = false;
        size_t n = pts.size();
        for (size_t i = 0, j = n - 1; i < n; j = i++) {
            const Vec& a = pts[i];
            const Vec& b = pts[j];
            best = std::min(best, SegDist(x, y, a.x, a.y, b.x, b.y));
            if ((a.y > y) != (b.y > y)) {
                double xc = a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y);
                if (x < xc) inside = !inside;
            }
        }
        return inside ? -best : best;
    };
}

Shape Arc(double cx, double cy, double r, double width, double fromDeg, double toDeg) {
    double span = toDeg - fromDeg;
    double a0 = fromDeg * kPi / 180, a1 = toDeg * kPi / 180;
    double e0x = cx + r * std::sin(a0), e0y = cy - r * std::cos(a0);
    double e1x = cx + r * std::sin(a1), e1y = cy - r * std::cos(a1);
    return [=](double x, double y) {
        double ang = std::atan2(x - cx, -(y - cy)) * 180 / kPi;  // 0 = up, clockwise
        double rel = std::fmod(ang - fromDeg + 720.0, 360.0);
        if (rel <= span) return std::fabs(Len(x - cx, y - cy) - r) - width / 2;
        return std::min(Len(x - e0x, y - e0y), Len(x - e1x, y - e1y)) - width / 2;
    };
}

Shape Star(double cx, double cy, int n, double outer, double inner, double deg) {
    std::vector<Vec> pts;
    for (int i = 0; i < 2 * n; ++i) {
        double a = (deg + i * 180.0 / n) * kPi / 180;
        double r = (i % 2 == 0) ? outer : inner;
        pts.push_back({cx + r * std::sin(a), cy - r * std::cos(a)});
    }
    return Polygon(std::move(pts));
}

Shape Union(Shape a, Shape b) {
    return [=](double x, double y) { return std::min(a(x, y), b(x, y)); };
}

Shape Union(std::vector<Shape> parts) {
    return [parts = std::move(parts)](double x, double y) {
        double d = 1e30;
        for (const Shape& s : parts) d = std::min(d, s(x, y));
        return d;
    };
}

Shape Intersect(Shape a, Shape b) {
    return [=](double x, double y) { return std::max(a(x, y), b(x, y)); };
}

Shape Subtract(Shape a, Shape b) {
    return [=](double x, double y) { return std::max(a(x, y), -b(x, y)); };
}

Shape Grow(Shape a, double by) {
    return [=](double x, double y) { return a(x, y) - by; };
}

Shape Outline(Shape a, double width) {
    return [=](double x, double y) { return std::fabs(a(x, y)) - width / 2; };
}

Shape Move(Shape a, double dx, double dy) {
    return [=](double x, double y) { return a(x - dx, y - dy); };
}

Shape Rotate(Shape a, double cx, double cy, double deg) {
    double c = std::cos(-deg * kPi / 180), s = std::sin(-deg * kPi / 180);
    return [=](double x, double y) {
        double px = x - cx, py = y - cy;
        return a(cx + px * c - py * s, cy + px * s + py * c);
    };
}

Shape Scale(Shape a, double cx, double cy, double s) {
    return [=](double x, double y) { return a(cx + (x - cx) / s, cy + (y - cy) / s) * s; };
}

Paint Solid(Rgba c) {
    return [=](double, double) { return c; };
}

Paint Linear(double x0, double y0, Rgba c0, double x1, double y1, Rgba c1) {
    double vx = x1 - x0, vy = y1 - y0, l2 = vx * vx + vy * vy;
    return [=](double x, double y) {
        double t = l2 > 0 ? Clamp01(((x - x0) * vx + (y - y0) * vy) / l2) : 0;
        return Mix(c0, c1, t);
    };
}

Paint Radial(double cx, double cy, double r, Rgba inner, Rgba outer) {
    return [=](double x, double y) { return Mix(inner, outer, Clamp01(Len(x - cx, y - cy) / r)); };
}

Mask ShapeMask(int w, int h, const Shape& s) {
    Mask m(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            m.Ref(x, y) = float(Clamp01(0.5 - s(x + 0.5, y + 0.5)));
    return m;
}

Mask Dilate(const Mask& m, double radius) {
    Mask out(m.w, m.h);
    int r = int(std::ceil(radius)) + 1;
    std::vector<std::pair<int, std::pair<int, float>>> taps;
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
            double w = Clamp01(radius - Len(dx, dy) + 1.0);
            if (w > 0) taps.push_back({dx, {dy, float(w)}});
        }
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) {
            float best = 0;
            for (const auto& t : taps) best = std::max(best, m.At(x + t.first, y + t.second.first) * t.second.second);
            out.Ref(x, y) = best;
        }
    return out;
}

Mask Blur(const Mask& m, int radius) {
    Mask cur = m;
    if (radius <= 0) return cur;
    for (int pass = 0; pass < 3; ++pass) {
        Mask tmp(m.w, m.h);
        for (int y = 0; y < m.h; ++y)
            for (int x = 0; x < m.w; ++x) {
                float sum = 0;
                for (int k = -radius; k <= radius; ++k) sum += cur.At(x + k, y);
                tmp.Ref(x, y) = sum / float(2 * radius + 1);
            }
        for (int y = 0; y < m.h; ++y)
            for (int x = 0; x < m.w; ++x) {
                float sum = 0;
                for (int k = -radius; k <= radius; ++k) sum += tmp.At(x, y + k);
                cur.Ref(x, y) = sum / float(2 * radius + 1);
            }
    }
    return cur;
}

Mask Shifted(const Mask& m, int dx, int dy) {
    Mask out(m.w, m.h);
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) out.Ref(x, y) = m.At(x - dx, y - dy);
    return out;
}

Mask MaxOf(const Mask& p, const Mask& q) {
    Mask out(p.w, p.h);
    for (size_t i = 0; i < out.a.size(); ++i) out.a[i] = std::max(p.a[i], q.a[i]);
    return out;
}

Rgba Canvas::Get(int x, int y) const {
    const float* p = &px[(size_t(y) * w + x) * 4];
    if (p[3] <= 0) return {0, 0, 0, 0};
    return {p[0] / p[3], p[1] / p[3], p[2] / p[3], p[3]};
}

void Fill(Canvas& c, const Mask& m, const Paint& p, double opacity) {
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            double cov = m.At(x, y) * opacity;
            if (cov <= 0) continue;
            Rgba s = p(x + 0.5, y + 0.5);
            double a = Clamp01(s.a * cov);
            float* d = &c.px[(size_t(y) * c.w + x) * 4];
            double keep = 1 - a;
            d[0] = float(s.r * a + d[0] * keep);
            d[1] = float(s.g * a + d[1] * keep);
            d[2] = float(s.b * a + d[2] * keep);
            d[3] = float(a + d[3] * keep);
        }
}

void Fill(Canvas& c, const Shape& s, const Paint& p, double opacity) { Fill(c, ShapeMask(c.w, c.h, s), p, opacity); }

void Fill(Canvas& c, const Shape& s, Rgba col, double opacity) { Fill(c, s, Solid(col), opacity); }

void FillOutlined(Canvas& c, const Shape& s, const Paint& p, Rgba rim, double rimWidth) {
    Fill(c, Grow(s, rimWidth), rim);
    Fill(c, s, p);
}

void Compose(Canvas& dst, const Canvas& src, int ox, int oy) {
    for (int y = 0; y < src.h; ++y)
        for (int x = 0; x < src.w; ++x) {
            int tx = x + ox, ty = y + oy;
            if (tx < 0 || ty < 0 || tx >= dst.w || ty >= dst.h) continue;
            const float* s = &src.px[(size_t(y) * src.w + x) * 4];
            float* d = &dst.px[(size_t(ty) * dst.w + tx) * 4];
            float keep = 1 - s[3];
            for (int k = 0; k < 4; ++k) d[k] = s[k] + d[k] * keep;
        }
}

Mask AlphaOf(const Canvas& c) {
    Mask m(c.w, c.h);
    for (size_t i = 0; i < m.a.size(); ++i) m.a[i] = c.px[i * 4 + 3];
    return m;
}

void RimBehind(Canvas& c, Rgba rim, double width) {
    Canvas under(c.w, c.h);
    Fill(under, Dilate(AlphaOf(c), width), Solid(rim));
    Compose(under, c, 0, 0);
    c = std::move(under);
}

std::vector<uint8_t> ToRgba8(const Canvas& c) {
    std::vector<uint8_t> out(size_t(c.w) * c.h * 4, 0);
    for (size_t i = 0; i < size_t(c.w) * c.h; ++i) {
        const float* p = &c.px[i * 4];
        double a = Clamp01(p[3]);
        int ai = int(std::lround(a * 255));
        if (ai == 0) continue;
        for (int k = 0; k < 3; ++k) out[i * 4 + k] = uint8_t(std::lround(Clamp01(p[k] / a) * 255));
        out[i * 4 + 3] = uint8_t(ai);
    }
    return out;
}

}  // namespace assetgen
