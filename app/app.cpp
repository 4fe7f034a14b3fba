// app.cpp — Flingo's registration, the start values of every library, and
// start-up in its seventeen steps.
#include "app/app.h"

#include <algorithm>
#include <iterator>

#include "app/about.h"
#include "app/title.h"
#include "framework/closing.h"
#include "framework/engine_test.h"
#include "framework/folders.h"
#include "framework/frame.h"
#include "framework/graphics.h"
#include "framework/setup.h"
#include "game/effects.h"
#include "game/identity.h"
#include "input/controls.h"
#include "music/music.h"
#include "platform/platform.h"
#include "scores/scores.h"
#include "settings/settings.h"

namespace {

constexpr int kLoadingHoldMs = 2500;  // the loading screen stays at least this long

// Milliseconds from `since` to now, correct across the 2^32 wrap.
int ElapsedSince(uint32_t since) { return static_cast<int32_t>(MilliSecs() - since); }

}  // namespace

GameInfo FlingoGame() {
    GameInfo game;
    game.week = FlingoWeek;
    game.title = FlingoTitle;
    game.subtitle = FlingoSubtitle;
    game.description = FlingoDescription;
    game.loadGameAssets = LoadGameAssets;
    game.loadScores = LoadScores;
    game.saveScores = SaveScores;
    return game;
}

void InitGlobals() {
    InitFrameworkGlobals();  // folders, settings, draw, input, music, framework
    RegisterGame(FlingoGame());
    InitScoreGlobals();
    InitGameGlobals();
    std::fill(std::begin(AboutLines), std::end(AboutLines), std::string());
    LogoImage = Image();
}

void Main() {
    // 1-2. The title exists before the caption is set from it; then every
    // global gets its start value (AboutLines from the About page).
    InitGlobals();
    SetWindowCaption(WindowTitle);
    FillAboutLines();
    HideMouse();
    LastFrameTime = MilliSecs();

    // 3. Joysticks; 4. the Settings/KeyBindings defaults were set by InitGlobals.
    SetUpJoysticks();

    // 5. The score-file key, before any file is touched.
    BuildDefaultKey();

    // 6-7. The log and its header. The folders are fixed here, from the
    // program's own folder, as absolute paths.
    SetUpFolders(CurrentDir());
    ChangeDir(FilesFolder());
    OpenLog(PlayerFile("Debug.txt", "Debug.txt"));
    const std::string rule(28, '-');
    LogLine("Orvendel's Weekforge Engine");
    LogLine(rule);
    LogLine("Week #" + Str(int64_t{WeekNumber}));
    LogLine(rule);
    LogLine(WindowTitle);
    LogLine(rule);
    LogLine("");
    LogLine("Loading");
    // An installed copy always saves in the player's data folder; only a
    // build folder that cannot be written to is worth a line.
    if (DataFolderMoved() && !InstalledCopy())
        LogLine("\t" + FilesFolder() + " is read-only, saving in " + DataFolder());
    if (!AssetFolderProblem().empty()) LogLine("\t" + AssetFolderProblem());
    if (!DataFolderProblem().empty()) LogLine("\t" + DataFolderProblem());

    // 8-9. Settings and the audio back end.
    LoadSetup();
    LogLine("\tRequested Resolution : " + Str(int64_t{Settings[5]}) + "x" +
            Str(int64_t{Settings[6]}));
    LogLine("\tSetup Loaded");
    LogLine("");
    LogLine("Grabbing Previous Scores");
    LogLine("");

    // 10-11. Into the game folder; open the display and load everything.
    ChangeDir(GameAssetFolder());
    // The window shows the game's own icon, the picture of its desktop entry.
    SetWindowIcon(LoadPixmap(GameAssetFolder() + "flingo.png"));
    const uint32_t t0 = MilliSecs();
    ApplyGraphics();

    // 12-13.
    MouseMode = 1;
    ControlCount = 4;
    BadgeCount = 16;
    PlayState = 0;
    std::fill(std::begin(CurBest), std::end(CurBest), 0);
    LogLine("Finished Loading");

    // 14. Hold the loading screen until 2.5 s after the display was opened;
    // a slower load adds no wait.
    while (ElapsedSince(t0) < kLoadingHoldMs) {
        const int left = kLoadingHoldMs - ElapsedSince(t0);
        Delay(left < 10 ? left : 10);
    }

    // 15-17.
    CurGameMode = 1;
    // Told on the title itself, so the notice is not spent on the loading screen.
    if (!DataFolderProblem().empty()) AddAnnouncement("Can't save in your home folder", 1);
    TitleScreen();
    ClosingScreen();
}

void LoadGameAssets() {
    // The engine test sizes the draw budgets first; the music samples follow it.
    EngineTest(60, 2);
    LoadMusicSamples();
    LogoImage = LoadImage("logo.png", 3);
}
