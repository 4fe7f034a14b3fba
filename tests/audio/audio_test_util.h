// audio_test_util.h — sound files written by the tests themselves, and small
// measurements of mixed output (zero crossings, peaks).
#pragma once

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/audio/test_hooks.h"
#include "platform/backend.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace audiotest {

inline void PutLe16(std::string& s, unsigned v) {
    s += char(v & 0xFF);
    s += char((v >> 8) & 0xFF);
}
inline void PutLe32(std::string& s, uint32_t v) {
    PutLe16(s, v & 0xFFFF);
    PutLe16(s, v >> 16);
}

inline std::string Chunk(const std::string& id, const std::string& body) {
    std::string c = id;
    PutLe32(c, uint32_t(body.size()));
    c += body;
    if (body.size() & 1) c += '\0';
    return c;
}

inline std::string FmtBody(int channels, int rate, int bits, int tag = 1) {
    std::string f;
    PutLe16(f, unsigned(tag));
    PutLe16(f, unsigned(channels));
    PutLe32(f, uint32_t(rate));
    PutLe32(f, uint32_t(rate * channels * bits / 8));
    PutLe16(f, unsigned(channels * bits / 8));
    PutLe16(f, unsigned(bits));
    return f;
}

// PCM body from interleaved int16 values, as 16-bit or 8-bit unsigned samples.
inline std::string DataBody(const std::vector<int16_t>& samples, int bits) {
    std::string d;
    for (int16_t s : samples) {
        if (bits == 8) d += char(uint8_t((s >> 8) + 128));
        else PutLe16(d, uint16_t(s));
    }
    return d;
}

inline std::string Riff(const std::string& chunks) {
    std::string r = "RIFF";
    PutLe32(r, uint32_t(4 + chunks.size()));
    return r + "WAVE" + chunks;
}

inline std::string WavBytes(const std::vector<int16_t>& samples, int channels, int rate, int bits) {
    return Riff(Chunk("fmt ", FmtBody(channels, rate, bits)) + Chunk("data", DataBody(samples, bits)));
}

// A folder of its own per test program run, removed by nobody (under /tmp).
inline std::string TempDir() {
    static std::string dir = [] {
        char pattern[] = "/tmp/flingo-audio-XXXXXX";
        const char* made = mkdtemp(pattern);
        return std::string(made ? made : "/tmp");
    }();
    return dir;
}

inline std::string WriteBytes(const std::string& name, const std::string& bytes) {
    std::string path = TempDir() + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

// frames of a sine at `hz`, amplitude `amp`, same on every channel.
inline std::vector<int16_t> Sine(double hz, int rate, int frames, int channels = 1,
                                 double amp = 16000) {
    std::vector<int16_t> s;
    for (int i = 0; i < frames; ++i) {
        auto v = int16_t(std::lround(amp * std::sin(2 * M_PI * hz * i / rate)));
        for (int c = 0; c < channels; ++c) s.push_back(v);
    }
    return s;
}

inline std::vector<int16_t> Constant(int16_t value, int frames, int channels = 1) {
    return std::vector<int16_t>(size_t(frames) * channels, value);
}

inline Sound WavSound(const std::string& name, const std::vector<int16_t>& samples, int channels,
                      int rate, int flags = 0, int bits = 16) {
    return LoadSound(WriteBytes(name, WavBytes(samples, channels, rate, bits)), flags);
}

// One side (0 left, 1 right) of interleaved stereo output.
inline std::vector<int> Side(const std::vector<int16_t>& stereo, int side) {
    std::vector<int> out;
    for (size_t i = size_t(side); i < stereo.size(); i += 2) out.push_back(stereo[i]);
    return out;
}

inline int CountRisingZeroCrossings(const std::vector<int>& v) {
    int n = 0;
    for (size_t i = 1; i < v.size(); ++i)
        if (v[i - 1] < 0 && v[i] >= 0) ++n;
    return n;
}

inline int Peak(const std::vector<int>& v) {
    int p = 0;
    for (int x : v) p = std::max(p, std::abs(x));
    return p;
}

}  // namespace audiotest
