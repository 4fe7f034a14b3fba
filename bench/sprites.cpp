// sprites — the engine frame through the public calls in a real window, with
// the OpenGL renderer and then the software renderer.
//
// Each frame: clear, 97 rotated backdrop bands, then N sprites of a 16 × 16
// image at scale 2 with a random rotation, colour black and alpha 0 (alpha
// blend), in a 1280 × 960 virtual area shown in an 800 × 600 window, Flip(0).
// For each renderer: N grows by 500 while the average frame over 30 frames
// stays within 1000/54 ms (maxN is the last that did), then N = 5000, 20000
// and 50000 are timed. Prints the SDL video driver and one line per renderer:
//   gl maxN=<n> ms@5000=<x> ms@20000=<y> ms@50000=<z>
//
// Usage: bench_sprites [frames per count (default 30)] [gl | soft: that one alone]
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/platform.h"

namespace {

Image MakeIcon() {
    Image img = CreateImage(16, 16, 1, ImageMasked);
    Pixmap pm = LockImage(img);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const uint32_t v = (x * 2654435761u) ^ (y * 40503u);
            WritePixel(pm, x, y, (v & 1) ? 0 : (0xFF000000u | (v & 0xFFFFFF)));
        }
    UnlockImage(img, pm);
    MidHandleImage(img);
    return img;
}

double FrameMs(int sprites, int frames, const Image& icon) {
    const auto start = std::chrono::steady_clock::now();
    for (int f = 0; f < frames; ++f) {
        Cls();
        SetRotation(-45);
        SetBlend(BlendAlpha);
        SetAlpha(1);
        int k = 25;
        for (int i = 0; i <= 960; i += 10) {
            ++k;
            SetColor(k / 5, 0, k);
            DrawRect(-100, 3.0f * i, 1280 + 1800, 30);
        }
        SetRotation(0);
        for (int n = 0; n < sprites; ++n) {
            SetRotation(static_cast<float>(Rand(1, 360)));
            SetColor(0, 0, 0);
            SetAlpha(0);
            SetScale(2, 2);
            SetBlend(BlendAlpha);
            const float x = static_cast<float>(Rand(1, 1280));
            const float y = static_cast<float>(Rand(1, 960));
            DrawImage(icon, x, y);
        }
        SetRotation(0);
        SetScale(1, 1);
        SetAlpha(1);
        SetColor(255, 255, 255);
        Flip(0);
    }
    const std::chrono::duration<double, std::milli> ms = std::chrono::steady_clock::now() - start;
    return ms.count() / frames;
}

bool Run(int renderer, const char* label, int frames) {
    SelectRenderer(renderer);
    if (!Graphics(800, 600) || CurrentRenderer() != renderer) {
        std::printf("%s: could not open an 800x600 window with this renderer\n", label);
        EndGraphics();
        return false;
    }
    SetVirtualResolution(1280, 960);
    Image icon = MakeIcon();
    FrameMs(100, 5, icon);  // first uploads and warm caches
    const double budget = 1000.0 / 54;
    int maxN = 0;
    for (int n = 500; n <= 200000; n += 500) {
        if (FrameMs(n, frames, icon) > budget) break;
        maxN = n;
    }
    const double a = FrameMs(5000, frames, icon);
    const double b = FrameMs(20000, frames, icon);
    const double c = FrameMs(50000, frames, icon);
    std::printf("%s maxN=%d ms@5000=%.2f ms@20000=%.2f ms@50000=%.2f\n", label, maxN, a, b, c);
    std::fflush(stdout);
    icon = Image();
    EndGraphics();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    PlatformInit();
    const char* driver = SDL_GetCurrentVideoDriver();
    std::printf("SDL video driver: %s; %d frames each\n", driver ? driver : "(none)", frames);
    const std::string only = argc > 2 ? argv[2] : "";
    const bool gl = only != "soft" && Run(0, "gl", frames);
    const bool soft = only != "gl" && Run(1, "soft", frames);
    return gl || soft ? 0 : 1;
}
