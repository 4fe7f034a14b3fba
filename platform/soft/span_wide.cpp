// span_wide.cpp — AVX2 spans, eight pixels at a time, for every draw with
// one colour: flat fills and textures sampled nearest or bilinear, from
// 32-bit texels or alpha bytes (every sprite, rectangle, logo and glyph of
// the game), in every blend. The arithmetic is the four-pixel path's, lane
// for lane: the same 16-bit products and the same rounded x/255, so the bits
// are the same.
//
// Only this file is compiled for AVX2 (by the target pragma below), and its
// loops are reached only after WideSpansSupported() said yes. Nothing from a
// shared header is expanded inside the AVX2 region, so no AVX2 copy of a
// common inline function can stand in for the portable one elsewhere.
#include "platform/soft/span.h"

#include "platform/platform.h"

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#include <immintrin.h>
#define FLINGO_WIDE_SPANS 1
#endif

namespace plat::soft {

#if FLINGO_WIDE_SPANS

bool WideSpansSupported() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

#pragma GCC push_options
#pragma GCC target("avx2")

namespace {

// ((x + 128)·257) >> 16 as t + (t >> 8) >> 8 with t = x + 128, the same
// for every x <= 255 × 255 and with no multiply: the multiplier is what the
// blends queue on.
inline __m256i Div255x16(__m256i x) {
    const __m256i t = _mm256_add_epi16(x, _mm256_set1_epi16(128));
    return _mm256_srli_epi16(_mm256_add_epi16(t, _mm256_srli_epi16(t, 8)), 8);
}
// The same shifted into the high byte of each 16-bit lane, for the odd
// channels (x >> 8 << 8 is one mask).
inline __m256i Div255x16High(__m256i x) {
    const __m256i t = _mm256_add_epi16(x, _mm256_set1_epi16(128));
    return _mm256_and_si256(_mm256_add_epi16(t, _mm256_srli_epi16(t, 8)), _mm256_set1_epi16(int16_t(0xFF00)));
}

// The tint's channels as the blends hold pixels: the even ones (blue, red)
// and the odd ones (green, alpha) in the two 16-bit lanes of each pixel.
struct Tint8 {
    __m256i even, odd;
};
inline Tint8 MakeTint8(const SpanCtx& c) {
    return Tint8{_mm256_set1_epi32(int(c.cb | (c.cr << 16))), _mm256_set1_epi32(int(c.cg | (c.ca << 16)))};
}

// Eight pixels: src are fragments before the tint, dst what lies under
// them; gives what the pixels become. Each pixel is split into its even
// channels (blue, red) and its odd ones (green, alpha), two 16-bit lanes
// each, so that the alpha sits in the odd half where one shuffle spreads it
// over both lanes, and the results join with a shift and an or.
template <int Blend, bool Tint>
inline __m256i Blend8(__m256i src, __m256i dst, const Tint8& tint) {
    const __m256i low = _mm256_set1_epi16(0x00FF);
    const __m256i opaque = _mm256_set1_epi32(int(0xFF000000u));
    __m256i se = _mm256_and_si256(src, low), so = _mm256_srli_epi16(src, 8);
    if (Tint) {
        se = Div255x16(_mm256_mullo_epi16(se, tint.even));
        so = Div255x16(_mm256_mullo_epi16(so, tint.odd));
    }
    if (Blend == BlendSolid || Blend == BlendMask) {
        const __m256i s = _mm256_or_si256(_mm256_or_si256(se, _mm256_slli_epi16(so, 8)), opaque);
        if (Blend == BlendSolid) return s;
        // written only where the fragment alpha is above 127 (one half)
        const __m256i keep = _mm256_cmpgt_epi32(_mm256_srli_epi32(so, 16), _mm256_set1_epi32(127));
        return _mm256_blendv_epi8(dst, s, keep);
    }
    // Each pixel's alpha in both of its 16-bit lanes.
    const __m256i a = _mm256_shuffle_epi8(
        so, _mm256_setr_epi8(2, 3, 2, 3, 6, 7, 6, 7, 10, 11, 10, 11, 14, 15, 14, 15, 2, 3, 2, 3, 6, 7, 6, 7,
                             10, 11, 10, 11, 14, 15, 14, 15));
    const __m256i de = _mm256_and_si256(dst, low), dO = _mm256_srli_epi16(dst, 8);
    if (Blend == BlendAlpha) {
        const __m256i ia = _mm256_sub_epi16(_mm256_set1_epi16(255), a);
        const __m256i re = Div255x16(_mm256_add_epi16(_mm256_mullo_epi16(se, a), _mm256_mullo_epi16(de, ia)));
        const __m256i ro = Div255x16High(_mm256_add_epi16(_mm256_mullo_epi16(so, a), _mm256_mullo_epi16(dO, ia)));
        return _mm256_or_si256(_mm256_or_si256(re, ro), opaque);
    }
    __m256i re, ro;
    if (Blend == BlendLight) {  // the sums clamped at 255
        const __m256i full = _mm256_set1_epi16(255);
        re = _mm256_min_epu16(_mm256_add_epi16(de, Div255x16(_mm256_mullo_epi16(se, a))), full);
        ro = _mm256_min_epu16(_mm256_add_epi16(dO, Div255x16(_mm256_mullo_epi16(so, a))), full);
        ro = _mm256_slli_epi16(ro, 8);
    } else {  // shade
        re = Div255x16(_mm256_mullo_epi16(se, de));
        ro = Div255x16High(_mm256_mullo_epi16(so, dO));
    }
    return _mm256_or_si256(_mm256_or_si256(re, ro), opaque);
}

inline __m256i Load8(const uint32_t* d) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d)); }
inline void Store8(uint32_t* d, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), v); }
// Lanes 0..n−1 of a span's last, partial group (0 < n < 8); the others are
// neither read nor written.
inline __m256i TailMask(int n) {
    return _mm256_cmpgt_epi32(_mm256_set1_epi32(n), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}
inline __m256i LoadTail(const uint32_t* d, __m256i mask) {
    return _mm256_maskload_epi32(reinterpret_cast<const int*>(d), mask);
}
inline void StoreTail(uint32_t* d, __m256i mask, __m256i v) {
    _mm256_maskstore_epi32(reinterpret_cast<int*>(d), mask, v);
}
// A span's last, partial group, when the eight pixels from d lie within the
// row (`room` pixels to its end): read and written whole, the lanes past the
// span written back as they were. Masked moves cost many times a plain one,
// and the row belongs to this band's thread alone, so nothing can change
// those pixels in between.
template <typename F>
inline void Tail(uint32_t* d, int n, int room, F blend) {
    const __m256i mask = TailMask(n);
    if (room >= 8) {
        const __m256i old = Load8(d);
        Store8(d, _mm256_blendv_epi8(old, blend(old), mask));
    } else {
        StoreTail(d, mask, blend(LoadTail(d, mask)));
    }
}

// Gathers t[index] for eight indices (plain loads: cheaper than a gather
// instruction on the processors this runs on).
inline __m256i Gather8(const uint32_t* t, __m256i index) {
    alignas(32) uint32_t at[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(at), index);
    return _mm256_setr_epi32(int(t[at[0]]), int(t[at[1]]), int(t[at[2]]), int(t[at[3]]),
                             int(t[at[4]]), int(t[at[5]]), int(t[at[6]]), int(t[at[7]]));
}
inline __m256i Gather8(const uint8_t* t, __m256i index) {
    alignas(32) uint32_t at[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(at), index);
    return _mm256_setr_epi32(t[at[0]], t[at[1]], t[at[2]], t[at[3]], t[at[4]], t[at[5]], t[at[6]],
                             t[at[7]]);
}
inline __m256i Clamp8(__m256i x, __m256i hi) {
    return _mm256_min_epi32(_mm256_max_epi32(x, _mm256_setzero_si256()), hi);
}
// (p·(256 − f) + q·f) >> 8 on 16-bit lanes; p, q <= 255 and f <= 255, so
// no sum passes 255 × 256.
inline __m256i Lerp16(__m256i p, __m256i q, __m256i f) {
    const __m256i g = _mm256_sub_epi16(_mm256_set1_epi16(256), f);
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(p, g), _mm256_mullo_epi16(q, f)), 8);
}

// Texels for eight pixels whose 16.16 coordinates are u, v, as the
// four-pixel path samples them: nearest or bilinear (texel centres at half
// texels, clamped at the edges, each channel (p·(256 − f) + q·f) >> 8 across
// and then down), from 32-bit texels or alpha bytes of a white texture.
// rowCol holds texW in the low and 1 in the high 16 bits of each lane.
template <int Tex>
inline __m256i Sample8(const SpanCtx& c, __m256i u, __m256i v, __m256i wmax, __m256i hmax,
                       __m256i pitch, __m256i rowCol) {
    const __m256i white = _mm256_set1_epi32(0x00FFFFFF);
    if (Tex == TexNearest || Tex == TexAlphaNearest) {
        const __m256i tx = Clamp8(_mm256_srai_epi32(u, 16), wmax);
        const __m256i ty = Clamp8(_mm256_srai_epi32(v, 16), hmax);
        // ty·texW + tx in one multiply-add of 16-bit halves: both are
        // clamped to 0..WideTexLimit, so every product and sum is exact.
        const __m256i index = _mm256_madd_epi16(_mm256_or_si256(ty, _mm256_slli_epi32(tx, 16)), rowCol);
        if (Tex == TexNearest) return Gather8(c.texels, index);
        return _mm256_or_si256(_mm256_slli_epi32(Gather8(c.alpha, index), 24), white);
    }
    const __m256i half = _mm256_set1_epi32(32768);
    const __m256i us = _mm256_sub_epi32(u, half), vs = _mm256_sub_epi32(v, half);
    const __m256i x0 = _mm256_srai_epi32(us, 16), y0 = _mm256_srai_epi32(vs, 16);
    const __m256i byte = _mm256_set1_epi32(0xFF), one = _mm256_set1_epi32(1);
    const __m256i fx = _mm256_and_si256(_mm256_srli_epi32(us, 8), byte);
    const __m256i fy = _mm256_and_si256(_mm256_srli_epi32(vs, 8), byte);
    const __m256i xa = Clamp8(x0, wmax), xb = Clamp8(_mm256_add_epi32(x0, one), wmax);
    const __m256i ra = _mm256_mullo_epi32(Clamp8(y0, hmax), pitch);
    const __m256i rb = _mm256_mullo_epi32(Clamp8(_mm256_add_epi32(y0, one), hmax), pitch);
    if (Tex == TexAlphaBilinear) {
        // One alpha per 32-bit lane; the 16-bit products of the low halves
        // are the whole products (the high halves are zero).
        const __m256i a = Gather8(c.alpha, _mm256_add_epi32(ra, xa));
        const __m256i b = Gather8(c.alpha, _mm256_add_epi32(ra, xb));
        const __m256i d = Gather8(c.alpha, _mm256_add_epi32(rb, xa));
        const __m256i e = Gather8(c.alpha, _mm256_add_epi32(rb, xb));
        const __m256i alpha = Lerp16(Lerp16(a, b, fx), Lerp16(d, e, fx), fy);
        return _mm256_or_si256(_mm256_slli_epi32(alpha, 24), white);
    }
    const __m256i a = Gather8(c.texels, _mm256_add_epi32(ra, xa));
    const __m256i b = Gather8(c.texels, _mm256_add_epi32(ra, xb));
    const __m256i d = Gather8(c.texels, _mm256_add_epi32(rb, xa));
    const __m256i e = Gather8(c.texels, _mm256_add_epi32(rb, xb));
    // Each pixel's weight in the four 16-bit lanes of its channels, in the
    // order the byte unpacking puts the pixels.
    const __m256i fx2 = _mm256_or_si256(fx, _mm256_slli_epi32(fx, 16));
    const __m256i fy2 = _mm256_or_si256(fy, _mm256_slli_epi32(fy, 16));
    const __m256i fxl = _mm256_unpacklo_epi32(fx2, fx2), fxh = _mm256_unpackhi_epi32(fx2, fx2);
    const __m256i fyl = _mm256_unpacklo_epi32(fy2, fy2), fyh = _mm256_unpackhi_epi32(fy2, fy2);
    const __m256i zero = _mm256_setzero_si256();
    auto lo = [&](__m256i t) { return _mm256_unpacklo_epi8(t, zero); };
    auto hi = [&](__m256i t) { return _mm256_unpackhi_epi8(t, zero); };
    const __m256i l = Lerp16(Lerp16(lo(a), lo(b), fxl), Lerp16(lo(d), lo(e), fxl), fyl);
    const __m256i h = Lerp16(Lerp16(hi(a), hi(b), fxh), Lerp16(hi(d), hi(e), fxh), fyh);
    return _mm256_packus_epi16(l, h);
}

// The last one to four pixels of a span, flat or sampled nearest from
// 32-bit texels: the same arithmetic on 128-bit registers, which costs half
// of eight lanes where most of them would be thrown away.
inline __m128i Div255x8(__m128i x) {
    const __m128i t = _mm_add_epi16(x, _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
}
template <int Blend, bool Tint>
inline __m128i Blend4(__m128i src, __m128i dst, __m128i tint) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i opaque = _mm_set1_epi32(int(0xFF000000u));
    __m128i slo = _mm_unpacklo_epi8(src, zero), shi = _mm_unpackhi_epi8(src, zero);
    if (Tint) {
        slo = Div255x8(_mm_mullo_epi16(slo, tint));
        shi = Div255x8(_mm_mullo_epi16(shi, tint));
    }
    auto alpha = [](__m128i x) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(x, 0xFF), 0xFF); };
    if (Blend == BlendSolid || Blend == BlendMask) {
        const __m128i s = _mm_or_si128(_mm_packus_epi16(slo, shi), opaque);
        if (Blend == BlendSolid) return s;
        const __m128i a = _mm_srli_epi32(_mm_packus_epi16(slo, shi), 24);
        return _mm_blendv_epi8(dst, s, _mm_cmpgt_epi32(a, _mm_set1_epi32(127)));
    }
    const __m128i dlo = _mm_unpacklo_epi8(dst, zero), dhi = _mm_unpackhi_epi8(dst, zero);
    __m128i rlo, rhi;
    if (Blend == BlendAlpha) {
        const __m128i alo = alpha(slo), ahi = alpha(shi);
        const __m128i full = _mm_set1_epi16(255);
        rlo = Div255x8(_mm_add_epi16(_mm_mullo_epi16(slo, alo), _mm_mullo_epi16(dlo, _mm_sub_epi16(full, alo))));
        rhi = Div255x8(_mm_add_epi16(_mm_mullo_epi16(shi, ahi), _mm_mullo_epi16(dhi, _mm_sub_epi16(full, ahi))));
    } else if (Blend == BlendLight) {
        rlo = _mm_add_epi16(dlo, Div255x8(_mm_mullo_epi16(slo, alpha(slo))));
        rhi = _mm_add_epi16(dhi, Div255x8(_mm_mullo_epi16(shi, alpha(shi))));
    } else {  // shade
        rlo = Div255x8(_mm_mullo_epi16(slo, dlo));
        rhi = Div255x8(_mm_mullo_epi16(shi, dhi));
    }
    return _mm_or_si128(_mm_packus_epi16(rlo, rhi), opaque);
}
// Pixels 0..n−1 (0 < n <= 4) from d; `room` pixels lie from d to the row's
// end. src gives the fragments (before the tint) from what lies under them.
template <int Blend, bool Tint, typename F>
inline void Tail4(uint32_t* d, int n, int room, __m128i tint, F src) {
    const __m128i mask = _mm_cmpgt_epi32(_mm_set1_epi32(n), _mm_setr_epi32(0, 1, 2, 3));
    if (room >= 4) {
        const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d),
                         _mm_blendv_epi8(old, Blend4<Blend, Tint>(src(), old, tint), mask));
    } else {
        const __m128i old = _mm_maskload_epi32(reinterpret_cast<const int*>(d), mask);
        _mm_maskstore_epi32(reinterpret_cast<int*>(d), mask, Blend4<Blend, Tint>(src(), old, tint));
    }
}
inline __m128i Nearest4(const SpanCtx& c, __m256i u, __m256i v, __m256i wmax, __m256i hmax,
                        __m256i rowCol) {
    const __m128i tx = _mm_min_epi32(_mm_max_epi32(_mm_srai_epi32(_mm256_castsi256_si128(u), 16), _mm_setzero_si128()),
                                     _mm256_castsi256_si128(wmax));
    const __m128i ty = _mm_min_epi32(_mm_max_epi32(_mm_srai_epi32(_mm256_castsi256_si128(v), 16), _mm_setzero_si128()),
                                     _mm256_castsi256_si128(hmax));
    const __m128i index = _mm_madd_epi16(_mm_or_si128(ty, _mm_slli_epi32(tx, 16)), _mm256_castsi256_si128(rowCol));
    return _mm_setr_epi32(int(c.texels[_mm_cvtsi128_si32(index)]), int(c.texels[_mm_extract_epi32(index, 1)]),
                          int(c.texels[_mm_extract_epi32(index, 2)]), int(c.texels[_mm_extract_epi32(index, 3)]));
}

// A draw's rows, a run at a time: everything that depends on the draw alone
// (tint, texture limits, the per-lane steps) is set up once per run.
template <int Blend, int Tex, bool Tint>
void WideRows(const void* p, int y, int rows, const int32_t* spans) {
    const SpanCtx& c = *static_cast<const SpanCtx*>(p);
    const Tint8 tint8 = MakeTint8(c);
    const __m256i tint = _mm256_setr_epi16(
        short(c.cb), short(c.cg), short(c.cr), short(c.ca), short(c.cb), short(c.cg), short(c.cr),
        short(c.ca), short(c.cb), short(c.cg), short(c.cr), short(c.ca), short(c.cb), short(c.cg),
        short(c.cr), short(c.ca));
    const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i laneU = _mm256_mullo_epi32(lane, _mm256_set1_epi32(c.dudx));
    const __m256i laneV = _mm256_mullo_epi32(lane, _mm256_set1_epi32(c.dvdx));
    const __m256i du = _mm256_set1_epi32(int32_t(uint32_t(c.dudx) * 8u));
    const __m256i dv = _mm256_set1_epi32(int32_t(uint32_t(c.dvdx) * 8u));
    const __m256i wmax = _mm256_set1_epi32(c.texW - 1), hmax = _mm256_set1_epi32(c.texH - 1);
    const __m256i pitch = _mm256_set1_epi32(c.texW);
    const __m256i rowCol = _mm256_set1_epi32(int32_t((1u << 16) | uint32_t(c.texW & 0xFFFF)));
    const __m256i src = _mm256_set1_epi32(int(c.color));
    // Texel coordinates at x = 0 of the current row, 16.16.
    int64_t rowU = c.u00 + c.dudy * y, rowV = c.v00 + c.dvdy * y;
    for (int i = 0; i < rows; ++i, ++y, rowU += c.dudy, rowV += c.dvdy) {
        const int x0 = spans[2 * i], x1 = spans[2 * i + 1];
        if (x0 >= x1) continue;
        uint32_t* d = c.buffer + static_cast<size_t>(y) * c.pitch + x0;
        int n = x1 - x0;
        const int room = c.pitch - x1;  // pixels past the span's end in its row
        // The same pixels two rows down, which the draw's next spans but one
        // most likely cover, are fetched into the first-level cache meanwhile.
        const uintptr_t ahead = reinterpret_cast<uintptr_t>(d) + uintptr_t(c.pitch) * 8;
        _mm_prefetch(reinterpret_cast<const char*>(ahead), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(ahead + uintptr_t(n) * 4 - 4), _MM_HINT_T0);
        if (Tex == TexNone) {
            // Untextured: the colour is the fragment; no tint to apply.
            for (; n >= 8; n -= 8, d += 8) Store8(d, Blend8<Blend, false>(src, Load8(d), tint8));
            if (n > 4)
                Tail(d, n, n + room, [&](__m256i dst) { return Blend8<Blend, false>(src, dst, tint8); });
            else if (n > 0)
                Tail4<Blend, false>(d, n, n + room, _mm256_castsi256_si128(tint),
                                    [&] { return _mm256_castsi256_si128(src); });
            continue;
        }
        // 32-bit lanes wrap exactly as the one-pixel loop's running sums do.
        const int32_t ufx = static_cast<int32_t>(rowU + int64_t(c.dudx) * x0);
        const int32_t vfx = static_cast<int32_t>(rowV + int64_t(c.dvdx) * x0);
        __m256i u = _mm256_add_epi32(_mm256_set1_epi32(ufx), laneU);
        __m256i v = _mm256_add_epi32(_mm256_set1_epi32(vfx), laneV);
        for (; n >= 8; n -= 8, d += 8) {
            Store8(d, Blend8<Blend, Tint>(Sample8<Tex>(c, u, v, wmax, hmax, pitch, rowCol), Load8(d), tint8));
            u = _mm256_add_epi32(u, du);
            v = _mm256_add_epi32(v, dv);
        }
        if (Tex == TexNearest && n > 0 && n <= 4) {
            Tail4<Blend, Tint>(d, n, n + room, _mm256_castsi256_si128(tint),
                               [&] { return Nearest4(c, u, v, wmax, hmax, rowCol); });
        } else if (n > 0) {
            // The lanes past the span fetch a clamped texel and are not written.
            const __m256i texels = Sample8<Tex>(c, u, v, wmax, hmax, pitch, rowCol);
            Tail(d, n, n + room, [&](__m256i dst) { return Blend8<Blend, Tint>(texels, dst, tint8); });
        }
    }
}

template <int Blend>
RowsFn PickWideTex(int tex, bool tint) {
    switch (tex) {
        case TexNearest: return tint ? &WideRows<Blend, TexNearest, true> : &WideRows<Blend, TexNearest, false>;
        case TexBilinear: return tint ? &WideRows<Blend, TexBilinear, true> : &WideRows<Blend, TexBilinear, false>;
        case TexAlphaNearest:
            return tint ? &WideRows<Blend, TexAlphaNearest, true> : &WideRows<Blend, TexAlphaNearest, false>;
        case TexAlphaBilinear:
            return tint ? &WideRows<Blend, TexAlphaBilinear, true> : &WideRows<Blend, TexAlphaBilinear, false>;
        case TexNone: return &WideRows<Blend, TexNone, false>;
        default: return nullptr;
    }
}

}  // namespace

RowsFn PickWideSpan(int blend, int tex, bool tint, bool gouraud) {
    if (gouraud) return nullptr;
    switch (blend) {
        case BlendMask: return PickWideTex<BlendMask>(tex, tint);
        case BlendAlpha: return PickWideTex<BlendAlpha>(tex, tint);
        case BlendLight: return PickWideTex<BlendLight>(tex, tint);
        case BlendShade: return PickWideTex<BlendShade>(tex, tint);
        default: return PickWideTex<BlendSolid>(tex, tint);
    }
}

#pragma GCC pop_options

#else  // no AVX2 build: the four-pixel spans do everything

bool WideSpansSupported() { return false; }
RowsFn PickWideSpan(int, int, bool, bool) { return nullptr; }

#endif

}  // namespace plat::soft
