// graphics.cpp — opening the display from Settings and loading the shared
// assets. Every application reloads everything: closing the display drops
// the images and fonts.
#include "framework/graphics.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "draw/draw.h"
#include "framework/folders.h"
#include "framework/game_info.h"
#include "framework/notices.h"
#include "framework/setup.h"
#include "music/music.h"
#include "platform/platform.h"
#include "settings/settings.h"

int WindowWidth, WindowHeight, GraphicsOpened;
int ModeWidth[2500], ModeHeight[2500];
int ModeCount;
float FontScale, FontScaleSmall;
std::string MainFontName;
Font FontByRole[20];
Font FontBySize[100];
Image IconImage, IconImageCrisp, EngineLogo, SiteLogo, BadgeImages;
Sound BadgeSound;
Sound SfxTable[201];

namespace {

const char* const kRule = "-=-=-=-=-=-=-=-=-=-=-=-=-=-";

// The platform leaves a note for each fallback it took (renderer or mode);
// they go into the log as they happen, as written (they carry their tab).
void LogPlatformNotes() {
    for (std::string note = NextPlatformNote(); !note.empty(); note = NextPlatformNote()) {
        LogLine(note);
    }
}

std::string Number(int value) { return Str(int64_t{value}); }

// The marker lives with the player's files (the game folder of the data
// folder): an installed, read-only copy must still be able to leave it.
std::string CrashMarkerFile() { return PlayerFile(GameFolder() + "crash.dat", "crash.dat"); }

}  // namespace

void BuildResolutionList() {
    ModeCount = 0;
    const int modes = CountGraphicsModes();
    for (int i = 0; i < modes; ++i) {
        const GraphicsMode mode = GetGraphicsMode(i);
        const int w = mode.width, h = mode.height;
        const bool shaped = w * 10 / 16 == h || w * 9 / 16 == h || w * 3 / 4 == h;
        if (!shaped) continue;
        bool seen = false;
        for (int k = 1; k <= ModeCount; ++k) {
            if (ModeWidth[k] == w && ModeHeight[k] == h) seen = true;
        }
        if (seen || ModeCount >= 2499) continue;
        ++ModeCount;
        ModeWidth[ModeCount] = w;
        ModeHeight[ModeCount] = h;
        if (w == Settings[5] && h == Settings[6]) {
            Settings[4] = ModeCount;
            WindowWidth = w;
            WindowHeight = h;
        }
    }
    // A request the list does not hold falls back to the size used last.
    Settings[5] = WindowWidth;
    Settings[6] = WindowHeight;
}

void ChooseVirtualArea() {
    Settings[2] = 0;
    ScreenWidth = 1280;
    ScreenHeight = 960;
    if (WindowWidth * 9 / 16 == WindowHeight) {
        Settings[2] = 1;
        ScreenWidth = 1600;
        ScreenHeight = 900;
        LogLine("\tWidescreen mode!");
    }
    if (WindowWidth * 10 / 16 == WindowHeight) {
        Settings[2] = 1;
        ScreenWidth = 1440;
        ScreenHeight = 900;
        LogLine("\tWidescreen mode B (10:16)!");
    }
}

void ChooseFontScale() {
    FontScale = 1;
    FontScaleSmall = 1;
    if (WindowWidth < 900) {
        FontScale = 1.2f;
        FontScaleSmall = 1.4f;
    }
    if (WindowWidth < 600) {
        FontScale = 1.5f;
        FontScaleSmall = 2;
    }
    MainFontName = WindowWidth > 800 ? "November" : "SVBasicManual";
}

namespace {
// The font table by role: typeface (0 main, 1 "Blue Highway", 2 "Acknowledge
// TT BRK"), base size, and which scale applies (0 none, 1 FontScale, 2 small).
struct RoleFont {
    int family, base, scale;
};
const RoleFont kRoleFonts[14] = {
    {0, 0, 0},
    {0, 24, 1}, {0, 16, 2}, {0, 16, 2}, {0, 20, 1}, {1, 96, 1}, {1, 72, 1}, {1, 32, 1},
    {0, 32, 1}, {0, 14, 1}, {2, 112, 0}, {2, 96, 0}, {2, 32, 0}, {2, 20, 0},
};
const int kSlotSizes[9] = {8, 12, 18, 24, 32, 40, 52, 64, 96};

// base × scale truncated, in 32-bit floats (40 × 1.2 gives 48, not 47).
int Scaled(int base, float scale) { return static_cast<int>(static_cast<float>(base) * scale); }
}  // namespace

std::string FamilyFontFile(int family) {
    if (family == 2) return "Blue Highway.ttf";
    if (family == 3) return "Acknowledge TT BRK.ttf";
    return MainFontName + ".ttf";
}

std::string RoleFontFile(int role) {
    if (role < 1 || role > 13) return "";
    return FamilyFontFile(kRoleFonts[role].family + 1);
}

int RoleFontSize(int role) {
    if (role < 1 || role > 13) return 0;
    const RoleFont& f = kRoleFonts[role];
    if (f.scale == 1) return Scaled(f.base, FontScale);
    if (f.scale == 2) return Scaled(f.base, FontScaleSmall);
    return f.base;
}

int SlotFontSize(int slot) {
    if (slot < 0 || slot > 8) return 0;
    return Scaled(kSlotSizes[slot], FontScale);
}

void ApplyGraphics() {
    BuildResolutionList();

    LogLine("");
    LogLine(kRule);
    LogLine("Applying Graphical Settings");
    if (GraphicsOpened == 1) {
        EndGraphics();
        LogLine("\tChanged Graphics Mode ingame.");
    }

    // The marker survives only a run that died while the display was being
    // set up; OpenGL is then avoided. A Direct3D choice is left alone.
    const std::string marker = CrashMarkerFile();
    if (FileType(marker) != 0 && Settings[3] == 0) Settings[3] = 1;

    switch (Settings[3]) {
        case 0:
            SelectRenderer(RendererOpenGL);
            LogLine("\tUsing OpenGL Driver");
            break;
        case 1:
            SelectRenderer(RendererSoftware);
            LogLine("\tUsing DirectX 9 Driver");
            break;
        case 2:
            SelectRenderer(RendererLegacy);
            LogLine("\tUsing DirectX 7 Driver");
            break;
        default:
            break;
    }
    LogPlatformNotes();

    int depth = 0;
    if (Settings[1] == 1) {
        for (int candidate : {32, 24, 16}) {
            if (GraphicsModeExists(WindowWidth, WindowHeight, candidate, 0)) {
                depth = candidate;
                break;
            }
        }
        if (depth == 0) AddAnnouncement("Can't set to fullscreen in this resolution.", 1);
    }
    LogLine("\tResolution : " + Number(WindowWidth) + "x" + Number(WindowHeight) + "," +
            Number(depth));

    if (const Stream file = WriteFile(marker)) CloseStream(file);

    const bool opened = Graphics(WindowWidth, WindowHeight, depth, 60, 0);
    LogPlatformNotes();
    if (!opened) {
        // Every fallback failed: there is nothing to draw on, so leave
        // cleanly instead of running on without a window. The reason also
        // goes to the terminal the game may have been started from.
        const char* const reason = "\tNo display could be opened.";
        LogLine(reason);
        std::fprintf(stderr, "%s\n", reason);
        std::fflush(stderr);
        DeleteFile(marker);
        CloseLog();
        EndProgram(1);
    }
    // A fallback may have opened another size (an 800 × 600 window).
    WindowWidth = GraphicsWidth();
    WindowHeight = GraphicsHeight();

    ChooseVirtualArea();
    SetVirtualResolution(static_cast<float>(ScreenWidth), static_cast<float>(ScreenHeight));

    LoadCommonAssets();
    if (RegisteredGame().loadGameAssets) RegisteredGame().loadGameAssets();
    LogLine(kRule);
    DeleteFile(marker);
}

void LoadCommonAssets() {
    AutoMidHandle(true);
    LogLine("");
    LogLine("Loading : Common Objects");
    LogLine("");
    LogLine("Switching to Default Folder");
    LogLine("");
    // Absolute folders once start-up has fixed them; either way one change
    // each, so a missing "Common/" leaves the current folder where it was
    // instead of sending the way back one folder too high.
    const std::string gameDir = FoldersSetUp() ? GameAssetFolder() : CurrentDir();
    ChangeDir(FoldersSetUp() ? CommonFolder() : "../Common/");

    LogLine("\tDefault Fonts");
    ChooseFontScale();
    std::fill(std::begin(FontByRole), std::end(FontByRole), Font());
    for (int role = 1; role <= 13; ++role) {
        FontByRole[role] = LoadImageFont(RoleFontFile(role), RoleFontSize(role), 4);
    }
    std::fill(std::begin(FontBySize), std::end(FontBySize), Font());
    for (int family = 1; family <= 3; ++family) {
        for (int slot = 0; slot <= 8; ++slot) {
            FontBySize[(family - 1) * 10 + slot] =
                LoadImageFont(FamilyFontFile(family), SlotFontSize(slot), 4);
        }
    }

    LogLine("\tDefault Icons");
    IconImage = LoadAnimImage("icons.png", 16, 16, 0, 64, 3);
    IconImageCrisp = LoadAnimImage("icons.png", 16, 16, 0, 64, 1);

    LogLine("\tLogos");
    EngineLogo = LoadImage(Instr(GameTitle, "Reelbox 50") > 0 ? "logo50.png" : "logo.png", 3);
    SiteLogo = LoadImage("Marrowby.png", 3);

    LogLine("\tBadgeGet");
    BadgeSound = LoadSound("open.ogg", 0);

    if (GraphicsOpened == 0) {
        // The first display of the run: show the backdrop and play the opening
        // sound while the rest loads.
        BeginFrame(1);
        DrawBackdrop();
        SfxChannels[256] = CueSound(BadgeSound);
        if (SfxChannels[256] != 0) {
            SetChannelVolume(SfxChannels[256], VolumeShare(Settings[11], Settings[12]));
            ResumeChannel(SfxChannels[256]);
        }
        Flip(-1);
        GraphicsOpened = 1;
    }

    LogLine("");
    LogLine("Switching to Game Folder");
    ChangeDir(gameDir);

    BadgeImages = LoadAnimImage("badges.png", 64, 64, 0, 16, 3);

    LogLine("");
    LogLine("Loading Sound effects");
    for (int n = 1; n <= 200; ++n) {
        const std::string name = Right("000" + Number(n), 3) + ".wav";
        SfxTable[n] = Sound();
        if (FileType(name) != 0) {
            LogLine("\tSFX(" + Number(n) + ")");
            SfxTable[n] = LoadSound(name, 0);
        }
    }
    LogLine("Sounds loaded");
    LogLine("");

    if (RegisteredGame().loadScores) RegisteredGame().loadScores();
}

void SetFont(int family, int slot) {
    if (family < 1 || family > 3) family = 1;
    if (slot < 0 || slot > 8) slot = 0;
    SetImageFont(FontBySize[(family - 1) * 10 + slot]);
}
