// Decoding at load: WAV layouts the loader must take, Ogg Vorbis written here
// with the encoder, and the many ways a file can be unusable.
#include <gtest/gtest.h>
#include <vorbis/vorbisenc.h>

#include <cstring>

#include "platform/audio/sound.h"
#include "tests/audio/audio_test_util.h"

using namespace audiotest;

namespace {

class Decode : public ::testing::Test {
protected:
    void SetUp() override { plat::AudioUseMemoryDevice(); }
    void TearDown() override { plat::audio::ResetAudioForTest(); }
};

// Sample i of channel c of a sound, without the guard frame.
int16_t At(const Sound& s, uint32_t frame, int c = 0) {
    return s->samples[size_t(frame) * s->channels + c];
}

std::string EncodeOgg(const std::vector<int16_t>& samples, int channels, int rate) {
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, 0.5f) != 0) return {};
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 1234);
    std::string out;
    ogg_page og;
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    while (ogg_stream_flush(&os, &og)) {
        out.append(reinterpret_cast<char*>(og.header), size_t(og.header_len));
        out.append(reinterpret_cast<char*>(og.body), size_t(og.body_len));
    }
    size_t frames = samples.size() / size_t(channels);
    size_t done = 0;
    bool eos = false;
    while (!eos) {
        size_t n = std::min<size_t>(1024, frames - done);
        if (n == 0) {
            vorbis_analysis_wrote(&vd, 0);
        } else {
            float** buffer = vorbis_analysis_buffer(&vd, int(n));
            for (size_t i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c)
                    buffer[c][i] = samples[(done + i) * size_t(channels) + size_t(c)] / 32768.0f;
            vorbis_analysis_wrote(&vd, int(n));
            done += n;
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &og)) {
                    out.append(reinterpret_cast<char*>(og.header), size_t(og.header_len));
                    out.append(reinterpret_cast<char*>(og.body), size_t(og.body_len));
                    if (ogg_page_eos(&og)) eos = true;
                }
            }
        }
        if (n == 0 && !eos) {
            while (ogg_stream_flush(&os, &og)) {
                out.append(reinterpret_cast<char*>(og.header), size_t(og.header_len));
                out.append(reinterpret_cast<char*>(og.body), size_t(og.body_len));
            }
            eos = true;
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

}  // namespace

TEST_F(Decode, WavSixteenBitStereoKeepsEveryValueAndChannelOrder) {
    std::vector<int16_t> samples = {1000, -1000, 32767, -32768, 0, 12345, -7, 7};
    Sound s = WavSound("s16.wav", samples, 2, 22050);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->channels, 2);
    EXPECT_EQ(s->rate, 22050);
    ASSERT_EQ(s->frames, 4u);
    for (uint32_t f = 0; f < 4; ++f) {
        EXPECT_EQ(At(s, f, 0), samples[f * 2]) << f;
        EXPECT_EQ(At(s, f, 1), samples[f * 2 + 1]) << f;
    }
}

TEST_F(Decode, WavEightBitUnsignedIsCentredAndScaled) {
    // Raw bytes 0, 128 and 255 are the bottom, the middle and the top.
    std::string data = std::string("\x00\x80\xff\x40", 4);
    std::string file = Riff(Chunk("fmt ", FmtBody(1, 8000, 8)) + Chunk("data", data));
    Sound s = LoadSound(WriteBytes("u8.wav", file));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->channels, 1);
    EXPECT_EQ(s->rate, 8000);
    ASSERT_EQ(s->frames, 4u);
    EXPECT_EQ(At(s, 0), -32768);
    EXPECT_EQ(At(s, 1), 0);
    EXPECT_EQ(At(s, 2), 32512);
    EXPECT_EQ(At(s, 3), -16384);
}

TEST_F(Decode, WavEightBitStereoAndSixteenBitMono) {
    Sound a = WavSound("u8s.wav", {-32768, 32512, 0, 256}, 2, 11025, 0, 8);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->channels, 2);
    EXPECT_EQ(a->frames, 2u);
    EXPECT_EQ(At(a, 0, 1), 32512);
    EXPECT_EQ(At(a, 1, 1), 256);
    Sound b = WavSound("s16m.wav", {5, -5, 9}, 1, 48000);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->frames, 3u);
    EXPECT_EQ(At(b, 2), 9);
}

TEST_F(Decode, WavChunksInAnyOrderWithExtrasAndOddSizes) {
    std::vector<int16_t> samples = {100, 200, 300};
    // data before fmt, an odd-sized chunk (padded) in front, a list chunk in
    // between and trailing junk after the last chunk.
    std::string file = Riff(Chunk("junk", "abc") + Chunk("data", DataBody(samples, 16)) +
                            Chunk("LIST", "INFOnote") + Chunk("fmt ", FmtBody(1, 44100, 16))) +
                       "xy";
    Sound s = LoadSound(WriteBytes("order.wav", file));
    ASSERT_TRUE(s);
    ASSERT_EQ(s->frames, 3u);
    EXPECT_EQ(At(s, 0), 100);
    EXPECT_EQ(At(s, 2), 300);
}

TEST_F(Decode, WavExtensibleFormatWithPcmSubtypeLoads) {
    std::string fmt = FmtBody(2, 44100, 16, 0xFFFE);
    PutLe16(fmt, 22);          // extension size
    PutLe16(fmt, 16);          // valid bits
    PutLe32(fmt, 3);           // front left and right
    PutLe16(fmt, 1);           // sub-format: PCM ...
    fmt += std::string(14, '\x01');  // ... rest of the GUID
    std::string file = Riff(Chunk("fmt ", fmt) + Chunk("data", DataBody({1, 2, 3, 4}, 16)));
    Sound s = LoadSound(WriteBytes("ext.wav", file));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->frames, 2u);
    EXPECT_EQ(At(s, 1, 1), 4);
}

TEST_F(Decode, LoopFlagAndGuardFrame) {
    std::vector<int16_t> samples = {10, 20, 30};
    Sound once = WavSound("g1.wav", samples, 1, 44100, 0);
    Sound loop = WavSound("g2.wav", samples, 1, 44100, 1);
    ASSERT_TRUE(once && loop);
    EXPECT_FALSE(once->loop);
    EXPECT_TRUE(loop->loop);
    // The frame after the last: the loop start for looping sounds, the last
    // frame held otherwise.
    EXPECT_EQ(once->samples.at(3), 30);
    EXPECT_EQ(loop->samples.at(3), 10);
}

TEST_F(Decode, UnusableFilesGiveNone) {
    std::vector<int16_t> samples = Sine(440, 44100, 1000);
    std::string good = WavBytes(samples, 1, 44100, 16);
    ASSERT_TRUE(LoadSound(WriteBytes("good.wav", good)));

    EXPECT_FALSE(LoadSound(TempDir() + "/missing.wav"));
    EXPECT_FALSE(LoadSound(WriteBytes("empty.wav", "")));
    EXPECT_FALSE(LoadSound(WriteBytes("garbage.wav", std::string(5000, '\x5a'))));
    EXPECT_FALSE(LoadSound(WriteBytes("header.wav", good.substr(0, 11))));
    EXPECT_FALSE(LoadSound(WriteBytes("truncated.wav", good.substr(0, good.size() / 2))));
    EXPECT_FALSE(LoadSound(TempDir()));  // a folder, not a file

    std::string data = Chunk("data", DataBody(samples, 16));
    EXPECT_FALSE(LoadSound(WriteBytes("nofmt.wav", Riff(data))));
    EXPECT_FALSE(LoadSound(WriteBytes("nodata.wav", Riff(Chunk("fmt ", FmtBody(1, 44100, 16))))));
    EXPECT_FALSE(LoadSound(WriteBytes("bits24.wav", Riff(Chunk("fmt ", FmtBody(1, 44100, 24)) + data))));
    EXPECT_FALSE(LoadSound(WriteBytes("float.wav", Riff(Chunk("fmt ", FmtBody(1, 44100, 16, 3)) + data))));
    EXPECT_FALSE(LoadSound(WriteBytes("ch0.wav", Riff(Chunk("fmt ", FmtBody(0, 44100, 16)) + data))));
    EXPECT_FALSE(LoadSound(WriteBytes("ch6.wav", Riff(Chunk("fmt ", FmtBody(6, 44100, 16)) + data))));
    EXPECT_FALSE(LoadSound(WriteBytes("rate0.wav", Riff(Chunk("fmt ", FmtBody(1, 0, 16)) + data))));
    EXPECT_FALSE(LoadSound(WriteBytes("shortfmt.wav", Riff(Chunk("fmt ", "\x01\x00\x01\x00") + data))));
    EXPECT_FALSE(LoadSound(WriteBytes("nosamples.wav",
                                      Riff(Chunk("fmt ", FmtBody(1, 44100, 16)) + Chunk("data", "")))));
    // A chunk size near 4 GiB must not be trusted.
    std::string huge = Riff(Chunk("fmt ", FmtBody(1, 44100, 16)) + "data\xff\xff\xff\xff" + "abcd");
    EXPECT_FALSE(LoadSound(WriteBytes("huge.wav", huge)));
}

TEST_F(Decode, OggVorbisMonoAndStereoDecodeToTheirTone) {
    std::vector<int16_t> mono = Sine(441, 44100, 22050, 1, 12000);
    Sound m = LoadSound(WriteBytes("mono.ogg", EncodeOgg(mono, 1, 44100)));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->channels, 1);
    EXPECT_EQ(m->rate, 44100);
    EXPECT_NEAR(double(m->frames), 22050, 64);
    std::vector<int> values(m->samples.begin(), m->samples.end() - 1);
    // Half a second of 441 Hz: about 220 rising crossings, and the level kept.
    EXPECT_NEAR(CountRisingZeroCrossings(values), 220, 3);
    EXPECT_NEAR(Peak(values), 12000, 1500);

    std::vector<int16_t> stereo;
    std::vector<int16_t> left = Sine(300, 22050, 11025, 1, 10000);
    for (int16_t v : left) {
        stereo.push_back(v);
        stereo.push_back(0);
    }
    Sound s = LoadSound(WriteBytes("stereo.ogg", EncodeOgg(stereo, 2, 22050)), 1);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->channels, 2);
    EXPECT_EQ(s->rate, 22050);
    EXPECT_TRUE(s->loop);
    std::vector<int> l, r;
    for (uint32_t f = 0; f < s->frames; ++f) {
        l.push_back(At(s, f, 0));
        r.push_back(At(s, f, 1));
    }
    EXPECT_GT(Peak(l), 8000);
    EXPECT_LT(Peak(r), 1500);  // the silent side stays near silent
}

TEST_F(Decode, BrokenOggGivesNone) {
    std::string ogg = EncodeOgg(Sine(441, 44100, 4410), 1, 44100);
    ASSERT_TRUE(LoadSound(WriteBytes("whole.ogg", ogg)));
    EXPECT_FALSE(LoadSound(WriteBytes("cut.ogg", ogg.substr(0, 100))));  // inside the headers
    std::string scrambled = "OggS" + std::string(4000, '\x33');
    EXPECT_FALSE(LoadSound(WriteBytes("scrambled.ogg", scrambled)));
    EXPECT_FALSE(LoadSound(WriteBytes("magic.ogg", "OggS")));
}

TEST_F(Decode, AnOggClaimingAnEnormousLengthReservesOnlyWhatItHolds) {
    // Several pages: the claim is read from the last one, the start from the first.
    std::string ogg = EncodeOgg(Sine(441, 44100, 441000), 1, 44100);
    // The last page's granule position is the length the file claims: make
    // it 2^27 − 1 frames (512 MiB of samples) and mend the page's checksum.
    const size_t last = ogg.rfind("OggS");
    ASSERT_NE(last, std::string::npos);
    const int64_t claim = (int64_t{1} << 27) - 1;
    for (int b = 0; b < 8; ++b) ogg[last + 6 + b] = char((claim >> (8 * b)) & 0xFF);
    auto* page = reinterpret_cast<unsigned char*>(&ogg[last]);
    const long headerLen = 27 + page[26];
    ogg_page og{page, headerLen, page + headerLen, long(ogg.size() - last) - headerLen};
    ogg_page_checksum_set(&og);

    plat::audio::Pcm pcm;
    ASSERT_TRUE(plat::audio::DecodeOgg(reinterpret_cast<const uint8_t*>(ogg.data()), ogg.size(),
                                       pcm));
    EXPECT_GE(pcm.Frames(), 441000u);
    EXPECT_LT(pcm.samples.capacity(), size_t{1} << 20) << "reserved for the claimed length";
}

TEST_F(Decode, SampleBytesCountInMemoryInUse) {
    int64_t before = MemoryInUse();
    {
        Sound s = WavSound("mem.wav", Constant(1, 10000, 2), 2, 44100);
        ASSERT_TRUE(s);
        // 10000 frames + the guard frame, two channels of two bytes.
        EXPECT_EQ(MemoryInUse() - before, int64_t(10001 * 2 * 2));
    }
    EXPECT_EQ(MemoryInUse(), before);
}
