// texture.cpp — texture lifetime and the size limits every loader shares.
#include <cmath>

#include "platform/image/image.h"

namespace plat {

Texture::~Texture() {
    TextureChanging(*this);
    // Renderer-side data (a GL texture name) belongs to the renderer that made
    // it; that renderer compares gpu_context with its own identity and ignores
    // textures left over from an earlier context.
    if (gpu_name != 0) {
        if (RenderBackend* r = CurrentRenderer()) r->ReleaseTexture(*this);
    }
}

bool SaneImageSize(int64_t width, int64_t height, int64_t frames) {
    if (width <= 0 || height <= 0 || frames <= 0) return false;
    if (width > MaxImageSide || height > MaxImageSide) return false;
    // Sides are at most 2^14, so the product cannot overflow before the test.
    if (frames > MaxImageBytes) return false;
    return width * height * 4 * frames <= MaxImageBytes;
}

TexturePtr MakeTexture(int width, int height, bool filtered) {
    if (!SaneImageSize(width, height)) return nullptr;
    auto t = std::make_shared<Texture>();
    t->width = width;
    t->height = height;
    t->filtered = filtered;
    t->pixels.assign(static_cast<size_t>(width) * height, 0u);
    return t;
}

void MaskBlack(std::vector<uint32_t>& pixels) {
    for (uint32_t& p : pixels)
        if ((p & 0x00FFFFFFu) == 0) p = 0;
}

}  // namespace plat
