// Fonts: extents of the built-in and TrueType fonts, where text lands, smooth
// against 1-bit glyphs, and refusal of bad font files.
#include <fstream>
#include <set>

#include "picture.h"
#include "platform/image/image.h"

using namespace rtest;

namespace {

const char* const Sans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

struct Box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;  // inclusive
};
// The pixels that differ from black.
Box Ink() {
    Picture p = BackBuffer();
    Box b;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (p.at(x, y) != Rgb(0, 0, 0))
                b = {std::min(b.x0, x), std::min(b.y0, y), std::max(b.x1, x), std::max(b.y1, y)};
    return b;
}

}  // namespace

TEST(Fonts, DefaultFontExtentsAndPlacement) {
    OpenWindow(200, 80);
    EXPECT_EQ(TextWidth(""), 0);
    const int one = TextWidth("A");
    EXPECT_EQ(TextWidth("AAAA"), 4 * one);
    for (int c = 32; c < 127; ++c) EXPECT_GT(TextWidth(std::string(1, char(c))), 0) << c;
    EXPECT_GT(TextHeight(), 10);
    DrawText("Hg|", 20, 30);
    Box b = Ink();
    EXPECT_GE(b.x0, 20);
    EXPECT_GE(b.y0, 30);
    EXPECT_LT(b.x1, 20 + TextWidth("Hg|"));
    EXPECT_LT(b.y1, 30 + TextHeight());

    // Rotation turns about the text origin; scale leaves widths alone.
    SetScale(2, 2);
    EXPECT_EQ(TextWidth("A"), one);
    SetScale(1, 1);
    Cls();
    DrawText("M", 100, 40);
    Box plain = Ink();
    Cls();
    SetRotation(180);
    DrawText("M", 100, 40);
    Box turned = Ink();
    EXPECT_EQ(turned.x1 + 1, 200 - plain.x0);
    EXPECT_EQ(turned.y1 + 1, 80 - plain.y0);
}

TEST(Fonts, TrueTypeFontsAtTheirSize) {
    OpenWindow(200, 80);
    Font f = LoadImageFont(Sans, 24, 4), big = LoadImageFont(Sans, 48, 4);
    ASSERT_NE(f, nullptr) << "fonts-dejavu is installed by setup.sh";
    SetImageFont(big);
    const int height48 = TextHeight(), width48 = TextWidth("Flingo");
    SetImageFont(f);
    EXPECT_EQ(GetImageFont(), f);
    EXPECT_GE(TextHeight(), 24);
    EXPECT_LE(TextHeight(), 32);
    EXPECT_GT(height48, 48);
    EXPECT_NEAR(width48, 2 * TextWidth("Flingo"), 4);
    EXPECT_GT(TextWidth("\xe9"), TextWidth("i"));  // Latin-1 e acute
    DrawText("Ag", 10, 20);
    Box b = Ink();
    EXPECT_GE(b.x0, 10);
    EXPECT_GE(b.y0, 20);
    EXPECT_LT(b.y1, 20 + TextHeight());
    EXPECT_GT(b.y1 - b.y0, 15);  // from the top of A to the foot of g
    SetImageFont(nullptr);
    EXPECT_EQ(TextHeight(), plat::DefaultFont().lineHeight);

    auto levels = [](const Font& font) {
        std::set<uint32_t> seen;
        for (uint32_t p : font->atlas->pixels) seen.insert(p >> 24);
        return seen.size();
    };
    Font mono = LoadImageFont(Sans, 20, 0);
    EXPECT_GT(levels(f), 16u);
    EXPECT_EQ(levels(mono), 2u);
}

TEST(Fonts, BadFontFilesGiveNone) {
    OpenWindow(8, 8);
    std::ifstream in(Sans, std::ios::binary);
    std::string valid(std::istreambuf_iterator<char>(in), {});
    std::vector<std::pair<std::string, std::string>> files = {
        {"empty", ""}, {"garbage", std::string(5000, '3')}, {"truncated", valid.substr(0, 2000)},
        {"picture", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(100, '\0')}};
    std::vector<std::string> paths = {TempPath("missing.ttf"), ::testing::TempDir()};
    for (auto& [name, bytes] : files) {
        paths.push_back(TempPath(name + ".ttf"));
        std::ofstream(paths.back(), std::ios::binary) << bytes;
    }
    for (const std::string& path : paths) EXPECT_EQ(LoadImageFont(path, 20, 4), nullptr) << path;
    for (int size : {0, -3, 100000}) EXPECT_EQ(LoadImageFont(Sans, size, 4), nullptr) << size;
    EXPECT_NE(LoadImageFont(Sans, 20, 4), nullptr);  // and good fonts still load
}
