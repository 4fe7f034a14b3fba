// gl_test.cpp — the OpenGL renderer against the software renderer, in a real
// window with a GL 2.1 context (Mesa under the test run's X server).
//
// Both renderers draw the same scenes through the RenderBackend table; the
// pictures must agree channel by channel within ±3 (rounding of blends and
// colour interpolation), with at most 1% of pixels further off (edges of
// rotated shapes, where rasterisation rules may pick the other pixel). On a
// mismatch both pictures and a difference picture are saved as PNG files.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/gl/gl_renderer.h"
#include "platform/platform.h"
#include "platform/sdl/sdl_video.h"

namespace {

using plat::RenderBackend;
using plat::Texture;
using plat::Vertex;

constexpr int W = 160, H = 120;

bool DisplayRequired() {
    const char* v = std::getenv("FLINGO_REQUIRE_DISPLAY");
    return v && std::strcmp(v, "1") == 0;
}

// A hidden window with a current GL 2.1 context; closed on destruction.
struct GLWindow {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    std::string error;

    GLWindow(int w, int h) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            error = std::string("SDL video: ") + SDL_GetError();
            return;
        }
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
        window = SDL_CreateWindow("gl test", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, w,
                                  h, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (!window) {
            error = std::string("window: ") + SDL_GetError();
            return;
        }
        context = SDL_GL_CreateContext(window);
        if (!context) {
            error = std::string("GL context: ") + SDL_GetError();
            return;
        }
        plat::KeepLoadedLibrariesForLeakCheck();
        SDL_GL_MakeCurrent(window, context);
    }
    ~GLWindow() {
        if (context) SDL_GL_DeleteContext(context);
        if (window) SDL_DestroyWindow(window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    bool ok() const { return context != nullptr; }

    // A renderer on the given GL path (Auto: whatever the context offers
    // best). pathMissing tells when the context cannot give that path.
    std::unique_ptr<RenderBackend> Renderer(int w, int h, std::vector<int>* swaps = nullptr,
                                            plat::gl::Path path = plat::gl::Path::Auto) {
        SDL_Window* win = window;
        plat::gl::ForcePath(path);
        auto r = plat::CreateGLRenderer(
            w, h, reinterpret_cast<plat::GLGetProcFn>(&SDL_GL_GetProcAddress),
            [win, swaps](bool vsync) {
                if (swaps) swaps->push_back(vsync ? 1 : 0);
                SDL_GL_SwapWindow(win);
            });
        plat::gl::ForcePath(plat::gl::Path::Auto);
        plat::gl::Stats stats;
        pathMissing = r && path != plat::gl::Path::Auto && plat::gl::GetStats(r.get(), &stats) &&
                      stats.path != path;
        if (pathMissing) r.reset();
        return r;
    }
    bool pathMissing = false;
};

// Opens the window, or fails (display required) or skips the test.
// Every GL path the renderer has is held to the same pictures.
class GLPaths : public ::testing::TestWithParam<plat::gl::Path> {};

// A renderer on the test's path, or a skip when this context lacks it.
#define MAKE_GL(var, win, ...)                                                          \
    auto var = win.Renderer(W, H, __VA_ARGS__);                                         \
    if (win.pathMissing) GTEST_SKIP() << plat::gl::PathName(GetParam()) << " unavailable"; \
    ASSERT_NE(var, nullptr)

#define OPEN_GL_WINDOW(var)                                                             \
    GLWindow var(W, H);                                                                 \
    if (!var.ok()) {                                                                    \
        if (DisplayRequired()) FAIL() << "no OpenGL window: " << var.error;             \
        GTEST_SKIP() << "no OpenGL window: " << var.error;                              \
    }

std::vector<uint32_t> Read(RenderBackend& r, int w = W, int h = H) {
    std::vector<uint32_t> px(size_t(w) * h, 0x12345678u);
    r.ReadPixels(0, 0, w, h, px.data());
    return px;
}

void SavePicture(const std::vector<uint32_t>& px, int w, int h, const std::string& path) {
    Pixmap pm = CreatePixmap(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) WritePixel(pm, x, y, px[size_t(y) * w + x]);
    SavePixmapPNG(pm, path);
}

int ChannelDiff(uint32_t a, uint32_t b) {
    int d = 0;
    for (int s = 0; s < 32; s += 8)
        d = std::max(d, std::abs(int((a >> s) & 0xFF) - int((b >> s) & 0xFF)));
    return d;
}

// gl and soft agree within `tolerance` per channel on all but `allowance`
// (a fraction) of the pixels; on failure the pictures are saved.
::testing::AssertionResult Agree(const std::vector<uint32_t>& gl, const std::vector<uint32_t>& soft,
                                 const std::string& label, int tolerance = 3,
                                 double allowance = 0.01) {
    int bad = 0, worst = 0, first = -1;
    std::vector<uint32_t> diff(gl.size());
    for (size_t i = 0; i < gl.size(); ++i) {
        const int d = ChannelDiff(gl[i], soft[i]);
        if (d > tolerance) {
            if (bad++ == 0) first = int(i);
            worst = std::max(worst, d);
            diff[i] = 0xFFFF00FFu;
        } else {
            diff[i] = 0xFF000000u | uint32_t(std::min(255, d * 60) << 8);
        }
    }
    if (bad <= int(allowance * double(gl.size()))) return ::testing::AssertionSuccess();
    const std::string dir = ::testing::TempDir() + "flingo_gl/";
    std::filesystem::create_directories(dir);
    // Named after the test too, so each GL path keeps its own pictures.
    std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : test)
        if (c == '/') c = '_';
    const std::string base = dir + test + "_" + label;
    SavePicture(gl, W, H, base + "_gl.png");
    SavePicture(soft, W, H, base + "_soft.png");
    SavePicture(diff, W, H, base + "_difference.png");
    char buf[96];
    std::snprintf(buf, sizeof buf, "first at (%d, %d): gl %08X soft %08X", first % W, first / W,
                  gl[size_t(first)], soft[size_t(first)]);
    return ::testing::AssertionFailure() << label << ": " << bad << " of " << gl.size()
                                         << " pixels differ by more than " << tolerance
                                         << " (worst " << worst << "); " << buf << "; saved as "
                                         << base << "_*.png";
}

std::shared_ptr<Texture> MakeTexture(int w, int h, bool filtered, uint32_t (*f)(int, int)) {
    auto t = std::make_shared<Texture>();
    t->width = w;
    t->height = h;
    t->filtered = filtered;
    t->pixels.resize(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) t->pixels[size_t(y) * w + x] = f(x, y);
    return t;
}

// The two triangles of an axis-aligned quad, as the drawing calls send them.
void Quad(RenderBackend& r, Texture* tex, int blend, float x, float y, float w, float h,
          uint32_t color, uint32_t c1 = 0, uint32_t c2 = 0, uint32_t c3 = 0) {
    if (!c1) c1 = c2 = c3 = color;
    const Vertex a{x, y, 0, 0, color}, b{x + w, y, 1, 0, c1}, c{x + w, y + h, 1, 1, c2},
        d{x, y + h, 0, 1, c3};
    const Vertex v[6] = {a, b, c, a, c, d};
    r.DrawTriangles(tex, blend, v, 6);
}

struct Textures {
    std::shared_ptr<Texture> checker, masked, smooth;
    Textures() {
        checker = MakeTexture(8, 8, false, [](int x, int y) -> uint32_t {
            return ((x + y) & 1) ? 0xFFFFFFFFu : 0xFF3080C0u;
        });
        // Alpha 0, 100, 200 and 255 across the columns: the mask keeps the last two.
        masked = MakeTexture(8, 8, false, [](int x, int y) -> uint32_t {
            static const uint32_t alpha[4] = {0, 100, 200, 255};
            return (alpha[x / 2] << 24) | (y < 4 ? 0xE02020u : 0x20E020u);
        });
        smooth = MakeTexture(4, 4, true, [](int x, int y) -> uint32_t {
            return 0xFF000000u | uint32_t(x * 80) << 16 | uint32_t(y * 80) << 8 | 0x40u;
        });
    }
};

// Every kind of draw the game makes: flat and shaded quads, tinted and masked
// textures, each blend over a coloured background, bilinear scaling, a fan
// of loose triangles and rotated quads.
void ReferenceScene(RenderBackend& r, const Textures& t) {
    r.Clear(0x204060);
    Quad(r, nullptr, BlendSolid, 0, 0, 80, 60, 0xFFC08040u);  // background patch
    Quad(r, nullptr, BlendSolid, 4, 4, 20, 12, 0xFFFF0000u);
    Quad(r, nullptr, 99, 28, 4, 20, 12, 0xFF00FF00u);  // unknown mode: solid
    Quad(r, nullptr, BlendSolid, 52, 4, 24, 12, 0xFF000000u, 0xFFFF0000u, 0xFF00FF00u,
         0xFF0000FFu);
    // Each blend, flat and textured, half over the patch and half over the clear colour.
    const int modes[4] = {BlendAlpha, BlendLight, BlendShade, BlendSolid};
    for (int i = 0; i < 4; ++i) {
        const float x = 60 + 0, y = 20 + 10 * float(i);
        Quad(r, nullptr, modes[i], x, y, 40, 8, 0x80A0C0E0u);
        Quad(r, t.checker.get(), modes[i], 8, y, 96 - 8 - 40, 8, 0xC0FFC080u);
    }
    Quad(r, t.checker.get(), BlendSolid, 4, 64, 24, 24, 0xFFFF8040u);  // tinted, 3× nearest
    Quad(r, t.masked.get(), BlendMask, 32, 64, 32, 32, 0xFFFFFFFFu);
    Quad(r, t.masked.get(), BlendAlpha, 68, 64, 32, 32, 0xFFFFFFFFu);
    Quad(r, t.smooth.get(), BlendSolid, 104, 4, 48, 48, 0xFFFFFFFFu);  // bilinear, 12×
    Quad(r, t.smooth.get(), BlendAlpha, 104, 60, 48, 24, 0x60FFFFFFu);
    // A fan of loose triangles (an oval, in the drawing calls' manner).
    std::vector<Vertex> fan;
    const float cx = 130, cy = 100;
    for (int i = 0; i < 12; ++i) {
        const float a0 = float(i) * 6.2831853f / 12, a1 = float(i + 1) * 6.2831853f / 12;
        fan.push_back({cx, cy, 0, 0, 0xFFE0E040u});
        fan.push_back({cx + 18 * std::cos(a0), cy + 14 * std::sin(a0), 0, 0, 0xFFE0E040u});
        fan.push_back({cx + 18 * std::cos(a1), cy + 14 * std::sin(a1), 0, 0, 0xFFE0E040u});
    }
    r.DrawTriangles(nullptr, BlendAlpha, fan.data(), int(fan.size()));
    // Rotated quads, textured and flat.
    const float s = 0.7071f;
    const Vertex a{20, 96, 0, 0, 0xFFFFFFFFu}, b{20 + 14 * s, 96 - 14 * s, 1, 0, 0xFFFFFFFFu},
        c{20 + 28 * s, 96, 1, 1, 0xFFFFFFFFu}, d{20 + 14 * s, 96 + 14 * s, 0, 1, 0xFFFFFFFFu};
    const Vertex rot[6] = {a, b, c, a, c, d};
    r.DrawTriangles(t.checker.get(), BlendMask, rot, 6);
}

TEST_P(GLPaths, ReferenceSceneMatchesSoftware) {
    OPEN_GL_WINDOW(win);
    MAKE_GL(gl, win, nullptr, GetParam());
    EXPECT_STREQ(gl->Name(), "opengl");
    EXPECT_EQ(gl->Width(), W);
    EXPECT_EQ(gl->Height(), H);
    auto soft = plat::CreateSoftRenderer(W, H, nullptr);
    Textures tex;
    ReferenceScene(*gl, tex);
    ReferenceScene(*soft, tex);
    const auto g = Read(*gl), s = Read(*soft);
    EXPECT_TRUE(Agree(g, s, "reference_scene"));
    // The scene is not trivially uniform: the comparison has something to catch.
    EXPECT_NE(g[size_t(10) * W + 10], g[size_t(10) * W + 36]);
    for (uint32_t p : g) ASSERT_EQ(p >> 24, 0xFFu) << "read-back pixels are opaque";
}

TEST_P(GLPaths, EachBlendOverBackgroundMatchesSoftware) {
    OPEN_GL_WINDOW(win);
    MAKE_GL(gl, win, nullptr, GetParam());
    auto soft = plat::CreateSoftRenderer(W, H, nullptr);
    const uint32_t colors[] = {0x00FFFFFFu, 0x40FF8000u, 0x80208040u, 0xC0FFFFFFu, 0xFF102030u};
    for (int mode = 0; mode <= 6; ++mode) {
        for (RenderBackend* r : {gl.get(), soft.get()}) {
            r->Clear(0x805030);
            Quad(*r, nullptr, BlendSolid, 0, 60, W, 60, 0xFF40A0F0u);
            for (int i = 0; i < 5; ++i) Quad(*r, nullptr, mode, 10 + 30 * i, 20, 24, 80, colors[i]);
        }
        EXPECT_TRUE(Agree(Read(*gl), Read(*soft), "blend_" + std::to_string(mode), 3, 0.0))
            << "mode " << mode;
    }
    // Spot checks on the GL picture alone: light adds, shade multiplies.
    gl->Clear(0x404040);
    Quad(*gl, nullptr, BlendLight, 0, 0, 10, 10, 0x80FFFFFFu);
    Quad(*gl, nullptr, BlendShade, 20, 0, 10, 10, 0xFF808080u);
    Quad(*gl, nullptr, BlendMask, 40, 0, 10, 10, 0x7FFFFFFFu);  // alpha ≤ one half: dropped
    Quad(*gl, nullptr, BlendMask, 60, 0, 10, 10, 0x80FFFFFFu);
    const auto g = Read(*gl);
    EXPECT_NEAR(int(g[5 * W + 5] & 0xFF), 0x40 + 0x80, 2);
    EXPECT_NEAR(int(g[5 * W + 25] & 0xFF), 0x20, 2);
    EXPECT_EQ(g[5 * W + 45], 0xFF404040u);
    EXPECT_EQ(g[5 * W + 65], 0xFFFFFFFFu);
}

TEST_P(GLPaths, ReadPixelsIsTopDownAndClipped) {
    OPEN_GL_WINDOW(win);
    MAKE_GL(gl, win, nullptr, GetParam());
    gl->Clear(0x000000);
    Quad(*gl, nullptr, BlendSolid, 0, 0, 10, 5, 0xFFFF0000u);
    auto px = Read(*gl);
    EXPECT_EQ(px[0], 0xFFFF0000u);                   // top-left
    EXPECT_EQ(px[size_t(4) * W + 9], 0xFFFF0000u);   // last pixel of the rect
    EXPECT_EQ(px[size_t(5) * W + 0], 0xFF000000u);   // row below it
    EXPECT_EQ(px[10], 0xFF000000u);                  // column right of it
    EXPECT_EQ(px[size_t(H - 1) * W], 0xFF000000u);   // bottom-left stays clear
    // A region hanging over the top-left corner: outside pixels read as 0.
    std::vector<uint32_t> part(size_t(6) * 4, 0x12345678u);
    gl->ReadPixels(-2, -1, 6, 4, part.data());
    EXPECT_EQ(part[0], 0u);
    EXPECT_EQ(part[5], 0u);               // top row is outside
    EXPECT_EQ(part[6 + 1], 0u);           // column -1
    EXPECT_EQ(part[6 + 2], 0xFFFF0000u);  // window pixel (0, 0)
    EXPECT_EQ(part[3 * 6 + 5], 0xFFFF0000u);
    std::vector<uint32_t> soft_part(part.size(), 0x12345678u);
    auto soft = plat::CreateSoftRenderer(W, H, nullptr);
    soft->Clear(0);
    Quad(*soft, nullptr, BlendSolid, 0, 0, 10, 5, 0xFFFF0000u);
    soft->ReadPixels(-2, -1, 6, 4, soft_part.data());
    EXPECT_EQ(part, soft_part);
}

TEST_P(GLPaths, ChangedTextureIsUploadedAgain) {
    OPEN_GL_WINDOW(win);
    MAKE_GL(gl, win, nullptr, GetParam());
    auto tex = MakeTexture(2, 2, false, [](int, int) -> uint32_t { return 0xFFFF0000u; });
    gl->Clear(0);
    Quad(*gl, tex.get(), BlendSolid, 0, 0, 8, 8, 0xFFFFFFFFu);
    EXPECT_EQ(Read(*gl)[W + 1], 0xFFFF0000u);
    EXPECT_NE(tex->gpu_name, 0u);
    EXPECT_EQ(tex->gpu_generation, tex->generation);
    // New pixels with a new generation, drawn in the same frame as the old.
    std::fill(tex->pixels.begin(), tex->pixels.end(), 0xFF00FF00u);
    ++tex->generation;
    Quad(*gl, tex.get(), BlendSolid, 20, 0, 8, 8, 0xFFFFFFFFu);
    const auto px = Read(*gl);
    EXPECT_EQ(px[W + 21], 0xFF00FF00u);
    EXPECT_EQ(tex->gpu_generation, tex->generation);
    // A texture left over from another renderer is uploaded afresh even with
    // the generation it had there.
    const uint64_t first_context = tex->gpu_context;
    gl.reset();
    MAKE_GL(second, win, nullptr, GetParam());
    std::fill(tex->pixels.begin(), tex->pixels.end(), 0xFF0000FFu);
    second->Clear(0);
    Quad(*second, tex.get(), BlendSolid, 0, 0, 8, 8, 0xFFFFFFFFu);
    EXPECT_EQ(Read(*second)[W + 1], 0xFF0000FFu);
    EXPECT_NE(tex->gpu_context, first_context);
    // Release by a renderer that does not own the name leaves it alone.
    Texture foreign;
    foreign.gpu_name = 12345;
    foreign.gpu_context = first_context;
    second->ReleaseTexture(foreign);
    EXPECT_EQ(foreign.gpu_name, 12345u);
    foreign.gpu_name = 0;
    second->ReleaseTexture(*tex);
    EXPECT_EQ(tex->gpu_name, 0u);
    // Drawing after a release uploads it again.
    Quad(*second, tex.get(), BlendSolid, 0, 0, 8, 8, 0xFFFFFFFFu);
    EXPECT_EQ(Read(*second)[W + 1], 0xFF0000FFu);
}

// More quads than one batch holds, with texture and blend changes between
// them: the order of drawing must survive every flush.
TEST_P(GLPaths, LongRunsKeepDrawingOrder) {
    OPEN_GL_WINDOW(win);
    MAKE_GL(gl, win, nullptr, GetParam());
    auto soft = plat::CreateSoftRenderer(W, H, nullptr);
    Textures t;
    for (RenderBackend* r : {gl.get(), soft.get()}) {
        r->Clear(0x101010);
        std::vector<Vertex> many;
        for (int i = 0; i < 40000; ++i) {
            const float x = float((i * 7) % W), y = float((i * 13 / W) % H);
            const uint32_t c = 0xFF000000u | uint32_t(i * 2654435761u >> 8);
            const Vertex a{x, y, 0, 0, c}, b{x + 3, y, 1, 0, c}, cc{x + 3, y + 2, 1, 1, c},
                d{x, y + 2, 0, 1, c};
            many.insert(many.end(), {a, b, cc, a, cc, d});
        }
        r->DrawTriangles(nullptr, BlendSolid, many.data(), int(many.size()));
        // 24 pixels for 8 texels: no texel edge falls on a pixel centre.
        for (int i = 0; i < 50; ++i)
            Quad(*r, (i & 1) ? t.checker.get() : nullptr, BlendAlpha + i % 3, float(i * 3),
                 float(i * 2), 24, 24, 0x90FFA050u);
    }
    EXPECT_TRUE(Agree(Read(*gl), Read(*soft), "long_runs"));
}

TEST(GLRenderer, PresentSwapsWithTheVsyncFlag) {
    OPEN_GL_WINDOW(win);
    std::vector<int> swaps;
    auto gl = win.Renderer(W, H, &swaps);
    ASSERT_NE(gl, nullptr);
    gl->Clear(0x00FF00);
    gl->Present(true);
    gl->Present(false);
    EXPECT_EQ(swaps, (std::vector<int>{1, 0}));
}

INSTANTIATE_TEST_SUITE_P(Each, GLPaths,
                         ::testing::Values(plat::gl::Path::Shader130, plat::gl::Path::Shader120,
                                           plat::gl::Path::FixedFunction),
                         [](const ::testing::TestParamInfo<plat::gl::Path>& info) {
                             switch (info.param) {
                                 case plat::gl::Path::Shader130: return std::string("Glsl130");
                                 case plat::gl::Path::Shader120: return std::string("Glsl120");
                                 default: return std::string("FixedFunction");
                             }
                         });

TEST(GLRenderer, MissingEntryPointsGiveNoRenderer) {
    EXPECT_EQ(plat::CreateGLRenderer(W, H, nullptr, nullptr), nullptr);
    auto none = [](const char*) -> void* { return nullptr; };
    EXPECT_EQ(plat::CreateGLRenderer(W, H, none, nullptr), nullptr);
}

// The whole path: PlatformInit, the OpenGL renderer picked, a window opened
// and drawn into through the public calls.
TEST(GLRenderer, PublicCallsOpenTheOpenGLRenderer) {
    {
        // SDL's off-screen driver can make a GL window without a display,
        // but the program (rightly) takes that for no display at all.
        GLWindow probe(W, H);
        std::string why = probe.error;
        if (probe.ok() && !plat::RealDisplayDriver(SDL_GetCurrentVideoDriver()))
            why = "SDL offers only an off-screen video driver";
        if (!why.empty()) {
            if (DisplayRequired()) FAIL() << "no OpenGL window on a display: " << why;
            GTEST_SKIP() << "no OpenGL window on a display: " << why;
        }
    }
    PlatformInit();
    SelectRenderer(0);
    ASSERT_TRUE(Graphics(320, 240));
    EXPECT_EQ(CurrentRenderer(), 0);
    ASSERT_NE(plat::CurrentRenderer(), nullptr);
    EXPECT_STREQ(plat::CurrentRenderer()->Name(), "opengl");
    Cls();
    SetColor(255, 0, 0);
    DrawRect(0, 0, 16, 8);
    Pixmap pm = GrabPixmap(0, 0, 320, 240);
    ASSERT_TRUE(pm);
    EXPECT_EQ(ReadPixel(pm, 2, 2), 0xFFFF0000u);
    EXPECT_EQ(ReadPixel(pm, 2, 200), 0xFF000000u);
    Flip(0);
    EndGraphics();
}

}  // namespace
