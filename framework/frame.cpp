// frame.cpp — the end of every frame on every screen, the pause menu and
// screenshots.
#include "framework/frame.h"

#include <cmath>

#include "draw/draw.h"
#include "framework/closing.h"
#include "framework/folders.h"
#include "framework/game_info.h"
#include "framework/graphics.h"
#include "framework/notices.h"
#include "framework/settings_screen.h"
#include "framework/setup.h"
#include "input/controls.h"
#include "music/music.h"
#include "platform/platform.h"
#include "settings/settings.h"

int TargetFps, OverlayOn, MeasuredFps, LastCollection;
uint32_t LastFrameTime;

bool FrameEndDefersTermination = false;

namespace {

// Pacing aims at 60 frames a second with 2 ms of slack: at least 14.67 ms
// from the previous shown frame.
constexpr float kFrameTargetMs = 1000.0f / 60 - 2;
constexpr int kPauseTitleSeed = 37171650;  // the scattered titles land alike every frame

constexpr double kDegToRad = 3.14159265358979323846 / 180.0;
float SinDeg(float degrees) { return static_cast<float>(std::sin(degrees * kDegToRad)); }

int ElapsedSince(uint32_t since) { return static_cast<int32_t>(MilliSecs() - since); }

std::string Number(int64_t value) { return Str(value); }

bool AnyPlayer(int control) {
    for (int player = 1; player <= 4; ++player) {
        if (ControlDown(control, player)) return true;
    }
    return false;
}

// Scattered copies of the window title over the pause menu, titles
// first..last of one seeded sequence.
void DrawPauseTitles(int first, int last, float angle) {
    for (int i = first; i <= last; ++i) {
        SetDrawRotation(angle + 2.0f * i);
        const int b = Rand(1, 5) * 50;
        const int g = Rand(1, 5) * 50;
        const int r = Rand(1, 5) * 50;
        SetDrawColor(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b), 0.4f);
        const int y = Rand(0, ScreenHeight);
        const int x = Rand(0, ScreenWidth);
        DrawTextAligned(x, y, WindowTitle, 1, 1);
    }
}

void SetPauseScale(float phase) {
    SetDrawScale(0.5f * SinDeg(phase) + 1.5f, 0.5f * SinDeg(1.3f * phase) + 1.5f);
}

void DrawOverlay() {
    SetDrawColor(255, 255, 255);
    DrawTextAligned(2, 2, Number(MeasuredFps));
    SetImageFont(FontByRole[2]);
    DrawTextAligned(2, 40, "Collection : " + Number(LastCollection));
    DrawTextAligned(2, 60, "Used Memory : " + Number(MemoryInUse()));
    DrawTextAligned(2, 80, "Drawn Images : " + Number(DrawCount[1]) + "/" + Number(DrawLimit[1]));
    DrawTextAligned(2, 100, "Drawn Glow : " + Number(DrawCount[2]) + "/" + Number(DrawLimit[2]));
    DrawTextAligned(2, 120,
                    "Drawn Particles : " + Number(DrawCount[3]) + "/" + Number(DrawLimit[3]));
    DrawTextAligned(2, 150, "Hit F12 to remove this");
}

}  // namespace

std::string SanitizeFileName(const std::string& text) {
    std::string name = text;
    for (char bad : {'#', '\'', ',', '`', '.', '\\', '/', ':', '|', '*', '?', '"'}) {
        name = Replace(name, std::string(1, bad), "");
    }
    return name;
}

int FrameEnd(int rate, int flag, int showPointer) {
    int result = 0;
    DrawPopScores();

    if (KeyHit(9)) {
        SettingsOpen = 1 - SettingsOpen;
        SaveSetup();
    }
    if (SkipFrame == 1) LastCollection = CollectGarbage();

    // In slow-system mode only the frames with SkipFrame 0 are shown; F11
    // and Escape are looked at on those alone.
    const bool shown = SkipFrame == 0 || Settings[7] != 1;
    if (shown) {
        if (KeyHit(122)) TakeScreenshot();
        if (KeyDown(27) && PlayState == 1) {
            PlayState = 2;
            result = PauseMenu();
            PlayState = 1;
        }
    }
    // The settings panel; while hidden it draws nothing.
    SettingsScreen();

    ResetDrawState();
    SetDrawScale(1.5f, 1.5f);
    SetImageFont(FontByRole[1]);
    if (KeyHit(123)) OverlayOn = 1 - OverlayOn;
    if (OverlayOn == 1) DrawOverlay();
    if (showPointer == 1 || SettingsOpen == 1) {
        // At scale 1.5 the 16-pixel icon covers 24 units from the pointer down-right.
        DrawImage(IconImage, VirtualMouseX() + 12, VirtualMouseY() + 12, 63);
    }

    MouseXPrev = MouseXNow;
    MouseYPrev = MouseYNow;
    MouseXNow = static_cast<int>(VirtualMouseX());
    MouseYNow = static_cast<int>(VirtualMouseY());

    // The renderer works on the frame while this waits for its time.
    if (shown) SubmitDrawing();
    do {
        Delay(1);
    } while (static_cast<float>(ElapsedSince(LastFrameTime)) < kFrameTargetMs);

    MusicUpdate();
    DrawAnnouncements();
    if (shown) Flip(0);

    int frameTime = ElapsedSince(LastFrameTime);
    if (frameTime < 1) frameTime = 1;  // the wait above makes this at least 1 already
    MeasuredFps = (1000 / frameTime + 2 * MeasuredFps) / 3;
    LastFrameTime = MilliSecs();
    SkipFrame = 1 - SkipFrame;

    if (FrameEndDefersTermination && AppTerminating()) return result;
    if ((KeyDown(115) && (KeyDown(164) || KeyDown(165))) || AppTerminate()) ClosingScreen();
    return result;
}

int PauseMenu() {
    while (KeyDown(27)) Delay(1);

    // The back buffer still holds the frame the screen has just drawn.
    const Image snapshot = CreateImage(WindowWidth, WindowHeight, 1, ImageDynamic);
    MidHandleImage(snapshot);
    GrabImage(snapshot, 0, 0);

    float phase = 0, angle = 0;
    int selection = 0, result = 0;
    bool latched = true;  // nothing held when the menu opens may act
    while (result == 0) {
        BeginFrame(1);
        ResetDrawState();
        SetBlendMode(1);
        phase += 0.4f;
        SetPauseScale(phase);
        angle += 0.1f;
        SetDrawRotation(angle);
        SetImageFont(FontByRole[7]);
        DrawImage(snapshot, static_cast<float>(ScreenWidth / 2), static_cast<float>(ScreenHeight / 2));

        SeedRnd(kPauseTitleSeed);
        DrawPauseTitles(1, 140, angle);

        SetDrawRotation(0);
        SetDrawScale(1);
        SetDrawColor(0, 0, 0, 0.5f);
        DrawRect(ScreenWidth * 0.1f, ScreenHeight * 0.375f, static_cast<float>(ScreenWidth / 6),
                 static_cast<float>(ScreenHeight / 4));

        const bool up = AnyPlayer(0) || KeyDown(38);
        if (up && !latched) {
            --selection;
            latched = true;
        }
        const bool down = AnyPlayer(8) || KeyDown(40);
        if (down && !latched) {
            ++selection;
            latched = true;
        }
        const bool fire = AnyPlayer(10) || AnyPlayer(11) || KeyDown(32);
        if (!up && !down && !fire) latched = false;

        int y = static_cast<int>(ScreenHeight * 0.375f);
        SetImageFont(FontByRole[7]);
        if (selection < 0) selection = 1;  // wraps from "Continue" up to "Quit"
        const struct {
            const char* text;
            int value;
        } entries[2] = {{"Continue", 1}, {"Quit", 99}};
        for (int entry = 0; entry < 2; ++entry) {
            y += 60;
            int offset = 0;
            SetDrawColor(255, 255, 255);
            if (selection == entry) {
                SetDrawColor(255, 255, 0);
                offset = 20;
                if (fire && !latched) {
                    latched = true;
                    result = entries[entry].value;
                }
            }
            DrawText(entries[entry].text, static_cast<float>(static_cast<int>(ScreenWidth * 0.1f + offset + 10)),
                     static_cast<float>(y));
        }
        if (selection > 1) selection = 0;  // and from "Quit" down to "Continue"

        SetPauseScale(phase);
        DrawPauseTitles(141, 180, angle);

        FrameEnd(TargetFps, 1, 1);
        if (KeyDown(27)) result = selection == 1 ? 99 : 1;
    }
    SeedRnd(static_cast<int>(MilliSecs()));
    while (KeyDown(27)) Delay(1);
    return result;
}

void TakeScreenshot() {
    LogLine("");
    LogLine("\tScreenshot");
    LogLine("\tGrabbing Screenshot");
    // Before the settings panel, overlay and notices of this frame are drawn.
    const Pixmap shot = GrabPixmap(0, 0, WindowWidth, WindowHeight);
    ResetDrawState();
    for (int x = 0; x < PixmapWidth(shot); ++x) {
        for (int y = 0; y < PixmapHeight(shot); ++y) {
            WritePixel(shot, x, y, (ReadPixel(shot, x, y) & 0xFFFFFFu) | 0xFF000000u);
        }
    }
    SetImageFont(FontByRole[5]);
    DrawTextAligned(ScreenWidth / 2, ScreenHeight / 2 - 30, "Saving Screenshot", 1, 1);
    SetImageFont(FontByRole[6]);
    DrawTextAligned(ScreenWidth / 2, ScreenHeight / 2 + 30, "Sometimes, this takes a while!", 1, 1);
    Flip(-1);

    const std::string name = SanitizeFileName(GameTitle + " " + GameSubtitle + " (Screenshot_" +
                                              CurrentDate() + "_" + CurrentTime() + ")") +
                             ".png";
    LogLine("\tSaving Screenshot : " + name);
    // Into the data folder by path ("Files/", the game folder's "..", unless
    // that is read-only); the current folder stays the game folder.
    const bool saved = shot && SavePixmapPNG(shot, PlayerFile(name, "../" + name), 9);
    LogLine("\tSaved Screenshot " + std::string(saved ? "1" : "0"));
    LogLine("");
    // A failed save says so instead of claiming success.
    AddAnnouncement(saved ? "Saved Screenshot" : "Screenshot failed", 1);
}
