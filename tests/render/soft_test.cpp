// The software renderer through its RenderBackend table: colour
// interpolation, spans of every length (the four-pixel path and its
// remainder must agree), and far-off and broken vertices.
#include <gtest/gtest.h>

#include <limits>

#include "platform/backend.h"

namespace {

std::vector<uint32_t> Read(plat::RenderBackend& r) {
    std::vector<uint32_t> px(size_t(r.Width()) * r.Height());
    r.ReadPixels(0, 0, r.Width(), r.Height(), px.data());
    return px;
}

void Quad(plat::RenderBackend& r, plat::Texture* tex, int blend, float x0, float y0, float x1,
          float y1, uint32_t left, uint32_t right) {
    plat::Vertex a{x0, y0, 0, 0, left}, b{x1, y0, 1, 0, right}, c{x1, y1, 1, 1, right}, d{x0, y1, 0, 1, left};
    plat::Vertex v[6] = {a, b, c, a, c, d};
    r.DrawTriangles(tex, blend, v, 6);
}

}  // namespace

TEST(Soft, CornerColoursAreInterpolated) {
    auto r = plat::CreateSoftRenderer(64, 2, {});
    Quad(*r, nullptr, BlendSolid, 0, 0, 64, 2, 0xFF000000u, 0xFFFFFFFFu);
    auto px = Read(*r);
    // Pixel x's centre is (x + 0.5)/64 of the way; tolerance 1 for rounding.
    for (int x = 0; x < 64; ++x) ASSERT_NEAR(int(px[x] & 0xFF), (x + 0.5) / 64 * 255, 1) << x;
}

TEST(Soft, SpansOfEveryLengthAgree) {
    plat::Texture tex;
    tex.width = tex.height = 1;
    tex.pixels = {0x9A4080C0u};
    for (int blend : {BlendMask, BlendSolid, BlendAlpha, BlendLight, BlendShade})
        for (plat::Texture* t : {static_cast<plat::Texture*>(nullptr), &tex}) {
            auto r = plat::CreateSoftRenderer(16, 13, {});
            r->Clear(0x603020);
            for (int len = 1; len <= 12; ++len)
                Quad(*r, t, blend, 2, float(len), 2.0f + len, len + 1.0f, 0xB0C08040u, 0xB0C08040u);
            auto px = Read(*r);
            for (int len = 1; len <= 12; ++len)
                for (int x = 2; x < 2 + len; ++x)
                    ASSERT_EQ(px[len * 16 + x], px[16 + 2]) << "blend " << blend << " len " << len;
            EXPECT_EQ(px[16 + 3], 0xFF603020u);  // nothing past the span
        }
}

TEST(Soft, FarBrokenAndPartialInputIsSafe) {
    auto r = plat::CreateSoftRenderer(32, 32, {});
    const uint32_t w = 0xFFFFFFFFu, black = 0xFF000000u;
    // Huge triangle: clipped, it is the part of the target below the diagonal.
    plat::Vertex big[3] = {{-1e7f, -1e7f, 0, 0, w}, {1e7f + 32, 1e7f + 32, 0, 0, w}, {-1e7f, 1e7f + 32, 0, 0, w}};
    r->DrawTriangles(nullptr, BlendSolid, big, 3);
    auto px = Read(*r);
    EXPECT_EQ(px[30 * 32 + 1], w);
    EXPECT_EQ(px[1 * 32 + 30], black);
    r->Clear(0);
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    plat::Vertex bad[6] = {{nan, 0, 0, 0, w}, {10, 0, 0, 0, w}, {10, 10, 0, 0, w},
                           {0, 0, 0, 0, w}, {inf, 0, 0, 0, w}, {10, 10, 0, 0, w}};
    r->DrawTriangles(nullptr, BlendSolid, bad, 6);
    r->DrawTriangles(nullptr, BlendSolid, bad + 1, 2);  // not a whole triangle
    plat::Texture empty;  // a texture without pixels shows nothing
    empty.width = empty.height = 4;
    Quad(*r, &empty, BlendSolid, 0, 0, 8, 8, w, w);
    for (uint32_t p : Read(*r)) ASSERT_EQ(p, black);
    // Two triangles that are not sent as a quad still blend each pixel once.
    const uint32_t half = 0x80FFFFFFu;
    plat::Vertex tri[6] = {{2, 2, 0, 0, half}, {18, 2, 0, 0, half}, {18, 18, 0, 0, half},
                           {18, 18, 0, 0, half}, {2, 18, 0, 0, half}, {2, 2, 0, 0, half}};
    r->DrawTriangles(nullptr, BlendAlpha, tri, 6);
    px = Read(*r);
    for (int y = 2; y < 18; ++y)
        for (int x = 2; x < 18; ++x) ASSERT_EQ(px[y * 32 + x], px[5 * 32 + 10]) << x << "," << y;
    EXPECT_NE(px[5 * 32 + 10], black);
}
