// files.cpp — text streams and folder operations. One byte per character on
// disk; lines written end in CR LF, lines read end at LF, a zero byte or the
// end of the file, with every CR dropped.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/platform.h"

struct StreamData {
    std::FILE* file = nullptr;
    bool writing = false;
    bool failed = false;  // a write (or its flush) went wrong at some point

    ~StreamData() {
        if (file) std::fclose(file);
    }
};

namespace {

bool Open(const Stream& s) { return s && s->file; }

bool WriteBytes(const Stream& stream, const char* data, size_t size) {
    if (!Open(stream) || !stream->writing) return false;
    if (size && std::fwrite(data, 1, size, stream->file) != size) stream->failed = true;
    return !stream->failed;
}

}  // namespace

Stream ReadFile(const std::string& path) {
    // Only regular files: opening a folder for reading succeeds on Linux but
    // every read fails, which would look like an empty file.
    if (FileType(path) != 1) return {};
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return {};
    auto s = std::make_shared<StreamData>();
    s->file = f;
    return s;
}

Stream WriteFile(const std::string& path) {
    if (path.empty() || FileType(path) == 2) return {};
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return {};
    auto s = std::make_shared<StreamData>();
    s->file = f;
    s->writing = true;
    return s;
}

std::string ReadLine(const Stream& stream) {
    std::string line;
    if (!Open(stream) || stream->writing) return line;
    for (;;) {
        const int c = std::getc(stream->file);
        if (c == EOF || c == '\n' || c == 0) break;
        if (c != '\r') line.push_back(static_cast<char>(c));
    }
    return line;
}

bool WriteLine(const Stream& stream, const std::string& text) {
    std::string bytes = text;
    bytes += "\r\n";
    return WriteBytes(stream, bytes.data(), bytes.size());
}

bool WriteString(const Stream& stream, const std::string& bytes) {
    return WriteBytes(stream, bytes.data(), bytes.size());
}

bool Eof(const Stream& stream) {
    // None, closed and write streams have nothing to read: true, so that a
    // "read until Eof" loop always ends.
    if (!Open(stream) || stream->writing) return true;
    const int c = std::getc(stream->file);
    if (c == EOF) return true;
    std::ungetc(c, stream->file);
    return false;
}

bool CloseStream(const Stream& stream) {
    if (!Open(stream)) return false;
    bool ok = !stream->failed;
    if (stream->writing && std::fflush(stream->file) != 0) ok = false;
    if (std::fclose(stream->file) != 0 && stream->writing) ok = false;
    stream->file = nullptr;
    return ok;
}

int FileType(const std::string& path) {
    if (path.empty()) return 0;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    if (S_ISDIR(st.st_mode)) return 2;
    if (S_ISREG(st.st_mode)) return 1;
    return 0;
}

bool ChangeDir(const std::string& path) { return !path.empty() && ::chdir(path.c_str()) == 0; }

std::string CurrentDir() {
    std::string buf(4096, '\0');
    for (;;) {
        if (::getcwd(buf.data(), buf.size())) return std::string(buf.c_str());
        if (errno != ERANGE) return {};
        buf.resize(buf.size() * 2);
    }
}

bool DeleteFile(const std::string& path) {
    if (FileType(path) != 1) return false;
    return ::unlink(path.c_str()) == 0;
}

bool CreateDir(const std::string& path) {
    if (path.empty()) return false;
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    return errno == EEXIST && FileType(path) == 2;
}

bool RenameFile(const std::string& from, const std::string& to) {
    if (FileType(from) != 1 || to.empty()) return false;
    // Make the new contents durable before they replace the old file, so a
    // power cut cannot leave an empty file where the old one was.
    const int fd = ::open(from.c_str(), O_RDONLY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return std::rename(from.c_str(), to.c_str()) == 0;
}
