// folders.cpp — the asset folders and the player's data folder (folders.h).
#include "framework/folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "framework/game_info.h"
#include "platform/platform.h"

namespace {

struct Folders {
    std::string files, common, game, data;
    std::string assetProblem;  // the asset folder is missing or unreadable
    std::string dataProblem;   // why the data folder is not where it belongs
    bool installed = false;
};
Folders g_folders;

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

bool Writable(const std::string& folder) {
    return FileType(folder) == 2 && ::access(folder.c_str(), W_OK) == 0;
}

// Creates each missing folder along an absolute path; true when it ends up
// a folder the program may write to.
bool MakeFolders(const std::string& path) {
    for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
        CreateDir(path.substr(0, at));
    }
    return Writable(path);
}

// "$XDG_DATA_HOME/flingo/", or "$HOME/.local/share/flingo/"; "" when neither
// variable (nor the password entry) names an absolute folder.
std::string PlayerDataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') return WithSlash(xdg) + "flingo/";
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        const passwd* entry = ::getpwuid(::getuid());
        home = entry ? entry->pw_dir : nullptr;
    }
    if (!home || home[0] != '/') return "";
    return WithSlash(home) + ".local/share/flingo/";
}

// The installed asset folder, found from the program's own folder (the
// build system fixes the relative path between the two install places).
std::string InstalledAssetFolder(const std::string& programFolder) {
    const std::filesystem::path at =
        std::filesystem::path(WithSlash(programFolder) + FLINGO_ASSETS_FROM_PROGRAM);
    return WithSlash(at.lexically_normal().string());
}

}  // namespace

void SetUpFolders(const std::string& programFolder) {
    Folders f;
    // A copy run where it was built has "Files/" beside it; an installed one
    // has its assets at their installed place instead, which it never writes.
    const std::string beside = WithSlash(programFolder) + "Files/";
    f.installed = FileType(beside) != 2;
    f.files = f.installed ? InstalledAssetFolder(programFolder) : beside;
    if (FileType(f.files) != 2 || ::access(f.files.c_str(), R_OK | X_OK) != 0)
        f.assetProblem = "The game's pictures and sounds are missing: " + f.files;
    f.common = f.files + "Common/";
    f.game = f.files + GameFolder();
    // "Files/" keeps the player's files when both it and its game folder (if
    // there is one yet) may be written to.
    const bool filesWritable =
        !f.installed && Writable(f.files) && (FileType(f.game) != 2 || Writable(f.game));
    f.data = f.files;
    if (!filesWritable) {
        const std::string data = PlayerDataFolder();
        if (data.empty()) {
            f.dataProblem = "No home folder, saving in " + f.files;
        } else if (MakeFolders(data + GameFolder()) && Writable(data)) {
            f.data = data;
        } else {
            f.dataProblem = data + " can't be written to, saving in " + f.files;
        }
    }
    // Scores and the crash marker need the game folder in the data folder.
    if (FileType(f.data + GameFolder()) != 2) CreateDir(f.data + GameFolder());
    g_folders = f;
}

void ForgetFolders() { g_folders = Folders{}; }

bool FoldersSetUp() { return !g_folders.files.empty(); }

std::string GameFolder() { return Right("000" + Str(int64_t{WeekNumber}), 3) + "/"; }

std::string FilesFolder() { return g_folders.files; }
std::string CommonFolder() { return g_folders.common; }
std::string GameAssetFolder() { return g_folders.game; }
std::string DataFolder() { return g_folders.data; }
bool DataFolderMoved() { return FoldersSetUp() && g_folders.data != g_folders.files; }
bool InstalledCopy() { return g_folders.installed; }
std::string AssetFolderProblem() { return g_folders.assetProblem; }
std::string DataFolderProblem() { return g_folders.dataProblem; }

std::string PlayerFile(const std::string& name, const std::string& unset) {
    return FoldersSetUp() ? g_folders.data + name : unset;
}

std::string SavedPlayerFile(const std::string& name, const std::string& unset) {
    if (!FoldersSetUp()) return unset;
    const std::string own = g_folders.data + name;
    if (FileType(own) != 0 || !DataFolderMoved()) return own;
    const std::string beside = g_folders.files + name;
    return FileType(beside) != 0 ? beside : own;
}
