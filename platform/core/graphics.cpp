// graphics.cpp — opening and closing the display, renderer choice with its
// fallbacks, Flip and its frame pacing, and the pointer services.
#include <string>

#include "platform/core/core.h"
#include "platform/platform.h"

namespace {

struct GraphicsState {
    std::unique_ptr<plat::RenderBackend> renderer;
    int selected = RendererOpenGL;  // what the next Graphics call asks for
    int kind = -1;                  // renderer of the open context, -1 closed
    int depth = 0;                  // 0 window, else full-screen depth
    int hertz = 0;                  // rate Flip(-1) paces to, 0 = none
    // Pacing: the next flip is due at `target` (MilliSecs); 1000 / hertz has
    // a remainder that accumulates in `carry` (units of 1/hertz ms) and adds
    // one extra millisecond whenever it reaches a whole one.
    uint32_t target = 0;
    int carry = 0;
    bool pacing = false;
    std::string caption;
    Pixmap icon;
    bool cursorShown = true;
};

GraphicsState g_gfx;

bool ValidDepth(int depth) { return depth == 0 || depth == 16 || depth == 24 || depth == 32; }

// Sleeps until the next step of a 1000/hertz ms grid; a late frame moves the
// grid to now instead of hurrying the frames after it.
void PaceFrame(int hertz) {
    plat::ClockBackend* clock = plat::Clock();
    g_gfx.target += static_cast<uint32_t>(1000 / hertz);
    g_gfx.carry += 1000 % hertz;
    if (g_gfx.carry >= hertz) {
        g_gfx.carry -= hertz;
        g_gfx.target += 1;
    }
    const uint32_t now = clock->Millis();
    // Signed difference: correct across the 2^32 wrap.
    const int32_t ahead = static_cast<int32_t>(g_gfx.target - now);
    if (ahead > 0) {
        g_gfx.pacing = true;
        clock->Sleep(ahead);
        g_gfx.pacing = false;
    } else {
        g_gfx.target = now;
    }
}

std::unique_ptr<plat::RenderBackend> TryOpen(int w, int h, int depth, int hertz, int kind) {
    plat::VideoBackend* video = plat::Video();
    if (!video) return nullptr;
    video->SetCaption(g_gfx.caption);
    video->SetIcon(g_gfx.icon);
    return video->Open(w, h, depth, hertz, kind);
}

const char* RendererLabel(int kind) {
    return kind == RendererOpenGL ? "OpenGL renderer" : "software renderer";
}

}  // namespace

namespace plat {

RenderBackend* CurrentRenderer() { return g_gfx.renderer.get(); }

bool FlipPacing() { return g_gfx.pacing; }

void ResetGraphicsState() {
    EndGraphics();
    g_gfx = GraphicsState{};
}

}  // namespace plat

void SetWindowCaption(const std::string& caption) {
    g_gfx.caption = caption;
    if (g_gfx.renderer && plat::Video()) plat::Video()->SetCaption(caption);
}

void SetWindowIcon(const Pixmap& icon) { g_gfx.icon = icon; }

int SelectRenderer(int renderer) {
    if (renderer == RendererOpenGL || renderer == RendererSoftware) {
        g_gfx.selected = renderer;
    } else if (renderer == RendererLegacy) {
        plat::AddPlatformNote("\tRenderer 2 is not available here, using renderer 1");
        g_gfx.selected = RendererSoftware;
    } else {
        plat::AddPlatformNote("\tRenderer " + std::to_string(renderer) +
                              " does not exist, keeping renderer " +
                              std::to_string(g_gfx.selected));
    }
    return g_gfx.selected;
}

int CurrentRenderer() { return g_gfx.renderer ? g_gfx.kind : -1; }

bool Graphics(int width, int height, int depth, int hertz, int flags) {
    EndGraphics();
    plat::VideoBackend* video = plat::Video();
    if (!video || width <= 0 || height <= 0 || !ValidDepth(depth)) return false;
    if (depth != 0 && !GraphicsModeExists(width, height, depth, 0)) return false;

    // Each attempt that fails leaves a note saying what is tried next.
    struct Attempt {
        int w, h, depth, kind;
    };
    std::vector<Attempt> attempts;
    attempts.push_back({width, height, depth, g_gfx.selected});
    if (g_gfx.selected == RendererOpenGL) attempts.push_back({width, height, depth, RendererSoftware});
    if (width != 800 || height != 600 || depth != 0) {
        attempts.push_back({800, 600, 0, g_gfx.selected});
        if (g_gfx.selected == RendererOpenGL) attempts.push_back({800, 600, 0, RendererSoftware});
    }

    for (size_t i = 0; i < attempts.size(); ++i) {
        const Attempt& a = attempts[i];
        g_gfx.renderer = TryOpen(a.w, a.h, a.depth, hertz, a.kind);
        if (g_gfx.renderer) {
            g_gfx.kind = a.kind;
            g_gfx.depth = a.depth;
            break;
        }
        video->Close();
        std::string note = std::string("\tThe ") + RendererLabel(a.kind) + " could not open " +
                           std::to_string(a.w) + "x" + std::to_string(a.h) + "," +
                           std::to_string(a.depth);
        if (i + 1 < attempts.size()) {
            const Attempt& n = attempts[i + 1];
            note += ", trying the " + std::string(RendererLabel(n.kind)) + " at " +
                    std::to_string(n.w) + "x" + std::to_string(n.h) + "," +
                    std::to_string(n.depth);
        }
        plat::AddPlatformNote(note);
    }
    if (!g_gfx.renderer) {
        g_gfx.kind = -1;
        return false;
    }

    g_gfx.hertz = hertz > 0 ? hertz : 0;
    g_gfx.target = plat::Clock()->Millis();
    g_gfx.carry = 0;
    video->SetCaption(g_gfx.caption);
    video->ShowCursor(g_gfx.cursorShown);
    plat::ResetDrawingState();
    if (g_gfx.depth != 0) video->WarpMouse(GraphicsWidth() / 2, GraphicsHeight() / 2);
    return true;
}

void EndGraphics() {
    if (!g_gfx.renderer) return;
    // The renderer releases its context resources while the window exists.
    g_gfx.renderer.reset();
    g_gfx.kind = -1;
    if (plat::Video()) plat::Video()->Close();
}

bool GraphicsOpen() { return g_gfx.renderer != nullptr; }

int GraphicsWidth() { return g_gfx.renderer ? g_gfx.renderer->Width() : 0; }

int GraphicsHeight() { return g_gfx.renderer ? g_gfx.renderer->Height() : 0; }

bool GraphicsModeExists(int width, int height, int depth, int hertz) {
    for (const GraphicsMode& m : plat::Video() ? plat::Video()->Modes() : std::vector<GraphicsMode>{}) {
        if ((width == 0 || m.width == width) && (height == 0 || m.height == height) &&
            (depth == 0 || m.depth == depth) && (hertz == 0 || m.hertz == hertz))
            return true;
    }
    return false;
}

int CountGraphicsModes() {
    return plat::Video() ? static_cast<int>(plat::Video()->Modes().size()) : 0;
}

GraphicsMode GetGraphicsMode(int index) {
    if (!plat::Video()) return {};
    const std::vector<GraphicsMode> modes = plat::Video()->Modes();
    if (index < 0 || index >= static_cast<int>(modes.size())) return {};
    return modes[static_cast<size_t>(index)];
}

void SubmitDrawing() {
    if (g_gfx.renderer) g_gfx.renderer->Submit();
}

void Flip(int sync) {
    if (g_gfx.renderer) {
        const bool fullscreen = g_gfx.depth != 0;
        // Headless runs have no display to wait on; they emulate the blank
        // with the software grid at the mode's rate (60 when none was given).
        const int blankRate = g_gfx.hertz > 0 ? g_gfx.hertz : 60;
        bool vsync = false;
        if (sync == 1) {
            if (plat::HeadlessRun()) PaceFrame(blankRate);
            else vsync = true;
        } else if (sync < 0 && g_gfx.hertz > 0) {
            if (fullscreen && !plat::HeadlessRun()) vsync = true;
            else PaceFrame(g_gfx.hertz);
        }
        g_gfx.renderer->Present(vsync);
    }
    plat::PollEvents();
}

float VirtualMouseX() {
    const int w = GraphicsWidth();
    const float x = static_cast<float>(MouseX());
    return w > 0 ? x * VirtualResolutionWidth() / static_cast<float>(w) : x;
}

float VirtualMouseY() {
    const int h = GraphicsHeight();
    const float y = static_cast<float>(MouseY());
    return h > 0 ? y * VirtualResolutionHeight() / static_cast<float>(h) : y;
}

void ShowMouse() {
    g_gfx.cursorShown = true;
    if (g_gfx.renderer && plat::Video()) plat::Video()->ShowCursor(true);
}

void HideMouse() {
    g_gfx.cursorShown = false;
    if (g_gfx.renderer && plat::Video()) plat::Video()->ShowCursor(false);
}

void MoveMouse(int x, int y) {
    if (g_gfx.renderer && plat::Video()) plat::Video()->WarpMouse(x, y);
}
