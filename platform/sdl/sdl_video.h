// sdl_video.h — the SDL back ends behind PlatformInit, and what they report
// about themselves (for the start-up log and the real-window test). Nothing
// here needs an SDL header.
#pragma once

#include <memory>
#include <string>

#include "platform/backend.h"

namespace plat {

std::unique_ptr<VideoBackend> CreateSdlVideo();
std::unique_ptr<JoystickBackend> CreateSdlJoysticks();

// SDL's video driver ("x11", "wayland", ...), "" before video is up.
std::string SdlVideoDriver();
// False for SDL's drivers that draw into memory only ("offscreen", "dummy",
// "evdev") and for none: never a display a player sees.
bool RealDisplayDriver(const char* name);
// How the open window shows frames: "opengl" for renderer 0, "surface" or
// "texture" for the software renderer, "" when closed.
std::string SdlPresentPath();

// In builds with AddressSanitizer: keeps every library loaded so far (the
// OpenGL driver among them) loaded until the process ends. The GL driver is
// unloaded at exit before the leak check runs, which then finds the
// driver's still-held memory with no module to name, a leak report that no
// suppression can match. Does nothing in other builds. Call after a GL
// context exists.
void KeepLoadedLibrariesForLeakCheck();

}  // namespace plat
