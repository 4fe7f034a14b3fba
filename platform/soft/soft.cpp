// soft.cpp — the software renderer: triangles into a 32-bit back buffer.
//
// Drawing records, rasterising comes later. Each draw is prepared at once on
// the calling thread (clipped, snapped to fixed point, its colour, texture
// mapping and span loop chosen) and appended to the frame's command list,
// and to the lists of the row bands it touches; at Present, and before
// anything reads the back buffer, the list is filled by the worker pool,
// each job owning a band of rows and walking that band's draws in order. A
// pixel therefore sees the draws in the order they were made and gets the
// bits one thread would give it; a draw's rows are exact whatever band they
// fall in (raster.h, span.h).
//
// Submit starts that fill early, on the pool's threads, so that it runs
// while the game sleeps until the next frame's time; a long list is handed
// over in parts, each filled while the next is recorded. Only one fill runs
// at a time, in list order; anything that reads the back buffer, or changes
// a texture a list still reads, first waits for the fills it depends on.
//
// The lists' buffers keep their size between frames (no allocation per draw
// once grown). Clear drops what was recorded, since it covers every pixel.
// A list that repeats the last one filled after a clear, byte for byte, is
// not filled again: the back buffer already holds its picture.
// Every draw is rasterised and blended in full even when a = 0: the engine
// test measures exactly that.
//
// Speed: a quad (two triangles sharing an edge, as the drawing calls send
// images, rectangles and glyphs) is filled as one convex polygon when that
// gives the same pixels; texture coordinates step in 16.16 fixed point along
// each row; each blend × sampling × tint combination is its own span loop.
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>

#include "platform/backend.h"
#include "platform/soft/raster.h"
#include "platform/soft/span.h"
#include "platform/soft/workers.h"

namespace plat {
namespace {

using soft::ColorPlanes;
using soft::FixPoint;
using soft::Plane;
using soft::SpanCtx;

SoftRasterOptions g_options;

// List identities, unique over every renderer of the run, so a texture's
// mark (Texture::soft_list) never matches a list it is not in.
std::atomic<uint64_t> g_nextList{1};

Plane MakePlane(const Vertex& a, const Vertex& b, const Vertex& c, double fa, double fb, double fc) {
    Plane p;
    const double x1 = double(b.x) - a.x, y1 = double(b.y) - a.y;
    const double x2 = double(c.x) - a.x, y2 = double(c.y) - a.y;
    const double det = x1 * y2 - x2 * y1;
    if (det != 0 && std::isfinite(det)) {
        const double f1 = fb - fa, f2 = fc - fa;
        p.dx = (f1 * y2 - f2 * y1) / det;
        p.dy = (f2 * x1 - f1 * x2) / det;
    }
    p.c = fa - p.dx * a.x - p.dy * a.y;
    return p;
}

// One recorded draw in the list's byte buffer: this header, then its corner
// points, then its colour planes when it has them. 8-byte aligned.
struct Command {
    SpanCtx ctx;  // planes are filled in when it is rasterised
    soft::RowsFn fn;
    int32_t points;
    int32_t gouraud;
};
// Where a command sits and which rows it touches, so a band skips the
// commands outside it without reading them.
struct Entry {
    int32_t first, last;  // rows, inclusive
    uint32_t offset;      // bytes into the command buffer
};

constexpr size_t Align8(size_t n) { return (n + 7) & ~size_t(7); }

// A command list: a clear (covering every row) or none, then commands.
// Its buffers keep their size when it is emptied.
struct List {
    std::unique_ptr<uint64_t[]> commands;
    size_t capacity = 0, used = 0;  // bytes
    std::vector<Entry> entries;
    // Each band's commands (offsets into the buffer) in list order, so a
    // band reads only the draws that touch it.
    std::vector<std::vector<uint32_t>> bands;
    bool clear = false;
    uint32_t clearColor = 0xFF000000u;
    uint64_t id = 0;  // unique over the run, rising (Texture::soft_list)

    bool Empty() const { return !clear && entries.empty(); }
    // Empties it under a new identity.
    void Reset() {
        entries.clear();
        for (std::vector<uint32_t>& b : bands) b.clear();
        used = 0;
        clear = false;
        id = g_nextList.fetch_add(1);
    }
};

// A frame's list is handed to the pool once its commands pass this size,
// and the pool fills that part while the rest is recorded: the drawing
// thread and the workers run side by side, the buffers stay small enough to
// sit in the caches, and their memory is bounded.
constexpr size_t ListLimitBytes = size_t(512) << 10;

// Rows per raster band, about (bands split the height evenly).
constexpr int BandRows = 64;

class SoftRenderer;
// The live software renderers (normally one), for textures that change or
// go while a list still reads them. Touched on the drawing thread only.
// Never destroyed: renderers and textures held by other globals may go
// after it at exit.
std::vector<SoftRenderer*>& Live() {
    static auto* live = new std::vector<SoftRenderer*>;
    return *live;
}

inline bool SameVertex(const Vertex& a, const Vertex& b) {
    return a.x == b.x && a.y == b.y && a.u == b.u && a.v == b.v && a.color == b.color;
}

// A tinted copy of a small texture: its texels with one colour applied,
// channel by channel (x·c/255, rounded, exactly as a tinting span does), so
// nearest-sampled draws in that colour read them untinted and skip the
// multiplies of every pixel. Kept while a list that may still be filled
// reads it (`list`); texture, generation and colour name what it holds.
struct TintedCopy {
    const Texture* tex = nullptr;
    uint32_t generation = 0, color = 0;
    uint64_t list = 0;
    std::vector<uint32_t> texels;
};
constexpr int TintedCopies = 32;
// Textures of up to this many texels get copies: making one costs about as
// much as drawing the texture once, so a draw in a colour seen only once
// pays at most that.
constexpr size_t TintedTexelLimit = 32 * 32;

// Vertices further out than this are clipped before snapping, which keeps
// every fixed-point product of the filler well inside 64 bits.
constexpr float GuardBand = 4096.0f;

class SoftRenderer final : public RenderBackend {
public:
    SoftRenderer(int width, int height, PresentFn present, const SoftRasterOptions& options)
        : width_(std::max(width, 1)), height_(std::max(height, 1)), present_(std::move(present)),
          pixels_(static_cast<size_t>(width_) * height_, 0xFF000000u),
          pool_(ResolveWorkers(options.workers)),
          wide_(options.wideSpans && soft::WideSpansSupported()),
          tintedCopies_(options.tintedCopies) {
        // Bands of about BandRows rows, also for one worker: a band's pixels
        // (800 × 64 × 4 bytes = 200 KiB) stay in the core's cache while every
        // draw over it is filled, where a whole frame would not; and with
        // many more bands than workers, a worker held up by another program
        // costs the frame one band rather than half of it.
        bands_ = std::clamp(height_ / BandRows, 1, 256);
        for (List* l : {&rec_, &fill_, &last_}) {
            l->bands.resize(static_cast<size_t>(bands_));
            l->Reset();
        }
        Live().push_back(this);
    }

    ~SoftRenderer() override {
        Settle();
        std::vector<SoftRenderer*>& live = Live();
        live.erase(std::find(live.begin(), live.end(), this));
    }

    const char* Name() const override { return "software"; }
    int Width() const override { return width_; }
    int Height() const override { return height_; }

    // What was recorded so far is covered: dropped unfilled. A fill already
    // started goes on; it ends before the next one starts.
    void Clear(uint32_t rgb) override {
        rec_.Reset();
        rec_.clear = true;
        rec_.clearColor = 0xFF000000u | (rgb & 0x00FFFFFFu);
    }

    void DrawTriangles(Texture* tex, int blend, const Vertex* v, int count) override {
        if (!v || count < 3) return;
        if (tex && !HasTexels(*tex)) return;  // a texture without pixels has nothing to show
        int i = 0;
        for (; i + 3 <= count;) {
            if (i + 6 <= count && SameVertex(v[i + 3], v[i]) && SameVertex(v[i + 4], v[i + 2]) &&
                DrawQuad(tex, blend, v[i], v[i + 1], v[i + 2], v[i + 5])) {
                i += 6;
                continue;
            }
            DrawTriangle(tex, blend, v[i], v[i + 1], v[i + 2]);
            i += 3;
        }
    }

    // The caller is about to wait for the frame's time: whatever is
    // recorded goes to the pool now, after the part still being filled (if
    // any), so that no part waits for Present.
    void Submit() override {
        if (pool_.Count() == 1) return;
        FinishFill();
        StartFill();
    }
    void Present(bool) override {
        Rasterise();
        const bool repeat = presentedFills_ == fills_;
        presentedFills_ = fills_;
        if (present_) present_(pixels_.data(), width_, height_, repeat);
    }

    void ReadPixels(int x, int y, int w, int h, uint32_t* argb) override {
        if (!argb || w <= 0 || h <= 0) return;
        Rasterise();
        for (int row = 0; row < h; ++row) {
            uint32_t* dst = argb + static_cast<size_t>(row) * w;
            const int sy = y + row;
            for (int col = 0; col < w; ++col) {
                const int sx = x + col;
                dst[col] = (sx >= 0 && sy >= 0 && sx < width_ && sy < height_)
                               ? pixels_[static_cast<size_t>(sy) * width_ + sx]
                               : 0u;
            }
        }
    }

    // A texture the list reads is about to change or go: fill what was
    // drawn with it first.
    // Lists get rising identities and a texture is marked with the last one
    // that read it, so a texture an earlier list read is marked with that
    // list or a later one.
    void TextureChanging(const Texture& t) {
        if (t.soft_list == rec_.id && !rec_.Empty()) Rasterise();
        else if (t.soft_list >= fill_.id) FinishFill();
        if (t.soft_list >= last_.id) lastValid_ = false;
        for (TintedCopy& copy : tinted_)  // no list still to be filled reads them now
            if (copy.tex == &t) copy.tex = nullptr;
    }

    int Workers() const { return pool_.Count(); }
    bool WideSpans() const { return wide_; }

private:
    static int ResolveWorkers(int asked) {
        const int n = asked > 0 ? asked : soft::UsableProcessors();
        return std::clamp(n, 1, 16);
    }

    // ---- the command lists -----------------------------------------------
    // rec_ is being recorded; fill_ is being filled by the pool while
    // pool_.Running() (the drawing thread touches only rec_ meanwhile);
    // last_ is the last list filled after a clear.

    // The list just filled (or found to repeat the last fill) becomes the
    // kept one when it began with a clear, since the back buffer then holds
    // exactly what it draws; a list drawn over an earlier picture changes the
    // buffer in a way no kept list describes. Empties l.
    void Retire(List& l) {
        if (l.clear) {
            std::swap(l, last_);
            lastValid_ = true;
        } else if (!l.entries.empty()) {
            lastValid_ = false;
        }
        l.Reset();
    }

    // True when l is the kept list again, byte for byte, while the back
    // buffer still holds that list's picture and no texture it reads has
    // changed: filling it again would write the same bits. Commands carry no
    // pointer but the back buffer's (the same in every list) and no stray
    // bytes (Append zeroes them), so equal bytes mean equal draws. A list
    // that only clears may have no command buffer yet, hence no compare.
    bool RepeatsLastFill(const List& l) const {
        return lastValid_ && l.clear && l.clearColor == last_.clearColor && l.used == last_.used &&
               l.entries.size() == last_.entries.size() &&
               (l.used == 0 || std::memcmp(l.commands.get(), last_.commands.get(), l.used) == 0);
    }

    // Waits for the fill the pool is doing, if any.
    void FinishFill() {
        if (!pool_.Running()) return;
        pool_.Finish();
        Retire(fill_);
    }
    // Makes the recorded list the one to fill (no fill running) and starts an
    // empty one; false when there is nothing to fill: it was empty, or it
    // repeats the last fill and is retired at once.
    bool TakeRecorded() {
        if (rec_.Empty()) return false;
        if (RepeatsLastFill(rec_)) {
            Retire(rec_);
            return false;
        }
        std::swap(fill_, rec_);
        rec_.Reset();
        ++fills_;
        return true;
    }
    // Hands the recorded list to the pool; the drawing thread goes on while
    // the pool fills.
    void StartFill() {
        if (TakeRecorded()) pool_.Start(bands_, &RasteriseBand, this);
    }
    // Fills everything recorded into the back buffer and waits for it.
    void Rasterise() {
        FinishFill();
        if (!TakeRecorded()) return;
        pool_.Run(bands_, &RasteriseBand, this);
        Retire(fill_);
    }
    void Settle() { FinishFill(); }

    // Space for one command of `bytes` at the end of the recorded list, zeroed.
    Command* Append(size_t bytes) {
        List& l = rec_;
        if (l.used + bytes > l.capacity) {
            size_t grown = std::max<size_t>(l.capacity * 2, 64 * 1024);
            while (grown < l.used + bytes) grown *= 2;
            std::unique_ptr<uint64_t[]> bigger(new uint64_t[grown / 8]);
            if (l.used) std::memcpy(bigger.get(), l.commands.get(), l.used);
            l.commands = std::move(bigger);
            l.capacity = grown;
        }
        char* at = reinterpret_cast<char*>(l.commands.get()) + l.used;
        std::memset(at, 0, bytes);
        l.used += bytes;
        return reinterpret_cast<Command*>(at);
    }

    void Record(const FixPoint* pts, int n, const SpanCtx& ctx, soft::RowsFn fn,
                const ColorPlanes* planes, Texture* tex) {
        int first, last;
        if (!soft::ConvexRows(pts, n, height_, &first, &last)) return;
        // A long list is filled in parts, each while the next is recorded.
        if (rec_.used >= ListLimitBytes) {
            FinishFill();
            StartFill();
        }
        const size_t bytes = Align8(sizeof(Command) + sizeof(FixPoint) * n) +
                             (planes ? sizeof(ColorPlanes) : 0);
        const uint32_t offset = static_cast<uint32_t>(rec_.used);
        Command* c = Append(bytes);
        std::memcpy(&c->ctx, &ctx, sizeof ctx);  // its padding too, zeroed in Setup
        c->fn = fn;
        c->points = n;
        c->gouraud = planes != nullptr;
        char* tailBytes = reinterpret_cast<char*>(c + 1);
        std::memcpy(tailBytes, pts, sizeof(FixPoint) * n);
        if (planes)
            std::memcpy(tailBytes + Align8(sizeof(FixPoint) * n), planes, sizeof(ColorPlanes));
        rec_.entries.push_back(Entry{first, last, offset});
        for (int band = BandOf(first), end = BandOf(last); band <= end; ++band)
            rec_.bands[static_cast<size_t>(band)].push_back(offset);
        if (tex) tex->soft_list = rec_.id;
        if (tintedSlot_ >= 0) tinted_[static_cast<size_t>(tintedSlot_)].list = rec_.id;
        tintedSlot_ = -1;
    }

    static void RasteriseBand(void* self, int band) {
        static_cast<SoftRenderer*>(self)->Band(band);
    }

    int BandBegin(int band) const { return static_cast<int>(int64_t(height_) * band / bands_); }
    // The band holding row y (0 <= y < height).
    int BandOf(int y) const {
        int band = static_cast<int>(int64_t(y) * bands_ / height_);
        while (band > 0 && BandBegin(band) > y) --band;
        while (band + 1 < bands_ && BandBegin(band + 1) <= y) ++band;
        return band;
    }

    void Band(int band) {
        const int rowBegin = BandBegin(band);
        const int rowEnd = BandBegin(band + 1);
        if (rowBegin >= rowEnd) return;
        const List& l = fill_;
        if (l.clear)
            std::fill(pixels_.begin() + static_cast<size_t>(rowBegin) * width_,
                      pixels_.begin() + static_cast<size_t>(rowEnd) * width_, l.clearColor);
        const char* base = reinterpret_cast<const char*>(l.commands.get());
        for (const uint32_t offset : l.bands[static_cast<size_t>(band)]) {
            const Command& c = *reinterpret_cast<const Command*>(base + offset);
            const auto* pts = reinterpret_cast<const FixPoint*>(&c + 1);
            if (!c.gouraud) {
                soft::FillConvexRows(pts, c.points, width_, rowBegin, rowEnd, c.fn, &c.ctx);
                continue;
            }
            SpanCtx ctx = c.ctx;
            ctx.planes = reinterpret_cast<const ColorPlanes*>(reinterpret_cast<const char*>(pts) +
                                                              Align8(sizeof(FixPoint) * c.points));
            soft::FillConvexRows(pts, c.points, width_, rowBegin, rowEnd, c.fn, &ctx);
        }
    }

    bool NeedsClip(const Vertex* const* p, int n) const {
        for (int i = 0; i < n; ++i) {
            const Vertex& q = *p[i];
            if (!(q.x > -GuardBand && q.x < width_ + GuardBand && q.y > -GuardBand &&
                  q.y < height_ + GuardBand))
                return true;
        }
        return false;
    }

    static bool Finite(const Vertex& q) { return std::isfinite(q.x) && std::isfinite(q.y); }

    // Sets up colour and texture for a face whose attributes are affine in
    // a, b, c; planes is filled when the corners' colours differ.
    void Setup(SpanCtx& ctx, soft::RowsFn& fn, ColorPlanes& planes, bool& gouraud, Texture* tex,
               int blend, const Vertex& a, const Vertex& b, const Vertex& c) {
        std::memset(&ctx, 0, sizeof ctx);  // the list compares commands as bytes
        tintedSlot_ = -1;
        ctx.buffer = pixels_.data();
        ctx.pitch = width_;
        gouraud = !(a.color == b.color && a.color == c.color);
        ctx.color = a.color;
        ctx.ca = a.color >> 24;
        ctx.cr = (a.color >> 16) & 0xFF;
        ctx.cg = (a.color >> 8) & 0xFF;
        ctx.cb = a.color & 0xFF;
        if (gouraud) {
            auto ch = [](const Vertex& q, int shift) { return double((q.color >> shift) & 0xFF); };
            planes.a = MakePlane(a, b, c, ch(a, 24), ch(b, 24), ch(c, 24));
            planes.r = MakePlane(a, b, c, ch(a, 16), ch(b, 16), ch(c, 16));
            planes.g = MakePlane(a, b, c, ch(a, 8), ch(b, 8), ch(c, 8));
            planes.b = MakePlane(a, b, c, ch(a, 0), ch(b, 0), ch(c, 0));
        }
        int texMode = soft::TexNone;
        if (tex) {
            const bool alphaOnly = tex->pixels.empty();
            if (alphaOnly)
                texMode = tex->filtered ? soft::TexAlphaBilinear : soft::TexAlphaNearest;
            else
                texMode = tex->filtered ? soft::TexBilinear : soft::TexNearest;
            ctx.texels = tex->pixels.data();
            ctx.alpha = tex->alpha.data();
            ctx.texW = tex->width;
            ctx.texH = tex->height;
            const Plane u = MakePlane(a, b, c, double(a.u) * tex->width, double(b.u) * tex->width,
                                      double(c.u) * tex->width);
            const Plane v = MakePlane(a, b, c, double(a.v) * tex->height, double(b.v) * tex->height,
                                      double(c.v) * tex->height);
            // Fixed point, 16 fraction bits. Texture coordinates within the
            // guard band stay far inside 32 bits (sides are at most 2^14).
            auto fix = [](double f) { return static_cast<int64_t>(std::floor(f * 65536.0 + 0.5)); };
            ctx.dudx = static_cast<int32_t>(fix(u.dx));
            ctx.dvdx = static_cast<int32_t>(fix(v.dx));
            ctx.dudy = fix(u.dy);
            ctx.dvdy = fix(v.dy);
            ctx.u00 = fix(u.At(0.5, 0.5));
            ctx.v00 = fix(v.At(0.5, 0.5));
        } else {
            ctx.texels = nullptr;
            ctx.alpha = nullptr;
            ctx.texW = ctx.texH = 1;
            ctx.dudx = ctx.dvdx = 0;
            ctx.dudy = ctx.dvdy = ctx.u00 = ctx.v00 = 0;
        }
        bool tint = gouraud || a.color != 0xFFFFFFFFu;
        if (tint && !gouraud && texMode == soft::TexNearest && tintedCopies_ &&
            static_cast<size_t>(tex->width) * tex->height <= TintedTexelLimit) {
            if (const uint32_t* texels = TintedTexels(*tex, a.color)) {
                ctx.untinted = ctx.texels;  // the list compares commands by it
                ctx.texels = texels;
                tint = false;
            }
        }
        const bool wide = wide_ && (!tex || (tex->width <= soft::WideTexLimit &&
                                             tex->height <= soft::WideTexLimit));
        fn = wide ? soft::PickWideSpan(blend, texMode, tint, gouraud) : nullptr;
        if (!fn) fn = soft::PickSpan(blend, texMode, tint, gouraud);
    }

    // The tinted copy of t in `color`, made when missing; null when every
    // slot is read by a list still to be filled. The slot is marked for the
    // list the draw goes into (Record), and for the recording list at once.
    const uint32_t* TintedTexels(const Texture& t, uint32_t color) {
        auto holds = [&](const TintedCopy& c) {
            return c.tex == &t && c.generation == t.generation && c.color == color;
        };
        int slot = -1;
        if (tintedSlotHit_ >= 0 && holds(tinted_[static_cast<size_t>(tintedSlotHit_)])) {
            slot = tintedSlotHit_;
        } else {
            for (int i = 0; i < TintedCopies && slot < 0; ++i)
                if (holds(tinted_[static_cast<size_t>(i)])) slot = i;
        }
        if (slot < 0) {
            for (int k = 0; k < TintedCopies && slot < 0; ++k) {
                const int i = (tintedNext_ + k) % TintedCopies;
                const TintedCopy& c = tinted_[static_cast<size_t>(i)];
                const bool read = c.list == rec_.id || (pool_.Running() && c.list == fill_.id);
                if (!read) slot = i;
            }
            if (slot < 0) return nullptr;
            tintedNext_ = (slot + 1) % TintedCopies;
            TintedCopy& c = tinted_[static_cast<size_t>(slot)];
            c.tex = &t;
            c.generation = t.generation;
            c.color = color;
            const uint32_t ca = color >> 24, cr = (color >> 16) & 0xFF, cg = (color >> 8) & 0xFF,
                           cb = color & 0xFF;
            const size_t n = static_cast<size_t>(t.width) * t.height;
            c.texels.resize(n);
            for (size_t i = 0; i < n; ++i) {
                const uint32_t x = t.pixels[i];
                c.texels[i] = (soft::Div255((x >> 24) * ca) << 24) |
                              (soft::Div255(((x >> 16) & 0xFF) * cr) << 16) |
                              (soft::Div255(((x >> 8) & 0xFF) * cg) << 8) | soft::Div255((x & 0xFF) * cb);
            }
        }
        TintedCopy& c = tinted_[static_cast<size_t>(slot)];
        c.list = rec_.id;
        tintedSlot_ = tintedSlotHit_ = slot;
        return c.texels.data();
    }

    static FixPoint Snap(float x, float y) {
        // Within the guard band, so the values fit easily in 32 bits.
        return FixPoint{static_cast<int32_t>(std::floor(x * soft::SubPixel + 0.5f)),
                        static_cast<int32_t>(std::floor(y * soft::SubPixel + 0.5f))};
    }

    void Fill(const Vertex* const* corners, int n, const SpanCtx& ctx, soft::RowsFn fn,
              const ColorPlanes* planes, Texture* tex) {
        FixPoint pts[16];
        if (!NeedsClip(corners, n)) {
            for (int i = 0; i < n; ++i) pts[i] = Snap(corners[i]->x, corners[i]->y);
            Record(pts, n, ctx, fn, planes, tex);
            return;
        }
        // Clip against the guard band (Sutherland–Hodgman), positions only:
        // the attributes come from the planes, which clipping leaves alone.
        float xs[16], ys[16], nx[16], ny[16];
        int m = n;
        for (int i = 0; i < n; ++i) {
            xs[i] = corners[i]->x;
            ys[i] = corners[i]->y;
        }
        const float lo[2] = {-GuardBand * 0.5f, -GuardBand * 0.5f};
        const float hi[2] = {width_ + GuardBand * 0.5f, height_ + GuardBand * 0.5f};
        for (int side = 0; side < 4 && m >= 3; ++side) {
            const int axis = side & 1;
            const bool upper = side >= 2;
            const float limit = upper ? hi[axis] : lo[axis];
            auto inside = [&](int k) {
                float q = axis ? ys[k] : xs[k];
                return upper ? q <= limit : q >= limit;
            };
            int out = 0;
            for (int k = 0; k < m && out < 15; ++k) {
                int j = k + 1 == m ? 0 : k + 1;
                bool ik = inside(k), ij = inside(j);
                if (ik) {
                    nx[out] = xs[k];
                    ny[out] = ys[k];
                    ++out;
                }
                if (ik != ij && out < 16) {
                    float qk = axis ? ys[k] : xs[k], qj = axis ? ys[j] : xs[j];
                    float t = (limit - qk) / (qj - qk);
                    nx[out] = xs[k] + (xs[j] - xs[k]) * t;
                    ny[out] = ys[k] + (ys[j] - ys[k]) * t;
                    if (axis)
                        ny[out] = limit;
                    else
                        nx[out] = limit;
                    ++out;
                }
            }
            m = out;
            std::memcpy(xs, nx, sizeof(float) * m);
            std::memcpy(ys, ny, sizeof(float) * m);
        }
        if (m < 3) return;
        for (int i = 0; i < m; ++i) pts[i] = Snap(xs[i], ys[i]);
        Record(pts, m, ctx, fn, planes, tex);
    }

    void DrawTriangle(Texture* tex, int blend, const Vertex& a, const Vertex& b, const Vertex& c) {
        if (!Finite(a) || !Finite(b) || !Finite(c)) return;
        SpanCtx ctx;
        soft::RowsFn fn;
        ColorPlanes planes;
        bool gouraud;
        Setup(ctx, fn, planes, gouraud, tex, blend, a, b, c);
        const Vertex* corners[3] = {&a, &b, &c};
        Fill(corners, 3, ctx, fn, gouraud ? &planes : nullptr, tex);
    }

    // Fills a, b, c, d as one polygon when that equals the triangles (a, b, c)
    // and (a, c, d): the quad is convex, its colour is one colour, and, when
    // textured, it is a parallelogram in both position and texture space so
    // one affine map covers it. False leaves the caller to draw triangles.
    bool DrawQuad(Texture* tex, int blend, const Vertex& a, const Vertex& b, const Vertex& c,
                  const Vertex& d) {
        if (!(a.color == b.color && a.color == c.color && a.color == d.color)) return false;
        if (!Finite(a) || !Finite(b) || !Finite(c) || !Finite(d)) return false;
        const Vertex* corners[4] = {&a, &b, &c, &d};
        if (NeedsClip(corners, 4)) return false;
        if (tex) {
            const float ex = (a.x + c.x) - (b.x + d.x), ey = (a.y + c.y) - (b.y + d.y);
            const float eu = (a.u + c.u) - (b.u + d.u), ev = (a.v + c.v) - (b.v + d.v);
            if (std::fabs(ex) > 0.01f || std::fabs(ey) > 0.01f) return false;
            if (std::fabs(eu) > 1e-5f || std::fabs(ev) > 1e-5f) return false;
        }
        FixPoint pts[4];
        for (int i = 0; i < 4; ++i) pts[i] = Snap(corners[i]->x, corners[i]->y);
        if (!soft::IsConvexQuad(pts)) return false;
        SpanCtx ctx;
        soft::RowsFn fn;
        ColorPlanes planes;
        bool gouraud;  // never: the four corners are one colour
        Setup(ctx, fn, planes, gouraud, tex, blend, a, b, c);
        Record(pts, 4, ctx, fn, nullptr, tex);
        return true;
    }

    int width_, height_;
    PresentFn present_;
    std::vector<uint32_t> pixels_;
    soft::WorkerPool pool_;
    bool wide_;
    bool tintedCopies_;
    std::array<TintedCopy, TintedCopies> tinted_;
    int tintedNext_ = 0;     // where the search for a free slot starts
    int tintedSlotHit_ = -1; // the slot found last, tried first
    int tintedSlot_ = -1;    // the slot the draw being set up reads, for Record
    int bands_ = 1;
    List rec_, fill_, last_;
    bool lastValid_ = false;  // the back buffer holds exactly last_'s picture
    // Fills that changed the back buffer, and their count at the last
    // Present (one behind at first, so the first frame is never a repeat).
    uint64_t fills_ = 0, presentedFills_ = ~uint64_t(0);
};

SoftRenderer* AsSoft(RenderBackend* r) {
    for (SoftRenderer* s : Live())
        if (s == r) return s;
    return nullptr;
}

}  // namespace

std::unique_ptr<RenderBackend> CreateSoftRenderer(int width, int height, PresentFn present) {
    return std::make_unique<SoftRenderer>(width, height, std::move(present), g_options);
}

void SetSoftRasterOptions(const SoftRasterOptions& options) { g_options = options; }

void TextureChanging(const Texture& t) {
    if (t.soft_list == 0) return;
    for (SoftRenderer* r : Live()) r->TextureChanging(t);
}

bool SoftRasterInfo(RenderBackend* r, int* workers, bool* wideSpans) {
    SoftRenderer* s = AsSoft(r);
    if (!s) return false;
    if (workers) *workers = s->Workers();
    if (wideSpans) *wideSpans = s->WideSpans();
    return true;
}

}  // namespace plat
