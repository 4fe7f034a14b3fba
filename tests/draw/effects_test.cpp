// Tests of sparks, notices and rising score numbers.
#include <gtest/gtest.h>

#include "game/effects.h"
#include "tests/framework/support.h"

TEST(Effects, SparksFallFadeAndLeaveByTheSidesAndBottomOnly) {
    UseHeadlessPlatform();
    InitGlobals();
    EmitWallSparks(2, 300, 20);
    EmitWallSparks(static_cast<float>(ScreenWidth - 2), 300, 20);
    for (const Particle& p : ParticleList) {
        EXPECT_EQ(p.t, 2);
        EXPECT_GE(p.x < 100 ? p.xs : -p.xs, 4);  // thrown back into the screen
    }
    ParticleList.clear();
    const float starts[][3] = {{100, -5000, 1}, {100, 100, 0.01f}, {-70, 100, 1}, {100, 1100, 1}, {-60, -100, 1}};
    for (const auto& s : starts) ParticleList.push_back({s[0], s[1], 0, 0, 1, 0, 0, 0, 0, 0, s[2]});
    UpdateParticles();  // the two outside the margins go; alpha 0 stays a frame
    ASSERT_EQ(ParticleList.size(), 3u);
    EXPECT_FLOAT_EQ(ParticleList.front().y, -5000);
    EXPECT_FLOAT_EQ(ParticleList.front().ys, 0.2f);
    EXPECT_EQ((++ParticleList.begin())->alp, 0.0f);
    int frames = 1;
    for (; !ParticleList.empty() && frames < 1000; ++frames) UpdateParticles();
    EXPECT_GE(frames, 100);  // off the top is not off the screen: the fade ends it
    EXPECT_LE(frames, 101);
}

TEST(Effects, NoticesLastThreeSecondsAndScoreNumbersTwo) {
    UseHeadlessPlatform();
    InitGlobals();
    AddAnnouncement("first", 1);
    for (int i = 0; i < 10; ++i) DrawAnnouncements();
    AddAnnouncement("second", 1);
    for (int i = 0; i < 170; ++i) DrawAnnouncements();
    ASSERT_EQ(AnnouncementList.size(), 1u);
    EXPECT_EQ(AnnouncementList.front().tick, 170);
    CurScore = 7;
    AddPopScore(50, 300, 400, 255, 0, 0);
    EXPECT_EQ(CurScore, 57);
    for (int i = 0; i < 119; ++i) DrawPopScores();
    ASSERT_EQ(PopScoreList.size(), 1u);
    EXPECT_FLOAT_EQ(PopScoreList.front().y, 400 - 119 * 0.25f);
    DrawPopScores();
    EXPECT_TRUE(PopScoreList.empty());
}
