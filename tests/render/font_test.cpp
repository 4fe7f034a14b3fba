// Fonts: extents of the built-in and TrueType fonts, where text is drawn,
// smooth against 1-bit glyphs, and refusal of bad font files.
#include <fstream>
#include <set>

#include "picture.h"
#include "platform/image/image.h"

using namespace rtest;

namespace {

const char* const SansPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// Bounding box of the pixels that differ from the background.
struct Box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
    bool empty() const { return x1 < 0; }
};
Box InkBox(const Picture& p, uint32_t background) {
    Box b;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (p.at(x, y) != background) {
                b.x0 = std::min(b.x0, x);
                b.y0 = std::min(b.y0, y);
                b.x1 = std::max(b.x1, x);
                b.y1 = std::max(b.y1, y);
            }
    return b;
}

class Fonts : public ::testing::Test {
protected:
    void SetUp() override {
        OpenWindow(200, 80);
        SetClsColor(0, 0, 0);
        Cls();
    }
};

}  // namespace

TEST_F(Fonts, DefaultFontExtents) {
    EXPECT_EQ(GetImageFont(), nullptr);
    EXPECT_EQ(TextWidth(""), 0);
    const int one = TextWidth("A");
    EXPECT_GT(one, 0);
    EXPECT_EQ(TextWidth("AAAA"), 4 * one);
    EXPECT_GT(TextWidth("Hello, world!"), TextWidth("Hello"));
    EXPECT_GT(TextHeight(), 10);
    // Every printable ASCII character has a width; scale leaves widths alone.
    for (int c = 32; c < 127; ++c) EXPECT_GT(TextWidth(std::string(1, char(c))), 0) << c;
    SetScale(3, 2);
    EXPECT_EQ(TextWidth("A"), one);
}

TEST_F(Fonts, DefaultFontDrawsInsideItsBox) {
    SetColor(255, 255, 0);
    DrawText("Hg|", 20, 30);
    Box b = InkBox(BackBuffer(), Rgb(0, 0, 0));
    ASSERT_FALSE(b.empty());
    EXPECT_GE(b.x0, 20);
    EXPECT_GE(b.y0, 30);
    EXPECT_LT(b.x1, 20 + TextWidth("Hg|"));
    EXPECT_LT(b.y1, 30 + TextHeight());
    // The text takes the draw colour.
    EXPECT_GT(CountPixels(BackBuffer(), Rgb(255, 255, 0)), 20);
}

TEST_F(Fonts, ScaledAndRotatedTextTurnsAboutItsOrigin) {
    DrawText("M", 100, 40);
    Box plain = InkBox(BackBuffer(), Rgb(0, 0, 0));
    Cls();
    SetScale(2, 2);
    DrawText("M", 100, 40);
    Box big = InkBox(BackBuffer(), Rgb(0, 0, 0));
    // Scaled about (100, 40): offsets from the origin double. Tolerance 1:
    // the built-in font is filtered, so a scaled edge may gain a faint
    // one-pixel fringe.
    EXPECT_NEAR(big.x0 - 100, 2 * (plain.x0 - 100), 1);
    EXPECT_NEAR(big.y0 - 40, 2 * (plain.y0 - 40), 1);
    EXPECT_NEAR(big.x1 + 1 - 100, 2 * (plain.x1 + 1 - 100), 1);
    Cls();
    SetScale(1, 1);
    SetRotation(180);
    DrawText("M", 100, 40);
    Box turned = InkBox(BackBuffer(), Rgb(0, 0, 0));
    // Half a turn: the glyph lies up and to the left of the origin.
    EXPECT_EQ(turned.x1 + 1, 100 - (plain.x0 - 100));
    EXPECT_EQ(turned.y1 + 1, 40 - (plain.y0 - 40));
}

TEST_F(Fonts, TrueTypeFontAtItsSize) {
    Font f = LoadImageFont(SansPath, 24, 4);
    ASSERT_NE(f, nullptr) << "fonts-dejavu is installed by setup.sh";
    SetImageFont(f);
    EXPECT_EQ(GetImageFont(), f);
    EXPECT_GE(TextHeight(), 24);
    EXPECT_LE(TextHeight(), 32);
    EXPECT_EQ(TextWidth(""), 0);
    EXPECT_GT(TextWidth("WWW"), TextWidth("iii"));  // proportional
    EXPECT_EQ(TextWidth("ab") , TextWidth("a") + TextWidth("b"));
    EXPECT_GT(TextWidth("\xe9"), 0);  // Latin-1 é
    Font big = LoadImageFont(SansPath, 48, 4);
    ASSERT_NE(big, nullptr);
    SetImageFont(big);
    EXPECT_GT(TextHeight(), 48);
    int w48 = TextWidth("Flingo");
    SetImageFont(f);
    EXPECT_NEAR(w48, 2 * TextWidth("Flingo"), 4);
    // None goes back to the built-in font.
    SetImageFont(nullptr);
    EXPECT_EQ(TextHeight(), plat::DefaultFont().lineHeight);

    SetImageFont(f);
    SetColor(255, 255, 255);
    DrawText("Ag", 10, 20);
    Box b = InkBox(BackBuffer(), Rgb(0, 0, 0));
    ASSERT_FALSE(b.empty());
    EXPECT_GE(b.x0, 10);
    EXPECT_GE(b.y0, 20);
    EXPECT_LT(b.x1, 10 + TextWidth("Ag") + 2);
    EXPECT_LT(b.y1, 20 + TextHeight());
    EXPECT_GT(b.y1 - b.y0, 15);  // "A" over "g" descender spans most of the line
}

TEST_F(Fonts, SmoothGlyphsHaveGreyEdgesAndOneBitGlyphsDoNot) {
    auto levels = [](const Font& f) {
        std::set<int> seen;
        for (uint8_t a : f->atlas->alpha) seen.insert(int(a));  // one byte a texel
        return seen.size();
    };
    Font smooth = LoadImageFont(SansPath, 20, 4);
    Font mono = LoadImageFont(SansPath, 20, 0);
    ASSERT_NE(smooth, nullptr);
    ASSERT_NE(mono, nullptr);
    EXPECT_GT(levels(smooth), 16u);
    EXPECT_EQ(levels(mono), 2u);
    EXPECT_TRUE(smooth->atlas->filtered);
    EXPECT_FALSE(mono->atlas->filtered);
}

TEST_F(Fonts, BadFontFilesGiveNone) {
    std::string valid = ReadBytes(SansPath);
    ASSERT_GT(valid.size(), 10000u);
    std::string empty = TempPath("empty.ttf"), garbage = TempPath("garbage.ttf");
    std::string truncated = TempPath("truncated.ttf"), png = TempPath("picture.ttf");
    WriteBytes(empty, "");
    WriteBytes(garbage, std::string(5000, '\x33'));
    WriteBytes(truncated, valid.substr(0, 2000));
    WriteBytes(png, std::string("\x89PNG\r\n\x1a\n") + std::string(100, '\0'));
    for (const std::string& path :
         {std::string(TempPath("missing.ttf")), empty, garbage, truncated, png, TempFolder()})
        EXPECT_EQ(LoadImageFont(path, 20, 4), nullptr) << path;
    EXPECT_EQ(LoadImageFont(SansPath, 0, 4), nullptr);
    EXPECT_EQ(LoadImageFont(SansPath, -3, 4), nullptr);
    EXPECT_EQ(LoadImageFont(SansPath, 100000, 4), nullptr);
    // The process carries on and good fonts still load.
    EXPECT_NE(LoadImageFont(SansPath, 20, 4), nullptr);
}

TEST_F(Fonts, EveryShippedFaceLoads) {
    // The Debian faces the asset generator copies; a face that failed here
    // would leave the game on the built-in font.
    for (const char* path : {"/usr/share/fonts/truetype/quicksand/Quicksand-Regular.ttf",
                             "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf",
                             "/usr/share/fonts/truetype/routed-gothic/routed-gothic.ttf",
                             "/usr/share/fonts/truetype/dotgothic16/DotGothic16-Regular.ttf"}) {
        Font f = LoadImageFont(path, 32, 4);
        ASSERT_NE(f, nullptr) << path;
        SetImageFont(f);
        EXPECT_GT(TextWidth("Thanks for Playing"), 100) << path;
    }
}
