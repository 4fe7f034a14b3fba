// span.cpp — the row spans on SSE2 (four pixels at a time) with a plain
// per-pixel path for colour that varies across a draw.
#include "platform/soft/span.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/platform.h"

namespace plat::soft {
namespace {

inline int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

inline uint32_t Modulate(uint32_t t, uint32_t ca, uint32_t cr, uint32_t cg, uint32_t cb) {
    return (Div255((t >> 24) * ca) << 24) | (Div255(((t >> 16) & 0xFF) * cr) << 16) |
           (Div255(((t >> 8) & 0xFF) * cg) << 8) | Div255((t & 0xFF) * cb);
}

// The four texels around a sample and its weights. Texel centres sit at
// half-texel positions: the position shifts by half a texel first.
struct BilinearTap {
    int xa, xb, ya, yb;  // clamped to the texture
    uint32_t fx, fy;     // 0..255, the weight of xb and yb
};

inline BilinearTap Tap(const SpanCtx& c, int32_t ufx, int32_t vfx) {
    const int32_t us = ufx - 32768, vs = vfx - 32768;
    const int x0 = us >> 16, y0 = vs >> 16;
    const uint32_t fx = (static_cast<uint32_t>(us) >> 8) & 0xFF;
    const uint32_t fy = (static_cast<uint32_t>(vs) >> 8) & 0xFF;
    return BilinearTap{Clamp(x0, 0, c.texW - 1), Clamp(x0 + 1, 0, c.texW - 1),
                       Clamp(y0, 0, c.texH - 1), Clamp(y0 + 1, 0, c.texH - 1), fx, fy};
}

inline uint32_t Bilinear(const SpanCtx& c, int32_t ufx, int32_t vfx) {
    const BilinearTap t = Tap(c, ufx, vfx);
    const uint32_t* ra = c.texels + static_cast<size_t>(t.ya) * c.texW;
    const uint32_t* rb = c.texels + static_cast<size_t>(t.yb) * c.texW;
    auto lerp = [](uint32_t p, uint32_t q, uint32_t f) {
        const uint32_t g = 256 - f;
        uint32_t lo = (((p & 0x00FF00FFu) * g + (q & 0x00FF00FFu) * f) >> 8) & 0x00FF00FFu;
        uint32_t hi = ((((p >> 8) & 0x00FF00FFu) * g + ((q >> 8) & 0x00FF00FFu) * f)) & 0xFF00FF00u;
        return lo | hi;
    };
    return lerp(lerp(ra[t.xa], ra[t.xb], t.fx), lerp(rb[t.xa], rb[t.xb], t.fx), t.fy);
}

// The same on an alpha-only white texture: white stays exactly white, and
// the alpha is the 32-bit form's alpha lane, (p·(256 − f) + q·f) >> 8.
inline uint32_t BilinearAlpha(const SpanCtx& c, int32_t ufx, int32_t vfx) {
    const BilinearTap t = Tap(c, ufx, vfx);
    const uint8_t* ra = c.alpha + static_cast<size_t>(t.ya) * c.texW;
    const uint8_t* rb = c.alpha + static_cast<size_t>(t.yb) * c.texW;
    const uint32_t top = (ra[t.xa] * (256 - t.fx) + ra[t.xb] * t.fx) >> 8;
    const uint32_t bottom = (rb[t.xa] * (256 - t.fx) + rb[t.xb] * t.fx) >> 8;
    return (((top * (256 - t.fy) + bottom * t.fy) >> 8) << 24) | 0x00FFFFFFu;
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
        } else if (Tex == TexAlphaNearest) {
            const int tx = Clamp(ufx >> 16, 0, wmax), ty = Clamp(vfx >> 16, 0, hmax);
            t = (uint32_t(c.alpha[static_cast<size_t>(ty) * c.texW + tx]) << 24) | 0x00FFFFFFu;
        } else if (Tex == TexAlphaBilinear) {
            t = BilinearAlpha(c, ufx, vfx);
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
        fa = float(c.planes->a.At(px, py));
        fr = float(c.planes->r.At(px, py));
        fg = float(c.planes->g.At(px, py));
        fb = float(c.planes->b.At(px, py));
    }
    for (; d < end; ++d) {
        uint32_t ca = c.ca, cr = c.cr, cg = c.cg, cb = c.cb;
        if (Gouraud) {
            ca = uint32_t(Clamp(int(fa + 0.5f), 0, 255));
            cr = uint32_t(Clamp(int(fr + 0.5f), 0, 255));
            cg = uint32_t(Clamp(int(fg + 0.5f), 0, 255));
            cb = uint32_t(Clamp(int(fb + 0.5f), 0, 255));
            fa += float(c.planes->a.dx);
            fr += float(c.planes->r.dx);
            fg += float(c.planes->g.dx);
            fb += float(c.planes->b.dx);
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

template <int Blend, int Tex, bool Tint, bool Gouraud>
void SpanRows(const void* p, int y, int rows, const int32_t* spans) {
    for (int i = 0; i < rows; ++i)
        if (spans[2 * i] < spans[2 * i + 1])
            Span<Blend, Tex, Tint, Gouraud>(p, y + i, spans[2 * i], spans[2 * i + 1]);
}

// Table [blend 1..5 → 0..4][tex][tint][gouraud]; Gouraud implies tinting.
template <int Blend, int Tex>
constexpr RowsFn Pick(bool tint, bool gouraud) {
    return gouraud ? &SpanRows<Blend, Tex, true, true>
                   : (tint ? &SpanRows<Blend, Tex, true, false> : &SpanRows<Blend, Tex, false, false>);
}

template <int Blend>
RowsFn PickTex(int tex, bool tint, bool gouraud) {
    switch (tex) {
        case TexNearest: return Pick<Blend, TexNearest>(tint, gouraud);
        case TexBilinear: return Pick<Blend, TexBilinear>(tint, gouraud);
        case TexAlphaNearest: return Pick<Blend, TexAlphaNearest>(tint, gouraud);
        case TexAlphaBilinear: return Pick<Blend, TexAlphaBilinear>(tint, gouraud);
        default: return Pick<Blend, TexNone>(tint, gouraud);
    }
}

}  // namespace

RowsFn PickSpan(int blend, int tex, bool tint, bool gouraud) {
    switch (blend) {
        case BlendMask: return PickTex<BlendMask>(tex, tint, gouraud);
        case BlendAlpha: return PickTex<BlendAlpha>(tex, tint, gouraud);
        case BlendLight: return PickTex<BlendLight>(tex, tint, gouraud);
        case BlendShade: return PickTex<BlendShade>(tex, tint, gouraud);
        default: return PickTex<BlendSolid>(tex, tint, gouraud);
    }
}

}  // namespace plat::soft
