// image.cpp — images (frames of equal size with a hot spot) and pixmaps.
//
// An image keeps one texture per frame. Frames are cut from a picture file
// or made blank; the renderers read the texture pixels directly and upload
// them again whenever Texture::generation changes.
#include <algorithm>
#include <cstring>

#include "platform/image/image.h"

namespace {

bool autoMidHandle = false;

int NormaliseFlags(int flags) {
    if (flags == ImageDefault) return ImageMasked | ImageFiltered;
    return flags & (ImageMasked | ImageFiltered | ImageDynamic);
}

int64_t FrameBytes(const plat::Texture& t) {
    return static_cast<int64_t>(t.pixels.size()) * 4;
}

// Wraps finished frames into an image, with the hot spot the current
// AutoMidHandle setting asks for.
Image MakeImage(int width, int height, int flags, std::vector<plat::TexturePtr> frames) {
    auto img = std::make_shared<ImageData>();
    img->width = width;
    img->height = height;
    img->flags = flags;
    if (autoMidHandle) {
        img->handle_x = width * 0.5f;
        img->handle_y = height * 0.5f;
    }
    img->frames = std::move(frames);
    for (auto& f : img->frames) img->trackedBytes += FrameBytes(*f);
    plat::TrackMemory(img->trackedBytes);
    return img;
}

plat::Texture* FrameOf(const Image& image, int frame) {
    if (!image || frame < 0 || frame >= static_cast<int>(image->frames.size())) return nullptr;
    return image->frames[frame].get();
}

Pixmap MakePixmap(int width, int height) {
    if (!plat::SaneImageSize(width, height)) return nullptr;
    auto pm = std::make_shared<PixmapData>();
    pm->width = width;
    pm->height = height;
    pm->pitch = width;
    pm->pixels.assign(static_cast<size_t>(width) * height, 0u);
    pm->trackedBytes = static_cast<int64_t>(pm->pixels.size()) * 4;
    plat::TrackMemory(pm->trackedBytes);
    return pm;
}

// Copies the back-buffer rectangle (window pixels) into dst (w × h); parts
// outside the back buffer become transparent black. False without a renderer.
bool ReadBackBuffer(int x, int y, int w, int h, uint32_t* dst) {
    plat::RenderBackend* r = plat::CurrentRenderer();
    std::fill(dst, dst + static_cast<size_t>(w) * h, 0u);
    if (!r) return false;
    int x0 = std::max(x, 0), y0 = std::max(y, 0);
    int x1 = std::min<int64_t>(int64_t(x) + w, r->Width());
    int y1 = std::min<int64_t>(int64_t(y) + h, r->Height());
    if (x0 >= x1 || y0 >= y1) return true;
    int cw = x1 - x0, ch = y1 - y0;
    if (cw == w && ch == h) {
        r->ReadPixels(x0, y0, cw, ch, dst);
        return true;
    }
    std::vector<uint32_t> part(static_cast<size_t>(cw) * ch);
    r->ReadPixels(x0, y0, cw, ch, part.data());
    for (int row = 0; row < ch; ++row)
        std::memcpy(dst + static_cast<size_t>(row + y0 - y) * w + (x0 - x),
                    part.data() + static_cast<size_t>(row) * cw, sizeof(uint32_t) * cw);
    return true;
}

}  // namespace

ImageData::~ImageData() { plat::TrackMemory(-trackedBytes); }
PixmapData::~PixmapData() { plat::TrackMemory(-trackedBytes); }

// ---------------------------------------------------------------------------
// Images
// ---------------------------------------------------------------------------
void AutoMidHandle(bool on) { autoMidHandle = on; }

Image LoadAnimImage(const std::string& path, int cellWidth, int cellHeight, int firstCell,
                    int cellCount, int flags) {
    if (cellWidth <= 0 || cellHeight <= 0 || firstCell < 0 || cellCount <= 0) return nullptr;
    plat::DecodedPicture pic;
    if (!plat::DecodePNGFile(path, pic)) return nullptr;
    flags = NormaliseFlags(flags);
    if ((flags & ImageMasked) && !pic.hasAlpha) plat::MaskBlack(pic.pixels);

    int columns = pic.width / cellWidth, rows = pic.height / cellHeight;
    int64_t cells = int64_t(columns) * rows;
    if (int64_t(firstCell) + cellCount > cells) return nullptr;
    if (!plat::SaneImageSize(cellWidth, cellHeight, cellCount)) return nullptr;

    std::vector<plat::TexturePtr> frames;
    frames.reserve(cellCount);
    for (int i = 0; i < cellCount; ++i) {
        int cell = firstCell + i;
        int cx = (cell % columns) * cellWidth, cy = (cell / columns) * cellHeight;
        auto t = plat::MakeTexture(cellWidth, cellHeight, (flags & ImageFiltered) != 0);
        for (int y = 0; y < cellHeight; ++y)
            std::memcpy(t->pixels.data() + static_cast<size_t>(y) * cellWidth,
                        pic.pixels.data() + static_cast<size_t>(cy + y) * pic.width + cx,
                        sizeof(uint32_t) * cellWidth);
        frames.push_back(std::move(t));
    }
    return MakeImage(cellWidth, cellHeight, flags, std::move(frames));
}

Image LoadImage(const std::string& path, int flags) {
    plat::DecodedPicture pic;
    if (!plat::DecodePNGFile(path, pic)) return nullptr;
    flags = NormaliseFlags(flags);
    if ((flags & ImageMasked) && !pic.hasAlpha) plat::MaskBlack(pic.pixels);
    auto t = std::make_shared<plat::Texture>();
    t->width = pic.width;
    t->height = pic.height;
    t->filtered = (flags & ImageFiltered) != 0;
    t->pixels = std::move(pic.pixels);
    return MakeImage(pic.width, pic.height, flags, {std::move(t)});
}

Image CreateImage(int width, int height, int frames, int flags) {
    if (!plat::SaneImageSize(width, height, frames)) return nullptr;
    flags = NormaliseFlags(flags);
    std::vector<plat::TexturePtr> list;
    list.reserve(frames);
    for (int i = 0; i < frames; ++i)
        list.push_back(plat::MakeTexture(width, height, (flags & ImageFiltered) != 0));
    return MakeImage(width, height, flags, std::move(list));
}

int ImageWidth(const Image& image) { return image ? image->width : 0; }
int ImageHeight(const Image& image) { return image ? image->height : 0; }
int ImageFrames(const Image& image) { return image ? static_cast<int>(image->frames.size()) : 0; }

void SetImageHandle(const Image& image, float x, float y) {
    if (!image) return;
    image->handle_x = x;
    image->handle_y = y;
}

void MidHandleImage(const Image& image) {
    if (!image) return;
    image->handle_x = image->width * 0.5f;
    image->handle_y = image->height * 0.5f;
}

void GrabImage(const Image& image, int x, int y, int frame) {
    plat::Texture* t = FrameOf(image, frame);
    if (!t) return;
    plat::TextureChanging(*t);
    if (!ReadBackBuffer(x, y, t->width, t->height, t->pixels.data())) return;
    // The back buffer has no alpha of its own, so a masked image treats its
    // black as see-through, exactly as a masked picture file without alpha.
    if (image->flags & ImageMasked) plat::MaskBlack(t->pixels);
    ++t->generation;
}

Pixmap LockImage(const Image& image, int frame) {
    plat::Texture* t = FrameOf(image, frame);
    if (!t) return nullptr;
    Pixmap pm = MakePixmap(t->width, t->height);
    if (pm) pm->pixels = t->pixels;
    return pm;
}

void UnlockImage(const Image& image, const Pixmap& pixmap, int frame) {
    plat::Texture* t = FrameOf(image, frame);
    if (!t || !pixmap) return;
    // Copy the overlapping part; a pixmap of another size changes only that.
    int w = std::min(t->width, pixmap->width), h = std::min(t->height, pixmap->height);
    plat::TextureChanging(*t);
    for (int y = 0; y < h; ++y)
        std::memcpy(t->pixels.data() + static_cast<size_t>(y) * t->width,
                    pixmap->pixels.data() + static_cast<size_t>(y) * pixmap->pitch,
                    sizeof(uint32_t) * w);
    ++t->generation;
}

// ---------------------------------------------------------------------------
// Pixmaps
// ---------------------------------------------------------------------------
Pixmap CreatePixmap(int width, int height) { return MakePixmap(width, height); }

Pixmap GrabPixmap(int x, int y, int w, int h) {
    Pixmap pm = MakePixmap(w, h);
    if (!pm) return nullptr;
    if (!ReadBackBuffer(x, y, w, h, pm->pixels.data())) return nullptr;
    return pm;
}

Pixmap LoadPixmap(const std::string& path) {
    plat::DecodedPicture pic;
    if (!plat::DecodePNGFile(path, pic)) return nullptr;
    Pixmap pm = MakePixmap(pic.width, pic.height);
    if (pm) pm->pixels = std::move(pic.pixels);
    return pm;
}

int PixmapWidth(const Pixmap& pixmap) { return pixmap ? pixmap->width : 0; }
int PixmapHeight(const Pixmap& pixmap) { return pixmap ? pixmap->height : 0; }

uint32_t ReadPixel(const Pixmap& pixmap, int x, int y) {
    if (!pixmap || x < 0 || y < 0 || x >= pixmap->width || y >= pixmap->height) return 0;
    return pixmap->pixels[static_cast<size_t>(y) * pixmap->pitch + x];
}

void WritePixel(const Pixmap& pixmap, int x, int y, uint32_t argb) {
    if (!pixmap || x < 0 || y < 0 || x >= pixmap->width || y >= pixmap->height) return;
    pixmap->pixels[static_cast<size_t>(y) * pixmap->pitch + x] = argb;
}

bool SavePixmapPNG(const Pixmap& pixmap, const std::string& path, int compression) {
    if (!pixmap) return false;
    return plat::EncodePNGFile(path, pixmap->pixels.data(), pixmap->width, pixmap->height,
                               compression);
}
