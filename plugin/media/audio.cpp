#include "media/audio.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr double kPi = 3.14159265358979323846;

uint32_t readLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t readLe16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

bool fail(std::string& error, const char* reason) {
    error = reason;
    return false;
}

} // namespace

uint32_t AudioClip::lengthMs() const {
    if (sampleRate <= 0 || samples[0].empty()) return 0;
    uint64_t ms = uint64_t(samples[0].size()) * 1000 / uint64_t(sampleRate);
    return ms == 0 ? 1 : uint32_t(std::min<uint64_t>(ms, 0xFFFFFFFFu));
}

bool parseWav(const uint8_t* data, size_t size, AudioClip& out, std::string& error) {
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0) return fail(error, "not a RIFF file");
    if (std::memcmp(data + 8, "WAVE", 4) != 0) return fail(error, "not a WAVE file");

    bool haveFormat = false;
    int channels = 0, bits = 0, blockAlign = 0;
    uint32_t rate = 0;
    const uint8_t* pcm = nullptr;
    size_t pcmBytes = 0;

    size_t pos = 12;
    while (pos + 8 <= size) {
        const uint8_t* chunk = data + pos;
        uint32_t chunkSize = readLe32(chunk + 4);
        size_t available = size - (pos + 8);
        size_t body = std::min<size_t>(chunkSize, available);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (body < 16) return fail(error, "format chunk too short");
            const uint8_t* f = chunk + 8;
            uint16_t tag = readLe16(f);
            channels = readLe16(f + 2);
            rate = readLe32(f + 4);
            blockAlign = readLe16(f + 12);
            bits = readLe16(f + 14);
            if (tag == 0xFFFE) {
                // WAVE_FORMAT_EXTENSIBLE: the sub-format GUID starts with the format tag.
                if (body < 40) return fail(error, "extensible format chunk too short");
                tag = readLe16(f + 24);
            }
            if (tag != 1) return fail(error, "not PCM audio");
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) return fail(error, "data chunk before the format chunk");
            pcm = chunk + 8;
            pcmBytes = body;
            break;
        }
        // Chunks are padded to an even size.
        uint64_t next = uint64_t(pos) + 8 + chunkSize + (chunkSize & 1);
        if (next > size) break;
        pos = size_t(next);
    }

    if (!haveFormat) return fail(error, "no format chunk");
    if (channels != 1 && channels != 2) return fail(error, "only mono and stereo are supported");
    if (bits != 8 && bits != 16) return fail(error, "only 8- and 16-bit samples are supported");
    if (rate == 0 || rate > 1000000) return fail(error, "bad sample rate");
    int frameBytes = channels * bits / 8;
    if (blockAlign != 0 && blockAlign != frameBytes) return fail(error, "bad block alignment");
    if (!pcm) return fail(error, "no data chunk");
    size_t frames = pcmBytes / size_t(frameBytes);
    if (frames == 0) return fail(error, "no samples");

    AudioClip clip;
    clip.sampleRate = int(rate);
    clip.sourceChannels = channels;
    clip.sourceBits = bits;
    for (auto& ch : clip.samples) ch.resize(frames);
    for (size_t i = 0; i < frames; ++i) {
        const uint8_t* frame = pcm + i * size_t(frameBytes);
        for (int c = 0; c < 2; ++c) {
            int source = channels == 2 ? c : 0;
            int16_t s;
            if (bits == 8)
                s = int16_t((int(frame[source]) - 128) * 256);
            else
                s = int16_t(readLe16(frame + 2 * source));
            clip.samples[c][i] = s;
        }
    }
    out = std::move(clip);
    return true;
}

bool loadWavFile(const std::string& path, AudioClip& out, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return fail(error, "cannot open the file");
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
    if (file.bad()) return fail(error, "cannot read the file");
    return parseWav(bytes.data(), bytes.size(), out, error);
}

// ---------------------------------------------------------------------------------------------
// Demo track

namespace {

// Equal-tempered pitch of a MIDI note number.
double noteHz(int midi) {
    return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

struct DemoVoices {
    // A minor: Am, F, C, G, one chord per bar.
    static constexpr int bassRoots[4] = {45, 41, 48, 43}; // A2, F2, C3, G2
    // Two bars of melody in eighth notes (MIDI, 0 = rest), A minor pentatonic.
    static constexpr int melody[16] = {69, 72, 76, 72, 74, 0,  72, 69,
                                       67, 69, 72, 74, 76, 79, 76, 0};
};

} // namespace

namespace {

// One note of a voice, rendered once and mixed in wherever the note plays.
using Voice = std::vector<double>;

Voice bassDrum(double rate) {
    // A sine falling from about 150 Hz to 48 Hz with a fast decay.
    Voice v(size_t(0.35 * rate));
    double phase = 0.0;
    for (size_t n = 0; n < v.size(); ++n) {
        double t = n / rate;
        double freq = 48.0 + 100.0 * std::exp(-t / 0.025);
        phase += 2.0 * kPi * freq / rate;
        double attack = std::min(1.0, t / 0.002);
        v[n] = 0.82 * attack * std::exp(-t / 0.07) * std::sin(phase);
    }
    return v;
}

Voice bassNote(double rate, double freq, double seconds) {
    Voice v(size_t(seconds * rate));
    for (size_t n = 0; n < v.size(); ++n) {
        double t = n / rate;
        double env = std::min(1.0, t / 0.004) * std::exp(-t / 0.18) *
                     std::min(1.0, (v.size() - n) / (0.004 * rate));
        double ph = 2.0 * kPi * freq * t;
        v[n] = 0.07 * env * (std::sin(ph) + 0.35 * std::sin(2.0 * ph));
    }
    return v;
}

Voice melodyNote(double rate, double freq, double seconds) {
    // A soft square-like tone: the first three odd harmonics.
    Voice v(size_t(seconds * rate));
    for (size_t n = 0; n < v.size(); ++n) {
        double t = n / rate;
        double env = std::min(1.0, t / 0.01) * std::exp(-t / 0.3) *
                     std::min(1.0, (v.size() - n) / (0.01 * rate));
        double ph = 2.0 * kPi * freq * t;
        v[n] = 0.11 * env * (std::sin(ph) + std::sin(3.0 * ph) / 3.0 + std::sin(5.0 * ph) / 5.0);
    }
    return v;
}

Voice padNote(double rate, double freq, double seconds, double detune) {
    // A sustained chord tone that fills the bar: two slightly detuned saw-like partial sets, so
    // that the waveform never falls quiet between the drums and the two channels differ.
    Voice v(size_t(seconds * rate));
    for (size_t n = 0; n < v.size(); ++n) {
        double t = n / rate;
        double env = std::min(1.0, t / 0.05) * std::min(1.0, (v.size() - n) / (0.05 * rate));
        double a = 2.0 * kPi * freq * t;
        double b = 2.0 * kPi * freq * detune * t;
        double tone = 0.0;
        for (int h = 1; h <= 4; ++h) tone += (std::sin(h * a) + std::sin(h * b + 1.0)) / h;
        v[n] = 0.045 * env * (1.0 + 0.25 * std::sin(2.0 * kPi * 2.0 * t)) * tone;
    }
    return v;
}

Voice shaker(double rate) {
    // Soft broadband noise on every sixteenth: activity across the spectrum.
    Voice v(size_t(0.11 * rate));
    uint32_t noise = 987654321u;
    for (size_t n = 0; n < v.size(); ++n) {
        noise = noise * 1664525u + 1013904223u;
        double white = (int32_t(noise) >> 8) / double(1 << 23);
        v[n] = 0.08 * std::exp(-(n / rate) / 0.05) * white;
    }
    return v;
}

Voice hiHat(double rate) {
    // High-passed noise from a fixed generator, so the track is the same everywhere.
    Voice v(size_t(0.06 * rate));
    uint32_t noise = 12345;
    double previous = 0.0;
    for (size_t n = 0; n < v.size(); ++n) {
        noise = noise * 1664525u + 1013904223u;
        double white = (int32_t(noise) >> 8) / double(1 << 23);
        v[n] = 0.03 * std::exp(-(n / rate) / 0.015) * (white - previous);
        previous = white;
    }
    return v;
}

} // namespace

AudioClip makeDemoTrack(int sampleRate) {
    if (sampleRate < 8000) sampleRate = 8000;
    const double rate = sampleRate;
    const double beatSeconds = 60.0 / kDemoBeatsPerMinute;
    const double eighth = beatSeconds / 2.0;
    const int beats = kDemoBars * 4;
    const size_t frames = size_t(std::llround(beats * beatSeconds * rate));

    std::vector<double> left(frames, 0.0), right(frames, 0.0);
    auto mix = [&](const Voice& voice, double startSeconds, double toLeft, double toRight) {
        size_t start = size_t(std::llround(startSeconds * rate));
        for (size_t n = 0; n < voice.size() && start + n < frames; ++n) {
            left[start + n] += toLeft * voice[n];
            right[start + n] += toRight * voice[n];
        }
    };

    // Bass drum on every beat.
    const Voice drum = bassDrum(rate);
    for (int b = 0; b < beats; ++b) mix(drum, b * beatSeconds, 1.0, 1.0);

    // Bass line: eighth notes on the chord root, an octave up on the off-beats.
    Voice bass[128];
    for (int e = 0; e < beats * 2; ++e) {
        int note = DemoVoices::bassRoots[(e / 8) % 4] + ((e % 2) ? 12 : 0);
        if (bass[note].empty()) bass[note] = bassNote(rate, noteHz(note), eighth);
        mix(bass[note], e * eighth, 1.0, 1.0);
    }

    // Melody, a little to the left; every fourth phrase an octave higher.
    Voice melody[128];
    for (int e = 0; e < beats * 2; ++e) {
        int note = DemoVoices::melody[e % 16];
        if (note == 0) continue;
        if ((e / 16) % 4 == 3) note += 12;
        if (melody[note].empty()) melody[note] = melodyNote(rate, noteHz(note), eighth);
        mix(melody[note], e * eighth, 0.6, 0.4);
    }

    // A pad on the bar's chord, held through the whole bar: its tones above the beat band, the
    // left and right channels voiced differently.
    static constexpr int padChords[4][3] = {{69, 72, 76}, {65, 69, 72}, {67, 72, 76}, {67, 71, 74}};
    const double bar = 4.0 * beatSeconds;
    for (int b = 0; b < kDemoBars; ++b) {
        const int* chord = padChords[b % 4];
        for (int i = 0; i < 3; ++i) {
            const double freq = noteHz(chord[i]);
            mix(padNote(rate, freq, bar, 1.004), b * bar, i == 2 ? 0.3 : 1.0, i == 0 ? 0.3 : 1.0);
        }
    }

    // Shakers on every sixteenth, spread across the stereo field.
    const Voice shake = shaker(rate);
    for (int s = 0; s < beats * 4; ++s)
        mix(shake, s * eighth / 2.0, s % 2 ? 0.5 : 1.0, s % 2 ? 1.0 : 0.5);

    // Hi-hats on the off-beat eighths, a little to the right.
    const Voice hat = hiHat(rate);
    for (int e = 1; e < beats * 2; e += 2) mix(hat, e * eighth, 0.4, 0.6);

    // The fuller mix is brought back under full scale as a whole, so that nothing clips.
    double peak = 0.0;
    for (size_t i = 0; i < frames; ++i)
        peak = std::max(peak, std::max(std::abs(left[i]), std::abs(right[i])));
    const double gain = peak > 0.97 ? 0.97 / peak : 1.0;

    AudioClip clip;
    clip.sampleRate = sampleRate;
    clip.sourceChannels = 2;
    clip.sourceBits = 16;
    clip.samples[0].resize(frames);
    clip.samples[1].resize(frames);
    for (size_t i = 0; i < frames; ++i) {
        double l = std::clamp(gain * left[i], -1.0, 32767.0 / 32768.0);
        double r = std::clamp(gain * right[i], -1.0, 32767.0 / 32768.0);
        clip.samples[0][i] = int16_t(std::lround(l * 32768.0));
        clip.samples[1][i] = int16_t(std::lround(r * 32768.0));
    }
    return clip;
}

// ---------------------------------------------------------------------------------------------
// Waveform and spectrum

namespace {

using Complex = std::complex<double>;

struct SpectrumTables {
    double window[kSpectrumWindow];
    Complex twiddle[kSpectrumWindow]; // e^(-2 pi i k / N)
    SpectrumTables() {
        for (int n = 0; n < kSpectrumWindow; ++n) {
            window[n] = 0.5 * (1.0 - std::cos(2.0 * kPi * n / kSpectrumWindow));
            double a = -2.0 * kPi * n / kSpectrumWindow;
            twiddle[n] = Complex(std::cos(a), std::sin(a));
        }
    }
};

const SpectrumTables& tables() {
    static const SpectrumTables t;
    return t;
}

// Mixed-radix decimation-in-time FFT for sizes made of the factors 2 and 3 (1152 = 2^7 * 3^2).
void fft(const Complex* in, size_t stride, size_t n, Complex* out, const Complex* twiddle) {
    if (n == 1) {
        out[0] = in[0];
        return;
    }
    const size_t radix = (n % 2 == 0) ? 2 : 3;
    const size_t m = n / radix;
    for (size_t r = 0; r < radix; ++r)
        fft(in + r * stride, stride * radix, m, out + r * m, twiddle);
    const size_t step = kSpectrumWindow / n; // W_n^e = W_N^(e * step)
    Complex t[3];
    for (size_t k = 0; k < m; ++k) {
        for (size_t r = 0; r < radix; ++r)
            t[r] = out[r * m + k] * twiddle[(r * k * step) % kSpectrumWindow];
        for (size_t q = 0; q < radix; ++q) {
            Complex sum = 0.0;
            for (size_t r = 0; r < radix; ++r)
                sum += t[r] * twiddle[(r * q * m * step) % kSpectrumWindow];
            out[k + q * m] = sum;
        }
    }
}

int16_t sampleAt(const AudioClip& clip, int channel, int64_t index) {
    const auto& s = clip.samples[channel];
    if (index < 0 || s.empty()) return 0;
    return s[size_t(index % int64_t(s.size()))];
}

} // namespace

int64_t sampleAtMs(const AudioClip& clip, int64_t positionMs) {
    return positionMs * clip.sampleRate / 1000;
}

unsigned char spectrumValue(double amplitude) {
    if (!(amplitude > 0.0)) return 0;
    double v = std::round(255.0 * std::sqrt(2.0 * amplitude));
    return v >= 255.0 ? 255 : (unsigned char)v;
}

void fillVisData(const AudioClip& clip, int64_t endSample, unsigned char waveform[2][576],
                 unsigned char spectrum[2][576]) {
    const SpectrumTables& t = tables();
    Complex input[kSpectrumWindow];
    Complex output[kSpectrumWindow];
    const int64_t first = endSample - kSpectrumWindow;
    for (int c = 0; c < 2; ++c) {
        for (int n = 0; n < kSpectrumWindow; ++n) {
            int16_t s = sampleAt(clip, c, first + n);
            input[n] = Complex(t.window[n] * (s / 32768.0), 0.0);
            if (n >= kSpectrumWindow - kVisSamples)
                waveform[c][n - (kSpectrumWindow - kVisSamples)] = (unsigned char)(int8_t)(s >> 8);
        }
        fft(input, 1, kSpectrumWindow, output, t.twiddle);
        for (int k = 0; k < kVisSamples; ++k)
            spectrum[c][k] = spectrumValue(std::abs(output[k]) * 4.0 / kSpectrumWindow);
    }
}

int beatBandLevel(const unsigned char spectrum[2][576]) {
    int level = 0;
    for (int c = 0; c < 2; ++c)
        for (int k = 0; k < 8; ++k) level = std::max(level, int(spectrum[c][k]));
    return level;
}
