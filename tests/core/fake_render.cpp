// TEMPORARY stand-ins for the renderer, pixmap and audio hooks so this test
// program links before those parts exist. Remove when they land.
#include <vector>

#include "platform/backend.h"

struct PixmapData {
    int w = 0, h = 0;
    std::vector<uint32_t> px;
};

namespace {
float g_vw = 0, g_vh = 0;

class FakeRenderer : public plat::RenderBackend {
public:
    FakeRenderer(int w, int h, plat::PresentFn p) : w_(w), h_(h), px_(size_t(w) * h), p_(std::move(p)) {}
    const char* Name() const override { return "fake"; }
    int Width() const override { return w_; }
    int Height() const override { return h_; }
    void Clear(uint32_t rgb) override { px_.assign(px_.size(), 0xFF000000u | rgb); }
    void DrawTriangles(plat::Texture*, int, const plat::Vertex*, int) override {}
    void Present(bool) override {
        if (p_) p_(px_.data(), w_, h_);
    }
    void ReadPixels(int x, int y, int w, int h, uint32_t* argb) override {
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) argb[j * w + i] = px_[size_t(y + j) * w_ + x + i];
    }

private:
    int w_, h_;
    std::vector<uint32_t> px_;
    plat::PresentFn p_;
};
}  // namespace

namespace plat {
std::unique_ptr<RenderBackend> CreateSoftRenderer(int w, int h, PresentFn p) {
    return std::make_unique<FakeRenderer>(w, h, std::move(p));
}
void ResetDrawingState() {
    g_vw = float(GraphicsWidth());
    g_vh = float(GraphicsHeight());
}
void AudioUseMemoryDevice() {}
void AudioShutdown() {}
}  // namespace plat

void SetVirtualResolution(float w, float h) { g_vw = w, g_vh = h; }
float VirtualResolutionWidth() { return g_vw; }
float VirtualResolutionHeight() { return g_vh; }
void Cls() {
    if (plat::CurrentRenderer()) plat::CurrentRenderer()->Clear(0x123456);
}
Pixmap CreatePixmap(int w, int h) {
    auto p = std::make_shared<PixmapData>();
    p->w = w, p->h = h, p->px.assign(size_t(w) * h, 0);
    return p;
}
void WritePixel(const Pixmap& p, int x, int y, uint32_t c) { p->px[size_t(y) * p->w + x] = c; }
uint32_t ReadPixel(const Pixmap& p, int x, int y) { return p->px[size_t(y) * p->w + x]; }
int PixmapWidth(const Pixmap& p) { return p ? p->w : 0; }
int PixmapHeight(const Pixmap& p) { return p ? p->h : 0; }
Pixmap GrabPixmap(int x, int y, int w, int h) {
    Pixmap p = CreatePixmap(w, h);
    plat::CurrentRenderer()->ReadPixels(x, y, w, h, p->px.data());
    return p;
}
