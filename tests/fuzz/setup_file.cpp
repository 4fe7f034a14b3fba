// The settings reader: any "Setup.ini" loads without harm, and what it leaves
// in the settings survives being written out and read back.
#include <cstring>

#include "app/app.h"
#include "framework/setup.h"
#include "input/controls.h"
#include "platform/headless/headless.h"
#include "settings/settings.h"
#include "tests/fuzz/fuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::WriteSeedsIfAsked(
        {{"keys.ini", "[Controls]\r\nKey=1,37\r\nKey = 21 , 65 , 9\r\nKey=99\r\nKey=-5,-6\r\n"},
         {"graphics.ini",
          "Fullscreen=on\nGFX Engine = DX7\nWidth=-1024\nHeight=%1111\nESS\nGfxEngine=dx9=x\n"},
         {"audio.ini", "Master = 99999\nSound=$7FFFFFFF\nMusic=-2147483648\nAudioDriver = \n"}},
        {".ini"}, 4096, 4);
    UseHeadlessPlatform();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::InScratch here;
    InitGlobals();
    fuzz::WriteBytes("Setup.ini", data, size);
    LoadSetup();

    int settings[100], keys[101];
    std::memcpy(settings, Settings, sizeof settings);
    std::memcpy(keys, KeyBindings, sizeof keys);
    const std::vector<std::string> lines = SetupFileLines();

    InitGlobals();
    bool sawDriver = false;
    for (const std::string& line : lines) ApplySetupLine(line, sawDriver);
    for (int i : {1, 3, 5, 6, 7, 11, 12, 13}) FUZZ_CHECK(Settings[i] == settings[i]);
    const bool knownDriver =
        settings[14] >= 0 && settings[14] < static_cast<int>(AudioDriverList.size());
    if (knownDriver) FUZZ_CHECK(Settings[14] == settings[14]);
    // Unbound keys (0) are not written, so only bound ones must come back.
    for (int i = 0; i < 100; ++i) {
        if (keys[i] > 0) FUZZ_CHECK(KeyBindings[i] == keys[i]);
    }
    return 0;
}
