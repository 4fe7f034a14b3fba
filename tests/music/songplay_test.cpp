// The song player as its users run it: refusals with exit code 2, and a
// rendered WAV of the promised length with one line per struck note.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace {

struct ToolRun {
    int code;
    std::string out;
};

ToolRun Songplay(const std::string& args, const std::string& env = "") {
    const std::string cmd = env + FLINGO_BUILD_DIR "/songplay " + args + " 2>/dev/null";
    ToolRun r{-1, {}};
    std::FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
    const int status = pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

}  // namespace

TEST(Songplay, RefusesBadArgumentsWithCode2) {
    for (const char* args : {"", "demo 1 250", "demo one 250 3", "demo 1 250 0", "demo 1 0 3",
                             "demo 1 250 3x", "no-such-song 1 250 3", "demo 1 250 3 /no/such/dir/x.wav"}) {
        const ToolRun r = Songplay(args);
        EXPECT_EQ(r.code, 2) << args;
        EXPECT_EQ(r.out, "") << args;
    }
}

TEST(Songplay, RendersTheDemoAndPrintsItsNotes) {
    const auto wav = std::filesystem::temp_directory_path() / "flingo-songplay-test.wav";
    const ToolRun r = Songplay("demo 1 250 2 " + wav.string());
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(std::filesystem::file_size(wav), 44u + 2u * 44100u * 4u);  // 2 s, 16-bit stereo
    std::filesystem::remove(wav);

    // ms track sample rate pan volume; volumes are 50 × 50 / 10000, halved
    // for the accompaniment; the first step falls 251 ms in.
    const std::regex line(R"((\d+) ([0-4]) ([1-4][1-8]|[1-8]) \d+\.\d{4} -?\d\.\d{4} 0\.(2500|1250))");
    std::istringstream in(r.out);
    int lines = 0, firstMs = -1;
    for (std::string l; std::getline(in, l); ++lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(l, m, line)) << l;
        if (firstMs < 0) firstMs = std::stoi(m[1]);
    }
    EXPECT_GT(lines, 5);
    EXPECT_EQ(firstMs, 251);
    // Playing in real time (on SDL's silent dummy output) strikes the same notes.
    EXPECT_EQ(Songplay("demo 1 250 2", "SDL_AUDIODRIVER=dummy ").out, r.out);
}

// No chords, or a blank chord key: only the drums are struck.
TEST(Songplay, NotesWithoutAChordKeyAreNotStruck) {
    for (const char* chords : {"", "[Chords]\n\" \"\n"}) {
        const auto file = std::filesystem::path(FLINGO_BUILD_DIR "/Files/283/music/flingo-test-chords.ini");
        std::ofstream(file) << "[Drums]\n\"1\"\n" << chords << "[Bass]\n\"q\"\n[Melody]\n\"w\"\n[Accompany]\n\"e\"\n";
        const ToolRun r = Songplay("flingo-test-chords 1 250 3 /dev/null");
        std::filesystem::remove(file);
        std::istringstream in(r.out);
        int drums = 0;
        for (std::string l; std::getline(in, l); ++drums) EXPECT_LT(l.at(l.find(' ') + 1), '2') << l;
        EXPECT_GT(drums, 0) << chords;
    }
}
