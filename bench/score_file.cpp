// bench_score_file — what the score table costs: scrambling a record line,
// saving and loading a file of 5000 games (through the platform's streams,
// headless back ends), and one visible score-board frame over those games.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

#include "app/app.h"
#include "draw/draw.h"
#include "framework/setup.h"
#include "platform/headless/headless.h"
#include "scores/board.h"
#include "scores/scores.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

}  // namespace

int main() {
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "flingo-bench-XXXXXX").string();
    const fs::path dir = mkdtemp(pattern.data());
    fs::current_path(dir);
    UseHeadlessPlatform();
    InitGlobals();
    ResetScoreTable();
    BuildDefaultKey();
    OpenLog("Debug.txt");

    constexpr int kGames = 5000;
    for (int i = 0; i < kGames; ++i) {
        auto r = std::make_shared<Scores>();
        r->Score = (i * 7919) % 100000;
        r->Timestamp = 62845631779 - i * 61;
        r->Name = "Player " + std::to_string(i % 97);
        r->GameMode = i % 3;
        for (int b = 1; b <= 30; ++b) r->Best[b] = (i + b) % 50;
        ScoreList.push_back(r);
    }
    SortScoreList();

    const std::string line = RecordText(*ScoreList.front());
    constexpr int kLines = 20000;
    auto t = Clock::now();
    size_t sink = 0;
    for (int i = 0; i < kLines; ++i) sink += Unscramble(Scramble(line)).size();
    const double perLine = MsSince(t) * 1000.0 / kLines;

    t = Clock::now();
    const bool saved = SaveScores();
    const double saveMs = MsSince(t);
    ResetScoreTable();
    t = Clock::now();
    LoadScores();
    const double loadMs = MsSince(t);
    const size_t loaded = ScoreList.size();

    Graphics(1024, 768, 0, 60, 0);
    SetVirtualResolution(1280, 960);
    t = Clock::now();
    constexpr int kFrames = 200;
    for (int i = 0; i < kFrames; ++i) {
        BeginFrame(1);
        DrawScoreBoard(ScoreList, 1280 - 340, 335, 1, 0, 0, true);
    }
    const double boardMs = MsSince(t) / kFrames;

    std::printf("record line of %zu characters: scramble + unscramble %.2f us\n", line.size(), perLine);
    std::printf("save %d games: %.1f ms (%s); load: %.1f ms, %zu games back\n", kGames, saveMs,
                saved ? "ok" : "failed", loadMs, loaded);
    std::printf("score board frame (the first prunes the table to 50 + top 25): %.3f ms, %zu games left\n",
                boardMs, ScoreList.size());
    CloseLog();
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(dir);
    return sink == 0;
}
