// core.h — state shared between the platform core and its own back ends
// (platform/sdl, platform/headless). Nothing outside platform/ includes this.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/backend.h"

namespace plat {

// The real clock: milliseconds since the first call, real sleeps, and the
// local wall-clock time (see ClockBackend::UnixSeconds below).
std::unique_ptr<ClockBackend> CreateRealClock();

// ClockBackend::UnixSeconds() convention: seconds since 1970 of the *local*
// wall-clock time (the real clock adds the zone offset), so CurrentDate and
// CurrentTime format it as UTC and never consult the zone themselves.

// Clears every key, button, counter, the character queue, the wheel, the
// close request and sets the window active (a fresh input state).
void ResetInputState();
// The random generator back to its initial state (4660).
void ResetRandomState();
// Drops every pending platform note.
void ClearPlatformNotes();
// Closes graphics, forgets the renderer choice (back to OpenGL), the caption
// and the cursor state, so a new back end starts from scratch.
void ResetGraphicsState();

// Headless runs: EndProgram throws ProgramEnded instead of exiting, and the
// vertical blank (Flip(1), and Flip(-1) in full screen) is emulated by the
// same software pacing a window uses, on the virtual clock.
void SetHeadlessRun(bool headless);
bool HeadlessRun();

// True while Flip is sleeping to pace a frame; the virtual clock uses it to
// tell pacing waits from Delay calls.
bool FlipPacing();

}  // namespace plat
