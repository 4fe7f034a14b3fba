// layers_test.cpp — the libraries depend in one direction only. Reads the
// `#include "..."` lines of every source folder and checks them against the
// library order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
const fs::path kSource = FLINGO_SOURCE_DIR;

// The library order, lowest first: a folder may include its own files and
// those of the folders before it, never one after it.
const std::vector<std::string> kOrder = {"platform", "settings", "draw",  "input", "music",
                                         "framework", "scores",  "game",  "app"};
// Programs beside the libraries, and the library folders (or single headers)
// each may include. The game's identity is constants only: no link to the game.
const std::map<std::string, std::set<std::string>> kPrograms = {
    {"examples", {"platform", "settings", "draw", "input", "music", "framework", "scores"}},
    {"tools/scoreserver", {"platform", "draw", "scores", "game/identity.h"}},
    {"tools/songplay", {"platform", "settings", "music", "game/identity.h"}},
    {"tools/assetgen", {}},
};

int Rank(const std::string& folder) {
    for (size_t i = 0; i < kOrder.size(); ++i)
        if (kOrder[i] == folder) return static_cast<int>(i);
    return -1;
}

// The folder a repository path belongs to: a program folder, else its first part.
std::string FolderOf(const std::string& path) {
    for (const auto& [program, allowed] : kPrograms)
        if (path.rfind(program + "/", 0) == 0) return program;
    return path.substr(0, path.find('/'));
}

struct Include {
    std::string from, to;  // repository paths
};

// Every quoted include of every source file under the ranked and program
// folders; a name not found from the root is taken relative to the file.
std::vector<Include> ReadIncludes() {
    std::vector<std::string> roots(kOrder);
    for (const auto& [program, allowed] : kPrograms) roots.push_back(program);
    const std::regex line(R"(^\s*#\s*include\s*"([^"]+)\")");
    std::vector<Include> out;
    for (const auto& root : roots) {
        if (!fs::exists(kSource / root)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(kSource / root)) {
            const std::string ext = entry.path().extension().string();
            if (ext != ".h" && ext != ".cpp" && ext != ".c") continue;
            const std::string from = fs::relative(entry.path(), kSource).generic_string();
            std::ifstream in(entry.path());
            std::smatch m;
            for (std::string text; std::getline(in, text);) {
                if (!std::regex_search(text, m, line)) continue;
                std::string to = m[1];
                if (!fs::exists(kSource / to))
                    to = fs::relative(entry.path().parent_path() / to, kSource).generic_string();
                out.push_back({from, to});
            }
        }
    }
    return out;
}

TEST(Layers, NoIncludeRunsUpward) {
    std::string wrong;
    for (const auto& inc : ReadIncludes()) {
        const std::string from = FolderOf(inc.from), to = FolderOf(inc.to);
        if (from == to) continue;
        const auto program = kPrograms.find(from);
        const bool allowed = program != kPrograms.end()
                                 ? program->second.count(to) + program->second.count(inc.to) > 0
                                 : Rank(to) >= 0 && Rank(to) < Rank(from);
        if (!allowed) wrong += "\n  " + inc.from + " includes " + inc.to;
    }
    EXPECT_EQ(wrong, "") << "includes against the order platform < settings < draw < input"
                            " < music < framework < scores < game < app:";
}

// Between folders (the libraries) and between headers: a circle of either
// means no order could build or read them one after the other.
TEST(Layers, NoCircle) {
    std::map<std::string, std::set<std::string>> uses;
    for (const auto& inc : ReadIncludes()) {
        const std::string from = FolderOf(inc.from), to = FolderOf(inc.to);
        if (from != to) uses[from].insert(to);
        if (inc.from.ends_with(".h")) uses[inc.from].insert(inc.to);
    }
    // Depth-first search; a node met again while still on the path closes a circle.
    std::map<std::string, int> state;  // 1 on the path, 2 done
    std::vector<std::string> path;
    std::string circle;
    std::function<void(const std::string&)> visit = [&](const std::string& node) {
        state[node] = 1;
        path.push_back(node);
        for (const auto& next : uses[node]) {
            if (!circle.empty()) break;
            if (state[next] == 1) {
                for (auto it = std::find(path.begin(), path.end(), next); it != path.end(); ++it)
                    circle += *it + " -> ";
                circle += next;
            } else if (state[next] == 0) {
                visit(next);
            }
        }
        path.pop_back();
        state[node] = 2;
    };
    for (const auto& [node, targets] : std::map(uses))
        if (state[node] == 0 && circle.empty()) visit(node);
    EXPECT_EQ(circle, "");
}

// The score server is the record, the scrambler, SQLite and libsodium: it
// must not pull in the game and with it the window system or a renderer.
TEST(Layers, ScoreServerLinksNoWindowSystem) {
    const std::string program = std::string(FLINGO_BUILD_DIR) + "/scoreserver";
    ASSERT_TRUE(fs::exists(program));
    std::string libraries;
    if (FILE* p = popen(("ldd " + program).c_str(), "r")) {
        char buffer[512];
        while (fgets(buffer, sizeof buffer, p)) libraries += buffer;
        pclose(p);
    }
    ASSERT_NE(libraries.find("libsqlite3"), std::string::npos) << libraries;
    for (const char* name : {"SDL", "libGL", "libEGL", "libOpenGL", "libX11"})
        EXPECT_EQ(libraries.find(name), std::string::npos) << name << " in\n" << libraries;
}

}  // namespace
