#include "cpu_shapes.h"
#include "effects_support.h"
#include "effects/flames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using Buffer = std::vector<uint8_t>;

// The rules, pixel by pixel, independent of the fast flames: their own fades, plain loops in
// the order the rules give, and a read past the buffer counting as 0.
int fade4(int s) {
    return s >= 4 ? s / 4 - 1 : 0;
}
int fade2(int s) {
    return s >= 2 ? s / 2 - 1 : 0;
}
int at(const Buffer& b, long i) {
    return i < static_cast<long>(b.size()) ? b[i] : 0;
}

using CopyRule = void (*)(const Buffer& s, Buffer& d, long w, long h);
using InPlaceRule = void (*)(Buffer& b, long w, long h);

void ruleClear(const Buffer&, Buffer& d, long w, long h) {
    for (long k = 0; k < w * h; ++k) d[k] = 0;
}
void ruleOverwrite(Buffer&, long, long) {}
void ruleUpSlow(Buffer& b, long w, long h) {
    for (long k = 0; k < w * h; ++k)
        b[k] = fade4(at(b, k + w - 1) + at(b, k + w) + at(b, k + w + 1) + at(b, k + 2 * w));
}
void ruleUpFast(Buffer& b, long w, long h) {
    for (long e = w * h; e >= 1; --e)
        b[e] = fade4(at(b, e) + at(b, e + w - 1) + at(b, e + w) + at(b, e + w + 1));
}
void ruleLeftSlow(Buffer& b, long w, long h) {
    for (long k = 0; k < w * h; ++k)
        b[k] = fade4(at(b, k + 1) + at(b, k + w) + at(b, k + w + 1) + at(b, k + 2 * w));
}
void ruleLeftFast(Buffer& b, long w, long h) {
    for (long e = w * h; e >= 1; --e) b[e] = fade4(at(b, e) + 2 * at(b, e + w + 1) + at(b, e + w));
}
void ruleRightSlow(const Buffer& s, Buffer& d, long w, long h) {
    for (long k = 1; k <= w * h; ++k)
        d[k] = fade4(at(s, k - 1) + at(s, k + w - 1) + at(s, k + w) + at(s, k + 2 * w));
}
void ruleRightFast(Buffer& b, long w, long h) {
    for (long e = w * h; e >= 1; --e) b[e] = fade4(at(b, e) + 2 * at(b, e + w - 1) + at(b, e + w));
}
template <int modulo> void ruleWater(const Buffer& s, Buffer& d, long w, long h) {
    const long n = w * h;
    for (long k = 0; k <= w + n / 2 - 1; ++k)
        d[k] =
            fade4((at(s, k + w - 1) + at(s, k + w) + at(s, k + w + 1) + at(s, k + 2 * w)) % modulo);
    for (long j = n; j >= n - n / 2 + 1; --j)
        d[j] = fade4((at(s, j - w) + at(s, j - w + 1) + at(s, j - 2 * w) + at(s, j - 2 * w + 1)) %
                     modulo);
}
void ruleSkyline(const Buffer& s, Buffer& d, long w, long h) {
    for (long k = 0; k < w * h; ++k)
        d[k] = fade4(at(s, k + w) + 2 * at(s, k + w + 1) + at(s, k + w + 2));
}
void ruleWeird(const Buffer& s, Buffer& d, long w, long h) {
    for (long k = 1; k <= w * h; ++k)
        d[k] = fade4(at(s, k + w - 1) | at(s, k + w) | at(s, k + w + 1) | at(s, k + 2 * w));
}
void ruleZzz(Buffer& b, long w, long h) {
    for (long k = 0; k < w * h; ++k) b[k] = fade2((at(b, k + 2 * w) + at(b, k + w - 1)) % 256);
}
void ruleFade(Buffer& b, long w, long h) {
    for (long e = w * h; e >= 1; --e)
        for (long i = e; i < e + 4; ++i) b[i] = b[i] > 2 ? b[i] - 2 : 0;
}
void ruleDown(const Buffer& s, Buffer& d, long w, long h) {
    for (long x = 0; x < w; ++x) d[x] = 0;
    for (long r = 0; r <= h - 2; ++r)
        for (long x = 0; x < w; ++x) d[(r + 1) * w + x] = s[r * w + x];
}
void ruleTest(Buffer& b, long w, long h) {
    for (long e = w; e <= w + w * h - 1; ++e)
        b[e] =
            (at(b, e + w) + at(b, e - w) + at(b, e + 2) + at(b, e - 1) + at(b, e) + at(b, e + 1)) /
            6;
}

struct FlameRule {
    CopyRule copy;
    InPlaceRule inPlace;
};
const FlameRule kRules[kFlameCount] = {
    {ruleClear, nullptr},      {nullptr, ruleOverwrite}, {nullptr, ruleUpSlow},
    {nullptr, ruleUpFast},     {nullptr, ruleLeftSlow},  {nullptr, ruleLeftFast},
    {ruleRightSlow, nullptr},  {nullptr, ruleRightFast}, {ruleWater<1 << 30>, nullptr},
    {ruleWater<256>, nullptr}, {ruleSkyline, nullptr},   {ruleWeird, nullptr},
    {nullptr, ruleZzz},        {nullptr, ruleFade},      {ruleDown, nullptr},
    {nullptr, ruleTest},
};

long firstDifference(const Buffer& a, const Buffer& b) {
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return static_cast<long>(i);
    return -1;
}

// Runs flame f with the loops in use on the two starting buffers and checks it against its
// rule: the new current frame, the other buffer, and which buffer ends up where.
void expectFlameFollowsRule(int f, const Resolution& r, const Buffer& startCurrent,
                            const Buffer& startPrevious) {
    TestFrame frame(r.w, r.h);
    const long w = frame.w(), h = frame.h();
    frame.current = startCurrent;
    frame.previous = startPrevious;
    uint8_t* const d = frame.current.data();
    uint8_t* const s = frame.previous.data();
    plugin.currentBuffer = d;
    plugin.previousBuffer = s;

    Buffer expectedCurrent, expectedPrevious;
    if (kRules[f].copy) {
        expectedCurrent = startCurrent;
        expectedPrevious = startPrevious;
        kRules[f].copy(startPrevious, expectedCurrent, w, h);
    } else {
        expectedCurrent = startPrevious;
        expectedPrevious = startCurrent;
        kRules[f].inPlace(expectedCurrent, w, h);
    }
    flameTable[f].flame();

    const std::string what = std::string(flameTable[f].name) + " at " + std::to_string(w) + "x" +
                             std::to_string(h) + " with the " + flameKernelsInUse() + " loops";
    ASSERT_EQ(plugin.currentBuffer, kRules[f].copy ? d : s) << what;
    ASSERT_EQ(plugin.previousBuffer, kRules[f].copy ? s : d) << what;
    const Buffer gotCurrent(plugin.currentBuffer, plugin.currentBuffer + expectedCurrent.size());
    const Buffer gotPrevious(plugin.previousBuffer,
                             plugin.previousBuffer + expectedPrevious.size());
    EXPECT_EQ(firstDifference(gotCurrent, expectedCurrent), -1) << what << ": new frame";
    EXPECT_EQ(firstDifference(gotPrevious, expectedPrevious), -1) << what << ": other buffer";
}

// Starting frames that reach every part of the rules: uniform noise (guard rows included),
// dark frames with bright specks (the fades at 0), and bright ones (sums near the top).
std::vector<Buffer> startingFrames(std::mt19937& rng, size_t size) {
    std::vector<Buffer> frames;
    frames.push_back(randomBytes(rng, size));
    Buffer speckled(size, 0), bright(size);
    for (size_t i = 0; i < size; ++i) {
        if (rng() % 50 == 0)
            speckled[i] = static_cast<uint8_t>(rng());
        else if (rng() % 3 == 0)
            speckled[i] = static_cast<uint8_t>(rng() % 8);
        bright[i] = static_cast<uint8_t>(255 - rng() % 6);
    }
    frames.push_back(speckled);
    frames.push_back(bright);
    return frames;
}

// Runs body once under each processor shape whose flames' loops differ here (the shapes this
// processor can honour), widest first, skipping the loops of skip.
template <class Body> void forEachShapesLoops(Body&& body, const std::string& skip = "") {
    std::vector<std::string> seen = {skip};
    for (const CpuShape& shape : distinctCpuShapes()) {
        const PretendedCpu pretended(shape.features);
        const std::string loops = flameKernelsInUse();
        if (std::find(seen.begin(), seen.end(), loops) != seen.end()) continue;
        seen.push_back(loops);
        SCOPED_TRACE(loops + " loops, as on a processor with " + shape.name);
        body();
    }
}

// The widest loops this processor runs.
std::string widestLoops() {
    buildFlameTables();
    return flameKernelsInUse();
}

} // namespace

TEST(Flames, EveryFlameFollowsItsRuleOnRandomFramesAtEveryResolution) {
    buildFlameTables();
    std::mt19937 rng(5);
    for (const Resolution& r : kResolutions) {
        const size_t size = static_cast<size_t>(r.w) * (r.h + 2);
        for (int f = 0; f < kFlameCount; ++f) {
            for (const Buffer& start : startingFrames(rng, size))
                expectFlameFollowsRule(f, r, randomBytes(rng, size), start);
        }
    }
}

// The narrower loops the plug-in falls back to on other processors give the same frames.
TEST(Flames, TheLoopsOfEveryProcessorShapeFollowTheSameRules) {
    std::mt19937 rng(9);
    forEachShapesLoops(
        [&] {
            for (const Resolution& r : {kResolutions[1], kResolutions[4]}) {
                const size_t size = static_cast<size_t>(r.w) * (r.h + 2);
                for (int f = 0; f < kFlameCount; ++f)
                    expectFlameFollowsRule(f, r, randomBytes(rng, size), randomBytes(rng, size));
            }
        },
        widestLoops());
}

TEST(Flames, TablesFollowTheirDefinitions) {
    buildFlameTables();
    EXPECT_EQ(quarterFade[0], 0);
    EXPECT_EQ(quarterFade[3], 0);
    EXPECT_EQ(quarterFade[4], 0);
    EXPECT_EQ(quarterFade[8], 1);
    EXPECT_EQ(quarterFade[1020], 254);
    EXPECT_EQ(halfFade[1], 0);
    EXPECT_EQ(halfFade[2], 0);
    EXPECT_EQ(halfFade[255], 126);
}

TEST(Flames, UpSlowOnAnAllWhiteFrameTakesTheBlackGuardRowsIntoTheBottomRows) {
    TestFrame frame(320, 200);
    std::fill(frame.previous.begin(), frame.previous.begin() + 320 * 200, 255);
    flameUpSlow();
    ASSERT_EQ(plugin.currentBuffer, frame.previous.data());
    auto px = [&](int x, int y) { return plugin.currentBuffer[y * 320 + x]; };
    EXPECT_EQ(px(0, 0), 254);
    EXPECT_EQ(px(160, 100), 254);
    EXPECT_EQ(px(160, 197), 254);
    EXPECT_EQ(px(160, 198), 190); // three 255s below and one guard 0
    EXPECT_EQ(px(160, 199), 0);   // four guard zeros
}

TEST(Flames, UpFastCarriesASinglePixelUpwardWithinOneFrame) {
    TestFrame frame(320, 200);
    frame.previous[100 * 320 + 50] = 255;
    flameUpFast();
    auto px = [&](int x, int y) { return plugin.currentBuffer[y * 320 + x]; };
    EXPECT_EQ(px(50, 100), 62);
    EXPECT_EQ(px(49, 99), 14);
    EXPECT_EQ(px(50, 99), 14);
    EXPECT_EQ(px(51, 99), 14);
    EXPECT_EQ(px(50, 98), 9); // the rewritten 14s are seen again
    EXPECT_EQ(px(50, 101), 0);
}

TEST(Flames, FadeLowersEveryImageByteByEightButTheFirstFour) {
    TestFrame frame(160, 120);
    std::fill(frame.previous.begin(), frame.previous.begin() + 160 * 120, 7);
    flameFade();
    const uint8_t* b = plugin.currentBuffer;
    EXPECT_EQ(b[0], 7);
    EXPECT_EQ(b[1], 5);
    EXPECT_EQ(b[2], 3);
    EXPECT_EQ(b[3], 1);
    for (int i = 4; i < 160 * 120; ++i) ASSERT_EQ(b[i], 0) << i;
}

TEST(Flames, WaterSubtleWrapsTheSumOfFourHundreds) {
    TestFrame frame(160, 120);
    std::fill(frame.previous.begin(), frame.previous.begin() + 160 * 120, 100);
    flameWaterSubtle();
    EXPECT_EQ(frame.current[10 * 160 + 10], 35); // 400 mod 256 = 144 -> 35
    EXPECT_EQ(frame.current[110 * 160 + 10], 35);
    flameWater();
    EXPECT_EQ(frame.current[10 * 160 + 10], 99);
}

TEST(Flames, WaterSplitsAtTheMiddle) {
    TestFrame frame(160, 120);
    frame.previous[30 * 160 + 80] = 200; // upper half: moves up
    frame.previous[90 * 160 + 80] = 200; // lower half: moves down
    flameWater();
    EXPECT_EQ(frame.current[29 * 160 + 80], 49);
    EXPECT_EQ(frame.current[28 * 160 + 80], 49);
    EXPECT_EQ(frame.current[91 * 160 + 80], 49);
    EXPECT_EQ(frame.current[92 * 160 + 80], 49);
    EXPECT_EQ(frame.current[89 * 160 + 80], 0);
}

TEST(Flames, DownMovesThePictureOneRowWithoutFading) {
    TestFrame frame(160, 120);
    std::mt19937 rng(3);
    const Buffer last = randomBytes(rng, frame.previous.size());
    const Buffer older = randomBytes(rng, frame.current.size());
    std::copy(last.begin(), last.end(), frame.previous.begin());
    std::copy(older.begin(), older.end(), frame.current.begin());
    flameDown();
    for (int x = 0; x < 160; ++x) ASSERT_EQ(frame.current[x], 0);
    for (int y = 1; y < 120; ++y)
        for (int x = 0; x < 160; ++x)
            ASSERT_EQ(frame.current[y * 160 + x], frame.previous[(y - 1) * 160 + x]);
}

TEST(Flames, ClearLeavesOnlyWhatTheWaveDraws) {
    TestFrame frame(320, 200);
    std::fill(frame.current.begin(), frame.current.end(), 99);
    exchangeFrameBuffers();
    flameClear();
    const std::vector<uint8_t> audio = constantAudio(0); // silence: level 128 everywhere
    waveDotHor(plugin.currentBuffer, audio.data());
    for (int i = 0; i < 320 * 200; ++i) {
        const int y = i / 320, x = i % 320;
        ASSERT_EQ(plugin.currentBuffer[i], y == 160 - 128 ? 128 : 0) << x << "," << y;
    }
}

// "Test" rewrites each row as several chains side by side and settles where each one starts
// once the chain before it is done. Widths below, at and above the limits of that, widths that
// leave a remainder for the last chain, and frames whose flat stretches keep the two guesses
// at a chain's start apart to its end (then the second guess is the right one).
TEST(Flames, TestFollowsItsRuleAtOddWidthsAndOnFlatFrames) {
    std::mt19937 rng(13);
    const int testFlame = kFlameCount - 1;
    ASSERT_EQ(std::string(flameTable[testFlame].name), "Test");
    for (int w : {15, 16, 17, 23, 101, 333, 512, 639, 641, 700}) {
        const Resolution r{w, 9};
        const size_t size = static_cast<size_t>(w) * (r.h + 2);
        Buffer flat(size), steps(size), ramp(size);
        for (size_t i = 0; i < size; ++i) {
            flat[i] = 200;
            steps[i] = static_cast<uint8_t>(40 * ((i % w) * 5 / w) + 30);
            ramp[i] = static_cast<uint8_t>(i * 255 / size);
        }
        buildFlameTables();
        for (const Buffer& start : {flat, steps, ramp, randomBytes(rng, size)})
            expectFlameFollowsRule(testFlame, r, randomBytes(rng, size), start);
    }
}

// The vector form of "Test" guesses each two-pixel segment's start from two bounds and keeps
// one per segment from bit masks carried along the row. Frames that keep the two bounds apart
// (all 255: chains from 0 and 255 settle at 254 and 255), that never separate them (all 0),
// that flip every pixel or every row, and random ones, at every resolution of the plug-in
// and with every set of loops this processor runs.
TEST(Flames, TestFollowsItsRuleOnFlatStripedAndRandomFramesAtEveryResolution) {
    std::mt19937 rng(17);
    const int testFlame = kFlameCount - 1;
    for (const Resolution& r : kResolutions) {
        const size_t size = static_cast<size_t>(r.w) * (r.h + 2);
        Buffer bright(size, 255), black(size, 0), alternate(size), rows(size), brightSpecks(size);
        for (size_t i = 0; i < size; ++i) {
            alternate[i] = i % 2 ? 255 : 0;
            rows[i] = (i / r.w) % 2 ? 255 : 0;
            brightSpecks[i] = static_cast<uint8_t>(rng() % 97 ? 255 : rng());
        }
        forEachShapesLoops([&] {
            for (const Buffer& start :
                 {bright, black, alternate, rows, brightSpecks, randomBytes(rng, size)})
                expectFlameFollowsRule(testFlame, r, randomBytes(rng, size), start);
        });
    }
}
