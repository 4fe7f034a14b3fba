// The real window under an X server (test.sh starts one): PlatformInit with
// the SDL back end, OpenGL through Mesa, and input sent from outside with
// xdotool, read back through the ordinary input calls.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/core/core.h"
#include "platform/platform.h"
#include "platform/sdl/sdl_video.h"
#include "tests/support/private_display.h"
#include "tests/window/x11_probe.h"

namespace {

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[256];
        while (fgets(buf, sizeof buf, p)) out += buf;
        pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

// Keeps the window alive (events pumped, frames shown) until `done` or
// `ms` milliseconds of real time have passed.
bool PumpUntil(const std::function<bool()>& done, int ms) {
    const uint32_t start = MilliSecs();
    while (MilliSecs() - start < static_cast<uint32_t>(ms)) {
        Cls();
        Flip(0);
        if (done()) return true;
        Delay(10);
    }
    return done();
}

// A private X server for this test process (tests/support/private_display.h).
pid_t StartPrivateServer() { return StartPrivateXServer("1280x1024x24"); }

class RealWindow : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = StartPrivateServer();
        const char* display = std::getenv("DISPLAY");
        const char* require = std::getenv("FLINGO_REQUIRE_DISPLAY");
        const bool required = require && std::string(require) == "1";
        if (!display || !*display) {
            if (required) FAIL() << "FLINGO_REQUIRE_DISPLAY=1 but DISPLAY is not set";
            GTEST_SKIP() << "no X display";
        }
        PlatformInit();
        caption_ = "Flingo window test " + std::to_string(getpid());
        SetWindowCaption(caption_);
        if (plat::SdlVideoDriver().empty()) {
            if (required) FAIL() << "no SDL video on DISPLAY=" << display << ": " << NextPlatformNote();
            GTEST_SKIP() << "SDL video could not start";
        }
    }
    void TearDown() override {
        EndGraphics();
        // Let go of the X connection before the server goes away.
        plat::InstallBackends(nullptr, plat::CreateRealClock(), nullptr);
        if (server_ > 0) {
            kill(server_, SIGTERM);
            waitpid(server_, nullptr, 0);
        }
    }

    // The X window id of our window, once it is mapped.
    unsigned long FindWindow() {
        unsigned long id = 0;
        PumpUntil(
            [&] {
                const std::string out = Shell("timeout 2 xdotool search --name '" + caption_ + "' 2>/dev/null | head -n1");
                id = std::strtoul(out.c_str(), nullptr, 10);
                return id != 0;
            },
            10000);
        return id;
    }

    std::string caption_;
    pid_t server_ = 0;
};

}  // namespace

TEST_F(RealWindow, OpenGLWindowTakesKeysClicksAndCloseRequests) {
    EXPECT_EQ(SelectRenderer(RendererOpenGL), RendererOpenGL);
    ASSERT_TRUE(Graphics(800, 600));
    std::printf("SDL video driver: %s, present path: %s\n", plat::SdlVideoDriver().c_str(),
                plat::SdlPresentPath().c_str());
    EXPECT_EQ(plat::SdlVideoDriver(), "x11");
    // Really OpenGL, not a fallback.
    EXPECT_EQ(CurrentRenderer(), RendererOpenGL);
    EXPECT_EQ(plat::SdlPresentPath(), "opengl");
    EXPECT_EQ(NextPlatformNote(), "");
    EXPECT_EQ(GraphicsWidth(), 800);
    EXPECT_EQ(GraphicsHeight(), 600);

    // The back buffer holds what was cleared.
    SetClsColor(10, 200, 30);
    Cls();
    Pixmap p = GrabPixmap(0, 0, 4, 4);
    ASSERT_TRUE(p);
    EXPECT_EQ(ReadPixel(p, 2, 2) & 0xFFFFFF, 0x0AC81Eu);

    const unsigned long id = FindWindow();
    ASSERT_NE(id, 0u) << "window '" << caption_ << "' not found";
    const std::string win = std::to_string(id);
    // The shown frame reaches the screen with its channels in order.
    EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(id, 400, 300) == 0x0AC81E; }, 5000))
        << std::hex << ScreenPixel(id, 400, 300);

    // Should the focus or the top go elsewhere, each try takes both back.
    int keyHits = 0;
    for (int attempt = 0; attempt < 5 && keyHits == 0; ++attempt) {
        Shell("timeout 5 xdotool windowraise " + win + " windowfocus " + win + " key a 2>/dev/null");
        PumpUntil([&] { return (keyHits += KeyHit(65)) > 0; }, 2000);
    }
    EXPECT_GE(keyHits, 1);
    EXPECT_FALSE(KeyDown(65));  // released again

    int clicks = 0;
    for (int attempt = 0; attempt < 5 && clicks == 0; ++attempt) {
        Shell("timeout 5 xdotool windowraise " + win + " mousemove --window " + win +
            " 123 234 click 1 2>/dev/null");
        PumpUntil([&] { return (clicks += MouseHit(1)) > 0; }, 2000);
    }
    EXPECT_GE(clicks, 1);
    EXPECT_EQ(MouseX(), 123);
    EXPECT_EQ(MouseY(), 234);

    EXPECT_FALSE(AppTerminate());
    ASSERT_TRUE(SendCloseRequest(id));
    EXPECT_TRUE(PumpUntil([] { return AppTerminate(); }, 5000));
    EXPECT_FALSE(AppTerminate());  // reported once
}

// Mappings of an OpenGL library or driver in this process.
static int OpenGLMappings() {
    return std::atoi(Shell("grep -cE 'libGL|libEGL|/dri/|libLLVM|libgallium' /proc/" +
                           std::to_string(getpid()) + "/maps").c_str());
}

TEST_F(RealWindow, SoftwareRendererPresentsIntoTheWindow) {
    // Run on its own (as ctest does) the process has no OpenGL at all before;
    // whatever it had, the software window must not add any.
    const int glBefore = OpenGLMappings();
    EXPECT_EQ(SelectRenderer(RendererSoftware), RendererSoftware);
    ASSERT_TRUE(Graphics(640, 480));
    EXPECT_EQ(CurrentRenderer(), RendererSoftware);
    EXPECT_EQ(NextPlatformNote(), "");
    std::printf("software present path: %s\n", plat::SdlPresentPath().c_str());
    EXPECT_EQ(plat::SdlPresentPath(), "surface");
    SetClsColor(200, 100, 50);
    const unsigned long id = FindWindow();
    ASSERT_NE(id, 0u);
    EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(id, 320, 240) == 0xC86432; }, 5000))
        << std::hex << ScreenPixel(id, 320, 240);
    EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(id, 639, 479) == 0xC86432; }, 1000));
    EXPECT_EQ(OpenGLMappings(), glBefore);
}

TEST_F(RealWindow, FullScreenUsesADisplayModeAndCentresThePointer) {
    ASSERT_GT(CountGraphicsModes(), 0);
    const GraphicsMode m = GetGraphicsMode(0);
    EXPECT_TRUE(GraphicsModeExists(m.width, m.height, m.depth, 0));
    EXPECT_FALSE(Graphics(m.width + 1, m.height, 32));  // not a mode of this display
    EXPECT_FALSE(GraphicsOpen());
    ASSERT_TRUE(Graphics(m.width, m.height, m.depth, 60));
    EXPECT_EQ(CurrentRenderer(), RendererOpenGL);
    EXPECT_EQ(NextPlatformNote(), "");
    Flip(-1);
    EXPECT_EQ(MouseX(), m.width / 2);
    EXPECT_EQ(MouseY(), m.height / 2);
    EndGraphics();
    // Back to a window afterwards.
    ASSERT_TRUE(Graphics(640, 480));
    EXPECT_EQ(GraphicsWidth(), 640);
}
