// board.h — the score board of the title screen's side panel: a history graph
// of every game of the chosen table, its 25 best games and a detail box.
#pragma once

#include "scores/scores.h"

extern ScoreRef BoardHover;  // the record in the detail box this frame, or none
extern int BoardSelection;   // 0 none; n = n-th graph point; 1000 + k = row k
extern int GraphScroll;      // 0..1000 virtual pixels; older games come into view

// P, W: the panel's left edge and width. With visible false it only rebuilds
// TopTable (and TableBest for mode ≥ 0): nothing drawn, nothing pruned.
// Visible, it prunes games beyond the 50 most recent of the table that are
// not in its top 25.
void DrawScoreBoard(ScoreTable& list, int P, int W, int mode, int level, int flags, bool visible);

// Pixels above the graph's bottom line for a score against the table's best:
// 0..150 whatever the file held (negative scores sit on the bottom line).
int BoardGraphHeight(int64_t score, int64_t best);

// A row's score: exactly 12 characters, zero-padded. Scores no game can make
// (from a damaged file) are clamped to 999999999999, or shown with their sign
// down to -99999999999.
std::string BoardRowScore(int64_t score);
