// The virtual clock and the date and time texts, the end of the program and
// the memory figure, on the headless back ends.
#include <gtest/gtest.h>

#include <vector>

#include "platform/backend.h"
#include "platform/core/core.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

TEST(VirtualClock, StartsAtTheConfiguredTimeAndDelayAdvancesIt) {
    HeadlessConfig config;
    config.startMillis = 5000;
    UseHeadlessPlatform(config);
    EXPECT_EQ(MilliSecs(), 5000u);
    Delay(250);
    EXPECT_EQ(MilliSecs(), 5250u);
    Delay(0);
    Delay(-10);
    EXPECT_EQ(MilliSecs(), 5250u);
    HeadlessAdvance(1);
    EXPECT_EQ(MilliSecs(), 5251u);
}

TEST(VirtualClock, MilliSecsWrapsAtTwoToTheThirtyTwo) {
    HeadlessConfig config;
    config.startMillis = 0xFFFFFFF0u;
    UseHeadlessPlatform(config);
    Delay(32);
    EXPECT_EQ(MilliSecs(), 16u);
}

TEST(VirtualClock, DelayHookSeesEveryDelayButNotFlipPacing) {
    UseHeadlessPlatform();
    std::vector<uint32_t> seen;
    HeadlessOnDelay([&](uint32_t now) { seen.push_back(now); });
    Delay(1);
    Delay(1);
    SelectRenderer(RendererSoftware);
    ASSERT_TRUE(Graphics(800, 600));
    Flip(-1);  // sleeps inside, but that is pacing, not a Delay
    EXPECT_EQ(seen, (std::vector<uint32_t>{1001, 1002}));
}

TEST(VirtualClock, DateAndTimeFollowTheVirtualClock) {
    UseHeadlessPlatform();
    EXPECT_EQ(CurrentDate(), "07 Dec 2026");
    EXPECT_EQ(CurrentTime(), "23:56:19");
    Delay(999);
    EXPECT_EQ(CurrentTime(), "23:56:19");
    Delay(1);
    EXPECT_EQ(CurrentTime(), "23:56:20");
    HeadlessAdvance(220 * 1000);  // past midnight
    EXPECT_EQ(CurrentDate(), "08 Dec 2026");
    EXPECT_EQ(CurrentTime(), "00:00:00");
}

TEST(VirtualClock, DatesUseEnglishMonthsAndTwoDigitDays) {
    HeadlessConfig config;
    config.startUnixSeconds = 1767225599;  // 31 Dec 2025 23:59:59
    UseHeadlessPlatform(config);
    EXPECT_EQ(CurrentDate(), "31 Dec 2025");
    EXPECT_EQ(CurrentTime(), "23:59:59");
    config.startUnixSeconds = 1772323200 + 3 * 3600 + 4 * 60 + 5;  // 01 Mar 2026 03:04:05
    UseHeadlessPlatform(config);
    EXPECT_EQ(CurrentDate(), "01 Mar 2026");
    EXPECT_EQ(CurrentTime(), "03:04:05");
}

TEST(RealClock, MeasuresAndSleepsRealTime) {
    auto clock = plat::CreateRealClock();
    const int64_t a = clock->UnixSeconds();
    EXPECT_GT(a, 1600000000);  // a plausible wall clock
    const uint32_t t0 = clock->Millis();
    clock->Sleep(20);
    EXPECT_GE(clock->Millis() - t0, 20u);
}

TEST(ProgramEnd, HeadlessEndProgramThrowsTheCode) {
    UseHeadlessPlatform();
    try {
        EndProgram(3);
        FAIL() << "EndProgram returned";
    } catch (const ProgramEnded& e) {
        EXPECT_EQ(e.code, 3);
    }
}

TEST(MemoryFigures, TrackMemoryAccumulates) {
    const int64_t before = MemoryInUse();
    plat::TrackMemory(4096);
    plat::TrackMemory(100);
    EXPECT_EQ(MemoryInUse(), before + 4196);
    plat::TrackMemory(-4196);
    EXPECT_EQ(MemoryInUse(), before);
    EXPECT_EQ(CollectGarbage(), 0);
}

TEST(PlatformNotes, ComeOutInOrderThenEmpty) {
    UseHeadlessPlatform();
    plat::AddPlatformNote("first");
    plat::AddPlatformNote("second");
    EXPECT_EQ(NextPlatformNote(), "first");
    EXPECT_EQ(NextPlatformNote(), "second");
    EXPECT_EQ(NextPlatformNote(), "");
}
