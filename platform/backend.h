// backend.h — the narrow tables behind platform.h. Only platform/ includes this.
//
// The public drawing calls (platform/draw.cpp) turn the drawing state into
// triangles in window pixels and hand them to the current RenderBackend; the
// OpenGL (platform/gl) and software (platform/soft) renderers implement it with
// the same semantics. A VideoBackend owns the window (SDL, or nothing at all
// for headless runs) and creates the renderer; a ClockBackend gives time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform.h"

namespace plat {

// ---------------------------------------------------------------------------
// Pixels and textures
// ---------------------------------------------------------------------------
// Pixels are 0xAARRGGBB in a uint32_t with straight (not premultiplied) alpha,
// rows top to bottom, which is SDL_PIXELFORMAT_ARGB8888 in memory.
struct Texture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // width × height
    // A white texture kept as its alpha alone, one byte a texel (width ×
    // height; pixels then empty): font atlases, drawn as tinted masks.
    std::vector<uint8_t> alpha;
    bool filtered = false;         // bilinear when scaled
    uint32_t generation = 1;       // bumped whenever pixels change
    // Renderer-owned data (a GL texture name, ...). The renderer that set it
    // records its own identity so a texture outliving a context is re-uploaded.
    uint32_t gpu_name = 0;
    uint32_t gpu_generation = 0;
    uint64_t gpu_context = 0;
    // The software renderer's command list that still reads these pixels.
    uint64_t soft_list = 0;
    ~Texture();
};
using TexturePtr = std::shared_ptr<Texture>;
// True when t has a texel for every position, in either form.
inline bool HasTexels(const Texture& t) {
    if (t.width <= 0 || t.height <= 0) return false;
    const size_t n = static_cast<size_t>(t.width) * t.height;
    return t.pixels.size() >= n || t.alpha.size() >= n;
}

// One vertex of a triangle in window pixels; u, v in 0..1 of the texture;
// colour is the tint and alpha, 0xAARRGGBB.
struct Vertex {
    float x, y;
    float u, v;
    uint32_t color;
};

// ---------------------------------------------------------------------------
// Renderer: same drawing semantics for every implementation
// ---------------------------------------------------------------------------
class RenderBackend {
public:
    virtual ~RenderBackend() = default;
    virtual const char* Name() const = 0;
    virtual int Width() const = 0;   // back buffer, window pixels
    virtual int Height() const = 0;
    virtual void Clear(uint32_t rgb) = 0;
    // count is a multiple of 3. tex null = flat colour. blend is a platform
    // blend mode (1 mask .. 5 shade; anything else solid). Draws with alpha 0
    // are real work: the engine benchmark measures them.
    virtual void DrawTriangles(Texture* tex, int blend, const Vertex* v, int count) = 0;
    // Starts work on the draws so far without waiting for it (raster
    // threads, the GL driver), so that it overlaps whatever the caller does
    // next; later draws still belong to the frame.
    virtual void Submit() {}
    // Flushes pending work and shows the back buffer (vsync: wait for vblank).
    virtual void Present(bool vsync) = 0;
    // Back buffer into argb (w × h, top row first), after flushing.
    virtual void ReadPixels(int x, int y, int w, int h, uint32_t* argb) = 0;
    // Called by ~Texture while this renderer is current.
    virtual void ReleaseTexture(Texture&) {}
};

// The renderer of the open context, or null.
RenderBackend* CurrentRenderer();

// Software renderer: draws into its own memory buffer; present (may be empty)
// is given the finished frame at each Present, with `repeat` true when its
// pixels are exactly those the previous call was given (nothing was filled
// in between), so a presenter that kept them need not copy them again.
using PresentFn = std::function<void(const uint32_t* argb, int width, int height, bool repeat)>;
std::unique_ptr<RenderBackend> CreateSoftRenderer(int width, int height, PresentFn present);
// How software renderers created from now on rasterise: `workers` threads
// (the drawing thread among them; 0 = one per processor), and the wide SIMD
// spans where the processor has them. Every choice gives the same pixels.
struct SoftRasterOptions {
    int workers = 0;
    bool wideSpans = true;
    bool tintedCopies = true;  // small nearest-sampled textures tinted once per colour
};
void SetSoftRasterOptions(const SoftRasterOptions& options);
// What a software renderer chose; false when r is not one.
bool SoftRasterInfo(RenderBackend* r, int* workers, bool* wideSpans);
// To be called before a texture's pixels change in place or it is freed:
// draws still queued with it are filled first.
void TextureChanging(const Texture& t);

// OpenGL renderer for the context current on this thread; getProc resolves GL
// functions, swap shows the frame (vsync true = wait for vblank). Returns null
// when the context lacks what the renderer needs.
using GLGetProcFn = void* (*)(const char*);
using SwapFn = std::function<void(bool vsync)>;
std::unique_ptr<RenderBackend> CreateGLRenderer(int width, int height, GLGetProcFn getProc,
                                                SwapFn swap);

// ---------------------------------------------------------------------------
// Video: the window (or no window) and its events
// ---------------------------------------------------------------------------
class VideoBackend {
public:
    virtual ~VideoBackend() = default;
    virtual std::vector<GraphicsMode> Modes() = 0;  // full-screen modes, platform order
    // Opens a window (depth 0) or full screen and a renderer of the given kind
    // (RendererOpenGL / RendererSoftware). Null when that cannot be done.
    virtual std::unique_ptr<RenderBackend> Open(int width, int height, int depth, int hertz,
                                                int renderer) = 0;
    virtual void Close() = 0;
    virtual void PumpEvents() = 0;  // feeds the Input* calls below
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetIcon(const Pixmap& icon) = 0;  // for windows opened later
    virtual void ShowCursor(bool show) = 0;
    virtual void WarpMouse(int x, int y) = 0;  // window pixels
    virtual bool Fullscreen() const = 0;
};

class ClockBackend {
public:
    virtual ~ClockBackend() = default;
    virtual uint32_t Millis() = 0;
    virtual void Sleep(int ms) = 0;
    virtual int64_t UnixSeconds() = 0;  // local date and time source
};

class JoystickBackend {
public:
    virtual ~JoystickBackend() = default;
    virtual int Count() = 0;
    virtual std::string Name(int port) = 0;
    virtual int Buttons(int port) = 0;     // number of buttons
    virtual bool Button(int port, int button) = 0;
    virtual float Axis(int port, int axis) = 0;  // 0 X, 1 Y, 2 Z, 3 R, 4 U, 5 V
    virtual float Hat(int port) = 0;
};

// Installed once by PlatformInit or UseHeadlessPlatform.
void InstallBackends(std::unique_ptr<VideoBackend> video, std::unique_ptr<ClockBackend> clock,
                     std::unique_ptr<JoystickBackend> joysticks);
VideoBackend* Video();
ClockBackend* Clock();
JoystickBackend* Joysticks();

// ---------------------------------------------------------------------------
// Input events: the only way input state changes (SDL and scripts alike)
// ---------------------------------------------------------------------------
void InputKey(int key, bool down);  // virtual-key number
void InputChar(int code);           // Latin-1 code unit; others dropped
void InputMouseMove(int x, int y);  // window pixels
void InputMouseButton(int button, bool down);
void InputWheel(int delta);
void InputCloseRequest();
// A termination signal (SIGTERM, SIGINT) arrived. Async-signal-safe: it only
// sets a flag that the next poll turns into a close request (see
// AppTerminating).
void InputTerminationSignal();
void InputFocus(bool active);
void PollEvents();  // Video()->PumpEvents()

// Bytes held by images, fonts, sounds and pixmaps; each owner adds its size
// when it allocates and subtracts it when it frees (MemoryInUse reports it).
void TrackMemory(int64_t delta);

// A fallback note for NextPlatformNote.
void AddPlatformNote(const std::string& note);

// ---------------------------------------------------------------------------
// Hooks between the service files
// ---------------------------------------------------------------------------
// platform/draw: called by Graphics after a renderer is opened; resets the
// whole drawing state and sets the virtual resolution to the window size.
void ResetDrawingState();
// platform/audio: headless runs mix into memory (HeadlessMix reads it);
// AudioShutdown stops the device before the program ends.
void AudioUseMemoryDevice();
void AudioShutdown();

}  // namespace plat
