// Images and pixmaps: masking, filtering, animation cells, hot spots, grabs,
// locks, the PNG round trip, and refusal of bad files and absurd sizes.
#include <fstream>

#include "picture.h"
#include "platform/image/image.h"

using namespace rtest;

namespace {

// Saves a picture as PNG (opaque pictures are stored without alpha).
std::string SavePicture(const Picture& p, const std::string& name) {
    std::string path = TempPath(name);
    EXPECT_TRUE(SavePixmapPNG(ToPixmap(p), path));
    return path;
}

class Images : public ::testing::Test {
protected:
    void SetUp() override {
        OpenWindow(32, 32);
        AutoMidHandle(false);
    }
    void TearDown() override { AutoMidHandle(false); }
};

}  // namespace

TEST_F(Images, PNGRoundTripKeepsEveryPixel) {
    Picture p(7, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) p.at(x, y) = (uint32_t(x * 40) << 24) | (uint32_t(y * 60) << 16) | (x * 37 << 8) | 9;
    for (int level : {0, 6, 9, 42, -3}) {
        std::string path = TempPath("rgba" + std::to_string(level) + ".png");
        ASSERT_TRUE(SavePixmapPNG(ToPixmap(p), path, level));
        Pixmap back = LoadPixmap(path);
        ASSERT_NE(back, nullptr);
        ASSERT_EQ(PixmapWidth(back), 7);
        ASSERT_EQ(PixmapHeight(back), 5);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) ASSERT_EQ(ReadPixel(back, x, y), p.at(x, y)) << x << "," << y;
    }
    // An opaque picture round-trips too (stored without an alpha channel).
    Picture opaque(3, 3, Rgb(1, 2, 3));
    opaque.at(1, 1) = Rgb(250, 0, 128);
    Pixmap back = LoadPixmap(SavePicture(opaque, "rgb.png"));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(ReadPixel(back, 1, 1), Rgb(250, 0, 128));
    EXPECT_EQ(ReadPixel(back, 0, 2), Rgb(1, 2, 3));
}

TEST_F(Images, SaveReportsFailure) {
    Pixmap pm = CreatePixmap(4, 4);
    EXPECT_FALSE(SavePixmapPNG(pm, TempFolder() + "no/such/folder/x.png"));
    EXPECT_FALSE(SavePixmapPNG(nullptr, TempPath("none.png")));
    EXPECT_FALSE(SavePixmapPNG(pm, ""));
    // A full disk: every write fails, and that is reported (the device
    // itself, not being a regular file, is left alone).
    if (std::ifstream("/dev/full").good()) {
        EXPECT_FALSE(SavePixmapPNG(pm, "/dev/full"));
        EXPECT_TRUE(std::ifstream("/dev/full").good());
    }
    // A folder in the way of the name: cannot be opened, reported, and the
    // folder is not touched.
    std::string folder = TempPath("folder.png");
    std::filesystem::create_directories(folder);
    EXPECT_FALSE(SavePixmapPNG(pm, folder));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST_F(Images, BadFilesGiveNone) {
    Picture good(16, 16, Rgb(10, 20, 30));
    for (int i = 0; i < 16; ++i) good.at(i, i) = Rgb(i * 16, 255 - i * 16, i);
    std::string valid = ReadBytes(SavePicture(good, "good.png"));
    ASSERT_GT(valid.size(), 40u);

    std::string missing = TempPath("missing.png");
    std::string empty = TempPath("empty.png");
    std::string truncated = TempPath("truncated.png");
    std::string garbage = TempPath("garbage.png");
    std::string badcrc = TempPath("badcrc.png");
    WriteBytes(empty, "");
    WriteBytes(truncated, valid.substr(0, valid.size() / 2));
    WriteBytes(garbage, std::string(300, '\x5a'));
    std::string corrupt = valid;
    corrupt[valid.size() / 2] ^= 0x55;  // inside the pixel data
    WriteBytes(badcrc, corrupt);

    for (const std::string& path : {missing, empty, truncated, garbage, badcrc, TempFolder()}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(LoadImage(path), nullptr) << path;
        EXPECT_EQ(LoadAnimImage(path, 4, 4, 0, 2), nullptr) << path;
        EXPECT_EQ(LoadPixmap(path), nullptr) << path;
    }
    // The good file still loads afterwards: nothing was left broken.
    EXPECT_NE(LoadImage(SavePicture(good, "again.png")), nullptr);
}

TEST_F(Images, HugeHeaderIsRefusedBeforeAllocating) {
    // A valid signature and header chunk claiming 100000 × 100000 pixels.
    std::string png = "\x89PNG\r\n\x1a\n";
    std::string ihdr = std::string("IHDR") + std::string("\x00\x01\x86\xa0\x00\x01\x86\xa0\x08\x06\x00\x00\x00", 13);
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char ch : ihdr) {
        crc ^= ch;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    crc ^= 0xFFFFFFFFu;
    png += std::string("\x00\x00\x00\x0d", 4) + ihdr;
    for (int s = 24; s >= 0; s -= 8) png += char((crc >> s) & 0xFF);
    std::string path = TempPath("huge.png");
    WriteBytes(path, png);
    EXPECT_EQ(LoadImage(path), nullptr);
    EXPECT_EQ(LoadPixmap(path), nullptr);
}

TEST_F(Images, AbsurdSizesAreRefused) {
    EXPECT_EQ(CreateImage(0, 0), nullptr);
    EXPECT_EQ(CreateImage(-4, 4), nullptr);
    EXPECT_EQ(CreateImage(100000, 100000), nullptr);
    EXPECT_EQ(CreateImage(16, 16, 0), nullptr);
    EXPECT_EQ(CreateImage(8192, 8192, 2), nullptr);  // 512 MiB of frames
    EXPECT_EQ(CreatePixmap(0, 0), nullptr);
    EXPECT_EQ(CreatePixmap(100000, 100000), nullptr);
    EXPECT_EQ(CreatePixmap(16385, 1), nullptr);
    EXPECT_EQ(GrabPixmap(0, 0, 0, 5), nullptr);
    EXPECT_NE(CreateImage(16, 16, 3), nullptr);
    // "None" handles are harmless everywhere.
    EXPECT_EQ(ImageWidth(nullptr), 0);
    EXPECT_EQ(ImageFrames(nullptr), 0);
    EXPECT_EQ(ReadPixel(nullptr, 0, 0), 0u);
    WritePixel(nullptr, 0, 0, 1);
    DrawImage(nullptr, 0, 0);
    GrabImage(nullptr, 0, 0);
    EXPECT_EQ(LockImage(nullptr), nullptr);
    UnlockImage(nullptr, CreatePixmap(2, 2));
    // Pixels outside a pixmap read as 0 and writes there are dropped.
    Pixmap pm = CreatePixmap(2, 2);
    WritePixel(pm, 2, 0, 0xFFFFFFFFu);
    WritePixel(pm, -1, 0, 0xFFFFFFFFu);
    EXPECT_EQ(ReadPixel(pm, 2, 0), 0u);
    EXPECT_EQ(ReadPixel(pm, 1, 1), 0u);
}

TEST_F(Images, MaskedPicturesWithoutAlphaLoseTheirBlack) {
    Picture p(2, 1, Rgb(0, 0, 0));
    p.at(1, 0) = Rgb(255, 255, 255);
    std::string path = SavePicture(p, "noalpha.png");  // opaque: saved as RGB

    SetBlend(BlendAlpha);
    SetClsColor(0, 0, 255);
    Cls();
    DrawImage(LoadImage(path, ImageMasked), 0, 0);
    Picture shot = BackBuffer();
    EXPECT_EQ(shot.at(0, 0), Rgb(0, 0, 255)) << "black is see-through";
    EXPECT_EQ(shot.at(1, 0), Rgb(255, 255, 255));

    Cls();
    DrawImage(LoadImage(path, 0), 0, 0);
    EXPECT_EQ(BackBuffer().at(0, 0), Rgb(0, 0, 0)) << "unmasked black is drawn";

    // With an alpha channel the picture's own alpha is kept, black included.
    Picture q(2, 1, 0xFF000000u);
    q.at(1, 0) = 0x00FFFFFFu;
    Cls();
    DrawImage(LoadImage(SavePicture(q, "alpha.png"), ImageMasked), 0, 0);
    shot = BackBuffer();
    EXPECT_EQ(shot.at(0, 0), Rgb(0, 0, 0));
    EXPECT_EQ(shot.at(1, 0), Rgb(0, 0, 255));
}

TEST_F(Images, FilteredImagesBlendNeighbours) {
    // Black | white, scaled 8 times: nearest shows two values, bilinear ramps.
    Picture p(2, 1, Rgb(0, 0, 0));
    p.at(1, 0) = Rgb(255, 255, 255);
    std::string path = SavePicture(p, "ramp.png");
    SetBlend(BlendSolid);
    SetScale(8, 8);
    auto row = [] {
        Picture shot = BackBuffer();
        std::vector<int> r;
        for (int x = 0; x < 16; ++x) r.push_back(Red(shot.at(x, 4)));
        return r;
    };
    DrawImage(LoadImage(path, 0), 0, 0);
    std::vector<int> crisp = row();
    for (int x = 0; x < 16; ++x) EXPECT_EQ(crisp[x], x < 8 ? 0 : 255) << x;

    DrawImage(LoadImage(path, ImageFiltered), 0, 0);
    std::vector<int> smooth = row();
    int between = 0;
    for (int x = 1; x < 16; ++x) {
        EXPECT_GE(smooth[x], smooth[x - 1]) << "ramp rises monotonically at " << x;
        between += smooth[x] > 0 && smooth[x] < 255;
    }
    EXPECT_EQ(smooth[0], 0);    // clamped at the edge: the first texel's own colour
    EXPECT_EQ(smooth[15], 255);
    EXPECT_GE(between, 6);
}

TEST_F(Images, AnimationCellsNumberLeftToRightTopToBottom) {
    // 3 × 2 cells of 4 × 3 pixels; cell k is filled with colour (k·40, 7, 9).
    Picture sheet(12, 6);
    for (int k = 0; k < 6; ++k) sheet.Fill((k % 3) * 4, (k / 3) * 3, 4, 3, Rgb(k * 40 + 1, 7, 9));
    std::string path = SavePicture(sheet, "cells.png");
    Image anim = LoadAnimImage(path, 4, 3, 2, 3, 0);
    ASSERT_NE(anim, nullptr);
    EXPECT_EQ(ImageWidth(anim), 4);
    EXPECT_EQ(ImageHeight(anim), 3);
    ASSERT_EQ(ImageFrames(anim), 3);
    for (int f = 0; f < 3; ++f) {
        Pixmap pm = LockImage(anim, f);
        ASSERT_NE(pm, nullptr);
        EXPECT_EQ(ReadPixel(pm, 0, 0), Rgb((f + 2) * 40 + 1, 7, 9)) << "frame " << f;
        EXPECT_EQ(ReadPixel(pm, 3, 2), Rgb((f + 2) * 40 + 1, 7, 9)) << "frame " << f;
    }
    // Frames past the picture's cells, or nonsense cells, give none.
    EXPECT_EQ(LoadAnimImage(path, 4, 3, 4, 3, 0), nullptr);
    EXPECT_EQ(LoadAnimImage(path, 0, 3, 0, 1, 0), nullptr);
    EXPECT_EQ(LoadAnimImage(path, 4, 3, -1, 2, 0), nullptr);
    EXPECT_EQ(LoadAnimImage(path, 13, 3, 0, 1, 0), nullptr);
    // Drawing a frame that does not exist draws nothing.
    SetBlend(BlendSolid);
    Cls();
    DrawImage(anim, 0, 0, 3);
    DrawImage(anim, 0, 0, -1);
    EXPECT_EQ(CountPixels(BackBuffer(), Rgb(0, 0, 0)), 32 * 32);
    DrawImage(anim, 0, 0, 1);
    EXPECT_EQ(BackBuffer().at(1, 1), Rgb(3 * 40 + 1, 7, 9));
}

TEST_F(Images, HotSpots) {
    Image a = CreateImage(10, 6);
    SetImageHandle(a, 3, 2);
    EXPECT_EQ(a->handle_x, 3.0f);
    MidHandleImage(a);
    EXPECT_EQ(a->handle_x, 5.0f);
    EXPECT_EQ(a->handle_y, 3.0f);
    AutoMidHandle(true);
    Picture p(9, 5, Rgb(1, 1, 1));
    Image b = LoadImage(SavePicture(p, "mid.png"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->handle_x, 4.5f);
    EXPECT_EQ(b->handle_y, 2.5f);
    AutoMidHandle(false);
    Image c = LoadImage(SavePicture(p, "mid.png"));
    EXPECT_EQ(c->handle_x, 0.0f);
}

TEST_F(Images, GrabLockAndUnlock) {
    SetBlend(BlendSolid);
    SetClsColor(0, 0, 0);
    Cls();
    SetColor(200, 10, 10);
    DrawRect(4, 4, 2, 2);

    // GrabImage takes the back buffer at a window pixel; the masked image's
    // black turns see-through, the unmasked image keeps it.
    Image masked = CreateImage(4, 4, 1, ImageMasked);
    Image plain = CreateImage(4, 4, 1, 0);
    GrabImage(masked, 3, 3);
    GrabImage(plain, 3, 3);
    Pixmap m = LockImage(masked), q = LockImage(plain);
    EXPECT_EQ(ReadPixel(m, 1, 1), Rgb(200, 10, 10));
    EXPECT_EQ(ReadPixel(m, 0, 0), 0u);
    EXPECT_EQ(ReadPixel(q, 0, 0), Rgb(0, 0, 0));

    // A grab hanging off the window fills the outside with transparent black.
    Pixmap edge = GrabPixmap(30, 30, 4, 4);
    ASSERT_NE(edge, nullptr);
    EXPECT_EQ(ReadPixel(edge, 1, 1), Rgb(0, 0, 0));
    EXPECT_EQ(ReadPixel(edge, 3, 3), 0u);

    // Changing the pixmap and unlocking changes what is drawn.
    WritePixel(q, 0, 0, Rgb(0, 255, 0));
    UnlockImage(plain, q);
    SetColor(255, 255, 255);
    Cls();
    DrawImage(plain, 10, 10);
    Picture shot = BackBuffer();
    EXPECT_EQ(shot.at(10, 10), Rgb(0, 255, 0));
    EXPECT_EQ(shot.at(11, 11), Rgb(200, 10, 10));
}

TEST_F(Images, MemoryIsCountedAndGivenBack) {
    int64_t before = MemoryInUse();
    {
        Image img = CreateImage(64, 32, 2);
        Pixmap pm = CreatePixmap(10, 10);
        EXPECT_EQ(MemoryInUse() - before, 64 * 32 * 4 * 2 + 10 * 10 * 4);
    }
    EXPECT_EQ(MemoryInUse(), before);
}
