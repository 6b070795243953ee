#include "effects_support.h"
#include "effects/wave_state.h"

#include <gtest/gtest.h>

TEST(Waves, DotHorDropsDotsAboveTheTop) {
    TestFrame frame(320, 200, 0x80, 0);
    std::vector<uint8_t> audio = constantAudio(0); // level 128: y = 160 - 128 = 32
    audio[10] = 0x7F;                              // level 255: y = 160 - 255 < 0, not drawn
    audio[11] = 0x7F;
    waveDotHor(frame.frame(), audio.data());
    EXPECT_EQ(frame.at(5, 32), 0);
    EXPECT_EQ(frame.at(4, 32), 128);
    EXPECT_EQ(frame.lit(), 320 - 1);
}

TEST(Waves, DotHorBaseIsHalfTheWidth) {
    TestFrame frame(640, 480, 0x80, 1);
    const std::vector<uint8_t> audio = constantAudio(0);
    waveDotHor(frame.frame(), audio.data());
    EXPECT_EQ(frame.at(0, 320 - 64), 128);
    EXPECT_EQ(frame.at(575, 320 - 64), 128);
    EXPECT_EQ(frame.at(576, 320 - 64), 0);
}

TEST(Waves, SpikeIsCutTwoRowsBelowTheTop) {
    TestFrame frame(640, 480, 0, 0);
    std::vector<uint8_t> audio = constantAudio(0);
    audio[0] = 255; // n = 510, cut to 478
    waveSpike(frame.frame(), audio.data());
    EXPECT_EQ(frame.at(32, 479), 0); // j = 0: colour 0
    EXPECT_EQ(frame.at(32, 479 - 300), waveColours[300]);
    EXPECT_EQ(frame.at(32, 2), waveColours[477]);
    EXPECT_EQ(frame.at(32, 1), 0);
    EXPECT_EQ(frame.at(33, 100), 0);
}

TEST(Waves, HollowSpikeHasTheColourOfItsFullHeight) {
    TestFrame frame(640, 480, 0, 0);
    std::vector<uint8_t> audio = constantAudio(0);
    audio[0] = 255;
    audio[576 + 1] = 40; // channel 1, k = 1: x = (577 >> 1) + 32 = 320, n = 80
    waveSpikeHollow(frame.frame(), audio.data());
    EXPECT_EQ(frame.at(32, 479), waveColours[478]);
    EXPECT_EQ(frame.at(32, 2), waveColours[478]);
    EXPECT_EQ(frame.at(320, 479), 80);
    EXPECT_EQ(frame.at(320, 400), 80);
    EXPECT_EQ(frame.at(320, 399), 0);
}

TEST(Waves, LineHorCarriesItsLastLevelAcrossChannelsAndFrames) {
    TestFrame frame(320, 200, 0, 0);
    std::vector<uint8_t> audio = constantAudio(0);
    waveState.lineHor.lastLevel = 100;
    waveLineHor(frame.frame(), audio.data());
    // The first column joins the last level (y = 160 - 100 = 60) to level 0 (y = 160).
    EXPECT_EQ(frame.at(32, 60), waveColours[128]);
    EXPECT_EQ(frame.at(32, 160), waveColours[128]);
    // Channel 1 runs from x = 320 on, which at width 320 lands on the next row.
    EXPECT_EQ(frame.at(32, 161), waveColours[128]);
    EXPECT_EQ(frame.at(32, 162), 0);
    EXPECT_EQ(frame.at(33, 60), 0);
    EXPECT_EQ(waveState.lineHor.lastLevel, 0);
}

TEST(Waves, WalkingCrossesTheScreenEdge) {
    TestFrame frame(320, 200, 0x80, 0);
    waveState.walking.walkX = 319;                          // becomes 0 this frame
    const std::vector<uint8_t> audio = constantAudio(0x10); // level 0x90 = 144
    waveWalking(frame.frame(), audio.data());
    EXPECT_EQ(waveState.walking.walkX, 0);
    // Channel 0 from 0 - 144 to 0 - 128: both ends left of the frame, moved in by one width.
    EXPECT_EQ(frame.at(320 - 144, 0), 144);
    EXPECT_EQ(frame.at(320 - 128, 0), 144);
    EXPECT_EQ(frame.at(320 - 127, 0), 0);
    EXPECT_EQ(frame.at(128, 0), 144); // channel 1 from 0 + 128 to 0 + 144
    EXPECT_EQ(frame.at(144, 0), 144);
}

TEST(Waves, FallingBandMovesDownOneRowPerFrame) {
    TestFrame frame(320, 200, 0, 0);
    std::vector<uint8_t> audio = constantAudio(0);
    for (int k = 0; k < 576; ++k) audio[k] = k < 160 ? 10 : 20;
    waveFalling(frame.frame(), audio.data());
    EXPECT_EQ(waveState.falling.fallY, 1);
    EXPECT_EQ(frame.at(5, 2), 10);
    EXPECT_EQ(frame.at(5, 1), 20);
    waveState.falling.fallY = 197; // wraps at H - 1
    waveFalling(frame.frame(), audio.data());
    EXPECT_EQ(waveState.falling.fallY, 198);
    EXPECT_EQ(frame.at(5, 199), 10);
}

TEST(Waves, FireFliesWrapTheirSwarms) {
    TestFrame frame(320, 200, 0x80, 0);
    waveState.vell0.fly1X = 1;
    waveState.vell0.fly1Y = 1;
    const std::vector<uint8_t> audio = constantAudio(0); // level 128: steps of 128 % 9 - 4 = -2
    waveVell0(frame.frame(), audio.data());
    EXPECT_EQ(waveState.vell0.fly1X, 575);
    EXPECT_EQ(waveState.vell0.fly1Y, 198);
    EXPECT_EQ(waveState.vell0.fly2X, 158);
}

TEST(Waves, RingsOfFireSetUpOnTheirFirstFrame) {
    TestFrame frame(320, 200, 0, 0);
    const std::vector<uint8_t> audio = constantAudio(0); // analyser silence: no displacement
    waveOmbix(frame.frame(), audio.data());
    EXPECT_EQ(waveState.ombix.ring1X, 225);
    EXPECT_EQ(waveState.ombix.ring2X, 97);
    EXPECT_EQ(waveState.ombix.ring1Y, 101);
    EXPECT_EQ(frame.at(224, 100), 0); // level 0 gives colour 0
    EXPECT_EQ(waveState.ombix.phaseX, (40 + 320) % 320 + 0);
}

TEST(Waves, CornerThicknessFollowsTheBeat) {
    const std::vector<uint8_t> silence = constantAudio(0);
    for (int beat : {40, 31, 3}) {
        TestFrame frame(320, 200, 0x80, 0);
        waveState.corner.beat.lastVolume = 50;
        waveState.corner.beat.riseTotal = beat;
        waveCorner(frame.frame(), silence.data());
        const int cx = waveState.corner.cornerX, cy = waveState.corner.cornerY;
        const int expected = beat == 40 ? 8 : beat >> 2;
        if (expected == 0) {
            EXPECT_EQ(frame.lit(), 0);
            EXPECT_NE(cx, 0); // only the corner moves
            continue;
        }
        const int armX = frame.at(cx + 20, cy) != 0 ? cx + 20 : cx - 20;
        const int side = frame.at(cx + 20, cy) != 0 ? 1 : -1;
        for (int i = 0; i < expected; ++i) {
            EXPECT_EQ(frame.at(armX, cy + i), 255 >> i) << beat << " " << i;
            EXPECT_EQ(frame.at(armX, cy - i), 255 >> i) << beat << " " << i;
        }
        EXPECT_EQ(frame.at(armX, cy + expected), 0);
        EXPECT_EQ(frame.at(cx + expected - 1, cy + side * 20), 255 >> (expected - 1));
    }
}

TEST(Waves, CornerDrawsNothingWithoutABeat) {
    TestFrame frame(320, 200);
    const std::vector<uint8_t> loud = alternatingAudio(0, 100);
    waveCorner(frame.frame(), loud.data()); // rising: no beat yet
    EXPECT_EQ(frame.lit(), 0);
    EXPECT_EQ(randomState(), 1u);
}

TEST(Waves, LightningBoltsAreWhite) {
    TestFrame frame(320, 200, 0x80, 0);
    const std::vector<uint8_t> audio = constantAudio(0); // level 128: no drift
    waveLight(frame.frame(), audio.data());
    EXPECT_EQ(frame.at(100, 0), 255);
    EXPECT_EQ(frame.at(200, 198), 255);
    EXPECT_EQ(frame.at(100, 199), 0);
    EXPECT_EQ(frame.lit(), 2 * 199);
}

TEST(Waves, DotVsSineFollowsTheActivity) {
    TestFrame frame(320, 200, 0, 0);
    const std::vector<uint8_t> quiet = constantAudio(1); // act 0: amplitude 100
    waveVell2(frame.frame(), quiet.data());
    // x = 80 is a quarter period: sine 128 -> 100 * 128 >> 8 = 50.
    EXPECT_EQ(sineAcrossWidth[80], 128);
    EXPECT_EQ(frame.at(80, 199 - 50), 1);
    EXPECT_EQ(frame.at(240, 199 - 50), 1); // folded upward: |sine|
    EXPECT_EQ(frame.lit(), 320);
    const std::vector<uint8_t> busy = alternatingAudio(40, 0); // act 23000: amplitude 199
    waveVell2(frame.frame(), busy.data());
    EXPECT_EQ(frame.at(80, 199 - (199 * 128 >> 8)), 40);
}
