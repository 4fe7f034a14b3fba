// fuzz.h — what every fuzz target shares: checks that stop the run, a private
// scratch folder for loaders that read a named file, and seed writing.
//
// Seeds are not committed: when FLINGO_FUZZ_SEEDS names a folder, a target
// writes its own hand-made cases there, adds copies of the generated assets
// under FLINGO_FUZZ_FILES that it can read, and exits (tests/fuzz/run.sh
// does this before each run).
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace fuzz {

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", what, file, line);
    std::abort();  // libFuzzer keeps the input as a crash
}

#define FUZZ_CHECK(cond) \
    do {                 \
        if (!(cond)) ::fuzz::Fail(#cond, __FILE__, __LINE__); \
    } while (0)

inline void WriteBytes(const std::string& path, const void* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) Fail(("cannot write " + path).c_str(), __FILE__, __LINE__);
    if (size && std::fwrite(data, 1, size, f) != size) Fail("short write", __FILE__, __LINE__);
    std::fclose(f);
}

inline void WriteText(const std::string& path, const std::string& text) {
    WriteBytes(path, text.data(), text.size());
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A private folder (in /dev/shm when there is one, so the millions of small
// writes stay in memory), removed at exit. Never freed: the exit handler
// still needs the name after static strings are gone.
inline const std::string& ScratchDir() {
    static const std::string* dir = [] {
        std::error_code ec;
        std::string base = std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : "";
        if (base.empty()) base = std::filesystem::temp_directory_path(ec).string();
        std::string pattern = base + "/flingo-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) Fail("mkdtemp", __FILE__, __LINE__);
        auto* name = new std::string(pattern);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(ScratchDir(), ignored);
        });
        return name;
    }();
    return *dir;
}

// The scratch folder is the current folder while one of these lives; the
// previous one comes back after, so libFuzzer's own relative paths (corpus,
// artifacts) keep working.
class InScratch {
public:
    InScratch() : back_(open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (back_ < 0 || chdir(ScratchDir().c_str()) != 0) Fail("chdir", __FILE__, __LINE__);
    }
    ~InScratch() {
        if (fchdir(back_) != 0) Fail("fchdir", __FILE__, __LINE__);
        close(back_);
    }
    InScratch(const InScratch&) = delete;
    InScratch& operator=(const InScratch&) = delete;

private:
    int back_;
};

// Seed mode (see the top of this file). `own` holds named hand-made cases;
// generated assets whose names end in one of `extensions` (any case) and are
// at most maxBytes long are copied, at most maxFiles of them, smallest first.
inline void WriteSeedsIfAsked(const std::vector<std::pair<std::string, std::string>>& own,
                              const std::vector<std::string>& extensions = {},
                              uintmax_t maxBytes = 0, size_t maxFiles = 0) {
    const char* out = std::getenv("FLINGO_FUZZ_SEEDS");
    if (!out || !*out) return;
    namespace fs = std::filesystem;
    fs::create_directories(out);
    for (const auto& [name, bytes] : own) WriteText(std::string(out) + "/" + name, bytes);

    const char* files = std::getenv("FLINGO_FUZZ_FILES");
    std::vector<std::pair<uintmax_t, fs::path>> found;
    std::error_code ec;
    if (files && *files && !extensions.empty()) {
        for (auto it = fs::recursive_directory_iterator(files, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (!it->is_regular_file(ec)) continue;
            std::string ext = it->path().extension().string();
            std::transform(ext.begin(), ext.end(), ext.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (std::find(extensions.begin(), extensions.end(), ext) == extensions.end()) continue;
            const uintmax_t size = it->file_size(ec);
            if (!ec && size > 0 && size <= maxBytes) found.emplace_back(size, it->path());
        }
    }
    std::sort(found.begin(), found.end());
    if (found.size() > maxFiles) found.resize(maxFiles);
    int n = 0;
    for (const auto& [size, path] : found) {
        const std::string bytes = ReadBytes(path.string());
        WriteText(std::string(out) + "/asset" + std::to_string(++n) + path.extension().string(),
                  bytes);
    }
    std::printf("%zu own seeds, %zu from the assets\n", own.size(), found.size());
    std::exit(0);
}

}  // namespace fuzz
