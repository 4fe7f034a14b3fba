// bench_pacing — how evenly Flip(-1) paces a real window at 60 Hz, for each
// renderer, with cheap frames and with frames that cost 10 ms of work.
// Prints the frame count over two seconds and the spread of the intervals.
// Needs an X display (DISPLAY); without one it says so and exits.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl/sdl_video.h"

namespace {

using Clock = std::chrono::steady_clock;

void Measure(int renderer, int workMs) {
    SelectRenderer(renderer);
    if (!Graphics(800, 600, 0, 60)) {
        std::printf("renderer %d: could not open a window\n", renderer);
        return;
    }
    std::vector<double> intervals;  // ms between the ends of two flips
    const auto start = Clock::now();
    auto last = start;
    while (Clock::now() - start < std::chrono::seconds(2)) {
        Cls();
        DrawRect(10, 10, 100, 100);
        if (workMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(workMs));
        Flip(-1);
        const auto now = Clock::now();
        intervals.push_back(std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
    }
    intervals.erase(intervals.begin());  // the first interval starts at Graphics
    std::vector<double> sorted = intervals;
    std::sort(sorted.begin(), sorted.end());
    double sum = 0;
    for (double v : intervals) sum += v;
    const auto pct = [&](double p) { return sorted[static_cast<size_t>(p * (sorted.size() - 1))]; };
    std::printf("renderer %d (%s), %2d ms work: %5.1f frames/s, interval mean %6.2f ms, "
                "min %6.2f, median %6.2f, p99 %6.2f, max %6.2f\n",
                CurrentRenderer(), plat::SdlPresentPath().c_str(), workMs,
                intervals.size() / (sum / 1000.0), sum / intervals.size(), sorted.front(),
                pct(0.5), pct(0.99), sorted.back());
    EndGraphics();
}

}  // namespace

int main() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        std::printf("bench_pacing: no DISPLAY, nothing measured\n");
        return 0;
    }
    PlatformInit();
    SetWindowCaption("Flingo pacing bench");
    for (int renderer : {RendererOpenGL, RendererSoftware})
        for (int work : {0, 10}) Measure(renderer, work);
    for (std::string n = NextPlatformNote(); !n.empty(); n = NextPlatformNote())
        std::printf("note:%s\n", n.c_str());
    EndProgram(0);
}
