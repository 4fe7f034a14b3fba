// globals.cpp — storage and start-up values of the shared state.
#include "app/globals.h"

#include <algorithm>

#include "app/app.h"
#include "framework/folders.h"
#include "framework/setup.h"
#include "music/music.h"
#include "scores/online.h"

int WeekNumber;
std::string GameTitle, GameSubtitle, WindowTitle, PlayerName;
std::string AboutLines[100];

int Settings[100];
int KeyBindings[101];

int PlayState, MouseMode, ControlCount, BadgeCount, CurGameMode;
int CurScore, CurLevel, CurGameFlags, CurBadges;
int CurBest[31];

int ScreenWidth, ScreenHeight, WindowWidth, WindowHeight, GraphicsOpened;
int ModeWidth[2500], ModeHeight[2500];
int ModeCount;

int DrawLimit[20], DrawCount[20];
float BackdropColor[3], BackdropTarget[3];

float FontScale, FontScaleSmall;
std::string MainFontName;
Font FontByRole[20];
Font FontBySize[100];
Image IconImage, IconImageCrisp, EngineLogo, SiteLogo, LogoImage, BadgeImages;
Sound BadgeSound;
Sound SfxTable[201];
Channel SfxChannels[260];
int SfxCursor;

int TargetFps, OverlayOn, SettingsOpen, SkipFrame;
int PanelOffset = -300, PanelClickLeft, PanelClickRight;
uint32_t LastFrameTime;
int MeasuredFps, LastCollection;
int MouseXNow, MouseYNow, MouseXPrev, MouseYPrev;

int JoyPortCount;
std::string JoyNameOf[5];
int JoyButtonMask[5];
float JoyRest[5][AxisCount];
int JoyEnabled[5];
int JoyHasHat[5];

std::list<Particle> ParticleList;
std::list<Announcement> AnnouncementList;
std::list<PopScore> PopScoreList;

std::vector<std::string> AudioDriverList;

void InitGlobals() {
    ForgetFolders();  // Main fixes them again from the program's folder
    WeekNumber = 283;
    GameTitle = "Flingo";
    GameSubtitle = "";
    WindowTitle = "#" + std::to_string(WeekNumber) + " : " + GameTitle + " " + GameSubtitle;
    PlayerName = "Player";
    std::fill(std::begin(AboutLines), std::end(AboutLines), std::string());

    // Settings and bindings: all zero, then the defaults the setup file may
    // override (the file is read later, at start-up step 8).
    std::fill(std::begin(Settings), std::end(Settings), 0);
    Settings[5] = 800;
    Settings[6] = 600;
    Settings[1] = 0;
    Settings[7] = 0;
    Settings[11] = 50;
    Settings[12] = 50;
    Settings[13] = 50;
    std::fill(std::begin(KeyBindings), std::end(KeyBindings), 0);
    KeyBindings[0] = 38;   // up: Up arrow
    KeyBindings[3] = 37;   // left: Left arrow
    KeyBindings[5] = 39;   // right: Right arrow
    KeyBindings[8] = 40;   // down: Down arrow
    KeyBindings[10] = 90;  // action buttons: Z, X, C, V
    KeyBindings[11] = 88;
    KeyBindings[12] = 67;
    KeyBindings[13] = 86;

    PlayState = 0;
    MouseMode = 0;  // becomes 1 once loading is done
    ControlCount = 0;
    BadgeCount = 0;
    CurGameMode = 0;
    CurScore = CurLevel = CurGameFlags = CurBadges = 0;
    std::fill(std::begin(CurBest), std::end(CurBest), 0);

    ScreenWidth = 1280;
    ScreenHeight = 960;
    WindowWidth = 800;
    WindowHeight = 600;
    GraphicsOpened = 0;
    std::fill(std::begin(ModeWidth), std::end(ModeWidth), 0);
    std::fill(std::begin(ModeHeight), std::end(ModeHeight), 0);
    ModeCount = 0;

    std::fill(std::begin(DrawLimit), std::end(DrawLimit), 0);
    std::fill(std::begin(DrawCount), std::end(DrawCount), 0);
    DrawLimit[1] = 50000;
    DrawLimit[2] = 50000;
    const float startColor[3] = {0.2f, 0.0f, 1.0f};
    std::copy(startColor, startColor + 3, BackdropColor);
    std::copy(startColor, startColor + 3, BackdropTarget);

    FontScale = FontScaleSmall = 1;
    MainFontName.clear();
    std::fill(std::begin(FontByRole), std::end(FontByRole), Font());
    std::fill(std::begin(FontBySize), std::end(FontBySize), Font());
    IconImage = IconImageCrisp = EngineLogo = SiteLogo = LogoImage = BadgeImages = Image();
    BadgeSound = Sound();
    std::fill(std::begin(SfxTable), std::end(SfxTable), Sound());
    std::fill(std::begin(SfxChannels), std::end(SfxChannels), 0);
    SfxCursor = 20;
    ResetMusicState();

    TargetFps = 0;
    OverlayOn = 1;
    SettingsOpen = 0;
    PanelOffset = -300;
    PanelClickLeft = PanelClickRight = 0;
    SkipFrame = 0;
    LastFrameTime = 0;
    MeasuredFps = 0;
    LastCollection = 0;
    MouseXNow = MouseYNow = MouseXPrev = MouseYPrev = 0;

    JoyPortCount = 0;
    for (int p = 0; p < 5; ++p) {
        JoyNameOf[p].clear();
        JoyButtonMask[p] = 0;
        std::fill(std::begin(JoyRest[p]), std::end(JoyRest[p]), 0.0f);
        JoyEnabled[p] = 0;
        JoyHasHat[p] = 0;
    }

    ParticleList.clear();
    AnnouncementList.clear();
    PopScoreList.clear();
    AudioDriverList.clear();
    ResetOnline();  // switched off until "Setup.ini" says otherwise
}
