// soft_sprites — the software renderer on the engine test's frame, headless.
//
// Each frame: clear, 97 diagonal backdrop bands (rotated full-width
// rectangles, alpha blend at alpha 1), two logos at scale 1.5, then N sprites
// of a 16 × 16 masked, unfiltered image at scale 2 with a random rotation,
// colour black and alpha 1/255 (alpha blend), in a 1280 × 960 virtual area
// shown in an 800 × 600 window. The engine test draws its sprites at alpha 0,
// but the headless back end skips draws that change no pixel, so alpha 0
// would time nothing here; 1/255 takes the same span loop.
// Prints the average wall-clock time per frame.
//
// Usage: bench_soft_sprites [frames per count] (default 40)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

Image MakeImage(int w, int h, uint32_t seed) {
    Image img = CreateImage(w, h, 1, ImageMasked);
    Pixmap pm = CreatePixmap(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t v = (x * 2654435761u) ^ (y * 40503u) ^ seed;
            WritePixel(pm, x, y, (v & 1) ? 0 : (0xFF000000u | (v & 0xFFFFFF)));
        }
    UnlockImage(img, pm);
    MidHandleImage(img);
    return img;
}

void Backdrop() {
    SetRotation(-45);
    SetBlend(BlendAlpha);
    SetAlpha(1);
    int k = 25;
    for (int i = 0; i <= 960; i += 10) {
        ++k;
        SetColor(k * 0.2f, 0, k);
        DrawRect(-100, 3.0f * i, 1280 + 1800, 30);
    }
    SetRotation(0);
    SetColor(255, 255, 255);
}

double FrameMs(int sprites, int frames, const Image& icon, const Image& logoA, const Image& logoB) {
    auto start = std::chrono::steady_clock::now();
    for (int f = 0; f < frames; ++f) {
        Cls();
        Backdrop();
        SetScale(1.5f, 1.5f);
        DrawImage(logoA, 1280 * 0.3f, 960 * 0.3f);
        DrawImage(logoB, 1280 - 1280 * 0.3f, 960 - 960 * 0.3f);
        SetScale(1, 1);
        for (int n = 0; n <= sprites; ++n) {
            SetRotation(static_cast<float>(Rand(1, 360)));
            SetColor(0, 0, 0);
            SetAlpha(1.0f / 255);
            SetScale(2, 2);
            float y = static_cast<float>(Rand(1, 960));
            float x = static_cast<float>(Rand(1, 1280));
            DrawImage(icon, x, y);
        }
        SetRotation(0);
        SetScale(1, 1);
        SetAlpha(1);
        SetColor(255, 255, 255);
        Flip(0);
    }
    std::chrono::duration<double, std::milli> ms = std::chrono::steady_clock::now() - start;
    return ms.count() / frames;
}

}  // namespace

int main(int argc, char** argv) {
    int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;
    UseHeadlessPlatform();
    if (!Graphics(800, 600, 0, 60)) {
        std::printf("could not open the headless window\n");
        return 1;
    }
    SetVirtualResolution(1280, 960);
    Image icon = MakeImage(16, 16, 1);
    Image logoA = MakeImage(256, 128, 2), logoB = MakeImage(256, 128, 3);

    std::printf("software renderer, 800x600 window, 1280x960 virtual, %d frames each\n", frames);
    std::printf("backdrop and logos only: %.2f ms/frame\n", FrameMs(-1, frames, icon, logoA, logoB));
    for (int sprites : {2500, 5000, 10000, 20000}) {
        double ms = FrameMs(sprites, frames, icon, logoA, logoB);
        std::printf("%6d sprites: %7.2f ms/frame  (%.1f frames/s)\n", sprites, ms, 1000.0 / ms);
    }
    return 0;
}
