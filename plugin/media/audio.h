// Audio for the players that feed the visualisation (the Windows host and the native program):
// PCM WAV files, the built-in demo track and the waveform and spectrum blocks that a
// visualisation receives before each frame. Portable, includes nothing of the core.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Decoded audio, always as 16-bit samples per channel. 8-bit PCM is stored so that the high
// byte of each sample is the 8-bit sample made signed (u - 128). Mono sources fill both
// channels with the same samples.
struct AudioClip {
    int sampleRate = 44100;
    int sourceChannels = 2; // 1 or 2, as in the source
    int sourceBits = 16;    // 8 or 16, as in the source
    std::vector<int16_t> samples[2];

    size_t frameCount() const { return samples[0].size(); }
    // Length in milliseconds, at least 1 for a non-empty clip.
    uint32_t lengthMs() const;
};

// Parses a RIFF/WAVE file held in memory: PCM (or WAVE_FORMAT_EXTENSIBLE with the PCM
// sub-format), 8 or 16 bits, mono or stereo, any positive rate. Unknown chunks are skipped;
// a data chunk that claims more bytes than the file holds is cut to the whole frames present.
// On failure returns false, leaves out unchanged and puts a one-line reason into error.
bool parseWav(const uint8_t* data, size_t size, AudioClip& out, std::string& error);
bool loadWavFile(const std::string& path, AudioClip& out, std::string& error);

// The built-in demo track: 120 beats a minute, a bass drum on every beat, a bass line, a
// melody, a pad held through every bar, shakers on the sixteenths and soft hi-hats, 16 bars
// (32 s) that loop seamlessly. Stereo, 16 bit, kept under full scale.
AudioClip makeDemoTrack(int sampleRate = 44100);
constexpr int kDemoBeatsPerMinute = 120;
constexpr int kDemoBars = 16;

constexpr int kVisSamples = 576;      // waveform samples and spectrum bins per channel
constexpr int kSpectrumWindow = 1152; // samples analysed for the spectrum

// Sample index (into the endlessly repeated clip) of the play position positionMs.
int64_t sampleAtMs(const AudioClip& clip, int64_t positionMs);

// Fills the two 576-byte waveform and spectrum channels from the audio just before endSample,
// an index into the clip repeated endlessly (negative indexes are silence before the start):
//   waveform: the newest 576 samples, each the signed high byte of the 16-bit sample;
//   spectrum: magnitudes of a Hann-windowed FFT of the newest 1152 samples, bins 0..575 (low
//             frequencies first), as spectrumValue of the normalised amplitude.
// An empty clip gives silence.
void fillVisData(const AudioClip& clip, int64_t endSample, unsigned char waveform[2][576],
                 unsigned char spectrum[2][576]);

// The spectrum byte for a normalised amplitude (1.0 = a full-scale sine at that bin):
// 255 * sqrt(2 * amplitude), rounded, at most 255. The square root keeps quiet partials
// visible; a sine of half full scale reaches the top.
unsigned char spectrumValue(double amplitude);

// The level a beat detector on the lowest bands reads: the largest of spectrum bins 0..7 of
// both channels.
int beatBandLevel(const unsigned char spectrum[2][576]);
