// The software renderer driven directly through its RenderBackend table:
// colour interpolation, triangles that are not quads, spans of every length
// (the four-pixel path and its remainder must agree), far-off and broken
// vertices, read-back and present.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/backend.h"

namespace {

using plat::Vertex;

std::unique_ptr<plat::RenderBackend> Make(int w, int h, plat::PresentFn present = {}) {
    return plat::CreateSoftRenderer(w, h, std::move(present));
}

std::vector<uint32_t> Read(plat::RenderBackend& r) {
    std::vector<uint32_t> px(size_t(r.Width()) * r.Height());
    r.ReadPixels(0, 0, r.Width(), r.Height(), px.data());
    return px;
}

void Quad(plat::RenderBackend& r, plat::Texture* tex, int blend, float x0, float y0, float x1, float y1,
          uint32_t c0, uint32_t c1) {
    Vertex a{x0, y0, 0, 0, c0}, b{x1, y0, 1, 0, c1}, c{x1, y1, 1, 1, c1}, d{x0, y1, 0, 1, c0};
    Vertex v[6] = {a, b, c, a, c, d};
    r.DrawTriangles(tex, blend, v, 6);
}

}  // namespace

TEST(Soft, CornerColoursAreInterpolated) {
    auto r = Make(64, 4);
    r->Clear(0);
    Quad(*r, nullptr, BlendSolid, 0, 0, 64, 4, 0xFF000000u, 0xFFFFFFFFu);
    auto px = Read(*r);
    // Left to right the grey rises from near 0 to near 255, never falling.
    // Tolerance: half a step of the 64-pixel ramp at each end.
    EXPECT_LE(px[0] & 0xFF, 3u);
    EXPECT_GE(px[63] & 0xFF, 252u);
    for (int x = 1; x < 64; ++x) EXPECT_GE(px[x] & 0xFF, px[x - 1] & 0xFF) << x;
    EXPECT_NEAR(int(px[32] & 0xFF), 130, 3);  // centre of pixel 32 is 32.5/64 of the way
}

TEST(Soft, SpansOfEveryLengthAgree) {
    // Each blend over a known background, with flat colour and with a
    // texture: every pixel of rows 1..12 pixels long must get one value.
    plat::Texture tex;
    tex.width = tex.height = 1;
    tex.pixels = {0x9A4080C0u};
    for (int blend : {BlendMask, BlendSolid, BlendAlpha, BlendLight, BlendShade}) {
        for (plat::Texture* t : {static_cast<plat::Texture*>(nullptr), &tex}) {
            auto r = Make(16, 13);
            r->Clear(0x603020);
            for (int len = 1; len <= 12; ++len)
                Quad(*r, t, blend, 2, float(len), 2.0f + len, float(len + 1), 0xB0C08040u, 0xB0C08040u);
            auto px = Read(*r);
            const uint32_t want = px[1 * 16 + 2];
            for (int len = 1; len <= 12; ++len)
                for (int x = 2; x < 2 + len; ++x)
                    ASSERT_EQ(px[len * 16 + x], want) << "blend " << blend << " len " << len << " x " << x;
            EXPECT_EQ(px[1 * 16 + 3], 0xFF603020u) << "nothing past the span";
        }
    }
}

TEST(Soft, TrianglesThatAreNotQuadsBlendOnce) {
    // Two triangles sharing a diagonal, sent in an order the quad path does
    // not take: at alpha one half, a pixel drawn twice would come out darker.
    auto r = Make(20, 20);
    r->Clear(0xFFFFFF);
    const uint32_t c = 0x80000000u;
    Vertex v[6] = {{2, 2, 0, 0, c}, {18, 2, 0, 0, c}, {18, 18, 0, 0, c},
                   {18, 18, 0, 0, c}, {2, 18, 0, 0, c}, {2, 2, 0, 0, c}};
    r->DrawTriangles(nullptr, BlendAlpha, v, 6);
    auto px = Read(*r);
    const uint32_t half = px[5 * 20 + 10];
    EXPECT_NE(half, 0xFFFFFFFFu);
    for (int y = 2; y < 18; ++y)
        for (int x = 2; x < 18; ++x) ASSERT_EQ(px[y * 20 + x], half) << x << "," << y;
}

TEST(Soft, FarAndBrokenVerticesAreSafe) {
    auto r = Make(32, 32);
    r->Clear(0);
    const uint32_t w = 0xFFFFFFFFu;
    // A huge triangle whose clipped part is the lower-left half of the target.
    Vertex big[3] = {{-1e7f, -1e7f, 0, 0, w}, {1e7f + 32, 1e7f + 32, 0, 0, w}, {-1e7f, 1e7f + 32, 0, 0, w}};
    r->DrawTriangles(nullptr, BlendSolid, big, 3);
    auto px = Read(*r);
    EXPECT_EQ(px[30 * 32 + 1], w);   // below the diagonal
    EXPECT_EQ(px[1 * 32 + 30], 0xFF000000u);  // above it
    // NaN and infinity draw nothing and do not crash.
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    r->Clear(0);
    Vertex bad[6] = {{nan, 0, 0, 0, w}, {10, 0, 0, 0, w}, {10, 10, 0, 0, w},
                     {0, 0, 0, 0, w}, {inf, 0, 0, 0, w}, {10, 10, 0, 0, w}};
    r->DrawTriangles(nullptr, BlendSolid, bad, 6);
    r->DrawTriangles(nullptr, BlendSolid, bad, 2);  // not a whole triangle
    px = Read(*r);
    for (uint32_t p : px) ASSERT_EQ(p, 0xFF000000u);
    // A texture without pixels has nothing to show.
    plat::Texture empty;
    empty.width = empty.height = 4;
    Quad(*r, &empty, BlendSolid, 0, 0, 8, 8, w, w);
    EXPECT_EQ(Read(*r)[0], 0xFF000000u);
}

TEST(Soft, ReadBackAndPresent) {
    int shown = 0;
    uint32_t seen = 0;
    bool repeated = true;
    auto r = Make(8, 6, [&](const uint32_t* argb, int w, int h, bool repeat) {
        ++shown;
        seen = argb[size_t(h - 1) * w + (w - 1)];
        repeated = repeat;
    });
    EXPECT_STREQ(r->Name(), "software");
    EXPECT_EQ(r->Width(), 8);
    EXPECT_EQ(r->Height(), 6);
    r->Clear(0x123456);
    r->Present(false);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(seen, 0xFF123456u);
    EXPECT_FALSE(repeated);
    // The same clear again is a repeated frame; another colour is not.
    r->Clear(0x123456);
    r->Present(false);
    EXPECT_TRUE(repeated);
    r->Clear(0x654321);
    r->Present(false);
    EXPECT_FALSE(repeated);
    EXPECT_EQ(seen, 0xFF654321u);
    r->Clear(0x123456);
    r->Present(false);
    uint32_t part[4] = {1, 1, 1, 1};
    r->ReadPixels(7, 5, 2, 2, part);  // hangs off the corner
    EXPECT_EQ(part[0], 0xFF123456u);
    EXPECT_EQ(part[1], 0u);
    EXPECT_EQ(part[2], 0u);
    EXPECT_EQ(part[3], 0u);
}

TEST(Soft, AlphaOnlyTexturesDrawAsTheirWhiteTexels) {
    // A font atlas keeps one alpha byte a texel; drawn, nearest or filtered,
    // rotated and scaled, tinted, in every blend, it must give exactly the
    // pixels of the same texture stored as white 32-bit texels.
    for (bool filtered : {false, true}) {
        plat::Texture bytes, words;
        for (plat::Texture* t : {&bytes, &words}) {
            t->width = 13;
            t->height = 9;
            t->filtered = filtered;
        }
        for (int i = 0; i < 13 * 9; ++i) {
            const uint8_t a = uint8_t((i * 37) ^ (i >> 2));
            bytes.alpha.push_back(a);
            words.pixels.push_back((uint32_t(a) << 24) | 0x00FFFFFFu);
        }
        std::vector<uint32_t> picture[2];
        for (int k = 0; k < 2; ++k) {
            auto r = Make(96, 64);
            r->Clear(0x336699);
            for (int blend = 1; blend <= 5; ++blend) {
                const float x = 18.0f * blend, s = 1.7f + 0.3f * blend;
                const uint32_t tint = 0xC0FF8040u ^ (uint32_t(blend) * 0x11223344u);
                Vertex a{x, 4, 0, 0, tint}, b{x + 3 * s, 6 + 13 * s, 1, 0, tint},
                    c{x - 6 * s, 9 + 16 * s, 1, 1, tint}, d{x - 9 * s, 7 + 3 * s, 0, 1, tint};
                Vertex v[6] = {a, b, c, a, c, d};
                r->DrawTriangles(k ? &words : &bytes, blend, v, 6);
            }
            picture[k] = Read(*r);
        }
        EXPECT_EQ(picture[0], picture[1]) << (filtered ? "filtered" : "nearest");
    }
}

TEST(Soft, TintedCopiesNeverStandForAnotherTexture) {
    // Tinted copies of small textures reuse their slots' memory; a frame
    // whose only change is the texture of a tinted draw must still be drawn.
    bool repeated = true;
    auto r = Make(8, 8, [&](const uint32_t*, int, int, bool repeat) { repeated = repeat; });
    plat::Texture a, b, x;
    for (plat::Texture* t : {&a, &b, &x}) t->width = t->height = 2;
    a.pixels.assign(4, 0xFFFF0000u);
    b.pixels.assign(4, 0xFF00FF00u);
    x.pixels.assign(4, 0xFFFFFFFFu);
    for (plat::Texture* t : {&a, &b}) {
        r->Clear(0);
        Quad(*r, t, BlendSolid, 0, 0, 8, 8, 0xFF808080u, 0xFF808080u);
        for (uint32_t i = 1; i < 32; ++i)  // every other copy in a colour of its own
            Quad(*r, &x, BlendSolid, 0, 0, 1, 1, 0xFF000000u | i, 0xFF000000u | i);
        r->Present(false);
        EXPECT_FALSE(repeated);
    }
    EXPECT_EQ(Read(*r)[4 * 8 + 4], 0xFF008000u);
}
