// output.h — writing the generated files: every file goes to a temporary name
// in its target folder and is renamed into place, so an interrupted build
// never leaves half a file behind. Failures are reported by Fail(), which
// prints the reason and ends the generator with a non-zero exit status.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/assetgen/raster.h"

namespace assetgen {

[[noreturn]] void Fail(const std::string& why);

// Creates the folder and any missing parents.
void MakeDirs(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteText(const std::string& path, const std::string& text);
std::vector<uint8_t> ReadBytes(const std::string& path);  // Fail()s when unreadable

// RGBA PNG without time or text chunks: the same canvas gives the same bytes.
void WritePng(const std::string& path, const Canvas& c);

// Mono 16-bit PCM WAV. Samples are -1..1 and are clipped there.
void WriteWav(const std::string& path, const std::vector<float>& samples, int rate);

// Ogg Vorbis (variable bit rate at the given quality, -0.1..1). A fixed stream
// serial number keeps the file identical from run to run.
void WriteOgg(const std::string& path, const std::vector<float>& left, const std::vector<float>& right,
              int rate, float quality);

}  // namespace assetgen
