// x11_errors.cpp — see x11_errors.h. Xlib is reached through the copy SDL
// already loaded for its x11 driver, so the program does not link it.
#include "platform/sdl/x11_errors.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <dlfcn.h>

#include <cstring>

namespace {

int g_errors = 0;

int CountError(Display*, XErrorEvent*) {
    ++g_errors;
    return 0;
}

void* Xlib() { return dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD); }

}  // namespace

namespace plat {

void CatchXErrors() {
    static bool installed = false;
    const char* driver = SDL_GetCurrentVideoDriver();
    if (installed || !driver || std::strcmp(driver, "x11") != 0) return;
    installed = true;
    void* x11 = Xlib();
    if (!x11) return;
    using SetHandler = XErrorHandler (*)(XErrorHandler);
    if (auto set = reinterpret_cast<SetHandler>(dlsym(x11, "XSetErrorHandler"))) set(&CountError);
}

int XErrorCount() { return g_errors; }

void SyncWithX(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    void* x11 = Xlib();
    if (!x11) return;
    using Sync = int (*)(Display*, Bool);
    if (auto sync = reinterpret_cast<Sync>(dlsym(x11, "XSync"))) sync(info.info.x11.display, False);
}

}  // namespace plat
