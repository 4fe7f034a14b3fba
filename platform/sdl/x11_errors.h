// x11_errors.h — X errors counted instead of ending the program.
//
// Xlib's own error handler ends the process (exit code 1) at the first X
// error. Where GLX is present but its driver is not, the GL library sends a
// request the server refuses while SDL sets up OpenGL, and the game would die
// before it could fall back. CatchXErrors installs a handler that counts the
// error instead, so the OpenGL attempt fails like any other and the software
// renderer (which never touches OpenGL) takes over. It stays for the run: no
// X error is worth ending the game for; SDL's own temporary handlers restore
// it. Kept apart from the other SDL code because the X headers clash with
// the platform's own names (Font, Pixmap).
#pragma once

struct SDL_Window;

namespace plat {

void CatchXErrors();  // once, and only under SDL's x11 video driver
int XErrorCount();    // X errors seen since CatchXErrors
// Waits until the X server has answered every request made so far, so an
// error it raised for them has been counted.
void SyncWithX(SDL_Window* window);

}  // namespace plat
