// Tests of the settings file reader and writer and of the log.
#include <gtest/gtest.h>

#include "framework/setup.h"
#include "input/controls.h"
#include "platform/audio/test_hooks.h"
#include "settings/settings.h"
#include "tests/framework/support.h"

using namespace testing_support;

namespace {

// Reads `text` as "Setup.ini" from Files/ and returns the log lines written
// by LoadSetup (the log holds nothing else).
std::vector<std::string> LoadFrom(const ScratchTree& tree, const std::string& text) {
    StartClean(tree, "Files");
    WriteText(tree.Files() / "Setup.ini", text);
    LoadSetup();
    CloseLog();
    return ReadLines(tree.Files() / "Debug.txt");
}

const std::vector<std::string> kDriverTail = {"Setting Audio Driver", "Set Audio Driver", ""};

std::vector<std::string> Logged(std::vector<std::string> lines) {
    lines.insert(lines.begin(), "\tReading Setup File");
    lines.insert(lines.end(), kDriverTail.begin(), kDriverTail.end());
    return lines;
}

}  // namespace

TEST(SetupRead, KeysAreFoundAnywhereWithBlanksAndCaseIgnored) {
    ScratchTree tree;
    LoadFrom(tree, "[Audio]\r\n   width = 1024  \r\n[Whatever]\r\nHEIGHT=768\r\n  Music=7\r\n");
    EXPECT_EQ(Settings[5], 1024);
    EXPECT_EQ(Settings[6], 768);
    EXPECT_EQ(Settings[13], 7);
    // Two blanks inside the key make it another key.
    LoadFrom(tree, "GFX  Engine = DX9\r\n");
    EXPECT_EQ(Settings[3], 0);
}

TEST(SetupRead, FullscreenOnlyForTrueOrOnAndLogged) {
    ScratchTree tree;
    EXPECT_EQ(LoadFrom(tree, "fullscreen=on"), Logged({"\tSetting to Fullscreen"}));
    EXPECT_EQ(Settings[1], 1);
    EXPECT_EQ(LoadFrom(tree, "FULLSCREEN = yes"), Logged({}));
    EXPECT_EQ(Settings[1], 0);
    // A later "False" does not undo an earlier "True".
    LoadFrom(tree, "Fullscreen = True\nFullscreen = False\n");
    EXPECT_EQ(Settings[1], 1);
}

TEST(SetupRead, RendererChoiceKeepsDirectXOverALaterOpenGL) {
    ScratchTree tree;
    EXPECT_EQ(LoadFrom(tree, "GFX Engine = DX9\r\nGFXENGINE=OpenGL\r\n"),
              Logged({"\tDirectX 9 Mode"}));
    EXPECT_EQ(Settings[3], 1);
    EXPECT_EQ(LoadFrom(tree, "gfxengine = dx7"), Logged({"\tDirectX 7 Mode"}));
    EXPECT_EQ(Settings[3], 2);
    LoadFrom(tree, "GFX Engine = DX9\r\nGFX Engine = DX7\r\n");
    EXPECT_EQ(Settings[3], 2);  // a later value that changes something wins
}

TEST(SetupRead, ValueRunsToTheSecondEqualsAndNumbersAreAbsolute) {
    ScratchTree tree;
    LoadFrom(tree, "Width=-1024\nHeight = 700 = 900\nMaster=$1F\nSound=%101\n");
    EXPECT_EQ(Settings[5], 1024);
    EXPECT_EQ(Settings[6], 700);
    EXPECT_EQ(Settings[11], 31);
    EXPECT_EQ(Settings[12], 5);
    // A bare key reads its whole line as the value: "WIDTH" is 0.
    LoadFrom(tree, "WIDTH\n");
    EXPECT_EQ(Settings[5], 0);
    // Volumes are not limited on reading.
    LoadFrom(tree, "Master = 250\n");
    EXPECT_EQ(Settings[11], 250);
}

TEST(SetupRead, SlowSystemFromTheKeyAlone) {
    ScratchTree tree;
    const std::vector<std::string> ess = Logged({"\tAssuming Emergency Slow System values."});
    EXPECT_EQ(LoadFrom(tree, "ESS=0"), ess);
    EXPECT_EQ(Settings[7], 1);
    EXPECT_EQ(LoadFrom(tree, "ESS"), ess);
    EXPECT_EQ(Settings[7], 1);
    LoadFrom(tree, "; ESS=1\n");
    EXPECT_EQ(Settings[7], 0);
}

TEST(SetupRead, KeyLinesSetBindingsByIndex) {
    ScratchTree tree;
    LoadFrom(tree, "Key=0,65\nKey=20,65\nKey=7\nKey = -3 , -66, 99\nKey=100,5\nKey=99,12\n");
    EXPECT_EQ(KeyBindings[0], 65);
    EXPECT_EQ(KeyBindings[20], 65);
    EXPECT_EQ(KeyBindings[7], 7);
    EXPECT_EQ(KeyBindings[3], 66);
    EXPECT_EQ(KeyBindings[99], 12);
    EXPECT_EQ(KeyBindings[100], 0);  // index 100 is never set from the file
    EXPECT_EQ(KeyBindings[5], 39);   // untouched default
}

TEST(SetupRead, NoFileLogsNothingOfItsOwnAndKeepsDefaults) {
    ScratchTree tree;
    StartClean(tree, "Files");
    LoadSetup();
    CloseLog();
    EXPECT_EQ(ReadLines(tree.Files() / "Debug.txt"), kDriverTail);
    EXPECT_EQ(Settings[5], 800);
    EXPECT_EQ(Settings[6], 600);
    EXPECT_EQ(Settings[11], 50);
    EXPECT_EQ(KeyBindings[10], 90);
}

TEST(SetupRead, EmptyFileReadsOneEmptyLine) {
    ScratchTree tree;
    EXPECT_EQ(LoadFrom(tree, ""), Logged({}));
}

TEST(SetupRead, AMissingAudioDeviceIsToldInTheLogWhileTheDriverIsSet) {
    ScratchTree tree;
    StartClean(tree, "Files");
    plat::audio::ResetAudioForTest();  // the real device path, not memory
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    LoadSetup();
    unsetenv("SDL_AUDIODRIVER");
    plat::audio::ResetAudioForTest();
    CloseLog();
    EXPECT_EQ(ReadLines(tree.Files() / "Debug.txt"),
              (std::vector<std::string>{"Setting Audio Driver", "\tNo audio device, sound is off",
                                        "Set Audio Driver", ""}));
}

TEST(AudioDriverChoice, LastDirectThenFirstOpenALOrFreeThenFirst) {
    EXPECT_EQ(ChooseAudioDriver({"FreeAudio", "FreeAudio DirectSound", "DirectSound"}), 2);
    EXPECT_EQ(ChooseAudioDriver({"Mixer", "OpenAL Soft", "FreeAudio"}), 1);
    EXPECT_EQ(ChooseAudioDriver({"Mixer", "freeaudio pulse", "OpenAL"}), 1);
    EXPECT_EQ(ChooseAudioDriver({"DirectSound", "OpenAL", "Direct X"}), 2);
    EXPECT_EQ(ChooseAudioDriver({"Mixer", "Null"}), 0);
}

TEST(AudioDriverChoice, AFileLineOverridesTheWalkEvenWhenItMatchesNothing) {
    ScratchTree tree;
    StartClean(tree, "Files");
    const std::vector<std::string> names = AudioDriverNames();
    ASSERT_GE(names.size(), 2u) << "the platform offers at least two back ends";
    const int walked = ChooseAudioDriver(names);
    const int other = walked == 0 ? 1 : 0;

    LoadFrom(tree, "AudioDriver = " + names[other] + "\n");
    EXPECT_EQ(Settings[14], other);
    // Case matters for the name; a name that matches nothing keeps 0.
    LoadFrom(tree, "AudioDriver = " + Upper(names[other]) + "x\n");
    EXPECT_EQ(Settings[14], 0);
    LoadFrom(tree, "[Audio]\n");
    EXPECT_EQ(Settings[14], walked);
}

TEST(SetupWrite, LinesInOrderWithCommentedDriverList) {
    ScratchTree tree;
    StartClean(tree);
    AudioDriverList = {"Mixer", "OpenAL"};
    Settings[14] = 1;
    KeyBindings[0] = 0;
    KeyBindings[13] = -4;  // not above 0: not written
    KeyBindings[45] = 301;
    ASSERT_TRUE(SaveSetup());
    EXPECT_EQ(fs::current_path(), tree.Game());
    const std::vector<std::string> expected = {
        "[Graphics]", "Fullscreen = False", "GFX Engine = OpenGL", "Width=800", "Height=600",
        "", "[Audio]", "Master = 50", "Sound = 50", "Music = 50", "AudioDriver = OpenAL",
        "; AudioDriver = Mixer", "; AudioDriver = OpenAL", "", "[Controls]", "Key=3,37",
        "Key=5,39", "Key=8,40", "Key=10,90", "Key=11,88", "Key=12,67", "Key=45,301"};
    EXPECT_EQ(ReadLines(tree.Files() / "Setup.ini"), expected);
    EXPECT_NE(ReadAll(tree.Files() / "Setup.ini").find("Height=600\r\n"), std::string::npos);
}

TEST(SetupWrite, SlowSystemLineOnlyWhenOn) {
    ScratchTree tree;
    StartClean(tree);
    AudioDriverList = {"Mixer"};
    Settings[1] = 1;
    Settings[3] = 2;
    Settings[7] = 1;
    ASSERT_TRUE(SaveSetup());
    std::vector<std::string> lines = ReadLines(tree.Files() / "Setup.ini");
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[1], "Fullscreen = True");
    EXPECT_EQ(lines[2], "GFX Engine = DX7");
    EXPECT_EQ(lines[5],
              "ESS=1 ; This is a slow system, and things must run a wee bit slower for it.  Awww..");
    Settings[7] = 0;
    Settings[1] = 5;  // no line for values other than 0 and 1
    Settings[3] = 9;
    ASSERT_TRUE(SaveSetup());
    lines = ReadLines(tree.Files() / "Setup.ini");
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find("ESS"), std::string::npos) << line;
        EXPECT_EQ(line.find("Fullscreen"), std::string::npos) << line;
        EXPECT_EQ(line.find("GFX"), std::string::npos) << line;
    }
}

TEST(SetupWrite, RoundTripKeepsEveryValueButUnsetBindings) {
    ScratchTree tree;
    StartClean(tree);
    AudioDriverList = AudioDriverNames();
    Settings[1] = 1;
    Settings[3] = 1;
    Settings[5] = 1024;
    Settings[6] = 768;
    Settings[7] = 1;
    Settings[11] = 10;
    Settings[12] = 0;
    Settings[13] = 100;
    Settings[14] = static_cast<int>(AudioDriverList.size()) - 1;
    KeyBindings[99] = 450 + 38;
    KeyBindings[10] = 0;
    int saved[100], savedKeys[101];
    std::copy(std::begin(Settings), std::end(Settings), saved);
    std::copy(std::begin(KeyBindings), std::end(KeyBindings), savedKeys);
    ASSERT_TRUE(SaveSetup());

    StartClean(tree, "Files");
    LoadSetup();
    for (int i : {1, 3, 5, 6, 7, 11, 12, 13, 14}) EXPECT_EQ(Settings[i], saved[i]) << i;
    for (int i = 0; i < 100; ++i) {
        if (i == 10) continue;
        EXPECT_EQ(KeyBindings[i], savedKeys[i]) << i;
    }
    EXPECT_EQ(KeyBindings[10], 90);  // a binding of 0 comes back as its default
}

TEST(SetupWrite, ReplacesTheOldFileThroughATemporaryOne) {
    ScratchTree tree;
    StartClean(tree);
    AudioDriverList = {"Mixer"};
    WriteText(tree.Files() / "Setup.ini", "Width=1\r\n");
    ASSERT_TRUE(SaveSetup());
    EXPECT_EQ(ReadLines(tree.Files() / "Setup.ini").at(3), "Width=800");
    for (const auto& entry : fs::directory_iterator(tree.Files())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "Setup.ini" || name == "Debug.txt" || name == "Common" ||
                    name == "283")
            << "left behind: " << name;
    }
}

TEST(SetupWrite, AFailedSaveKeepsTheOldFileAndIsLogged) {
    ScratchTree tree;
    StartClean(tree);
    AudioDriverList = {"Mixer"};
    WriteText(tree.Files() / "Setup.ini", "Width=1024\r\n");
    // A folder where the temporary file has to go makes the write fail.
    fs::create_directories(tree.Files() / "Setup.ini.new" / "x");
    EXPECT_FALSE(SaveSetup());
    EXPECT_EQ(fs::current_path(), tree.Game());
    EXPECT_EQ(ReadAll(tree.Files() / "Setup.ini"), "Width=1024\r\n");
    CloseLog();
    EXPECT_EQ(ReadLines(tree.Files() / "Debug.txt"),
              std::vector<std::string>{"\tCould not save Setup.ini"});
}

TEST(Log, LinesEndInCarriageReturnLineFeedAndReachTheDiskAtOnce) {
    ScratchTree tree;
    StartClean(tree, "Files");
    LogLine("Loading");
    LogLine("\tSFX(1)");
    // Still open: a crash right now would keep both lines.
    EXPECT_EQ(ReadAll(tree.Files() / "Debug.txt"), "Loading\r\n\tSFX(1)\r\n");
    OpenLog("Debug.txt");  // a new run starts it empty
    CloseLog();
    EXPECT_EQ(ReadAll(tree.Files() / "Debug.txt"), "");
    LogLine("after close");  // dropped quietly
    EXPECT_EQ(ReadAll(tree.Files() / "Debug.txt"), "");
}
