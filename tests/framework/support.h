// support.h — shared fixtures of the framework, drawing and start-up tests:
// a scratch folder laid out like the program's own, log and file readers.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "framework/setup.h"
#include "platform/headless/headless.h"

namespace testing_support {

namespace fs = std::filesystem;

// A fresh folder under the system's temp folder, removed again at the end.
// `root` holds "Files/" with "Common/" and the game folder "283/" inside;
// with copyAssets the generated asset tree of the build is copied instead.
class ScratchTree {
public:
    explicit ScratchTree(bool copyAssets = false) {
        std::string pattern = (fs::temp_directory_path() / "flingo-test-XXXXXX").string();
        root_ = mkdtemp(pattern.data());
        previous_ = fs::current_path();
        if (copyAssets && fs::exists(fs::path(FLINGO_BUILD_DIR) / "Files")) {
            fs::copy(fs::path(FLINGO_BUILD_DIR) / "Files", root_ / "Files",
                     fs::copy_options::recursive);
        }
        fs::create_directories(root_ / "Files" / "Common");
        fs::create_directories(root_ / "Files" / "283");
        // What a run writes into the build's tree must not leak into a test.
        for (const char* f : {"Setup.ini", "Debug.txt", "283/crash.dat", "283/nuscores.dat"})
            fs::remove(root_ / "Files" / f);
        fs::current_path(root_);
    }
    ~ScratchTree() {
        CloseLog();
        std::error_code ignored;
        fs::current_path(previous_, ignored);
        fs::remove_all(root_, ignored);
    }
    ScratchTree(const ScratchTree&) = delete;
    ScratchTree& operator=(const ScratchTree&) = delete;

    const fs::path& Root() const { return root_; }
    fs::path Files() const { return root_ / "Files"; }
    fs::path Game() const { return root_ / "Files" / "283"; }

private:
    fs::path root_, previous_;
};

// Lines of a file the game wrote (CR LF or LF separated), without the ends.
inline std::vector<std::string> ReadLines(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

inline std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Headless platform and clean globals; the log open in Files/ with the
// current folder left at `folder` (relative to the tree's root).
inline void StartClean(const ScratchTree& tree, const std::string& folder = "Files/283",
                       const HeadlessConfig& config = {}) {
    UseHeadlessPlatform(config);
    InitGlobals();
    fs::current_path(tree.Files());
    OpenLog("Debug.txt");
    fs::current_path(tree.Root() / folder);
}

}  // namespace testing_support
