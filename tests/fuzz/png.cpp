// PNG decoding: any bytes decode to a sane picture or to nothing, and the
// file loaders built on it behave the same.
#include "platform/headless/headless.h"
#include "platform/image/image.h"
#include "tests/fuzz/fuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::WriteSeedsIfAsked({}, {".png"}, 64 << 10, 8);
    UseHeadlessPlatform();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::InScratch here;
    plat::DecodedPicture picture;
    const bool decoded = plat::DecodePNGMemory(data, size, picture);
    if (decoded) {
        FUZZ_CHECK(picture.width > 0 && picture.height > 0);
        FUZZ_CHECK(plat::SaneImageSize(picture.width, picture.height));
        FUZZ_CHECK(picture.pixels.size() == size_t(picture.width) * size_t(picture.height));
    }
    fuzz::WriteBytes("picture.png", data, size);
    const Pixmap pixmap = LoadPixmap("picture.png");
    FUZZ_CHECK(static_cast<bool>(pixmap) == decoded);
    // Cut into 2 x 2 cells the way strips of icons are.
    const Image strip = LoadAnimImage("picture.png", 2, 2, 0, 4, ImageMasked);
    if (strip) FUZZ_CHECK(ImageFrames(strip) == 4 && ImageWidth(strip) == 2);
    return 0;
}
