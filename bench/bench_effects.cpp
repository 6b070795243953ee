// Every flame and every wave at 640x480 and 320x200. Each resolution starts with a memcpy of
// the frame (N bytes, buffer to buffer), the floor the flames are measured against: the
// "xMemcpy" counter of a flame is its time over that of the memcpy measured just before it.
#include "effects/draw.h"
#include "effects/effect_state.h"
#include "effects/effects.h"
#include "base/instance.h"
#include "effects/objects.h"
#include "base/paths.h"
#include "base/random.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

struct Setup {
    std::vector<uint8_t> a, b;
    Setup(int w, int h) : a(static_cast<size_t>(w) * (h + 2)), b(a.size()) {
        plugin.frameWidth = w;
        plugin.frameHeight = h;
        plugin.sampleBias = 0x80;
        plugin.waveScale = 0;
        buildWaveColours();
        buildSineTables();
        buildFlameTables();
        std::mt19937 rng(7);
        for (size_t i = 0; i < a.size(); ++i) {
            a[i] = static_cast<uint8_t>(rng());
            b[i] = static_cast<uint8_t>(rng());
        }
        plugin.currentBuffer = a.data();
        plugin.previousBuffer = b.data();
    }
};

double lastMemcpyNanoseconds = 0;

void memcpyFrame(benchmark::State& state, int w, int h) {
    Setup s(w, h);
    const size_t n = static_cast<size_t>(w) * h;
    for (auto _ : state) {
        std::memcpy(s.a.data(), s.b.data(), n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
    // Measure the floor once more, outside the timed loop, for the ratio of the flames.
    const auto start = std::chrono::steady_clock::now();
    constexpr int kRounds = 2000;
    for (int i = 0; i < kRounds; ++i) {
        std::memcpy(s.a.data(), s.b.data(), n);
        benchmark::ClobberMemory();
    }
    lastMemcpyNanoseconds =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() /
        kRounds;
}

void flame(benchmark::State& state, int index, int w, int h) {
    Setup s(w, h);
    const FlameFunction f = flameTable[index].flame;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        f();
        // Keep the frames alive: the fades would otherwise reach black and stay there.
        plugin.currentBuffer[static_cast<size_t>(w) * (h / 2) + w / 2] = 255;
        benchmark::ClobberMemory();
    }
    const double ns =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() /
        static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * w * h);
    if (lastMemcpyNanoseconds > 0) state.counters["xMemcpy"] = ns / lastMemcpyNanoseconds;
}

// Music-like audio: two sines with noise, changing loudness from frame to frame so that the
// beat-driven waves see beats.
std::vector<std::vector<uint8_t>> audioBlocks() {
    std::vector<std::vector<uint8_t>> blocks;
    std::mt19937 rng(11);
    for (int f = 0; f < 64; ++f) {
        std::vector<uint8_t> a(kAudioBlockSize);
        const int loud = f % 8 < 2 ? 100 : 30;
        for (int i = 0; i < kAudioBlockSize; ++i) {
            const int s = static_cast<int>(loud * std::sin(i * 0.05 + f) + (rng() % 21) - 10);
            a[i] = static_cast<uint8_t>(static_cast<int8_t>(s < -128 ? -128 : s > 127 ? 127 : s));
        }
        blocks.push_back(a);
    }
    return blocks;
}

std::string sourceFolder() {
    std::string file = __FILE__;
    return file.substr(0, file.rfind("/bench/") + 1) + "data/";
}

void wave(benchmark::State& state, int index, int w, int h) {
    Setup s(w, h);
    resetEffectState();
    randomSeed(1);
    if (index == 18) {
        setHostDirectory(sourceFolder());
        if (!loadLetterObject('Q')) state.SkipWithError("no letter object");
    }
    const auto blocks = audioBlocks();
    const WaveFunction f = waveTable[index].wave;
    size_t frame = 0;
    for (auto _ : state) {
        f(plugin.currentBuffer, blocks[frame++ % blocks.size()].data());
        benchmark::ClobberMemory();
    }
    resetEffectState();
}

void registerAll() {
    const struct { int w, h; } sizes[] = {{640, 480}, {320, 200}};
    for (const auto& r : sizes) {
        const std::string res = std::to_string(r.w) + "x" + std::to_string(r.h);
        benchmark::RegisterBenchmark(("Memcpy/" + res).c_str(),
                                     [=](benchmark::State& st) { memcpyFrame(st, r.w, r.h); });
        for (int f = 0; f < kFlameCount; ++f)
            benchmark::RegisterBenchmark(
                ("Flame/" + std::string(flameTable[f].name) + "/" + res).c_str(),
                [=](benchmark::State& st) { flame(st, f, r.w, r.h); });
    }
    for (const auto& r : sizes) {
        const std::string res = std::to_string(r.w) + "x" + std::to_string(r.h);
        for (int i = 0; i < kWaveCount; ++i)
            benchmark::RegisterBenchmark(
                ("Wave/" + std::string(waveTable[i].name) + "/" + res).c_str(),
                [=](benchmark::State& st) { wave(st, i, r.w, r.h); });
    }
}

const int registered = (registerAll(), 0);

} // namespace
