// Tests of the drawing helpers, drawn on the headless software renderer and
// read back as pixels (window pixels = virtual pixels here).
#include <gtest/gtest.h>

#include "app/app.h"
#include "draw/draw.h"
#include "platform/headless/headless.h"
#include "settings/settings.h"

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
        SetClsColor(0, 0, 0);
    }

    // A w × h image of one opaque colour with its hot spot at the centre.
    static Image Solid(int w, int h, uint32_t rgb) {
        const Image image = CreateImage(w, h, 1, ImageDynamic);
        const Pixmap pixels = CreatePixmap(w, h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) WritePixel(pixels, x, y, 0xFF000000u | rgb);
        }
        UnlockImage(image, pixels);
        MidHandleImage(image);
        return image;
    }

    static uint32_t At(int x, int y) {
        return ReadPixel(GrabPixmap(x, y, 1, 1), 0, 0) & 0xFFFFFFu;
    }

    static bool SamePicture(const Pixmap& a, const Pixmap& b) {
        if (PixmapWidth(a) != PixmapWidth(b) || PixmapHeight(a) != PixmapHeight(b)) return false;
        for (int y = 0; y < PixmapHeight(a); ++y) {
            for (int x = 0; x < PixmapWidth(a); ++x) {
                if (ReadPixel(a, x, y) != ReadPixel(b, x, y)) return false;
            }
        }
        return true;
    }
};

}  // namespace

TEST_F(DrawTest, ColourIsClampedAndTruncatedAndAlphaMayStay) {
    SetAlpha(0.3f);
    SetDrawColor(300, -5, 127.9f, AlphaUnchanged);
    int r, g, b;
    GetColor(r, g, b);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 0);
    EXPECT_EQ(b, 127);
    EXPECT_FLOAT_EQ(GetAlpha(), 0.3f);
    SetDrawColor(0, 0, 0, 2);
    EXPECT_FLOAT_EQ(GetAlpha(), 1);
    SetDrawColor(0, 0, 0, -1);
    EXPECT_FLOAT_EQ(GetAlpha(), 0);
    SetDrawColor(1, 2, 3);  // the marker is the default
    EXPECT_FLOAT_EQ(GetAlpha(), 0);
}

TEST_F(DrawTest, ScaleRotationResetAndBlendNumbering) {
    float sx, sy;
    SetDrawScale(2, ScaleAsX);
    GetScale(sx, sy);
    EXPECT_EQ(sx, 2);
    EXPECT_EQ(sy, 2);
    SetDrawScale(2, 3);
    GetScale(sx, sy);
    EXPECT_EQ(sy, 3);

    const int platformMode[4] = {BlendSolid, BlendAlpha, BlendShade, BlendLight};
    for (int mode = 0; mode < 4; ++mode) {
        SetBlendMode(mode);
        EXPECT_EQ(GetBlend(), platformMode[mode]) << mode;
    }
    SetBlendMode(4);
    EXPECT_EQ(GetBlend(), BlendLight);  // unknown: unchanged
    SetBlendMode(-1);
    EXPECT_EQ(GetBlend(), BlendLight);

    SetDrawRotation(33);
    SetDrawColor(1, 2, 3, 0.5f);
    ResetDrawState();
    GetScale(sx, sy);
    int r, g, b;
    GetColor(r, g, b);
    EXPECT_EQ(GetRotation(), 0);
    EXPECT_EQ(sx, 1);
    EXPECT_EQ(sy, 1);
    EXPECT_EQ(r + g + b, 3 * 255);
    EXPECT_EQ(GetAlpha(), 1);
    EXPECT_EQ(GetBlend(), BlendAlpha);
}

TEST(DrawHelpers, ClampAndPointerRectangle) {
    EXPECT_EQ(ClampFloat(5, 10, 0), 10);
    EXPECT_EQ(ClampFloat(5, 0, 10), 5);
    EXPECT_EQ(ClampFloat(-1, 0, 10), 0);
    EXPECT_EQ(ClampFloat(11, 0, 10), 10);

    InitGlobals();
    MouseYNow = 15;
    MouseXNow = 10;
    EXPECT_FALSE(MouseInRect(10, 10, 20, 20));
    MouseXNow = 30;
    EXPECT_FALSE(MouseInRect(10, 10, 20, 20));
    MouseXNow = 11;
    EXPECT_TRUE(MouseInRect(10, 10, 20, 20));
    MouseXNow = 29;
    EXPECT_TRUE(MouseInRect(10, 10, 20, 20));
    MouseYNow = 10;
    EXPECT_FALSE(MouseInRect(10, 10, 20, 20));
}

TEST_F(DrawTest, TopLeftImagesStayWithinTheFramesBudget) {
    const Image white = Solid(4, 4, 0xFFFFFF);
    DrawLimit[1] = 3;
    BeginFrame(1);
    for (int i = 0; i < 5; ++i) DrawImageTopLeft(white, i * 10, 0, 0, 1);
    EXPECT_EQ(DrawCount[1], 3);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(At(i * 10, 0), i < 3 ? 0xFFFFFFu : 0u) << i;  // top-left corner
        EXPECT_EQ(At(i * 10 + 3, 3), i < 3 ? 0xFFFFFFu : 0u) << i;
        EXPECT_EQ(At(i * 10 + 4, 4), 0u) << i;  // just past the corner
    }
    BeginFrame(1);
    EXPECT_EQ(DrawCount[1], 0);
    EXPECT_EQ(At(0, 0), 0u);

    // At scale 2 the corner still lands on (x, y).
    SetDrawScale(2);
    DrawImageTopLeft(white, 50, 50);
    EXPECT_EQ(At(50, 50), 0xFFFFFFu);
    EXPECT_EQ(At(57, 57), 0xFFFFFFu);
    EXPECT_EQ(At(49, 49), 0u);
}

TEST_F(DrawTest, GlowDrawsOverTheImageAndRespectsItsOwnBudget) {
    const Image red = Solid(4, 4, 0xFF0000);
    const Image green = Solid(4, 4, 0x00FF00);
    SetDrawScale(1);
    SetAlpha(1);
    SetBlendMode(0);

    // Budget left in slot 2 only: the glow alone.
    DrawLimit[1] = 0;
    DrawLimit[2] = 5;
    BeginFrame(1);
    DrawGlowImage(red, 20, 20, 0, green, 3, 1);
    EXPECT_EQ(DrawCount[1], 0);
    EXPECT_EQ(DrawCount[2], 1);
    EXPECT_EQ(At(21, 21), 0x00FF00u);
    EXPECT_EQ(At(17, 17), 0x00FF00u);  // 3 × 4 = 12 pixels around the centre (22, 22)
    EXPECT_EQ(At(15, 15), 0u);

    // Both: the additive glow adds to the image below it.
    DrawLimit[1] = 5;
    BeginFrame(1);
    DrawGlowImage(red, 20, 20, 0, green, 3, 1);
    EXPECT_EQ(At(21, 21), 0xFFFF00u);
    EXPECT_EQ(At(17, 17), 0x00FF00u);

    // The caller's scale, alpha and blend come back.
    float sx, sy;
    GetScale(sx, sy);
    EXPECT_EQ(sx, 1);
    EXPECT_EQ(GetAlpha(), 1);
    EXPECT_EQ(GetBlend(), BlendSolid);

    // No glow image: the image itself glows (red over red stays red).
    BeginFrame(1);
    DrawGlowImage(red, 60, 20, 0, Image(), 2, 1);
    EXPECT_EQ(At(61, 21), 0xFF0000u);
    EXPECT_EQ(At(59, 19), 0xFF0000u);  // the 8-pixel glow reaches past the image
}

TEST_F(DrawTest, SlowSystemSkipsWholeHelpersOnUnshownFrames) {
    const Image white = Solid(4, 4, 0xFFFFFF);
    Settings[7] = 1;
    SkipFrame = 1;
    BeginFrame(1);
    DrawImageTopLeft(white, 0, 0);
    DrawGlowImage(white, 10, 0, 0, Image(), 1, 1);
    EXPECT_EQ(DrawCount[1] + DrawCount[2], 0);
    EXPECT_EQ(At(0, 0), 0u);
    SkipFrame = 0;
    DrawImageTopLeft(white, 0, 0);
    EXPECT_EQ(At(0, 0), 0xFFFFFFu);
    Settings[7] = 0;
    SkipFrame = 1;  // without slow-system mode the parity does not matter
    DrawImageTopLeft(white, 20, 0);
    EXPECT_EQ(At(20, 0), 0xFFFFFFu);
}

TEST_F(DrawTest, AlignedTextMovesByHalfOrWholeWidthAndHeight) {
    SetImageFont(Font());  // the built-in font
    const std::string text = "Flingo!";
    const int w = TextWidth(text), h = TextHeight();
    ASSERT_GT(w, 0);
    ASSERT_GT(h, 0);
    struct Case {
        int ax, ay, dx, dy;
    } cases[] = {{1, 1, -w / 2, -h / 2}, {2, 2, -w, -h}, {0, 0, 0, 0}, {7, -3, 0, 0},
                 {1, 2, -w / 2, -h}};
    for (const Case& c : cases) {
        Cls();
        DrawTextAligned(100, 50, text, c.ax, c.ay);
        const Pixmap aligned = GrabPixmap(0, 0, 200, 100);
        Cls();
        DrawText(text, static_cast<float>(100 + c.dx), static_cast<float>(50 + c.dy));
        const Pixmap plain = GrabPixmap(0, 0, 200, 100);
        EXPECT_TRUE(SamePicture(aligned, plain)) << c.ax << "," << c.ay;
    }
    // Centring really moved it.
    Cls();
    DrawTextAligned(100, 50, text, 1, 1);
    const Pixmap centred = GrabPixmap(0, 0, 200, 100);
    Cls();
    DrawText(text, 100, 50);
    EXPECT_FALSE(SamePicture(centred, GrabPixmap(0, 0, 200, 100)));
}

TEST_F(DrawTest, BackdropEasesEachComponentAndSnapsOnThe83rdCall) {
    BackdropColor[0] = 0.2f;
    BackdropColor[1] = 0;
    BackdropColor[2] = 0;
    BackdropTarget[2] = 1;  // travels 1.0
    for (int call = 1; call <= 82; ++call) {
        DrawBackdrop();
        ASSERT_NE(BackdropColor[2], 1.0f) << call;
    }
    DrawBackdrop();
    EXPECT_EQ(BackdropColor[2], 1.0f);
    EXPECT_EQ(BackdropColor[0], 0.2f);

    // The bands: blue and red in the ratio 1 : 0.2, none of green.
    BeginFrame(1);
    DrawBackdrop();
    const uint32_t p = At(100, 50);
    const int r = p >> 16 & 255, g = p >> 8 & 255, b = p & 255;
    EXPECT_EQ(g, 0);
    EXPECT_GT(b, 25);
    EXPECT_NEAR(r, b / 5, 1);
    // And the drawing state is left reset.
    EXPECT_EQ(GetRotation(), 0);
    EXPECT_EQ(GetBlend(), BlendAlpha);
}
