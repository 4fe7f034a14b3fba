// notices.h — the notices at the bottom-left ("Saved Screenshot", a failed
// save) and the rising score numbers, drawn by FrameEnd on every screen.
//
// Plain rectangles and text, outside the draw budgets of draw/draw.h.
// Coordinates are virtual pixels; every rate is per frame.
#pragma once

#include <list>
#include <string>

// ---------------------------------------------------------------------------
// Records and their lists (= empty; iterated in insertion order, the drawing
// loop removes the records that expire)
// ---------------------------------------------------------------------------
struct Announcement {
    int tick = 0;     // frames shown so far; removed at 180
    std::string txt;  // the line of text
    int c = 0;        // caller's code (every caller passes 1), kept with the line
};

struct PopScore {
    int n = 0;             // the points shown
    float x = 0, y = 0;    // centre of the number
    int t = 0;             // frames left, starts at 120
    int r = 0, g = 0, b = 0;
};

extern std::list<Announcement> AnnouncementList;
extern std::list<PopScore> PopScoreList;

// ---------------------------------------------------------------------------
// Operations
// ---------------------------------------------------------------------------
void AddAnnouncement(const std::string& txt, int c);
// Draws the notices stacked upward from the bottom-left, oldest lowest.
void DrawAnnouncements();
// Adds n to CurScore and appends a number rising from (x, y) for 120 frames.
void AddPopScore(int n, float x, float y, int r, int g, int b);
void DrawPopScores();
