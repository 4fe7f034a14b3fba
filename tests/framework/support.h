// support.h — shared fixtures of the framework, drawing and start-up tests:
// a scratch folder laid out like the program's own, and file readers.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/globals.h"
#include "framework/setup.h"
#include "platform/headless/headless.h"

namespace fs = std::filesystem;

// A fresh temp folder holding "Files/Common/" and "Files/283/" (with
// copyAssets: the build's generated tree), current while it lives.
class ScratchTree {
public:
    explicit ScratchTree(bool copyAssets = false) {
        std::string pattern = (fs::temp_directory_path() / "flingo-test-XXXXXX").string();
        root_ = mkdtemp(pattern.data());
        previous_ = fs::current_path();
        if (copyAssets) fs::copy(fs::path(FLINGO_BUILD_DIR) / "Files", Files(), fs::copy_options::recursive);
        fs::create_directories(Files() / "Common");
        fs::create_directories(Game());
        for (const char* f : {"Setup.ini", "Debug.txt", "283/crash.dat"}) fs::remove(Files() / f);
        fs::current_path(root_);
    }
    ~ScratchTree() {
        CloseLog();
        fs::current_path(previous_);
        fs::remove_all(root_);
    }
    const fs::path& Root() const { return root_; }
    fs::path Files() const { return root_ / "Files"; }
    fs::path Game() const { return root_ / "Files" / "283"; }

private:
    fs::path root_, previous_;
};

inline std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Lines of a file the game wrote, without their CR LF.
inline std::vector<std::string> ReadLines(const fs::path& path) {
    std::stringstream in(ReadAll(path));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

inline void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The log read back after closing it.
inline std::vector<std::string> LogOf(const ScratchTree& tree) {
    CloseLog();
    return ReadLines(tree.Files() / "Debug.txt");
}

// Headless platform, clean globals, the log open in Files/, `folder` current.
inline void StartClean(const ScratchTree& tree, const std::string& folder = "Files/283",
                       const HeadlessConfig& config = {}) {
    UseHeadlessPlatform(config);
    InitGlobals();
    fs::current_path(tree.Files());
    OpenLog("Debug.txt");
    fs::current_path(tree.Root() / folder);
}
