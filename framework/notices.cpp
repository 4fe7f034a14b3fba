// notices.cpp — notices and rising score numbers.
#include "framework/notices.h"

#include <algorithm>

#include "draw/draw.h"
#include "framework/game_info.h"
#include "framework/graphics.h"
#include "platform/platform.h"

std::list<Announcement> AnnouncementList;
std::list<PopScore> PopScoreList;

void AddAnnouncement(const std::string& txt, int c) {
    Announcement a;
    a.txt = txt;
    a.c = c;
    AnnouncementList.push_back(a);
}

void DrawAnnouncements() {
    SetDrawScale(1);
    SetImageFont(FontByRole[3]);
    // Lines 14 units apart from 16 above the bottom, or a whole text line
    // apart when the font is taller (the small window's larger font): every
    // notice stays whole inside the window, none covering another.
    const int step = std::max(14, TextHeight());
    float y = static_cast<float>(ScreenHeight - std::max(16, TextHeight()));
    for (auto it = AnnouncementList.begin(); it != AnnouncementList.end();) {
        Announcement& a = *it;
        ++a.tick;
        const bool fresh = a.tick < 60;  // highlighted for the first 59 frames
        if (fresh) {
            SetDrawColor(255, 255, 0, 0.7f);
        } else {
            SetDrawColor(0, 0, 0, 0.7f);
        }
        DrawRect(0, y, static_cast<float>(TextWidth(a.txt)), static_cast<float>(TextHeight()));
        if (fresh) {
            SetDrawColor(0, 0, 0, 1);
        } else {
            SetDrawColor(255, 255, 255, 1);
        }
        DrawText(a.txt, 0, y);
        y -= static_cast<float>(step);
        if (a.tick >= 180) {
            it = AnnouncementList.erase(it);
        } else {
            ++it;
        }
    }
}

void AddPopScore(int n, float x, float y, int r, int g, int b) {
    CurScore += n;
    PopScore p;
    p.n = n;
    p.x = x;
    p.y = y;
    p.t = 120;
    p.r = r;
    p.g = g;
    p.b = b;
    PopScoreList.push_back(p);
}

void DrawPopScores() {
    SetImageFont(FontByRole[3]);
    ResetDrawState();
    for (auto it = PopScoreList.begin(); it != PopScoreList.end();) {
        PopScore& p = *it;
        --p.t;
        p.y -= 0.25f;
        SetDrawColor(static_cast<float>(p.r), static_cast<float>(p.g), static_cast<float>(p.b),
                     p.t / 120.0f);
        DrawTextAligned(static_cast<int>(p.x), static_cast<int>(p.y), std::to_string(p.n), 1, 1);
        if (p.t <= 0) {
            it = PopScoreList.erase(it);
        } else {
            ++it;
        }
    }
}
