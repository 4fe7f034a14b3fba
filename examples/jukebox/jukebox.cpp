// jukebox.cpp — start-up, the song list and its one screen loop.
#include "examples/jukebox/jukebox.h"

#include <algorithm>
#include <filesystem>

#include "draw/draw.h"
#include "framework/closing.h"
#include "framework/folders.h"
#include "framework/frame.h"
#include "framework/graphics.h"
#include "framework/settings_screen.h"
#include "framework/setup.h"
#include "input/controls.h"
#include "music/music.h"
#include "platform/platform.h"

std::vector<JukeboxRow> JukeboxRows;
int JukeboxPlaying = -1;

namespace {

constexpr int kTempoMs = 250;    // two sequencer steps, milliseconds
constexpr int kKeyEscape = 27;
constexpr int kRowTop = 300;     // virtual pixels; rows are kRowHeight apart
constexpr int kRowHeight = 56;
constexpr int kRowWidth = 560;

// Song files of "music/" in the current folder (the game folder).
std::vector<std::string> FindSongs() {
    std::vector<std::string> songs;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("music", error)) {
        if (entry.path().extension() == ".ini") songs.push_back(entry.path().stem().string());
    }
    std::sort(songs.begin(), songs.end());
    return songs;
}

// The hook ApplyGraphics calls after the common assets, in the game folder.
void LoadJukeboxAssets() {
    LoadMusicSamples();
    JukeboxRows.clear();
    for (const std::string& song : FindSongs())
        for (int take = 1; take <= JukeboxTakes; ++take) JukeboxRows.push_back({song, take});
    LogLine("\tSongs : " + Str(int64_t{static_cast<int64_t>(JukeboxRows.size()) / JukeboxTakes}));
}

int RowLeft() { return (ScreenWidth - kRowWidth) / 2; }
int RowTop(int row) { return kRowTop + row * kRowHeight; }

// Starts the row, or stops it when it is the one playing.
void ChooseRow(int row) {
    if (row == JukeboxPlaying) {
        StopMusic();
        JukeboxPlaying = -1;
        return;
    }
    LoadSong(JukeboxRows[row].song, JukeboxRows[row].take, kTempoMs);
    JukeboxPlaying = MusicPlaying ? row : -1;
}

void DrawRow(int row, bool pointed) {
    const int x = RowLeft(), y = RowTop(row);
    const bool playing = row == JukeboxPlaying;
    SetBlendMode(1);
    SetDrawColor(0, 0, 0, pointed ? 0.6f : 0.35f);
    DrawRect(static_cast<float>(x), static_cast<float>(y), kRowWidth, kRowHeight - 8);
    if (playing) {
        SetDrawColor(255, 220, 80, 1);
    } else if (pointed) {
        SetDrawColor(255, 255, 255, 1);
    } else {
        SetDrawColor(170, 210, 255, 1);
    }
    SetFont(2, 4);
    const JukeboxRow& r = JukeboxRows[row];
    DrawTextAligned(x + 24, y + (kRowHeight - 8) / 2, r.song + "  -  take " + Str(int64_t{r.take}), 0, 1);
    if (playing) DrawTextAligned(x + kRowWidth - 24, y + (kRowHeight - 8) / 2, "playing", 2, 1);
}

// One frame of the list: backdrop, title, rows, the bar counter, FrameEnd.
// Returns false when Escape asks to leave.
bool ListFrame(int& clickLatch) {
    BeginFrame(1);
    DrawBackdrop();
    ResetDrawState();
    SetFont(1, 7);
    SetDrawColor(255, 255, 180, 1);
    DrawTextAligned(ScreenWidth / 2, 140, GameTitle, 1, 1);
    SetFont(2, 3);
    SetDrawColor(200, 200, 255, 1);
    DrawTextAligned(ScreenWidth / 2, 220,
                    "Click a song to play it, again to stop.  Tab settings, F11 screenshot, "
                    "Escape leaves",
                    1, 1);

    // Clicks go to the settings panel while it is in the way.
    const bool panelAway = PanelOffset < -250;
    for (int row = 0; row < static_cast<int>(JukeboxRows.size()); ++row) {
        const bool pointed = panelAway && MouseInRect(RowLeft(), RowTop(row), kRowWidth, kRowHeight - 8);
        if (pointed && MouseDown(1) && !clickLatch) {
            ChooseRow(row);
            clickLatch = 1;
        }
        DrawRow(row, pointed);
    }
    if (!MouseDown(1)) clickLatch = 0;
    if (JukeboxRows.empty()) DrawTextAligned(ScreenWidth / 2, kRowTop, "No songs in music/", 1, 1);
    if (JukeboxPlaying >= 0) {
        SetDrawColor(255, 220, 80, 1);
        DrawTextAligned(ScreenWidth / 2, ScreenHeight - 80, "Bar " + Str(int64_t{BarsPlayed + 1}), 1, 1);
    }

    const bool leave = KeyHit(kKeyEscape) > 0;
    FrameEnd(60, 0, 1);
    return !leave;
}

}  // namespace

GameInfo JukeboxGame() {
    GameInfo game;
    game.week = 1;
    game.title = "Jukebox";
    game.description = "An example game on the framework: plays the songs of its music folder";
    game.loadGameAssets = LoadJukeboxAssets;
    return game;  // no scores: nothing to load or save
}

void JukeboxMain() {
    // Every library's start values, then who we are; the folders next, from
    // the program's folder, so the log and "Setup.ini" go into our "Files/".
    InitFrameworkGlobals();
    RegisterGame(JukeboxGame());
    JukeboxRows.clear();
    JukeboxPlaying = -1;
    SetWindowCaption(WindowTitle);
    HideMouse();
    LastFrameTime = MilliSecs();
    SetUpJoysticks();

    SetUpFolders(CurrentDir());
    ChangeDir(FilesFolder());
    OpenLog(PlayerFile("Debug.txt", "Debug.txt"));
    LogLine(WindowTitle);
    LoadSetup();

    // The game folder stays current while the screens run.
    ChangeDir(GameAssetFolder());
    ApplyGraphics();
    MouseMode = 1;
    LogLine("Finished Loading");

    int clickLatch = 0;
    while (ListFrame(clickLatch)) {
    }
    StopMusic();
    ClosingScreen();
}
