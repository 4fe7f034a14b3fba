// scores.h — the local score table: one `Scores` record per finished game,
// the scrambled score file "nuscores.dat" and the top-25 selection that the
// score board draws.
//
// The record and the scrambler are in scores/record.h (included here).
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

#include "scores/record.h"

// DefaultKey from GameTitle, GameSubtitle, GameDescription and WeekNumber
// (framework/game_info.h).
void BuildDefaultKey();
// Start-up values: PlayerName, and the online service switched off
// (ResetOnline). The table itself is emptied by ResetScoreTable.
void InitScoreGlobals();

// ---------------------------------------------------------------------------
// Globals of the table and the file
// ---------------------------------------------------------------------------
extern ScoreTable ScoreList;        // local games, most recent first
extern std::string LoginName;       // online account, line 1 of the file
extern std::string LoginPassword;
extern std::string PlayerName;      // = "Player"; set by name entry and by the file's newest game
extern const char* const ScoreFileName;    // "nuscores.dat", in the game folder

// Top-25 table of the board on show: slots 1..25 (slot 0 unused, none = empty).
extern std::array<ScoreRef, 26> TopTable;
extern ScoreRef TableBest;  // slot 1 of the local table on show, or none

// ---------------------------------------------------------------------------
// Records, list and file
// ---------------------------------------------------------------------------
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
