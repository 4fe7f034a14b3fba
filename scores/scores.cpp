// scores.cpp — the score table, the score file and the top-25 selection.
#include "scores/scores.h"

#include <unordered_set>

#include "draw/strings.h"
#include "framework/folders.h"
#include "framework/game_info.h"
#include "framework/notices.h"
#include "framework/setup.h"
#include "platform/platform.h"
#include "scores/board.h"
#include "scores/online.h"

ScoreTable ScoreList;
std::string LoginName;
std::string LoginPassword;
std::string PlayerName;
const char* const ScoreFileName = "nuscores.dat";

std::array<ScoreRef, 26> TopTable;
ScoreRef TableBest;

namespace {

// The file is rewritten through this name and then renamed over the old one.
const char* const ScoreTempName = "nuscores.dat.new";

// A scramble without a key before start-up built one builds it here.
const bool kKeyBuilderSet = (DefaultKeyBuilder = BuildDefaultKey, true);

}  // namespace

void BuildDefaultKey() {
    DefaultKey = MakeScoreKey(GameTitle + " " + GameSubtitle, GameDescription, WeekNumber);
}

void InitScoreGlobals() {
    PlayerName = "Player";
    ResetOnline();  // switched off until "Setup.ini" says otherwise
}

// ---------------------------------------------------------------------------
// List
// ---------------------------------------------------------------------------
void ResetScoreTable() {
    ScoreList.clear();
    LoginName.clear();
    LoginPassword.clear();
    for (auto& slot : TopTable) slot.reset();
    TableBest.reset();
    BoardHover.reset();
    BoardSelection = 0;
    GraphScroll = 0;
    LoginFocus = 0;
}

void SortScoreList(ScoreTable& list) {
    // std::list::sort is stable: records with equal stamps keep their order.
    list.sort([](const ScoreRef& x, const ScoreRef& y) { return x->Compare(y.get()) < 0; });
}

void SortScoreList() { SortScoreList(ScoreList); }

void AddScore(const ScoreRef& record) {
    if (!record) return;
    ScoreList.push_back(record);
    SortScoreList();
}

// ---------------------------------------------------------------------------
// File
// ---------------------------------------------------------------------------
void LoadScores() {
    // Left by a save that was cut short; "nuscores.dat" itself is whole.
    DeleteFile(PlayerFile(GameFolder() + ScoreTempName, ScoreTempName));
    const std::string path = SavedPlayerFile(GameFolder() + ScoreFileName, ScoreFileName);
    if (FileType(path) != 1) return;  // missing, or a folder in its place
    Stream in = ReadFile(path);
    if (!in) return;

    const std::string account = Unscramble(ReadLine(in), AccountKey);
    LoginName = SplitField(account, "|", 1);
    LoginPassword = SplitField(account, "|", 2);

    // Games already in the list that the file does not hold (filed in this run
    // before the graphics were applied again) are kept.
    ScoreTable previous;
    previous.swap(ScoreList);

    bool first = true;
    do {
        const std::string line = ReadLine(in);
        // Every record line is hex; two characters or fewer cannot be one.
        if (line.size() <= 2) continue;
        ScoreRef r = ParseRecord(Unscramble(line, ""));
        if (!r) continue;
        if (first) {
            PlayerName = r->Name;
            first = false;
        }
        ScoreList.push_back(r);
    } while (!Eof(in));
    CloseStream(in);

    if (!previous.empty()) {
        std::unordered_set<std::string> held;
        for (const auto& r : ScoreList) held.insert(RecordText(*r));
        for (const auto& r : previous) {
            if (!held.count(RecordText(*r))) ScoreList.push_back(r);
        }
    }
    SortScoreList();
}

bool SaveScores() {
    SortScoreList();
    // By path into the data folder's game folder; without set-up folders (a
    // part tested on its own) the current folder is the game folder.
    const std::string temporary = PlayerFile(GameFolder() + ScoreTempName, ScoreTempName);
    const std::string target = PlayerFile(GameFolder() + ScoreFileName, ScoreFileName);
    Stream out = WriteFile(temporary);
    bool ok = static_cast<bool>(out);
    if (ok) ok = WriteLine(out, Scramble(LoginName + "|" + LoginPassword, AccountKey));
    if (ok) {
        for (const auto& r : ScoreList) {
            if (r->GameMode < 0) continue;  // online entries are never stored
            if (!WriteLine(out, Scramble(RecordText(*r), ""))) {
                ok = false;
                break;
            }
        }
    }
    if (out && !CloseStream(out)) ok = false;
    if (ok) ok = RenameFile(temporary, target);
    if (!ok) {
        DeleteFile(temporary);
        LogLine("\tCould not save the scores; " + target + " was left as it was");
        AddAnnouncement("Could not save your scores", 1);
    }
    return ok;
}

// ---------------------------------------------------------------------------
// Top-25 selection
// ---------------------------------------------------------------------------
int64_t SelectTopTable(const ScoreTable& list, int mode, int level, int flags) {
    for (auto& slot : TopTable) slot.reset();
    int64_t best = 0;
    for (const auto& r : list) {
        if (r->GameMode != mode || r->Level != level || r->GameFlags != flags) continue;
        if (r->Score > best) best = r->Score;
        int place = 0;
        for (int k = 1; k <= 25; ++k) {
            if (TopTable[k] && TopTable[k]->Score < r->Score) {
                place = k;
                break;
            }
        }
        if (place == 0) {
            for (int k = 1; k <= 25; ++k) {
                if (!TopTable[k]) {
                    place = k;
                    break;
                }
            }
        }
        if (place == 0) continue;
        for (int k = 25; k > place; --k) TopTable[k] = TopTable[k - 1];
        TopTable[place] = r;
    }
    return best > 0 ? best : 1;
}

bool InTopTable(const ScoreRef& record) {
    for (int k = 1; k <= 25; ++k)
        if (TopTable[k] == record) return true;
    return false;
}
