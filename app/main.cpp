// main.cpp — entry of the real program: the platform, then the program's own
// folder (where "Files/" sits beside the binary), then start-up.
#include <filesystem>
#include <system_error>

#include "app/app.h"
#include "platform/platform.h"

int main() {
    PlatformInit();
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) ChangeDir(self.parent_path().string());
    Main();
    EndProgram(0);
}
