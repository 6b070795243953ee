// The native program's own cost per frame at 640x480, beside the core's frame: the audio
// blocks from the newest sound (the analysis, with the copy out of the capture ring), the
// frame through the palette into the 32-bit back buffer, and the present (texture update,
// scaled copy, present) into SDL's offscreen renderer. The layer should cost under 1 ms.
#include "base/instance.h"
#include "base/random.h"
#include "base/settings.h"
#include "effects/effects.h"
#include "frame/frame_loop.h"
#include "media/audio.h"
#include "media/palettes.h"
#include "media/pixel_format.h"
#include "sdl/sdl_view.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The view and the core at 640x480 (resolution row 4), opened once for every benchmark.
struct Setup {
    SdlView view;
    AudioClip clip = makeDemoTrack();
    bool ready = false;
    Setup() {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
        if (SDL_Init(0) != 0) return;
        settings = Settings();
        settings.Resolution = 4;
        applyResolution();
        pixelFormat = makePixelFormat(32, 0xFF0000u, 0x00FF00u, 0x0000FFu);
        buildFlameTables();
        randomSeed(1);
        buildWaveColours();
        resetFrameLoop();
        if (!allocateFrameBuffers()) return;
        buildSineTables();
        displayPaletteHook = [](const PaletteBlock&) -> long { return 0; };
        applyPalette();
        plugin.currentWave = 2;
        plugin.currentFlame = 3;
        std::string error;
        ready = view.open(false, error);
        if (!ready) std::fprintf(stderr, "no offscreen window: %s\n", error.c_str());
        view.title = "1. Artist - Title - Quorbel";
    }
};

Setup& setup() {
    static Setup s;
    return s;
}

// The blocks from a window of the newest 1152 samples copied out of a ring, as the capture
// does for each frame.
void analyse(const AudioClip& clip, int64_t end, unsigned char wave[2][576],
             unsigned char spectrum[2][576]) {
    AudioClip window;
    window.samples[0].assign(kSpectrumWindow, 0);
    window.samples[1].assign(kSpectrumWindow, 0);
    const size_t length = clip.frameCount();
    for (int n = 0; n < kSpectrumWindow; ++n) {
        const size_t at = size_t(end - kSpectrumWindow + n) % length;
        window.samples[0][size_t(n)] = clip.samples[0][at];
        window.samples[1][size_t(n)] = clip.samples[1][at];
    }
    fillVisData(window, kSpectrumWindow, wave, spectrum);
}

void BM_NativeAnalysis(benchmark::State& state) {
    Setup& s = setup();
    unsigned char wave[2][576], spectrum[2][576];
    int64_t end = 44100;
    for (auto _ : state) {
        analyse(s.clip, end, wave, spectrum);
        end += 735;
        benchmark::DoNotOptimize(spectrum);
    }
}
BENCHMARK(BM_NativeAnalysis)->Unit(benchmark::kMicrosecond);

void BM_NativePaletteCopy(benchmark::State& state) {
    Setup& s = setup();
    if (!s.ready) return state.SkipWithError("no offscreen window");
    for (auto _ : state) {
        s.view.copyFrame();
        benchmark::DoNotOptimize(s.view.shownPixels().data());
    }
}
BENCHMARK(BM_NativePaletteCopy)->Unit(benchmark::kMicrosecond);

void BM_NativePresent(benchmark::State& state) {
    Setup& s = setup();
    if (!s.ready) return state.SkipWithError("no offscreen window");
    for (auto _ : state) s.view.showFrame();
}
BENCHMARK(BM_NativePresent)->Unit(benchmark::kMicrosecond);

// The layer's whole cost of a frame: analysis, palette copy and present.
void BM_NativeLayerFrame(benchmark::State& state) {
    Setup& s = setup();
    if (!s.ready) return state.SkipWithError("no offscreen window");
    unsigned char wave[2][576], spectrum[2][576];
    int64_t end = 44100;
    for (auto _ : state) {
        analyse(s.clip, end, wave, spectrum);
        s.view.copyFrame();
        s.view.showFrame();
        end += 735;
    }
}
BENCHMARK(BM_NativeLayerFrame)->Unit(benchmark::kMicrosecond);

// The core's frame as the program runs it, the layer's steps included.
void BM_CoreFrameInTheNativeView(benchmark::State& state) {
    Setup& s = setup();
    if (!s.ready) return state.SkipWithError("no offscreen window");
    unsigned char wave[2][576], spectrum[2][576];
    int64_t end = 44100;
    uint32_t ticks = 0;
    for (auto _ : state) {
        s.view.ticks = s.view.position = ticks;
        fillVisData(s.clip, end, wave, spectrum);
        renderFrame(s.view, spectrum, wave);
        end += 735;
        ticks += 16;
    }
}
BENCHMARK(BM_CoreFrameInTheNativeView)->Unit(benchmark::kMicrosecond);

} // namespace
