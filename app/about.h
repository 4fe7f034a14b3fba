// about.h — the lines of the title screen's About page.
#pragma once

#include <string>

// The About page as the title screen shows it: entries 1..29 (= "" until
// FillAboutLines, start-up step 2).
extern std::string AboutLines[100];

// Number of About lines (entries 1..AboutLineCount of AboutLines).
constexpr int AboutLineCount = 29;
// Line i (1..29) of the About page; "" outside that range.
std::string AboutLine(int i);
// Fills AboutLines[1..29] and empties the other entries.
void FillAboutLines();
