// png.cpp — PNG reading and writing through libpng.
//
// Reading uses libpng's simplified interface, which keeps its own error
// recovery: a damaged file makes png_image_* return 0 instead of longjmp-ing
// through our frames. Writing uses the full interface (the only one with a
// compression level); its error handler longjmps back into WriteRows, whose
// frame holds no C++ objects that need destructors.
#include <png.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "platform/image/image.h"

namespace plat {
namespace {

// Files larger than this are not pictures we would accept anyway: a PNG
// at the largest allowed size compresses to far less.
constexpr int64_t MaxPNGFileBytes = 512ll << 20;

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size <= 0 || size > MaxPNGFileBytes) return false;
    in.seekg(0, std::ios::beg);
    bytes.resize(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    return static_cast<std::streamoff>(in.gcount()) == size;
}

void SilentError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void SilentWarning(png_structp, png_const_charp) {}

// Runs libpng over rows already converted to bytes. Returns false on any
// libpng error. Nothing here owns memory across the setjmp.
bool WriteRows(FILE* file, png_bytepp rows, int width, int height, bool alpha, int level) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, SilentError, SilentWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, level);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool DecodePNGMemory(const uint8_t* data, size_t size, DecodedPicture& out) {
    if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) return false;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size)) {
        png_image_free(&image);
        return false;
    }
    // Check the header's size before anything is allocated for the pixels.
    if (!SaneImageSize(image.width, image.height)) {
        png_image_free(&image);
        return false;
    }
    bool hasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    DecodedPicture pic;
    pic.width = static_cast<int>(image.width);
    pic.height = static_cast<int>(image.height);
    pic.hasAlpha = hasAlpha;
    pic.pixels.resize(static_cast<size_t>(pic.width) * pic.height);
    const uint8_t* s = rgba.data();
    for (uint32_t& p : pic.pixels) {
        p = (uint32_t(s[3]) << 24) | (uint32_t(s[0]) << 16) | (uint32_t(s[1]) << 8) | s[2];
        s += 4;
    }
    png_image_free(&image);
    out = std::move(pic);
    return true;
}

bool DecodePNGFile(const std::string& path, DecodedPicture& out) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) return false;
    return DecodePNGMemory(bytes.data(), bytes.size(), out);
}

bool EncodePNGFile(const std::string& path, const uint32_t* argb, int width, int height,
                   int compression) {
    if (!argb || !SaneImageSize(width, height) || path.empty()) return false;
    if (compression < 0) compression = 0;
    if (compression > 9) compression = 9;

    const size_t count = static_cast<size_t>(width) * height;
    bool alpha = false;
    for (size_t i = 0; i < count && !alpha; ++i) alpha = (argb[i] >> 24) != 0xFF;
    const int channels = alpha ? 4 : 3;

    std::vector<uint8_t> bytes(count * channels);
    std::vector<png_bytep> rows(height);
    for (int y = 0; y < height; ++y) {
        uint8_t* d = bytes.data() + static_cast<size_t>(y) * width * channels;
        rows[y] = d;
        const uint32_t* s = argb + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            uint32_t p = s[x];
            *d++ = uint8_t(p >> 16);
            *d++ = uint8_t(p >> 8);
            *d++ = uint8_t(p);
            if (alpha) *d++ = uint8_t(p >> 24);
        }
    }

    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = WriteRows(file, rows.data(), width, height, alpha, compression);
    if (std::fflush(file) != 0 || std::ferror(file)) ok = false;
    if (std::fclose(file) != 0) ok = false;
    // A half-written picture is worse than none; but only a regular file is
    // removed (the path may name a device).
    struct stat st;
    if (!ok && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) std::remove(path.c_str());
    return ok;
}

}  // namespace plat
