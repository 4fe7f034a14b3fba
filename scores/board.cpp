// board.cpp — the score board: history graph, top-25 rows and detail box.
//
// Layout, bottom up from B = ScreenHeight − 10: the graph fills the lowest
// 150 pixels, the 25 rows of 17 pixels sit above it, the detail box above
// the rows.
#include "scores/board.h"

#include "draw/draw.h"
#include "draw/strings.h"
#include "framework/game_info.h"
#include "framework/graphics.h"
#include "platform/platform.h"

ScoreRef BoardHover;
int BoardSelection = 0;
int GraphScroll = 0;

namespace {

constexpr int Rows = 25;
constexpr int RowHeight = 17;
constexpr int GraphHeight = 150;
constexpr int GraphStep = 18;     // pixels between two games in the graph
constexpr int KeepRecent = 50;    // games of a table kept whatever their score
constexpr int ScrollStep = 8;     // pixels per frame while the pointer rests on a zone
constexpr int ScrollLimit = 1000;

bool Matches(const Scores& r, int mode, int level, int flags) {
    return r.GameMode == mode && r.Level == level && r.GameFlags == flags;
}

}  // namespace

// Height of a score in the graph: 0 at the bottom line, 150 for the best.
// Scores come from a file that may be damaged: a negative score (or a best
// below 1) would put the point millions of pixels off the board, where the
// pixel arithmetic of the drawing overflows, so it sits on the bottom line.
int BoardGraphHeight(int64_t score, int64_t best) {
    if (best < 1) best = 1;
    const __int128 h = static_cast<__int128>(score) * GraphHeight / best;
    if (h < 0) return 0;
    return h > GraphHeight ? GraphHeight : static_cast<int>(h);
}

std::string BoardRowScore(int64_t score) {
    // Twelve characters hold no more; a damaged file's larger score would
    // otherwise lose its leading digits and its sign.
    constexpr int64_t Largest = 999999999999;
    if (score > Largest) score = Largest;
    if (score >= 0) return Right("000000000000" + Str(score), 12);
    const int64_t magnitude = score < -(Largest / 10) ? Largest / 10 : -score;
    return "-" + Right("00000000000" + Str(magnitude), 11);
}

namespace {

void DrawGraph(ScoreTable& list, int P, int mode, int level, int flags, int64_t best) {
    const int B = ScreenHeight - 10;
    BoardHover.reset();
    int x = ScreenWidth - 24 + GraphScroll;
    int n = 0;
    bool havePrevious = false;
    int px = 0, py = 0;
    for (auto it = list.begin(); it != list.end();) {
        const ScoreRef r = *it;
        if (!Matches(*r, mode, level, flags)) {
            ++it;
            continue;
        }
        ++n;
        const bool prune = n > KeepRecent && !InTopTable(r);
        if (BoardSelection == n && !BoardHover) BoardHover = r;
        // Points are drawn right to left, newest first, until the panel's edge.
        if (x > P + 1) {
            const int h = BoardGraphHeight(r->Score, best);
            const int y = static_cast<int>(B - h);
            SetDrawColor(static_cast<float>(255 - h), 255, 80, 1);
            DrawImageTopLeft(IconImage, x - 8, y - 8, 7, 1);
            SetDrawColor(255, static_cast<float>(80 + h), 80);
            if (havePrevious) DrawLine(x, y, px, py);
            SetDrawColor(0, 0, 0, 0.3f);
            DrawLine(x - 9, B - GraphHeight, x - 9, B - 1);
            px = x;
            py = y;
            havePrevious = true;
            if (MouseInRect(x - 9, B - GraphHeight, 19, GraphHeight)) {
                BoardHover = r;
                if (MouseDown(1)) BoardSelection = n;
            }
            if (BoardHover == r) {
                SetDrawColor(255, 255, 255, 0.3f);
                DrawRect(x - 9, B - GraphHeight, 19, GraphHeight);
            }
            x -= GraphStep;
        }
        if (BoardHover == r && MouseDown(1)) BoardSelection = n;
        if (prune) {
            it = list.erase(it);  // gone from the file at the next save
        } else {
            ++it;
        }
    }
}

void ScrollGraph(int W) {
    const int B = ScreenHeight - 10;
    if (MouseInRect(ScreenWidth - (W + 32), B - GraphHeight, 64, GraphHeight) &&
        GraphScroll < ScrollLimit)
        GraphScroll += ScrollStep;
    if (MouseInRect(ScreenWidth - 32, B - GraphHeight, 62, GraphHeight) && GraphScroll > 0)
        GraphScroll -= ScrollStep;
}

void DrawRows(int P, int W, int mode, bool visible) {
    const int B = ScreenHeight - 10;
    if (visible) SetImageFont(FontByRole[3]);
    bool first = true;
    if (mode >= 0) TableBest.reset();
    for (int k = 1; k <= Rows; ++k) {
        const ScoreRef& r = TopTable[k];
        if (!r) continue;
        if (first && mode >= 0) TableBest = r;
        first = false;
        if (!visible) continue;
        const int y = B - (RowHeight * Rows + 154) + RowHeight * (k - 1);
        if (BoardSelection == 1000 + k && !BoardHover) BoardHover = r;
        SetDrawColor(255, 255, 255, 1);
        if (MouseInRect(P + 9, y, W, 18)) {
            BoardHover = r;
            if (MouseDown(1)) BoardSelection = 1000 + k;
        }
        DrawTextAligned(P + 9, y, Left(r->Name, 24), 0, 0);
        DrawTextAligned(P + W + 1, y, BoardRowScore(r->Score), 2, 0);
        if (BoardHover == r) {
            SetDrawColor(255, 255, 255, 0.3f);
            DrawRect(P + 9, y, W, RowHeight);
        }
    }
}

void DrawDetail(int P, int W, int mode) {
    const int B = ScreenHeight - 10;
    const int T = B - (RowHeight * Rows + 154);
    const Scores& r = *BoardHover;
    if (mode < 0) {
        SetDrawColor(125, 180, 125, 1);
    } else {
        SetDrawColor(255, 255, 255, 0.6f);
    }
    DrawRect(P + 3, T - 140, W, 140);

    SetImageFont(FontByRole[1]);
    SetDrawColor(80, 80, 0, 1);
    DrawTextAligned(P + 9, T - 136, r.Name, 0, 0);
    SetDrawColor(0, 0, 80, 1);
    DrawTextAligned(P + W + 1, T - 115, Str(r.Score), 2, 0);

    SetImageFont(FontByRole[4]);
    SetDrawColor(0, 80, 0, 1);
    if (r.Best[30] == 1) DrawTextAligned(P + 9, T - 90, "Complete!", 0, 1);

    SetDrawColor(0, 0, 0, 1);
    SetImageFont(FontByRole[3]);
    DrawTextAligned(P + 9, T - 4, DateText(r.Timestamp) + ", " + ClockText(r.Timestamp), 0, 2);

    SetDrawScale(0.28f);
    SetDrawColor(255, 255, 255, 1);
    for (int k = 1; k <= BadgeCount; ++k) {
        if (BitSet(r.Badges, k)) DrawImageTopLeft(BadgeImages, P + 11 + 20 * (k - 1), T - 50, k - 1, 1);
    }
    SetDrawScale(1);
}

}  // namespace

void DrawScoreBoard(ScoreTable& list, int P, int W, int mode, int level, int flags, bool visible) {
    const int64_t best = SelectTopTable(list, mode, level, flags);
    if (visible) {
        const int B = ScreenHeight - 10;
        SetDrawColor(0, 0, 0, 0.6f);
        DrawRect(P + 7, B - (RowHeight * Rows + GraphHeight), W + 2, RowHeight * Rows + GraphHeight);
        SetDrawColor(0, 0, 80, 1);
        DrawLine(P + 7, B - GraphHeight, ScreenWidth - 8, B - GraphHeight);
        DrawGraph(list, P, mode, level, flags, best);
        ScrollGraph(W);
    }
    DrawRows(P, W, mode, visible);
    if (visible && BoardHover) DrawDetail(P, W, mode);
}
