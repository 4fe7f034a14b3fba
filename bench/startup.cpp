// bench_startup — wall-clock cost of the whole start-up on the headless back
// ends: log, setup file, display, every font, image and sound of the asset
// tree, the scores, up to the first frame of the home loop. The 2.5 s loading
// hold runs on the virtual clock and costs nothing here.
//
// Usage: bench_startup [runs] [asset folder]   (default: 10, ../Files beside
// this program, which is where the build writes the generated tree)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app.h"
#include "bench/asset_tree.h"
#include "framework/game_info.h"
#include "framework/setup.h"
#include "platform/headless/headless.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    fs::path assets, root;
    if (!AssetTreeAndScratch(argc > 2 ? argv[2] : nullptr, &assets, &root)) return 1;

    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        fs::remove_all(root / "Files");
        fs::copy(assets, root / "Files", fs::copy_options::recursive);
        fs::current_path(root);
        HeadlessConfig config;
        config.openGLAvailable = true;
        UseHeadlessPlatform(config);
        auto start = std::chrono::steady_clock::now();
        double firstFrame = 0;
        // The first frame after loading ends the run through the close request.
        HeadlessOnFlip([&](int) {
            if (MouseMode == 1 && firstFrame == 0) {
                firstFrame = std::chrono::duration<double, std::milli>(
                                 std::chrono::steady_clock::now() - start).count();
                HeadlessCloseRequest();
                HeadlessKey(65, true);
            }
        });
        try {
            Main();
        } catch (const ProgramEnded&) {
        }
        HeadlessOnFlip(nullptr);
        HeadlessKey(65, false);
        CloseLog();
        ms.push_back(firstFrame);
    }
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(root);

    std::sort(ms.begin(), ms.end());
    std::printf("start-up to the first home frame, %d runs: min %.1f ms, median %.1f ms, max %.1f ms\n",
                runs, ms.front(), ms[ms.size() / 2], ms.back());
    return 0;
}
