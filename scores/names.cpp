// names.cpp — name entry after a game.
#include "scores/names.h"

#include "draw/draw.h"
#include "framework/frame.h"
#include "framework/graphics.h"
#include "platform/platform.h"
#include "scores/scores.h"

namespace {

bool ConfirmInputHeld() { return KeyDown(27) || KeyDown(13) || MouseDown(1); }

// Polls without drawing; the 1 ms sleep keeps the wait off the processor.
// The session ending (SIGTERM) stops the wait: nobody will let go.
void WaitForConfirmRelease() {
    while (ConfirmInputHeld() && !AppTerminating()) Delay(1);
}

}  // namespace

void EnterName() {
    FlushKeys();
    // The key or click that ended the game must not confirm the name at once.
    WaitForConfirmRelease();

    const int W = ScreenWidth;
    const int H = ScreenHeight;
    bool done = false;
    // The session ending (SIGTERM) confirms the name typed so far: the round
    // files the game and then leaves, so the frame end must not leave first.
    struct Defer {
        Defer() { FrameEndDefersTermination = true; }
        ~Defer() { FrameEndDefersTermination = false; }
    } defer;
    while (!done && !AppTerminating()) {
        BeginFrame(1);
        DrawBackdrop();

        // One typed character per frame; a faster typist is served from the
        // platform's queue over the following frames.
        const int c = GetChar();
        if (NameCharAllowed(c)) PlayerName += static_cast<char>(c);
        if (KeyHit(8) > 0 && !PlayerName.empty()) PlayerName.pop_back();

        SetDrawColor(0, 255, 0, AlphaUnchanged);
        SetImageFont(FontByRole[6]);
        DrawTextAligned(W / 2, H / 2 - 100, "Enter Your Name", 1, 1);
        SetImageFont(FontByRole[5]);
        const std::string cursor = MilliSecs() % 600 < 300 ? "_" : " ";
        // The name alone is centred; the cursor hangs off its right end.
        DrawTextAligned(W / 2 - TextWidth(PlayerName) / 2, H / 2, PlayerName + cursor, 0, 1);

        // Escape confirms like Enter: there is no cancel.
        done = KeyHit(13) > 0 || MouseDown(1) || KeyDown(27);
        FrameEnd(TargetFps, 0, 1);
    }
    SeedRnd(static_cast<int>(MilliSecs()));
    WaitForConfirmRelease();
}
