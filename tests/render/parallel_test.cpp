// The software renderer's raster workers and wide spans: every choice gives
// the same bytes as one thread on the four-pixel spans, also when the fill
// is started early and more is drawn while it runs; draws keep the texture
// pixels they were made with although filling comes later; and
// reopening the graphics leaves no thread and no memory behind.
#include <dirent.h>
#include <malloc.h>

#include <functional>

#include "picture.h"
#include "platform/backend.h"

using namespace rtest;

namespace {

const char *const SansPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

Image MakeImage(int w, int h, uint32_t seed, int flags) {
    Image img = CreateImage(w, h, 1, flags);
    Pixmap pm = CreatePixmap(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t v = (x * 2654435761u) ^ (y * 40503u) ^ (seed * 97u);
            WritePixel(pm, x, y, ((v >> 3) & 1) ? (v | 0x40000000u) : (v & 0x7FFFFFFFu));
        }
    UnlockImage(img, pm);
    MidHandleImage(img);
    return img;
}

void DrawSprites(const Image &icon) {
    SeedRnd(99);
    for (int n = 0; n < 20000; ++n) {
        SetBlend(Rand(2, 5));
        SetRotation(static_cast<float>(Rand(1, 360)));
        SetColor(Rand(0, 255), Rand(0, 255), Rand(0, 255));
        SetAlpha(static_cast<float>(Rnd(0.05, 1)));
        SetScale(2, 2);
        const float y = static_cast<float>(Rand(-20, 500));
        DrawImage(icon, static_cast<float>(Rand(-20, 660)), y);
    }
}

// Scenes over a 320 × 240 window showing a 640 × 480 virtual area.
void Blends() {
    const Image img = MakeImage(24, 20, 1, ImageMasked);
    for (int blend = 0; blend <= 6; ++blend) {
        SetBlend(blend);
        SetAlpha(0.25f + 0.1f * blend);
        SetColor(40 * blend, 255 - 30 * blend, 128);
        DrawRect(10 + 90 * blend, 20, 80, 300);
        SetRotation(13.0f * blend);
        DrawImage(img, 50 + 90 * blend, 380);
        SetRotation(0);
    }
}
void Images() {
    const Image nearest = MakeImage(33, 17, 2, ImageMasked);
    const Image filtered = MakeImage(16, 16, 3, ImageMasked | ImageFiltered);
    for (int i = 0; i < 40; ++i) {
        SetBlend(2 + i % 4);
        SetRotation(i * 9.5f);
        SetScale(0.5f + i * 0.13f, 2.5f - i * 0.05f);
        SetAlpha(0.3f + (i % 7) * 0.1f);
        DrawImage(i % 2 ? nearest : filtered, 15.0f * i + 20, 12.0f * i + 10);
    }
}
void TextLinesOvals() {
    const Font font = LoadImageFont(SansPath, 22, 4);
    SetImageFont(font);
    SetColor(250, 200, 60);
    DrawText("Juggle the balls, 0123!", 12, 8);
    SetImageFont(nullptr);
    SetRotation(-20);
    SetScale(2, 1.5f);
    DrawText("Default font", 40, 200);
    SetRotation(0);
    SetScale(1, 1);
    for (int i = 0; i < 30; ++i) {
        SetLineWidth(1 + i % 5);
        SetBlend(3 + i % 3);
        SetColor(i * 8, 255 - i * 8, 90);
        DrawLine(5.0f * i, 470, 630 - 11.0f * i, 60 + 3.0f * i);
        DrawOval(20.0f * i, 300 - 5.0f * i, 30 + 4.0f * i, 20 + 3.0f * i);
    }
}
// Glyphs from alpha-only atlases, nearest (mono) and bilinear (smooth), in
// every blend, tinted and turned.
void GlyphBlends() {
    const Font mono = LoadImageFont(SansPath, 19, 1), smooth = LoadImageFont(SansPath, 19, 4);
    for (int blend = 1; blend <= 5; ++blend) {
        SetBlend(blend);
        SetColor(60 * blend, 250 - 40 * blend, 90 + 30 * blend);
        SetAlpha(0.2f * blend);
        SetRotation(7.0f * blend);
        SetScale(1.0f + 0.3f * blend, 1.5f);
        SetImageFont(blend % 2 ? mono : smooth);
        DrawText("Wide glyphs 0123", 10, 60.0f * blend);
        SetImageFont(blend % 2 ? smooth : mono);
        DrawText("Wide glyphs 4567", 330, 60.0f * blend + 25);
    }
    SetImageFont(nullptr);
}
void Sprites() {
    const Image icon = MakeImage(16, 16, 4, ImageMasked);
    DrawSprites(icon);
}
// The fill starts while the sprites' texture lives, and rectangles are drawn
// as it runs (as the frame's notices are drawn after the game's wait).
void SpritesFilledEarly() {
    const Image icon = MakeImage(16, 16, 4, ImageMasked);
    DrawSprites(icon);
    SubmitDrawing();
    SetBlend(3);
    SetAlpha(0.5f);
    for (int i = 0; i < 300; ++i) {
        SetColor(200, i % 256, 100);
        DrawRect(2.0f * i, 1.5f * i, 40, 30);
    }
}

Picture Render(const std::function<void()> &scene, int workers, bool wide, bool tinted = true) {
    plat::SetSoftRasterOptions({workers, wide, tinted});
    OpenWindow(320, 240);
    SetVirtualResolution(640, 480);
    SetClsColor(30, 60, 90);
    Cls();
    scene();
    Picture p = BackBuffer();
    plat::SetSoftRasterOptions({});
    return p;
}

int Threads() {
    int n = 0;
    if (DIR *d = opendir("/proc/self/task")) {
        while (dirent *e = readdir(d)) n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

}  // namespace

TEST(ParallelRaster, EveryWorkerCountAndSpanWidthGivesTheSameBytes) {
    const struct {
        const char *name;
        void (*scene)();
    } scenes[] = {{"blends", Blends},
                  {"images", Images},
                  {"text", TextLinesOvals},
                  {"glyph_blends", GlyphBlends},
                  {"sprites", Sprites},
                  {"sprites_filled_early", SpritesFilledEarly}};
    const struct {
        int workers;
        bool wide;
    } configs[] = {{1, true}, {2, true}, {3, true}, {3, false}, {1, false}};
    for (const auto &s : scenes) {
        // one thread, four-pixel spans, every tint applied per pixel
        const Picture one = Render(s.scene, 1, false, false);
        EXPECT_GT(one.width * one.height - CountPixels(one, Rgb(30, 60, 90)), 1000) << s.name;
        for (const auto &c : configs) {
            const std::string label = std::string(s.name) + "_" + std::to_string(c.workers) +
                                      (c.wide ? "_wide" : "_sse2");
            EXPECT_TRUE(SamePicture(Render(s.scene, c.workers, c.wide), one, 0, label));
        }
    }
}

TEST(ParallelRaster, DrawsKeepTheTexturePixelsTheyWereMadeWith) {
    for (int workers : {1, 3}) {
        plat::SetSoftRasterOptions({workers, true});
        OpenWindow(40, 20);
        SetClsColor(0, 0, 0);
        Cls();
        Image img = CreateImage(8, 8, 1, 0);
        Pixmap pm = CreatePixmap(8, 8);
        for (uint32_t colour : {0xFFFF0000u, 0xFF0000FFu}) {  // red drawn, then changed to blue
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x) WritePixel(pm, x, y, colour);
            UnlockImage(img, pm);  // while the red draw may still be filling
            DrawImage(img, colour == 0xFFFF0000u ? 2 : 12, 2);
            SubmitDrawing();
        }
        img.reset();  // freed before the frame is filled
        const Picture p = BackBuffer();
        EXPECT_EQ(p.at(5, 5), 0xFFFF0000u) << workers;
        EXPECT_EQ(p.at(15, 5), 0xFF0000FFu) << workers;
        plat::SetSoftRasterOptions({});
    }
}

TEST(ParallelRaster, ReopeningGraphicsFiftyTimesLeavesNoThreadOrMemory) {
    plat::SetSoftRasterOptions({3, true});
    UseHeadlessPlatform();
    const int threads = Threads();
    size_t heapAfterWarmUp = 0;
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(Graphics(320, 240, 0, 60));
        Cls();
        Images();
        Flip(0);
        EXPECT_EQ(Threads(), threads + 3);  // a thread per worker
        EndGraphics();
        if (i == 9) heapAfterWarmUp = mallinfo2().uordblks;
    }
    EXPECT_EQ(Threads(), threads);
    EXPECT_LT(mallinfo2().uordblks, heapAfterWarmUp + 64 * 1024);
    plat::SetSoftRasterOptions({});
}
