// pictures_test.cpp — the generated pictures have the layouts the framework
// cuts them by, and the cells it draws are drawn for their purpose.
#include <gtest/gtest.h>

#include <set>

#include "tests/assets/asset_files.h"

using namespace assets_test;

namespace {

// Icon frames the framework draws: the engine-test sprite, the binding
// buttons (key, hat, stick, button), the graph point, the settings rows
// (resolution, window, full screen, frame modes and renderers, slider,
// audio back ends) and the pointer.
const int kUsedIcons[] = {0, 3, 7, 8, 9, 10, 11, 12, 13, 14, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 63};

bool SamePixels(const Picture& a, const Picture& b) { return a.px == b.px; }

}  // namespace

TEST(IconStrip, IsAnEightByEightGridOfSixteenPixelCells) {
    Picture icons = ReadPng(CommonDir() + "/icons.png");
    ASSERT_TRUE(icons.ok()) << "icons.png missing or unreadable";
    EXPECT_EQ(icons.w, 128);
    EXPECT_EQ(icons.h, 128);
    EXPECT_TRUE(icons.hasAlpha) << "icons need an alpha channel";
    EXPECT_EQ(icons.bitDepth, 8);
}

TEST(IconStrip, EveryUsedCellIsDrawnAndDistinct) {
    Picture icons = ReadPng(CommonDir() + "/icons.png");
    ASSERT_TRUE(icons.ok());
    std::vector<Picture> cells;
    for (int f : kUsedIcons) {
        cells.push_back(Cell(icons, 16, 16, f));
        EXPECT_GE(CountOpaque(cells.back()), 12) << "icon frame " << f << " is (nearly) empty";
        // A cell that fills its whole square has lost its transparent
        // surround, and would look like a block when tinted.
        EXPECT_LT(CountOpaque(cells.back(), 1), 256) << "icon frame " << f << " has no transparent pixel";
    }
    for (size_t i = 0; i < cells.size(); ++i)
        for (size_t j = i + 1; j < cells.size(); ++j)
            EXPECT_FALSE(SamePixels(cells[i], cells[j]))
                << "icon frames " << kUsedIcons[i] << " and " << kUsedIcons[j] << " are identical";
}

TEST(IconStrip, PointerTipIsTheCellsTopLeftPixel) {
    Picture icons = ReadPng(CommonDir() + "/icons.png");
    ASSERT_TRUE(icons.ok());
    Picture pointer = Cell(icons, 16, 16, 63);
    EXPECT_EQ(pointer.Alpha(0, 0), 255) << "the pointer is drawn by its top-left corner on the mouse";
    // The arrow hangs down and to the right of its tip, nowhere else.
    EXPECT_EQ(pointer.Alpha(15, 0), 0);
    EXPECT_EQ(pointer.Alpha(0, 15), 0);
    double cx, cy;
    AlphaCentre(pointer, cx, cy);
    EXPECT_LT(cx, 7.0);
    EXPECT_LT(cy, 10.0);
    EXPECT_LT(cx, cy) << "an arrow pointing up-left is taller than wide";
}

TEST(IconStrip, CentredIconsSitWhereTheirUsersPlaceThem) {
    Picture icons = ReadPng(CommonDir() + "/icons.png");
    ASSERT_TRUE(icons.ok());
    double cx, cy;
    // The graph point is drawn by its top-left at (point − 8), so its centre
    // must be the cell centre or the curve misses its points.
    AlphaCentre(Cell(icons, 16, 16, 7), cx, cy);
    EXPECT_NEAR(cx, 8.0, 0.35);
    EXPECT_NEAR(cy, 8.0, 0.35);
    // The slider knob is placed at value − 9 by its left edge: centred across.
    AlphaCentre(Cell(icons, 16, 16, 23), cx, cy);
    EXPECT_NEAR(cx, 8.0, 0.35);
}

TEST(IconStrip, SliderTrackHalvesRunThroughTheirInnerEdges) {
    Picture icons = ReadPng(CommonDir() + "/icons.png");
    ASSERT_TRUE(icons.ok());
    Picture left = Cell(icons, 16, 16, 21), right = Cell(icons, 16, 16, 22);
    // Drawn side by side, the halves must join into one bar: the left half
    // open at its right edge and the right half at its left edge.
    int joinLeft = 0, joinRight = 0;
    for (int y = 0; y < 16; ++y) {
        joinLeft += left.Alpha(15, y) >= 200;
        joinRight += right.Alpha(0, y) >= 200;
    }
    EXPECT_GE(joinLeft, 4);
    EXPECT_GE(joinRight, 4);
    EXPECT_EQ(joinLeft, joinRight) << "the two halves are of different thickness where they meet";
    EXPECT_EQ(left.Alpha(0, 8) >= 200, false) << "the left half must end in a rounded cap inside its cell";
}

TEST(Badges, SixteenDistinctEmblemsOfSixtyFourPixels) {
    Picture badges = ReadPng(GameDir() + "/badges.png");
    ASSERT_TRUE(badges.ok()) << "badges.png missing or unreadable";
    ASSERT_EQ(badges.w, 256);
    ASSERT_EQ(badges.h, 256);
    std::vector<Picture> cells;
    for (int k = 0; k < 16; ++k) {
        cells.push_back(Cell(badges, 64, 64, k));
        int opaque = CountOpaque(cells.back());
        EXPECT_GE(opaque, 64 * 64 / 5) << "badge " << k << " is too faint to read at small size";
        EXPECT_EQ(cells.back().Alpha(0, 63), 0) << "badge " << k << " lacks a transparent surround";
    }
    for (int i = 0; i < 16; ++i)
        for (int j = i + 1; j < 16; ++j) EXPECT_FALSE(SamePixels(cells[i], cells[j])) << "badges " << i << ", " << j;
}

TEST(Logos, AreTransparentPicturesOfTheExpectedSize) {
    struct Expect {
        std::string path;
        int minW, maxW, minH, maxH;
    };
    const Expect logos[] = {
        {CommonDir() + "/logo.png", 200, 320, 96, 192},
        {CommonDir() + "/Marrowby.png", 96, 320, 96, 320},
        {GameDir() + "/logo.png", 400, 640, 150, 260},
    };
    for (const Expect& e : logos) {
        SCOPED_TRACE(e.path);
        Picture p = ReadPng(e.path);
        ASSERT_TRUE(p.ok());
        EXPECT_GE(p.w, e.minW);
        EXPECT_LE(p.w, e.maxW);
        EXPECT_GE(p.h, e.minH);
        EXPECT_LE(p.h, e.maxH);
        EXPECT_EQ(p.Alpha(0, 0), 0) << "corners must be see-through over the backdrop";
        EXPECT_EQ(p.Alpha(p.w - 1, p.h - 1), 0);
        EXPECT_GT(CountOpaque(p, 250), p.w * p.h / 6) << "too little is drawn";
        // Several colours, not a flat silhouette.
        std::set<uint32_t> colours;
        for (int y = 0; y < p.h; y += 3)
            for (int x = 0; x < p.w; x += 3)
                if (p.Alpha(x, y) == 255) {
                    const uint8_t* c = p.At(x, y);
                    colours.insert(uint32_t(c[0] >> 4) << 8 | uint32_t(c[1] >> 4) << 4 | uint32_t(c[2] >> 4));
                }
        EXPECT_GE(colours.size(), 20u);
    }
}

TEST(Logos, GameLogoIsCentredForItsMidHandle) {
    // The title screen draws the logo by its centre, so the design must be
    // balanced about the middle of the picture.
    Picture p = ReadPng(GameDir() + "/logo.png");
    ASSERT_TRUE(p.ok());
    double cx, cy;
    AlphaCentre(p, cx, cy);
    EXPECT_NEAR(cx, p.w / 2.0, p.w * 0.05);
    EXPECT_NEAR(cy, p.h / 2.0, p.h * 0.12);
}
