// badges.cpp — "badges.png": 16 badge emblems of 64 × 64 in a 4 × 4 grid.
//
// The score board shows them at about 18 pixels (scale 0.28), so every
// emblem is one bold silhouette in strong colours with a dark rim.
#include <cmath>
#include <functional>
#include <vector>

#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/output.h"
#include "tools/assetgen/raster.h"

namespace assetgen {

namespace {

constexpr int kSize = 64;
constexpr double kPi = 3.14159265358979323846;
const Rgba kRim = Col(16, 12, 28);

Paint Shine(Rgba light, Rgba dark) { return Linear(16, 8, light, 48, 58, dark); }

void Medal(Canvas& c, Rgba light, Rgba dark) {
    Fill(c, Polygon({{18, 2}, {30, 2}, {36, 24}, {26, 26}}), Linear(0, 0, Col(70, 120, 240), 0, 26, Col(30, 60, 170)));
    Fill(c, Polygon({{46, 2}, {34, 2}, {28, 24}, {38, 26}}), Linear(0, 0, Col(240, 70, 80), 0, 26, Col(170, 30, 50)));
    Fill(c, Circle(32, 40, 19), Shine(light, dark));
    Fill(c, Outline(Circle(32, 40, 14.5), 2), dark, 0.8);
    Fill(c, Star(32, 40.5, 5, 9.5, 4, 0), Shine(Mix(light, Col(255, 255, 255), 0.5), light));
}

void Trophy(Canvas& c) {
    Paint gold = Shine(Col(255, 236, 130), Col(200, 130, 20));
    Shape handles = Union(Outline(Circle(15, 20, 7.5), 4), Outline(Circle(49, 20, 7.5), 4));
    Shape cup = Intersect(Circle(32, 10, 22), Box(10, 6, 54, 64));
    Fill(c, Union({handles, cup, Box(28, 30, 36, 46), Box(20, 45, 44, 52, 2), Box(16, 52, 48, 60, 2)}), gold);
    Fill(c, Box(16, 6, 48, 10, 2), Col(255, 248, 200));
}

void Balls(Canvas& c) {
    Fill(c, Outline(Ellipse(32, 34, 25, 20), 2.5), Col(255, 255, 255), 0.85);
    const Rgba cols[3] = {Col(250, 100, 100), Col(100, 200, 250), Col(250, 220, 100)};
    const Vec at[3] = {{32, 13}, {12, 44}, {52, 44}};
    for (int i = 0; i < 3; ++i) {
        Shape ball = Circle(at[i].x, at[i].y, 10);
        Fill(c, Grow(ball, 2), kRim);
        Fill(c, ball, Radial(at[i].x - 3, at[i].y - 4, 13, Mix(cols[i], Col(255, 255, 255), 0.6), cols[i]));
    }
}

void Heart(Canvas& c) {
    Shape h = Union({Circle(21, 24, 13), Circle(43, 24, 13),
                     Polygon({{9.5, 29}, {54.5, 29}, {32, 56}})});
    Fill(c, h, Shine(Col(255, 130, 150), Col(200, 20, 60)));
    Fill(c, Ellipse(19, 19, 5, 3.5), Col(255, 230, 235), 0.8);
}

void Bolt(Canvas& c) {
    Fill(c, Polygon({{38, 2}, {14, 36}, {29, 36}, {22, 62}, {50, 24}, {34, 24}, {44, 2}}),
         Shine(Col(255, 250, 150), Col(240, 160, 0)));
}

void Crown(Canvas& c) {
    Fill(c, Polygon({{8, 50}, {6, 18}, {20, 32}, {32, 10}, {44, 32}, {58, 18}, {56, 50}}),
         Shine(Col(255, 236, 130), Col(210, 140, 20)));
    Fill(c, Box(8, 48, 56, 56, 2), Col(200, 130, 20));
    for (auto [x, col] : {std::pair{20.0, Col(240, 60, 80)}, {32.0, Col(60, 140, 250)}, {44.0, Col(60, 210, 110)}})
        Fill(c, Circle(x, 42, 3.5), col);
    for (const Vec& p : {Vec{6, 17}, Vec{32, 9}, Vec{58, 17}}) Fill(c, Circle(p.x, p.y, 3.5), Col(255, 240, 170));
}

void Flame(Canvas& c) {
    auto flame = [](double s) {
        return Union(Circle(32, 42 + 4 * (1 - s), 17 * s),
                     Polygon({{32 - 16.5 * s, 40}, {24, 40 - 22 * s}, {30, 30 - 26 * s}, {34, 42 - 40 * s},
                              {44, 40 - 30 * s}, {32 + 16.5 * s, 40}}));
    };
    Fill(c, flame(1), Linear(0, 4, Col(255, 200, 60), 0, 60, Col(230, 50, 20)));
    Fill(c, flame(0.55), Linear(0, 20, Col(255, 255, 200), 0, 60, Col(255, 200, 60)));
}

void Gem(Canvas& c) {
    Fill(c, Polygon({{14, 10}, {50, 10}, {60, 24}, {32, 58}, {4, 24}}), Col(60, 200, 230));
    Fill(c, Polygon({{14, 10}, {24, 24}, {4, 24}}), Col(170, 245, 255));
    Fill(c, Polygon({{24, 24}, {40, 24}, {32, 10}}), Col(130, 230, 250));
    Fill(c, Polygon({{50, 10}, {60, 24}, {40, 24}}), Col(90, 210, 240));
    Fill(c, Polygon({{4, 24}, {24, 24}, {32, 58}}), Col(40, 150, 200));
    Fill(c, Polygon({{40, 24}, {60, 24}, {32, 58}}), Col(20, 110, 170));
}

void ShieldCheck(Canvas& c) {
    Shape shield = Union(Box(8, 4, 56, 30, 4), Intersect(Circle(32, 14, 46), Box(8, 28, 56, 62)));
    Shape tip = Intersect(shield, Intersect(Circle(2, 14, 60), Circle(62, 14, 60)));
    Fill(c, tip, Shine(Col(120, 230, 140), Col(20, 130, 60)));
    Fill(c, Union(Segment(19, 31, 28, 41, 6), Segment(28, 41, 45, 20, 6)), Col(255, 255, 255));
}

void Stopwatch(Canvas& c) {
    Fill(c, Box(27, 2, 37, 9, 1.5), Col(200, 210, 225));
    Fill(c, Segment(48, 14, 52, 10, 5), Col(200, 210, 225));
    Fill(c, Circle(32, 36, 24), Shine(Col(240, 245, 255), Col(150, 165, 190)));
    Fill(c, Circle(32, 36, 18), Col(255, 255, 255));
    for (int k = 0; k < 12; ++k) {
        double a = k * kPi / 6;
        Fill(c, Segment(32 + 15 * std::sin(a), 36 - 15 * std::cos(a), 32 + 17 * std::sin(a), 36 - 17 * std::cos(a), 2),
             Col(60, 70, 90));
    }
    Fill(c, Segment(32, 36, 32, 23, 3), Col(40, 50, 70));
    Fill(c, Segment(32, 36, 41, 41, 3), Col(220, 50, 60));
}

void Target(Canvas& c) {
    const Rgba ring[5] = {Col(235, 50, 60), Col(255, 255, 255), Col(235, 50, 60), Col(255, 255, 255),
                          Col(235, 50, 60)};
    for (int k = 0; k < 5; ++k) Fill(c, Circle(32, 32, 28 - k * 5.6), ring[k]);
    Fill(c, Segment(58, 6, 34, 30, 3), Col(120, 80, 40));
    Fill(c, Polygon({{56, 2}, {62, 8}, {60, 12}, {52, 4}}), Col(80, 200, 250));
}

void Catcher(Canvas& c) {
    Fill(c, Box(6, 50, 58, 58, 3), Shine(Col(255, 255, 255), Col(180, 190, 210)));
    for (int k = 0; k < 3; ++k) Fill(c, Circle(32 - 10 + k * 10, 40 - k * 12, 2 + k * 0.6), Col(255, 255, 255), 0.35 + 0.2 * k);
    Fill(c, Circle(44, 16, 11), Radial(40, 12, 14, Col(200, 255, 200), Col(60, 200, 80)));
}

void Rainbow(Canvas& c) {
    const Rgba bands[5] = {Col(240, 60, 60), Col(250, 170, 40), Col(250, 240, 70), Col(70, 210, 90),
                           Col(70, 140, 250)};
    for (int k = 0; k < 5; ++k) Fill(c, Arc(32, 46, 26 - k * 4.6, 4.9, 270, 450), bands[k]);
    Fill(c, Union(Circle(11, 50, 7), Circle(19, 53, 5.5)), Col(255, 255, 255));
    Fill(c, Union(Circle(53, 50, 7), Circle(45, 53, 5.5)), Col(255, 255, 255));
}

void BigStar(Canvas& c) {
    Fill(c, Star(32, 34, 5, 30, 13, 0), Shine(Col(255, 250, 160), Col(240, 150, 10)));
    Fill(c, Star(32, 34, 5, 14, 6, 0), Col(255, 255, 220), 0.7);
}

}  // namespace

void WriteBadges(const std::string& gameDir) {
    std::vector<std::function<void(Canvas&)>> badges = {
        [](Canvas& c) { Medal(c, Col(255, 236, 120), Col(200, 130, 20)); },   // gold
        [](Canvas& c) { Medal(c, Col(245, 248, 255), Col(140, 150, 170)); },  // silver
        [](Canvas& c) { Medal(c, Col(240, 180, 120), Col(150, 80, 30)); },    // bronze
        BigStar, Trophy, Balls, Heart, Bolt, Crown, Flame, Gem, ShieldCheck, Stopwatch, Target, Catcher, Rainbow,
    };
    Canvas sheet(4 * kSize, 4 * kSize);
    for (size_t i = 0; i < badges.size(); ++i) {
        Canvas cell(kSize, kSize);
        badges[i](cell);
        RimBehind(cell, kRim, 2.2);
        Compose(sheet, cell, int(i % 4) * kSize, int(i / 4) * kSize);
    }
    WritePng(gameDir + "/badges.png", sheet);
}

}  // namespace assetgen
