// icons.cpp — "icons.png": the framework's icon strip, 64 cells of 16 × 16
// in an 8 × 8 grid, numbered left to right, top to bottom.
//
// Most icons are drawn tinted (the settings rows use light green, the binding
// buttons their control's colour, the graph point a score colour), and the
// tint multiplies, so the icons are light greys with dark rims: any tint
// keeps them readable on the striped backdrops. Cells the framework does not
// use stay transparent.
#include <functional>
#include <map>
#include <tuple>

#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/output.h"
#include "tools/assetgen/raster.h"

namespace assetgen {

namespace {

constexpr int kCell = 16;
const Rgba kRim = Col(12, 12, 22);
const Rgba kWhite = Col(255, 255, 255);
const Rgba kLight = Col(226, 230, 236);
const Rgba kMid = Col(150, 156, 168);
const Rgba kDark = Col(52, 56, 68);

Paint TopLight(double y0, double y1) { return Linear(0, y0, kWhite, 0, y1, kMid); }

// 0: the engine-test sprite, a small bright blob (drawn thousands of times
// at alpha 0 to measure the renderer, so only its size matters there).
void SpriteBlob(Canvas& c) {
    Fill(c, Circle(8, 8, 6.5), Radial(8, 8, 6.5, Col(255, 255, 240), Col(255, 200, 60, 0.0)));
    Fill(c, Circle(8, 8, 3.2), Radial(7, 7, 3.2, kWhite, Col(255, 236, 150)));
}

// 3: a key cap; the key's name is written over its dark face.
void Key(Canvas& c) {
    Fill(c, Box(1, 1, 15, 15, 3), Linear(0, 1, kLight, 0, 15, kMid));
    Fill(c, Box(2.6, 2.2, 13.4, 12.4, 2), Linear(0, 2, Col(78, 82, 98), 0, 12, Col(40, 42, 54)));
    RimBehind(c, kRim, 1);
}

// 7: a point of the score-history graph, centred on the cell's middle pixel
// corner (8, 8) because the board draws it by its top-left at point − 8.
void GraphPoint(Canvas& c) {
    FillOutlined(c, Circle(8, 8, 3.3), Radial(7.2, 7.2, 3.6, kWhite, kLight), kRim, 1.2);
    Fill(c, Circle(7, 7, 1.1), kWhite, 0.8);
}

// 8: a joystick hat (direction pad).
void Hat(Canvas& c) {
    Shape cross = Union(Box(5.5, 1.5, 10.5, 14.5, 1.2), Box(1.5, 5.5, 14.5, 10.5, 1.2));
    Fill(c, cross, TopLight(1, 15));
    Fill(c, Circle(8, 8, 1.8), kDark);
    for (auto [x, y, deg] : {std::tuple{8.0, 3.6, 0.0}, {12.4, 8.0, 90.0}, {8.0, 12.4, 180.0}, {3.6, 8.0, 270.0}})
        Fill(c, Rotate(Polygon({{x - 1.5, y + 0.9}, {x + 1.5, y + 0.9}, {x, y - 1.1}}), x, y, deg), kDark);
    RimBehind(c, kRim, 1);
}

// 9: a joystick: base, shaft and ball top.
void Stick(Canvas& c) {
    Fill(c, Ellipse(8, 12.6, 6.4, 2.4), Linear(0, 10, kMid, 0, 15, kDark));
    Fill(c, Segment(8, 12, 9.5, 5.5, 2.2), kLight);
    Fill(c, Circle(10, 4.6, 3.3), Radial(9, 3.4, 3.6, kWhite, kMid));
    RimBehind(c, kRim, 1);
}

// 10: a round pad button with a dark face for the button number.
void Button(Canvas& c) {
    Fill(c, Circle(8, 8, 6.8), Linear(0, 1, kLight, 0, 15, kMid));
    Fill(c, Circle(8, 7.6, 5.0), Radial(6.5, 6, 6, Col(84, 88, 104), Col(38, 40, 52)));
    RimBehind(c, kRim, 1);
}

// A monitor with a screen of the given width and height on a stand.
void Monitor(Canvas& c, double sw, double sh) {
    double x0 = 8 - sw / 2, x1 = 8 + sw / 2, y0 = 7.5 - sh / 2 - 1, y1 = 7.5 + sh / 2 - 1;
    Fill(c, Box(x0, y0, x1, y1, 1.2), TopLight(y0, y1));
    Fill(c, Box(x0 + 1.3, y0 + 1.3, x1 - 1.3, y1 - 1.3), Linear(0, y0, Col(120, 170, 230), 0, y1, Col(50, 70, 130)));
    Fill(c, Polygon({{x0 + 1.8, y0 + 1.8}, {x0 + 4.5, y0 + 1.8}, {x0 + 1.8, y0 + 4.5}}), kWhite, 0.6);
    Fill(c, Box(7, y1, 9, y1 + 2), kMid);
    Fill(c, Box(5, y1 + 1.6, 11, y1 + 3, 0.6), kLight);
    RimBehind(c, kRim, 1);
}

// 13: a window with a title bar.
void Window(Canvas& c) {
    Fill(c, Box(1.5, 2.5, 14.5, 13.5, 1), TopLight(2, 14));
    Fill(c, Box(2.8, 5.5, 13.2, 12.2), Linear(0, 5, Col(110, 160, 220), 0, 12, Col(50, 70, 130)));
    Fill(c, Circle(12.2, 4, 0.8), kDark);
    Fill(c, Circle(10.0, 4, 0.8), kDark);
    RimBehind(c, kRim, 1);
}

// 14: full screen: a screen with arrows out to its four corners.
void FullScreen(Canvas& c) {
    Fill(c, Box(3.5, 3.5, 12.5, 12.5, 0.8), Linear(0, 3, Col(110, 160, 220), 0, 12, Col(50, 70, 130)));
    for (int k = 0; k < 4; ++k) {
        double deg = 45 + 90 * k;
        Shape arrow = Union(Polygon({{8, 0.8}, {11.2, 4.2}, {4.8, 4.2}}), Box(7, 3.5, 9, 6.5));
        Fill(c, Rotate(arrow, 8, 8, deg), kWhite);
    }
    RimBehind(c, kRim, 1);
}

// 18, 19, 20: a film strip with three, two or one frames lit: every frame
// drawn / every second frame shown, and the renderers best to fallback.
void FilmStrip(Canvas& c, int lit) {
    Fill(c, Box(1.5, 2, 14.5, 14), kDark);
    for (int k = 0; k < 4; ++k) {
        double y = 3.2 + k * 3;
        Fill(c, Box(2.3, y, 3.7, y + 1.6, 0.3), kLight);
        Fill(c, Box(12.3, y, 13.7, y + 1.6, 0.3), kLight);
    }
    for (int k = 0; k < 3; ++k) {
        double y = 3 + k * 3.8;
        bool on = (lit == 3) || (lit == 2 && k != 1) || (lit == 1 && k == 1);
        Shape frame = Box(4.8, y, 11.2, y + 2.9, 0.5);
        if (on)
            Fill(c, frame, Linear(0, y, kWhite, 0, y + 3, Col(200, 210, 225)));
        else
            Fill(c, Outline(frame, 0.8), kMid);
    }
    RimBehind(c, kRim, 1);
}

// 21 and 22: the slider track, left and right halves. Drawn stretched side by
// side, so the bar runs out through the inner edges without a rim there.
void TrackLeft(Canvas& c) {
    Fill(c, Box(1.5, 5.5, 20, 10.5, 2.5), Linear(0, 5, kLight, 0, 11, kMid));
    Fill(c, Box(3, 7.4, 20, 8.6, 0.6), kDark);
    RimBehind(c, kRim, 1);
}
void TrackRight(Canvas& c) {
    Fill(c, Box(-4, 5.5, 14.5, 10.5, 2.5), Linear(0, 5, kLight, 0, 11, kMid));
    Fill(c, Box(-4, 7.4, 13, 8.6, 0.6), kDark);
    RimBehind(c, kRim, 1);
}

// 23: the slider knob, centred across the cell.
void Knob(Canvas& c) {
    Fill(c, Box(4.5, 1.5, 11.5, 14.5, 2.4), Linear(4, 0, kWhite, 12, 0, kMid));
    for (double y : {6.0, 8.0, 10.0}) Fill(c, Box(6, y - 0.4, 10, y + 0.4), kDark, 0.8);
    RimBehind(c, kRim, 1);
}

// Speaker body pointing right, centred at (cx, cy); scale 1 fits the cell.
Shape SpeakerShape(double cx, double cy, double s) {
    return Union(Box(cx - 5.5 * s, cy - 2.2 * s, cx - 2.5 * s, cy + 2.2 * s, 0.5),
                 Polygon({{cx - 3 * s, cy - 2.2 * s}, {cx + 1 * s, cy - 5.6 * s}, {cx + 1 * s, cy + 5.6 * s},
                          {cx - 3 * s, cy + 2.2 * s}}));
}

void SoundWaves(Canvas& c, double cx, double cy, int waves) {
    for (int k = 0; k < waves; ++k) Fill(c, Arc(cx, cy, 3.4 + 3.2 * k, 1.4, 45, 135), kWhite);
}

// 24 onward: one per audio back end, variations of a loudspeaker.
void AudioIcon(Canvas& c, int variant) {
    switch (variant) {
        case 0:  // speaker with two waves
            Fill(c, SpeakerShape(6.5, 8, 1), TopLight(2, 14));
            SoundWaves(c, 6.5, 8, 2);
            break;
        case 1:  // speaker with a wave and a chip beneath
            Fill(c, SpeakerShape(7, 6.5, 0.85), TopLight(2, 12));
            SoundWaves(c, 8, 6.5, 1);
            Fill(c, Box(3, 12.5, 13, 15, 0.5), kMid);
            for (double x : {4.5, 7.0, 9.5, 12.0}) Fill(c, Box(x - 0.4, 13, x + 0.4, 14.5), kDark);
            break;
        case 2:  // a pair of speakers (stereo)
            Fill(c, Box(1.5, 3, 7, 14, 1), TopLight(3, 14));
            Fill(c, Box(9, 3, 14.5, 14, 1), TopLight(3, 14));
            for (double x : {4.25, 11.75}) {
                Fill(c, Circle(x, 10.5, 2), kDark);
                Fill(c, Circle(x, 5.6, 1.1), kDark);
            }
            break;
        case 3:  // a speaker in a sphere of sound
            Fill(c, Outline(Circle(8, 8, 6.6), 1.2), kWhite);
            RimBehind(c, kRim, 1);
            Fill(c, SpeakerShape(8.6, 8, 0.62), TopLight(4, 12));
            break;
        case 4:  // a speaker with a single wave
            Fill(c, SpeakerShape(8, 8, 1), TopLight(2, 14));
            SoundWaves(c, 8.5, 8, 1);
            break;
        case 5:  // headphones
            Fill(c, Arc(8, 9, 5.6, 1.8, 270, 450), kLight);
            Fill(c, Box(1.5, 8.5, 5, 14.5, 1.2), TopLight(8, 15));
            Fill(c, Box(11, 8.5, 14.5, 14.5, 1.2), TopLight(8, 15));
            break;
        case 6:  // a cabinet speaker
            Fill(c, Box(3, 1.5, 13, 14.5, 1.2), TopLight(1, 15));
            Fill(c, Circle(8, 10, 3), kDark);
            Fill(c, Circle(8, 10, 1.2), kMid);
            Fill(c, Circle(8, 4.6, 1.5), kDark);
            break;
        default:  // a muted speaker
            Fill(c, SpeakerShape(6.5, 8, 1), TopLight(2, 14));
            Fill(c, Segment(10, 5.5, 14.5, 10.5, 1.4), kWhite);
            Fill(c, Segment(10, 10.5, 14.5, 5.5, 1.4), kWhite);
            break;
    }
    RimBehind(c, kRim, 1);
}

// 63: the pointer. The framework draws the cell by its top-left corner on the
// pointer position, so the arrow's tip is the cell's top-left pixel.
void Pointer(Canvas& c) {
    std::vector<Vec> arrow = {{0, 0}, {0, 14.2}, {3.6, 10.8}, {6.2, 15.6}, {8.8, 14.4}, {6.4, 9.8}, {11.2, 9.8}};
    std::vector<Vec> inner = {{1.3, 2.9}, {1.3, 11.3}, {4.0, 8.8}, {6.8, 13.9}, {7.1, 13.7}, {4.6, 8.6}, {8.2, 8.6}};
    Fill(c, Polygon(arrow), kRim);
    Fill(c, Box(0, 0, 1.6, 1.6), kRim);  // keep the tip pixel fully opaque
    Fill(c, Polygon(inner), Linear(0, 0, kWhite, 8, 14, Col(215, 222, 235)));
}

}  // namespace

void WriteIcons(const std::string& commonDir) {
    std::map<int, std::function<void(Canvas&)>> cells = {
        {0, SpriteBlob},
        {3, Key},
        {7, GraphPoint},
        {8, Hat},
        {9, Stick},
        {10, Button},
        {11, [](Canvas& c) { Monitor(c, 11, 8.6); }},  // the usual 4:3 window
        {12, [](Canvas& c) { Monitor(c, 14.4, 8.6); }},  // a widescreen window
        {13, Window},
        {14, FullScreen},
        {18, [](Canvas& c) { FilmStrip(c, 3); }},
        {19, [](Canvas& c) { FilmStrip(c, 2); }},
        {20, [](Canvas& c) { FilmStrip(c, 1); }},
        {21, TrackLeft},
        {22, TrackRight},
        {23, Knob},
        {63, Pointer},
    };
    for (int v = 0; v < 8; ++v) cells[24 + v] = [v](Canvas& c) { AudioIcon(c, v); };

    Canvas strip(8 * kCell, 8 * kCell);
    for (const auto& [frame, draw] : cells) {
        Canvas cell(kCell, kCell);
        draw(cell);
        Compose(strip, cell, (frame % 8) * kCell, (frame / 8) * kCell);
    }
    WritePng(commonDir + "/icons.png", strip);
}

}  // namespace assetgen
