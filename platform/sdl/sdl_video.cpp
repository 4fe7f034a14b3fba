// sdl_video.cpp — the real window: SDL video with an OpenGL context or the
// software renderer presented through an SDL streaming texture, SDL events
// turned into the platform's input events, and SDL joysticks.
#include <SDL.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/core/core.h"
#include "platform/sdl/sdl_keys.h"

namespace {

// ---------------------------------------------------------------------------
// Video
// ---------------------------------------------------------------------------
class SdlVideo final : public plat::VideoBackend {
public:
    ~SdlVideo() override {
        Close();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    std::vector<GraphicsMode> Modes() override {
        std::vector<GraphicsMode> modes;
        const int count = SDL_GetNumDisplayModes(0);
        for (int i = 0; i < count; ++i) {
            SDL_DisplayMode m;
            if (SDL_GetDisplayMode(0, i, &m) != 0) continue;
            const int bits = static_cast<int>(SDL_BITSPERPIXEL(m.format));
            // SDL reports 24 for 32-bit X visuals; the game asks for 32 first.
            const int depth = bits >= 24 ? 32 : 16;
            modes.push_back({m.w, m.h, depth, m.refresh_rate});
            if (bits >= 24) modes.push_back({m.w, m.h, 24, m.refresh_rate});
        }
        return modes;
    }

    std::unique_ptr<plat::RenderBackend> Open(int width, int height, int depth, int hertz,
                                              int renderer) override {
        Close();
        fullscreen_ = depth != 0;
        Uint32 flags = SDL_WINDOW_ALLOW_HIGHDPI;
        if (renderer == RendererOpenGL) flags |= SDL_WINDOW_OPENGL;
        if (fullscreen_) flags |= SDL_WINDOW_FULLSCREEN;
        if (renderer == RendererOpenGL) {
            SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
            SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
            SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
            SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
        }
        window_ = SDL_CreateWindow(caption_.c_str(), SDL_WINDOWPOS_CENTERED,
                                   SDL_WINDOWPOS_CENTERED, width, height, flags);
        if (!window_) return nullptr;
        if (fullscreen_) {
            SDL_DisplayMode want{};
            want.w = width;
            want.h = height;
            want.refresh_rate = hertz;
            SDL_DisplayMode got;
            if (SDL_GetClosestDisplayMode(0, &want, &got)) SDL_SetWindowDisplayMode(window_, &got);
        }

        std::unique_ptr<plat::RenderBackend> result;
        if (renderer == RendererOpenGL) {
            gl_ = SDL_GL_CreateContext(window_);
            if (!gl_) return nullptr;
            SDL_GL_MakeCurrent(window_, gl_);
            SDL_GL_SetSwapInterval(0);
            SDL_Window* w = window_;
            int swapInterval = 0;
            result = plat::CreateGLRenderer(
                width, height, reinterpret_cast<plat::GLGetProcFn>(&SDL_GL_GetProcAddress),
                [w, swapInterval](bool vsync) mutable {
                    const int want = vsync ? 1 : 0;
                    if (want != swapInterval) {
                        SDL_GL_SetSwapInterval(want);
                        swapInterval = want;
                    }
                    SDL_GL_SwapWindow(w);
                });
        } else if (renderer == RendererSoftware) {
            // An SDL renderer of its own kind only copies our finished frame.
            sdlRenderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
            if (!sdlRenderer_) return nullptr;
            texture_ = SDL_CreateTexture(sdlRenderer_, SDL_PIXELFORMAT_ARGB8888,
                                         SDL_TEXTUREACCESS_STREAMING, width, height);
            if (!texture_) return nullptr;
            SDL_Renderer* r = sdlRenderer_;
            SDL_Texture* t = texture_;
            result = plat::CreateSoftRenderer(
                width, height, [r, t](const uint32_t* argb, int w, int h) {
                    SDL_UpdateTexture(t, nullptr, argb, w * 4);
                    SDL_RenderCopy(r, t, nullptr, nullptr);
                    SDL_RenderPresent(r);
                });
        }
        if (!result) return nullptr;
        SDL_ShowCursor(cursor_ ? SDL_ENABLE : SDL_DISABLE);
        SDL_RaiseWindow(window_);
        return result;
    }

    void Close() override {
        if (texture_) SDL_DestroyTexture(texture_);
        if (sdlRenderer_) SDL_DestroyRenderer(sdlRenderer_);
        if (gl_) SDL_GL_DeleteContext(gl_);
        if (window_) SDL_DestroyWindow(window_);
        texture_ = nullptr;
        sdlRenderer_ = nullptr;
        gl_ = nullptr;
        window_ = nullptr;
    }

    void PumpEvents() override {
        SDL_Event e;
        while (SDL_PollEvent(&e)) Handle(e);
    }

    void SetCaption(const std::string& caption) override {
        caption_ = caption;
        if (window_) SDL_SetWindowTitle(window_, caption.c_str());
    }

    void ShowCursor(bool show) override {
        cursor_ = show;
        SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
    }

    void WarpMouse(int x, int y) override {
        if (!window_) return;
        SDL_WarpMouseInWindow(window_, x, y);
        plat::InputMouseMove(x, y);
    }

    bool Fullscreen() const override { return fullscreen_; }

private:
    static int MouseButton(Uint8 b) {
        switch (b) {
            case SDL_BUTTON_LEFT: return 1;
            case SDL_BUTTON_RIGHT: return 2;
            case SDL_BUTTON_MIDDLE: return 3;
            default: return 0;
        }
    }

    void Handle(const SDL_Event& e) {
        switch (e.type) {
            case SDL_QUIT: plat::InputCloseRequest(); break;
            case SDL_WINDOWEVENT:
                if (e.window.event == SDL_WINDOWEVENT_CLOSE) plat::InputCloseRequest();
                else if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) plat::InputFocus(true);
                else if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) plat::InputFocus(false);
                break;
            case SDL_KEYDOWN:
            case SDL_KEYUP: {
                const int vk = plat::TranslateSdlKey(e.key.keysym.sym, e.key.keysym.scancode);
                if (vk <= 0) break;
                const bool down = e.type == SDL_KEYDOWN;
                if (down && e.key.repeat) {
                    // Auto-repeat types again but is not a new press.
                    if (int c = plat::KeyPressChar(vk)) plat::InputChar(c);
                    break;
                }
                plat::InputKey(vk, down);
                if (down) {
                    if (int c = plat::KeyPressChar(vk)) plat::InputChar(c);
                }
                break;
            }
            case SDL_TEXTINPUT:
                for (int c : plat::Utf8ToLatin1(e.text.text)) plat::InputChar(c);
                break;
            case SDL_MOUSEMOTION: plat::InputMouseMove(e.motion.x, e.motion.y); break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
                plat::InputMouseMove(e.button.x, e.button.y);
                if (int b = MouseButton(e.button.button))
                    plat::InputMouseButton(b, e.type == SDL_MOUSEBUTTONDOWN);
                break;
            case SDL_MOUSEWHEEL: plat::InputWheel(e.wheel.y); break;
            default: break;
        }
    }

    SDL_Window* window_ = nullptr;
    SDL_GLContext gl_ = nullptr;
    SDL_Renderer* sdlRenderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    std::string caption_;
    bool fullscreen_ = false;
    bool cursor_ = true;
};

// ---------------------------------------------------------------------------
// Joysticks
// ---------------------------------------------------------------------------
class SdlJoysticks final : public plat::JoystickBackend {
public:
    SdlJoysticks() {
        const int n = SDL_NumJoysticks();
        for (int i = 0; i < n; ++i) {
            if (SDL_Joystick* j = SDL_JoystickOpen(i)) sticks_.push_back(j);
        }
    }
    ~SdlJoysticks() override {
        for (SDL_Joystick* j : sticks_) SDL_JoystickClose(j);
    }

    int Count() override { return static_cast<int>(sticks_.size()); }
    std::string Name(int port) override {
        SDL_Joystick* j = At(port);
        const char* n = j ? SDL_JoystickName(j) : nullptr;
        return n ? n : "";
    }
    int Buttons(int port) override {
        SDL_Joystick* j = At(port);
        return j ? SDL_JoystickNumButtons(j) : 0;
    }
    bool Button(int port, int button) override {
        SDL_Joystick* j = At(port);
        SDL_JoystickUpdate();
        return j && button >= 0 && button < SDL_JoystickNumButtons(j) &&
               SDL_JoystickGetButton(j, button) != 0;
    }
    float Axis(int port, int axis) override {
        SDL_Joystick* j = At(port);
        if (!j || axis < 0 || axis >= SDL_JoystickNumAxes(j)) return 0;
        SDL_JoystickUpdate();
        const float v = static_cast<float>(SDL_JoystickGetAxis(j, axis)) / 32767.0f;
        return v < -1 ? -1 : (v > 1 ? 1 : v);
    }
    float Hat(int port) override {
        SDL_Joystick* j = At(port);
        if (!j || SDL_JoystickNumHats(j) < 1) return 0;  // no hat: reads like an absent port
        SDL_JoystickUpdate();
        switch (SDL_JoystickGetHat(j, 0)) {
            case SDL_HAT_UP: return 0.0f;
            case SDL_HAT_RIGHTUP: return 0.125f;
            case SDL_HAT_RIGHT: return 0.25f;
            case SDL_HAT_RIGHTDOWN: return 0.375f;
            case SDL_HAT_DOWN: return 0.5f;
            case SDL_HAT_LEFTDOWN: return 0.625f;
            case SDL_HAT_LEFT: return 0.75f;
            case SDL_HAT_LEFTUP: return 0.875f;
            default: return -1.0f;
        }
    }

private:
    SDL_Joystick* At(int port) {
        return port >= 0 && port < static_cast<int>(sticks_.size()) ? sticks_[port] : nullptr;
    }
    std::vector<SDL_Joystick*> sticks_;
};

}  // namespace

void PlatformInit() {
    plat::SetHeadlessRun(false);
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_JOYSTICK) != 0) {
        // Without a display there is nothing to draw into; the framework's
        // fallbacks then find every Graphics call failing and say so.
        plat::AddPlatformNote(std::string("\tSDL could not start: ") + SDL_GetError());
    }
    SDL_StartTextInput();
    plat::InstallBackends(std::make_unique<SdlVideo>(), plat::CreateRealClock(),
                          std::make_unique<SdlJoysticks>());
}
