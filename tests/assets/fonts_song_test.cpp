// fonts_song_test.cpp — the shipped fonts cover the game's character set and
// carry their licences; the demo song is well formed for the sequencer.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <set>

#include "tests/assets/asset_files.h"

using namespace assets_test;

namespace {

const char* kFontNames[] = {"SVBasicManual", "November", "Blue Highway", "Acknowledge TT BRK"};

struct FreeType {
    FT_Library lib = nullptr;
    FreeType() { FT_Init_FreeType(&lib); }
    ~FreeType() { FT_Done_FreeType(lib); }
};

}  // namespace

TEST(Fonts, EachLoadsAndCoversLatin1) {
    FreeType ft;
    ASSERT_NE(ft.lib, nullptr);
    std::set<std::string> families;
    for (const char* name : kFontNames) {
        std::string path = CommonDir() + "/" + name + ".ttf";
        SCOPED_TRACE(path);
        FT_Face face = nullptr;
        ASSERT_EQ(FT_New_Face(ft.lib, path.c_str(), 0, &face), 0) << "FreeType cannot open it";
        EXPECT_TRUE(FT_IS_SCALABLE(face));
        // Strings are Latin-1, and typed names may hold any of its letters.
        std::string missing;
        for (unsigned c = 32; c <= 255; ++c) {
            if (c >= 127 && c < 160) continue;  // control codes
            if (c == 0xad) continue;            // soft hyphen: invisible by nature
            if (FT_Get_Char_Index(face, c) == 0) missing += std::to_string(c) + " ";
        }
        EXPECT_EQ(missing, "") << "characters without a glyph";
        // 'A' and 'é' render at a size the game uses, with ink in them.
        ASSERT_EQ(FT_Set_Pixel_Sizes(face, 0, 24), 0);
        for (unsigned c : {unsigned('A'), 0xe9u}) {
            ASSERT_EQ(FT_Load_Char(face, c, FT_LOAD_RENDER), 0) << c;
            EXPECT_GT(face->glyph->bitmap.width * face->glyph->bitmap.rows, 20u) << c;
        }
        families.insert(std::string(face->family_name) + "/" + face->style_name);
        FT_Done_Face(face);
    }
    EXPECT_EQ(families.size(), 4u) << "the four roles should use four different faces";
}

TEST(Fonts, LicenceTextSitsBesideEachFont) {
    for (const char* name : kFontNames) {
        std::string path = CommonDir() + "/" + name + ".LICENSE.txt";
        std::vector<uint8_t> text = Slurp(path);
        std::string s(text.begin(), text.end());
        EXPECT_GT(s.size(), 500u) << path;
        EXPECT_NE(s.find("icense"), std::string::npos) << path << " holds no licence";
    }
}

namespace {

// The song file read with the sequencer's rules: trimmed lines, bracketed
// section headers, "Stretch" lines, quoted pattern lines.
struct Song {
    std::map<std::string, std::vector<std::string>> lines;
    std::map<std::string, std::string> stretch;
    int strayQuoted = 0;  // pattern lines before any section
};

Song ReadSong(const std::string& path) {
    Song song;
    std::ifstream f(path, std::ios::binary);
    std::string line, section;
    while (std::getline(f, line)) {
        size_t a = 0, b = line.size();
        while (a < b && uint8_t(line[a]) < 33) ++a;
        while (b > a && uint8_t(line[b - 1]) < 33) --b;
        line = line.substr(a, b - a);
        std::string upper = line;
        for (char& c : upper) c = char(std::toupper(uint8_t(c)));
        if (!line.empty() && line[0] == '[') {
            upper.erase(std::remove(upper.begin(), upper.end(), ']'), upper.end());
            for (const char* s : {"[DRUMS", "[CHORDS", "[BASS", "[MELODY", "[ACCOMPANY"})
                if (upper == s) section = s + 1;
        } else if (upper.rfind("STRETCH", 0) == 0 && !section.empty()) {
            song.stretch[section] = upper;
        } else if (!line.empty() && line[0] == '"') {
            if (section.empty()) {
                ++song.strayQuoted;
                continue;
            }
            line.erase(std::remove(line.begin(), line.end(), '"'), line.end());
            song.lines[section].push_back(line);
        }
    }
    return song;
}

bool IsNoteKey(char c) {
    static const std::string keys = "zsxdcvgbhnjmq2w3er5t6y7ui9o0p[=]";
    return keys.find(char(std::tolower(uint8_t(c)))) != std::string::npos;
}

}  // namespace

TEST(DemoSong, EverySectionHasPlayableLines) {
    std::string path = MusicDir() + "/demo.ini";
    ASSERT_FALSE(Slurp(path).empty()) << path;
    Song song = ReadSong(path);
    EXPECT_EQ(song.strayQuoted, 0);
    for (const char* s : {"DRUMS", "CHORDS", "BASS", "MELODY", "ACCOMPANY"}) {
        SCOPED_TRACE(s);
        ASSERT_FALSE(song.lines[s].empty()) << "a section the player plays has no line";
        for (const std::string& l : song.lines[s]) EXPECT_FALSE(l.empty()) << "an empty line divides by zero";
    }
    for (const std::string& l : song.lines["DRUMS"])
        for (char c : l) EXPECT_TRUE(c >= '0' && c <= '8') << "drum line " << l;
    for (const std::string& l : song.lines["CHORDS"]) {
        // Whole bars of four keys give fills; 'z' would silence the phrase.
        EXPECT_EQ(l.size() % 4, 0u) << l;
        for (char c : l) EXPECT_TRUE(IsNoteKey(c) && c != 'z') << "chord line " << l;
    }
    for (const char* s : {"BASS", "MELODY", "ACCOMPANY"})
        for (const std::string& l : song.lines[s]) {
            bool anyNote = false;
            for (char c : l) {
                EXPECT_TRUE(c == ' ' || IsNoteKey(c)) << s << " line " << l;
                anyNote |= c != ' ';
            }
            EXPECT_TRUE(anyNote) << s << " line is all rests";
        }
    // Every stretch line names a mode the player knows.
    for (const auto& [section, text] : song.stretch) {
        bool known = false;
        for (const char* mode : {"FALSE", "RANDOM", "RANDOM+", "DOUBLE"})
            known |= text.size() >= std::string(mode).size() && text.ends_with(mode);
        EXPECT_TRUE(known) << section << ": " << text;
    }
}
