// span_wide.cpp — AVX2 spans, eight pixels at a time, for the spans the
// frames spend their time in: flat fills and nearest-sampled textures with a
// flat colour (every sprite, rectangle and glyph of the game), in every
// blend. The arithmetic is the four-pixel path's, lane for lane: the same
// 16-bit products and the same rounded x/255, so the bits are the same.
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

inline __m256i Div255x16(__m256i x) {
    return _mm256_mulhi_epu16(_mm256_add_epi16(x, _mm256_set1_epi16(128)), _mm256_set1_epi16(257));
}
inline __m256i AlphaOf8(__m256i x) {  // each pixel's alpha lane into its four lanes
    return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(x, 0xFF), 0xFF);
}

// Eight pixels: src are fragments before the tint, dst what lies under
// them; gives what the pixels become. tint holds b g r a twice per 128-bit
// half.
template <int Blend, bool Tint>
inline __m256i Blend8(__m256i src, __m256i dst, __m256i tint) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i opaque = _mm256_set1_epi32(int(0xFF000000u));
    __m256i slo = _mm256_unpacklo_epi8(src, zero), shi = _mm256_unpackhi_epi8(src, zero);
    if (Tint) {
        slo = Div255x16(_mm256_mullo_epi16(slo, tint));
        shi = Div255x16(_mm256_mullo_epi16(shi, tint));
    }
    if (Blend == BlendSolid || Blend == BlendMask) {
        const __m256i s = _mm256_or_si256(_mm256_packus_epi16(slo, shi), opaque);
        if (Blend == BlendSolid) return s;
        // written only where the fragment alpha is above 127 (one half)
        const __m256i a = _mm256_srli_epi32(_mm256_packus_epi16(slo, shi), 24);
        const __m256i keep = _mm256_cmpgt_epi32(a, _mm256_set1_epi32(127));
        return _mm256_blendv_epi8(dst, s, keep);
    }
    const __m256i dlo = _mm256_unpacklo_epi8(dst, zero), dhi = _mm256_unpackhi_epi8(dst, zero);
    __m256i rlo, rhi;
    if (Blend == BlendAlpha) {
        const __m256i alo = AlphaOf8(slo), ahi = AlphaOf8(shi);
        const __m256i full = _mm256_set1_epi16(255);
        rlo = Div255x16(_mm256_add_epi16(_mm256_mullo_epi16(slo, alo),
                                         _mm256_mullo_epi16(dlo, _mm256_sub_epi16(full, alo))));
        rhi = Div255x16(_mm256_add_epi16(_mm256_mullo_epi16(shi, ahi),
                                         _mm256_mullo_epi16(dhi, _mm256_sub_epi16(full, ahi))));
    } else if (Blend == BlendLight) {
        rlo = _mm256_add_epi16(dlo, Div255x16(_mm256_mullo_epi16(slo, AlphaOf8(slo))));
        rhi = _mm256_add_epi16(dhi, Div255x16(_mm256_mullo_epi16(shi, AlphaOf8(shi))));
    } else {  // shade
        rlo = Div255x16(_mm256_mullo_epi16(slo, dlo));
        rhi = Div255x16(_mm256_mullo_epi16(shi, dhi));
    }
    // packus clamps the light blend's sums at 255.
    return _mm256_or_si256(_mm256_packus_epi16(rlo, rhi), opaque);
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

// Nearest texels for eight pixels whose 16.16 coordinates are u, v.
inline __m256i Fetch8(const SpanCtx& c, __m256i u, __m256i v, __m256i wmax, __m256i hmax,
                      __m256i pitch) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i tx = _mm256_min_epi32(_mm256_max_epi32(_mm256_srai_epi32(u, 16), zero), wmax);
    const __m256i ty = _mm256_min_epi32(_mm256_max_epi32(_mm256_srai_epi32(v, 16), zero), hmax);
    const __m256i index = _mm256_add_epi32(_mm256_mullo_epi32(ty, pitch), tx);
    alignas(32) uint32_t at[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(at), index);
    const uint32_t* t = c.texels;
    return _mm256_setr_epi32(int(t[at[0]]), int(t[at[1]]), int(t[at[2]]), int(t[at[3]]),
                             int(t[at[4]]), int(t[at[5]]), int(t[at[6]]), int(t[at[7]]));
}

template <int Blend, int Tex, bool Tint>
void WideSpan(const void* p, int y, int x0, int x1) {
    const SpanCtx& c = *static_cast<const SpanCtx*>(p);
    uint32_t* d = c.buffer + static_cast<size_t>(y) * c.pitch + x0;
    int n = x1 - x0;
    const __m256i tint = _mm256_setr_epi16(
        short(c.cb), short(c.cg), short(c.cr), short(c.ca), short(c.cb), short(c.cg), short(c.cr),
        short(c.ca), short(c.cb), short(c.cg), short(c.cr), short(c.ca), short(c.cb), short(c.cg),
        short(c.cr), short(c.ca));
    if (Tex == TexNone) {
        // Untextured: the colour is the fragment; no tint to apply.
        const __m256i src = _mm256_set1_epi32(int(c.color));
        for (; n >= 8; n -= 8, d += 8) Store8(d, Blend8<Blend, false>(src, Load8(d), tint));
        if (n > 0) {
            const __m256i mask = TailMask(n);
            StoreTail(d, mask, Blend8<Blend, false>(src, LoadTail(d, mask), tint));
        }
        return;
    }
    const int32_t ufx = static_cast<int32_t>(c.u00 + int64_t(c.dudx) * x0 + c.dudy * y);
    const int32_t vfx = static_cast<int32_t>(c.v00 + int64_t(c.dvdx) * x0 + c.dvdy * y);
    const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    // 32-bit lanes wrap exactly as the one-pixel loop's running sums do.
    __m256i u = _mm256_add_epi32(_mm256_set1_epi32(ufx), _mm256_mullo_epi32(lane, _mm256_set1_epi32(c.dudx)));
    __m256i v = _mm256_add_epi32(_mm256_set1_epi32(vfx), _mm256_mullo_epi32(lane, _mm256_set1_epi32(c.dvdx)));
    const __m256i du = _mm256_set1_epi32(int32_t(uint32_t(c.dudx) * 8u));
    const __m256i dv = _mm256_set1_epi32(int32_t(uint32_t(c.dvdx) * 8u));
    const __m256i wmax = _mm256_set1_epi32(c.texW - 1), hmax = _mm256_set1_epi32(c.texH - 1);
    const __m256i pitch = _mm256_set1_epi32(c.texW);
    for (; n >= 8; n -= 8, d += 8) {
        Store8(d, Blend8<Blend, Tint>(Fetch8(c, u, v, wmax, hmax, pitch), Load8(d), tint));
        u = _mm256_add_epi32(u, du);
        v = _mm256_add_epi32(v, dv);
    }
    if (n > 0) {
        // The lanes past the span fetch a clamped texel and are not written.
        const __m256i mask = TailMask(n);
        StoreTail(d, mask, Blend8<Blend, Tint>(Fetch8(c, u, v, wmax, hmax, pitch), LoadTail(d, mask), tint));
    }
}

template <int Blend>
SpanFn PickWideTex(int tex, bool tint) {
    switch (tex) {
        case TexNearest: return tint ? &WideSpan<Blend, TexNearest, true> : &WideSpan<Blend, TexNearest, false>;
        case TexNone: return &WideSpan<Blend, TexNone, false>;
        default: return nullptr;
    }
}

}  // namespace

SpanFn PickWideSpan(int blend, int tex, bool tint, bool gouraud) {
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
SpanFn PickWideSpan(int, int, bool, bool) { return nullptr; }

#endif

}  // namespace plat::soft
