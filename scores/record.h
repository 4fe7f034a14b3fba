// record.h — the `Scores` record, its line of text and the scrambler: what
// the game and the score server share. Needs nothing but the string
// utilities, so the server links it without the game.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <string>

// ---------------------------------------------------------------------------
// The record
// ---------------------------------------------------------------------------
struct Scores {
    int64_t Score = 0;      // the game's points
    int64_t Timestamp = 0;  // DateStamp of the moment the game was filed
    int Badges = 0;         // bit k-1 set = badge k earned
    std::string Name;       // as typed at name entry
    std::array<int, 31> Best{};  // per-game bests; entries 1..30 used, 0 never stored
    int Level = 0;
    int GameMode = 0;   // 0 Easy, 1 Medium, 2 Hard; −(mode + 1) marks an online entry
    int GameFlags = 0;
    int Quit = 0;       // 1 when the game was left through the pause menu's "Quit"

    virtual ~Scores() = default;
    // Order for the list sort: negative when this record is more recent than
    // `other`, positive when older, 0 for the same stamp; 1 when other is none.
    // Decided by the sign of the whole 64-bit stamp difference.
    virtual int Compare(const Scores* other) const;
    int Compare(const Scores& other) const { return Compare(&other); }
};
using ScoreRef = std::shared_ptr<Scores>;
using ScoreTable = std::list<ScoreRef>;

// ---------------------------------------------------------------------------
// Keys and separators
// ---------------------------------------------------------------------------
extern const std::string AccountKey;       // "7QM24RT8": scrambles line 1
extern std::string DefaultKey;             // built by BuildDefaultKey, never stored
extern const std::string RecordSeparator;  // between a record's fields and its bests
extern const std::string FramedSeparator;  // "|" + RecordSeparator + "|"

// ---------------------------------------------------------------------------
// Scrambler
// ---------------------------------------------------------------------------
// Σ code(i) × i × 3 over 1-based positions, reduced mod 4096 after each step.
int ScoreChecksum(const std::string& text);
// Upper-case hex text of 2 × (length + 12) characters. Empty key = DefaultKey.
std::string Scramble(const std::string& text, const std::string& key = "");
// The scrambled text back, or "XXX" when a checksum fails or the text is too
// short to hold one. Empty key = DefaultKey.
std::string Unscramble(const std::string& text, const std::string& key = "");
// The key made from the game's identity: A = title + " " + subtitle,
// D = description, W = week number. 2 × (|A| + |D|) characters.
std::string MakeScoreKey(const std::string& a, const std::string& d, int week);
// Builds DefaultKey when a scramble needs it before anything built it; the
// score table sets it (BuildDefaultKey, scores/scores.h).
extern void (*DefaultKeyBuilder)();

// ---------------------------------------------------------------------------
// Record text
// ---------------------------------------------------------------------------
// Score|Name|Badges|Timestamp|Level|GameMode|GameFlags|Quit, the separator,
// then Best 1..30 joined by "|".
std::string RecordText(const Scores& record);
// The same with another text between the fields and the bests (the score
// server's payload uses "|" + RecordSeparator + "|").
std::string RecordText(const Scores& record, const std::string& separator);
// Builds a record from a RecordText; none when the fields part holds no "|".
ScoreRef ParseRecord(const std::string& text);
// The same from the two parts: the "|"-fields and the "|"-joined bests.
ScoreRef ParseRecord(const std::string& fields, const std::string& bests);

// ---------------------------------------------------------------------------
// Names
// ---------------------------------------------------------------------------
// Whether a typed character may enter a name: 32..255 except "|" and the
// section sign (167), which the record line uses as field separators.
bool NameCharAllowed(int code);
