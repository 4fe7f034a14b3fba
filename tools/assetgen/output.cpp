// output.cpp — file writers of the asset generator (PNG, WAV, Ogg Vorbis).
#include "tools/assetgen/output.h"

#include <png.h>
#include <vorbis/vorbisenc.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace assetgen {

void Fail(const std::string& why) {
    std::cerr << "assetgen: " << why << "\n";
    std::exit(1);
}

void MakeDirs(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec) Fail("cannot create folder " + path + ": " + ec.message());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::string tmp = path + ".part";
    {
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        if (!f) Fail("cannot write " + tmp + ": " + std::strerror(errno));
        f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        f.close();
        if (!f) Fail("cannot write " + tmp + ": " + std::strerror(errno));
    }
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    if (ec) Fail("cannot rename " + tmp + " to " + path + ": " + ec.message());
}

void WriteText(const std::string& path, const std::string& text) {
    WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) Fail("cannot read " + path + ": " + std::strerror(errno));
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

namespace {
void PngAppend(png_structp png, png_bytep data, png_size_t len) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + len);
}
void PngFlush(png_structp) {}
void PngError(png_structp, png_const_charp msg) { Fail(std::string("PNG encoder: ") + msg); }
void PngWarning(png_structp, png_const_charp) {}
}  // namespace

void WritePng(const std::string& path, const Canvas& c) {
    std::vector<uint8_t> rgba = ToRgba8(c);
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    if (!png) Fail("PNG encoder unavailable");
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, PngAppend, PngFlush);
    png_set_IHDR(png, info, png_uint_32(c.w), png_uint_32(c.h), 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    for (int y = 0; y < c.h; ++y) png_write_row(png, rgba.data() + size_t(y) * c.w * 4);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    WriteBytes(path, out);
}

namespace {
void Put16(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    Put16(v, x & 0xffff);
    Put16(v, x >> 16);
}
void PutTag(std::vector<uint8_t>& v, const char* tag) { v.insert(v.end(), tag, tag + 4); }
}  // namespace

void WriteWav(const std::string& path, const std::vector<float>& samples, int rate) {
    std::vector<uint8_t> v;
    uint32_t dataBytes = uint32_t(samples.size() * 2);
    PutTag(v, "RIFF");
    Put32(v, 36 + dataBytes);
    PutTag(v, "WAVE");
    PutTag(v, "fmt ");
    Put32(v, 16);
    Put16(v, 1);  // PCM
    Put16(v, 1);  // mono
    Put32(v, uint32_t(rate));
    Put32(v, uint32_t(rate) * 2);  // bytes per second
    Put16(v, 2);                   // bytes per frame
    Put16(v, 16);                  // bits per sample
    PutTag(v, "data");
    Put32(v, dataBytes);
    for (float s : samples) {
        double c = std::fmax(-1.0, std::fmin(1.0, double(s)));
        Put16(v, uint32_t(uint16_t(int16_t(std::lround(c * 32767)))));
    }
    WriteBytes(path, v);
}

void WriteOgg(const std::string& path, const std::vector<float>& left, const std::vector<float>& right,
              int rate, float quality) {
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, 2, rate, quality) != 0) Fail("Vorbis encoder refused its settings");
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 0x466c6e67);  // fixed serial: no per-run difference
    std::vector<uint8_t> out;
    auto takePage = [&](ogg_page& og) {
        out.insert(out.end(), og.header, og.header + og.header_len);
        out.insert(out.end(), og.body, og.body + og.body_len);
    };
    ogg_packet hdr, hdrComm, hdrCode;
    vorbis_analysis_headerout(&vd, &vc, &hdr, &hdrComm, &hdrCode);
    ogg_stream_packetin(&os, &hdr);
    ogg_stream_packetin(&os, &hdrComm);
    ogg_stream_packetin(&os, &hdrCode);
    ogg_page og;
    while (ogg_stream_flush(&os, &og) != 0) takePage(og);

    const size_t total = left.size();
    const size_t chunk = 1024;
    size_t pos = 0;
    bool eos = false;
    while (!eos) {
        size_t n = std::min(chunk, total - pos);
        if (n == 0) {
            vorbis_analysis_wrote(&vd, 0);
        } else {
            float** buf = vorbis_analysis_buffer(&vd, int(n));
            for (size_t i = 0; i < n; ++i) {
                buf[0][i] = left[pos + i];
                buf[1][i] = right[pos + i];
            }
            vorbis_analysis_wrote(&vd, int(n));
            pos += n;
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &og) != 0) {
                    takePage(og);
                    if (ogg_page_eos(&og)) eos = true;
                }
            }
        }
        if (n == 0 && !eos) {
            // The encoder has drained; flush whatever remains.
            while (ogg_stream_flush(&os, &og) != 0) takePage(og);
            eos = true;
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    WriteBytes(path, out);
}

}  // namespace assetgen
