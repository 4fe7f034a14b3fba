// Opening graphics on the headless back ends: renderer choice and fallbacks,
// the mode list, Flip pacing on the virtual clock, the frame hooks.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/backend.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

std::vector<std::string> Notes() {
    std::vector<std::string> v;
    for (std::string n = NextPlatformNote(); !n.empty(); n = NextPlatformNote()) v.push_back(n);
    return v;
}

// Flips at `hertz` for one virtual second after `frameMs` of work per frame
// and returns the times (MilliSecs) at which each frame was shown.
std::vector<uint32_t> FlipForOneSecond(int frameMs) {
    std::vector<uint32_t> shown;
    HeadlessOnFlip([&](int) { shown.push_back(MilliSecs()); });
    const uint32_t start = MilliSecs();
    while (MilliSecs() - start < 1000) {
        HeadlessAdvance(frameMs);
        Flip(-1);
    }
    HeadlessOnFlip(nullptr);
    return shown;
}

class GraphicsTest : public ::testing::Test {
protected:
    void SetUp() override { UseHeadlessPlatform(); }
};

}  // namespace

TEST_F(GraphicsTest, ModeListComesFromTheVideoBackEnd) {
    EXPECT_EQ(CountGraphicsModes(), 6);
    const GraphicsMode m = GetGraphicsMode(1);
    EXPECT_EQ(m.width, 800);
    EXPECT_EQ(m.height, 600);
    EXPECT_EQ(m.depth, 16);
    EXPECT_EQ(m.hertz, 60);
    EXPECT_EQ(GetGraphicsMode(6).width, 0);
    EXPECT_EQ(GetGraphicsMode(-1).width, 0);
    EXPECT_TRUE(GraphicsModeExists(800, 600, 16, 60));
    EXPECT_TRUE(GraphicsModeExists(1024, 768, 0, 0));
    EXPECT_FALSE(GraphicsModeExists(1024, 768, 16, 0));
    EXPECT_FALSE(GraphicsModeExists(1024, 768, 32, 75));
    EXPECT_FALSE(GraphicsModeExists(1280, 1024, 0, 0));
}

TEST_F(GraphicsTest, SoftwareWindowOpensWithoutNotes) {
    EXPECT_EQ(SelectRenderer(RendererSoftware), RendererSoftware);
    EXPECT_EQ(CurrentRenderer(), -1);
    ASSERT_TRUE(Graphics(640, 480));
    EXPECT_TRUE(GraphicsOpen());
    EXPECT_EQ(GraphicsWidth(), 640);
    EXPECT_EQ(GraphicsHeight(), 480);
    EXPECT_EQ(CurrentRenderer(), RendererSoftware);
    EXPECT_NE(plat::CurrentRenderer(), nullptr);
    EXPECT_TRUE(Notes().empty());
    EndGraphics();
    EXPECT_FALSE(GraphicsOpen());
    EXPECT_EQ(CurrentRenderer(), -1);
    EXPECT_EQ(plat::CurrentRenderer(), nullptr);
}

TEST_F(GraphicsTest, OpenGLFallsBackToSoftwareWithANote) {
    ASSERT_TRUE(Graphics(800, 600));
    EXPECT_EQ(CurrentRenderer(), RendererSoftware);
    const std::vector<std::string> notes = Notes();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("OpenGL"), std::string::npos) << notes[0];
}

TEST_F(GraphicsTest, OpenGLIsUsedWhenAvailable) {
    HeadlessConfig config;
    config.openGLAvailable = true;
    UseHeadlessPlatform(config);
    ASSERT_TRUE(Graphics(800, 600));
    EXPECT_EQ(CurrentRenderer(), RendererOpenGL);
    EXPECT_TRUE(Notes().empty());
}

TEST_F(GraphicsTest, RendererTwoBecomesOneWithANote) {
    EXPECT_EQ(SelectRenderer(RendererLegacy), RendererSoftware);
    const std::vector<std::string> notes = Notes();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0], "\tRenderer 2 is not available here, using renderer 1");
    ASSERT_TRUE(Graphics(800, 600));
    EXPECT_EQ(CurrentRenderer(), RendererSoftware);
}

TEST_F(GraphicsTest, FullScreenNeedsAModeFromTheList) {
    EXPECT_FALSE(Graphics(1280, 1024, 32));
    EXPECT_FALSE(GraphicsOpen());
    EXPECT_FALSE(Graphics(1024, 768, 16));  // the size exists only at 32 bits
    EXPECT_FALSE(Graphics(800, 600, 8));    // not a depth
    EXPECT_FALSE(Graphics(0, 600));
    SelectRenderer(RendererSoftware);
    ASSERT_TRUE(Graphics(1024, 768, 32));
    EXPECT_EQ(GraphicsWidth(), 1024);
    // The pointer is placed at the centre of the screen.
    EXPECT_EQ(MouseX(), 512);
    EXPECT_EQ(MouseY(), 384);
}

TEST_F(GraphicsTest, GraphicsAgainReplacesTheOpenContext) {
    SelectRenderer(RendererSoftware);
    ASSERT_TRUE(Graphics(640, 480));
    ASSERT_TRUE(Graphics(1280, 720));
    EXPECT_EQ(GraphicsWidth(), 1280);
    Flip(0);
    Pixmap frame = HeadlessFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(PixmapWidth(frame), 1280);
}

TEST_F(GraphicsTest, FlipMinusOneGivesSixtyFramesPerSecondWhenFramesAreCheap) {
    SelectRenderer(RendererSoftware);
    ASSERT_TRUE(Graphics(800, 600));
    for (int frameMs : {0, 5, 15}) {
        const std::vector<uint32_t> shown = FlipForOneSecond(frameMs);
        EXPECT_NEAR(static_cast<double>(shown.size()), 60.0, 1.0) << frameMs << " ms frames";
        for (size_t i = 1; i < shown.size(); ++i) {
            const uint32_t step = shown[i] - shown[i - 1];
            ASSERT_TRUE(step == 16 || step == 17) << "step " << step << " at frame " << i;
        }
    }
}

TEST_F(GraphicsTest, PacingCarriesTheRemainderExactly) {
    SelectRenderer(RendererSoftware);
    ASSERT_TRUE(Graphics(800, 600));
    const uint32_t start = MilliSecs();
    for (int i = 0; i < 600; ++i) Flip(-1);
    EXPECT_EQ(MilliSecs() - start, 10000u);  // 600 frames at 60 Hz, no drift
    EXPECT_EQ(HeadlessFlipCount(), 600);
}

TEST_F(GraphicsTest, SlowFramesAreNotFollowedByACatchUpBurst) {
    SelectRenderer(RendererSoftware);
    ASSERT_TRUE(Graphics(800, 600));
    // One very slow frame, then cheap ones: the grid moves to "now".
    Flip(-1);
    HeadlessAdvance(200);
    std::vector<uint32_t> shown;
    HeadlessOnFlip([&](int) { shown.push_back(MilliSecs()); });
    for (int i = 0; i < 10; ++i) Flip(-1);
    for (size_t i = 1; i < shown.size(); ++i) EXPECT_GE(shown[i] - shown[i - 1], 16u);

    // Frames that always take 25 ms: one frame per 25 ms, never shorter.
    const std::vector<uint32_t> slow = FlipForOneSecond(25);
    EXPECT_NEAR(static_cast<double>(slow.size()), 40.0, 1.0);
    for (size_t i = 1; i < slow.size(); ++i) EXPECT_EQ(slow[i] - slow[i - 1], 25u);
}

TEST_F(GraphicsTest, FlipCostIsPaidInsideThePacing) {
    HeadlessConfig config;
    config.flipCostMs = 10;
    UseHeadlessPlatform(config);
    SelectRenderer(RendererSoftware);
    ASSERT_TRUE(Graphics(800, 600));
    EXPECT_NEAR(static_cast<double>(FlipForOneSecond(4).size()), 60.0, 1.0);
    HeadlessSetFlipCost(30);
    EXPECT_NEAR(static_cast<double>(FlipForOneSecond(0).size()), 1000.0 / 30, 1.0);
}

TEST_F(GraphicsTest, FlipZeroDoesNotWaitAndFlipOneWaitsForTheEmulatedBlank) {
    SelectRenderer(RendererSoftware);
    ASSERT_TRUE(Graphics(800, 600, 0, 60));
    const uint32_t t0 = MilliSecs();
    for (int i = 0; i < 10; ++i) Flip(0);
    EXPECT_EQ(MilliSecs(), t0);
    for (int i = 0; i < 60; ++i) Flip(1);
    EXPECT_EQ(MilliSecs() - t0, 1000u);
}

TEST_F(GraphicsTest, RateZeroWindowDoesNotPace) {
    SelectRenderer(RendererSoftware);
    ASSERT_TRUE(Graphics(800, 600, 0, 0));
    const uint32_t t0 = MilliSecs();
    for (int i = 0; i < 10; ++i) Flip(-1);
    EXPECT_EQ(MilliSecs(), t0);
    EXPECT_EQ(HeadlessFlipCount(), 10);
}

TEST_F(GraphicsTest, FlipPollsEventsAndHooksSeeEachFrame) {
    SelectRenderer(RendererSoftware);
    ASSERT_TRUE(Graphics(800, 600));
    std::vector<int> frames;
    HeadlessOnFlip([&](int n) {
        frames.push_back(n);
        if (n == 2) HeadlessTap(27);
    });
    Flip(0);
    Flip(0);
    Flip(0);
    EXPECT_EQ(frames, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(KeyHit(27), 1);
}

TEST_F(GraphicsTest, HeadlessFrameIsWhatWasShownAndBackBufferIsNow) {
    SelectRenderer(RendererSoftware);
    EXPECT_FALSE(HeadlessFrame());
    EXPECT_FALSE(HeadlessBackBuffer());
    ASSERT_TRUE(Graphics(64, 32));
    Cls();
    Flip(0);
    Pixmap shown = HeadlessFrame();
    Pixmap back = HeadlessBackBuffer();
    ASSERT_TRUE(shown);
    ASSERT_TRUE(back);
    EXPECT_EQ(PixmapWidth(shown), 64);
    EXPECT_EQ(PixmapHeight(shown), 32);
    EXPECT_EQ(ReadPixel(shown, 63, 31), ReadPixel(back, 63, 31));
}

TEST_F(GraphicsTest, VirtualMouseIsScaledToTheVirtualResolution) {
    SelectRenderer(RendererSoftware);
    ASSERT_TRUE(Graphics(800, 600));
    SetVirtualResolution(1600, 900);
    HeadlessMouseMove(400, 300);
    EXPECT_FLOAT_EQ(VirtualMouseX(), 800.0f);
    EXPECT_FLOAT_EQ(VirtualMouseY(), 450.0f);
    MoveMouse(10, 20);
    EXPECT_EQ(MouseX(), 10);
    EXPECT_EQ(MouseY(), 20);
}

TEST_F(GraphicsTest, UseHeadlessPlatformClosesGraphicsAndClearsNotes) {
    ASSERT_TRUE(Graphics(800, 600));  // leaves a fallback note
    UseHeadlessPlatform();
    EXPECT_FALSE(GraphicsOpen());
    EXPECT_EQ(NextPlatformNote(), "");
    EXPECT_EQ(HeadlessFlipCount(), 0);
    ASSERT_TRUE(Graphics(800, 600));  // the renderer choice is back at OpenGL
    EXPECT_EQ(Notes().size(), 1u);
}

namespace {

// A display that can only open an 800 × 600 software window (or nothing at
// all), recording what it was asked for. The log is shared: the back end
// outlives the test until the next one installs its own.
using CallLog = std::shared_ptr<std::vector<std::string>>;

class PickyVideo : public plat::VideoBackend {
public:
    PickyVideo(CallLog log, bool opensNothing) : log_(std::move(log)), nothing_(opensNothing) {}
    std::vector<GraphicsMode> Modes() override { return {{1024, 768, 32, 60}}; }
    std::unique_ptr<plat::RenderBackend> Open(int w, int h, int depth, int, int kind) override {
        log_->push_back(std::to_string(w) + "x" + std::to_string(h) + "," + std::to_string(depth) +
                        " r" + std::to_string(kind));
        if (nothing_ || w != 800 || h != 600 || depth != 0 || kind != RendererSoftware) return nullptr;
        return plat::CreateSoftRenderer(w, h, nullptr);
    }
    void Close() override { log_->push_back("close"); }
    void PumpEvents() override {}
    void SetCaption(const std::string& c) override { log_->push_back("caption " + c); }
    void SetIcon(const Pixmap&) override {}
    void ShowCursor(bool) override {}
    void WarpMouse(int, int) override {}
    bool Fullscreen() const override { return false; }

private:
    CallLog log_;
    bool nothing_;
};

}  // namespace

TEST_F(GraphicsTest, FallbackChainEndsInAnEightHundredBySixHundredWindow) {
    auto calls = std::make_shared<std::vector<std::string>>();
    const std::vector<std::string>& log = *calls;
    plat::InstallBackends(std::make_unique<PickyVideo>(calls, false), nullptr, nullptr);
    SetWindowCaption("Picky");
    ASSERT_TRUE(Graphics(1024, 768, 32));
    EXPECT_EQ(GraphicsWidth(), 800);
    EXPECT_EQ(GraphicsHeight(), 600);
    EXPECT_EQ(CurrentRenderer(), RendererSoftware);
    std::vector<std::string> opens;
    for (const std::string& l : log)
        if (l.find('x') != std::string::npos && l.rfind("caption", 0) != 0) opens.push_back(l);
    EXPECT_EQ(opens, (std::vector<std::string>{"1024x768,32 r0", "1024x768,32 r1", "800x600,0 r0",
                                               "800x600,0 r1"}));
    EXPECT_NE(std::find(log.begin(), log.end(), "caption Picky"), log.end());
    const std::vector<std::string> notes = Notes();
    ASSERT_EQ(notes.size(), 3u);  // one per failed attempt
    EXPECT_NE(notes[2].find("800x600"), std::string::npos) << notes[2];
}

TEST_F(GraphicsTest, WhenNothingOpensGraphicsFailsAndSaysWhy) {
    auto calls = std::make_shared<std::vector<std::string>>();
    plat::InstallBackends(std::make_unique<PickyVideo>(calls, true), nullptr, nullptr);
    EXPECT_FALSE(Graphics(1024, 768, 32));
    EXPECT_FALSE(GraphicsOpen());
    EXPECT_EQ(CurrentRenderer(), -1);
    EXPECT_EQ(Notes().size(), 4u);  // every attempt failed and said so
    // A full-screen mode the display lacks is refused before any attempt.
    calls->clear();
    EXPECT_FALSE(Graphics(640, 480, 32));
    EXPECT_TRUE(calls->empty());
    EXPECT_TRUE(Notes().empty());
}

TEST_F(GraphicsTest, NoVideoBackEndMeansNoGraphics) {
    plat::InstallBackends(nullptr, nullptr, nullptr);
    EXPECT_FALSE(Graphics(800, 600));
    EXPECT_EQ(CountGraphicsModes(), 0);
    EXPECT_FALSE(GraphicsModeExists(0, 0, 0, 0));
    Flip(-1);  // harmless without a context
    EXPECT_FALSE(KeyDown(13));
    EXPECT_EQ(CurrentDate().size(), 11u);  // a real clock stands in
}
