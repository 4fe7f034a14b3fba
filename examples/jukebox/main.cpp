// main.cpp — the jukebox program: the platform, its own folder (where its
// "Files/" sits), then the game.
#include <filesystem>
#include <system_error>

#include "examples/jukebox/jukebox.h"
#include "platform/platform.h"

int main() {
    PlatformInit();
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) ChangeDir(self.parent_path().string());
    JukeboxMain();
    EndProgram(0);
}
