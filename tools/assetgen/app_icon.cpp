// app_icon.cpp — the game's own icon: three balls thrown in an arc over the
// bar, on a dark rounded square. The window shows it ("283/flingo.png") and
// the desktop menus use the same picture at the sizes of the icon theme.
//
// The picture is laid out on a 64-unit square and drawn afresh at each size
// (shapes are distance functions), so small sizes stay sharp instead of being
// scaled down from a large one.
#include <string>

#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/output.h"
#include "tools/assetgen/raster.h"

namespace assetgen {

namespace {

constexpr int kWindowIconSize = 64;

Canvas DrawAppIcon(int size) {
    const double u = size / 64.0;  // pixels per layout unit
    Canvas c(size, size);
    const Shape plate = Box(2 * u, 2 * u, 62 * u, 62 * u, 12 * u);
    Fill(c, plate, Linear(0, 2 * u, Col(58, 52, 124), 0, 62 * u, Col(18, 16, 46)));
    // The balls' path, faint, from the bar up and over.
    Fill(c, Arc(32 * u, 31.1 * u, 16.1 * u, 2.2 * u, -105, 105), Col(255, 255, 255), 0.18);
    struct Ball {
        double x, y;
        Rgba colour;
    };
    for (const Ball& b : {Ball{16, 33, Col(236, 70, 64)}, Ball{32, 15, Col(250, 204, 46)},
                          Ball{48, 33, Col(64, 176, 250)}}) {
        const double r = 7.5 * u;
        FillOutlined(c, Circle(b.x * u, b.y * u, r),
                     Radial((b.x - 2.5) * u, (b.y - 2.5) * u, r * 1.6, Col(255, 255, 255), b.colour),
                     Col(12, 12, 22), 1.0 * u);
    }
    FillOutlined(c, Box(12 * u, 49 * u, 52 * u, 55 * u, 3 * u),
                 Linear(0, 49 * u, Col(255, 255, 255), 0, 55 * u, Col(176, 182, 196)),
                 Col(12, 12, 22), 1.0 * u);
    return c;
}

}  // namespace

void WriteAppIcons(const std::string& gameDir, const std::string& themeDir) {
    WritePng(gameDir + "/flingo.png", DrawAppIcon(kWindowIconSize));
    if (themeDir.empty()) return;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const std::string dir =
            themeDir + "/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps";
        MakeDirs(dir);
        WritePng(dir + "/flingo.png", DrawAppIcon(size));
    }
}

}  // namespace assetgen
