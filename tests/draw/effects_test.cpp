// Tests of sparks, notices and rising score numbers.
#include <gtest/gtest.h>

#include "app/app.h"
#include "draw/draw.h"
#include "framework/game_info.h"
#include "framework/notices.h"
#include "game/effects.h"
#include "platform/headless/headless.h"

namespace {

class EffectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseHeadlessPlatform();
        InitGlobals();
    }
};

Particle Spark(float x, float y, float alp) {
    Particle p;
    p.x = x;
    p.y = y;
    p.alp = alp;
    p.t = 1;
    return p;
}

}  // namespace

TEST_F(EffectsTest, CatchSparksDrawTheirNumbersInOrder) {
    SeedRnd(1234);
    EmitCatchSparks(100, 200, 3);
    ASSERT_EQ(ParticleList.size(), 3u);
    SeedRnd(1234);
    for (const Particle& p : ParticleList) {
        EXPECT_FLOAT_EQ(p.x, 100 + static_cast<float>(Rnd(-6, 6)));
        EXPECT_FLOAT_EQ(p.y, 200 + static_cast<float>(Rnd(-6, 6)));
        EXPECT_FLOAT_EQ(p.xs, static_cast<float>(Rnd(-12, 12)));
        EXPECT_FLOAT_EQ(p.ys, static_cast<float>(Rnd(-12, -4)));
        EXPECT_FLOAT_EQ(p.rot, static_cast<float>(Rnd(0, 360)));
        EXPECT_FLOAT_EQ(p.rotgo, static_cast<float>(Rnd(-4, 4)));
        EXPECT_EQ(p.r, static_cast<int>(Rnd(1, 5) * 25));
        EXPECT_EQ(p.g, static_cast<int>(Rnd(1, 5) * 25));
        EXPECT_EQ(p.b, static_cast<int>(Rnd(1, 5) * 25));
        EXPECT_EQ(p.t, 1);
        EXPECT_EQ(p.alp, 1.0f);
        EXPECT_GE(p.r, 25);
        EXPECT_LE(p.r, 125);
    }
}

TEST_F(EffectsTest, WallSparksFlyBackIntoTheScreen) {
    EmitWallSparks(2, 300, 20);
    for (const Particle& p : ParticleList) {
        EXPECT_GE(p.xs, 4);
        EXPECT_LE(p.xs, 12);
        EXPECT_GE(p.ys, -12);
        EXPECT_LE(p.ys, 8);
        EXPECT_EQ(p.t, 2);
    }
    ParticleList.clear();
    EmitWallSparks(static_cast<float>(ScreenWidth - 2), 300, 20);
    for (const Particle& p : ParticleList) {
        EXPECT_GE(p.xs, -12);
        EXPECT_LE(p.xs, -4);
    }
    ParticleList.clear();
    EmitWallSparks(640, 300, 5);  // away from both walls: no sideways speed
    for (const Particle& p : ParticleList) EXPECT_EQ(p.xs, 0);
}

TEST_F(EffectsTest, SparksMoveFallAndFade) {
    Particle p = Spark(100, 100, 1);
    p.xs = 2;
    p.ys = -3;
    p.rotgo = 4;
    ParticleList.push_back(p);
    UpdateParticles();
    UpdateParticles();
    const Particle& q = ParticleList.front();
    EXPECT_FLOAT_EQ(q.x, 104);
    EXPECT_FLOAT_EQ(q.y, 100 - 3 - 2.8f);
    EXPECT_FLOAT_EQ(q.ys, -2.6f);
    EXPECT_FLOAT_EQ(q.rot, 8);
    EXPECT_FLOAT_EQ(q.alp, 0.98f);
}

TEST_F(EffectsTest, AParticleAtZeroAlphaIsRemovedOneFrameLater) {
    ParticleList.push_back(Spark(100, 100, 0.01f));
    UpdateParticles();
    ASSERT_EQ(ParticleList.size(), 1u);
    EXPECT_EQ(ParticleList.front().alp, 0.0f);
    UpdateParticles();
    EXPECT_TRUE(ParticleList.empty());
}

TEST_F(EffectsTest, LifetimeAndWhichEdgesRemove) {
    // High above the screen: only the fade ends it.
    ParticleList.push_back(Spark(100, -5000, 1));
    int frames = 0;
    while (!ParticleList.empty() && frames < 1000) {
        UpdateParticles();
        ++frames;
    }
    EXPECT_GE(frames, 100);
    EXPECT_LE(frames, 101);

    Particle up = Spark(100, -100, 1);
    up.ys = -20;
    ParticleList.push_back(up);
    UpdateParticles();
    EXPECT_EQ(ParticleList.size(), 1u);  // off the top is not off the screen
    ParticleList.clear();

    ParticleList.push_back(Spark(-70, 100, 1));
    ParticleList.push_back(Spark(static_cast<float>(ScreenWidth + 70), 100, 1));
    ParticleList.push_back(Spark(100, static_cast<float>(ScreenHeight + 70), 1));
    ParticleList.push_back(Spark(-60, 100, 1));  // still inside the margin
    UpdateParticles();
    ASSERT_EQ(ParticleList.size(), 1u);
    EXPECT_FLOAT_EQ(ParticleList.front().x, -60);
}

TEST_F(EffectsTest, NoticesLastThreeSecondsAndTheNewerMovesDown) {
    AddAnnouncement("first", 1);
    for (int i = 0; i < 10; ++i) DrawAnnouncements();
    AddAnnouncement("second", 1);
    for (int i = 0; i < 169; ++i) DrawAnnouncements();
    ASSERT_EQ(AnnouncementList.size(), 2u);
    EXPECT_EQ(AnnouncementList.front().tick, 179);
    DrawAnnouncements();
    ASSERT_EQ(AnnouncementList.size(), 1u);
    EXPECT_EQ(AnnouncementList.front().txt, "second");
    EXPECT_EQ(AnnouncementList.front().tick, 170);
    EXPECT_EQ(AnnouncementList.front().c, 1);
    for (int i = 0; i < 10; ++i) DrawAnnouncements();
    EXPECT_TRUE(AnnouncementList.empty());
}

TEST_F(EffectsTest, PopScoresAddToTheScoreRiseAndExpire) {
    CurScore = 7;
    AddPopScore(50, 300, 400, 255, 0, 0);
    EXPECT_EQ(CurScore, 57);
    for (int i = 0; i < 119; ++i) DrawPopScores();
    ASSERT_EQ(PopScoreList.size(), 1u);
    EXPECT_EQ(PopScoreList.front().t, 1);
    EXPECT_FLOAT_EQ(PopScoreList.front().y, 400 - 119 * 0.25f);
    DrawPopScores();
    EXPECT_TRUE(PopScoreList.empty());
}
