// support.h — fixtures of the score and game tests: the shared scratch tree
// and file readers, and a clean headless start with the score table reset.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "app/app.h"
#include "app/title.h"
#include "draw/draw.h"
#include "framework/frame.h"
#include "framework/game_info.h"
#include "framework/graphics.h"
#include "framework/setup.h"
#include "platform/headless/headless.h"
#include "scores/scores.h"
#include "settings/settings.h"
#include "tests/framework/support.h"

namespace gametest {

// Flingo registered before the first test, as a started program has it, so
// a test run on its own finds the identity the score key is built from.
class RegisteredFlingo : public testing::Environment {
public:
    void SetUp() override { InitGlobals(); }
};
inline testing::Environment* const kRegisteredFlingo =
    testing::AddGlobalTestEnvironment(new RegisteredFlingo);

namespace fs = std::filesystem;

// A type of its own, so StartClean below is chosen over the framework's.
class Scratch : public testing_support::ScratchTree {
public:
    using ScratchTree::ScratchTree;
};
using testing_support::ReadAll;
using testing_support::ReadLines;
using testing_support::WriteText;

// Headless platform, clean globals and score table, the key built, the log
// open in Files/ and the game folder current.
inline void StartClean(const Scratch& tree, const HeadlessConfig& config = {}) {
    UseHeadlessPlatform(config);
    InitGlobals();
    ResetScoreTable();
    BuildDefaultKey();
    fs::current_path(tree.Files());
    OpenLog("Debug.txt");
    fs::current_path(tree.Game());
}

// StartClean plus an open 800 × 600 window on the 1280 × 960 virtual area,
// the way start-up leaves it for the screens.
inline void StartWithWindow(const Scratch& tree, const HeadlessConfig& config = {}) {
    StartClean(tree, config);
    Graphics(800, 600, 0, 60, 0);
    ScreenWidth = 1280;
    ScreenHeight = 960;
    SetVirtualResolution(1280, 960);
    Settings[12] = 50;
    TargetFps = 60;
    MouseMode = 1;
}

// Ready for Main() from the tree's root: a headless platform that offers
// OpenGL, an empty score table and no title frames counted yet.
inline void PrepareProgramRun(const Scratch& tree) {
    fs::current_path(tree.Root());
    HeadlessConfig config;
    config.openGLAvailable = true;
    UseHeadlessPlatform(config);
    ResetScoreTable();
    TitleFramesShown = 0;
}

// Moves the pointer to virtual coordinates (the window is 800 × 600).
inline void PointAt(int vx, int vy) {
    HeadlessMouseMove(vx * WindowWidth / ScreenWidth, vy * WindowHeight / ScreenHeight);
}

}  // namespace gametest
