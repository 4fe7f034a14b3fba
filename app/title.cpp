// title.cpp — the title screen.
#include "app/title.h"

static std::function<void()> RoundHook;

void SetTitleRoundHook(std::function<void()> hook) { RoundHook = std::move(hook); }

bool TitleFrame(TitleState& state) { return true; }

void RunTitleScreen() {
    TitleState state;
    while (!TitleFrame(state)) {
    }
}

void TitleScreen() { RunTitleScreen(); }
