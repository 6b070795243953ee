// The waves that draw the samples themselves ("DotHor" .. "Ombix", "Corner", "Laser"). The
// beat-driven particle waves are in beat_waves.cpp, "Objects" in objects.cpp.
//
// Sample levels come from sampleLevel() (draw.h), which reads the audio block as a ring:
// positions of channel 1 past 575, which "Vell2" and "Ombix" ask for at width 640, continue
// at the start of channel 0, so every position reads real audio inside the block.
#include "effects/draw.h"
#include "effects/effects.h"
#include "effects/wave_state.h"

#include "base/random.h"

#include <cstdlib>

namespace {

inline int level0(const uint8_t* audio, int k) {
    return sampleLevel(audio, 0, k);
}
inline int level1(const uint8_t* audio, int k) {
    return sampleLevel(audio, 1, k);
}
inline int colour(int v) {
    return waveColours[v];
}

// x of sample k of a channel when channel 0 covers the left half and channel 1 the right.
inline int channelX(int ch, int k) {
    return ch == 0 ? (k >> 1) + 32 : ((k + 576) >> 1) + 32;
}

// "LineVert" and "Walking": the two channels as horizontal strokes either side of centreX.
void drawVerticalWave(uint8_t* frame, const uint8_t* audio, int centreX) {
    const int s = plugin.waveScale;
    int p0 = 128, p1 = 128;
    for (int y = 0; y <= plugin.frameHeight - 2; ++y) {
        const int v0 = level0(audio, y), v1 = level1(audio, y);
        drawHorizontalLine(frame, centreX - (v0 >> s), centreX - (p0 >> s), y, colour(v0));
        drawHorizontalLine(frame, centreX + (v1 >> s), centreX + (p1 >> s), y, colour(v1));
        p0 = v0;
        p1 = v1;
    }
}

// "Spike" and "SpikeH": a column from the bottom row per sample.
void drawSpikes(uint8_t* frame, const uint8_t* audio, bool hollow) {
    const int h = plugin.frameHeight, s = plugin.waveScale;
    for (int k = 0; k < kChannelSamples; ++k) {
        for (int ch = 0; ch < 2; ++ch) {
            int n = (2 * sampleLevel(audio, ch, k)) >> (2 * s);
            if (n >= h - 1) n = h - 2;
            const int x = channelX(ch, k);
            for (int j = 0; j < n; ++j) putPixel(frame, x, h - 1 - j, waveColours[hollow ? n : j]);
        }
    }
}

} // namespace

void waveDotHor(uint8_t* frame, const uint8_t* audio) {
    const int base = plugin.frameWidth / 2, s = plugin.waveScale;
    for (int k = 0; k < kChannelSamples; ++k) {
        const int v0 = level0(audio, k), v1 = level1(audio, k);
        putPixel(frame, k >> 1, base - (v0 >> s), colour(v0));
        putPixel(frame, (k + 576) >> 1, base - (v1 >> s), colour(v1));
    }
}

void waveDotVert(uint8_t* frame, const uint8_t* audio) {
    const int base = plugin.frameWidth / 2, s = plugin.waveScale;
    for (int y = 0; y <= plugin.frameHeight - 2; ++y) {
        const int v0 = level0(audio, y), v1 = level1(audio, y);
        putPixel(frame, base - (v0 >> s), y, colour(v0));
        putPixel(frame, base + (v1 >> s), y, colour(v1));
    }
}

void waveLineHor(uint8_t* frame, const uint8_t* audio) {
    const int base = plugin.frameWidth / 2, s = plugin.waveScale;
    int& last = waveState.lineHor.lastLevel;
    for (int ch = 0; ch < 2; ++ch) {
        for (int k = 0; k < kChannelSamples; ++k) {
            const int v = sampleLevel(audio, ch, k);
            drawVerticalLine(frame, base - (v >> s), base - (last >> s), channelX(ch, k),
                             waveColours[v + 128]);
            last = v;
        }
    }
}

void waveLineVert(uint8_t* frame, const uint8_t* audio) {
    drawVerticalWave(frame, audio, plugin.frameWidth / 2);
}

void waveSpike(uint8_t* frame, const uint8_t* audio) {
    drawSpikes(frame, audio, false);
}

void waveSpikeHollow(uint8_t* frame, const uint8_t* audio) {
    drawSpikes(frame, audio, true);
}

void waveWalking(uint8_t* frame, const uint8_t* audio) {
    int& walkX = waveState.walking.walkX;
    walkX = (walkX + 1) % plugin.frameWidth;
    drawVerticalWave(frame, audio, walkX);
}

void waveFalling(uint8_t* frame, const uint8_t* audio) {
    const int half = plugin.frameWidth / 2;
    int& fallY = waveState.falling.fallY;
    fallY = (fallY + 1) % (plugin.frameHeight - 1);
    for (int x = 0; x < half; ++x) {
        putPixel(frame, x, fallY + 1, colour(level0(audio, x)));
        putPixel(frame, x + half, fallY + 1, colour(level1(audio, x)));
        putPixel(frame, x, fallY, colour(level0(audio, 160 + x)));
        putPixel(frame, x + half, fallY, colour(level1(audio, 160 + x)));
    }
}

void waveLissa(uint8_t* frame, const uint8_t* audio) {
    const int rows = plugin.frameHeight - 1;
    for (int k = 0; k < kChannelSamples; ++k) {
        const int v0 = level0(audio, k);
        putPixel(frame, (level1(audio, k) + 32) % 576, (v0 + 172) % rows, colour(v0));
    }
}

void waveLight(uint8_t* frame, const uint8_t* audio) {
    const int w = plugin.frameWidth;
    for (int ch = 0; ch < 2; ++ch) {
        int x = ch == 0 ? 100 : 200;
        for (int y = 0; y <= plugin.frameHeight - 2; ++y) {
            int t = x + ((sampleLevel(audio, ch, y) - 127) >> 4);
            if (t >= w) t = w - 1;
            const int from = t < 0 ? 0 : x;
            x = t % w;
            drawHorizontalLine(frame, x, from, y, 255);
        }
    }
}

namespace {

// Brings a swarm position back into range after its step: a negative X by the smallest
// multiple of 576 that makes it non-negative, a negative Y by adding H-1 until it is not.
void wrapFly(int& x, int& y) {
    const int h = plugin.frameHeight;
    if (x < 0) x += ((-x + 575) / 576) * 576;
    if (y < 0) y += ((-y + h - 2) / (h - 1)) * (h - 1);
    x %= 576;
    y %= h;
}

} // namespace

void waveVell0(uint8_t* frame, const uint8_t* audio) {
    Vell0State& st = waveState.vell0;
    const int rows = plugin.frameHeight - 1;
    st.fly1X += level0(audio, 0) % 9 - 4;
    st.fly1Y += level1(audio, 0) % 9 - 4;
    st.fly2X += level0(audio, 1) % 9 - 4;
    st.fly2Y += level1(audio, 1) % 9 - 4;
    wrapFly(st.fly1X, st.fly1Y);
    wrapFly(st.fly2X, st.fly2Y);
    for (int k = 0; k < kChannelSamples; ++k) {
        const int v = level0(audio, k);
        putPixel(frame, ((level1(audio, k) >> 2) + st.fly1X) % 576, ((v >> 2) + st.fly1Y) % rows,
                 colour(v));
        putPixel(frame, ((level1(audio, (k + 80) % 576) >> 2) + st.fly2X) % 576,
                 ((v >> 2) + st.fly2Y) % rows, colour(v));
    }
}

void waveVell2(uint8_t* frame, const uint8_t* audio) {
    const int w = plugin.frameWidth, h = plugin.frameHeight;
    int amp0 = 2 * act(audio, 0) / (w >> 1) + 100;
    int amp1 = 2 * act(audio, 1) / (w >> 1) + 100;
    if (amp0 > h - 1) amp0 = h - 1;
    if (amp1 > h - 1) amp1 = h - 1;
    for (int x = 0; x < w / 2; ++x)
        putPixel(frame, x, h - 1 - (std::abs(amp0 * sineAcrossWidth[x]) >> 8),
                 colour(level0(audio, x)));
    for (int x = w / 2; x < w; ++x)
        putPixel(frame, x, h - 1 - (std::abs(amp1 * sineAcrossWidth[x]) >> 8),
                 colour(level1(audio, x)));
}

void waveOmbix(uint8_t* frame, const uint8_t* audio) {
    OmbixState& st = waveState.ombix;
    const int w = plugin.frameWidth, h = plugin.frameHeight;
    if (!st.started) {
        const int m = (w - 256) / 2;
        st.ring1X = m + 192;
        st.ring2X = m + 64;
        st.ring1Y = st.ring2Y = (h - 257) / 2 + 128;
        st.started = true;
    }
    int sumDx0 = 0, sumDy0 = 0, sumDx1 = 0, sumDy1 = 0;
    for (int k = 0; k < w; ++k) {
        if (st.phaseY >= 320) st.phaseY -= 320;
        if (st.phaseX >= 320) st.phaseX -= 320;
        const int v0 = level0(audio, k), v1 = level1(audio, k);
        const int dx0 = (sine640[st.phaseX] * v0) >> 9, dy0 = (sine640[st.phaseY] * v0) >> 9;
        putPixel(frame, st.ring1X + dx0, st.ring1Y + dy0, colour(v0));
        const int dx1 = (sine640[st.phaseX] * v1) >> 9, dy1 = (sine640[st.phaseY] * v1) >> 9;
        putPixel(frame, st.ring2X - dx1, st.ring2Y - dy1, colour(v1));
        sumDx0 += dx0;
        sumDy0 += dy0;
        sumDx1 += dx1;
        sumDy1 += dy1;
        ++st.phaseX;
        ++st.phaseY;
    }
    st.ring1X = (3 * sumDx0 / w + st.ring1X + 1) % w;
    st.ring2X = (3 * sumDx1 / w + st.ring2X + 1) % w;
    st.ring1Y = (3 * sumDy0 / w + st.ring1Y + 1) % h;
    st.ring2Y = (3 * sumDy1 / w + st.ring2Y + 1) % h;
    if (st.ring1X < 0) st.ring1X += w;
    if (st.ring2X < 0) st.ring2X += w;
    if (st.ring1Y < 0) st.ring1Y += h;
    if (st.ring2Y < 0) st.ring2Y += h;
}

void waveCorner(uint8_t* frame, const uint8_t* audio) {
    CornerState& st = waveState.corner;
    const int w = plugin.frameWidth, h = plugin.frameHeight;
    const int beat = measureBeat(st.beat, audio).beat;
    if (beat == 0) return;
    st.cornerX = (randomNext() % beat + st.cornerX) % (w - 16) + 8;
    st.cornerY = (randomNext() % beat + st.cornerY) % (h - 16) + 8;
    const int thickness = (beat & ~3) < 32 ? beat >> 2 : 8;
    const bool leftUp = (randomNext() & 1) != 0;
    const int cx = st.cornerX, cy = st.cornerY;
    for (int i = 0; i < thickness; ++i) {
        const int c = 255 >> i;
        for (int x = leftUp ? 0 : cx; x < (leftUp ? cx : w); ++x) {
            putPixel(frame, x, cy + i, c);
            putPixel(frame, x, cy - i, c);
        }
        for (int y = leftUp ? 0 : cy; y < (leftUp ? cy : h); ++y) {
            putPixel(frame, cx - i, y, c);
            putPixel(frame, cx + i, y, c);
        }
    }
}

void waveLaser(uint8_t* frame, const uint8_t* audio) {
    LaserState& st = waveState.laser;
    const int w = plugin.frameWidth, h = plugin.frameHeight;
    const uint8_t* raw0 = audio;
    const uint8_t* raw1 = audio + kChannelSamples;
    for (int i = 0; i < w / 10; ++i) {
        drawLine(frame, w / 2, h / 2, st.laser1X, 0, 255);
        st.laser1X = (std::abs(raw0[i] - raw0[i + 1]) + st.laser1X) % w;
        drawLine(frame, w / 2, h / 2, st.laser2X, h, 255);
        st.laser2X = (std::abs(raw1[i] - raw1[i + 1]) + st.laser2X) % w;
    }
}
