// The players' audio (media/audio): WAV reading, the audio blocks, the demo track's beats.
#include "media/audio.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>

namespace {

void put16(std::vector<uint8_t>& b, unsigned v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void tag(std::vector<uint8_t>& b, const char* t) {
    b.insert(b.end(), t, t + 4);
}

struct WavSpec {
    unsigned formatTag = 1;
    unsigned channels = 1;
    uint32_t rate = 8000;
    unsigned bits = 16;
    bool extensible = false;
    bool oddChunkBeforeData = false;
    int64_t dataSizeOverride = -1; // declared data size, -1: the true size
};

std::vector<uint8_t> makeWav(const WavSpec& s, const std::vector<uint8_t>& pcm) {
    std::vector<uint8_t> b;
    tag(b, "RIFF");
    put32(b, 0); // patched below
    tag(b, "WAVE");
    tag(b, "fmt ");
    put32(b, s.extensible ? 40 : 16);
    put16(b, s.extensible ? 0xFFFE : s.formatTag);
    put16(b, s.channels);
    put32(b, s.rate);
    unsigned block = s.channels * s.bits / 8;
    put32(b, s.rate * block);
    put16(b, block);
    put16(b, s.bits);
    if (s.extensible) {
        put16(b, 22);     // extension size
        put16(b, s.bits); // valid bits
        put32(b, 3);      // channel mask
        put16(b, s.formatTag);
        static const uint8_t rest[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                         0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        b.insert(b.end(), rest, rest + 14);
    }
    if (s.oddChunkBeforeData) {
        tag(b, "LIST");
        put32(b, 3);
        b.push_back('a');
        b.push_back('b');
        b.push_back('c');
        b.push_back(0); // pad byte
    }
    tag(b, "data");
    put32(b, s.dataSizeOverride >= 0 ? uint32_t(s.dataSizeOverride) : uint32_t(pcm.size()));
    b.insert(b.end(), pcm.begin(), pcm.end());
    uint32_t riff = uint32_t(b.size() - 8);
    std::memcpy(&b[4], &riff, 4);
    return b;
}

AudioClip parseOk(const std::vector<uint8_t>& bytes) {
    AudioClip clip;
    std::string error;
    EXPECT_TRUE(parseWav(bytes.data(), bytes.size(), clip, error)) << error;
    return clip;
}

std::string parseError(const std::vector<uint8_t>& bytes) {
    AudioClip clip;
    std::string error;
    EXPECT_FALSE(parseWav(bytes.data(), bytes.size(), clip, error));
    return error;
}

AudioClip constantClip(int16_t left, int16_t right, size_t frames, int rate = 44100) {
    AudioClip c;
    c.sampleRate = rate;
    c.samples[0].assign(frames, left);
    c.samples[1].assign(frames, right);
    return c;
}

AudioClip sineClip(double freq, double amplitude, size_t frames, int rate = 44100) {
    AudioClip c;
    c.sampleRate = rate;
    for (auto& ch : c.samples) {
        ch.resize(frames);
        for (size_t i = 0; i < frames; ++i)
            ch[i] = int16_t(std::lround(amplitude * 32767.0 *
                                        std::sin(2.0 * 3.14159265358979 * freq * i / rate)));
    }
    return c;
}

} // namespace

TEST(HostWav, ReadsEightBitMonoAsSignedHighBytesInBothChannels) {
    WavSpec s;
    s.bits = 8;
    AudioClip c = parseOk(makeWav(s, {0x00, 0x80, 0xFF, 0x7F}));
    ASSERT_EQ(c.frameCount(), 4u);
    EXPECT_EQ(c.sourceChannels, 1);
    EXPECT_EQ(c.sourceBits, 8);
    EXPECT_EQ(c.sampleRate, 8000);
    const int expected[4] = {-128, 0, 127, -1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(c.samples[0][i] >> 8, expected[i]);
        EXPECT_EQ(c.samples[1][i], c.samples[0][i]);
    }
}

TEST(HostWav, ReadsSixteenBitStereoChannelsApart) {
    WavSpec s;
    s.channels = 2;
    s.rate = 22050;
    // Frames: (0x1234, -2), (-32768, 32767)
    AudioClip c = parseOk(makeWav(s, {0x34, 0x12, 0xFE, 0xFF, 0x00, 0x80, 0xFF, 0x7F}));
    ASSERT_EQ(c.frameCount(), 2u);
    EXPECT_EQ(c.sourceChannels, 2);
    EXPECT_EQ(c.samples[0][0], 0x1234);
    EXPECT_EQ(c.samples[1][0], -2);
    EXPECT_EQ(c.samples[0][1], -32768);
    EXPECT_EQ(c.samples[1][1], 32767);
    EXPECT_EQ(c.lengthMs(), 1u); // under a millisecond still counts as playing
}

TEST(HostWav, ReadsEightBitStereoAndSixteenBitMono) {
    WavSpec s8;
    s8.bits = 8;
    s8.channels = 2;
    AudioClip a = parseOk(makeWav(s8, {0x90, 0x70}));
    EXPECT_EQ(a.samples[0][0] >> 8, 0x10);
    EXPECT_EQ(a.samples[1][0] >> 8, -0x10);

    WavSpec s16;
    AudioClip b = parseOk(makeWav(s16, {0x00, 0xC0}));
    EXPECT_EQ(b.samples[0][0], -16384);
    EXPECT_EQ(b.samples[1][0], -16384);
}

TEST(HostWav, AcceptsExtensiblePcmPaddedChunksAndShortData) {
    WavSpec ext;
    ext.extensible = true;
    ext.channels = 2;
    EXPECT_EQ(parseOk(makeWav(ext, {1, 0, 2, 0})).samples[1][0], 2);

    WavSpec odd;
    odd.oddChunkBeforeData = true;
    EXPECT_EQ(parseOk(makeWav(odd, {5, 0, 6, 0})).frameCount(), 2u);

    // A streamed file whose data size was never filled in: the frames present are read, a
    // trailing half frame is dropped.
    WavSpec streamed;
    streamed.dataSizeOverride = 0xFFFFFFFF;
    EXPECT_EQ(parseOk(makeWav(streamed, {1, 0, 2, 0, 3})).frameCount(), 2u);
}

TEST(HostWav, RejectsWhatItCannotPlay) {
    EXPECT_EQ(parseError({}), "not a RIFF file");
    std::vector<uint8_t> notWave = makeWav(WavSpec(), {0, 0});
    std::memcpy(&notWave[8], "AVI ", 4);
    EXPECT_EQ(parseError(notWave), "not a WAVE file");

    WavSpec compressed;
    compressed.formatTag = 2; // ADPCM
    EXPECT_EQ(parseError(makeWav(compressed, {0, 0})), "not PCM audio");
    WavSpec deep;
    deep.bits = 24;
    EXPECT_EQ(parseError(makeWav(deep, {0, 0, 0})), "only 8- and 16-bit samples are supported");
    WavSpec surround;
    surround.channels = 6;
    EXPECT_EQ(parseError(makeWav(surround, std::vector<uint8_t>(12))),
              "only mono and stereo are supported");
    WavSpec silentRate;
    silentRate.rate = 0;
    EXPECT_EQ(parseError(makeWav(silentRate, {0, 0})), "bad sample rate");
    EXPECT_EQ(parseError(makeWav(WavSpec(), {})), "no samples");

    std::vector<uint8_t> noData = makeWav(WavSpec(), {0, 0});
    noData.resize(noData.size() - 10); // cut into the data chunk header
    EXPECT_EQ(parseError(noData), "no data chunk");
    std::vector<uint8_t> noFormat = makeWav(WavSpec(), {0, 0});
    noFormat.resize(14);
    EXPECT_EQ(parseError(noFormat), "no format chunk");
}

TEST(HostWav, LoadsFromAFileAndReportsAMissingOne) {
    std::string path = std::string(QUORBEL_BINARY_DIR) + "/host_audio_test.wav";
    std::vector<uint8_t> bytes = makeWav(WavSpec(), {0x00, 0x40});
    std::ofstream(path, std::ios::binary).write((const char*)bytes.data(), long(bytes.size()));
    AudioClip c;
    std::string error;
    ASSERT_TRUE(loadWavFile(path, c, error)) << error;
    EXPECT_EQ(c.samples[0][0], 0x4000);
    EXPECT_FALSE(loadWavFile(path + ".missing", c, error));
    EXPECT_EQ(error, "cannot open the file");
}

TEST(HostVisData, WaveformIsTheNewestSamplesHighBytes) {
    AudioClip c;
    c.sampleRate = 1000;
    for (int i = 0; i < 2000; ++i) {
        c.samples[0].push_back(int16_t(i * 16));
        c.samples[1].push_back(int16_t(-i * 16));
    }
    unsigned char wave[2][576], spectrum[2][576];
    fillVisData(c, 1500, wave, spectrum);
    EXPECT_EQ((signed char)wave[0][575], (1499 * 16) >> 8);
    EXPECT_EQ((signed char)wave[0][0], ((1500 - 576) * 16) >> 8);
    EXPECT_EQ((signed char)wave[1][575], (-1499 * 16) >> 8);
}

TEST(HostVisData, SilenceBeforeTheStartAndRepeatsAfterTheEnd) {
    AudioClip c = constantClip(0x2000, -0x2000, 1000);
    unsigned char wave[2][576], spectrum[2][576];
    fillVisData(c, 100, wave, spectrum);
    EXPECT_EQ((signed char)wave[0][0], 0); // before the start
    EXPECT_EQ((signed char)wave[0][575], 0x20);
    fillVisData(c, 1000 * 7 + 3, wave, spectrum); // the seventh repeat
    for (int i = 0; i < 576; ++i) {
        ASSERT_EQ((signed char)wave[0][i], 0x20);
        ASSERT_EQ((signed char)wave[1][i], -0x20);
    }

    AudioClip empty;
    fillVisData(empty, 5000, wave, spectrum);
    EXPECT_EQ(wave[0][100], 0);
    EXPECT_EQ(spectrum[1][0], 0);
}

TEST(HostVisData, SpectrumPeaksAtTheSineBinLowFrequenciesFirst) {
    // 44100 / 1152 Hz per bin: bin 30 is at 1148.4 Hz.
    const double binHz = 44100.0 / 1152.0;
    for (int bin : {3, 30, 300}) {
        AudioClip c = sineClip(bin * binHz, 0.5, 4000);
        unsigned char wave[2][576], spectrum[2][576];
        fillVisData(c, 3000, wave, spectrum);
        int best = 0;
        for (int k = 1; k < 576; ++k)
            if (spectrum[0][k] > spectrum[0][best]) best = k;
        EXPECT_EQ(best, bin);
        // Half full scale reaches the top; far bins stay low (the Hann window's leakage).
        EXPECT_GE(spectrum[0][bin], 250);
        EXPECT_LT(spectrum[0][(bin + 40) % 576], 30);
        EXPECT_EQ(spectrum[1][bin], spectrum[0][bin]);
    }
}

TEST(HostVisData, SpectrumValueScale) {
    EXPECT_EQ(spectrumValue(0.0), 0);
    EXPECT_EQ(spectrumValue(-1.0), 0);
    EXPECT_EQ(spectrumValue(0.5), 255);
    EXPECT_EQ(spectrumValue(7.0), 255);
    EXPECT_EQ(spectrumValue(0.125), 128); // 255 * sqrt(0.25) = 127.5
    EXPECT_LT(spectrumValue(0.01), spectrumValue(0.02));
}

TEST(HostDemoTrack, IsStereoAndLoopsEvery32Seconds) {
    AudioClip c = makeDemoTrack();
    EXPECT_EQ(c.sampleRate, 44100);
    EXPECT_EQ(c.frameCount(), size_t(32 * 44100));
    EXPECT_EQ(c.lengthMs(), 32000u);
    EXPECT_NE(c.samples[0], c.samples[1]); // the melody and hats are panned
    int peak = 0;
    for (int16_t s : c.samples[0]) peak = std::max(peak, std::abs(int(s)));
    EXPECT_LT(peak, 32767) << "the mix must not clip";
    EXPECT_GT(peak, 16384);
    EXPECT_EQ(makeDemoTrack().samples[0], c.samples[0]) << "the track is the same every time";
}

// A detector reading the largest of spectrum bins 0..7 of both channels with a threshold of 200
// sees every bass-drum hit once: each hit pushes the level well above 230 and it falls below
// 150 before the next one, two hits a second. Checked at 40 frames a second and at an odd
// frame rate whose frames land at every phase of the beat.
TEST(HostDemoTrack, EveryBassDrumHitIsOneClearBeat) {
    AudioClip c = makeDemoTrack();
    unsigned char wave[2][576], spectrum[2][576];
    for (double frameMs : {25.0, 17.3}) {
        SCOPED_TRACE(frameMs);
        int beats = 0, previous = 0, peak = 0, trough = 255;
        int lowestPeak = 255, highestTrough = 0;
        const double endMs = 2.0 * c.lengthMs(); // twice round the loop
        for (double ms = 0; ms < endMs; ms += frameMs) {
            fillVisData(c, sampleAtMs(c, int64_t(ms)), wave, spectrum);
            int level = beatBandLevel(spectrum);
            if (level > 200 && previous <= 200) {
                if (beats > 0) {
                    lowestPeak = std::min(lowestPeak, peak);
                    highestTrough = std::max(highestTrough, trough);
                }
                ++beats;
                peak = 0;
                trough = 255;
            }
            peak = std::max(peak, level);
            trough = std::min(trough, level);
            previous = level;
        }
        EXPECT_EQ(beats, 2 * 64); // 64 beats a loop, 2 a second
        EXPECT_GT(lowestPeak, 230);
        EXPECT_LT(highestTrough, 150);
    }
}

TEST(HostDemoTrack, BassLineAndMelodyStayQuietInTheBeatBands) {
    AudioClip c = makeDemoTrack();
    unsigned char wave[2][576], spectrum[2][576];
    // From 200 ms after each hit until the next one the drum has died away.
    int loudest = 0, melodyBand = 0;
    for (int beat = 0; beat < 64; beat += 3) {
        for (int ms = 200; ms < 500; ms += 20) {
            fillVisData(c, sampleAtMs(c, beat * 500 + ms), wave, spectrum);
            loudest = std::max(loudest, beatBandLevel(spectrum));
            for (int k = 11; k < 40; ++k) melodyBand = std::max(melodyBand, int(spectrum[0][k]));
        }
    }
    EXPECT_LT(loudest, 130);
    EXPECT_GT(melodyBand, 60) << "the melody is audible";
}
