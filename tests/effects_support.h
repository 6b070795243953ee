// Test support for the effects: a frame of a chosen resolution with both buffers, the shared
// tables built, and the wave state reset; restored when the test ends.
#pragma once
#include "effects/draw.h"
#include "effects/effect_state.h"
#include "effects/effects.h"
#include "base/instance.h"
#include "base/random.h"

#include <cstdint>
#include <random>
#include <vector>

struct Resolution {
    int w, h;
};
constexpr Resolution kResolutions[] = {{640, 480}, {640, 400}, {320, 240}, {320, 200}, {160, 120}};

class TestFrame {
  public:
    TestFrame(int w, int h, int sampleBias = 0x80, int waveScale = 0)
        : current(static_cast<size_t>(w) * (h + 2)), previous(current.size()) {
        plugin.frameWidth = w;
        plugin.frameHeight = h;
        plugin.sampleBias = sampleBias;
        plugin.waveScale = waveScale;
        plugin.currentWave = 0;
        plugin.currentBuffer = current.data();
        plugin.previousBuffer = previous.data();
        buildWaveColours();
        buildSineTables();
        buildFlameTables();
        resetEffectState();
        randomSeed(1);
    }
    ~TestFrame() {
        resetEffectState();
        plugin.currentBuffer = plugin.previousBuffer = nullptr;
        plugin.frameWidth = 640;
        plugin.frameHeight = 480;
        plugin.sampleBias = 0x80;
        plugin.waveScale = 0;
    }
    TestFrame(const TestFrame&) = delete;
    TestFrame& operator=(const TestFrame&) = delete;

    int w() const { return plugin.frameWidth; }
    int h() const { return plugin.frameHeight; }
    uint8_t* frame() { return current.data(); }
    uint8_t& at(int x, int y) { return current[static_cast<size_t>(y) * w() + x]; }
    // Number of image pixels that are not 0.
    int lit() const {
        int count = 0;
        for (int i = 0; i < plugin.frameWidth * plugin.frameHeight; ++i) count += current[i] != 0;
        return count;
    }

    std::vector<uint8_t> current, previous;
};

// An audio block whose every byte is value.
inline std::vector<uint8_t> constantAudio(uint8_t value) {
    return std::vector<uint8_t>(kAudioBlockSize, value);
}

// An audio block whose raw bytes alternate between lo and hi: act() = 575 * |hi - lo|.
inline std::vector<uint8_t> alternatingAudio(uint8_t lo, uint8_t hi) {
    std::vector<uint8_t> a(kAudioBlockSize);
    for (int i = 0; i < kAudioBlockSize; ++i) a[i] = (i % 576) % 2 ? hi : lo;
    return a;
}

inline std::vector<uint8_t> randomBytes(std::mt19937& rng, size_t size) {
    std::vector<uint8_t> v(size);
    for (uint8_t& b : v) b = static_cast<uint8_t>(rng());
    return v;
}
