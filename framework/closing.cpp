// closing.cpp — the closing screen.
#include "framework/closing.h"

#include "framework/setup.h"
#include "platform/platform.h"
#include "scores/scores.h"

void DrawThanksPage() {}

bool ClosingInputHeld() { return false; }

void ClosingScreen() {
    SaveSetup();
    SaveScores();
    LogLine("Closing Up");
    LogLine("");
    LogLine("Bye!");
    LogLine("");
    LogLine("Play again, soon!!");
    EndGraphics();
    CloseLog();
    EndProgram(0);
}
