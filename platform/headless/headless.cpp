// headless.cpp — the test back ends: a video back end without a window whose
// renderer draws into memory, a virtual clock, scripted input and scripted
// joysticks.
#include "platform/headless/headless.h"

#include <deque>
#include <utility>

#include "platform/backend.h"
#include "platform/core/core.h"

namespace {

// ---------------------------------------------------------------------------
// Shared headless state (reset by UseHeadlessPlatform)
// ---------------------------------------------------------------------------
struct ScriptEvent {
    enum Kind { Key, Char, Move, Button, Wheel, Close } kind;
    int a = 0, b = 0;
};

struct JoyState {
    bool attached = false;
    std::string name;
    int buttons = 0;
    std::vector<bool> held;
    float axes[6] = {0, 0, 0, 0, 0, 0};
    float hat = -1.0f;  // centred
};

struct HeadlessState {
    HeadlessConfig config;
    uint32_t millis = 0;
    int64_t elapsedMs = 0;  // since UseHeadlessPlatform, for the date
    int flipCost = 0;
    int flipCount = 0;
    double spriteCost = 0;    // virtual ms per textured draw
    double pendingDrawMs = 0;  // drawing time not yet on the clock
    int64_t spriteCount = 0;
    std::deque<ScriptEvent> events;
    std::function<void(int)> onFlip;
    std::function<void(uint32_t)> onDelay;
    std::vector<uint32_t> frame;  // last shown frame, 0xAARRGGBB
    int frameW = 0, frameH = 0;
    std::vector<JoyState> joys;
    bool open = false;
    bool fullscreen = false;
};

HeadlessState g_hl;

void Advance(int ms) {
    if (ms <= 0) return;
    g_hl.millis += static_cast<uint32_t>(ms);
    g_hl.elapsedMs += ms;
}

// Drawing time reaches the clock in whole milliseconds whenever the clock is
// read or slept on, so a frame's draws count before FrameEnd's wait.
void SettleDrawTime() {
    if (g_hl.pendingDrawMs < 1) return;
    const int whole = static_cast<int>(g_hl.pendingDrawMs);
    Advance(whole);
    g_hl.pendingDrawMs -= whole;
}

void Queue(ScriptEvent::Kind kind, int a = 0, int b = 0) {
    g_hl.events.push_back(ScriptEvent{kind, a, b});
}

// ---------------------------------------------------------------------------
// Back ends
// ---------------------------------------------------------------------------
// The software renderer with the frame-cost model in front of it: every
// textured draw adds its virtual cost. A draw whose vertices all have alpha 0
// in the mask, alpha or light blend changes no pixel, so it is counted and
// charged but not rasterised; headless engine benchmarks stay cheap in real
// time while their virtual time follows the model.
class CostedRenderer : public plat::RenderBackend {
public:
    explicit CostedRenderer(std::unique_ptr<plat::RenderBackend> inner) : inner_(std::move(inner)) {}
    const char* Name() const override { return inner_->Name(); }
    int Width() const override { return inner_->Width(); }
    int Height() const override { return inner_->Height(); }
    void Clear(uint32_t rgb) override { inner_->Clear(rgb); }
    void DrawTriangles(plat::Texture* tex, int blend, const plat::Vertex* v, int count) override {
        if (tex) {
            ++g_hl.spriteCount;
            g_hl.pendingDrawMs += g_hl.spriteCost;
        }
        if (Invisible(blend, v, count)) return;
        inner_->DrawTriangles(tex, blend, v, count);
    }
    void Submit() override { inner_->Submit(); }
    void Present(bool vsync) override {
        SettleDrawTime();
        g_hl.pendingDrawMs = 0;  // a fraction of a millisecond is lost with the frame
        inner_->Present(vsync);
    }
    void ReadPixels(int x, int y, int w, int h, uint32_t* argb) override {
        inner_->ReadPixels(x, y, w, h, argb);
    }
    void ReleaseTexture(plat::Texture& t) override { inner_->ReleaseTexture(t); }

private:
    static bool Invisible(int blend, const plat::Vertex* v, int count) {
        if (blend != BlendMask && blend != BlendAlpha && blend != BlendLight) return false;
        for (int i = 0; i < count; ++i) {
            if ((v[i].color >> 24) != 0) return false;
        }
        return count > 0;
    }
    std::unique_ptr<plat::RenderBackend> inner_;
};

class HeadlessVideo : public plat::VideoBackend {
public:
    std::vector<GraphicsMode> Modes() override { return g_hl.config.modes; }

    std::unique_ptr<plat::RenderBackend> Open(int width, int height, int depth, int hertz,
                                              int renderer) override {
        if (renderer == RendererOpenGL && !g_hl.config.openGLAvailable) return nullptr;
        if (renderer != RendererOpenGL && renderer != RendererSoftware) return nullptr;
        auto r = plat::CreateSoftRenderer(width, height, &HeadlessVideo::Present);
        if (!r) return nullptr;
        g_hl.open = true;
        g_hl.fullscreen = depth != 0;
        return std::make_unique<CostedRenderer>(std::move(r));
    }

    void Close() override {
        g_hl.open = false;
        g_hl.fullscreen = false;
    }

    void PumpEvents() override {
        // Events queued by a hook running inside this loop wait for the next
        // poll, so a script cannot starve the caller.
        std::deque<ScriptEvent> pending;
        pending.swap(g_hl.events);
        for (const ScriptEvent& e : pending) {
            switch (e.kind) {
                case ScriptEvent::Key: plat::InputKey(e.a, e.b != 0); break;
                case ScriptEvent::Char: plat::InputChar(e.a); break;
                case ScriptEvent::Move: plat::InputMouseMove(e.a, e.b); break;
                case ScriptEvent::Button: plat::InputMouseButton(e.a, e.b != 0); break;
                case ScriptEvent::Wheel: plat::InputWheel(e.a); break;
                case ScriptEvent::Close: plat::InputCloseRequest(); break;
            }
        }
    }

    void SetCaption(const std::string&) override {}
    void SetIcon(const Pixmap&) override {}
    void ShowCursor(bool) override {}
    void WarpMouse(int x, int y) override { Queue(ScriptEvent::Move, x, y); }
    bool Fullscreen() const override { return g_hl.fullscreen; }

private:
    static void Present(const uint32_t* argb, int width, int height, bool) {
        g_hl.frame.assign(argb, argb + static_cast<size_t>(width) * static_cast<size_t>(height));
        g_hl.frameW = width;
        g_hl.frameH = height;
        Advance(g_hl.flipCost);
        ++g_hl.flipCount;
        if (g_hl.onFlip) {
            auto hook = g_hl.onFlip;  // the hook may replace itself
            hook(g_hl.flipCount);
        }
    }
};

class VirtualClock : public plat::ClockBackend {
public:
    uint32_t Millis() override {
        SettleDrawTime();
        return g_hl.millis;
    }
    void Sleep(int ms) override {
        SettleDrawTime();
        Advance(ms);
        if (!plat::FlipPacing() && g_hl.onDelay) {
            auto hook = g_hl.onDelay;
            hook(g_hl.millis);
        }
    }
    int64_t UnixSeconds() override {
        // Whole seconds of virtual time since the start, on top of the
        // configured wall-clock start (read as local time).
        return g_hl.config.startUnixSeconds + g_hl.elapsedMs / 1000;
    }
};

class HeadlessJoysticks : public plat::JoystickBackend {
public:
    int Count() override {
        int n = 0;
        for (size_t i = 0; i < g_hl.joys.size(); ++i)
            if (g_hl.joys[i].attached) n = static_cast<int>(i) + 1;
        return n;
    }
    std::string Name(int port) override { return At(port) ? At(port)->name : std::string(); }
    int Buttons(int port) override { return At(port) ? At(port)->buttons : 0; }
    bool Button(int port, int button) override {
        const JoyState* j = At(port);
        return j && button >= 0 && button < j->buttons && j->held[static_cast<size_t>(button)];
    }
    float Axis(int port, int axis) override {
        const JoyState* j = At(port);
        return (j && axis >= 0 && axis < 6) ? j->axes[axis] : 0.0f;
    }
    float Hat(int port) override { return At(port) ? At(port)->hat : 0.0f; }

private:
    static const JoyState* At(int port) {
        if (port < 0 || port >= static_cast<int>(g_hl.joys.size())) return nullptr;
        const JoyState& j = g_hl.joys[static_cast<size_t>(port)];
        return j.attached ? &j : nullptr;
    }
};

JoyState* JoyPort(int port) {
    if (port < 0 || port >= 64) return nullptr;
    if (port >= static_cast<int>(g_hl.joys.size())) g_hl.joys.resize(static_cast<size_t>(port) + 1);
    return &g_hl.joys[static_cast<size_t>(port)];
}

}  // namespace

void UseHeadlessPlatform(const HeadlessConfig& config) {
    // Close whatever was open with the back end that opened it.
    plat::ResetGraphicsState();
    g_hl = HeadlessState{};
    g_hl.config = config;
    g_hl.millis = config.startMillis;
    g_hl.flipCost = config.flipCostMs;
    g_hl.spriteCost = config.spriteCostMs > 0 ? config.spriteCostMs : 0;
    plat::SetHeadlessRun(true);
    plat::InstallBackends(std::make_unique<HeadlessVideo>(), std::make_unique<VirtualClock>(),
                          std::make_unique<HeadlessJoysticks>());
    plat::AudioUseMemoryDevice();
    plat::ResetInputState();
    plat::ResetRandomState();
    plat::ClearPlatformNotes();
}

void HeadlessAdvance(int ms) { Advance(ms); }

void HeadlessSetFlipCost(int ms) { g_hl.flipCost = ms > 0 ? ms : 0; }

void HeadlessSetSpriteCost(double ms) { g_hl.spriteCost = ms > 0 ? ms : 0; }

int64_t HeadlessSpriteCount() { return g_hl.spriteCount; }

void HeadlessKey(int key, bool down) { Queue(ScriptEvent::Key, key, down ? 1 : 0); }

void HeadlessTap(int key) {
    Queue(ScriptEvent::Key, key, 1);
    Queue(ScriptEvent::Key, key, 0);
}

void HeadlessChar(int code) { Queue(ScriptEvent::Char, code); }

void HeadlessMouseMove(int x, int y) { Queue(ScriptEvent::Move, x, y); }

void HeadlessMouseButton(int button, bool down) { Queue(ScriptEvent::Button, button, down ? 1 : 0); }

void HeadlessWheel(int delta) { Queue(ScriptEvent::Wheel, delta); }

void HeadlessCloseRequest() { Queue(ScriptEvent::Close); }

// Arrives out of band, the way a signal handler delivers it.
void HeadlessTerminationSignal() { plat::InputTerminationSignal(); }

void HeadlessSetJoystick(int port, const std::string& name, int buttons) {
    JoyState* j = JoyPort(port);
    if (!j) return;
    *j = JoyState{};
    j->attached = true;
    j->name = name;
    j->buttons = buttons > 0 ? buttons : 0;
    j->held.assign(static_cast<size_t>(j->buttons), false);
}

void HeadlessSetJoyAxis(int port, int axis, float value) {
    JoyState* j = JoyPort(port);
    if (j && axis >= 0 && axis < 6) j->axes[axis] = value;
}

void HeadlessSetJoyHat(int port, float value) {
    if (JoyState* j = JoyPort(port)) j->hat = value;
}

void HeadlessSetJoyButton(int port, int button, bool down) {
    JoyState* j = JoyPort(port);
    if (j && button >= 0 && button < j->buttons) j->held[static_cast<size_t>(button)] = down;
}

void HeadlessDetachJoystick(int port) {
    if (JoyState* j = JoyPort(port)) *j = JoyState{};
}

void HeadlessOnFlip(std::function<void(int frame)> hook) { g_hl.onFlip = std::move(hook); }

void HeadlessOnDelay(std::function<void(uint32_t now)> hook) { g_hl.onDelay = std::move(hook); }

int HeadlessFlipCount() { return g_hl.flipCount; }

Pixmap HeadlessFrame() {
    if (g_hl.frame.empty()) return {};
    Pixmap p = CreatePixmap(g_hl.frameW, g_hl.frameH);
    if (!p) return {};
    for (int y = 0; y < g_hl.frameH; ++y)
        for (int x = 0; x < g_hl.frameW; ++x)
            WritePixel(p, x, y, g_hl.frame[static_cast<size_t>(y) * g_hl.frameW + x]);
    return p;
}

Pixmap HeadlessBackBuffer() {
    if (!GraphicsOpen()) return {};
    return GrabPixmap(0, 0, GraphicsWidth(), GraphicsHeight());
}
