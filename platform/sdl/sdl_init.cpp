// sdl_init.cpp — PlatformInit: SDL video, events and joysticks, the real
// clock, and a fresh input and random state.
#include <SDL.h>
#include <signal.h>

#include <string>

#include "platform/core/core.h"
#include "platform/platform.h"
#include "platform/sdl/sdl_video.h"

namespace {
void OnTerminationSignal(int) { plat::InputTerminationSignal(); }
}  // namespace

bool plat::RealDisplayDriver(const char* name) {
    if (!name) return false;
    const std::string n = name;
    return n != "offscreen" && n != "dummy" && n != "evdev";
}

void PlatformInit() {
    // SDL would turn SIGTERM and SIGINT into a window-close request, which
    // shows the closing screen and waits for a key nobody will press when a
    // desktop session ends. Our own handler marks the run as terminating:
    // the closing screen then saves and ends at once.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    // A click that focuses the window is also a click in the game.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");

    std::string failure;
    if (SDL_Init(SDL_INIT_EVENTS) != 0) failure = SDL_GetError();
    // Without a display (no DISPLAY, or a wrong one) SDL settles on its
    // off-screen driver, where a "window" is a buffer nobody sees: the game
    // would run on unseen, waiting for input that never comes. A display
    // that refused one connection (a busy server) gets two more tries.
    for (int attempt = 1; attempt <= 3; ++attempt) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            plat::AddPlatformNote(std::string("\tNo display available: ") + SDL_GetError());
            break;
        }
        const char* driver = SDL_GetCurrentVideoDriver();
        if (plat::RealDisplayDriver(driver)) break;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        if (attempt == 3) {
            plat::AddPlatformNote(std::string("\tNo display available: SDL offers only its ") +
                                  (driver ? driver : "?") + " video driver");
        } else {
            SDL_Delay(100);
        }
    }
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0)
        plat::AddPlatformNote(std::string("\tNo joystick support: ") + SDL_GetError());
    else
        SDL_JoystickEventState(SDL_ENABLE);
    if (!failure.empty()) plat::AddPlatformNote("\tSDL could not start: " + failure);

    plat::SetHeadlessRun(false);
    plat::InstallBackends(plat::CreateSdlVideo(), plat::CreateRealClock(),
                          plat::CreateSdlJoysticks());
    plat::ResetInputState();
    plat::ResetRandomState();
}
