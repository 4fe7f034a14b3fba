// Ogg Vorbis decoding: any bytes decode to a playable sound or to nothing.
#include "tests/fuzz/sound.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::WriteSeedsIfAsked({}, {".ogg"}, 256 << 10, 4);
    UseHeadlessPlatform();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    plat::audio::Pcm pcm;
    const bool decoded = plat::audio::DecodeOgg(data, size, pcm);
    fuzz::CheckAndPlay(decoded, pcm, size);
    return 0;
}
