#include "effects_support.h"
#include "effects/wave_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace {

int activeStars() {
    int n = 0;
    for (const WarpStar& s : waveState.warp.stars) n += s.radius != -1;
    return n;
}

// Makes the next measureBeat on a silent block report beat b with volume lastVolume - 9.
void primeBeat(int b, int lastVolume) {
    beatState.lastVolume = lastVolume;
    beatState.riseTotal = b;
}

} // namespace

TEST(BeatWaves, WarpStartsOneStarPerBeatHoweverManySlotsAreFree) {
    TestFrame frame(320, 200);
    const std::vector<uint8_t> silence = constantAudio(0);
    waveWarp(frame.frame(), silence.data());
    EXPECT_EQ(activeStars(), 0);
    primeBeat(30, 50);
    waveWarp(frame.frame(), silence.data());
    EXPECT_EQ(activeStars(), 1);
    const WarpStar& star = waveState.warp.stars[0];
    EXPECT_EQ(star.radius, 0);
    EXPECT_EQ(star.rays, (40 * 30) / (4 * 30 - 1) + 1); // V raised to 4B, then lowered by 1
    EXPECT_EQ(star.radiusStep, (20 * 30) / (4 * 30 - 1) + 3);
    primeBeat(30, 50);
    waveWarp(frame.frame(), silence.data());
    EXPECT_EQ(activeStars(), 2);
    EXPECT_GT(frame.lit(), 0);
}

TEST(BeatWaves, WarpStarsLeaveAtTheEdge) {
    TestFrame frame(320, 200);
    const std::vector<uint8_t> silence = constantAudio(0);
    primeBeat(30, 50);
    waveWarp(frame.frame(), silence.data());
    waveState.warp.stars[0].slowdown = 0;
    for (int i = 0; i < 200 && activeStars() > 0; ++i) waveWarp(frame.frame(), silence.data());
    EXPECT_EQ(activeStars(), 0);
}

TEST(BeatWaves, PyroRocketFallingFastIsFreedWithoutABurst) {
    TestFrame frame(320, 200);
    const std::vector<uint8_t> silence = constantAudio(0);
    wavePyro(frame.frame(), silence.data()); // sets up the pool
    PyroSlot& rocket = waveState.pyro.slots[21];
    rocket = {0, 5, 100, 100, 7, 200}; // vy becomes 6
    wavePyro(frame.frame(), silence.data());
    EXPECT_EQ(rocket.age, -1);
    for (int i = 22; i < 42; ++i) EXPECT_EQ(waveState.pyro.slots[i].age, -1) << i;
}

TEST(BeatWaves, PyroBurstFillsTheNineteenSlotsAfterItsRocket) {
    TestFrame frame(320, 200);
    const std::vector<uint8_t> silence = constantAudio(0);
    wavePyro(frame.frame(), silence.data());
    waveState.pyro.slots[21] = {2, -4, 100, 100, 7, 200}; // vy -3 >= -5 and B = 0 >= V / 2 = 0
    waveState.pyro.slots[25] = {1, 1, 10, 10, -10, 9};    // an older spark, replaced
    wavePyro(frame.frame(), silence.data());              // V is 0: the burst must not fault
    EXPECT_EQ(waveState.pyro.slots[21].age, -1);
    for (int i = 22; i <= 40; ++i) {
        const PyroSlot& s = waveState.pyro.slots[i];
        EXPECT_EQ(s.age, -20) << i; // born at -21 and moved once in the same frame
        EXPECT_LE(std::abs(s.x - 102), 6) << i;
        EXPECT_LE(std::abs(s.y - 97), 8) << i;
    }
    // The group's last slot is not one of the nineteen: it stays free.
    EXPECT_EQ(waveState.pyro.slots[41].age, -1);
    EXPECT_EQ(waveState.pyro.slots[42].age, -1);
}

TEST(BeatWaves, PyroBurstLeavesASparkAliveInTheGroupsLastSlotAlone) {
    TestFrame frame(320, 200);
    const std::vector<uint8_t> silence = constantAudio(0);
    wavePyro(frame.frame(), silence.data());
    waveState.pyro.slots[21] = {2, -4, 100, 100, 7, 200};
    waveState.pyro.slots[41] = {3, 1, 10, 20, -10, 9}; // alive, and only moved by its own flight
    wavePyro(frame.frame(), silence.data());
    const PyroSlot& last = waveState.pyro.slots[41];
    EXPECT_EQ(last.age, -9);
    EXPECT_EQ(last.x, 13);
    EXPECT_EQ(last.y, 21);
    EXPECT_EQ(last.vx, 3);
    EXPECT_EQ(last.vy, 1);
    EXPECT_EQ(last.colour, 9);
}

TEST(BeatWaves, PyroSparksFeelGravityEverySixthFrameOfTheirLife) {
    TestFrame frame(320, 200);
    const std::vector<uint8_t> silence = constantAudio(0);
    wavePyro(frame.frame(), silence.data());
    PyroSlot& spark = waveState.pyro.slots[1];
    spark = {0, 0, 50, 50, -21, 100};
    std::vector<int> gainedAt;
    while (spark.age != -1) {
        const int age = spark.age, vy = spark.vy;
        wavePyro(frame.frame(), silence.data());
        if (spark.vy != vy) gainedAt.push_back(age);
    }
    EXPECT_EQ(gainedAt, (std::vector<int>{-18, -12, -6}));
}

TEST(BeatWaves, PyroLaunchesOnABeat) {
    TestFrame frame(320, 200);
    const std::vector<uint8_t> silence = constantAudio(0);
    wavePyro(frame.frame(), silence.data());
    EXPECT_EQ(waveState.pyro.launchSpeed, 19); // trunc(sqrt(400)) - 1
    primeBeat(40, 60);                         // B = 40, V = 51
    wavePyro(frame.frame(), silence.data());
    const PyroSlot& first = waveState.pyro.slots[0];
    ASSERT_NE(first.age, -1);
    EXPECT_EQ(first.y, 200 - 4);
    EXPECT_EQ(first.vy, -(19 * 40 / 51));
    int launched = 0;
    for (int g = 0; g < kPyroSlots; g += kPyroGroup) launched += waveState.pyro.slots[g].age != -1;
    EXPECT_EQ(launched, 5); // 40, 30, 22, 16, 12 are above 10; 9 is not
}

TEST(BeatWaves, SchoolRebornEverySecondFrameInSilence) {
    TestFrame frame(320, 200);
    const std::vector<uint8_t> silence = constantAudio(0);
    for (int f = 1; f <= 8; ++f) {
        waveSchool(frame.frame(), silence.data());
        EXPECT_EQ(waveState.school.nextFish, f / 2) << f;
    }
}

// The current changes only on a beat stronger than a quarter of the volume: with V = 100 a beat
// of 26 sets it going (0.0125 * 320 * 26 / 100 = 1.04), one of 25 does not.
TEST(BeatWaves, SchoolCurrentStartsOnlyAboveAQuarterOfTheVolume) {
    const std::vector<uint8_t> silence = constantAudio(0);
    for (const auto& [beat, speed] : {std::pair{25, 0}, std::pair{26, 1}}) {
        TestFrame frame(320, 200);
        waveSchool(frame.frame(), silence.data());
        ASSERT_EQ(waveState.school.speed, 0);
        primeBeat(beat, 109); // V = 109 - 9
        waveSchool(frame.frame(), silence.data());
        EXPECT_EQ(waveState.school.speed, speed) << "beat " << beat;
    }
}

TEST(BeatWaves, SchoolFishOnOnePixelStayFinite) {
    TestFrame frame(320, 200);
    const std::vector<uint8_t> silence = constantAudio(0);
    waveSchool(frame.frame(), silence.data());
    for (Fish& f : waveState.school.fish) f = {0.0, 0.0, 100, 100, 50};
    for (int i = 0; i < 50; ++i) waveSchool(frame.frame(), silence.data());
    for (const Fish& f : waveState.school.fish) {
        EXPECT_TRUE(std::isfinite(f.vx));
        EXPECT_TRUE(std::isfinite(f.vy));
        EXPECT_GE(f.x, 0);
        EXPECT_LE(f.x, 320);
    }
}

TEST(BeatWaves, SpiralCollapsesToItsCentreInSilence) {
    TestFrame frame(320, 200);
    const std::vector<uint8_t> silence = constantAudio(0);
    waveSpiral(frame.frame(), silence.data());
    EXPECT_EQ(frame.lit(), 0); // every point is the centre: no line has length
    EXPECT_EQ(waveState.spiral.colourPhase, 1);
    EXPECT_GE(waveState.spiral.multiplier, 2);
    EXPECT_LE(waveState.spiral.multiplier, 9);
    const std::vector<uint8_t> loud = alternatingAudio(0, 100);
    waveSpiral(frame.frame(), loud.data());
    EXPECT_GT(frame.lit(), 0);
    EXPECT_EQ(waveState.spiral.lastVolume, 57500 / 288);
}
