// TrueType loading: any bytes give a usable font or none, at any style.
#include "platform/headless/headless.h"
#include "platform/image/image.h"
#include "tests/fuzz/fuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::WriteSeedsIfAsked({}, {".ttf"}, 128 << 10, 2);
    UseHeadlessPlatform();
    fuzz::EnterScratch();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::WriteBytes("face.ttf", data, size);
    // Small sizes keep each run quick; both glyph styles are taken.
    const Font font = LoadImageFont("face.ttf", 6 + int(size % 11), size % 2 ? 4 : 1);
    if (font) {
        SetImageFont(font);
        FUZZ_CHECK(TextWidth("Hi!") >= 0 && TextHeight() > 0);
        SetImageFont(nullptr);
    }
    return 0;
}
