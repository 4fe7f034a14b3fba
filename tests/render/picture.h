// picture.h — small pictures for the render tests: the headless back buffer
// read back, pixels built by hand, exact or tolerant comparison, and on a
// failed comparison the actual, expected and difference pictures saved as
// PNG files under the test's temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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
            for (int x = x0; x < x0 + w; ++x)
                if (x >= 0 && y >= 0 && x < width && y < height) at(x, y) = c;
    }
};

inline int Red(uint32_t c) { return (c >> 16) & 0xFF; }
inline int Green(uint32_t c) { return (c >> 8) & 0xFF; }
inline int Blue(uint32_t c) { return c & 0xFF; }
inline int Alpha(uint32_t c) { return (c >> 24) & 0xFF; }
inline uint32_t Rgb(int r, int g, int b) { return 0xFF000000u | (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b); }

// A fresh headless platform with a window of w × h (virtual area the same).
inline void OpenWindow(int w, int h) {
    UseHeadlessPlatform();
    ASSERT_TRUE(Graphics(w, h, 0, 60));
}

inline Picture BackBuffer() {
    Picture p;
    Pixmap pm = GrabPixmap(0, 0, GraphicsWidth(), GraphicsHeight());
    if (!pm) return p;
    p = Picture(PixmapWidth(pm), PixmapHeight(pm));
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) p.at(x, y) = ReadPixel(pm, x, y);
    return p;
}

inline Pixmap ToPixmap(const Picture& p) {
    Pixmap pm = CreatePixmap(p.width, p.height);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) WritePixel(pm, x, y, p.at(x, y));
    return pm;
}

inline std::string TempFolder() {
    std::string dir = ::testing::TempDir() + "flingo_render/";
    std::filesystem::create_directories(dir);
    return dir;
}

inline std::string TestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "test";
    for (char& c : name)
        if (c == '/') c = '_';
    return name;
}

// A file of this test's own in the scratch folder.
inline std::string TempPath(const std::string& name) {
    return TempFolder() + TestName() + "_" + name;
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Largest per-channel difference of two pixels.
inline int ChannelDiff(uint32_t a, uint32_t b) {
    int d = 0;
    for (int s = 0; s < 32; s += 8) d = std::max(d, std::abs(int((a >> s) & 0xFF) - int((b >> s) & 0xFF)));
    return d;
}

// Every channel of every pixel within `tolerance`; on failure the three
// pictures go to TempFolder() named after the test and `label`.
inline ::testing::AssertionResult SamePicture(const Picture& actual, const Picture& expected,
                                              int tolerance, const std::string& label) {
    if (actual.width != expected.width || actual.height != expected.height)
        return ::testing::AssertionFailure()
               << label << ": size " << actual.width << "x" << actual.height << ", expected "
               << expected.width << "x" << expected.height;
    int bad = 0, firstX = -1, firstY = -1, worst = 0;
    Picture diff(actual.width, actual.height);
    for (int y = 0; y < actual.height; ++y)
        for (int x = 0; x < actual.width; ++x) {
            int d = ChannelDiff(actual.at(x, y), expected.at(x, y));
            if (d > tolerance) {
                if (bad++ == 0) firstX = x, firstY = y;
                worst = std::max(worst, d);
                diff.at(x, y) = 0xFFFF00FFu;
            } else {
                diff.at(x, y) = 0xFF000000u | (uint32_t(d * 8 > 255 ? 255 : d * 8) << 8);
            }
        }
    if (bad == 0) return ::testing::AssertionSuccess();
    std::string base = TempFolder() + TestName() + "_" + label;
    SavePixmapPNG(ToPixmap(actual), base + "_actual.png");
    SavePixmapPNG(ToPixmap(expected), base + "_expected.png");
    SavePixmapPNG(ToPixmap(diff), base + "_difference.png");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%08X vs %08X", actual.at(firstX, firstY), expected.at(firstX, firstY));
    return ::testing::AssertionFailure()
           << label << ": " << bad << " pixels differ by more than " << tolerance << " (worst "
           << worst << "), first at (" << firstX << ", " << firstY << "): " << buf
           << "; pictures saved as " << base << "_*.png";
}

inline int CountPixels(const Picture& p, uint32_t color) {
    int n = 0;
    for (uint32_t c : p.px) n += c == color;
    return n;
}

}  // namespace rtest
