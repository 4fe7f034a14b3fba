// Tests of the settings file reader and writer, the audio choice and the log.
#include <gtest/gtest.h>

#include "tests/framework/support.h"

namespace {

// LoadSetup over `text` as "Setup.ini"; returns what it logged.
std::vector<std::string> LoadFrom(const ScratchTree& tree, const std::string& text) {
    StartClean(tree, "Files");
    WriteText(tree.Files() / "Setup.ini", text);
    LoadSetup();
    return LogOf(tree);
}

std::vector<std::string> Logged(std::vector<std::string> lines) {
    lines.insert(lines.begin(), "\tReading Setup File");
    for (const char* l : {"Setting Audio Driver", "Set Audio Driver", ""}) lines.push_back(l);
    return lines;
}

}  // namespace

TEST(SetupRead, KeysValuesAndTheirLogLines) {
    ScratchTree tree;
    LoadFrom(tree, "[Audio]\r\n   width = -1024  \r\n[X]\r\nHEIGHT = 700 = 900\r\nMaster=$1F\r\n"
                   "Sound=%101\r\nGFX  Engine = DX9\r\n");
    EXPECT_EQ(Settings[5], 1024);  // anywhere, any case, blanks, absolute value
    EXPECT_EQ(Settings[6], 700);   // the value ends at the second "="
    EXPECT_EQ(Settings[11], 31);
    EXPECT_EQ(Settings[12], 5);
    EXPECT_EQ(Settings[3], 0);  // two blanks inside the key: another key
    LoadFrom(tree, "WIDTH\n");  // a bare key's value is its whole line: 0
    EXPECT_EQ(Settings[5], 0);

    EXPECT_EQ(LoadFrom(tree, "fullscreen=on"), Logged({"\tSetting to Fullscreen"}));
    EXPECT_EQ(Settings[1], 1);
    EXPECT_EQ(LoadFrom(tree, "FULLSCREEN = yes\nFullscreen = True\nFullscreen = False"),
              Logged({"\tSetting to Fullscreen"}));
    EXPECT_EQ(Settings[1], 1);  // "False" does not undo "True"
    EXPECT_EQ(LoadFrom(tree, "GFX Engine = DX9\r\nGFXENGINE=OpenGL\r\ngfxengine = dx7"),
              Logged({"\tDirectX 9 Mode", "\tDirectX 7 Mode"}));
    EXPECT_EQ(Settings[3], 2);
    LoadFrom(tree, "GFX Engine = DX9\r\nGFXENGINE=OpenGL\r\n");
    EXPECT_EQ(Settings[3], 1);
    for (const char* ess : {"ESS=0", "ESS"}) {
        EXPECT_EQ(LoadFrom(tree, ess), Logged({"\tAssuming Emergency Slow System values."}));
        EXPECT_EQ(Settings[7], 1);
    }
    EXPECT_EQ(LoadFrom(tree, ""), Logged({}));  // an empty file is one empty line
    LoadFrom(tree, "Key=0,65\nKey=20,65\nKey=7\nKey = -3 , -66, 99\nKey=100,5\n");
    const int bindings[][2] = {{0, 65}, {20, 65}, {7, 7}, {3, 66}, {100, 0}, {5, 39}};
    for (const auto& k : bindings) EXPECT_EQ(KeyBindings[k[0]], k[1]) << k[0];
}

TEST(SetupRead, AudioDriverFromTheWalkOrFromTheFile) {
    EXPECT_EQ(ChooseAudioDriver({"FreeAudio", "FreeAudio DirectSound", "DirectSound"}), 2);
    EXPECT_EQ(ChooseAudioDriver({"Mixer", "OpenAL Soft", "FreeAudio"}), 1);
    EXPECT_EQ(ChooseAudioDriver({"Mixer", "Null"}), 0);
    ScratchTree tree;
    StartClean(tree, "Files");
    LoadSetup();  // no file: nothing of its own logged, the walk decides
    EXPECT_EQ(LogOf(tree), std::vector<std::string>({"Setting Audio Driver", "Set Audio Driver", ""}));
    const std::vector<std::string> names = AudioDriverNames();
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(Settings[14], ChooseAudioDriver(names));
    const int other = Settings[14] == 0 ? 1 : 0;
    LoadFrom(tree, "AudioDriver = " + names[other] + "\n");
    EXPECT_EQ(Settings[14], other);
    LoadFrom(tree, "AudioDriver = " + Upper(names[other]) + "\n");  // case matters
    EXPECT_EQ(Settings[14], 0);  // and the walk is skipped
}

TEST(SetupWrite, LinesInOrderAndTheSlowSystemLineOnlyWhenOn) {
    ScratchTree tree;
    StartClean(tree);
    AudioDriverList = {"Mixer", "OpenAL"};
    Settings[14] = 1;
    KeyBindings[0] = 0;
    KeyBindings[13] = -4;  // not above 0: not written
    KeyBindings[45] = 301;
    ASSERT_TRUE(SaveSetup());
    EXPECT_EQ(fs::current_path(), tree.Game());
    EXPECT_EQ(ReadLines(tree.Files() / "Setup.ini"),
              std::vector<std::string>({"[Graphics]", "Fullscreen = False", "GFX Engine = OpenGL",
                                        "Width=800", "Height=600", "", "[Audio]", "Master = 50",
                                        "Sound = 50", "Music = 50", "AudioDriver = OpenAL",
                                        "; AudioDriver = Mixer", "; AudioDriver = OpenAL", "",
                                        "[Controls]", "Key=3,37", "Key=5,39", "Key=8,40",
                                        "Key=10,90", "Key=11,88", "Key=12,67", "Key=45,301"}));
    Settings[1] = 1;
    Settings[3] = 2;
    Settings[7] = 1;
    ASSERT_TRUE(SaveSetup());
    const std::vector<std::string> lines = ReadLines(tree.Files() / "Setup.ini");
    EXPECT_EQ(lines[1], "Fullscreen = True");
    EXPECT_EQ(lines[2], "GFX Engine = DX7");
    EXPECT_EQ(lines[5],
              "ESS=1 ; This is a slow system, and things must run a wee bit slower for it.  Awww..");
}

TEST(SetupWrite, RoundTripThroughATemporaryFile) {
    ScratchTree tree;
    StartClean(tree);
    AudioDriverList = AudioDriverNames();
    const int values[][2] = {{1, 1}, {3, 1}, {5, 1024}, {6, 768}, {7, 1}, {11, 10}, {12, 0}, {13, 100}};
    for (const auto& v : values) Settings[v[0]] = v[1];
    Settings[14] = static_cast<int>(AudioDriverList.size()) - 1;
    KeyBindings[99] = 488;
    KeyBindings[10] = 0;
    WriteText(tree.Files() / "Setup.ini", "Width=1\r\n");
    ASSERT_TRUE(SaveSetup());
    const int driver = Settings[14];
    EXPECT_EQ(std::distance(fs::directory_iterator(tree.Files()), fs::directory_iterator()), 4)
        << "only Setup.ini, Debug.txt, Common/ and 283/";

    StartClean(tree, "Files");
    LoadSetup();
    for (const auto& v : values) EXPECT_EQ(Settings[v[0]], v[1]) << v[0];
    EXPECT_EQ(Settings[14], driver);
    EXPECT_EQ(KeyBindings[99], 488);
    EXPECT_EQ(KeyBindings[10], 90);  // a binding of 0 comes back as its default
}

TEST(SetupWrite, AFailedSaveKeepsTheOldFileAndIsLogged) {
    ScratchTree tree;
    StartClean(tree);
    WriteText(tree.Files() / "Setup.ini", "Width=1024\r\n");
    fs::create_directories(tree.Files() / "Setup.ini.new" / "x");  // the temporary cannot be made
    EXPECT_FALSE(SaveSetup());
    EXPECT_EQ(fs::current_path(), tree.Game());
    EXPECT_EQ(ReadAll(tree.Files() / "Setup.ini"), "Width=1024\r\n");
    EXPECT_EQ(LogOf(tree), std::vector<std::string>{"\tCould not save Setup.ini"});
}

TEST(Log, EveryLineReachesTheDiskAtOnce) {
    ScratchTree tree;
    StartClean(tree, "Files");
    LogLine("Loading");
    LogLine("\tSFX(1)");
    EXPECT_EQ(ReadAll(tree.Files() / "Debug.txt"), "Loading\r\n\tSFX(1)\r\n");  // still open
    OpenLog("Debug.txt");
    EXPECT_EQ(ReadAll(tree.Files() / "Debug.txt"), "");  // a new run starts it empty
}
