// decode.cpp — WAV and Ogg Vorbis decoding at load time, and LoadSound.
//
// Every sound is decoded completely when it is loaded; the mixer then only
// reads int16 frames. Malformed input of any kind gives "none": lengths are
// checked against the bytes actually present before anything is read.
#include <cstdio>
#include <cstring>
#include <limits>

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include "platform/audio/audio_internal.h"
#include "platform/audio/sound.h"
#include "platform/backend.h"

SoundData::~SoundData() {
    if (alBuffer != 0) plat::audio::ReleaseOpenALBuffer(alBuffer, alDeviceSerial);
    plat::TrackMemory(-trackedBytes);
}

namespace plat::audio {

namespace {

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

constexpr uint16_t kWavePcm = 1;
constexpr uint16_t kWaveExtensible = 0xFFFE;

bool ValidShape(int channels, int rate) {
    return (channels == 1 || channels == 2) && rate >= 1 && rate <= kMaxSampleRate;
}

}  // namespace

bool DecodeWav(const uint8_t* bytes, size_t size, Pcm& out) {
    if (size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return false;
    // The RIFF size field is often wrong in files written by streaming tools,
    // so the walk is bounded by the real file size instead.
    const uint8_t* fmt = nullptr;
    uint32_t fmtSize = 0;
    const uint8_t* data = nullptr;
    uint32_t dataSize = 0;
    size_t at = 12;
    while (at + 8 <= size && !(fmt && data)) {
        const uint8_t* id = bytes + at;
        uint32_t chunkSize = Le32(bytes + at + 4);
        size_t body = at + 8;
        size_t left = size - body;
        if (chunkSize > left) {
            // A data chunk cut short is a truncated file; any other chunk that
            // overruns ends the walk (trailing junk after the audio is fine).
            if (std::memcmp(id, "data", 4) == 0) return false;
            break;
        }
        if (std::memcmp(id, "fmt ", 4) == 0 && !fmt) {
            fmt = bytes + body;
            fmtSize = chunkSize;
        } else if (std::memcmp(id, "data", 4) == 0 && !data) {
            data = bytes + body;
            dataSize = chunkSize;
        }
        // Chunks are padded to an even length; a missing final pad byte is
        // tolerated because the walk stops at the end of the file anyway.
        at = body + chunkSize + (chunkSize & 1);
    }
    if (!fmt || !data || fmtSize < 16) return false;

    uint16_t tag = Le16(fmt);
    int channels = Le16(fmt + 2);
    uint32_t rate = Le32(fmt + 4);
    uint16_t blockAlign = Le16(fmt + 12);
    int bits = Le16(fmt + 14);
    if (tag == kWaveExtensible) {
        // The real format is the first two bytes of the sub-format GUID.
        if (fmtSize < 40 || Le16(fmt + 24) != kWavePcm) return false;
    } else if (tag != kWavePcm) {
        return false;
    }
    if (bits != 8 && bits != 16) return false;
    if (rate > uint32_t(kMaxSampleRate) || !ValidShape(channels, int(rate))) return false;
    int frameBytes = channels * bits / 8;
    if (blockAlign != frameBytes) return false;

    uint32_t frames = dataSize / uint32_t(frameBytes);  // a partial last frame is dropped
    if (frames == 0 || frames > kMaxFrames) return false;

    out.channels = channels;
    out.rate = int(rate);
    out.samples.resize(size_t(frames) * channels);
    size_t count = out.samples.size();
    if (bits == 8) {
        for (size_t i = 0; i < count; ++i) out.samples[i] = int16_t((int(data[i]) - 128) * 256);
    } else {
        for (size_t i = 0; i < count; ++i) out.samples[i] = int16_t(Le16(data + 2 * i));
    }
    return true;
}

namespace {

// vorbisfile reads through these callbacks from a buffer in memory.
struct MemoryReader {
    const uint8_t* bytes;
    size_t size;
    size_t at;
};

size_t ReadMem(void* ptr, size_t size, size_t nmemb, void* source) {
    auto* r = static_cast<MemoryReader*>(source);
    if (size == 0) return 0;
    size_t want = nmemb;
    size_t items = (r->size - r->at) / size;
    if (want > items) want = items;
    std::memcpy(ptr, r->bytes + r->at, want * size);
    r->at += want * size;
    return want;
}

int SeekMem(void* source, ogg_int64_t offset, int whence) {
    auto* r = static_cast<MemoryReader*>(source);
    ogg_int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? ogg_int64_t(r->at)
                                                                  : ogg_int64_t(r->size);
    ogg_int64_t to = base + offset;
    if (to < 0 || to > ogg_int64_t(r->size)) return -1;
    r->at = size_t(to);
    return 0;
}

long TellMem(void* source) { return long(static_cast<MemoryReader*>(source)->at); }

}  // namespace

bool DecodeOgg(const uint8_t* bytes, size_t size, Pcm& out) {
    MemoryReader reader{bytes, size, 0};
    ov_callbacks callbacks{ReadMem, SeekMem, nullptr, TellMem};
    OggVorbis_File file;
    if (ov_open_callbacks(&reader, &file, nullptr, 0, callbacks) != 0) return false;

    bool ok = false;
    vorbis_info* info = ov_info(&file, -1);
    if (info && info->rate <= kMaxSampleRate && ValidShape(info->channels, int(info->rate))) {
        int channels = info->channels;
        long rate = info->rate;
        // The length in the last page's header is only a claim: a damaged or
        // hostile file can say 2^27 frames in a few hundred bytes. Music and
        // effects hold a few frames per byte of file, so at most 8 frames per
        // byte are reserved; past that the vector grows only as real audio
        // comes out.
        ogg_int64_t total = ov_pcm_total(&file, -1);
        const ogg_int64_t plausible = ogg_int64_t(size) * 8;
        if (total > plausible) total = plausible;
        if (total > 0 && total <= ogg_int64_t(kMaxFrames))
            out.samples.reserve(size_t(total) * channels);
        char buffer[8192];
        int section = 0;
        while (true) {
            long got = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section);
            if (got == OV_HOLE) continue;  // a gap in the stream: skip it
            if (got <= 0) break;           // end of stream or a broken link
            // A chained stream that changes its shape ends the sound here.
            vorbis_info* now = ov_info(&file, section);
            if (!now || now->channels != channels || now->rate != rate) break;
            size_t values = size_t(got) / 2;
            size_t old = out.samples.size();
            if ((old + values) / channels > kMaxFrames) break;
            out.samples.resize(old + values);
            std::memcpy(out.samples.data() + old, buffer, values * 2);
        }
        out.samples.resize(out.samples.size() - out.samples.size() % channels);
        out.channels = channels;
        out.rate = int(rate);
        ok = !out.samples.empty();
    }
    ov_clear(&file);
    return ok;
}

bool DecodeSoundFile(const uint8_t* bytes, size_t size, Pcm& out) {
    if (size >= 4 && std::memcmp(bytes, "RIFF", 4) == 0) return DecodeWav(bytes, size, out);
    if (size >= 4 && std::memcmp(bytes, "OggS", 4) == 0) return DecodeOgg(bytes, size, out);
    return false;
}

Sound MakeSound(Pcm pcm, bool loop) {
    uint32_t frames = pcm.Frames();
    if (frames == 0 || frames > kMaxFrames || !ValidShape(pcm.channels, pcm.rate)) return {};
    auto sound = std::make_shared<SoundData>();
    sound->channels = pcm.channels;
    sound->rate = pcm.rate;
    sound->frames = frames;
    sound->loop = loop;
    sound->samples = std::move(pcm.samples);
    // Guard frame: see SoundData::samples.
    size_t guardFrom = loop ? 0 : size_t(frames - 1) * pcm.channels;
    for (int c = 0; c < pcm.channels; ++c)
        sound->samples.push_back(sound->samples[guardFrom + c]);
    sound->samples.shrink_to_fit();
    sound->trackedBytes = int64_t(sound->samples.size() * sizeof(int16_t));
    TrackMemory(sound->trackedBytes);
    return sound;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    bool ok = false;
    if (std::fseek(f, 0, SEEK_END) == 0) {
        long length = std::ftell(f);
        if (length > 0 && size_t(length) <= kMaxFileBytes && std::fseek(f, 0, SEEK_SET) == 0) {
            bytes.resize(size_t(length));
            ok = std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
        }
    }
    std::fclose(f);
    return ok;
}

}  // namespace plat::audio

Sound LoadSound(const std::string& path, int flags) {
    // The device opens with the first sound, so the back end is settled before
    // any channel exists (and a missing device is noted at a predictable time).
    plat::audio::EnsureAudioOpen();
    std::vector<uint8_t> bytes;
    if (!plat::audio::ReadWholeFile(path, bytes)) return {};
    plat::audio::Pcm pcm;
    if (!plat::audio::DecodeSoundFile(bytes.data(), bytes.size(), pcm)) return {};
    return plat::audio::MakeSound(std::move(pcm), (flags & 1) != 0);
}
