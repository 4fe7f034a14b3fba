// main.cpp — entry of the real program: the platform, then the program's own
// folder (where "Files/" sits beside the binary), then start-up.
#include <malloc.h>

#include <filesystem>
#include <system_error>

#include "app/app.h"
#include "platform/platform.h"

int main() {
    // Blocks of 256 KiB and more always get pages of their own, given back
    // when freed. By default the C library raises that limit after the first
    // such free, and then the GL driver's vertex buffer stores (1.25 MiB,
    // made and freed all the time) came from the main heap, which grew in
    // steps of one store whenever more were alive at once and never shrank.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    PlatformInit();
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) ChangeDir(self.parent_path().string());
    Main();
    EndProgram(0);
}
