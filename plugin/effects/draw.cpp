#include "effects/draw.h"

#include "effects/effects.h"
#include "effects/wave_state.h"

#include <cstdlib>
#include <utility>

BeatState beatState;
WaveState waveState;

namespace {

// Writes byte index of the frame when it is one of the image bytes 1..W*H-1.
inline void plot(uint8_t* frame, int64_t index, int64_t pixels, int colour) {
    if (index > 0 && index < pixels) frame[index] = static_cast<uint8_t>(colour);
}

inline int clampInt(int v, int lo, int hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

} // namespace

void putPixel(uint8_t* frame, int x, int y, int colour) {
    const int w = plugin.frameWidth;
    if (x >= 0 && x < w && y >= 0 && y < plugin.frameHeight)
        frame[y * w + x] = static_cast<uint8_t>(colour);
}

void drawVerticalLine(uint8_t* frame, int yA, int yB, int x, int colour) {
    const int w = plugin.frameWidth, h = plugin.frameHeight;
    if (yA > yB) std::swap(yA, yB);
    yA = clampInt(yA, 0, h - 1);
    yB = clampInt(yB, 0, h - 1);
    const int64_t pixels = static_cast<int64_t>(w) * h;
    for (int y = yA; y <= yB; ++y) plot(frame, static_cast<int64_t>(y) * w + x, pixels, colour);
}

void drawHorizontalLine(uint8_t* frame, int xA, int xB, int y, int colour) {
    const int w = plugin.frameWidth;
    int lo = xA < xB ? xA : xB;
    int hi = xA < xB ? xB : xA;
    // Move both ends by the same number of widths, as a loop adding or subtracting W one at a
    // time would, until at least one of them is inside 0..W-1.
    if (hi < 0) {
        const int steps = (-static_cast<int64_t>(hi) + w - 1) / w;
        lo = static_cast<int>(lo + static_cast<int64_t>(steps) * w);
        hi = static_cast<int>(hi + static_cast<int64_t>(steps) * w);
    } else if (lo >= w) {
        const int steps = lo / w;
        lo -= steps * w;
        hi -= steps * w;
    }
    lo = clampInt(lo, 0, w - 1);
    hi = clampInt(hi, 0, w - 1);
    const int64_t pixels = static_cast<int64_t>(w) * plugin.frameHeight;
    const int64_t row = static_cast<int64_t>(y) * w;
    for (int x = lo; x <= hi; ++x) plot(frame, row + x, pixels, colour);
}

void drawLine(uint8_t* frame, int x1, int y1, int x2, int y2, int colour) {
    const int w = plugin.frameWidth, h = plugin.frameHeight;
    x1 = clampInt(x1, 0, w);
    x2 = clampInt(x2, 0, w);
    y1 = clampInt(y1, 0, h);
    y2 = clampInt(y2, 0, h);
    const int dx = std::abs(x1 - x2), dy = std::abs(y1 - y2);
    const int sx = x1 <= x2 ? 1 : -1, sy = y1 <= y2 ? 1 : -1;
    const int64_t pixels = static_cast<int64_t>(w) * h;
    int err = 0;
    if (dx > dy) {
        while (x1 != x2) {
            if (err >= dx) {
                err -= dx;
                y1 += sy;
            }
            plot(frame, static_cast<int64_t>(y1) * w + x1, pixels, colour);
            x1 += sx;
            err += dy;
        }
    } else {
        while (y1 != y2) {
            if (err >= dy) {
                err -= dy;
                x1 += sx;
            }
            plot(frame, static_cast<int64_t>(y1) * w + x1, pixels, colour);
            y1 += sy;
            err += dx;
        }
    }
}

double sinDegrees(int a) {
    int d = a % 360;
    if (d < 0) d += 360;
    return sineByDegree[d];
}

int act(const uint8_t* audio, int ch) {
    const uint8_t* raw = audio + kChannelSamples * ch;
    int sum = 0;
    for (int k = 1; k < kChannelSamples; ++k) sum += std::abs(raw[k - 1] - raw[k]);
    return sum;
}

BeatMeasure measureBeat(BeatState& state, const uint8_t* audio) {
    const int v = (act(audio, 1) / 288 + act(audio, 0) / 288) / 2;
    const int volume = v < state.lastVolume - 9 ? state.lastVolume - 9 : v;
    int beat = 0;
    if (volume > state.lastVolume) state.riseTotal += volume - state.lastVolume;
    if (volume < state.lastVolume) {
        beat = state.riseTotal;
        state.riseTotal = 0;
    }
    state.lastVolume = volume;
    return {beat, volume};
}
