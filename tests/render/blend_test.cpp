// Blend arithmetic, colour tint and the drawing state on known pixels.
//
// Tolerance: channels are 8-bit and rounded after the tint and after the
// blend, so results may differ from the real-valued formula by 1; checks
// against a formula allow 1, checks of values exact in 8 bits allow 0.
#include <cmath>

#include "picture.h"

using namespace rtest;

namespace {

// A rectangle of (r, g, b, alpha) in `blend` over (200, 100, 50); returns
// the pixel drawn over and whether it is within `tol` of (er, eg, eb).
::testing::AssertionResult Over(int blend, int r, int g, int b, float alpha, double er, double eg,
                                double eb, int tol) {
    SetClsColor(200, 100, 50);
    Cls();
    SetBlend(blend);
    SetColor(r, g, b);
    SetAlpha(alpha);
    DrawRect(2, 2, 4, 4);
    uint32_t p = BackBuffer().at(3, 3);
    double want[3] = {er, eg, eb};
    for (int i = 0; i < 3; ++i)
        if (std::abs(int((p >> (16 - 8 * i)) & 0xFF) - int(std::lround(want[i]))) > tol || (p >> 24) != 255)
            return ::testing::AssertionFailure() << "blend " << blend << " gave " << std::hex << p;
    return ::testing::AssertionSuccess();
}

Image OneTexel(uint32_t argb) {
    Image img = CreateImage(1, 1, 1, 0);
    Pixmap pm = CreatePixmap(1, 1);
    WritePixel(pm, 0, 0, argb);
    UnlockImage(img, pm);
    return img;
}

}  // namespace

TEST(Blend, FlatColourInEachMode) {
    OpenWindow(8, 8);
    EXPECT_TRUE(Over(BlendAlpha, 0, 200, 100, 0.25f, 150, 125, 62.5, 1));
    EXPECT_TRUE(Over(BlendLight, 100, 100, 100, 0.5f, 250, 150, 100, 1));
    EXPECT_TRUE(Over(BlendLight, 255, 255, 255, 1, 255, 255, 255, 0));  // clamped
    EXPECT_TRUE(Over(BlendShade, 128, 255, 0, 0.3f, 200 * 128 / 255.0, 100, 0, 1));  // alpha unused
    EXPECT_TRUE(Over(BlendSolid, 10, 20, 30, 0, 10, 20, 30, 0));  // alpha unused
    EXPECT_TRUE(Over(99, 10, 20, 30, 0.2f, 10, 20, 30, 0));       // unknown = solid
    EXPECT_TRUE(Over(BlendMask, 10, 20, 30, 0.6f, 10, 20, 30, 0));
    EXPECT_TRUE(Over(BlendMask, 10, 20, 30, 0.5f, 200, 100, 50, 0));  // not above one half
    EXPECT_TRUE(Over(BlendAlpha, 7, 8, 9, 0, 200, 100, 50, 0));       // alpha 0: no change
    EXPECT_TRUE(Over(BlendAlpha, 7, 8, 9, 1, 7, 8, 9, 0));
}

TEST(Blend, TexelAlphaAndTintCombine) {
    OpenWindow(8, 8);
    // Texel (200, 100, 40) alpha 128, tint (255, 128, 0) at alpha 0.5 over
    // (0, 0, 200): a = 128/255 · 0.5, source = texel × tint / 255.
    Image img = OneTexel(0x80C86428u);
    SetClsColor(0, 0, 200);
    Cls();
    SetColor(255, 128, 0);
    SetAlpha(0.5f);
    SetScale(4, 4);
    DrawImage(img, 2, 2);
    const double a = 128 / 255.0 * 0.5;
    uint32_t p = BackBuffer().at(3, 3);
    EXPECT_NEAR(Red(p), 200 * a, 1);
    EXPECT_NEAR((p >> 8) & 0xFF, 100 * 128 / 255.0 * a, 1);
    EXPECT_NEAR(p & 0xFF, 200 * (1 - a), 1);
    // Mask mode tests the texel's alpha: 0xC8 drawn, 0x64 not.
    Image two = CreateImage(2, 1, 1, 0);
    Pixmap pm = CreatePixmap(2, 1);
    WritePixel(pm, 0, 0, 0xC8FF0000u);
    WritePixel(pm, 1, 0, 0x6400FF00u);
    UnlockImage(two, pm);
    SetClsColor(0, 0, 0);
    Cls();
    SetBlend(BlendMask);
    SetColor(255, 255, 255);
    SetAlpha(1);
    SetScale(1, 1);
    DrawImage(two, 0, 0);
    EXPECT_EQ(BackBuffer().at(0, 0), Rgb(255, 0, 0));
    EXPECT_EQ(BackBuffer().at(1, 0), Rgb(0, 0, 0));
}

TEST(DrawState, ClampingAndReset) {
    OpenWindow(8, 8);
    int r, g, b;
    SetColor(300, -5, 127);
    GetColor(r, g, b);
    EXPECT_EQ(r * 1000000 + g * 1000 + b, 255000127);
    for (float in : {2.0f, -0.5f, std::nanf("")}) {
        SetAlpha(in);
        EXPECT_EQ(GetAlpha(), in > 1 ? 1.0f : 0.0f) << in;
    }
    SetClsColor(-20, 500, 3);
    Cls();
    EXPECT_EQ(BackBuffer().at(0, 0), Rgb(0, 255, 3));

    // Opening graphics again resets every part of the state.
    SetAlpha(0.5f);
    SetScale(3, 4);
    SetRotation(45);
    SetLineWidth(7);
    SetVirtualResolution(640, 480);
    SetImageFont(LoadImageFont("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 20));
    ASSERT_TRUE(Graphics(40, 30, 0, 60));
    float sx, sy;
    GetScale(sx, sy);
    GetColor(r, g, b);
    EXPECT_EQ(r + g + b, 3 * 255);
    EXPECT_EQ(GetAlpha() + sx * sy + GetLineWidth(), 3.0f);
    EXPECT_EQ(GetBlend(), BlendAlpha);
    EXPECT_EQ(GetRotation(), 0.0f);
    EXPECT_EQ(VirtualResolutionWidth() * VirtualResolutionHeight(), 40.0f * 30.0f);
    EXPECT_EQ(GetImageFont(), nullptr);

}
