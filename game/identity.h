// identity.h — who this game is: the number, names and description that make
// its window title, its folder ("283/") and its score key. Constants only, so
// the score server and the song player know the game without linking it.
#pragma once

constexpr int FlingoWeek = 283;
constexpr const char* FlingoTitle = "Flingo";
constexpr const char* FlingoSubtitle = "";
// Exactly 85 characters (checked by the tests: the key depends on it).
constexpr const char* FlingoDescription =
    "Flingo: keep the coloured balls up in the air with your bar and let none of them drop";
