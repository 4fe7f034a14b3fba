// asset_tree.h — the start shared by the benchmarks that run the game on a
// copy of its asset tree.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

// The asset tree to copy (`given`, or Files/ beside the build folder this
// program sits in, where the build writes it) and a new scratch folder for
// the copies; false, with a message, when there is no tree.
inline bool AssetTreeAndScratch(const char* given, std::filesystem::path* assets,
                                std::filesystem::path* scratch) {
    namespace fs = std::filesystem;
    const fs::path self = fs::read_symlink("/proc/self/exe");
    *assets = given ? fs::path(given) : self.parent_path().parent_path() / "Files";
    if (!fs::exists(*assets / "Common")) {
        std::fprintf(stderr, "no asset tree at %s\n", assets->c_str());
        return false;
    }
    std::string pattern = (fs::temp_directory_path() / "flingo-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return false;
    }
    *scratch = pattern;
    return true;
}
