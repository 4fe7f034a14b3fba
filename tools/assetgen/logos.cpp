// logos.cpp — the engine's logo ("Common/logo.png"), the community site's
// badge ("Common/Marrowby.png") and the game's title ("283/logo.png").
//
// Lettering comes from the fonts shipped in Common/, rendered to coverage
// masks and then outlined and shadowed like any other shape. The images are
// drawn with their hot spot at the centre, so each design is centred.
#include <cmath>
#include <string>

#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/output.h"
#include "tools/assetgen/raster.h"
#include "tools/assetgen/text.h"

namespace assetgen {

namespace {

constexpr double kPi = 3.14159265358979323846;
const Rgba kInk = Col(20, 14, 34);

// Text mask centred horizontally on cx with its base line at `baseline`.
Mask CentredText(int w, int h, Typeface* face, double px, const std::string& text, double cx, double baseline,
                 double tracking = 0) {
    Mask m(w, h);
    DrawText(m, face, px, text, cx - TextWidth(face, px, text, tracking) / 2, baseline, tracking);
    return m;
}

// A soft drop shadow of everything on the canvas, offset down and right.
void DropShadow(Canvas& c, int dx, int dy, int blur, double opacity) {
    Canvas under(c.w, c.h);
    Fill(under, Shifted(Blur(AlphaOf(c), blur), dx, dy), Solid(Col(0, 0, 0)), opacity);
    Compose(under, c, 0, 0);
    c = std::move(under);
}

// ---- the engine logo -------------------------------------------------------
// An anvil struck by a hammer of light, with sparks flying, above the name.
void EngineLogo(const std::string& path, Typeface* display) {
    const int W = 256, H = 128;
    Canvas c(W, H);
    Paint steel = Linear(0, 14, Col(200, 210, 228), 0, 66, Col(70, 80, 104));
    Shape anvil = Union({
        Polygon({{84, 22}, {170, 22}, {170, 36}, {154, 40}, {104, 40}, {96, 34}, {60, 28}, {84, 22}}),  // face and horn
        Box(112, 38, 146, 52, 1),                                                                       // waist
        Polygon({{100, 64}, {158, 64}, {150, 52}, {108, 52}}),                                          // foot
    });
    Fill(c, Grow(anvil, 2.5), kInk);
    Fill(c, anvil, steel);
    Fill(c, Box(86, 22, 168, 25.5, 1), Col(240, 244, 252), 0.9);  // lit top face

    // Sparks: rays from the strike point and a bright star on it.
    const double sx = 128, sy = 18;
    const double rays[][2] = {{-70, 26}, {-40, 34}, {-12, 22}, {14, 30}, {44, 36}, {72, 24}};
    for (const auto& r : rays) {
        double a = r[0] * kPi / 180, len = r[1];
        Fill(c, Segment(sx + 6 * std::sin(a), sy - 6 * std::cos(a), sx + len * std::sin(a), sy - len * std::cos(a), 2.2),
             Linear(sx, sy, Col(255, 250, 200), sx + len * std::sin(a), sy - len * std::cos(a), Col(255, 150, 40, 0.6)));
    }
    for (const auto& r : rays) {
        double a = r[0] * kPi / 180, len = r[1] * 0.8;
        Fill(c, Circle(sx + len * std::sin(a), sy - len * std::cos(a), 1.6), Col(255, 210, 90));
    }
    Fill(c, Star(sx, sy, 4, 11, 3, 0), Col(255, 255, 230));
    Fill(c, Circle(sx, sy, 3.5), Col(255, 255, 255));

    // The name.
    Mask word = CentredText(W, H, display, 50, "Weekforge", W / 2.0, 112, 1);
    Fill(c, Dilate(word, 3.2), Solid(kInk));
    Fill(c, word, Linear(0, 78, Col(255, 236, 140), 0, 114, Col(240, 120, 30)));
    DropShadow(c, 3, 3, 2, 0.45);
    WritePng(path, c);
}

// ---- the community site's badge -------------------------------------------
void SiteBadge(const std::string& path, Typeface* face) {
    const int S = 192;
    Canvas c(S, S);
    const double m = S / 2.0;
    Fill(c, Circle(m, m, 88), kInk);
    Fill(c, Circle(m, m, 85), Linear(0, 10, Col(120, 230, 220), 0, 180, Col(20, 110, 140)));
    Fill(c, Outline(Circle(m, m, 74), 3), Col(230, 255, 250), 0.85);
    // A monogram of two arches above the band.
    Shape mark = Union({Segment(62, 84, 62, 46, 11), Segment(62, 46, 96, 74, 11), Segment(96, 74, 130, 46, 11),
                        Segment(130, 46, 130, 84, 11)});
    Fill(c, Grow(mark, 3), kInk);
    Fill(c, mark, Linear(0, 40, Col(255, 255, 255), 0, 88, Col(200, 235, 240)));
    // Ribbon band across the lower half, tails folded behind.
    Fill(c, Polygon({{6, 104}, {30, 98}, {30, 138}, {6, 144}, {16, 124}}), Col(180, 40, 70));
    Fill(c, Polygon({{186, 104}, {162, 98}, {162, 138}, {186, 144}, {176, 124}}), Col(180, 40, 70));
    Shape band = Box(18, 96, 174, 136, 3);
    Fill(c, Grow(band, 2.5), kInk);
    Fill(c, band, Linear(0, 96, Col(255, 90, 110), 0, 136, Col(200, 40, 70)));
    Mask word = CentredText(S, S, face, 30, "Marrowby", m, 126, 0.5);
    Fill(c, Dilate(word, 1.6), Solid(Col(90, 10, 30)));
    Fill(c, word, Solid(Col(255, 255, 255)));
    // A few stars around the rim.
    for (int k = 0; k < 5; ++k) {
        double a = (-40 + k * 20) * kPi / 180;
        Fill(c, Star(m + 79 * std::sin(a + kPi), m - 79 * std::cos(a + kPi), 5, 5, 2.2, 0), Col(255, 250, 200));
    }
    DropShadow(c, 3, 3, 2, 0.4);
    WritePng(path, c);
}

// ---- the game's title ------------------------------------------------------
// "Flingo" in fat, bouncing letters, each in one of the ball colours, with
// three balls flying on an arc around the word.
void GameLogo(const std::string& path, Typeface* face) {
    const int W = 512, H = 192;
    Canvas c(W, H);
    const std::string word = "Flingo";
    const double px = 118, tracking = 7;
    const Rgba colours[6] = {Col(250, 100, 100), Col(250, 200, 100), Col(150, 250, 150),
                             Col(100, 200, 250), Col(200, 150, 250), Col(250, 150, 200)};

    // Juggling arc behind the word: a dotted trail.
    for (int k = 0; k <= 36; ++k) {
        double t = k / 36.0;
        double a = (-78 + 156 * t) * kPi / 180;
        double x = W / 2.0 + 228 * std::sin(a), y = 156 - 132 * std::cos(a);
        if (k % 3 != 0) Fill(c, Circle(x, y, 2.2), Col(255, 255, 255), 0.55);
    }

    double total = TextWidth(face, px, word, tracking);
    double pen = W / 2.0 - total / 2;
    Canvas letters(W, H);
    for (size_t i = 0; i < word.size(); ++i) {
        std::string ch(1, word[i]);
        double adv = TextWidth(face, px, ch);
        double bounce = (i % 2 == 0) ? -6 : 6;
        double tilt = (i % 2 == 0) ? -5 : 5;
        Mask m(W, H);
        DrawText(m, face, px, ch, pen, 146 + bounce, 0, tilt);
        Canvas one(W, H);
        Fill(one, Dilate(m, 5.5), Solid(kInk));
        Fill(one, Dilate(m, 2.2), Solid(Col(255, 255, 255)));
        const Rgba& col = colours[i % 6];
        Fill(one, m, Linear(0, 60 + bounce, Mix(col, Col(255, 255, 255), 0.45), 0, 150 + bounce, col));
        // A glossy highlight on the upper part of each letter.
        Mask gloss = m;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) gloss.Ref(x, y) *= float(y < 88 + bounce ? 0.35 : 0.0);
        Fill(one, gloss, Solid(Col(255, 255, 255)));
        Compose(letters, one, 0, 0);
        pen += adv + tracking;
    }
    DropShadow(letters, 5, 6, 3, 0.5);
    Compose(c, letters, 0, 0);

    // Three balls on the arc: two above the ends of the word, one at the top.
    struct BallAt {
        double deg, r;
        Rgba col;
    };
    const BallAt balls[3] = {{-62, 16, Col(250, 100, 100)}, {0, 17, Col(250, 250, 100)}, {62, 16, Col(100, 200, 250)}};
    for (const BallAt& b : balls) {
        double a = b.deg * kPi / 180;
        double x = W / 2.0 + 228 * std::sin(a), y = 156 - 132 * std::cos(a);
        Fill(c, Circle(x + 3, y + 4, b.r), Col(0, 0, 0), 0.35);
        Fill(c, Circle(x, y, b.r + 3), kInk);
        Fill(c, Circle(x, y, b.r), Radial(x - b.r * 0.35, y - b.r * 0.4, b.r * 1.4, Mix(b.col, Col(255, 255, 255), 0.7), b.col));
        Fill(c, Ellipse(x - b.r * 0.35, y - b.r * 0.45, b.r * 0.32, b.r * 0.2), Col(255, 255, 255), 0.8);
    }
    WritePng(path, c);
}

}  // namespace

void WriteCommonLogos(const std::string& commonDir) {
    EngineLogo(commonDir + "/logo.png", LoadTypeface(commonDir + "/Blue Highway.ttf"));
    SiteBadge(commonDir + "/Marrowby.png", LoadTypeface(commonDir + "/SVBasicManual.ttf"));
}

void WriteGameLogo(const std::string& gameDir, const std::string& commonDir) {
    GameLogo(gameDir + "/logo.png", LoadTypeface(commonDir + "/SVBasicManual.ttf"));
}

}  // namespace assetgen
