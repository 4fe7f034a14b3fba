// Blend arithmetic, colour tint and the drawing state's clamping, checked on
// known pixels of the software renderer.
//
// Tolerance: the renderer works on 8-bit channels and rounds after the tint
// and after the blend, so results may differ from the exact real-valued
// formula by 1; checks against a formula allow 1, checks of values that are
// exact in 8 bits (copies, clamps, alpha 0 and 1) allow 0.
#include <cmath>

#include "picture.h"

using namespace rtest;

namespace {

// Expected 8-bit result of a formula on real values, rounded.
int Round8(double v) { return std::clamp(int(std::lround(v)), 0, 255); }

void ExpectNear(uint32_t actual, int r, int g, int b, int tolerance, const char* what) {
    EXPECT_LE(std::abs(Red(actual) - r), tolerance) << what << " red " << Red(actual) << " vs " << r;
    EXPECT_LE(std::abs(Green(actual) - g), tolerance) << what << " green " << Green(actual) << " vs " << g;
    EXPECT_LE(std::abs(Blue(actual) - b), tolerance) << what << " blue " << Blue(actual) << " vs " << b;
    EXPECT_EQ(Alpha(actual), 255) << what << ": the back buffer stays opaque";
}

// Background (200, 100, 50), then a 4 × 4 rectangle at (2, 2) in colour
// (r, g, b) with `alpha` and `blend`; returns the pixel at (3, 3).
uint32_t FlatOver(int blend, int r, int g, int b, float alpha) {
    SetClsColor(200, 100, 50);
    Cls();
    SetBlend(blend);
    SetColor(r, g, b);
    SetAlpha(alpha);
    DrawRect(2, 2, 4, 4);
    return BackBuffer().at(3, 3);
}

class Blend : public ::testing::Test {
protected:
    void SetUp() override { OpenWindow(16, 16); }
};

}  // namespace

TEST_F(Blend, FlatColourInEachMode) {
    // alpha: src·a + dst·(1 − a)
    ExpectNear(FlatOver(BlendAlpha, 0, 200, 100, 0.25f), Round8(0 * 0.25 + 200 * 0.75),
               Round8(200 * 0.25 + 100 * 0.75), Round8(100 * 0.25 + 50 * 0.75), 1, "alpha");
    // light: src·a + dst, clamped at 255
    ExpectNear(FlatOver(BlendLight, 100, 100, 100, 0.5f), 250, Round8(100 + 50.0 * 100 / 100),
               Round8(50 + 50), 1, "light");
    ExpectNear(FlatOver(BlendLight, 255, 255, 255, 1), 255, 255, 255, 0, "light clamp");
    // shade: src·dst, alpha plays no part
    ExpectNear(FlatOver(BlendShade, 128, 255, 0, 0.3f), Round8(200 * 128 / 255.0), 100, 0, 1, "shade");
    // solid: written as it is, whatever the alpha
    ExpectNear(FlatOver(BlendSolid, 10, 20, 30, 0), 10, 20, 30, 0, "solid");
    ExpectNear(FlatOver(99, 10, 20, 30, 0.2f), 10, 20, 30, 0, "unknown mode acts as solid");
    // mask: no blending, and only above alpha one half
    ExpectNear(FlatOver(BlendMask, 10, 20, 30, 0.6f), 10, 20, 30, 0, "mask above half");
    ExpectNear(FlatOver(BlendMask, 10, 20, 30, 0.4f), 200, 100, 50, 0, "mask below half");
    ExpectNear(FlatOver(BlendMask, 10, 20, 30, 0.5f), 200, 100, 50, 0, "mask at exactly half");
}

TEST_F(Blend, AlphaZeroAndOneAreExact) {
    ExpectNear(FlatOver(BlendAlpha, 7, 8, 9, 0), 200, 100, 50, 0, "alpha 0 leaves the picture");
    ExpectNear(FlatOver(BlendAlpha, 7, 8, 9, 1), 7, 8, 9, 0, "alpha 1 replaces it");
    ExpectNear(FlatOver(BlendLight, 7, 8, 9, 0), 200, 100, 50, 0, "light with alpha 0");
}

TEST_F(Blend, TexelAlphaAndTintCombine) {
    // One texel: colour (200, 100, 40) with alpha 128, tinted (255, 128, 0)
    // and drawn at alpha 0.5 over (0, 0, 200): a = 128/255 · 0.5.
    Image img = CreateImage(1, 1, 1, 0);
    Pixmap pm = CreatePixmap(1, 1);
    WritePixel(pm, 0, 0, 0x80C86428u);
    UnlockImage(img, pm);
    SetClsColor(0, 0, 200);
    Cls();
    SetBlend(BlendAlpha);
    SetColor(255, 128, 0);
    SetAlpha(0.5f);
    SetScale(4, 4);
    DrawImage(img, 4, 4);
    const double a = 128 / 255.0 * 0.5;
    const uint32_t p = BackBuffer().at(5, 5);
    ExpectNear(p, Round8(200 * a), Round8(100 * 128 / 255.0 * a), Round8(200 * (1 - a)), 1, "tinted texel");

    // The same texel in shade mode multiplies by the tinted colour only.
    Cls();
    SetBlend(BlendShade);
    SetColor(255, 255, 255);
    SetClsColor(255, 255, 100);
    Cls();
    DrawImage(img, 4, 4);
    ExpectNear(BackBuffer().at(5, 5), 200, 100, Round8(40 * 100 / 255.0), 1, "shaded texel");
}

TEST_F(Blend, MaskUsesTexelAlpha) {
    // Two texels: alpha 200 (drawn) and alpha 100 (skipped) in mask mode.
    Image img = CreateImage(2, 1, 1, 0);
    Pixmap pm = CreatePixmap(2, 1);
    WritePixel(pm, 0, 0, 0xC8FF0000u);
    WritePixel(pm, 1, 0, 0x6400FF00u);
    UnlockImage(img, pm);
    SetClsColor(0, 0, 0);
    Cls();
    SetBlend(BlendMask);
    DrawImage(img, 0, 0);
    Picture p = BackBuffer();
    EXPECT_EQ(p.at(0, 0), Rgb(255, 0, 0));
    EXPECT_EQ(p.at(1, 0), Rgb(0, 0, 0));
}

TEST(DrawState, ColourAndAlphaAreClamped) {
    OpenWindow(8, 8);
    int r, g, b;
    SetColor(300, -5, 127);
    GetColor(r, g, b);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 0);
    EXPECT_EQ(b, 127);
    SetAlpha(2);
    EXPECT_EQ(GetAlpha(), 1.0f);
    SetAlpha(-0.5f);
    EXPECT_EQ(GetAlpha(), 0.0f);
    SetAlpha(std::nanf(""));
    EXPECT_EQ(GetAlpha(), 0.0f);
    SetAlpha(0.25f);
    EXPECT_EQ(GetAlpha(), 0.25f);

    // The clamped colour is what is drawn.
    SetBlend(BlendSolid);
    SetColor(999, -1, 64);
    DrawRect(0, 0, 8, 8);
    EXPECT_EQ(BackBuffer().at(4, 4), Rgb(255, 0, 64));
    // The cls colour is clamped too.
    SetClsColor(-20, 500, 3);
    Cls();
    EXPECT_EQ(BackBuffer().at(0, 0), Rgb(0, 255, 3));
}

TEST(DrawState, GraphicsResetsEverything) {
    OpenWindow(32, 24);
    SetColor(1, 2, 3);
    SetAlpha(0.5f);
    SetBlend(BlendShade);
    SetScale(3, 4);
    SetRotation(45);
    SetLineWidth(7);
    SetVirtualResolution(640, 480);
    SetClsColor(9, 9, 9);
    ASSERT_TRUE(Graphics(40, 30, 0, 60));
    int r, g, b;
    GetColor(r, g, b);
    EXPECT_EQ(r + g + b, 255 * 3);
    EXPECT_EQ(GetAlpha(), 1.0f);
    EXPECT_EQ(GetBlend(), BlendAlpha);
    float sx, sy;
    GetScale(sx, sy);
    EXPECT_EQ(sx, 1.0f);
    EXPECT_EQ(sy, 1.0f);
    EXPECT_EQ(GetRotation(), 0.0f);
    EXPECT_EQ(GetLineWidth(), 1.0f);
    EXPECT_EQ(VirtualResolutionWidth(), 40.0f);
    EXPECT_EQ(VirtualResolutionHeight(), 30.0f);
    EXPECT_EQ(GetImageFont(), nullptr);
    Cls();
    EXPECT_EQ(BackBuffer().at(0, 0), Rgb(0, 0, 0));
}

TEST(DrawState, DrawingWithoutGraphicsDoesNothing) {
    UseHeadlessPlatform();
    // No context: every call must simply return.
    Cls();
    DrawRect(0, 0, 10, 10);
    DrawLine(0, 0, 10, 10);
    DrawOval(0, 0, 10, 10);
    DrawText("hello", 0, 0);
    DrawImage(CreateImage(4, 4), 1, 1);
    EXPECT_EQ(GrabPixmap(0, 0, 4, 4), nullptr);
    EXPECT_FALSE(GraphicsOpen());
}
