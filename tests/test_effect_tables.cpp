#include "effects/effects.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {
std::vector<std::string> names(const EffectEntry* table, int count, bool description) {
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i)
        out.push_back(description ? table[i].description : table[i].name);
    return out;
}
} // namespace

TEST(EffectTables, WavesHaveEveryNameInIndexOrder) {
    const std::vector<std::string> expectedNames = {
        "DotHor",  "DotVert", "LineHor", "LineVert", "Spike",   "SpikeH", "Walking",
        "Falling", "Lissa",   "Light",   "Vell0",    "Vell2",   "Ombix",  "Pyro",
        "Spiral",  "Warp",    "Corner",  "Laser",    "Objects", "School"};
    const std::vector<std::string> expectedDescriptions = {
        "Dots Horizontal", "Dots Vertical", "Lines Horizontal", "Lines Vertical",
        "Spikes",          "Spikes Hollow", "Walking",          "Falling",
        "Lissa",           "Lightning",     "FireFlies",        "Dot VS sine",
        "Rings of Fire",   "Fire works",    "Spirograph",       "Space warp",
        "Corner",          "Laser",         "Rotating objects", "School of fish"};
    EXPECT_EQ(names(waveTable, kWaveCount, false), expectedNames);
    EXPECT_EQ(names(waveTable, kWaveCount, true), expectedDescriptions);
    for (const EffectEntry& entry : waveTable) {
        EXPECT_NE(entry.wave, nullptr) << entry.name;
        EXPECT_EQ(entry.flame, nullptr) << entry.name;
        EXPECT_EQ(entry.enabled, 1);
    }
}

TEST(EffectTables, FlamesHaveEveryNameInIndexOrder) {
    const std::vector<std::string> expectedNames = {
        "Clear", "Overwrite", "U-Sl",    "U-Fa",  "L-Sl", "L-Fa", "R-Sl", "R-Fa",
        "Water", "Wa-s",      "Skyline", "Weird", "Zzz",  "Fade", "Down", "Test"};
    const std::vector<std::string> expectedDescriptions = {"Blank the buffer",
                                                           "Write over buffer",
                                                           "Up Slow",
                                                           "Up Fast",
                                                           "Left Slow",
                                                           "Left Fast",
                                                           "Right Slow",
                                                           "Right Fast",
                                                           "Water",
                                                           "Water Subtle",
                                                           "Skyline",
                                                           "Weird",
                                                           "Zzz",
                                                           "Fade away",
                                                           "Falling Down",
                                                           "Test"};
    EXPECT_EQ(names(flameTable, kFlameCount, false), expectedNames);
    EXPECT_EQ(names(flameTable, kFlameCount, true), expectedDescriptions);
    for (const EffectEntry& entry : flameTable) {
        EXPECT_NE(entry.flame, nullptr) << entry.name;
        EXPECT_EQ(entry.wave, nullptr) << entry.name;
    }
}

TEST(EffectTables, DisplaysCarryNamesButNoFunction) {
    EXPECT_EQ(names(displayTable, kDisplayCount, false),
              (std::vector<std::string>{"1x1", "2x2", "2x1", "1x2"}));
    EXPECT_EQ(
        names(displayTable, kDisplayCount, true),
        (std::vector<std::string>{"Normal 1x1", "Kaleidoscope 2x2", "Weidth 2x1", "Height 1x2"}));
    for (const EffectEntry& entry : displayTable) {
        EXPECT_EQ(entry.wave, nullptr);
        EXPECT_EQ(entry.flame, nullptr);
    }
}

TEST(EffectTables, NamesFitTheirFields) {
    for (const EffectEntry* table : {waveTable, flameTable, displayTable})
        for (int i = 0; i < 4; ++i) {
            EXPECT_LT(std::strlen(table[i].name), sizeof table[i].name);
            EXPECT_LT(std::strlen(table[i].description), sizeof table[i].description);
        }
}

TEST(WaveTables, ColoursRampUpAndBackDown) {
    buildWaveColours();
    EXPECT_EQ(waveColours[0], 0);
    EXPECT_EQ(waveColours[255], 255);
    EXPECT_EQ(waveColours[256], 255);
    EXPECT_EQ(waveColours[383], 128);
    EXPECT_EQ(waveColours[511], 0);
}
