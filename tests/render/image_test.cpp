// Images and pixmaps: the PNG round trip, bad files and absurd sizes,
// masking, filtering, animation cells, grabs and locks.
#include <fstream>

#include "picture.h"
#include "platform/image/image.h"

using namespace rtest;

namespace {

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Saves a picture as PNG; opaque pictures are stored without alpha.
std::string Save(const Picture& p, const std::string& name) {
    std::string path = TempPath(name);
    EXPECT_TRUE(SavePixmapPNG(ToPixmap(p), path));
    return path;
}

// Black | white, for mask and filter tests.
Picture BlackWhite() {
    Picture p(2, 1, Rgb(0, 0, 0));
    p.at(1, 0) = Rgb(255, 255, 255);
    return p;
}

}  // namespace

TEST(Png, RoundTripKeepsEveryPixel) {
    OpenWindow(8, 8);
    Picture p(7, 5);
    for (int i = 0; i < 35; ++i) p.px[i] = (uint32_t(i * 7) << 24) | (uint32_t(i * 977) & 0xFFFFFF);
    for (int level : {0, 9, 42, -3}) {  // levels outside 0..9 are clamped
        std::string path = TempPath("rgba" + std::to_string(level) + ".png");
        ASSERT_TRUE(SavePixmapPNG(ToPixmap(p), path, level));
        Pixmap back = LoadPixmap(path);
        ASSERT_EQ(PixmapWidth(back) * 10 + PixmapHeight(back), 75);
        for (int i = 0; i < 35; ++i) ASSERT_EQ(ReadPixel(back, i % 7, i / 7), p.px[i]) << i;
    }
    Pixmap opaque = LoadPixmap(Save(BlackWhite(), "rgb.png"));
    EXPECT_EQ(ReadPixel(opaque, 1, 0), Rgb(255, 255, 255));
    // Failures are reported; a device in the way is left alone.
    Pixmap pm = CreatePixmap(4, 4);
    EXPECT_FALSE(SavePixmapPNG(pm, TempPath("no/such/folder.png")));
    EXPECT_FALSE(SavePixmapPNG(nullptr, TempPath("none.png")));
    EXPECT_FALSE(SavePixmapPNG(pm, "/dev/full"));
    EXPECT_TRUE(std::ifstream("/dev/full").good());
}

TEST(Png, BadFilesGiveNone) {
    OpenWindow(8, 8);
    Picture good(16, 16, Rgb(10, 20, 30));
    for (int i = 0; i < 16; ++i) good.at(i, i) = Rgb(i * 16, 255 - i * 16, i);
    std::string valid;
    {
        std::ifstream in(Save(good, "good.png"), std::ios::binary);
        valid.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::string corrupt = valid;
    corrupt[valid.size() / 2] ^= 0x55;  // inside the pixel data
    // A valid signature and header chunk (with its CRC) claiming 100000 × 100000.
    std::string ihdr("IHDR\x00\x01\x86\xa0\x00\x01\x86\xa0\x08\x06\x00\x00\x00", 17);
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char ch : ihdr) {
        crc ^= ch;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    std::string huge = std::string("\x89PNG\r\n\x1a\n\x00\x00\x00\x0d", 12) + ihdr;
    for (int s = 24; s >= 0; s -= 8) huge += char(((crc ^ 0xFFFFFFFFu) >> s) & 0xFF);

    std::vector<std::pair<std::string, std::string>> files = {
        {"empty", ""}, {"truncated", valid.substr(0, valid.size() / 2)},
        {"garbage", std::string(300, 'Z')}, {"corrupt", corrupt}, {"huge", huge}};
    std::vector<std::string> paths = {TempPath("missing.png"), ::testing::TempDir()};
    for (auto& [name, bytes] : files) {
        paths.push_back(TempPath(name + ".png"));
        WriteBytes(paths.back(), bytes);
    }
    for (const std::string& path : paths) {
        EXPECT_EQ(LoadImage(path), nullptr) << path;
        EXPECT_EQ(LoadAnimImage(path, 4, 4, 0, 2), nullptr) << path;
        EXPECT_EQ(LoadPixmap(path), nullptr) << path;
    }
    EXPECT_NE(LoadImage(Save(good, "again.png")), nullptr);  // and the process carries on
}

TEST(Images, AbsurdSizesAndNoneHandles) {
    OpenWindow(8, 8);
    for (int side : {0, -4, 100000}) {
        EXPECT_EQ(CreateImage(side, side), nullptr) << side;
        EXPECT_EQ(CreatePixmap(side, side), nullptr) << side;
    }
    EXPECT_EQ(CreateImage(16, 16, 0), nullptr);
    EXPECT_EQ(CreateImage(8192, 8192, 2), nullptr);  // 512 MiB of frames
    EXPECT_EQ(GrabPixmap(0, 0, 0, 5), nullptr);
    EXPECT_EQ(ImageFrames(CreateImage(16, 16, 3)), 3);
    EXPECT_EQ(ImageWidth(nullptr) + ImageFrames(nullptr) + int(ReadPixel(nullptr, 0, 0)), 0);
    Pixmap pm = CreatePixmap(2, 2);
    WritePixel(pm, 2, 0, 0xFFFFFFFFu);  // outside: dropped
    EXPECT_EQ(ReadPixel(pm, 2, 0) | ReadPixel(pm, 1, 0), 0u);
    // Memory held is counted and given back.
    int64_t before = MemoryInUse();
    {
        Image img = CreateImage(64, 32, 2);
        EXPECT_EQ(MemoryInUse() - before, 64 * 32 * 4 * 2);
    }
    EXPECT_EQ(MemoryInUse(), before);
}

TEST(Images, MaskingAndFiltering) {
    OpenWindow(16, 8);
    std::string path = Save(BlackWhite(), "noalpha.png");
    SetClsColor(0, 0, 255);
    Cls();
    DrawImage(LoadImage(path, ImageMasked), 0, 0);
    DrawImage(LoadImage(path, 0), 0, 1);
    Picture alpha(2, 1, 0xFF000000u);  // opaque black, then transparent white
    alpha.at(1, 0) = 0x00FFFFFFu;
    DrawImage(LoadImage(Save(alpha, "alpha.png"), ImageMasked), 0, 2);
    Picture p = BackBuffer();
    EXPECT_EQ(p.at(0, 0), Rgb(0, 0, 255));  // masked, no alpha: black is see-through
    EXPECT_EQ(p.at(1, 0), Rgb(255, 255, 255));
    EXPECT_EQ(p.at(0, 1), Rgb(0, 0, 0));    // unmasked: black drawn
    EXPECT_EQ(p.at(0, 2), Rgb(0, 0, 0));    // own alpha kept, black included
    EXPECT_EQ(p.at(1, 2), Rgb(0, 0, 255));

    // Scaled 8 times: nearest shows two values, bilinear a rising ramp that
    // starts and ends on the edge texels' own colours.
    SetBlend(BlendSolid);
    SetScale(8, 8);
    DrawImage(LoadImage(path, 0), 0, 0);
    p = BackBuffer();
    for (int x = 0; x < 16; ++x) EXPECT_EQ(Red(p.at(x, 4)), x < 8 ? 0 : 255) << x;
    DrawImage(LoadImage(path, ImageFiltered), 0, 0);
    p = BackBuffer();
    int between = 0;
    for (int x = 1; x < 16; ++x) {
        EXPECT_GE(Red(p.at(x, 4)), Red(p.at(x - 1, 4))) << x;
        between += Red(p.at(x, 4)) > 0 && Red(p.at(x, 4)) < 255;
    }
    EXPECT_EQ(Red(p.at(0, 4)) + Red(p.at(15, 4)), 255);
    EXPECT_EQ(between, 8);
}

TEST(Images, AnimationCellsAndAutoMidHandle) {
    OpenWindow(32, 32);
    // 3 × 2 cells of 4 × 3 pixels; cell k is filled with (k·40 + 1, 7, 9).
    Picture sheet(12, 6);
    for (int k = 0; k < 6; ++k) sheet.Fill((k % 3) * 4, (k / 3) * 3, 4, 3, Rgb(k * 40 + 1, 7, 9));
    std::string path = Save(sheet, "cells.png");
    Image anim = LoadAnimImage(path, 4, 3, 2, 3, 0);
    ASSERT_EQ(ImageFrames(anim), 3);
    EXPECT_EQ(ImageWidth(anim) * 10 + ImageHeight(anim), 43);
    for (int f = 0; f < 3; ++f) {
        Pixmap pm = LockImage(anim, f);
        EXPECT_EQ(ReadPixel(pm, 0, 0), Rgb((f + 2) * 40 + 1, 7, 9)) << f;
        EXPECT_EQ(ReadPixel(pm, 3, 2), Rgb((f + 2) * 40 + 1, 7, 9)) << f;
    }
    EXPECT_EQ(LoadAnimImage(path, 4, 3, 4, 3, 0), nullptr);  // past the last cell
    EXPECT_EQ(LoadAnimImage(path, 0, 3, 0, 1, 0), nullptr);
    EXPECT_EQ(LoadAnimImage(path, 13, 3, 0, 1, 0), nullptr);
    DrawImage(anim, 0, 0, 3);  // a frame that does not exist draws nothing
    EXPECT_EQ(CountPixels(BackBuffer(), Rgb(0, 0, 0)), 32 * 32);
    AutoMidHandle(true);  // later images get a centred hot spot
    Image mid = LoadImage(path);
    AutoMidHandle(false);
    EXPECT_EQ(mid->handle_x * 10 + mid->handle_y, 63.0f);  // (6, 3) of 12 × 6
}

TEST(Images, GrabLockAndUnlock) {
    OpenWindow(32, 32);
    SetBlend(BlendSolid);
    SetColor(200, 10, 10);
    DrawRect(4, 4, 2, 2);
    // A grab into a masked image turns black see-through; unmasked keeps it.
    Image masked = CreateImage(4, 4, 1, ImageMasked), plain = CreateImage(4, 4, 1, 0);
    GrabImage(masked, 3, 3);
    GrabImage(plain, 3, 3);
    Pixmap m = LockImage(masked), q = LockImage(plain);
    EXPECT_EQ(ReadPixel(m, 1, 1), Rgb(200, 10, 10));
    EXPECT_EQ(ReadPixel(m, 0, 0), 0u);
    EXPECT_EQ(ReadPixel(q, 0, 0), Rgb(0, 0, 0));
    // Hanging off the window: the outside is transparent black.
    Pixmap edge = GrabPixmap(30, 30, 4, 4);
    EXPECT_EQ(ReadPixel(edge, 1, 1), Rgb(0, 0, 0));
    EXPECT_EQ(ReadPixel(edge, 3, 3), 0u);
    // Unlocking a changed pixmap changes what is drawn.
    WritePixel(q, 0, 0, Rgb(0, 255, 0));
    UnlockImage(plain, q);
    SetColor(255, 255, 255);
    Cls();
    DrawImage(plain, 10, 10);
    Picture shot = BackBuffer();
    EXPECT_EQ(shot.at(10, 10), Rgb(0, 255, 0));
    EXPECT_EQ(shot.at(11, 11), Rgb(200, 10, 10));
}
