// The score file and its scrambler: any "nuscores.dat" loads; every record
// read survives its own text form and a save and reload unchanged; any
// non-empty text survives scrambling; unscrambling anything never misbehaves.
#include <string>
#include <vector>

#include "app/app.h"
#include "draw/strings.h"
#include "platform/headless/headless.h"
#include "scores/scores.h"
#include "tests/fuzz/fuzz.h"

namespace {

std::vector<std::string> RecordTexts() {
    std::vector<std::string> texts;
    for (const auto& r : ScoreList) texts.push_back(RecordText(*r));
    return texts;
}

// A file as the game writes it: the account line, then one line per record.
std::string ScoreFile(const std::vector<std::string>& records) {
    std::string file = Scramble("player|secret", AccountKey) + "\r\n";
    for (const auto& record : records) file += Scramble(record, "") + "\r\n";
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    UseHeadlessPlatform();
    InitGlobals();
    BuildDefaultKey();
    Scores r;
    r.Score = 123456;
    r.Name = "Ann";
    r.Timestamp = DateStamp("07 Dec 2026");
    r.Badges = 5;
    r.Level = 2;
    r.GameMode = 1;
    for (int i = 1; i <= 30; ++i) r.Best[i] = i * 7;
    const std::string one = RecordText(r);
    r.Score = 2147483647;
    r.Timestamp = 9223372036854775807;
    r.Name = "\xA7Zo\xEB";
    const std::string extreme = RecordText(r);
    fuzz::WriteSeedsIfAsked({{"one.dat", ScoreFile({one})},
                             {"two.dat", ScoreFile({one, extreme})},
                             {"plain.txt", one}});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::InScratch here;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // Empty text is refused on the way back ("XXX"): it cannot hold a checksum.
    if (!bytes.empty()) FUZZ_CHECK(Unscramble(Scramble(bytes, ""), "") == bytes);
    Unscramble(bytes, "");
    Unscramble(bytes, AccountKey);

    ResetScoreTable();
    fuzz::WriteBytes(ScoreFileName, data, size);
    LoadScores();
    for (const auto& r : ScoreList) {
        const ScoreRef again = ParseRecord(RecordText(*r));
        FUZZ_CHECK(again && RecordText(*again) == RecordText(*r));
        // What the board shows beside each record.
        DateText(r->Timestamp);
        ClockText(r->Timestamp);
    }
    if (!ScoreList.empty()) {
        const ScoreRef& first = ScoreList.front();
        SelectTopTable(ScoreList, first->GameMode, first->Level, first->GameFlags);
    }

    const std::vector<std::string> before = RecordTexts();
    const std::string name = LoginName, password = LoginPassword;
    FUZZ_CHECK(SaveScores());
    ResetScoreTable();
    LoadScores();
    FUZZ_CHECK(RecordTexts() == before);
    FUZZ_CHECK(LoginName == name && LoginPassword == password);
    return 0;
}
