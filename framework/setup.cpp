// setup.cpp — reading and writing "Setup.ini", choosing the audio back end,
// and the start-up log "Debug.txt".
#include "framework/setup.h"

#include <climits>
#include <cstdio>

#include "framework/folders.h"
#include "framework/notices.h"
#include "input/controls.h"
#include "platform/platform.h"
#include "settings/settings.h"

std::vector<std::string> AudioDriverList;
int OnlineEnabled = 0;
std::string ScoreServer = "localhost";

// ---------------------------------------------------------------------------
// The log
// ---------------------------------------------------------------------------
// Written through stdio rather than a platform stream so that every line can
// be flushed at once: a crash (the case the log exists for) keeps it all.
namespace {
std::FILE* LogFile = nullptr;

// Absolute form of a path in the platform's current folder.
std::string InCurrentDir(const std::string& name) {
    if (!name.empty() && name[0] == '/') return name;
    const std::string dir = CurrentDir();
    if (dir.empty()) return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}
}  // namespace

bool OpenLog(const std::string& path) {
    CloseLog();
    LogFile = std::fopen(InCurrentDir(path).c_str(), "wb");
    return LogFile != nullptr;
}

void LogLine(const std::string& text) {
    if (!LogFile) return;
    std::fwrite(text.data(), 1, text.size(), LogFile);
    std::fwrite("\r\n", 1, 2, LogFile);
    std::fflush(LogFile);
}

void CloseLog() {
    if (LogFile) std::fclose(LogFile);
    LogFile = nullptr;
}

// ---------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------
namespace {

// The platform's string-to-int made non-negative (INT_MIN has no positive
// twin in an int, so it becomes INT_MAX).
int AbsNumber(const std::string& text) {
    const int v = ToInt(text);
    if (v == INT_MIN) return INT_MAX;
    return v < 0 ? -v : v;
}

bool BeginsWith(const std::string& upperName, const std::string& prefix) {
    return Left(upperName, static_cast<int>(prefix.size())) == prefix;
}

}  // namespace

void ApplySetupLine(const std::string& rawLine, bool& sawDriver) {
    const std::string line = Trim(rawLine);
    const int eq = Instr(line, "=");
    const std::string key = Upper(Trim(eq > 0 ? Left(line, eq - 1) : line));
    std::string value = line;
    if (eq > 0) {
        // Up to the second "=" or the end of the line.
        const int eq2 = Instr(line, "=", eq + 1);
        value = eq2 > 0 ? Mid(line, eq + 1, eq2 - eq - 1) : Mid(line, eq + 1);
    }
    value = Trim(value);
    const std::string upperValue = Upper(value);

    if (key == "AUDIODRIVER") {
        sawDriver = true;
        for (size_t i = 0; i < AudioDriverList.size(); ++i) {
            if (AudioDriverList[i] == value) Settings[14] = static_cast<int>(i);
        }
    } else if (key == "FULLSCREEN") {
        // Only an "on" value acts; "False" never undoes an earlier "True".
        if (upperValue == "TRUE" || upperValue == "ON") {
            Settings[1] = 1;
            LogLine("\tSetting to Fullscreen");
        }
    } else if (key == "GFX ENGINE" || key == "GFXENGINE") {
        if (upperValue == "DX9") {
            Settings[3] = 1;
            LogLine("\tDirectX 9 Mode");
        } else if (upperValue == "DX7") {
            Settings[3] = 2;
            LogLine("\tDirectX 7 Mode");
        }
    } else if (key == "WIDTH") {
        Settings[5] = AbsNumber(value);
    } else if (key == "HEIGHT") {
        Settings[6] = AbsNumber(value);
    } else if (key == "ESS") {
        Settings[7] = 1;  // the key alone switches it on, whatever the value
        LogLine("\tAssuming Emergency Slow System values.");
    } else if (key == "KEY") {
        const int comma = Instr(value, ",");
        int a, b;
        if (comma > 0) {
            a = AbsNumber(Left(value, comma - 1));
            const std::string rest = Mid(value, comma + 1);
            const int comma2 = Instr(rest, ",");
            b = AbsNumber(comma2 > 0 ? Left(rest, comma2 - 1) : rest);
        } else {
            a = b = AbsNumber(value);
        }
        if (a >= 0 && a < 100) KeyBindings[a] = b;
    } else if (key == "MASTER") {
        Settings[11] = AbsNumber(value);
    } else if (key == "SOUND") {
        Settings[12] = AbsNumber(value);
    } else if (key == "MUSIC") {
        Settings[13] = AbsNumber(value);
    } else if (key == "ONLINE") {
        // Like Fullscreen: only an "on" value acts.
        if (upperValue == "TRUE" || upperValue == "ON") OnlineEnabled = 1;
    } else if (key == "SCORE SERVER" || key == "SCORESERVER") {
        ScoreServer = value;  // "host" or "host:port"
    }
}

int ChooseAudioDriver(const std::vector<std::string>& names) {
    int chosen = -1;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string upper = Upper(names[i]);
        if (BeginsWith(upper, "OPENAL") && chosen < 0) chosen = static_cast<int>(i);
        if (BeginsWith(upper, "FREE") && chosen < 0) chosen = static_cast<int>(i);
        // A DirectSound-style back end wins even over an earlier choice.
        if (BeginsWith(upper, "DIRECT")) chosen = static_cast<int>(i);
    }
    return chosen < 0 ? 0 : chosen;
}

namespace {
// SaveSetup writes here first and renames it over "Setup.ini".
const char* const SetupTempName = "Setup.ini.new";
}  // namespace

void LoadSetup() {
    // A save cut short (a kill, a power cut) leaves its temporary file; the
    // real file is whole either way, so the leftover is only litter.
    DeleteFile(PlayerFile(SetupTempName, SetupTempName));
    AudioDriverList = AudioDriverNames();
    if (AudioDriverList.size() > 100) AudioDriverList.resize(100);

    bool sawDriver = false;
    const std::string path = SavedPlayerFile("Setup.ini", "Setup.ini");
    if (FileType(path) != 0) {
        const Stream file = ReadFile(path);
        LogLine("\tReading Setup File");
        if (file) {
            do {
                ApplySetupLine(ReadLine(file), sawDriver);
            } while (!Eof(file));
            CloseStream(file);
        }
    }
    if (!sawDriver) Settings[14] = ChooseAudioDriver(AudioDriverList);

    LogLine("Setting Audio Driver");
    const int position = Settings[14];
    if (position >= 0 && position < static_cast<int>(AudioDriverList.size())) {
        const std::string name = AudioDriverList[position];
        if (AudioDriverExists(name)) {
            if (Upper(Left(name, 6)) != "OPENAL") {
                SetAudioDriver(name);
            } else if (EnableOpenAL()) {
                SetAudioDriver(name);
            }
        }
    }
    // The device opens now rather than with the first sound, so a missing
    // device or a driver that failed is told in the log, here.
    OpenAudio();
    for (std::string note = NextPlatformNote(); !note.empty(); note = NextPlatformNote()) {
        LogLine(note);
    }
    LogLine("Set Audio Driver");
    LogLine("");
}

float VolumeShare(int master, int volume) {
    return static_cast<float>(int64_t{master} * volume) / 100.0f / 100.0f;
}

// ---------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------
std::vector<std::string> SetupFileLines() {
    std::vector<std::string> lines;
    lines.push_back("[Graphics]");
    if (Settings[1] == 0) lines.push_back("Fullscreen = False");
    if (Settings[1] == 1) lines.push_back("Fullscreen = True");
    if (Settings[3] == 0) lines.push_back("GFX Engine = OpenGL");
    if (Settings[3] == 1) lines.push_back("GFX Engine = DX9");
    if (Settings[3] == 2) lines.push_back("GFX Engine = DX7");
    lines.push_back("Width=" + Str(int64_t{Settings[5]}));
    lines.push_back("Height=" + Str(int64_t{Settings[6]}));
    if (Settings[7] == 1) {
        lines.push_back(
            "ESS=1 ; This is a slow system, and things must run a wee bit slower for it.  Awww..");
    }
    lines.push_back("");
    lines.push_back("[Audio]");
    lines.push_back("Master = " + Str(int64_t{Settings[11]}));
    lines.push_back("Sound = " + Str(int64_t{Settings[12]}));
    lines.push_back("Music = " + Str(int64_t{Settings[13]}));
    // A position outside the list is stored as its first entry, as the
    // settings panel shows it, never read past the end.
    int position = Settings[14];
    if (position < 0 || position >= static_cast<int>(AudioDriverList.size())) position = 0;
    lines.push_back("AudioDriver = " +
                    (AudioDriverList.empty() ? std::string() : AudioDriverList[position]));
    for (const std::string& name : AudioDriverList) lines.push_back("; AudioDriver = " + name);
    lines.push_back("");
    lines.push_back("[Controls]");
    for (int i = 0; i < 100; ++i) {
        if (KeyBindings[i] > 0) {
            lines.push_back("Key=" + Str(int64_t{i}) + "," + Str(int64_t{KeyBindings[i]}));
        }
    }
    // Only a file that switched the online service on mentions it.
    if (OnlineEnabled == 1) {
        lines.push_back("");
        lines.push_back("[Online]");
        lines.push_back("Online = True");
        lines.push_back("Score Server = " + ScoreServer);
    }
    return lines;
}

bool SaveSetup() {
    // Written by path into the data folder ("Files/" unless that is
    // read-only), so the current folder never changes: a folder that is
    // missing cannot send the file anywhere else. Without set-up folders (a
    // part tested on its own) the game folder is current and "Files/" is "..".
    // A temporary file renamed over the old one: a crash or a full disk while
    // writing never leaves "Setup.ini" empty or cut short.
    const std::string temporary = PlayerFile(SetupTempName, std::string("../") + SetupTempName);
    const std::string target = PlayerFile("Setup.ini", "../Setup.ini");
    bool ok = false;
    if (const Stream file = WriteFile(temporary)) {
        ok = true;
        for (const std::string& line : SetupFileLines()) ok = WriteLine(file, line) && ok;
        ok = CloseStream(file) && ok;
        ok = ok && RenameFile(temporary, target);
        if (!ok) DeleteFile(temporary);
    }
    if (!ok) {
        LogLine("\tCould not save " + PlayerFile("Setup.ini", "Setup.ini"));
        AddAnnouncement("Could not save your settings", 1);
    }
    return ok;
}
