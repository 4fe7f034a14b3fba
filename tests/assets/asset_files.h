// asset_files.h — readers the asset checks share: PNG pixels through libpng,
// WAV headers and samples by hand, paths into the generated tree.
#pragma once

#include <png.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace assets_test {

inline std::string FilesDir() { return std::string(FLINGO_BUILD_DIR) + "/Files"; }
inline std::string CommonDir() { return FilesDir() + "/Common"; }
inline std::string GameDir() { return FilesDir() + "/283"; }
inline std::string MusicDir() { return GameDir() + "/music"; }

inline std::vector<uint8_t> Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return {};
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

// An RGBA picture as stored (8 bits per channel, straight alpha).
struct Picture {
    int w = 0, h = 0;
    bool hasAlpha = false;
    int bitDepth = 0;
    std::vector<uint8_t> px;
    bool ok() const { return w > 0 && h > 0 && px.size() == size_t(w) * h * 4; }
    const uint8_t* At(int x, int y) const { return &px[(size_t(y) * w + x) * 4]; }
    int Alpha(int x, int y) const { return At(x, y)[3]; }
};

// Decodes the file to RGBA; keeps whether the stored picture has alpha and
// its bit depth. Returns a picture with ok() false when the file is missing
// or not a PNG.
inline Picture ReadPng(const std::string& path) {
    Picture pic;
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) return pic;
    pic.hasAlpha = (img.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    pic.bitDepth = (img.format & PNG_FORMAT_FLAG_LINEAR) ? 16 : 8;
    img.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> px(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, px.data(), 0, nullptr)) {
        png_image_free(&img);
        return pic;
    }
    pic.w = int(img.width);
    pic.h = int(img.height);
    pic.px = std::move(px);
    return pic;
}

// A cell of a strip, as its own picture.
inline Picture Cell(const Picture& strip, int cellW, int cellH, int index) {
    Picture c;
    c.w = cellW;
    c.h = cellH;
    c.px.resize(size_t(cellW) * cellH * 4);
    int perRow = strip.w / cellW;
    int ox = (index % perRow) * cellW, oy = (index / perRow) * cellH;
    for (int y = 0; y < cellH; ++y)
        for (int x = 0; x < cellW; ++x)
            for (int k = 0; k < 4; ++k) c.px[(size_t(y) * cellW + x) * 4 + k] = strip.At(ox + x, oy + y)[k];
    return c;
}

// Pixels with alpha at least this much.
inline int CountOpaque(const Picture& p, int minAlpha = 128) {
    int n = 0;
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) n += p.Alpha(x, y) >= minAlpha;
    return n;
}

// Alpha-weighted centre of the picture, in pixel-centre coordinates.
inline void AlphaCentre(const Picture& p, double& cx, double& cy) {
    double sum = 0, sx = 0, sy = 0;
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            double a = p.Alpha(x, y);
            sum += a;
            sx += a * (x + 0.5);
            sy += a * (y + 0.5);
        }
    cx = sum > 0 ? sx / sum : -1;
    cy = sum > 0 ? sy / sum : -1;
}

// A parsed WAV file: its format fields and its 16-bit samples.
struct WavFile {
    bool parsed = false;
    std::string error;
    int format = 0, channels = 0, rate = 0, bits = 0;
    std::vector<int16_t> samples;
    double Seconds() const { return rate > 0 && channels > 0 ? double(samples.size()) / channels / rate : 0; }
};

inline uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
inline uint16_t Le16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

// Walks the RIFF chunks the way a strict loader would: the sizes must add up.
inline WavFile ReadWav(const std::string& path) {
    WavFile w;
    std::vector<uint8_t> b = Slurp(path);
    if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF" ||
        std::string(b.begin() + 8, b.begin() + 12) != "WAVE") {
        w.error = "not a RIFF WAVE file";
        return w;
    }
    if (Le32(b, 4) + 8 != b.size()) {
        w.error = "RIFF size does not match the file";
        return w;
    }
    bool haveFmt = false;
    size_t at = 12;
    while (at + 8 <= b.size()) {
        std::string tag(b.begin() + long(at), b.begin() + long(at) + 4);
        uint32_t len = Le32(b, at + 4);
        if (at + 8 + len > b.size()) {
            w.error = "chunk " + tag + " runs past the end";
            return w;
        }
        if (tag == "fmt " && len >= 16) {
            w.format = Le16(b, at + 8);
            w.channels = Le16(b, at + 10);
            w.rate = int(Le32(b, at + 12));
            w.bits = Le16(b, at + 22);
            haveFmt = true;
        } else if (tag == "data") {
            if (!haveFmt) {
                w.error = "data before fmt";
                return w;
            }
            for (uint32_t i = 0; i + 1 < len; i += 2) w.samples.push_back(int16_t(Le16(b, at + 8 + i)));
            w.parsed = true;
        }
        at += 8 + len + (len & 1);
    }
    if (!w.parsed) w.error = "no data chunk";
    return w;
}

}  // namespace assets_test
