// generator_test.cpp — the asset generator writes the whole tree under the
// names the game loads, and writes the same bytes on every run.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <filesystem>
#include <map>

#include "tests/assets/asset_files.h"

using namespace assets_test;
namespace fs = std::filesystem;

namespace {

std::string Generator() { return std::string(FLINGO_BUILD_DIR) + "/assetgen"; }

// Every file the game reads, relative to "Files/".
std::vector<std::string> ExpectedFiles() {
    std::vector<std::string> f = {
        "Common/SVBasicManual.ttf",
        "Common/November.ttf",
        "Common/Blue Highway.ttf",
        "Common/Acknowledge TT BRK.ttf",
        "Common/SVBasicManual.LICENSE.txt",
        "Common/November.LICENSE.txt",
        "Common/Blue Highway.LICENSE.txt",
        "Common/Acknowledge TT BRK.LICENSE.txt",
        "Common/icons.png",
        "Common/logo.png",
        "Common/Marrowby.png",
        "Common/open.ogg",
        "283/badges.png",
        "283/logo.png",
        "283/flingo.png",
        "283/music/demo.ini",
    };
    for (const char* n : {"002", "003", "004", "005", "006", "007", "008", "009", "010", "011", "012", "013", "014",
                          "015", "016", "017", "020", "098", "099"})
        f.push_back(std::string("283/") + n + ".wav");
    for (int kit = 1; kit <= 2; ++kit)
        for (int n = 1; n <= 8; ++n)
            f.push_back("283/music/d" + std::to_string(kit) + "-" + std::to_string(n) + ".wav");
    for (const char* set : {"bass", "lead", "accompany"}) f.push_back(std::string("283/music/") + set + "1.wav");
    return f;
}

// Relative path → bytes of every regular file under root, skipping what the
// game itself writes there at run time.
std::map<std::string, std::vector<uint8_t>> Tree(const fs::path& root) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (!e.is_regular_file()) continue;
        std::string rel = fs::relative(e.path(), root).generic_string();
        files[rel] = Slurp(e.path().string());
    }
    return files;
}

struct TempDir {
    fs::path path;
    explicit TempDir(const std::string& tag) {
        path = fs::temp_directory_path() / ("flingo-assets-" + tag + "-" + std::to_string(::getpid()));
        fs::remove_all(path);
    }
    ~TempDir() { fs::remove_all(path); }
};

int RunGenerator(const std::string& args) {
    std::string cmd = "'" + Generator() + "' " + args + " >/dev/null 2>&1";
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(Generator, BuildTreeHoldsEveryFileTheGameLoads) {
    for (const std::string& rel : ExpectedFiles())
        EXPECT_TRUE(fs::is_regular_file(FilesDir() + "/" + rel) && fs::file_size(FilesDir() + "/" + rel) > 0)
            << "missing or empty: Files/" << rel;
}

TEST(Generator, TwoRunsWriteIdenticalBytesAndNoLeftovers) {
    ASSERT_TRUE(fs::exists(Generator())) << Generator();
    TempDir a("a"), b("b");
    ASSERT_EQ(RunGenerator("'" + a.path.string() + "'"), 0);
    ASSERT_EQ(RunGenerator("'" + b.path.string() + "'"), 0);
    auto ta = Tree(a.path), tb = Tree(b.path);
    ASSERT_EQ(ta.size(), tb.size());
    for (const auto& [rel, bytes] : ta) {
        ASSERT_TRUE(tb.count(rel)) << rel;
        EXPECT_TRUE(bytes == tb[rel]) << rel << " differs between two runs";
        EXPECT_FALSE(rel.ends_with(".part")) << "temporary file left behind: " << rel;
    }
    for (const std::string& rel : ExpectedFiles()) EXPECT_TRUE(ta.count(rel)) << "not generated: " << rel;
    // The tree beside the game came from the same generator.
    for (const std::string& rel : ExpectedFiles())
        EXPECT_TRUE(Slurp(FilesDir() + "/" + rel) == ta[rel]) << "Files/" << rel << " is stale";
}

TEST(Generator, RunningOverAnOldTreeReplacesItsFiles) {
    TempDir a("over");
    fs::create_directories(a.path / "Common");
    {
        std::ofstream junk(a.path / "Common" / "icons.png", std::ios::binary);
        junk << "not a picture";
    }
    ASSERT_EQ(RunGenerator("'" + a.path.string() + "'"), 0);
    EXPECT_TRUE(ReadPng((a.path / "Common" / "icons.png").string()).ok());
}

TEST(Generator, RefusesAMissingOrUnwritableTarget) {
    EXPECT_NE(RunGenerator(""), 0) << "no output folder given";
    TempDir a("blocked");
    {
        std::ofstream file(a.path);  // a file where the folder should go
        file << "x";
    }
    EXPECT_NE(RunGenerator("'" + a.path.string() + "'"), 0);
    fs::remove(a.path);
}
