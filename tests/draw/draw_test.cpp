// Tests of the drawing helpers on the headless software renderer, read back
// as pixels (window pixels = virtual pixels here).
#include <gtest/gtest.h>

#include "draw/draw.h"
#include "tests/framework/support.h"

namespace {

class DrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseHeadlessPlatform();
        InitGlobals();
        ASSERT_TRUE(Graphics(200, 100, 0, 60, 0));
        SetVirtualResolution(200, 100);
        ScreenWidth = 200;
        ScreenHeight = 100;
    }
    // A 4 × 4 image of one opaque colour, handle at its centre.
    static Image Solid(uint32_t rgb) {
        const Image image = CreateImage(4, 4, 1, ImageDynamic);
        const Pixmap pixels = CreatePixmap(4, 4);
        for (int i = 0; i < 16; ++i) WritePixel(pixels, i % 4, i / 4, 0xFF000000u | rgb);
        UnlockImage(image, pixels);
        MidHandleImage(image);
        return image;
    }
    static uint32_t At(int x, int y) { return ReadPixel(GrabPixmap(x, y, 1, 1), 0, 0) & 0xFFFFFFu; }
    static std::vector<uint32_t> Picture() {
        const Pixmap p = GrabPixmap(0, 0, 200, 100);
        std::vector<uint32_t> v;
        for (int i = 0; i < 200 * 100; ++i) v.push_back(ReadPixel(p, i % 200, i / 200));
        return v;
    }
};

}  // namespace

TEST_F(DrawTest, ColourScaleAndBlendNumbering) {
    int r, g, b;
    float sx, sy;
    SetAlpha(0.3f);
    SetDrawColor(300, -5, 127.9f, AlphaUnchanged);
    GetColor(r, g, b);
    EXPECT_EQ(std::vector<int>({r, g, b}), std::vector<int>({255, 0, 127}));
    EXPECT_FLOAT_EQ(GetAlpha(), 0.3f);
    SetDrawColor(0, 0, 0, 2);
    EXPECT_FLOAT_EQ(GetAlpha(), 1);
    SetDrawScale(2, ScaleAsX);
    GetScale(sx, sy);
    EXPECT_EQ(sy, 2);
    SetDrawScale(2, 3);
    GetScale(sx, sy);
    EXPECT_EQ(sy, 3);
    const int platformMode[] = {BlendSolid, BlendAlpha, BlendShade, BlendLight, BlendLight};
    for (int mode = 0; mode <= 4; ++mode) {  // 4 is unknown: leaves light as it was
        SetBlendMode(mode);
        EXPECT_EQ(GetBlend(), platformMode[mode]) << mode;
    }
}

TEST(DrawHelpers, ClampAndPointerRectangleEdges) {
    EXPECT_EQ(ClampFloat(5, 10, 0), 10);
    EXPECT_EQ(ClampFloat(11, 0, 10), 10);
    InitGlobals();
    MouseYNow = 15;
    for (const auto& [x, inside] : {std::pair{10, false}, {30, false}, {11, true}, {29, true}}) {
        MouseXNow = x;
        EXPECT_EQ(MouseInRect(10, 10, 20, 20), inside) << x;
    }
}

TEST_F(DrawTest, TopLeftImagesWithinTheFramesBudget) {
    const Image white = Solid(0xFFFFFF);
    DrawLimit[1] = 3;
    BeginFrame(1);
    for (int i = 0; i < 5; ++i) DrawImageTopLeft(white, i * 10, 0, 0, 1);
    EXPECT_EQ(DrawCount[1], 3);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(At(i * 10, 0), i < 3 ? 0xFFFFFFu : 0u) << i;  // the corner lands on (x, y)
        EXPECT_EQ(At(i * 10 + 4, 4), 0u) << i;
    }
    BeginFrame(1);
    EXPECT_EQ(DrawCount[1], 0);
    SetDrawScale(2);
    DrawImageTopLeft(white, 50, 50);
    EXPECT_EQ(At(50, 50) & At(57, 57), 0xFFFFFFu);
    Settings[7] = SkipFrame = 1;  // slow system, a frame it will not show: nothing
    DrawGlowImage(white, 120, 0, 0, Image(), 1, 1);
    EXPECT_EQ(DrawCount[1] + DrawCount[2] + At(120, 0), 1u);
}

TEST_F(DrawTest, GlowOverTheImageWithItsOwnBudget) {
    const Image red = Solid(0xFF0000), green = Solid(0x00FF00);
    SetBlendMode(0);
    DrawLimit[1] = 0;  // only slot 2 has budget: the glow alone
    DrawLimit[2] = 5;
    BeginFrame(1);
    DrawGlowImage(red, 20, 20, 0, green, 3, 1);
    EXPECT_EQ(DrawCount[1] * 10 + DrawCount[2], 1);
    EXPECT_EQ(At(21, 21), 0x00FF00u);
    EXPECT_EQ(At(17, 17), 0x00FF00u);  // 12 pixels wide around the image's centre (22, 22)
    EXPECT_EQ(At(15, 15), 0u);
    DrawLimit[1] = 5;
    BeginFrame(1);
    DrawGlowImage(red, 20, 20, 0, green, 3, 1);
    EXPECT_EQ(At(21, 21), 0xFFFF00u);  // additive over the image
    EXPECT_EQ(GetBlend(), BlendSolid);  // the caller's state comes back
    DrawGlowImage(red, 60, 20, 0, Image(), 2, 1);  // no glow image: the image glows
    EXPECT_EQ(At(59, 19), 0xFF0000u);
}

TEST_F(DrawTest, AlignedTextMovesByHalfOrWholeWidthAndHeight) {
    SetImageFont(Font());
    const std::string text = "Flingo!";
    const int w = TextWidth(text), h = TextHeight();
    ASSERT_GT(w * h, 0);
    const int cases[][4] = {{1, 1, -w / 2, -h / 2}, {2, 2, -w, -h}, {0, 0, 0, 0}, {7, -3, 0, 0}};
    for (const auto& c : cases) {
        Cls();
        DrawTextAligned(100, 50, text, c[0], c[1]);
        const std::vector<uint32_t> aligned = Picture();
        Cls();
        DrawText(text, static_cast<float>(100 + c[2]), static_cast<float>(50 + c[3]));
        EXPECT_EQ(aligned, Picture()) << c[0] << "," << c[1];
        EXPECT_NE(std::count(aligned.begin(), aligned.end(), aligned[0]), 20000);
    }
}

TEST_F(DrawTest, BackdropEasesEachComponentAndSnapsOnThe83rdCall) {
    BackdropColor[2] = 0;  // blue travels 1.0; red stays at 0.2
    for (int call = 1; call <= 82; ++call) {
        DrawBackdrop();
        ASSERT_NE(BackdropColor[2], 1.0f) << call;
    }
    DrawBackdrop();
    EXPECT_EQ(BackdropColor[2], 1.0f);
    BeginFrame(1);
    DrawBackdrop();  // diagonal bands cover the screen, blue with a fifth of red
    for (const auto& [x, y] : {std::pair{100, 50}, {5, 5}, {195, 5}, {5, 95}}) {
        const uint32_t p = At(x, y);
        EXPECT_GT(p & 255, 25u) << x << "," << y;
        EXPECT_NEAR(static_cast<int>(p >> 16), static_cast<int>(p & 255) / 5, 1);
    }
    EXPECT_EQ(GetRotation(), 0);
}
