// about.cpp — the lines of the title screen's About page.
#include "app/about.h"


std::string AboutLines[100];

namespace {

// Kept short: the side panel is 335 virtual pixels wide at the smallest size.
const char* const Lines[AboutLineCount] = {
    "A Game by Orvendel",
    "Marrowby Forums | Weekforge Series",
    "",
    "-=-=--=-=-=-=-=-=-=-=-",
    "Instructions",
    "",
    "Juggle the Balls!",
    "",
    "-=-=--=-=-=-=-=-=-=-=-",
    "",
    "Credits",
    "",
    "Game",
    "Made with Palisade",
    "using Orvendel's Framework",
    "",
    "Graphics",
    "Font : Quicksand by its Authors",
    "Font : DejaVu Sans by its Authors",
    "Font : Routed Gothic by Darren Embry",
    "Font : DotGothic16 by Fontworks",
    "All other graphics by Orvendel",
    "",
    "Music/SFX by Orvendel",
    "",
    "Additional Sound Effects",
    "created using",
    "Weekforge Assetgen by Orvendel",
    "in the source: tools/assetgen",
};

}  // namespace

std::string AboutLine(int i) {
    if (i < 1 || i > AboutLineCount) return "";
    return Lines[i - 1];
}

void FillAboutLines() {
    for (auto& line : AboutLines) line.clear();
    for (int i = 1; i <= AboutLineCount; ++i) AboutLines[i] = Lines[i - 1];
}
