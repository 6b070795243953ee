#include "effects/effects.h"
#include "base/instance.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

PluginInstance plugin;

#define WAVE(fn, name, description)                                                                \
    { fn, nullptr, 1, name, description }
#define FLAME(fn, name, description)                                                               \
    { nullptr, fn, 1, name, description }
#define DISPLAY(name, description)                                                                 \
    { nullptr, nullptr, 1, name, description }

const EffectEntry waveTable[kWaveCount] = {
    WAVE(waveDotHor, "DotHor", "Dots Horizontal"),
    WAVE(waveDotVert, "DotVert", "Dots Vertical"),
    WAVE(waveLineHor, "LineHor", "Lines Horizontal"),
    WAVE(waveLineVert, "LineVert", "Lines Vertical"),
    WAVE(waveSpike, "Spike", "Spikes"),
    WAVE(waveSpikeHollow, "SpikeH", "Spikes Hollow"),
    WAVE(waveWalking, "Walking", "Walking"),
    WAVE(waveFalling, "Falling", "Falling"),
    WAVE(waveLissa, "Lissa", "Lissa"),
    WAVE(waveLight, "Light", "Lightning"),
    WAVE(waveVell0, "Vell0", "FireFlies"),
    WAVE(waveVell2, "Vell2", "Dot VS sine"),
    WAVE(waveOmbix, "Ombix", "Rings of Fire"),
    WAVE(wavePyro, "Pyro", "Fire works"),
    WAVE(waveSpiral, "Spiral", "Spirograph"),
    WAVE(waveWarp, "Warp", "Space warp"),
    WAVE(waveCorner, "Corner", "Corner"),
    WAVE(waveLaser, "Laser", "Laser"),
    WAVE(waveObjects, "Objects", "Rotating objects"),
    WAVE(waveSchool, "School", "School of fish"),
};

const EffectEntry flameTable[kFlameCount] = {
    FLAME(flameClear, "Clear", "Blank the buffer"),
    FLAME(flameOverwrite, "Overwrite", "Write over buffer"),
    FLAME(flameUpSlow, "U-Sl", "Up Slow"),
    FLAME(flameUpFast, "U-Fa", "Up Fast"),
    FLAME(flameLeftSlow, "L-Sl", "Left Slow"),
    FLAME(flameLeftFast, "L-Fa", "Left Fast"),
    FLAME(flameRightSlow, "R-Sl", "Right Slow"),
    FLAME(flameRightFast, "R-Fa", "Right Fast"),
    FLAME(flameWater, "Water", "Water"),
    FLAME(flameWaterSubtle, "Wa-s", "Water Subtle"),
    FLAME(flameSkyline, "Skyline", "Skyline"),
    FLAME(flameWeird, "Weird", "Weird"),
    FLAME(flameZzz, "Zzz", "Zzz"),
    FLAME(flameFade, "Fade", "Fade away"),
    FLAME(flameDown, "Down", "Falling Down"),
    FLAME(flameTest, "Test", "Test"),
};

const EffectEntry displayTable[kDisplayCount] = {
    DISPLAY("1x1", "Normal 1x1"),
    DISPLAY("2x2", "Kaleidoscope 2x2"),
    DISPLAY("2x1", "Weidth 2x1"),
    DISPLAY("1x2", "Height 1x2"),
};

int waveColours[512];
double sineByDegree[360];
int sineAcrossWidth[640];
int sine640[640];

void buildWaveColours() {
    for (int k = 0; k < 256; ++k) waveColours[k] = k;
    for (int k = 256; k < 512; ++k) waveColours[k] = 511 - k;
}

void buildSineTables() {
    const int width = plugin.frameWidth > 640 ? 640 : plugin.frameWidth;
    for (int i = 0; i < 640; ++i) sineAcrossWidth[i] = 0;
    for (int i = 0; i < width; ++i)
        sineAcrossWidth[i] = static_cast<int>(
            std::sin(static_cast<double>(i) / plugin.frameWidth * 6.283185307179586) * 128);
    for (int i = 0; i < 640; ++i) sine640[i] = static_cast<int>(std::sin(i * 0.03927) * 128);
    for (int d = 0; d < 360; ++d) sineByDegree[d] = std::sin(d * 0.017453292519943295);
}

bool allocateFrameBuffers() {
    const size_t size = static_cast<size_t>(plugin.frameWidth) * (plugin.frameHeight + 2);
    plugin.currentBuffer = static_cast<uint8_t*>(std::calloc(size, 1));
    if (!plugin.currentBuffer) return false;
    plugin.previousBuffer = static_cast<uint8_t*>(std::calloc(size, 1));
    return plugin.previousBuffer != nullptr;
}

void freeFrameBuffers() {
    std::free(plugin.currentBuffer);
    plugin.currentBuffer = nullptr;
    std::free(plugin.previousBuffer);
    plugin.previousBuffer = nullptr;
}

void exchangeFrameBuffers() {
    uint8_t* t = plugin.currentBuffer;
    plugin.currentBuffer = plugin.previousBuffer;
    plugin.previousBuffer = t;
}
