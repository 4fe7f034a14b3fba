// Tests of the scrambler, the score key, the record text, the score file and
// the top-25 selection.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/app.h"
#include "framework/game_info.h"
#include "framework/setup.h"
#include "scores/scores.h"
#include "tests/scores/support.h"

using namespace gametest;

namespace {

bool AllUpperHex(const std::string& s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
}

ScoreRef MakeRecord(int64_t score, int64_t stamp, const std::string& name, int mode = 1) {
    auto r = std::make_shared<Scores>();
    r->Score = score;
    r->Timestamp = stamp;
    r->Name = name;
    r->GameMode = mode;
    return r;
}

// The state a start-up leaves: headless platform, globals, the key, the log
// open in Files/ and the game folder current.
void StartScores(const Scratch& tree) { StartClean(tree); }

std::vector<std::string> LogLines(const Scratch& tree) {
    CloseLog();
    return ReadLines(tree.Files() / "Debug.txt");
}

}  // namespace

// ---------------------------------------------------------------------------
// Scrambler
// ---------------------------------------------------------------------------
TEST(Scrambler, ChecksumWeighsEachCodeByThreeTimesItsPosition) {
    EXPECT_EQ(ScoreChecksum("abc"), 97 * 3 + 98 * 6 + 99 * 9);
    EXPECT_EQ(ScoreChecksum("ba"), 98 * 3 + 97 * 6);
    EXPECT_EQ(ScoreChecksum(""), 0);
    // Reduced mod 4096 after every step: 200 × "\xFF" stays in range.
    const std::string big(200, '\xFF');
    int64_t expect = 0;
    for (int i = 1; i <= 200; ++i) expect = (expect + 255 * i * 3) % 4096;
    EXPECT_EQ(ScoreChecksum(big), expect);
}

TEST(Scrambler, RoundTripsEveryTextWithEitherKey) {
    BuildDefaultKey();
    const std::vector<std::string> texts = {
        "|",
        "a",
        "Player|secret",
        "123|Ann|0|62845631779|0|1|0|0" + RecordSeparator + "1|2|3",
        std::string("\xA7\xA7\xA7"),  // the separator's section sign, alone
        std::string(300, 'z') + "\x01\x7F\xFF",
    };
    for (const auto& t : texts) {
        for (const std::string& key : {std::string(), AccountKey}) {
            const std::string s = Scramble(t, key);
            EXPECT_EQ(s.size(), 2 * (t.size() + 12)) << t;
            EXPECT_TRUE(AllUpperHex(s)) << s;
            EXPECT_EQ(Scramble(t, key), s) << "no randomness";
            EXPECT_EQ(Unscramble(s, key), t);
        }
        EXPECT_NE(Scramble(t, ""), Scramble(t, AccountKey));
        EXPECT_EQ(Unscramble(Scramble(t, ""), AccountKey), "XXX") << "wrong key";
    }
    // The separator itself survives inside a record line.
    const std::string line = "5|B|0|1|0|0|0|0" + RecordSeparator + "7";
    EXPECT_NE(Unscramble(Scramble(line)).find(RecordSeparator), std::string::npos);
}

TEST(Scrambler, DamagedLinesFailTheirChecksum) {
    BuildDefaultKey();
    const std::string s = Scramble("300|Ann|0|62845631779|0|1|0|0" + RecordSeparator + "0|0");
    for (size_t pos : {size_t{0}, size_t{7}, s.size() / 2, s.size() - 1}) {
        std::string damaged = s;
        damaged[pos] = damaged[pos] == '5' ? '6' : '5';
        EXPECT_EQ(Unscramble(damaged), "XXX") << pos;
    }
    EXPECT_EQ(Unscramble(s.substr(0, s.size() - 2)), "XXX") << "truncated";
    EXPECT_EQ(Unscramble(s + "00"), "XXX") << "lengthened";
}

TEST(Scrambler, TextsTooShortForTheirChecksumsGiveXXX) {
    BuildDefaultKey();
    for (const std::string& t : {std::string(), std::string("0"), std::string("00"),
                                 std::string(12, '0'), std::string(13, 'F')}) {
        EXPECT_EQ(Unscramble(t), "XXX") << t;
        EXPECT_EQ(Unscramble(t, AccountKey), "XXX") << t;
    }
    // The empty text passes the outer layer but leaves six characters, too
    // few for the inner one.
    EXPECT_EQ(Unscramble(Scramble("")), "XXX");
}

TEST(Scrambler, LowerCaseHexDigitsReadAsZero) {
    BuildDefaultKey();
    const std::string text = "41|Lower|0|62845631779|0|0|0|0";
    const std::string s = Scramble(text);
    ASSERT_NE(s.find('0'), std::string::npos);
    std::string zerosAsA = s;
    std::replace(zerosAsA.begin(), zerosAsA.end(), '0', 'a');
    EXPECT_EQ(Unscramble(zerosAsA), text) << "'a' counts as 0, like '0'";

    const size_t upper = s.find_first_of("BCDEF");
    ASSERT_NE(upper, std::string::npos);
    std::string lowered = s;
    lowered[upper] = static_cast<char>(lowered[upper] - 'A' + 'a');
    EXPECT_EQ(Unscramble(lowered), "XXX") << "a lower-case B..F is not its value";
}

TEST(ScoreKey, BuiltFromTitleDescriptionAndWeek) {
    EXPECT_EQ(GameDescription.size(), 85u);
    const std::string key = MakeScoreKey("Flingo ", GameDescription, 283);
    ASSERT_EQ(key.size(), 2u * (7 + 85));
    // i = 1: A[2] = 'l' (108): (108 + 283 + 7) mod 76 + 32 = 50,
    // (50 + 283 + 5) mod 75 + 31 = 69 'E'; D[2] = 'l': (108 + 283 + 3) mod 74
    // + 34 = 58, (58 + 283 + 11) mod 71 + 36 = 104 'h'.
    EXPECT_EQ(key.substr(0, 2), "Eh");
    for (size_t j = 0; j < key.size(); ++j) {
        const int c = static_cast<unsigned char>(key[j]);
        if (j % 2 == 0) {
            EXPECT_TRUE(c >= 31 && c <= 105) << j;
        } else {
            EXPECT_TRUE(c >= 36 && c <= 106) << j;
        }
    }
    InitGlobals();
    BuildDefaultKey();
    EXPECT_EQ(DefaultKey, key);
    EXPECT_EQ(MakeScoreKey("Flingo ", GameDescription, 284) == key, false);
}

// ---------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------
TEST(ScoresCompare, MostRecentSortsFirstOnTheWholeStamp) {
    const auto older = MakeRecord(1, 1000, "old");
    const auto newer = MakeRecord(1, 2000, "new");
    EXPECT_LT(newer->Compare(*older), 0);
    EXPECT_GT(older->Compare(*newer), 0);
    EXPECT_EQ(older->Compare(*older), 0);
    EXPECT_EQ(older->Compare(nullptr), 1);
    // Stamps 2^32 apart: their low 32 bits are equal, the order is not.
    const auto far = MakeRecord(1, 1000 + (int64_t{1} << 32), "far");
    EXPECT_LT(far->Compare(*older), 0);
    // Extreme stamps from a damaged file cannot overflow the difference.
    const auto low = MakeRecord(1, INT64_MIN, "low");
    const auto high = MakeRecord(1, INT64_MAX, "high");
    EXPECT_LT(high->Compare(*low), 0);
    EXPECT_GT(low->Compare(*high), 0);

    ScoreTable list = {older, far, newer};
    SortScoreList(list);
    EXPECT_EQ(list.front(), far);
    EXPECT_EQ(list.back(), older);
}

TEST(ScoreRecord, TextRoundTripsAndReadsFieldsAsTheFileDoes) {
    Scores r;
    r.Score = 5000000000;  // beyond 32 bits
    r.Timestamp = 62845631779;
    r.Badges = 5;
    r.Name = "Ann";
    r.Level = 2;
    r.GameMode = 2;
    r.GameFlags = 4;
    r.Quit = 1;
    for (int i = 1; i <= 30; ++i) r.Best[i] = i * 7;
    const std::string text = RecordText(r);
    EXPECT_EQ(text.substr(0, 37), "5000000000|Ann|5|62845631779|2|2|4|1" + std::string(":"));
    const ScoreRef back = ParseRecord(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(RecordText(*back), text);

    // 32-bit fields are read as absolute values; missing ones as 0.
    const ScoreRef odd = ParseRecord("-7|  Bo  |-3|99|-1" + RecordSeparator + "-4|x");
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->Score, -7);
    EXPECT_EQ(odd->Name, "Bo");
    EXPECT_EQ(odd->Badges, 3);
    EXPECT_EQ(odd->Timestamp, 99);
    EXPECT_EQ(odd->Level, 1);
    EXPECT_EQ(odd->GameMode, 0);
    EXPECT_EQ(odd->Quit, 0);
    EXPECT_EQ(odd->Best[1], 4);
    EXPECT_EQ(odd->Best[2], 0);
    EXPECT_EQ(odd->Best[30], 0);
    EXPECT_FALSE(ParseRecord("XXX"));
    EXPECT_FALSE(ParseRecord(""));
}

TEST(ScoreRecord, NamesKeepTheFieldSeparatorsOut) {
    EXPECT_TRUE(NameCharAllowed('A'));
    EXPECT_TRUE(NameCharAllowed(' '));
    EXPECT_TRUE(NameCharAllowed(233));  // Latin-1 letters are fine
    EXPECT_FALSE(NameCharAllowed('|'));
    EXPECT_FALSE(NameCharAllowed(167));
    EXPECT_FALSE(NameCharAllowed(31));
    EXPECT_FALSE(NameCharAllowed(0));
    EXPECT_FALSE(NameCharAllowed(256));
    EXPECT_FALSE(NameCharAllowed(-1));
}

// ---------------------------------------------------------------------------
// Score file
// ---------------------------------------------------------------------------
TEST(ScoreFile, RecordsAndAccountSurviveSaveAndLoad) {
    Scratch tree;
    StartScores(tree);
    LoginName = "bob";
    LoginPassword = "pw";
    auto a = MakeRecord(120, 62845631779, "  Ann ", 2);
    a->Badges = 9;
    a->Level = 3;
    a->GameFlags = 1;
    a->Quit = 1;
    for (int i = 1; i <= 30; ++i) a->Best[i] = 100 - i;
    AddScore(a);
    AddScore(MakeRecord(40, 62845631000, "Older", 0));
    ASSERT_TRUE(SaveScores());

    const std::string raw = ReadAll(tree.Game() / "nuscores.dat");
    EXPECT_TRUE(std::all_of(raw.begin(), raw.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || c == '\r' || c == '\n';
    }));
    EXPECT_EQ(ReadLines(tree.Game() / "nuscores.dat").size(), 3u);
    EXPECT_FALSE(fs::exists(tree.Game() / "nuscores.dat.new"));

    ResetScoreTable();
    PlayerName = "Player";
    LoadScores();
    ASSERT_EQ(ScoreList.size(), 2u);
    EXPECT_EQ(LoginName, "bob");
    EXPECT_EQ(LoginPassword, "pw");
    const ScoreRef& back = ScoreList.front();
    EXPECT_EQ(back->Name, "Ann") << "blanks at the ends are trimmed";
    back->Name = a->Name;
    EXPECT_EQ(RecordText(*back), RecordText(*a));
    EXPECT_EQ(ScoreList.back()->Name, "Older");
    EXPECT_EQ(PlayerName, "Ann") << "the most recent game names the next entry";
}

TEST(ScoreFile, OnlineRecordsAreNeverWritten) {
    Scratch tree;
    StartScores(tree);
    AddScore(MakeRecord(10, 100, "local", 0));
    AddScore(MakeRecord(99, 200, "online", -2));
    ASSERT_TRUE(SaveScores());
    EXPECT_EQ(ReadLines(tree.Game() / "nuscores.dat").size(), 2u);
    ResetScoreTable();
    LoadScores();
    ASSERT_EQ(ScoreList.size(), 1u);
    EXPECT_EQ(ScoreList.front()->Name, "local");
}

TEST(ScoreFile, DamagedLinesLoseOnlyThemselves) {
    Scratch tree;
    StartScores(tree);
    std::vector<std::string> good;
    for (int i = 0; i < 4; ++i) {
        auto r = MakeRecord(10 * i, 1000 - i, "G" + std::to_string(i));
        good.push_back(Scramble(RecordText(*r)));
    }
    std::string damaged = good[1];
    damaged[3] = damaged[3] == '1' ? '2' : '1';
    const std::string file = std::string("0") + "\r\n" +  // a damaged account line
                             good[0] + "\r\n" +
                             damaged + "\r\n" +
                             good[1] + "\r\n" +
                             "\r\n" +                            // empty
                             good[2].substr(0, good[2].size() / 2) + "\r\n" +  // truncated
                             "||\r\n" +                           // short garbage with bars
                             "hello|world" + RecordSeparator + "1\r\n" +  // plain garbage
                             good[2] + "\r\n" +
                             good[3];  // last line without its line end
    WriteText(tree.Game() / "nuscores.dat", file);

    LoadScores();
    std::vector<std::string> names;
    for (const auto& r : ScoreList) names.push_back(r->Name);
    EXPECT_EQ(names, (std::vector<std::string>{"G0", "G1", "G2", "G3"}));
    EXPECT_EQ(LoginName, "XXX");

    ASSERT_TRUE(SaveScores());
    ResetScoreTable();
    LoadScores();
    names.clear();
    for (const auto& r : ScoreList) names.push_back(r->Name);
    EXPECT_EQ(names, (std::vector<std::string>{"G0", "G1", "G2", "G3"}));
}

TEST(ScoreFile, FailedSaveKeepsTheOldFileAndSaysSo) {
    Scratch tree;
    StartScores(tree);
    AddScore(MakeRecord(10, 100, "first"));
    ASSERT_TRUE(SaveScores());
    const std::string before = ReadAll(tree.Game() / "nuscores.dat");

    // A folder where the temporary file would go: the write cannot start.
    fs::create_directory(tree.Game() / "nuscores.dat.new");
    AddScore(MakeRecord(20, 200, "second"));
    EXPECT_FALSE(SaveScores());
    EXPECT_EQ(ReadAll(tree.Game() / "nuscores.dat"), before);
    const auto log = LogLines(tree);
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("Could not save the scores"), std::string::npos);
}

TEST(ScoreFile, MissingFileOrAFolderInItsPlaceLoadsNothing) {
    Scratch tree;
    StartScores(tree);
    AddScore(MakeRecord(10, 100, "kept"));
    LoginName = "me";
    LoadScores();  // no file
    EXPECT_EQ(ScoreList.size(), 1u);
    EXPECT_EQ(LoginName, "me");
    fs::create_directory(tree.Game() / "nuscores.dat");
    LoadScores();
    EXPECT_EQ(ScoreList.size(), 1u);
}

TEST(ScoreFile, ReloadingKeepsTheGamesOfThisRun) {
    Scratch tree;
    StartScores(tree);
    AddScore(MakeRecord(10, 100, "saved"));
    ASSERT_TRUE(SaveScores());
    AddScore(MakeRecord(20, 200, "new this run"));
    LoadScores();  // what applying the graphics again does
    ASSERT_EQ(ScoreList.size(), 2u);
    EXPECT_EQ(ScoreList.front()->Name, "new this run");
    EXPECT_EQ(ScoreList.back()->Name, "saved");
}

// ---------------------------------------------------------------------------
// Top-25 selection
// ---------------------------------------------------------------------------
TEST(TopTable, HighestFirstAndEqualScoresByRecency) {
    ScoreTable list;
    for (int i = 0; i < 25; ++i) list.push_back(MakeRecord(50, 1000 - i, "eq" + std::to_string(i)));
    list.push_back(MakeRecord(50, 10, "26th equal"));
    list.push_back(MakeRecord(49, 5, "26th lower"));
    list.push_back(MakeRecord(500, 1, "old best"));
    list.push_back(MakeRecord(900, 2000, "other table", 2));
    SortScoreList(list);

    const int64_t best = SelectTopTable(list, 1, 0, 0);
    EXPECT_EQ(best, 500);
    ASSERT_TRUE(TopTable[1]);
    EXPECT_EQ(TopTable[1]->Name, "old best");
    for (int k = 2; k <= 25; ++k) {
        ASSERT_TRUE(TopTable[k]);
        EXPECT_EQ(TopTable[k]->Name, "eq" + std::to_string(k - 2));
    }
    for (const auto& r : list) {
        const bool out = r->Name == "26th equal" || r->Name == "26th lower" ||
                         r->Name == "eq24" || r->Name == "other table";
        EXPECT_EQ(InTopTable(r), !out) << r->Name;
    }
}

TEST(TopTable, EmptyTableHasBestOne) {
    ScoreTable list = {MakeRecord(0, 1, "zero"), MakeRecord(7, 2, "elsewhere", 0)};
    EXPECT_EQ(SelectTopTable(list, 1, 0, 0), 1) << "a zero score still divides by 1";
    EXPECT_EQ(SelectTopTable(list, 2, 0, 0), 1);
    for (int k = 1; k <= 25; ++k) EXPECT_FALSE(TopTable[k]);
    EXPECT_EQ(SelectTopTable(list, 0, 0, 0), 7);
    list.front()->Level = 4;
    EXPECT_EQ(SelectTopTable(list, 1, 0, 0), 1) << "level is part of the table";
}
