// scores.h — the local score table: one `Scores` record per finished game,
// the scrambled score file "nuscores.dat" and the top-25 selection that the
// score board draws.
//
// `ScoreList` holds every local game, most recent first. It is read at the end
// of asset loading, grows by one record per game and is written back by the
// closing screen. Every line of the file is scrambled with `Scramble`, a
// reversible, doubly checksummed text code; the first line holds the online
// account, each further line one record.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <string>

// ---------------------------------------------------------------------------
// The record
// ---------------------------------------------------------------------------
struct Scores {
    int64_t Score = 0;      // the game's points
    int64_t Timestamp = 0;  // DateStamp of the moment the game was filed
    int Badges = 0;         // bit k-1 set = badge k earned
    std::string Name;       // as typed at name entry
    std::array<int, 31> Best{};  // per-game bests; entries 1..30 used, 0 never stored
    int Level = 0;
    int GameMode = 0;   // 0 Easy, 1 Medium, 2 Hard; −(mode + 1) marks an online entry
    int GameFlags = 0;
    int Quit = 0;       // 1 when the game was left through the pause menu's "Quit"

    virtual ~Scores() = default;
    // Order for the list sort: negative when this record is more recent than
    // `other`, positive when older, 0 for the same stamp; 1 when other is none.
    // Decided by the sign of the whole 64-bit stamp difference.
    virtual int Compare(const Scores* other) const;
    int Compare(const Scores& other) const { return Compare(&other); }
};
using ScoreRef = std::shared_ptr<Scores>;
using ScoreTable = std::list<ScoreRef>;

// ---------------------------------------------------------------------------
// Globals of the table and the file
// ---------------------------------------------------------------------------
extern ScoreTable ScoreList;        // local games, most recent first
extern std::string LoginName;       // online account, line 1 of the file
extern std::string LoginPassword;
extern const std::string AccountKey;       // "7QM24RT8": scrambles line 1
extern std::string DefaultKey;             // built by BuildDefaultKey, never stored
extern const std::string RecordSeparator;  // between a record's fields and its bests
extern const std::string GameDescription;  // 85 characters; only the key reads it
extern const char* const ScoreFileName;    // "nuscores.dat", in the game folder

// Top-25 table of the board on show: slots 1..25 (slot 0 unused, none = empty).
extern std::array<ScoreRef, 26> TopTable;
extern ScoreRef TableBest;  // slot 1 of the local table on show, or none

// ---------------------------------------------------------------------------
// Scrambler
// ---------------------------------------------------------------------------
// Σ code(i) × i × 3 over 1-based positions, reduced mod 4096 after each step.
int ScoreChecksum(const std::string& text);
// Upper-case hex text of 2 × (length + 12) characters. Empty key = DefaultKey.
std::string Scramble(const std::string& text, const std::string& key = "");
// The scrambled text back, or "XXX" when a checksum fails or the text is too
// short to hold one. Empty key = DefaultKey.
std::string Unscramble(const std::string& text, const std::string& key = "");
// The key made from the game's identity: A = title + " " + subtitle,
// D = description, W = week number. 2 × (|A| + |D|) characters.
std::string MakeScoreKey(const std::string& a, const std::string& d, int week);
// DefaultKey from GameTitle, GameSubtitle, GameDescription and WeekNumber.
void BuildDefaultKey();

// ---------------------------------------------------------------------------
// Records, list and file
// ---------------------------------------------------------------------------
// Score|Name|Badges|Timestamp|Level|GameMode|GameFlags|Quit, the separator,
// then Best 1..30 joined by "|".
std::string RecordText(const Scores& record);
// The same with another text between the fields and the bests (the score
// server's payload uses "|" + RecordSeparator + "|").
std::string RecordText(const Scores& record, const std::string& separator);
// Builds a record from a RecordText; none when the fields part holds no "|".
ScoreRef ParseRecord(const std::string& text);
// The same from the two parts: the "|"-fields and the "|"-joined bests.
ScoreRef ParseRecord(const std::string& fields, const std::string& bests);
// Empties ScoreList, the account, TopTable and TableBest, the board's
// hover, selection and scroll, and the login focus: a clean start for a run.
void ResetScoreTable();
// Stable sort, most recent first.
void SortScoreList(ScoreTable& list);
void SortScoreList();
// Appends a finished game to ScoreList and sorts it.
void AddScore(const ScoreRef& record);
// Reads "nuscores.dat" from the current folder into ScoreList. Records that
// are already in the list but not in the file (games of this run, when the
// graphics are applied again) are kept, so a reload never loses a game.
void LoadScores();
// Writes "nuscores.dat" through a temporary file renamed over the old one.
// Returns false (old file untouched, a log line written) when it failed.
bool SaveScores();

// ---------------------------------------------------------------------------
// Top-25 selection
// ---------------------------------------------------------------------------
// Fills TopTable with the 25 highest records of `list` whose GameMode, Level
// and GameFlags match (ties: the more recent first). Returns the table's best
// score, at least 1 (it divides the history graph).
int64_t SelectTopTable(const ScoreTable& list, int mode, int level, int flags);
bool InTopTable(const ScoreRef& record);

// ---------------------------------------------------------------------------
// Names
// ---------------------------------------------------------------------------
// Whether a typed character may enter a name: 32..255 except "|" and the
// section sign (167), which the record line uses as field separators.
bool NameCharAllowed(int code);
