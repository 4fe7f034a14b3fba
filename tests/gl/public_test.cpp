// public_test.cpp — the OpenGL renderer behind the public drawing calls, in a
// real window opened by PlatformInit and Graphics, against the software
// renderer drawing the same calls.
//
// Pictures agree channel by channel within ±3 (8-bit rounding: the GL path
// modulates and blends in float or in 8-bit steps of its own, the software
// renderer rounds each product to 8 bits), with at most 1.5% of pixels
// further off: edges of rotated shapes, the oval and the glyphs, where a pixel
// centre lies within rounding of an edge, and texel boundaries of scaled
// images, where either neighbour is a fair sample. On a mismatch the GL
// picture, the software picture and a difference picture are saved as PNGs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/gl/gl_renderer.h"
#include "platform/platform.h"

namespace {

constexpr int W = 320, H = 240;

bool DisplayRequired() {
    const char* v = std::getenv("FLINGO_REQUIRE_DISPLAY");
    return v && std::strcmp(v, "1") == 0;
}

// Opens a W × H window on `renderer`; "" on success, else why not.
std::string Open(int renderer, plat::gl::Path path = plat::gl::Path::Auto) {
    static bool started = false;
    if (!started) {
        PlatformInit();
        started = true;
    }
    EndGraphics();
    SelectRenderer(renderer);
    plat::gl::ForcePath(path);
    const bool ok = Graphics(W, H, 0, 60);
    plat::gl::ForcePath(plat::gl::Path::Auto);
    std::string why;
    for (std::string note = NextPlatformNote(); !note.empty(); note = NextPlatformNote()) why += note;
    if (!ok) return "Graphics failed" + why;
    if (CurrentRenderer() != renderer) return "fell back to another renderer" + why;
    return "";
}

// Opens the window or ends the test: a failure when a display is required.
#define OPEN(renderer, ...)                                                   \
    do {                                                                      \
        const std::string why = Open(renderer, ##__VA_ARGS__);                \
        if (!why.empty()) {                                                   \
            if (DisplayRequired()) FAIL() << "no window: " << why;            \
            GTEST_SKIP() << "no window: " << why;                             \
        }                                                                     \
    } while (0)

plat::gl::Stats GLStats() {
    plat::gl::Stats s;
    EXPECT_TRUE(plat::gl::GetStats(plat::CurrentRenderer(), &s)) << "not the OpenGL renderer";
    return s;
}

std::vector<uint32_t> Grab(int x = 0, int y = 0, int w = W, int h = H) {
    std::vector<uint32_t> px(size_t(w) * h, 0x12345678u);
    Pixmap pm = GrabPixmap(x, y, w, h);
    if (!pm) return px;
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) px[size_t(j) * w + i] = ReadPixel(pm, i, j);
    return px;
}

void Save(const std::vector<uint32_t>& px, const std::string& path) {
    Pixmap pm = CreatePixmap(W, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) WritePixel(pm, x, y, px[size_t(y) * W + x]);
    SavePixmapPNG(pm, path);
}

int ChannelDiff(uint32_t a, uint32_t b) {
    int d = 0;
    for (int s = 0; s < 24; s += 8) d = std::max(d, std::abs(int((a >> s) & 0xFF) - int((b >> s) & 0xFF)));
    return d;
}

::testing::AssertionResult Agree(const std::vector<uint32_t>& gl, const std::vector<uint32_t>& soft,
                                 const std::string& label) {
    constexpr int tolerance = 3;
    constexpr double allowance = 0.015;
    int bad = 0, worst = 0;
    std::vector<uint32_t> diff(gl.size());
    for (size_t i = 0; i < gl.size(); ++i) {
        const int d = ChannelDiff(gl[i], soft[i]);
        if (d > tolerance) {
            ++bad;
            worst = std::max(worst, d);
        }
        diff[i] = d > tolerance ? 0xFFFF00FFu : 0xFF000000u | uint32_t(std::min(255, d * 60) << 8);
    }
    if (bad <= int(allowance * double(gl.size()))) return ::testing::AssertionSuccess();
    const std::string dir = ::testing::TempDir() + "flingo_gl/";
    std::filesystem::create_directories(dir);
    Save(gl, dir + label + "_gl.png");
    Save(soft, dir + label + "_soft.png");
    Save(diff, dir + label + "_difference.png");
    return ::testing::AssertionFailure() << label << ": " << bad << " of " << gl.size()
                                         << " pixels differ by more than " << tolerance << " (worst "
                                         << worst << "); pictures in " << dir;
}

// An image from a pixel function (alpha included).
template <typename F>
Image MakeImage(int w, int h, int flags, F f) {
    Image img = CreateImage(w, h, 1, flags);
    Pixmap pm = CreatePixmap(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) WritePixel(pm, x, y, f(x, y));
    UnlockImage(img, pm);
    return img;
}

struct Images {
    Image tile, masked, smooth;
    Images() {
        tile = MakeImage(8, 8, 0, [](int x, int y) -> uint32_t {
            return 0xFF000000u | uint32_t(x * 32) << 16 | uint32_t(y * 32) << 8 | uint32_t((x ^ y) * 30);
        });
        // A ring: opaque, half-transparent at its rim, clear in its hole.
        masked = MakeImage(12, 12, ImageMasked, [](int x, int y) -> uint32_t {
            const int dx = 2 * x - 11, dy = 2 * y - 11, r = dx * dx + dy * dy;
            if (r >= 121 || r <= 25) return 0u;
            return r > 90 ? 0x70E0A020u : 0xFFE0A020u;
        });
        smooth = MakeImage(4, 4, ImageFiltered, [](int x, int y) -> uint32_t {
            return 0xFF000000u | uint32_t(x * 85) << 16 | uint32_t(y * 85) << 8 | 0x60u;
        });
        MidHandleImage(tile);
        MidHandleImage(masked);
    }
};

// Everything the game draws: flat rects, a rotated tinted image, each blend
// over coloured bars, a masked image, a filtered image scaled up, an oval,
// a thick line and text.
void Scene(const Images& im) {
    SetClsColor(30, 40, 60);
    Cls();
    const int blends[5] = {BlendMask, BlendSolid, BlendAlpha, BlendLight, BlendShade};
    for (int i = 0; i < 5; ++i) {
        const float y = 8.0f + 46.0f * float(i);
        SetBlend(BlendSolid);
        SetAlpha(1);
        SetColor(200 - 40 * i, 60 + 30 * i, 140);
        DrawRect(4, y, 150, 40);
        SetBlend(blends[i]);
        SetColor(255, 200, 120);
        SetAlpha(0.6f);
        SetScale(2, 2);
        DrawImage(im.tile, 40, y + 20);
        SetScale(1, 1);
        DrawImage(im.masked, 80, y + 20);
        SetColor(90, 250, 60);
        SetAlpha(0.45f);
        DrawRect(100, y + 8, 50, 24);
        SetAlpha(1);
    }
    SetBlend(BlendAlpha);
    SetColor(255, 255, 255);
    SetRotation(30);
    SetScale(3, 3);
    DrawImage(im.tile, 205, 45);
    SetRotation(-20);
    SetScale(2, 2);
    SetBlend(BlendMask);
    DrawImage(im.masked, 275, 40);
    SetRotation(0);
    SetScale(9.5f, 7);
    SetBlend(BlendSolid);
    DrawImage(im.smooth, 170, 85);
    SetScale(1, 1);
    SetBlend(BlendAlpha);
    SetColor(250, 220, 40);
    DrawOval(215, 120, 90, 60);
    SetColor(40, 230, 250);
    SetLineWidth(3);
    DrawLine(170, 230, 312, 190);
    SetLineWidth(1);
    SetColor(255, 255, 255);
    DrawText("Flingo 0123", 168, 186);
}

TEST(GLPublic, ReferenceSceneMatchesSoftware) {
    Images im;
    for (plat::gl::Path path : {plat::gl::Path::Auto, plat::gl::Path::FixedFunction}) {
        const std::string label = std::string("scene_") + (path == plat::gl::Path::Auto ? "best" : "fixed");
        OPEN(RendererOpenGL, path);
        EXPECT_STREQ(plat::CurrentRenderer()->Name(), "opengl");
        if (path != plat::gl::Path::Auto) {
            EXPECT_EQ(GLStats().path, path);
        }
        Scene(im);
        const auto gl = Grab();
        OPEN(RendererSoftware);
        Scene(im);
        const auto soft = Grab();
        EXPECT_TRUE(Agree(gl, soft, label));
        // Not a blank or uniform picture: the comparison has something to compare.
        int lit = 0;
        for (uint32_t p : gl) lit += (p & 0xFFFFFFu) != 0x1E283Cu;
        EXPECT_GT(lit, W * H / 3) << label;
        // Two exact spots: the oval's centre (alpha blend at alpha 1) and
        // the solid bar under the mask row's ring hole.
        EXPECT_EQ(gl[size_t(150) * W + 260], 0xFFFAdc28u) << label;
        EXPECT_EQ(gl[size_t(28) * W + 80], 0xFFC83C8Cu) << label;
    }
    EndGraphics();
}

// One batch per run of draws that share texture and blend, whatever their
// colour, position or rotation; a texture or blend change starts a new one.
TEST(GLPublic, DrawsShareBatchesUntilTextureOrBlendChanges) {
    Images im;
    OPEN(RendererOpenGL);
    Cls();
    GrabPixmap(0, 0, 1, 1);  // flushes whatever came before
    const plat::gl::Stats before = GLStats();
    SetBlend(BlendAlpha);
    for (int i = 0; i < 200; ++i) {
        SetColor(i, 255 - i, 40);
        SetAlpha(float(i % 5) / 4);
        SetRotation(float(i * 7));
        DrawImage(im.tile, float(i % 300), float(i % 200));
    }
    GrabPixmap(0, 0, 1, 1);
    const plat::gl::Stats one = GLStats();
    EXPECT_EQ(one.drawCalls - before.drawCalls, 1u);
    EXPECT_EQ(one.quads - before.quads, 200u);
    for (int i = 0; i < 10; ++i) {
        DrawImage((i & 1) ? im.tile : im.masked, 50, 50);
        if (i == 9) SetBlend(BlendLight);
        DrawImage(im.masked, 60, 60);  // same texture as the last odd draw
    }
    GrabPixmap(0, 0, 1, 1);
    const plat::gl::Stats after = GLStats();
    // masked, tile+masked x4 alternating ... : every change of texture or
    // blend is one batch more.
    EXPECT_EQ(after.drawCalls - one.drawCalls, 11u);
    // Nothing is culled: invisible (alpha 0) draws still reach GL.
    SetAlpha(0);
    SetColor(0, 0, 0);
    for (int i = 0; i < 50; ++i) DrawImage(im.tile, float(i), 10);
    GrabPixmap(0, 0, 1, 1);
    EXPECT_EQ(GLStats().quads - after.quads, 50u);
    EndGraphics();
}

// Changed pixels (a new generation) are uploaded again; what was drawn
// before the change keeps the old pixels.
TEST(GLPublic, UnlockedImageShowsItsNewPixels) {
    OPEN(RendererOpenGL);
    Image img = MakeImage(4, 4, 0, [](int, int) -> uint32_t { return 0xFFFF0000u; });
    SetClsColor(0, 0, 0);
    Cls();
    SetBlend(BlendSolid);
    DrawImage(img, 0, 0);
    const uint64_t uploads = GLStats().uploads;
    Pixmap blue = CreatePixmap(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) WritePixel(blue, x, y, 0xFF0000FFu);
    UnlockImage(img, blue);
    DrawImage(img, 8, 0);
    DrawImage(img, 16, 0);  // no third upload: the pixels did not change again
    const auto px = Grab(0, 0, 24, 4);
    EXPECT_EQ(px[1 * 24 + 1], 0xFFFF0000u) << "drawn before the change";
    EXPECT_EQ(px[1 * 24 + 9], 0xFF0000FFu) << "drawn after the change";
    EXPECT_EQ(px[1 * 24 + 17], 0xFF0000FFu);
    EXPECT_EQ(GLStats().uploads, uploads + 1);
    EndGraphics();
}

// An image freed while its draw is still queued: the draw happens first.
TEST(GLPublic, ImageFreedBeforeTheFlushStillShows) {
    OPEN(RendererOpenGL);
    Cls();
    SetBlend(BlendSolid);
    {
        Image img = MakeImage(6, 6, 0, [](int, int) -> uint32_t { return 0xFF00FF00u; });
        DrawImage(img, 10, 10);
    }  // the last handle goes here, its texture with it
    EXPECT_EQ(GLStats().deletes, 1u);
    const auto px = Grab(0, 0, 20, 20);
    EXPECT_EQ(px[12 * 20 + 12], 0xFF00FF00u);
    EndGraphics();
}

}  // namespace
