// The beat-driven particle and curve waves: "Pyro", "Spiral", "Warp" and "School". Their
// pools are fixed (420 slots, 20 stars, 30 fish) and live in waveState; nothing is allocated
// per frame.
//
// "Pyro" and "School" divide by the volume V, which can be 0 just after silence; a quotient
// by a volume of 0 counts as 0 there (a burst then gets the speed range of a beat of 0, and
// the current gets no push).
#include "effects/draw.h"
#include "effects/effects.h"
#include "base/random.h"
#include "effects/wave_state.h"

#include <cmath>
#include <cstdlib>

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;

inline int colour(int v) {
    return waveColours[v];
}

inline int quotientByVolume(int value, int volume) {
    return volume == 0 ? 0 : value / volume;
}

// Toward zero, kept within the range every coordinate of these waves stays in.
inline int truncate(double v) {
    if (v > 1e9) return 1000000000;
    if (v < -1e9) return -1000000000;
    return static_cast<int>(v);
}

// A rocket's burst: the 19 slots after it get sparks at its position, replacing any alive.
void burst(PyroState& st, int rocket, int beat, int volume) {
    const PyroSlot& r = st.slots[rocket];
    const int speedRange = quotientByVolume(4 * beat, volume) + 4;
    for (int i = rocket + 1; i <= rocket + kPyroSparksPerBurst; ++i) {
        PyroSlot& spark = st.slots[i];
        const int a = randomNext() % 360;
        const int speed = randomNext() % speedRange;
        spark.x = r.x;
        spark.y = r.y;
        spark.vx = truncate(speed * std::cos(a * kRadiansPerDegree));
        spark.vy = truncate(speed * std::sin(a * kRadiansPerDegree) - 2.0);
        spark.age = -21;
        spark.colour = randomNext() % 256;
    }
}

} // namespace

void wavePyro(uint8_t* frame, const uint8_t* audio) {
    PyroState& st = waveState.pyro;
    const int w = plugin.frameWidth, h = plugin.frameHeight;
    if (!st.started) {
        for (PyroSlot& slot : st.slots) slot.age = -1;
        st.launchSpeed = static_cast<int>(std::sqrt(2.0 * h)) - 1;
        st.started = true;
    }
    const BeatMeasure m = measureBeat(beatState, audio);
    int b = m.beat;
    const int v = m.volume;
    for (int i = 0; i < kPyroSlots; ++i) {
        PyroSlot& p = st.slots[i];
        const bool rocket = i % kPyroGroup == 0;
        if (p.age != -1) {
            const int nx = p.x + p.vx, ny = p.y + p.vy;
            const int c = colour(p.colour);
            drawLine(frame, p.x, p.y, nx, ny, c);
            if (rocket) drawLine(frame, p.x + 1, p.y, nx + 1, ny, c);
            if (nx < 0 || nx > w) p.vx = -p.vx;
            if (rocket || p.age % 6 == 0) p.vy += 1;
            p.x = nx;
            p.y = ny;
            p.age += 1;
            if (rocket && p.vy > 5) {
                p.age = -1; // falling fast: gone without a burst
                continue;
            }
            if ((rocket && b >= v / 2 && p.vy >= -5) || ny < 0 || p.age == -1) {
                p.age = -1;
                if (rocket) burst(st, i, b, v);
            }
        } else if (rocket && b > 10) {
            p.age = 0;
            p.x = randomNext() % w;
            p.y = h - 4;
            p.vx = randomNext() % 20 - 10;
            p.vy = -quotientByVolume(st.launchSpeed * b, v);
            p.colour = randomNext() % 256;
            b = (3 * b) / 4;
        }
    }
}

void waveSpiral(uint8_t* frame, const uint8_t* audio) {
    SpiralState& st = waveState.spiral;
    const int w = plugin.frameWidth, h = plugin.frameHeight;
    st.colourPhase = (st.colourPhase + 1) % 256;
    st.anglePhase = (st.anglePhase + 1) % 320;
    if (st.changeTimer <= 0) {
        st.changeTimer = randomNext() % 1000;
        st.multiplier = randomNext() % 8 + 2;
    }
    st.changeTimer -= 1;
    const int a0 = act(audio, 0) / 288, a1 = act(audio, 1) / 288;
    int v = (a0 + a1) / 2;
    if (v < st.lastVolume - 10) v = st.lastVolume - 10;
    st.lastVolume = v;
    const int r = w < h ? w : h;
    const double q = 1.0 / 32768;
    const int c = colour(st.colourPhase);
    int lastX = 0, lastY = 0;
    for (int i = 0; i < 320; ++i) {
        const double x = w / 2 + sine640[(st.anglePhase + i + 120) % 320] * q * v * r +
                         0.5 * sine640[(st.multiplier * i + 120) % 320] * q * a0 * r;
        const double y = h / 2 + sine640[(st.anglePhase + i) % 320] * q * v * r +
                         0.5 * sine640[(st.multiplier * i) % 320] * q * a1 * r;
        const int px = truncate(x), py = truncate(y);
        if (i > 0) drawLine(frame, lastX, lastY, px, py, c);
        lastX = px;
        lastY = py;
    }
}

void waveWarp(uint8_t* frame, const uint8_t* audio) {
    WarpState& st = waveState.warp;
    const int w = plugin.frameWidth, h = plugin.frameHeight;
    if (!st.started) {
        for (WarpStar& star : st.stars) star.radius = -1;
        st.centreX = w / 2;
        st.centreY = h / 2;
        st.maxRadius = w / 2 > h / 2 ? w / 2 : h / 2;
        st.started = true;
    }
    const BeatMeasure m = measureBeat(beatState, audio);
    int b = m.beat, v = m.volume;
    for (WarpStar& s : st.stars) {
        if (s.radius != -1) {
            const int r2 = s.radius + s.radiusStep, a2 = s.angle + s.angleStep;
            const int c = colour(s.colour);
            for (int j = 0; j < s.rays; ++j) {
                const int e = (360 * j) / s.rays;
                drawLine(frame, st.centreX + truncate(sinDegrees(s.angle + e) * s.radius),
                         st.centreY + truncate(sinDegrees(s.angle + e + 90) * s.radius),
                         st.centreX + truncate(sinDegrees(a2 + e) * r2),
                         st.centreY + truncate(sinDegrees(a2 + e + 90) * r2), c);
            }
            s.radius += s.radiusStep;
            s.angle += s.angleStep;
            s.radiusStep -= s.slowdown;
            if (s.radius > st.maxRadius || s.radius < 0) s.radius = -1;
        } else if (b != 0) {
            if (4 * b > v) v = 4 * b;
            if (v > 30) v -= 1;
            s.radius = 0;
            s.radiusStep = (20 * b) / v + 3;
            s.rays = (40 * b) / v + 1;
            s.angle = randomNext() % 320;
            const int spin = randomNext() % 4;
            s.angleStep = spin + ((randomNext() % 14 - 7) * b) / v - 2;
            s.colour = randomNext() % 256;
            s.slowdown = randomNext() % 2;
            b = 0; // at most one new star per frame
        }
    }
}

namespace {

void placeFish(Fish& f) {
    f.vx = f.vy = 0.0;
    f.x = randomNext() % plugin.frameWidth;
    f.y = randomNext() % plugin.frameHeight;
    f.colour = randomNext() % 256;
}

// The shorter way from one coordinate to another across the screen edges.
inline int shortWay(int d, int size) {
    if (d > size / 2) return d - size;
    if (d < -(size / 2)) return d + size;
    return d;
}

} // namespace

void waveSchool(uint8_t* frame, const uint8_t* audio) {
    SchoolState& st = waveState.school;
    const int w = plugin.frameWidth, h = plugin.frameHeight;
    if (!st.started) {
        for (Fish& f : st.fish) placeFish(f);
        st.started = true;
    }
    const BeatMeasure m = measureBeat(beatState, audio);
    const int b = m.beat, v = m.volume;
    if (b >= v - 1) st.kicks += 1;
    if (st.kicks >= 2) {
        st.kicks = 0;
        placeFish(st.fish[st.nextFish]);
        st.nextFish = (st.nextFish + 1) % kSchoolFish;
    }

    st.heading += randomNext() % 7 - 2;
    // The heading drifts by one degree a frame on average; keep it far from overflowing.
    if (st.heading > 360 * 1000000) st.heading -= 360 * 1000000;
    st.speed = truncate(st.speed * 0.5);
    if (b > v / 4) {
        st.heading = randomNext() % 360;
        st.speed = truncate(st.speed + (v == 0 ? 0.0 : 0.0125 * w * b / v));
    }
    const double windX = std::cos(st.heading * kRadiansPerDegree) * st.speed;
    const double windY = std::sin(st.heading * kRadiansPerDegree) * st.speed;

    for (int i = 0; i < kSchoolFish; ++i) {
        Fish& f = st.fish[i];
        int nx = truncate(f.x + f.vx);
        if (nx < 0)
            nx = f.x = w;
        else if (nx > w)
            nx = f.x = 0;
        int ny = truncate(f.y + f.vy);
        if (ny < 0)
            ny = f.y = h;
        else if (ny > h)
            ny = f.y = 0;
        const int c = colour(f.colour);
        drawLine(frame, f.x, f.y, nx, ny, c);
        drawLine(frame, f.x + 1, f.y, nx + 1, ny, c);
        f.x = nx;
        f.y = ny;

        int count = 0, sumDx = 0, sumDy = 0;
        for (int j = 0; j < kSchoolFish; ++j) {
            if (j == i) continue;
            const int dx = shortWay(st.fish[j].x - f.x, w);
            const int dy = shortWay(st.fish[j].y - f.y, h);
            const int d2 = dx * dx + dy * dy;
            // Two fish on the same pixel have no direction to push apart: the pair is skipped.
            if (d2 == 0 || d2 >= 40000) continue;
            ++count;
            sumDx += dx;
            sumDy += dy;
            f.vx -= 2 * dx / d2;
            f.vy -= 2 * dy / d2;
        }
        f.vx += 0.01 * sumDx / (count + 1);
        f.vy += 0.01 * sumDy / (count + 1);
        f.vx = (f.vx + 0.1 * (randomNext() % 22 - 10) + windX) * 0.98;
        f.vy = (f.vy + 0.1 * (randomNext() % 22 - 10) + windY) * 0.98;
    }
}
