// assetgen.h — the groups of files the generator writes, one function each.
//
// Run as `assetgen <out> [<icons>]`; <out> becomes the run-time asset tree
// (the game's "Files/" folder): <out>/Common holds what every game of the
// framework shares, <out>/283 this game's own files; <icons>, when given,
// gets the desktop icon theme folders. Every group is deterministic.
#pragma once

#include <string>

namespace assetgen {

// Where the shipped fonts come from (Debian font packages) and the names the
// game loads them by.
struct FontSource {
    const char* fileName;  // in Common/, e.g. "SVBasicManual.ttf"
    const char* source;    // installed TrueType file
    const char* package;   // Debian package; its copyright file is the licence
};
extern const FontSource kFonts[4];

void WriteFonts(const std::string& commonDir);
void WriteIcons(const std::string& commonDir);
void WriteCommonLogos(const std::string& commonDir);  // needs the fonts in place
void WriteGameLogo(const std::string& gameDir, const std::string& commonDir);
void WriteBadges(const std::string& gameDir);
void WriteJingle(const std::string& commonDir);
void WriteSoundEffects(const std::string& gameDir);
void WriteMusic(const std::string& musicDir);
// The game's icon: "flingo.png" in the game folder for the window and, when
// themeDir is given, themeDir/hicolor/NxN/apps/flingo.png for the desktop.
void WriteAppIcons(const std::string& gameDir, const std::string& themeDir);

}  // namespace assetgen
