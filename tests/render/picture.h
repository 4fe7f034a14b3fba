// picture.h — pictures for the render tests: the headless back buffer read
// back, comparison within a stated tolerance, and on failure the actual,
// expected and difference pictures saved as PNG under the test's temp folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace rtest {

struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> px;
    Picture() = default;
    Picture(int w, int h, uint32_t fill = 0xFF000000u) : width(w), height(h), px(size_t(w) * h, fill) {}
    uint32_t& at(int x, int y) { return px[size_t(y) * width + x]; }
    uint32_t at(int x, int y) const { return px[size_t(y) * width + x]; }
    void Fill(int x0, int y0, int w, int h, uint32_t c) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) at(x, y) = c;
    }
};

inline int Red(uint32_t c) { return (c >> 16) & 0xFF; }
inline uint32_t Rgb(int r, int g, int b) { return 0xFF000000u | (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b); }

inline void OpenWindow(int w, int h) {
    UseHeadlessPlatform();
    ASSERT_TRUE(Graphics(w, h, 0, 60));
    AutoMidHandle(false);
}

inline Picture BackBuffer() {
    Pixmap pm = GrabPixmap(0, 0, GraphicsWidth(), GraphicsHeight());
    Picture p(PixmapWidth(pm), PixmapHeight(pm));
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) p.at(x, y) = ReadPixel(pm, x, y);
    return p;
}

inline Pixmap ToPixmap(const Picture& p) {
    Pixmap pm = CreatePixmap(p.width, p.height);
    for (int i = 0; i < p.width * p.height; ++i) WritePixel(pm, i % p.width, i / p.width, p.px[i]);
    return pm;
}

// A path in this test's temporary folder, unique to the test.
inline std::string TempPath(const std::string& name) {
    std::string dir = ::testing::TempDir() + "flingo_render/";
    std::filesystem::create_directories(dir);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return dir + info->test_suite_name() + "." + info->name() + "_" + name;
}

inline int CountPixels(const Picture& p, uint32_t color) {
    int n = 0;
    for (uint32_t c : p.px) n += c == color;
    return n;
}

// Every channel of every pixel within `tolerance`.
inline ::testing::AssertionResult SamePicture(const Picture& actual, const Picture& expected,
                                              int tolerance, const std::string& label) {
    if (actual.px.size() != expected.px.size())
        return ::testing::AssertionFailure() << label << ": pictures of different sizes";
    int bad = 0, first = -1;
    Picture diff(actual.width, actual.height);
    for (size_t i = 0; i < actual.px.size(); ++i) {
        int d = 0;
        for (int s = 0; s < 32; s += 8)
            d = std::max(d, std::abs(int((actual.px[i] >> s) & 0xFF) - int((expected.px[i] >> s) & 0xFF)));
        if (d > tolerance && bad++ == 0) first = int(i);
        diff.px[i] = d > tolerance ? 0xFFFF00FFu : 0xFF000000u;
    }
    if (bad == 0) return ::testing::AssertionSuccess();
    SavePixmapPNG(ToPixmap(actual), TempPath(label + "_actual.png"));
    SavePixmapPNG(ToPixmap(expected), TempPath(label + "_expected.png"));
    SavePixmapPNG(ToPixmap(diff), TempPath(label + "_difference.png"));
    return ::testing::AssertionFailure()
           << label << ": " << bad << " pixels off by more than " << tolerance << ", first at ("
           << first % actual.width << ", " << first / actual.width << "); saved as "
           << TempPath(label + "_*.png");
}

}  // namespace rtest
