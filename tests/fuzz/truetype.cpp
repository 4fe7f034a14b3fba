// TrueType loading: any bytes give a usable font of sane glyphs or none, at
// either style.
#include "platform/headless/headless.h"
#include "platform/image/image.h"
#include "tests/fuzz/fuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::WriteSeedsIfAsked({}, {".ttf"}, 128 << 10, 2);
    UseHeadlessPlatform();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::InScratch here;
    fuzz::WriteBytes("face.ttf", data, size);
    // Small sizes keep each run quick; both glyph styles are taken.
    const int pixels = 6 + int(size % 11);
    const Font font = LoadImageFont("face.ttf", pixels, size % 2 ? 4 : 1);
    if (font) {
        // A damaged face must not blow up the atlas with giant glyphs.
        for (const GlyphInfo& g : font->glyphs)
            FUZZ_CHECK(g.width <= 4 * pixels + 8 && g.height <= 4 * pixels + 8);
        SetImageFont(font);
        FUZZ_CHECK(TextWidth("Hi!") >= 0 && TextHeight() > 0);
        SetImageFont(nullptr);
    }
    return 0;
}
