// sdl_joystick.cpp — joysticks through SDL's joystick interface. Ports are
// SDL's device indexes; the set is reopened whenever a device comes or goes.
#include <SDL.h>

#include <vector>

#include "platform/sdl/sdl_video.h"

namespace {

bool g_changed = true;  // reopen at the next query

class SdlJoysticks : public plat::JoystickBackend {
public:
    ~SdlJoysticks() override {
        CloseAll();
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }

    int Count() override {
        Refresh();
        return static_cast<int>(sticks_.size());
    }
    std::string Name(int port) override {
        SDL_Joystick* j = At(port);
        const char* name = j ? SDL_JoystickName(j) : nullptr;
        return name ? name : "";
    }
    int Buttons(int port) override {
        SDL_Joystick* j = At(port);
        return j ? SDL_JoystickNumButtons(j) : 0;
    }
    bool Button(int port, int button) override {
        SDL_Joystick* j = At(port);
        return j && SDL_JoystickGetButton(j, button) != 0;
    }
    float Axis(int port, int axis) override {
        SDL_Joystick* j = At(port);
        if (!j || axis < 0 || axis >= SDL_JoystickNumAxes(j)) return 0.0f;
        const float v = SDL_JoystickGetAxis(j, axis) / 32767.0f;
        return v < -1.0f ? -1.0f : (v > 1.0f ? 1.0f : v);
    }
    float Hat(int port) override {
        SDL_Joystick* j = At(port);
        if (!j) return 0.0f;
        if (SDL_JoystickNumHats(j) < 1) return -1.0f;  // no hat: reads as centred
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
    void CloseAll() {
        // Once the subsystem is shut down the handles are already gone.
        if (SDL_WasInit(SDL_INIT_JOYSTICK))
            for (SDL_Joystick* j : sticks_)
                if (j) SDL_JoystickClose(j);
        sticks_.clear();
    }
    void Refresh() {
        if (!g_changed || !SDL_WasInit(SDL_INIT_JOYSTICK)) return;
        g_changed = false;
        CloseAll();
        const int n = SDL_NumJoysticks();
        for (int i = 0; i < n; ++i) sticks_.push_back(SDL_JoystickOpen(i));
    }
    SDL_Joystick* At(int port) {
        Refresh();
        if (port < 0 || port >= static_cast<int>(sticks_.size())) return nullptr;
        return sticks_[static_cast<size_t>(port)];
    }

    std::vector<SDL_Joystick*> sticks_;
};

}  // namespace

namespace plat {

void SdlJoysticksChanged() { g_changed = true; }

std::unique_ptr<JoystickBackend> CreateSdlJoysticks() {
    g_changed = true;
    return std::make_unique<SdlJoysticks>();
}

}  // namespace plat
