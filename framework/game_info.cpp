// game_info.cpp — the registered game, the shared game state and the
// framework's start-up values.
#include "framework/game_info.h"

#include <algorithm>
#include <iterator>

#include "draw/draw.h"
#include "framework/folders.h"
#include "framework/frame.h"
#include "framework/graphics.h"
#include "framework/notices.h"
#include "framework/settings_screen.h"
#include "framework/setup.h"
#include "framework/sound.h"
#include "input/controls.h"
#include "music/music.h"
#include "settings/settings.h"

namespace {

GameInfo g_game;

}  // namespace

int WeekNumber;
std::string GameTitle, GameSubtitle, WindowTitle, GameDescription;

int PlayState, MouseMode, ControlCount, BadgeCount, CurGameMode;
int CurScore, CurLevel, CurGameFlags, CurBadges;
int CurBest[31];

void RegisterGame(const GameInfo& game) {
    g_game = game;
    WeekNumber = game.week;
    GameTitle = game.title;
    GameSubtitle = game.subtitle;
    GameDescription = game.description;
    WindowTitle = "#" + std::to_string(WeekNumber) + " : " + GameTitle + " " + GameSubtitle;
}

const GameInfo& RegisteredGame() { return g_game; }

void InitFrameworkGlobals() {
    ForgetFolders();  // start-up fixes them again from the program's folder
    InitSettings();   // the setup file is read later, at start-up step 8
    InitDrawGlobals();
    InitInputGlobals();

    PlayState = 0;
    MouseMode = 0;  // becomes 1 once loading is done
    ControlCount = 0;
    BadgeCount = 0;
    CurGameMode = 0;
    CurScore = CurLevel = CurGameFlags = CurBadges = 0;
    std::fill(std::begin(CurBest), std::end(CurBest), 0);

    WindowWidth = 800;
    WindowHeight = 600;
    GraphicsOpened = 0;
    std::fill(std::begin(ModeWidth), std::end(ModeWidth), 0);
    std::fill(std::begin(ModeHeight), std::end(ModeHeight), 0);
    ModeCount = 0;

    FontScale = FontScaleSmall = 1;
    MainFontName.clear();
    std::fill(std::begin(FontByRole), std::end(FontByRole), Font());
    std::fill(std::begin(FontBySize), std::end(FontBySize), Font());
    IconImage = IconImageCrisp = EngineLogo = SiteLogo = BadgeImages = Image();
    BadgeSound = Sound();
    std::fill(std::begin(SfxTable), std::end(SfxTable), Sound());
    InitMusicGlobals();  // the sound channels, then the music's state
    SfxCursor = 20;

    TargetFps = 0;
    OverlayOn = 1;
    SettingsOpen = 0;
    PanelOffset = -300;
    PanelClickLeft = PanelClickRight = 0;
    LastFrameTime = 0;
    MeasuredFps = 0;
    LastCollection = 0;
    AnnouncementList.clear();
    PopScoreList.clear();
    AudioDriverList.clear();
}
