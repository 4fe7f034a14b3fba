// backends.cpp — the installed back ends, platform notes, memory statistics
// and the end of the program.
#include <atomic>
#include <cstdlib>
#include <deque>

#include "platform/core/core.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

std::unique_ptr<plat::VideoBackend> g_video;
std::unique_ptr<plat::ClockBackend> g_clock;
std::unique_ptr<plat::JoystickBackend> g_joysticks;
std::deque<std::string> g_notes;
std::atomic<int64_t> g_memory{0};  // bytes; audio decoding may run off the main thread
bool g_headless = false;

}  // namespace

namespace plat {

void InstallBackends(std::unique_ptr<VideoBackend> video, std::unique_ptr<ClockBackend> clock,
                     std::unique_ptr<JoystickBackend> joysticks) {
    // The renderer of the old video back end must go before the back end.
    ResetGraphicsState();
    // Joysticks before video: both shut their SDL subsystems down.
    g_joysticks.reset();
    g_video.reset();
    g_video = std::move(video);
    g_clock = std::move(clock);
    g_joysticks = std::move(joysticks);
}

VideoBackend* Video() { return g_video.get(); }

ClockBackend* Clock() {
    // Time works before any back end is installed (a tool that never opens
    // a window still measures time).
    if (!g_clock) g_clock = CreateRealClock();
    return g_clock.get();
}

JoystickBackend* Joysticks() { return g_joysticks.get(); }

void AddPlatformNote(const std::string& note) { g_notes.push_back(note); }

void ClearPlatformNotes() { g_notes.clear(); }

void TrackMemory(int64_t delta) { g_memory += delta; }

void SetHeadlessRun(bool headless) { g_headless = headless; }

bool HeadlessRun() { return g_headless; }

}  // namespace plat

std::string NextPlatformNote() {
    if (g_notes.empty()) return {};
    std::string note = std::move(g_notes.front());
    g_notes.pop_front();
    return note;
}

int64_t MemoryInUse() { return g_memory.load(); }

int CollectGarbage() { return 0; }

void EndProgram(int code) {
    if (g_headless) throw ProgramEnded{code};
    plat::AudioShutdown();
    EndGraphics();
    g_joysticks.reset();
    g_video.reset();  // restores the desktop mode after full screen
    std::exit(code);
}
