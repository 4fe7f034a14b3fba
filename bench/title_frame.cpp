// bench_title_frame — the title screen's own frame (backdrop, logo, score
// board, panel, texts) with the software renderer, 800 × 600, headless: the
// real start-up into the real title loop, timed by the wall clock between
// flips once the slide-in is over.
//
// Two figures: the title as it is (an unchanged frame is recognised and not
// filled again; only the blinking corner note changes), and the same frames
// with the backdrop's colour nudged before each one, so every frame differs
// and is filled in full (the cost of an animated title frame).
//
// Usage: bench_title_frame [frames] [asset folder]   (default: 300, ../Files
// beside this program)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/app.h"
#include "bench/asset_tree.h"
#include "app/title.h"
#include "draw/draw.h"
#include "framework/setup.h"
#include "platform/headless/headless.h"

namespace fs = std::filesystem;

namespace {

// Milliseconds per title frame over `frames` frames after the slide-in.
double TitleMs(const fs::path& assets, const fs::path& root, int frames, bool nudge) {
    fs::remove_all(root / "Files");
    fs::copy(assets, root / "Files", fs::copy_options::recursive);
    std::ofstream(root / "Files" / "Setup.ini") << "[Graphics]\nFullscreen = False\nGFX Engine = DX9\n";
    fs::current_path(root);
    UseHeadlessPlatform();
    constexpr int Settle = 40;  // the slide-in takes 32 frames
    std::chrono::steady_clock::time_point start;
    double ms = 0;
    const int before = TitleFramesShown;  // counts over the whole process
    HeadlessOnFlip([&](int) {
        const int shown = TitleFramesShown - before;
        if (shown == Settle) start = std::chrono::steady_clock::now();
        if (shown == Settle + frames && ms == 0) {
            ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count() / frames;
            HeadlessCloseRequest();
            HeadlessKey(27, true);
        }
        // Eases back to the target within the next frame: a different list.
        if (nudge && shown >= Settle) BackdropColor[0] = BackdropTarget[0] + ((shown & 1) ? 0.01f : 0.0f);
    });
    try {
        Main();
    } catch (const ProgramEnded&) {
    }
    HeadlessOnFlip(nullptr);
    HeadlessKey(27, false);
    CloseLog();
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    fs::path assets, root;
    if (!AssetTreeAndScratch(argc > 2 ? argv[2] : nullptr, &assets, &root)) return 1;
    const double still = TitleMs(assets, root, frames, false);
    const double redrawn = TitleMs(assets, root, frames, true);
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(root);
    std::printf("title frame, software renderer, 800x600, %d frames: %.3f ms/frame as shown, "
                "%.3f ms/frame filled every frame\n",
                frames, still, redrawn);
    return 0;
}
