// Where things land: hot spots, rotation and scale about them, rectangles,
// lines and ovals, and the virtual-to-window scaling. These pictures are
// exact (nearest sampling of unfiltered images, whole-pixel geometry), so
// they compare with tolerance 0.
#include <cmath>

#include "picture.h"

using namespace rtest;

namespace {

// A 4 × 2 image of eight different opaque colours, unfiltered and unmasked.
const uint32_t Texels[8] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u,
                            0xFF00FFFFu, 0xFFFF00FFu, 0xFF808080u, 0xFFFFFFFFu};

Image EightColours() {
    Image img = CreateImage(4, 2, 1, 0);
    Pixmap pm = CreatePixmap(4, 2);
    for (int i = 0; i < 8; ++i) WritePixel(pm, i % 4, i / 4, Texels[i]);
    UnlockImage(img, pm);
    return img;
}

class Transform : public ::testing::Test {
protected:
    void SetUp() override {
        OpenWindow(24, 24);
        SetBlend(BlendSolid);
        SetClsColor(0, 0, 0);
        Cls();
    }
};

}  // namespace

TEST_F(Transform, HotSpotLandsOnThePosition) {
    Image img = EightColours();
    SetImageHandle(img, 1, 1);
    DrawImage(img, 10, 5);
    Picture expected(24, 24);
    for (int i = 0; i < 8; ++i) expected.at(9 + i % 4, 4 + i / 4) = Texels[i];
    EXPECT_TRUE(SamePicture(BackBuffer(), expected, 0, "handle"));
}

TEST_F(Transform, RotationTurnsClockwiseAboutTheHotSpot) {
    // Texel (tx, ty) covers the unit square at (tx − hx, ty − hy) about the
    // hot spot; a quarter turn clockwise on screen maps (px, py) to (−py, px).
    Image img = EightColours();
    SetImageHandle(img, 1, 1);
    SetRotation(90);
    DrawImage(img, 10, 10);
    Picture expected(24, 24);
    for (int i = 0; i < 8; ++i) {
        int px = i % 4 - 1, py = i / 4 - 1;  // texel's top-left about the hot spot
        // The unit square [px, px+1] × [py, py+1] turns into
        // [−py−1, −py] × [px, px+1].
        expected.at(10 - py - 1, 10 + px) = Texels[i];
    }
    EXPECT_TRUE(SamePicture(BackBuffer(), expected, 0, "rot90"));
}

TEST_F(Transform, ScaleGrowsAboutTheHotSpot) {
    Image img = EightColours();
    MidHandleImage(img);  // (2, 1)
    SetScale(2, 3);
    DrawImage(img, 12, 12);
    Picture expected(24, 24);
    for (int i = 0; i < 8; ++i) expected.Fill(12 + (i % 4 - 2) * 2, 12 + (i / 4 - 1) * 3, 2, 3, Texels[i]);
    EXPECT_TRUE(SamePicture(BackBuffer(), expected, 0, "scale"));

    // A negative scale mirrors about the hot spot.
    Cls();
    SetScale(-1, 1);
    DrawImage(img, 12, 12);
    Picture mirrored(24, 24);
    for (int i = 0; i < 8; ++i) mirrored.at(12 + 1 - (i % 4), 11 + i / 4) = Texels[i];
    EXPECT_TRUE(SamePicture(BackBuffer(), mirrored, 0, "mirror"));
}

TEST_F(Transform, RotatedImageKeepsItsPixelsInPlace) {
    // 45 degrees: each texel centre, turned about the hot spot, must show
    // that texel's colour (centres lie well inside their rotated squares).
    Image img = CreateImage(8, 8, 1, 0);
    Pixmap pm = CreatePixmap(8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) WritePixel(pm, x, y, Rgb(x * 30, y * 30, 100));
    UnlockImage(img, pm);
    MidHandleImage(img);
    SetRotation(45);
    SetScale(2, 2);
    DrawImage(img, 12, 12);
    Picture p = BackBuffer();
    const double c = std::cos(M_PI / 4), s = std::sin(M_PI / 4);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            double lx = (x + 0.5 - 4) * 2, ly = (y + 0.5 - 4) * 2;
            int wx = int(std::floor(12 + c * lx - s * ly)), wy = int(std::floor(12 + s * lx + c * ly));
            EXPECT_EQ(p.at(wx, wy), Rgb(x * 30, y * 30, 100)) << "texel " << x << "," << y;
        }
}

TEST_F(Transform, RectanglesCoverExactlyTheirPixels) {
    SetColor(255, 0, 0);
    DrawRect(3, 4, 5, 6);
    SetColor(0, 255, 0);
    DrawRect(8, 4, 2, 6);  // touches the first: no overlap, no gap
    Picture expected(24, 24);
    expected.Fill(3, 4, 5, 6, Rgb(255, 0, 0));
    expected.Fill(8, 4, 2, 6, Rgb(0, 255, 0));
    EXPECT_TRUE(SamePicture(BackBuffer(), expected, 0, "rects"));
}

TEST_F(Transform, RotationAppliesToRectanglesAboutTheirCorner) {
    SetColor(255, 255, 255);
    SetRotation(90);
    DrawRect(10, 10, 4, 2);  // turns into x 8..10, y 10..14
    Picture expected(24, 24);
    expected.Fill(8, 10, 2, 4, Rgb(255, 255, 255));
    EXPECT_TRUE(SamePicture(BackBuffer(), expected, 0, "rotrect"));
}

TEST_F(Transform, LinesCoverThePixelsTheyName) {
    SetColor(255, 255, 255);
    DrawLine(2, 5, 12, 5);   // row 5, x 2..11
    DrawLine(20, 1, 20, 9);  // column 20, y 1..8
    Picture expected(24, 24);
    expected.Fill(2, 5, 10, 1, Rgb(255, 255, 255));
    expected.Fill(20, 1, 1, 8, Rgb(255, 255, 255));
    EXPECT_TRUE(SamePicture(BackBuffer(), expected, 0, "lines"));

    Cls();
    SetLineWidth(3);
    DrawLine(2, 10, 12, 10);  // rows 9..11
    Picture wide(24, 24);
    wide.Fill(2, 9, 10, 3, Rgb(255, 255, 255));
    EXPECT_TRUE(SamePicture(BackBuffer(), wide, 0, "wide"));
}

TEST_F(Transform, DiagonalLineIsConnected) {
    SetColor(255, 255, 255);
    DrawLine(1, 1, 20, 15);
    Picture p = BackBuffer();
    // Every column the line spans has at least one lit pixel.
    for (int x = 2; x < 20; ++x) {
        int lit = 0;
        for (int y = 0; y < 24; ++y) lit += p.at(x, y) == Rgb(255, 255, 255);
        EXPECT_GE(lit, 1) << "column " << x;
    }
}

TEST(Oval, CoversTheInscribedEllipse) {
    OpenWindow(120, 80);
    SetBlend(BlendSolid);
    SetColor(255, 255, 255);
    DrawOval(10, 10, 100, 60);
    Picture p = BackBuffer();
    const uint32_t white = Rgb(255, 255, 255);
    // Area within 1 % of π·a·b: the polygon has enough segments for its size.
    int area = CountPixels(p, white);
    EXPECT_NEAR(area, M_PI * 50 * 30, M_PI * 50 * 30 * 0.01);
    // Pixels clearly inside are lit, clearly outside are not.
    int wrong = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x) {
            double ex = (x + 0.5 - 60) / 50, ey = (y + 0.5 - 40) / 30;
            double r = std::sqrt(ex * ex + ey * ey);
            if (r < 0.97 && p.at(x, y) != white) ++wrong;
            if (r > 1.03 && p.at(x, y) == white) ++wrong;
        }
    EXPECT_EQ(wrong, 0);
    // Left-right symmetric about the centre, except on the rim.
    int asym = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 60; ++x) asym += p.at(x, y) != p.at(119 - x, y);
    EXPECT_LE(asym, 8);
}

TEST(Oval, SmallCircleIsRound) {
    OpenWindow(40, 40);
    SetBlend(BlendSolid);
    DrawOval(4, 4, 33, 33);
    Picture p = BackBuffer();
    EXPECT_NEAR(CountPixels(p, Rgb(255, 255, 255)), M_PI * 16.5 * 16.5, M_PI * 16.5 * 16.5 * 0.02);
    EXPECT_EQ(p.at(20, 20), Rgb(255, 255, 255));
    EXPECT_EQ(p.at(5, 5), Rgb(0, 0, 0));  // box corner
}

TEST(VirtualResolution, ScalesEveryDrawToTheWindow) {
    OpenWindow(40, 30);
    SetBlend(BlendSolid);
    SetVirtualResolution(80, 60);  // half size
    EXPECT_EQ(VirtualResolutionWidth(), 80.0f);
    EXPECT_EQ(VirtualResolutionHeight(), 60.0f);
    SetColor(255, 0, 0);
    DrawRect(10, 20, 20, 8);  // window: x 5..15, y 10..14
    Picture expected(40, 30);
    expected.Fill(5, 10, 10, 4, Rgb(255, 0, 0));
    EXPECT_TRUE(SamePicture(BackBuffer(), expected, 0, "vres"));

    // Images: an 8 × 8 image drawn at scale 1 covers 4 × 4 window pixels.
    Cls();
    Image img = CreateImage(8, 8, 1, 0);
    Pixmap pm = CreatePixmap(8, 8);
    for (int i = 0; i < 64; ++i) WritePixel(pm, i % 8, i / 8, 0xFF00FF00u);
    UnlockImage(img, pm);
    SetColor(255, 255, 255);
    DrawImage(img, 40, 40);
    Picture img4(40, 30);
    img4.Fill(20, 20, 4, 4, Rgb(0, 255, 0));
    EXPECT_TRUE(SamePicture(BackBuffer(), img4, 0, "vresimage"));

    // A zero or negative area is refused and the old one kept.
    SetVirtualResolution(0, 100);
    SetVirtualResolution(100, -1);
    EXPECT_EQ(VirtualResolutionWidth(), 80.0f);
    EXPECT_EQ(VirtualResolutionHeight(), 60.0f);
}

TEST(VirtualResolution, UnevenAspectStretchesAxesApart) {
    OpenWindow(40, 40);
    SetBlend(BlendSolid);
    SetVirtualResolution(80, 20);  // x halves, y doubles
    DrawRect(0, 0, 20, 5);
    Picture expected(40, 40);
    expected.Fill(0, 0, 10, 10, Rgb(255, 255, 255));
    EXPECT_TRUE(SamePicture(BackBuffer(), expected, 0, "stretch"));
}
