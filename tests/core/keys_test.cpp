// Key and text translation of the SDL back end. Scancodes are USB HID usage
// numbers (which is what SDL's scancodes are); keycodes of keys that type a
// character are that character, others are the scancode with bit 30 set.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/sdl/sdl_keys.h"

namespace {

constexpr int kNoChar = 1 << 30;  // keycode flag of keys without a character

int Vk(int scancode) { return plat::TranslateSdlKey(scancode | kNoChar, scancode); }

// Every scancode an ordinary keyboard sends, with the virtual key it must give.
const std::map<int, int> kExpected = {
    {40, 13},  {41, 27},  {42, 8},   {43, 9},   {44, 32},  {45, 189}, {46, 187}, {47, 219},
    {48, 221}, {49, 220}, {50, 222}, {51, 186}, {52, 192}, {53, 223}, {54, 188}, {55, 190},
    {56, 191}, {57, 20},  {70, 44},  {71, 145}, {72, 19},  {73, 45},  {74, 36},  {75, 33},
    {76, 46},  {77, 35},  {78, 34},  {79, 39},  {80, 37},  {81, 40},  {82, 38},  {83, 144},
    {84, 111}, {85, 106}, {86, 109}, {87, 107}, {88, 13},  {98, 96},  {99, 110}, {100, 226},
    {224, 162}, {225, 160}, {226, 164}, {227, 91}, {228, 163}, {229, 161}, {230, 165},
    {127, 173}, {129, 174}, {128, 175},
};

}  // namespace

TEST(SdlKeys, LettersDigitsAndFunctionKeys) {
    for (int i = 0; i < 26; ++i) {
        // Letter keys report their letter as the keycode.
        EXPECT_EQ(plat::TranslateSdlKey('a' + i, 4 + i), 'A' + i);
    }
    for (int i = 0; i < 9; ++i) EXPECT_EQ(Vk(30 + i), '1' + i);
    EXPECT_EQ(Vk(39), '0');
    for (int i = 0; i < 12; ++i) EXPECT_EQ(Vk(58 + i), 112 + i) << "F" << i + 1;
    for (int i = 0; i < 9; ++i) EXPECT_EQ(Vk(89 + i), 97 + i) << "keypad " << i + 1;
}

TEST(SdlKeys, LettersFollowTheLayoutAndFallBackToThePosition) {
    // On a layout with A where Q sits, the key at Q's position gives A.
    EXPECT_EQ(plat::TranslateSdlKey('a', 20), 'A');
    // A letter position whose keycode is no Latin letter keeps its position.
    EXPECT_EQ(plat::TranslateSdlKey(0x444, 4), 'A');
    // Digits are always taken by position (a layout may type '&' there).
    EXPECT_EQ(plat::TranslateSdlKey('&', 30), '1');
}

TEST(SdlKeys, EveryOtherKeyByPosition) {
    for (const auto& [scancode, vk] : kExpected) EXPECT_EQ(Vk(scancode), vk) << "scancode " << scancode;
}

TEST(SdlKeys, OnlyReturnAndKeypadEnterShareAVirtualKey) {
    std::map<int, int> firstScancode;
    for (int sc = 1; sc < 512; ++sc) {
        const int vk = Vk(sc);
        if (!vk) continue;
        ASSERT_GE(vk, 1);
        ASSERT_LE(vk, 254);
        auto [it, fresh] = firstScancode.emplace(vk, sc);
        if (!fresh) EXPECT_EQ(vk, 13) << "scancodes " << it->second << " and " << sc;
    }
}

TEST(SdlKeys, EveryNamedKeyCanBeReached) {
    // The keys a player can bind and see named on the settings screen.
    std::set<int> named = {8, 9, 13, 19, 20, 27, 32, 33, 34, 35, 36, 37, 38, 39, 40, 44, 45, 46,
                           91, 92, 106, 107, 109, 110, 111, 144, 145, 160, 161, 162, 163, 164,
                           165, 173, 174, 175, 186, 187, 188, 189, 190, 191, 192, 219, 220,
                           221, 222, 223, 226};
    for (int d = 0; d <= 9; ++d) named.insert(48 + d), named.insert(96 + d);
    for (int f = 0; f < 12; ++f) named.insert(112 + f);
    std::set<int> reached;
    for (int sc = 1; sc < 512; ++sc) reached.insert(Vk(sc));
    for (int i = 0; i < 26; ++i) reached.insert(plat::TranslateSdlKey('a' + i, 4 + i));
    for (int vk : named) EXPECT_TRUE(reached.count(vk)) << "virtual key " << vk;
}

TEST(SdlKeys, UnknownKeysGiveZero) {
    EXPECT_EQ(plat::TranslateSdlKey(0, 0), 0);
    EXPECT_EQ(Vk(500), 0);
}

TEST(SdlText, Utf8BecomesLatin1AndTheRestIsDropped) {
    EXPECT_EQ(plat::Utf8ToLatin1("Ab1"), (std::vector<int>{'A', 'b', '1'}));
    EXPECT_EQ(plat::Utf8ToLatin1("\xC3\xA9\xC3\xBF"), (std::vector<int>{0xE9, 0xFF}));  // é ÿ
    EXPECT_EQ(plat::Utf8ToLatin1("a\xE2\x82\xAC" "b"), (std::vector<int>{'a', 'b'}));   // € dropped
    EXPECT_EQ(plat::Utf8ToLatin1("\xF0\x9F\x98\x80x"), (std::vector<int>{'x'}));       // emoji dropped
    EXPECT_EQ(plat::Utf8ToLatin1("\xC1\x81"), std::vector<int>{});  // overlong "A"
    EXPECT_EQ(plat::Utf8ToLatin1("\x80z\xFFy"), (std::vector<int>{'z', 'y'}));  // stray bytes
    EXPECT_EQ(plat::Utf8ToLatin1("q\xC3"), (std::vector<int>{'q'}));  // cut short
    EXPECT_EQ(plat::Utf8ToLatin1("\xC3(x"), (std::vector<int>{'(', 'x'}));
}

TEST(SdlText, ControlKeysAlsoType) {
    EXPECT_EQ(plat::KeyPressChar(8), 8);
    EXPECT_EQ(plat::KeyPressChar(13), 13);
    EXPECT_EQ(plat::KeyPressChar(27), 27);
    EXPECT_EQ(plat::KeyPressChar(65), 0);  // letters arrive as text
    EXPECT_EQ(plat::KeyPressChar(9), 0);
}
