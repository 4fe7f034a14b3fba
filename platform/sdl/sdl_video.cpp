// sdl_video.cpp — the window, full-screen modes, the OpenGL context or the
// software presenter, and the event pump, over SDL2.
#include "platform/sdl/sdl_video.h"

#include <SDL.h>

#include <cstring>

#include <dlfcn.h>
#include <link.h>

#if defined(__SANITIZE_ADDRESS__)
#define FLINGO_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FLINGO_ADDRESS_SANITIZER 1
#endif
#endif

#include "platform/image/image.h"
#include "platform/sdl/sdl_keys.h"
#include "platform/sdl/x11_errors.h"

namespace plat {
void SdlJoysticksChanged();  // sdl_joystick.cpp
}

namespace {

std::string g_presentPath;


class SdlVideo : public plat::VideoBackend {
public:
    ~SdlVideo() override {
        Close();
        // Only video: the audio device has its own lifetime.
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    std::vector<GraphicsMode> Modes() override {
        std::vector<GraphicsMode> modes;
        const int n = SDL_GetNumDisplayModes(0);
        for (int i = 0; i < n; ++i) {
            SDL_DisplayMode m{};
            if (SDL_GetDisplayMode(0, i, &m) != 0) continue;
            // Four-byte formats are 32-bit modes even when only 24 bits
            // carry colour.
            const int depth = SDL_BYTESPERPIXEL(m.format) * 8;
            modes.push_back(GraphicsMode{m.w, m.h, depth, m.refresh_rate});
        }
        return modes;
    }

    std::unique_ptr<plat::RenderBackend> Open(int width, int height, int depth, int hertz,
                                              int renderer) override {
        Close();
        if (!SDL_WasInit(SDL_INIT_VIDEO)) return nullptr;
        const bool gl = renderer == RendererOpenGL;
        if (gl) plat::CatchXErrors();
        const int xErrorsBefore = plat::XErrorCount();
        Uint32 flags = SDL_WINDOW_SHOWN;
        if (gl) {
            flags |= SDL_WINDOW_OPENGL;
            SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
            SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
            SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
            SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
        }
        window_ = SDL_CreateWindow(caption_.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                   width, height, flags);
        if (!window_) return nullptr;
        ApplyIcon();
        fullscreen_ = depth != 0;
        if (fullscreen_ && !EnterFullscreen(width, height, hertz)) {
            Close();
            return nullptr;
        }
        std::unique_ptr<plat::RenderBackend> r = gl ? OpenGL(width, height)
                                                    : OpenSoftware(width, height);
        if (gl && window_) plat::SyncWithX(window_);
        if (r && plat::XErrorCount() != xErrorsBefore) {
            // A context that came with X errors is not trusted to draw.
            plat::AddPlatformNote("\tThe display refused the OpenGL set-up (an X error)");
            r.reset();
        }
        if (!r) {
            Close();
            return nullptr;
        }
        SDL_ShowCursor(cursor_ ? SDL_ENABLE : SDL_DISABLE);
        SDL_RaiseWindow(window_);
        SDL_StartTextInput();
        return r;
    }

    void Close() override {
        if (texture_) SDL_DestroyTexture(texture_);
        if (sdlRenderer_) SDL_DestroyRenderer(sdlRenderer_);
        if (context_) SDL_GL_DeleteContext(context_);
        if (window_) SDL_DestroyWindow(window_);
        texture_ = nullptr;
        sdlRenderer_ = nullptr;
        shownSurface_ = nullptr;
        context_ = nullptr;
        window_ = nullptr;
        fullscreen_ = false;
        swapInterval_ = -1;
        g_presentPath.clear();
    }

    void PumpEvents() override {
        SDL_Event e;
        while (SDL_PollEvent(&e)) Dispatch(e);
    }

    void SetCaption(const std::string& caption) override {
        caption_ = caption;
        if (window_) SDL_SetWindowTitle(window_, caption_.c_str());
    }

    void SetIcon(const Pixmap& icon) override { icon_ = icon; }

    void ShowCursor(bool show) override {
        cursor_ = show;
        if (window_) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
    }

    void WarpMouse(int x, int y) override {
        if (!window_) return;
        SDL_WarpMouseInWindow(window_, x, y);
        // The pointer is there now, whether or not the window system echoes
        // the move as an event.
        plat::InputMouseMove(x, y);
    }

    bool Fullscreen() const override { return fullscreen_; }

private:
    // SDL copies the pixels into the window's icon property, so the surface
    // only has to live for the call.
    void ApplyIcon() {
        if (!icon_ || icon_->width <= 0 || icon_->height <= 0) return;
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
            icon_->pixels.data(), icon_->width, icon_->height, 32,
            icon_->pitch * static_cast<int>(sizeof(uint32_t)), SDL_PIXELFORMAT_ARGB8888);
        if (!surface) return;
        SDL_SetWindowIcon(window_, surface);
        SDL_FreeSurface(surface);
    }

    bool EnterFullscreen(int width, int height, int hertz) {
        SDL_DisplayMode want{};
        want.w = width;
        want.h = height;
        want.refresh_rate = hertz;
        SDL_DisplayMode got{};
        if (!SDL_GetClosestDisplayMode(0, &want, &got)) return false;
        if (SDL_SetWindowDisplayMode(window_, &got) != 0) return false;
        return SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN) == 0;
    }

    std::unique_ptr<plat::RenderBackend> OpenGL(int width, int height) {
        context_ = SDL_GL_CreateContext(window_);
        if (!context_) {
            // Whatever the driver offers by default, if not 2.1 compatibility.
            SDL_GL_ResetAttributes();
            SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
            context_ = SDL_GL_CreateContext(window_);
        }
        if (!context_) return nullptr;
        plat::KeepLoadedLibrariesForLeakCheck();
        SDL_GL_MakeCurrent(window_, context_);
        SetSwapInterval(0);
        SDL_Window* window = window_;
        auto r = plat::CreateGLRenderer(
            width, height, reinterpret_cast<plat::GLGetProcFn>(&SDL_GL_GetProcAddress),
            [this, window](bool vsync) {
                SetSwapInterval(vsync ? 1 : 0);
                SDL_GL_SwapWindow(window);
            });
        if (r) g_presentPath = "opengl";
        return r;
    }

    void SetSwapInterval(int interval) {
        if (interval == swapInterval_) return;
        SDL_GL_SetSwapInterval(interval);
        swapInterval_ = interval;
    }

    // The window surface is a plain memory copy (shared memory on X11), the
    // cheapest way to show a CPU-drawn frame; an SDL streaming texture is the
    // fallback where the window system has no plain surface (Wayland).
    //
    // Left to itself SDL backs a window surface with a texture of its own
    // accelerated renderer, which loads and starts the OpenGL driver (some
    // 55 MB resident with a software GL, and an X error where GLX is present
    // but its driver is not). Frame-buffer acceleration is switched off
    // before the first surface is asked for, so this path never touches
    // OpenGL; SDL reads the setting once, at the first surface.
    std::unique_ptr<plat::RenderBackend> OpenSoftware(int width, int height) {
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        SDL_Surface* surface = SDL_GetWindowSurface(window_);
        if (surface) {
            g_presentPath = "surface";
            return plat::CreateSoftRenderer(width, height, [this](const uint32_t* argb, int w, int h, bool repeat) {
                PresentToSurface(argb, w, h, repeat);
            });
        }
        sdlRenderer_ = SDL_CreateRenderer(window_, -1, 0);
        if (!sdlRenderer_) return nullptr;
        texture_ = SDL_CreateTexture(sdlRenderer_, SDL_PIXELFORMAT_ARGB8888,
                                     SDL_TEXTUREACCESS_STREAMING, width, height);
        if (!texture_) return nullptr;
        g_presentPath = "texture";
        return plat::CreateSoftRenderer(width, height, [this](const uint32_t* argb, int w, int h, bool) {
            SDL_UpdateTexture(texture_, nullptr, argb, w * 4);
            SDL_RenderCopy(sdlRenderer_, texture_, nullptr, nullptr);
            SDL_RenderPresent(sdlRenderer_);
        });
    }

    void PresentToSurface(const uint32_t* argb, int w, int h, bool repeat) {
        // The surface is re-fetched each frame: SDL replaces it when the
        // window changes size.
        SDL_Surface* s = SDL_GetWindowSurface(window_);
        if (!s) return;
        // A frame that repeats the last one is already in the surface, as
        // long as that is the same surface of the same size: only shown.
        const bool kept = repeat && s == shownSurface_ && s->w == shownW_ && s->h == shownH_ &&
                          w == shownFrameW_ && h == shownFrameH_;
        shownSurface_ = s;
        shownW_ = s->w;
        shownH_ = s->h;
        shownFrameW_ = w;
        shownFrameH_ = h;
        if (kept) {
            SDL_UpdateWindowSurface(window_);
            return;
        }
        const int cw = w < s->w ? w : s->w;
        const int ch = h < s->h ? h : s->h;
        if (SDL_MUSTLOCK(s)) SDL_LockSurface(s);
        if (s->format->format == SDL_PIXELFORMAT_ARGB8888 ||
            s->format->format == SDL_PIXELFORMAT_RGB888) {
            for (int y = 0; y < ch; ++y)
                std::memcpy(static_cast<uint8_t*>(s->pixels) + static_cast<size_t>(y) * s->pitch,
                            argb + static_cast<size_t>(y) * w, static_cast<size_t>(cw) * 4);
        } else {
            SDL_ConvertPixels(cw, ch, SDL_PIXELFORMAT_ARGB8888, argb, w * 4, s->format->format,
                              s->pixels, s->pitch);
        }
        if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
        SDL_UpdateWindowSurface(window_);
    }

    void Dispatch(const SDL_Event& e) {
        switch (e.type) {
            case SDL_QUIT: plat::InputCloseRequest(); break;
            case SDL_WINDOWEVENT:
                switch (e.window.event) {
                    case SDL_WINDOWEVENT_CLOSE: plat::InputCloseRequest(); break;
                    case SDL_WINDOWEVENT_FOCUS_GAINED: plat::InputFocus(true); break;
                    case SDL_WINDOWEVENT_FOCUS_LOST: plat::InputFocus(false); break;
                    default: break;
                }
                break;
            case SDL_KEYDOWN:
            case SDL_KEYUP: {
                const int vk = plat::TranslateSdlKey(e.key.keysym.sym, e.key.keysym.scancode);
                const bool down = e.type == SDL_KEYDOWN;
                // Auto-repeat types characters again but is not a new press.
                if (vk && !(down && e.key.repeat)) plat::InputKey(vk, down);
                if (down) {
                    if (const int c = plat::KeyPressChar(vk)) plat::InputChar(c);
                }
                break;
            }
            case SDL_TEXTINPUT:
                for (int c : plat::Utf8ToLatin1(e.text.text)) plat::InputChar(c);
                break;
            case SDL_MOUSEMOTION: plat::InputMouseMove(e.motion.x, e.motion.y); break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP: {
                int button = 0;
                if (e.button.button == SDL_BUTTON_LEFT) button = 1;
                else if (e.button.button == SDL_BUTTON_RIGHT) button = 2;
                else if (e.button.button == SDL_BUTTON_MIDDLE) button = 3;
                plat::InputMouseMove(e.button.x, e.button.y);
                if (button) plat::InputMouseButton(button, e.type == SDL_MOUSEBUTTONDOWN);
                break;
            }
            case SDL_MOUSEWHEEL: {
                const int dy = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
                if (dy) plat::InputWheel(dy);
                break;
            }
            case SDL_JOYDEVICEADDED:
            case SDL_JOYDEVICEREMOVED: plat::SdlJoysticksChanged(); break;
            default: break;
        }
    }

    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    SDL_Renderer* sdlRenderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    // What the window surface was last given (PresentToSurface).
    SDL_Surface* shownSurface_ = nullptr;
    int shownW_ = 0, shownH_ = 0, shownFrameW_ = 0, shownFrameH_ = 0;
    std::string caption_;
    Pixmap icon_;
    bool cursor_ = true;
    bool fullscreen_ = false;
    int swapInterval_ = -1;
};

}  // namespace

namespace plat {

std::unique_ptr<VideoBackend> CreateSdlVideo() { return std::make_unique<SdlVideo>(); }

std::string SdlVideoDriver() {
    const char* d = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : nullptr;
    return d ? d : "";
}

std::string SdlPresentPath() { return g_presentPath; }

void KeepLoadedLibrariesForLeakCheck() {
#if FLINGO_ADDRESS_SANITIZER
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            // Promotes an already loaded library to never-unloaded; the
            // handle is kept on purpose.
            if (info->dlpi_name && info->dlpi_name[0])
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
#endif
}

}  // namespace plat
