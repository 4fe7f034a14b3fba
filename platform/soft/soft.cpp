// soft.cpp — the software renderer: triangles into a 32-bit back buffer.
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
// The back buffer is always opaque (alpha 255). Every draw is rasterised and
// blended in full even when a = 0: the engine test measures exactly that.
//
// Speed: a quad (two triangles sharing an edge, as the drawing calls send
// images, rectangles and glyphs) is filled as one convex polygon when that
// gives the same pixels; texture coordinates step in 16.16 fixed point along
// each row; each blend × sampling × tint combination is its own span loop.
#include <algorithm>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/backend.h"
#include "platform/soft/raster.h"

namespace plat {
namespace {

using soft::Div255;
using soft::Div255Pair;
using soft::FixPoint;

enum TexMode { TexNone = 0, TexNearest = 1, TexBilinear = 2 };

// An attribute as a plane over window pixels: f(px, py) = c + dx·px + dy·py.
struct Plane {
    double c = 0, dx = 0, dy = 0;
    double At(double px, double py) const { return c + dx * px + dy * py; }
};

struct SpanCtx {
    uint32_t* buffer;
    int pitch;
    // Texture
    const uint32_t* texels;
    int texW, texH;
    Plane u, v;  // texel units
    int32_t dudx, dvdx;  // per pixel along a row, texels × 65536
    int64_t dudy, dvdy;  // per row
    int64_t u00, v00;    // at the centre of pixel (0, 0)
    // Colour: constant, or planes per channel (0..255) when the corners differ
    uint32_t color;
    uint32_t ca, cr, cg, cb;
    Plane pa, pr, pg, pb;
};

Plane MakePlane(const Vertex& a, const Vertex& b, const Vertex& c, double fa, double fb, double fc) {
    Plane p;
    const double x1 = double(b.x) - a.x, y1 = double(b.y) - a.y;
    const double x2 = double(c.x) - a.x, y2 = double(c.y) - a.y;
    const double det = x1 * y2 - x2 * y1;
    if (det != 0 && std::isfinite(det)) {
        const double f1 = fb - fa, f2 = fc - fa;
        p.dx = (f1 * y2 - f2 * y1) / det;
        p.dy = (f2 * x1 - f1 * x2) / det;
    }
    p.c = fa - p.dx * a.x - p.dy * a.y;
    return p;
}

inline int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

inline uint32_t Modulate(uint32_t t, uint32_t ca, uint32_t cr, uint32_t cg, uint32_t cb) {
    return (Div255((t >> 24) * ca) << 24) | (Div255(((t >> 16) & 0xFF) * cr) << 16) |
           (Div255(((t >> 8) & 0xFF) * cg) << 8) | Div255((t & 0xFF) * cb);
}

inline uint32_t Bilinear(const SpanCtx& c, int32_t ufx, int32_t vfx) {
    // Texel centres sit at half-texel positions: shift by half a texel first.
    const int32_t us = ufx - 32768, vs = vfx - 32768;
    const int x0 = us >> 16, y0 = vs >> 16;
    const uint32_t fx = (static_cast<uint32_t>(us) >> 8) & 0xFF;
    const uint32_t fy = (static_cast<uint32_t>(vs) >> 8) & 0xFF;
    const int xa = Clamp(x0, 0, c.texW - 1), xb = Clamp(x0 + 1, 0, c.texW - 1);
    const int ya = Clamp(y0, 0, c.texH - 1), yb = Clamp(y0 + 1, 0, c.texH - 1);
    const uint32_t* ra = c.texels + static_cast<size_t>(ya) * c.texW;
    const uint32_t* rb = c.texels + static_cast<size_t>(yb) * c.texW;
    auto lerp = [](uint32_t p, uint32_t q, uint32_t f) {
        const uint32_t g = 256 - f;
        uint32_t lo = (((p & 0x00FF00FFu) * g + (q & 0x00FF00FFu) * f) >> 8) & 0x00FF00FFu;
        uint32_t hi = ((((p >> 8) & 0x00FF00FFu) * g + ((q >> 8) & 0x00FF00FFu) * f)) & 0xFF00FF00u;
        return lo | hi;
    };
    return lerp(lerp(ra[xa], ra[xb], fx), lerp(rb[xa], rb[xb], fx), fy);
}

template <int Blend>
inline void BlendPixel(uint32_t* d, uint32_t s) {
    const uint32_t a = s >> 24;
    switch (Blend) {
        case BlendMask:
            if (a > 127) *d = s | 0xFF000000u;
            break;
        case BlendAlpha: {
            const uint32_t dst = *d, ia = 255 - a;
            const uint32_t rb = Div255Pair((s & 0x00FF00FFu) * a + (dst & 0x00FF00FFu) * ia);
            const uint32_t g = Div255(((s >> 8) & 0xFF) * a + ((dst >> 8) & 0xFF) * ia);
            *d = 0xFF000000u | rb | (g << 8);
            break;
        }
        case BlendLight: {
            const uint32_t dst = *d;
            const uint32_t rb = Div255Pair((s & 0x00FF00FFu) * a) + (dst & 0x00FF00FFu);
            const uint32_t g = Div255(((s >> 8) & 0xFF) * a) + ((dst >> 8) & 0xFF);
            const uint32_t r = std::min<uint32_t>(rb >> 16, 255);
            const uint32_t b = std::min<uint32_t>(rb & 0x1FF, 255);
            *d = 0xFF000000u | (r << 16) | (std::min<uint32_t>(g, 255) << 8) | b;
            break;
        }
        case BlendShade: {
            const uint32_t dst = *d;
            const uint32_t r = Div255(((s >> 16) & 0xFF) * ((dst >> 16) & 0xFF));
            const uint32_t g = Div255(((s >> 8) & 0xFF) * ((dst >> 8) & 0xFF));
            const uint32_t b = Div255((s & 0xFF) * (dst & 0xFF));
            *d = 0xFF000000u | (r << 16) | (g << 8) | b;
            break;
        }
        default:  // solid
            *d = s | 0xFF000000u;
            break;
    }
}

#if defined(__SSE2__)
// Four pixels at once on 16-bit lanes (two pixels per register, channels
// b g r a). Same arithmetic as Modulate and BlendPixel, bit for bit: the
// rounded division x/255 is (x + 128)·257 >> 16 in both.
inline __m128i Div255x8(__m128i x) {
    return _mm_mulhi_epu16(_mm_add_epi16(x, _mm_set1_epi16(128)), _mm_set1_epi16(257));
}
inline __m128i AlphaOf(__m128i x) {  // each pixel's alpha lane into its four lanes
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(x, 0xFF), 0xFF);
}

template <int Blend, bool Tint>
inline void Blend4(uint32_t* d, __m128i src, __m128i tint) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i opaque = _mm_set1_epi32(int(0xFF000000u));
    __m128i slo = _mm_unpacklo_epi8(src, zero), shi = _mm_unpackhi_epi8(src, zero);
    if (Tint) {
        slo = Div255x8(_mm_mullo_epi16(slo, tint));
        shi = Div255x8(_mm_mullo_epi16(shi, tint));
    }
    if (Blend == BlendSolid || Blend == BlendMask) {
        __m128i s = _mm_or_si128(_mm_packus_epi16(slo, shi), opaque);
        __m128i dst = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
        if (Blend == BlendMask) {
            // write only where the fragment alpha is above 127 (one half)
            __m128i a = _mm_srli_epi32(_mm_packus_epi16(slo, shi), 24);
            __m128i keep = _mm_cmpgt_epi32(a, _mm_set1_epi32(127));
            s = _mm_or_si128(_mm_and_si128(keep, s), _mm_andnot_si128(keep, dst));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), s);
        return;
    }
    const __m128i dst = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
    const __m128i dlo = _mm_unpacklo_epi8(dst, zero), dhi = _mm_unpackhi_epi8(dst, zero);
    __m128i rlo, rhi;
    if (Blend == BlendAlpha) {
        const __m128i alo = AlphaOf(slo), ahi = AlphaOf(shi);
        const __m128i full = _mm_set1_epi16(255);
        rlo = Div255x8(_mm_add_epi16(_mm_mullo_epi16(slo, alo),
                                     _mm_mullo_epi16(dlo, _mm_sub_epi16(full, alo))));
        rhi = Div255x8(_mm_add_epi16(_mm_mullo_epi16(shi, ahi),
                                     _mm_mullo_epi16(dhi, _mm_sub_epi16(full, ahi))));
    } else if (Blend == BlendLight) {
        rlo = _mm_add_epi16(dlo, Div255x8(_mm_mullo_epi16(slo, AlphaOf(slo))));
        rhi = _mm_add_epi16(dhi, Div255x8(_mm_mullo_epi16(shi, AlphaOf(shi))));
    } else {  // shade
        rlo = Div255x8(_mm_mullo_epi16(slo, dlo));
        rhi = Div255x8(_mm_mullo_epi16(shi, dhi));
    }
    // packus clamps the light blend's sums at 255.
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_or_si128(_mm_packus_epi16(rlo, rhi), opaque));
}
#endif

// One row span for a given blend, sampling, tint and colour interpolation.
template <int Blend, int Tex, bool Tint, bool Gouraud>
void Span(const void* p, int y, int x0, int x1) {
    const SpanCtx& c = *static_cast<const SpanCtx*>(p);
    uint32_t* d = c.buffer + static_cast<size_t>(y) * c.pitch + x0;
    uint32_t* const end = c.buffer + static_cast<size_t>(y) * c.pitch + x1;
    int32_t ufx = 0, vfx = 0;
    const int32_t dudx = c.dudx, dvdx = c.dvdx;
    if (Tex != TexNone) {
        ufx = static_cast<int32_t>(c.u00 + int64_t(dudx) * x0 + c.dudy * y);
        vfx = static_cast<int32_t>(c.v00 + int64_t(dvdx) * x0 + c.dvdy * y);
    }
    const int wmax = c.texW - 1, hmax = c.texH - 1;
    auto fetch = [&]() -> uint32_t {
        uint32_t t;
        if (Tex == TexNearest) {
            const int tx = Clamp(ufx >> 16, 0, wmax), ty = Clamp(vfx >> 16, 0, hmax);
            t = c.texels[static_cast<size_t>(ty) * c.texW + tx];
        } else {
            t = Bilinear(c, ufx, vfx);
        }
        ufx += dudx;
        vfx += dvdx;
        return t;
    };

#if defined(__SSE2__)
    if (!Gouraud) {
        const __m128i tint = _mm_setr_epi16(short(c.cb), short(c.cg), short(c.cr), short(c.ca),
                                            short(c.cb), short(c.cg), short(c.cr), short(c.ca));
        if (Tex == TexNone) {
            // Untextured: the colour is the fragment; no tint to apply.
            const __m128i src = _mm_set1_epi32(int(c.color));
            for (; end - d >= 4; d += 4) Blend4<Blend, false>(d, src, tint);
            if (d < end) {
                alignas(16) uint32_t tmp[4];
                const int n = int(end - d);
                std::memcpy(tmp, d, sizeof(uint32_t) * n);
                Blend4<Blend, false>(tmp, src, tint);
                std::memcpy(d, tmp, sizeof(uint32_t) * n);
            }
            return;
        }
        for (; end - d >= 4; d += 4) {
            const uint32_t t0 = fetch(), t1 = fetch(), t2 = fetch(), t3 = fetch();
            Blend4<Blend, Tint>(d, _mm_setr_epi32(int(t0), int(t1), int(t2), int(t3)), tint);
        }
        if (d < end) {
            // The last one to three pixels go through the same arithmetic.
            alignas(16) uint32_t tmp[4] = {0, 0, 0, 0}, tex[4] = {0, 0, 0, 0};
            const int n = int(end - d);
            for (int i = 0; i < n; ++i) tex[i] = fetch();
            std::memcpy(tmp, d, sizeof(uint32_t) * n);
            Blend4<Blend, Tint>(tmp, _mm_load_si128(reinterpret_cast<const __m128i*>(tex)), tint);
            std::memcpy(d, tmp, sizeof(uint32_t) * n);
        }
        return;
    }
#endif

    float fa = 0, fr = 0, fg = 0, fb = 0;
    const double px = x0 + 0.5, py = y + 0.5;
    if (Gouraud) {
        fa = float(c.pa.At(px, py));
        fr = float(c.pr.At(px, py));
        fg = float(c.pg.At(px, py));
        fb = float(c.pb.At(px, py));
    }
    for (; d < end; ++d) {
        uint32_t ca = c.ca, cr = c.cr, cg = c.cg, cb = c.cb;
        if (Gouraud) {
            ca = uint32_t(Clamp(int(fa + 0.5f), 0, 255));
            cr = uint32_t(Clamp(int(fr + 0.5f), 0, 255));
            cg = uint32_t(Clamp(int(fg + 0.5f), 0, 255));
            cb = uint32_t(Clamp(int(fb + 0.5f), 0, 255));
            fa += float(c.pa.dx);
            fr += float(c.pr.dx);
            fg += float(c.pg.dx);
            fb += float(c.pb.dx);
        }
        uint32_t s;
        if (Tex == TexNone) {
            s = Gouraud ? (ca << 24) | (cr << 16) | (cg << 8) | cb : c.color;
        } else {
            const uint32_t t = fetch();
            s = Tint ? Modulate(t, ca, cr, cg, cb) : t;
        }
        BlendPixel<Blend>(d, s);
    }
}

// Table [blend 1..5 → 0..4][tex][tint][gouraud]; Gouraud implies tinting.
template <int Blend, int Tex>
constexpr soft::SpanFn Pick(bool tint, bool gouraud) {
    return gouraud ? &Span<Blend, Tex, true, true>
                   : (tint ? &Span<Blend, Tex, true, false> : &Span<Blend, Tex, false, false>);
}

template <int Blend>
soft::SpanFn PickTex(int tex, bool tint, bool gouraud) {
    switch (tex) {
        case TexNearest: return Pick<Blend, TexNearest>(tint, gouraud);
        case TexBilinear: return Pick<Blend, TexBilinear>(tint, gouraud);
        default: return Pick<Blend, TexNone>(tint, gouraud);
    }
}

soft::SpanFn PickSpan(int blend, int tex, bool tint, bool gouraud) {
    switch (blend) {
        case BlendMask: return PickTex<BlendMask>(tex, tint, gouraud);
        case BlendAlpha: return PickTex<BlendAlpha>(tex, tint, gouraud);
        case BlendLight: return PickTex<BlendLight>(tex, tint, gouraud);
        case BlendShade: return PickTex<BlendShade>(tex, tint, gouraud);
        default: return PickTex<BlendSolid>(tex, tint, gouraud);
    }
}

inline bool SameVertex(const Vertex& a, const Vertex& b) {
    return a.x == b.x && a.y == b.y && a.u == b.u && a.v == b.v && a.color == b.color;
}

// Vertices further out than this are clipped before snapping, which keeps
// every fixed-point product of the filler well inside 64 bits.
constexpr float GuardBand = 4096.0f;

class SoftRenderer final : public RenderBackend {
public:
    SoftRenderer(int width, int height, PresentFn present)
        : width_(std::max(width, 1)), height_(std::max(height, 1)), present_(std::move(present)),
          pixels_(static_cast<size_t>(width_) * height_, 0xFF000000u) {}

    const char* Name() const override { return "software"; }
    int Width() const override { return width_; }
    int Height() const override { return height_; }

    void Clear(uint32_t rgb) override {
        std::fill(pixels_.begin(), pixels_.end(), 0xFF000000u | (rgb & 0x00FFFFFFu));
    }

    void DrawTriangles(Texture* tex, int blend, const Vertex* v, int count) override {
        if (!v || count < 3) return;
        if (tex && (tex->width <= 0 || tex->height <= 0 ||
                    tex->pixels.size() < static_cast<size_t>(tex->width) * tex->height))
            return;  // a texture without pixels has nothing to show
        int i = 0;
        for (; i + 3 <= count;) {
            if (i + 6 <= count && SameVertex(v[i + 3], v[i]) && SameVertex(v[i + 4], v[i + 2]) &&
                DrawQuad(tex, blend, v[i], v[i + 1], v[i + 2], v[i + 5])) {
                i += 6;
                continue;
            }
            DrawTriangle(tex, blend, v[i], v[i + 1], v[i + 2]);
            i += 3;
        }
    }

    void Present(bool) override {
        if (present_) present_(pixels_.data(), width_, height_);
    }

    void ReadPixels(int x, int y, int w, int h, uint32_t* argb) override {
        if (!argb || w <= 0 || h <= 0) return;
        for (int row = 0; row < h; ++row) {
            uint32_t* dst = argb + static_cast<size_t>(row) * w;
            const int sy = y + row;
            for (int col = 0; col < w; ++col) {
                const int sx = x + col;
                dst[col] = (sx >= 0 && sy >= 0 && sx < width_ && sy < height_)
                               ? pixels_[static_cast<size_t>(sy) * width_ + sx]
                               : 0u;
            }
        }
    }

private:
    bool NeedsClip(const Vertex* const* p, int n) const {
        for (int i = 0; i < n; ++i) {
            const Vertex& q = *p[i];
            if (!(q.x > -GuardBand && q.x < width_ + GuardBand && q.y > -GuardBand &&
                  q.y < height_ + GuardBand))
                return true;
        }
        return false;
    }

    static bool Finite(const Vertex& q) { return std::isfinite(q.x) && std::isfinite(q.y); }

    // Sets up colour and texture for a face whose attributes are affine in
    // a, b, c; false when there is nothing to draw.
    bool Setup(SpanCtx& ctx, soft::SpanFn& fn, Texture* tex, int blend, const Vertex& a,
               const Vertex& b, const Vertex& c) const {
        ctx.buffer = const_cast<uint32_t*>(pixels_.data());
        ctx.pitch = width_;
        const bool gouraud = !(a.color == b.color && a.color == c.color);
        ctx.color = a.color;
        ctx.ca = a.color >> 24;
        ctx.cr = (a.color >> 16) & 0xFF;
        ctx.cg = (a.color >> 8) & 0xFF;
        ctx.cb = a.color & 0xFF;
        if (gouraud) {
            auto ch = [](const Vertex& q, int shift) { return double((q.color >> shift) & 0xFF); };
            ctx.pa = MakePlane(a, b, c, ch(a, 24), ch(b, 24), ch(c, 24));
            ctx.pr = MakePlane(a, b, c, ch(a, 16), ch(b, 16), ch(c, 16));
            ctx.pg = MakePlane(a, b, c, ch(a, 8), ch(b, 8), ch(c, 8));
            ctx.pb = MakePlane(a, b, c, ch(a, 0), ch(b, 0), ch(c, 0));
        }
        int texMode = TexNone;
        if (tex) {
            texMode = tex->filtered ? TexBilinear : TexNearest;
            ctx.texels = tex->pixels.data();
            ctx.texW = tex->width;
            ctx.texH = tex->height;
            ctx.u = MakePlane(a, b, c, double(a.u) * tex->width, double(b.u) * tex->width,
                              double(c.u) * tex->width);
            ctx.v = MakePlane(a, b, c, double(a.v) * tex->height, double(b.v) * tex->height,
                              double(c.v) * tex->height);
            // Fixed point, 16 fraction bits. Texture coordinates within the
            // guard band stay far inside 32 bits (sides are at most 2^14).
            auto fix = [](double v) { return static_cast<int64_t>(std::floor(v * 65536.0 + 0.5)); };
            ctx.dudx = static_cast<int32_t>(fix(ctx.u.dx));
            ctx.dvdx = static_cast<int32_t>(fix(ctx.v.dx));
            ctx.dudy = fix(ctx.u.dy);
            ctx.dvdy = fix(ctx.v.dy);
            ctx.u00 = fix(ctx.u.At(0.5, 0.5));
            ctx.v00 = fix(ctx.v.At(0.5, 0.5));
        } else {
            ctx.texels = nullptr;
            ctx.texW = ctx.texH = 1;
            ctx.dudx = ctx.dvdx = 0;
            ctx.dudy = ctx.dvdy = ctx.u00 = ctx.v00 = 0;
        }
        const bool tint = gouraud || a.color != 0xFFFFFFFFu;
        fn = PickSpan(blend, texMode, tint, gouraud);
        return true;
    }

    static FixPoint Snap(float x, float y) {
        // Within the guard band, so the values fit easily in 32 bits.
        return FixPoint{static_cast<int32_t>(std::floor(x * soft::SubPixel + 0.5f)),
                        static_cast<int32_t>(std::floor(y * soft::SubPixel + 0.5f))};
    }

    void Fill(const Vertex* const* corners, int n, const SpanCtx& ctx, soft::SpanFn fn) {
        FixPoint pts[16];
        if (!NeedsClip(corners, n)) {
            for (int i = 0; i < n; ++i) pts[i] = Snap(corners[i]->x, corners[i]->y);
            soft::FillConvex(pts, n, width_, height_, fn, &ctx);
            return;
        }
        // Clip against the guard band (Sutherland–Hodgman), positions only:
        // the attributes come from the planes, which clipping leaves alone.
        float xs[16], ys[16], nx[16], ny[16];
        int m = n;
        for (int i = 0; i < n; ++i) {
            xs[i] = corners[i]->x;
            ys[i] = corners[i]->y;
        }
        const float lo[2] = {-GuardBand * 0.5f, -GuardBand * 0.5f};
        const float hi[2] = {width_ + GuardBand * 0.5f, height_ + GuardBand * 0.5f};
        for (int side = 0; side < 4 && m >= 3; ++side) {
            const int axis = side & 1;
            const bool upper = side >= 2;
            const float limit = upper ? hi[axis] : lo[axis];
            auto inside = [&](int k) {
                float q = axis ? ys[k] : xs[k];
                return upper ? q <= limit : q >= limit;
            };
            int out = 0;
            for (int k = 0; k < m && out < 15; ++k) {
                int j = k + 1 == m ? 0 : k + 1;
                bool ik = inside(k), ij = inside(j);
                if (ik) {
                    nx[out] = xs[k];
                    ny[out] = ys[k];
                    ++out;
                }
                if (ik != ij && out < 16) {
                    float qk = axis ? ys[k] : xs[k], qj = axis ? ys[j] : xs[j];
                    float t = (limit - qk) / (qj - qk);
                    nx[out] = xs[k] + (xs[j] - xs[k]) * t;
                    ny[out] = ys[k] + (ys[j] - ys[k]) * t;
                    if (axis)
                        ny[out] = limit;
                    else
                        nx[out] = limit;
                    ++out;
                }
            }
            m = out;
            std::memcpy(xs, nx, sizeof(float) * m);
            std::memcpy(ys, ny, sizeof(float) * m);
        }
        if (m < 3) return;
        for (int i = 0; i < m; ++i) pts[i] = Snap(xs[i], ys[i]);
        soft::FillConvex(pts, m, width_, height_, fn, &ctx);
    }

    void DrawTriangle(Texture* tex, int blend, const Vertex& a, const Vertex& b, const Vertex& c) {
        if (!Finite(a) || !Finite(b) || !Finite(c)) return;
        SpanCtx ctx;
        soft::SpanFn fn;
        if (!Setup(ctx, fn, tex, blend, a, b, c)) return;
        const Vertex* corners[3] = {&a, &b, &c};
        Fill(corners, 3, ctx, fn);
    }

    // Fills a, b, c, d as one polygon when that equals the triangles (a, b, c)
    // and (a, c, d): the quad is convex, its colour is one colour, and, when
    // textured, it is a parallelogram in both position and texture space so
    // one affine map covers it. False leaves the caller to draw triangles.
    bool DrawQuad(Texture* tex, int blend, const Vertex& a, const Vertex& b, const Vertex& c,
                  const Vertex& d) {
        if (!(a.color == b.color && a.color == c.color && a.color == d.color)) return false;
        if (!Finite(a) || !Finite(b) || !Finite(c) || !Finite(d)) return false;
        const Vertex* corners[4] = {&a, &b, &c, &d};
        if (NeedsClip(corners, 4)) return false;
        if (tex) {
            const float ex = (a.x + c.x) - (b.x + d.x), ey = (a.y + c.y) - (b.y + d.y);
            const float eu = (a.u + c.u) - (b.u + d.u), ev = (a.v + c.v) - (b.v + d.v);
            if (std::fabs(ex) > 0.01f || std::fabs(ey) > 0.01f) return false;
            if (std::fabs(eu) > 1e-5f || std::fabs(ev) > 1e-5f) return false;
        }
        FixPoint pts[4];
        for (int i = 0; i < 4; ++i) pts[i] = Snap(corners[i]->x, corners[i]->y);
        if (!soft::IsConvexQuad(pts)) return false;
        SpanCtx ctx;
        soft::SpanFn fn;
        if (!Setup(ctx, fn, tex, blend, a, b, c)) return true;
        soft::FillConvex(pts, 4, width_, height_, fn, &ctx);
        return true;
    }

    int width_, height_;
    PresentFn present_;
    std::vector<uint32_t> pixels_;
};

}  // namespace

std::unique_ptr<RenderBackend> CreateSoftRenderer(int width, int height, PresentFn present) {
    return std::make_unique<SoftRenderer>(width, height, std::move(present));
}

}  // namespace plat
