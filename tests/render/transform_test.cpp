// Where things land: hot spots, rotation and scale about them, rectangles,
// lines, ovals and the virtual-to-window scaling. Whole-pixel geometry with
// nearest sampling is exact, so these pictures compare with tolerance 0.
#include <cmath>

#include "picture.h"

using namespace rtest;

namespace {

const uint32_t Texels[8] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u,
                            0xFF00FFFFu, 0xFFFF00FFu, 0xFF808080u, 0xFFFFFFFFu};

// A 4 × 2 image of eight colours, unfiltered, hot spot at (1, 1).
Image EightColours() {
    Image img = CreateImage(4, 2, 1, 0);
    Pixmap pm = CreatePixmap(4, 2);
    for (int i = 0; i < 8; ++i) WritePixel(pm, i % 4, i / 4, Texels[i]);
    UnlockImage(img, pm);
    SetImageHandle(img, 1, 1);
    return img;
}

class Transform : public ::testing::Test {
protected:
    void SetUp() override {
        OpenWindow(24, 24);
        SetBlend(BlendSolid);
    }
};

}  // namespace

TEST_F(Transform, ImagesTurnAndScaleAboutTheHotSpot) {
    Image img = EightColours();
    DrawImage(img, 10, 5);
    Picture plain(24, 24);
    for (int i = 0; i < 8; ++i) plain.at(9 + i % 4, 4 + i / 4) = Texels[i];
    EXPECT_TRUE(SamePicture(BackBuffer(), plain, 0, "plain"));

    // A quarter turn clockwise on screen: (x, y) about the hot spot → (−y, x).
    Cls();
    SetRotation(90);
    DrawImage(img, 10, 10);
    Picture turned(24, 24);
    for (int i = 0; i < 8; ++i) turned.at(10 - (i / 4 - 1) - 1, 10 + (i % 4 - 1)) = Texels[i];
    EXPECT_TRUE(SamePicture(BackBuffer(), turned, 0, "rot90"));

    // Scale (2, 3) about the hot spot.
    Cls();
    SetRotation(0);
    SetScale(2, 3);
    DrawImage(img, 12, 12);
    Picture scaled(24, 24);
    for (int i = 0; i < 8; ++i) scaled.Fill(12 + (i % 4 - 1) * 2, 12 + (i / 4 - 1) * 3, 2, 3, Texels[i]);
    EXPECT_TRUE(SamePicture(BackBuffer(), scaled, 0, "scale"));
}

TEST_F(Transform, RectanglesAndLinesCoverTheirPixels) {
    SetColor(255, 0, 0);
    DrawRect(3, 4, 5, 6);
    SetColor(0, 255, 0);
    DrawRect(8, 4, 2, 6);  // touches the first: no overlap, no gap
    SetColor(0, 0, 255);
    SetRotation(90);
    DrawRect(20, 10, 4, 2);  // about its corner: x 18..20, y 10..14
    SetRotation(0);
    SetColor(255, 255, 255);
    DrawLine(2, 15, 12, 15);   // row 15, x 2..11
    DrawLine(22, 1, 22, 9);    // column 22, y 1..8
    SetLineWidth(3);
    DrawLine(2, 20, 12, 20);   // rows 19..21
    Picture expected(24, 24);
    expected.Fill(3, 4, 5, 6, Rgb(255, 0, 0));
    expected.Fill(8, 4, 2, 6, Rgb(0, 255, 0));
    expected.Fill(18, 10, 2, 4, Rgb(0, 0, 255));
    expected.Fill(2, 15, 10, 1, Rgb(255, 255, 255));
    expected.Fill(22, 1, 1, 8, Rgb(255, 255, 255));
    expected.Fill(2, 19, 10, 3, Rgb(255, 255, 255));
    EXPECT_TRUE(SamePicture(BackBuffer(), expected, 0, "shapes"));
}

TEST(Oval, CoversTheInscribedEllipse) {
    OpenWindow(120, 80);
    SetBlend(BlendSolid);
    DrawOval(10, 10, 100, 60);
    Picture p = BackBuffer();
    const uint32_t white = Rgb(255, 255, 255);
    // Area within 1 % of π·a·b: enough segments for the size.
    EXPECT_NEAR(CountPixels(p, white), M_PI * 50 * 30, M_PI * 50 * 30 * 0.01);
    int wrong = 0;  // clearly inside lit, clearly outside dark
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x) {
            double ex = (x + 0.5 - 60) / 50, ey = (y + 0.5 - 40) / 30, r = std::hypot(ex, ey);
            wrong += (r < 0.97 && p.at(x, y) != white) || (r > 1.03 && p.at(x, y) == white);
        }
    EXPECT_EQ(wrong, 0);
}

TEST(VirtualResolution, ScalesEveryDrawToTheWindow) {
    OpenWindow(40, 30);
    SetBlend(BlendSolid);
    SetVirtualResolution(80, 15);  // x halves, y doubles
    SetColor(255, 0, 0);
    DrawRect(10, 2, 20, 4);  // window x 5..15, y 4..12
    Image img = CreateImage(8, 2, 1, 0);
    Pixmap pm = CreatePixmap(8, 2);
    for (int i = 0; i < 16; ++i) WritePixel(pm, i % 8, i / 8, 0xFF00FF00u);
    UnlockImage(img, pm);
    SetColor(255, 255, 255);
    DrawImage(img, 40, 10);  // window x 20..24, y 20..24
    Picture expected(40, 30);
    expected.Fill(5, 4, 10, 8, Rgb(255, 0, 0));
    expected.Fill(20, 20, 4, 4, Rgb(0, 255, 0));
    EXPECT_TRUE(SamePicture(BackBuffer(), expected, 0, "vres"));
    SetVirtualResolution(0, 100);  // refused: the old area stays
    EXPECT_EQ(VirtualResolutionWidth() * VirtualResolutionHeight(), 80.0f * 15.0f);
}
