// Song files and sample sets: the parser's edge cases, the note table, the
// sample sets with gaps, and what a song file that cannot be read leaves.
#include <gtest/gtest.h>

#include "music/music.h"
#include "tests/music/support.h"

using namespace musictest;

namespace {

struct ParseCase {
    const char* name;
    std::vector<std::string> lines;
    int section;           // the section looked at
    int count;             // its SongLineCount
    int stretch;           // its StretchMode
    std::string firstLine; // its line 1 ("" when none)
};

const ParseCase kParseCases[] = {
    {"MixedCaseHeaderSelects", {"  [dRuMs]  ", "\"1010\""}, SectionDrums, 1, -1, "1010"},
    {"HeaderWithExtraCharacterKeepsSection",
     {"[Bass]", "[Drums2]", "\"q\"", "[Drums]x", "\"w\""}, SectionBass, 2, -1, "q"},
    {"ExtraCharacterSelectsNothing", {"[Bass]", "[Drums2]", "\"q\""}, SectionDrums, 0, -1, ""},
    {"QuotedLineBeforeAnyHeaderIgnored", {"\"1111\"", "[Chords]"}, SectionChords, 0, -1, ""},
    {"StretchFalse", {"[Melody]", "Stretch = False"}, SectionMelody, 0, 0, ""},
    {"StretchRandom", {"[Melody]", "stretch: random"}, SectionMelody, 0, 1, ""},
    {"StretchRandomPlusIsTwo", {"[Melody]", "STRETCH=Random+"}, SectionMelody, 0, 2, ""},
    {"StretchDouble", {"[Melody]", "Stretch it double"}, SectionMelody, 0, -2, ""},
    {"UnknownStretchWordKeepsMode", {"[Melody]", "Stretch = False", "Stretch = maybe"},
     SectionMelody, 0, 0, ""},
    {"StretchBeforeAnyHeaderIgnored", {"Stretch = False", "[Bass]"}, SectionBass, 0, -1, ""},
    {"InnerSpacesKept", {"[Accompany]", " \t\"  q  w \"  "}, SectionAccompany, 1, -1, "  q  w "},
    {"EveryQuoteRemoved", {"[Bass]", "\"q\"\"w\" e"}, SectionBass, 1, -1, "qw e"},
    {"EmptyQuotedLineCounts", {"[Drums]", "\"\""}, SectionDrums, 1, -1, ""},
};

// Test names show the case's name instead of its bytes.
void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class Parse : public ::testing::TestWithParam<ParseCase> {};

}  // namespace

TEST_P(Parse, Case) {
    const ParseCase& c = GetParam();
    ParseSongLines(c.lines);
    EXPECT_EQ(SongLineCount[c.section], c.count);
    EXPECT_EQ(StretchMode[c.section], c.stretch);
    const std::string first = SongLines[c.section].size() > 1 ? SongLines[c.section][1] : "";
    EXPECT_EQ(first, c.firstLine);
}

INSTANTIATE_TEST_SUITE_P(SongFile, Parse, ::testing::ValuesIn(kParseCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SongFile, KeepsAtMost998LinesButCountsThemAll) {
    std::vector<std::string> lines = {"[Drums]"};
    for (int i = 1; i <= 1000; ++i) lines.push_back("\"" + std::to_string(i) + "\"");
    ParseSongLines(lines);
    EXPECT_EQ(SongLineCount[SectionDrums], 1000);
    ASSERT_EQ(SongLines[SectionDrums].size(), 999u);  // entry 0 unused
    EXPECT_EQ(SongLines[SectionDrums][998], "998");
}

TEST(NoteTable, Keys) {
    const std::pair<const char*, float> cases[] = {
        {"z", 0.5f}, {"Z", 0.5f}, {"m", 0.944f}, {"q", 1.0f}, {"Q", 1.0f}, {"2", 1.059f},
        {"u", 1.888f}, {"i", 2.0f}, {"[", 2.67f}, {"]", 2.996f}, {"", 0}, {"a", 0},
        {"qq", 0}, {" ", 0},
    };
    for (const auto& [key, rate] : cases) EXPECT_FLOAT_EQ(NoteRate(key), rate) << "key " << key;
}

class SampleSets : public MusicTest {};

TEST_F(SampleSets, GapsKeepTheHighestNumberAndLeaveEntriesNone) {
    WriteSample("d1-1");
    WriteSample("d2-8");
    WriteSample("bass1");
    WriteSample("bass3");
    WriteSample("lead2");
    LoadMusicSamples();
    EXPECT_EQ(InstrumentCount[0], 3);
    EXPECT_EQ(InstrumentCount[1], 2);
    EXPECT_EQ(InstrumentCount[2], 0);
    for (int i = 0; i < 50; ++i) {
        const bool present = i == 1 || i == 18 || i == 21 || i == 23 || i == 32;
        EXPECT_EQ(bool(MusicSample[i]), present) << "entry " << i;
    }
    // A later set-up reloads from what is there now.
    fs::remove(tree_.Game() / "music" / "bass3.wav");
    LoadMusicSamples();
    EXPECT_EQ(InstrumentCount[0], 1);
    EXPECT_FALSE(MusicSample[23]);
}

class LoadingSongs : public MusicTest {};

TEST_F(LoadingSongs, MissingFileLeavesTheSongPlaying) {
    WriteSamples();
    LoadMusicSamples();
    WriteSong("a", "[Drums]\nStretch = False\n\"1\"\n[Chords]\n\"qqqq\"\n");
    Load("a");
    Play(1000);
    const size_t before = hits_.size();
    ASSERT_GT(before, 0u);
    LoadSong("missing", 5, 100);
    EXPECT_TRUE(MusicPlaying);
    EXPECT_EQ(SongLineCount[SectionDrums], 1);
    EXPECT_EQ(StretchMode[SectionDrums], 0);
    EXPECT_EQ(StepMs, 125);
    Play(1000);
    EXPECT_GT(hits_.size(), before);
}

TEST_F(LoadingSongs, StartsWithTheFirstStep250MsLater) {
    WriteSamples();
    LoadMusicSamples();
    WriteSong("a", "[Drums]\nStretch = False\n\"1\"\n");
    Load("a", 3, 300);
    EXPECT_TRUE(MusicPlaying);
    EXPECT_EQ(StepMs, 150);
    EXPECT_FLOAT_EQ(MusicSpread, 0.3f);
    EXPECT_EQ(BarsPlayed, 0);
    EXPECT_EQ(BarInPhrase, 1);
    EXPECT_EQ(MusicStep, -1);
    Play(400);
    ASSERT_FALSE(hits_.empty());
    EXPECT_EQ(hits_[0].ms, 251u);  // due once the clock has passed the 250 ms mark
    EXPECT_EQ(hits_[0].step, 0);
}
