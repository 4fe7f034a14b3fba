// main.cpp — assetgen <out> [<icons>]: writes the whole run-time asset tree
// into <out>, and the desktop icons into <icons> when it is given.
//
// The build runs this whenever the generator changes. Every file is made by
// our own drawing and synthesis code, except the fonts, which are copied from
// Debian font packages. Runs are deterministic: the same bytes every time.
#include <iostream>
#include <string>

#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/output.h"

int main(int argc, char** argv) {
    using namespace assetgen;
    if (argc != 2 && argc != 3) {
        std::cerr << "usage: assetgen <output folder> [<icon theme folder>]\n";
        return 2;
    }
    std::string out = argv[1];
    const std::string themes = argc == 3 ? argv[2] : "";
    std::string common = out + "/Common";
    std::string game = out + "/283";  // the game's folder: its week number as three digits
    MakeDirs(common);
    MakeDirs(game + "/music");

    WriteFonts(common);  // first: the logos are lettered with these fonts
    WriteIcons(common);
    WriteCommonLogos(common);
    WriteJingle(common);
    WriteBadges(game);
    WriteGameLogo(game, common);
    WriteSoundEffects(game);
    WriteMusic(game + "/music");
    WriteAppIcons(game, themes);
    return 0;
}
