#include "effects_support.h"

#include <gtest/gtest.h>

TEST(Draw, PutPixelWritesOnlyInsideTheFrameAndMayWriteTheCorner) {
    TestFrame frame(320, 200);
    putPixel(frame.frame(), 0, 0, 7);
    putPixel(frame.frame(), 319, 199, 8);
    putPixel(frame.frame(), 320, 0, 9);
    putPixel(frame.frame(), -1, 5, 9);
    putPixel(frame.frame(), 5, 200, 9);
    putPixel(frame.frame(), 5, -1, 9);
    EXPECT_EQ(frame.at(0, 0), 7);
    EXPECT_EQ(frame.at(319, 199), 8);
    EXPECT_EQ(frame.lit(), 2);
}

TEST(Draw, VerticalLineDoesNotClipXAndLandsOnTheNextRow) {
    TestFrame frame(320, 200);
    drawVerticalLine(frame.frame(), 5, 3, 330, 200);
    EXPECT_EQ(frame.at(10, 4), 200);
    EXPECT_EQ(frame.at(10, 5), 200);
    EXPECT_EQ(frame.at(10, 6), 200);
    EXPECT_EQ(frame.lit(), 3);
}

TEST(Draw, VerticalLineClampsItsEndsAndStaysInsideTheImage) {
    TestFrame frame(320, 200);
    drawVerticalLine(frame.frame(), -50, 500, 3, 1);
    EXPECT_EQ(frame.lit(), 200);
    drawVerticalLine(frame.frame(), 190, 300, 400,
                     2); // the last row would spill into the guard row
    EXPECT_EQ(frame.at(80, 199), 2);
    EXPECT_EQ(frame.current[200 * 320 + 80], 0);
    drawVerticalLine(frame.frame(), 0, 3, -330, 3); // rows 0 and 1 fall before the image
    EXPECT_EQ(frame.at(310, 0), 3);
    EXPECT_EQ(frame.at(310, 1), 3);
    EXPECT_EQ(frame.lit(), 200 + 9 + 2);
}

TEST(Draw, HorizontalLineWrapsBothEndsTogether) {
    TestFrame frame(320, 200);
    drawHorizontalLine(frame.frame(), -1, -5, 10, 9);
    for (int x = 315; x < 320; ++x) EXPECT_EQ(frame.at(x, 10), 9);
    EXPECT_EQ(frame.lit(), 5);
    drawHorizontalLine(frame.frame(), 650, 645, 20, 4); // two widths to the right
    for (int x = 5; x <= 10; ++x) EXPECT_EQ(frame.at(x, 20), 4);
    drawHorizontalLine(frame.frame(), -3, 2, 30, 5); // across the edge: clamped, not wrapped
    for (int x = 0; x <= 2; ++x) EXPECT_EQ(frame.at(x, 30), 5);
    EXPECT_EQ(frame.at(319, 30), 0);
    EXPECT_EQ(frame.lit(), 5 + 6 + 3);
}

TEST(Draw, HorizontalLineFarOutsideIsMovedInOneStep) {
    TestFrame frame(160, 120);
    drawHorizontalLine(frame.frame(), -2000000001, -2000000000, 3, 6);
    // -2000000000 + 12500000 * 160 = 0
    EXPECT_EQ(frame.at(0, 3), 6);
    EXPECT_EQ(frame.lit(), 1);
}

TEST(Draw, LineRoutinesNeverWriteIndexZero) {
    TestFrame frame(320, 200);
    drawVerticalLine(frame.frame(), 0, 2, 0, 5);
    drawHorizontalLine(frame.frame(), 0, 3, 0, 5);
    drawLine(frame.frame(), 0, 0, 10, 0, 5);
    drawLine(frame.frame(), 0, 0, 0, 10, 5);
    EXPECT_EQ(frame.at(0, 0), 0);
    EXPECT_EQ(frame.at(1, 0), 5);
    EXPECT_EQ(frame.at(0, 1), 5);
}

TEST(Draw, LineLeavesOutItsEndPoint) {
    TestFrame frame(320, 200);
    drawLine(frame.frame(), 10, 10, 14, 12, 3);
    EXPECT_EQ(frame.lit(), 4);
    EXPECT_EQ(frame.at(10, 10), 3);
    EXPECT_EQ(frame.at(14, 12), 0);
    drawLine(frame.frame(), 50, 50, 50, 50, 3);
    EXPECT_EQ(frame.lit(), 4);
}

TEST(Draw, LineFollowsTheStepRule) {
    TestFrame frame(320, 200);
    // dx = 4 > dy = 2: the error reaches dx after two steps, then y moves.
    drawLine(frame.frame(), 10, 10, 14, 12, 3);
    EXPECT_EQ(frame.at(10, 10), 3);
    EXPECT_EQ(frame.at(11, 10), 3);
    EXPECT_EQ(frame.at(12, 11), 3);
    EXPECT_EQ(frame.at(13, 11), 3);
    // Steep and backwards: dy = 3 >= dx = 1.
    drawLine(frame.frame(), 30, 13, 29, 10, 4);
    EXPECT_EQ(frame.at(30, 13), 4);
    EXPECT_EQ(frame.at(30, 12), 4);
    EXPECT_EQ(frame.at(30, 11), 4);
    EXPECT_EQ(frame.lit(), 7);
}

TEST(Draw, LineClampsToTheFrameAndItsOneBeyond) {
    TestFrame frame(320, 200);
    drawLine(frame.frame(), -100, 5, 10000, 5, 2); // x runs 0..319, then 320 is the end
    EXPECT_EQ(frame.lit(), 320);
    drawLine(frame.frame(), 320, 10, 320, 20, 4); // x = W lands on column 0 of the next row
    EXPECT_EQ(frame.at(0, 11), 4);
    EXPECT_EQ(frame.at(0, 20), 4);
    drawLine(frame.frame(), 320, 199, 320, 150, 6); // (W, H-1) would be index W*H: not written
    EXPECT_EQ(frame.current[200 * 320], 0);
}

TEST(Draw, SinDegreesTakesAnyAngle) {
    TestFrame frame(320, 200);
    EXPECT_DOUBLE_EQ(sinDegrees(90), sineByDegree[90]);
    EXPECT_DOUBLE_EQ(sinDegrees(450), sineByDegree[90]);
    EXPECT_DOUBLE_EQ(sinDegrees(-90), sineByDegree[270]);
    EXPECT_DOUBLE_EQ(sinDegrees(-360), sineByDegree[0]);
}

TEST(AudioMeasures, ActivitySumsTheRawNeighbourDifferencesOfOneChannel) {
    std::vector<uint8_t> audio = alternatingAudio(0x7F, 0x80);
    EXPECT_EQ(act(audio.data(), 0), 575); // raw bytes, not levels
    audio[576] = 10;
    audio[577] = 250; // channel 1 only
    EXPECT_EQ(act(audio.data(), 0), 575);
    EXPECT_EQ(act(audio.data(), 1), 575 - 1 - 1 + 240 + (250 - 0x7F));
}

TEST(AudioMeasures, BeatIsTheWholeRiseReportedOnTheFirstFallingFrame) {
    BeatState state;
    const std::vector<uint8_t> loud = alternatingAudio(0, 200); // act = 115000 -> v = 399
    const std::vector<uint8_t> quiet = constantAudio(0);
    EXPECT_EQ(measureBeat(state, quiet.data()).beat, 0);
    BeatMeasure m = measureBeat(state, loud.data());
    EXPECT_EQ(m.beat, 0);
    EXPECT_EQ(m.volume, 399);
    m = measureBeat(state, quiet.data());
    EXPECT_EQ(m.beat, 399);
    EXPECT_EQ(m.volume, 390);
    m = measureBeat(state, quiet.data());
    EXPECT_EQ(m.beat, 0);
    EXPECT_EQ(m.volume, 381);
}

TEST(AudioMeasures, BeatOnAConstantBlockFallsByNineUntilZero) {
    BeatState state;
    state.lastVolume = 20;
    const std::vector<uint8_t> constant = constantAudio(77);
    BeatMeasure m = measureBeat(state, constant.data());
    EXPECT_EQ(m.volume, 11);
    EXPECT_EQ(m.beat, 0); // no rise before
    EXPECT_EQ(measureBeat(state, constant.data()).volume, 2);
    EXPECT_EQ(measureBeat(state, constant.data()).volume, 0);
    m = measureBeat(state, constant.data());
    EXPECT_EQ(m.volume, 0);
    EXPECT_EQ(m.beat, 0);
    EXPECT_EQ(state.riseTotal, 0);
}

TEST(AudioMeasures, SamplesReadTheBlockAsARing) {
    TestFrame frame(640, 480, 0x80);
    std::vector<uint8_t> audio(kAudioBlockSize);
    for (int i = 0; i < kAudioBlockSize; ++i) audio[i] = static_cast<uint8_t>(i * 7);
    EXPECT_EQ(sampleLevel(audio.data(), 0, 5), (5 * 7 & 0xFF) ^ 0x80);
    EXPECT_EQ(sampleLevel(audio.data(), 0, 600), (600 * 7 & 0xFF) ^ 0x80); // into channel 1
    EXPECT_EQ(sampleLevel(audio.data(), 1, 5), (581 * 7 & 0xFF) ^ 0x80);
    EXPECT_EQ(sampleLevel(audio.data(), 1, 600), (24 * 7 & 0xFF) ^ 0x80); // back to the start
    plugin.sampleBias = 0;
    EXPECT_EQ(sampleLevel(audio.data(), 0, 5), 35);
}
