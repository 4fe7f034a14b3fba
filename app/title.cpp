// title.cpp — the title screen, the program's home loop.
//
// Layout is in the virtual area W × H. Whenever the screen is entered the
// panel, the start prompt, the difficulty labels and the logo slide in over
// 32 frames: an element's offset is 800 − 25 × slide virtual pixels.
#include "app/title.h"

#include "app/about.h"
#include "draw/draw.h"
#include "framework/frame.h"
#include "framework/game_info.h"
#include "framework/graphics.h"
#include "framework/settings_screen.h"
#include "framework/setup.h"
#include "framework/sound.h"
#include "game/round.h"
#include "input/controls.h"
#include "music/music.h"
#include "platform/platform.h"
#include "scores/board.h"
#include "scores/online.h"
#include "scores/scores.h"
#include "settings/settings.h"

Image LogoImage;
int TitleFramesShown = 0;

namespace {

std::function<void()> RoundHook;

constexpr int SlideFrames = 32;
constexpr int SfxMenu = 98;  // the menu click; its rate tells the actions apart

// Virtual-key numbers.
constexpr int KeyReturn = 13, KeyEscape = 27;
constexpr int Key1 = 49, Key2 = 50, Key3 = 51;
constexpr int KeyF1 = 112, KeyF2 = 113, KeyF3 = 114;

const char* const TabLabels[3] = {"1.Hiscore", "2.Online", "3.About"};
const char* const ModeNames[3] = {"Easy", "Medium", "Hard"};

int SlideOffset(const TitleState& st) { return 800 - 25 * st.slide; }

int PanelWidth() { return WindowWidth < 900 ? 415 : 335; }

// Whether the settings panel (opened with Tab inside FrameEnd) is out of the
// way: by its position, so the screen stays deaf while it slides out again.
bool SettingsPanelClosed() { return PanelOffset < -250; }

bool TabInputsUp() {
    return !MouseDown(1) && !KeyDown(Key1) && !KeyDown(Key2) && !KeyDown(Key3) &&
           !KeyDown(KeyF1) && !KeyDown(KeyF2) && !KeyDown(KeyF3);
}

bool DifficultyKeyHeld() {
    return ControlDown(0, 1) || ControlDown(0, 2) || ControlDown(8, 1) || ControlDown(8, 2);
}

void SetBackdropTarget(float r, float g, float b) {
    BackdropTarget[0] = r;
    BackdropTarget[1] = g;
    BackdropTarget[2] = b;
}

void StartRoundFromTitle(TitleState& st) {
    PlaySfx(SfxMenu, 1.5f, 1, 0);
    // Slot 1 is one of the music player's voices.
    if (SfxChannels[1] && ChannelPlaying(SfxChannels[1])) {
        StopChannel(SfxChannels[1]);
        SfxChannels[1] = 0;
    }
    PlayState = 1;
    // Key play: the pointer goes to the far corner (W, H), out of the way.
    if (MouseMode == 0) MoveMouse(WindowWidth, WindowHeight);
    if (RoundHook) {
        RoundHook();
    } else {
        PlayRound();
    }
    PlayState = 0;
    st.escapeLatch = 1;
    st.startLatch = 1;
    st.slide = 0;
    GraphScroll = 0;
    BoardSelection = 0;
    st.startHeld = 0;
}

void DrawPanel(TitleState& st, int C, int B) {
    const int H = ScreenHeight;
    SetDrawColor(0, 0, 0, 0.5f);
    DrawRect(C, 5, B, H - 10);
    SetDrawColor(255, 255, 255, 0.3f);
    DrawRect(C, 5, B, 35);

    SetFont(1, 2);
    const float at[3] = {0.2f, 0.5f, 0.8f};
    for (int t = 0; t < 3; ++t) {
        if (t == 1 && OnlineEnabled != 1) continue;
        if (st.tab == t) {
            SetDrawColor(255, 255, 255, 1);
        } else {
            SetDrawColor(0, 0, 0, 1);
        }
        DrawTextAligned(C + static_cast<int>(at[t] * B), 23, TabLabels[t], 1, 1);
    }

    if (LoginFocus == 0 && SettingsPanelClosed()) {
        const int boxW = static_cast<int>(0.3f * B);
        const bool over0 = MouseDown(1) && MouseInRect(C, 5, boxW, 50);
        const bool over1 = MouseDown(1) && MouseInRect(C + static_cast<int>(0.33f * B), 5, boxW, 50);
        const bool over2 = MouseDown(1) && MouseInRect(C + static_cast<int>(0.66f * B), 5, boxW, 50);
        const bool want[3] = {
            KeyDown(Key1) || KeyDown(KeyF1) || over0,
            OnlineEnabled == 1 && (KeyDown(Key2) || KeyDown(KeyF2) || over1),
            KeyDown(Key3) || KeyDown(KeyF3) || over2,
        };
        for (int t = 0; t < 3; ++t) {
            if (want[t] && !st.clickLatch) {
                st.tab = t;
                PlaySfx(SfxMenu, 2, 1, 0);
                st.clickLatch = 1;
            }
        }
    }

    SetDrawColor(255, 255, 255, AlphaUnchanged);
    DrawScoreBoard(ScoreList, C, B, CurGameMode, CurLevel, CurGameFlags, st.tab == 0);

    SetFont(1, 7);
    SetDrawColor(255, 255, 255, 1);
    const int mid = C + B / 2;
    if (st.tab == 0) {
        SetBackdropTarget(0.2f, 0, 1);
        DrawTextAligned(mid, 50, "Hiscores", 1, 0);
    } else if (st.tab == 1) {
        SetBackdropTarget(0, 1, 0.2f);
        DrawTextAligned(mid, 50, "Online", 1, 0);
        DrawOnlinePanel(C, B);
    } else {
        DrawTextAligned(mid, 50, "About", 1, 0);
        SetFont(1, 2);
        SetBackdropTarget(0, 0.2f, 1);
        for (int i = 1; i <= 29; ++i) DrawTextAligned(mid, 115 + 20 * (i - 1), AboutLines[i], 1, 0);
    }
    OnlineEachFrame(C, B, st.tab == 1);
}

void DrawCornerNotes() {
    const bool narrow = WindowWidth < 900;
    ResetDrawState();
    SetDrawColor(255, 255, 255, AlphaUnchanged);
    SetFont(2, narrow ? 4 : 3);
    // Blinks until the player has chosen a resolution of their own.
    if (Settings[5] == 800 && MilliSecs() % 800 < 400) SetDrawColor(255, 255, 0, AlphaUnchanged);
    DrawTextAligned(4, 4, "Hit [Tab] for settings", 0, 0);
    SetDrawColor(180, 255, 180, AlphaUnchanged);
    SetFont(2, narrow ? 3 : 2);
    DrawTextAligned(4, 35, "Redefine Controls", 0, 0);
    DrawTextAligned(4, 55, "Audio Options", 0, 0);
    DrawTextAligned(4, 75, "and Hi-Def gaming!", 0, 0);
}

// The start prompt; returns true when a round should start this frame.
bool StartPrompt(TitleState& st, int B) {
    const int off = SlideOffset(st);
    const int cx = (ScreenWidth - B) / 2;
    const int cy = ScreenHeight / 2 + off;
    bool start = false;
    if (MouseMode == 0) {
        SetDrawColor(255, 255, 255, AlphaUnchanged);
        SetImageFont(FontByRole[7]);
        DrawTextAligned(cx, cy, StartPromptText(), 1, 1);
        start = st.startHeld == 1 && !st.startLatch && SettingsPanelClosed() && LoginFocus == 0;
        int held = KeyDown(KeyReturn) ? 1 : 0;
        for (int p = 1; p <= 4 && !held; ++p) {
            for (int control : {10, 11, 12, 13, 0, 8}) {
                if (ControlDown(control, p)) held = 1;
            }
        }
        st.startHeld = held;
    } else {
        const bool over = MouseInRect(cx - 200, cy - 40, 400, 80);
        if (over) {
            SetDrawColor(255, 255, 255, AlphaUnchanged);
        } else {
            SetDrawColor(255, 150, 150, AlphaUnchanged);
        }
        // start held is the previous frame's button: the round starts one
        // frame after the press.
        start = over && st.startHeld == 1 && !st.startLatch && SettingsPanelClosed() &&
                LoginFocus == 0;
        SetImageFont(FontByRole[7]);
        DrawTextAligned(cx, cy, "Click Here to Start", 1, 1);
        st.startHeld = MouseDown(1) ? 1 : 0;
    }
    // The difficulty keys share the start latch; holding one must not spin
    // the choice every frame, so it keeps the latch set like a start input.
    if (st.startHeld == 0 && !DifficultyKeyHeld()) st.startLatch = 0;
    return start;
}

void DifficultyChoice(TitleState& st, int B) {
    const int off = SlideOffset(st);
    const int x = (ScreenWidth - B) / 2 - 100;
    SetFont(2, 6);
    const bool panelClosed = SettingsPanelClosed();
    for (int m = 0; m < 3; ++m) {
        const int y = ScreenHeight / 2 + 200 + 50 * m - off;
        SetDrawColor(255, 255, 255, CurGameMode == m ? 1.0f : 0.5f);
        DrawTextAligned(x, y, ModeNames[m], 0, 0);
        if (panelClosed && MouseDown(1) && MouseInRect(x, y, 200, 40) && !st.clickLatch) {
            CurGameMode = m;
            PlaySfx(SfxMenu, 1, 1, 0);
            st.clickLatch = 1;
        }
    }
    if (!st.startLatch && LoginFocus == 0 && panelClosed) {
        if (ControlDown(0, 1) || ControlDown(0, 2)) {
            CurGameMode = CurGameMode <= 0 ? 2 : CurGameMode - 1;
            PlaySfx(SfxMenu, 0.95f, 1, 0);
            st.startLatch = 1;
        } else if (ControlDown(8, 1) || ControlDown(8, 2)) {
            CurGameMode = CurGameMode >= 2 ? 0 : CurGameMode + 1;
            PlaySfx(SfxMenu, 1.05f, 1, 0);
            st.startLatch = 1;
        }
    }
    if (TabInputsUp()) st.clickLatch = 0;
}

}  // namespace

std::string StartPromptText() {
    // The same name a binding button shows; an unbound start shows "?!" too.
    const int code = KeyBindings[10];
    return "Press Start (" + (code == 0 ? std::string("?!") : BindingName(code)) + ") To Begin";
}

void SetTitleRoundHook(std::function<void()> hook) { RoundHook = std::move(hook); }

bool TitleFrame(TitleState& st) {
    const int W = ScreenWidth;
    const int H = ScreenHeight;

    BeginFrame(1);
    ResetDrawState();
    DrawBackdrop();
    SanitiseCredentials();
    if (st.slide < SlideFrames) st.slide += 1;

    const int off = SlideOffset(st);
    const int B = PanelWidth();
    const int C = W - (B + 5) + off;  // the panel slides in from the right

    DrawPanel(st, C, B);
    DrawCornerNotes();
    if (StartPrompt(st, B)) StartRoundFromTitle(st);
    DifficultyChoice(st, B);

    ResetDrawState();
    if (LogoImage) {
        DrawImage(LogoImage, static_cast<float>((W - B) / 2),
                  static_cast<float>(H / 2 - ImageHeight(LogoImage) / 2 + SlideOffset(st)), 0);
    }

    ++TitleFramesShown;
    FrameEnd(TargetFps, 1, 1);

    if (!KeyDown(KeyEscape)) st.escapeLatch = 0;
    if (!st.escapeLatch && KeyDown(KeyEscape)) st.quit = 1;
    return st.quit != 0;
}

void RunTitleScreen() {
    TitleState st;
    while (!TitleFrame(st)) {
    }
}

void TitleScreen() { RunTitleScreen(); }
