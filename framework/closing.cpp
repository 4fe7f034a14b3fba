// closing.cpp — the closing screen, the program's only way out.
//
// The settings and the scores are written first, so everything the player
// changed survives even when the last wait is cut short.
#include "framework/closing.h"

#include "draw/draw.h"
#include "framework/game_info.h"
#include "framework/graphics.h"
#include "framework/notices.h"
#include "framework/setup.h"
#include "input/controls.h"
#include "platform/platform.h"

namespace {

constexpr int ReleasePolls = 120;  // at most about 1.9 s of release wait
constexpr int ReleasePollMs = 16;

struct ThanksLine {
    int dy;  // below the middle of the screen
    int r, g, b;
    const char* text;
};

const ThanksLine ThanksLines[] = {
    {40, 255, 255, 180, "Why not take the next few minutes to hop back to the site"},
    {80, 255, 255, 180, "where you found this game, and leave a comment."},
    {130, 255, 255, 180, "Good or bad, every little helps."},
    {180, 255, 210, 180, "There are so many wonderful homebrew communities"},
    {220, 255, 210, 180, "and developers out there, who bring you hundreds"},
    {260, 255, 210, 180, "of free games, every month."},
    {320, 255, 255, 180, "Give a little back."},
    {380, 180, 255, 255, "Feedback is King"},
};

}  // namespace

void DrawThanksPage() {
    Cls();
    BeginFrame(1);
    DrawBackdrop();
    ResetDrawState();
    DrawImage(EngineLogo, 256, 256, 0);
    DrawImage(SiteLogo, static_cast<float>(ScreenWidth - 256), 256, 0);

    SetFont(1, 6);
    SetDrawColor(180, 255, 255, 1);
    DrawTextAligned(ScreenWidth / 2, ScreenHeight / 2, "Thanks for Playing", 1, 1);

    SetFont(2, 5);
    const int h = ScreenHeight / 2;
    for (const ThanksLine& line : ThanksLines) {
        SetDrawColor(static_cast<float>(line.r), static_cast<float>(line.g),
                     static_cast<float>(line.b), 1);
        DrawTextAligned(40, h + line.dy, line.text, 0, 0);
    }
}

bool ClosingInputHeld() {
    if (ScanInput() > 0) return true;
    if (MouseDown(1) || MouseDown(2)) return true;
    if (KeyDown(115) && (KeyDown(164) || KeyDown(165))) return true;  // Alt+F4
    return AppTerminate();
}

void ClosingScreen() {
    ShowMouse();
    const bool settingsSaved = SaveSetup();
    const bool scoresSaved = RegisteredGame().saveScores ? RegisteredGame().saveScores() : true;
    LogLine("Closing Up");
    LogLine("");
    LogLine("Bye!");
    LogLine("");
    LogLine("Play again, soon!!");

    // Asked to end by the session (SIGTERM): everything is saved, so end now
    // instead of waiting for a key that nobody will press.
    if (!AppTerminating()) {
        DrawThanksPage();
        // A save that failed says so on the page ("Could not save your scores").
        if (!settingsSaved || !scoresSaved) DrawAnnouncements();
        Flip(-1);  // drawn once; it stays on screen

        // Let go of whatever brought us here (Escape, Alt+F4, a click) first.
        for (int i = 0; i < ReleasePolls && !AppTerminating(); ++i) {
            if (!ClosingInputHeld()) break;
            Delay(ReleasePollMs);
        }
        // Then wait for a fresh press. The 1 ms sleep between polls keeps the
        // wait from spinning a processor core at full load.
        while (!ClosingInputHeld() && !AppTerminating()) Delay(1);
    }

    EndGraphics();
    CloseLog();
    EndProgram(0);
}
