// A small frame (160 x 120) with the default settings and a fake platform, for tests of the
// frame loop and the steps it calls.
#pragma once
#include "effects/effects.h"
#include "fake_platform.h"
#include "frame/frame_loop.h"
#include "base/instance.h"
#include "base/settings.h"

#include <gtest/gtest.h>

#include <cstring>

class FrameLoopTest : public ::testing::Test {
  protected:
    FakePlatform platform;
    uint8_t spectrum[2][576] = {};
    uint8_t waveform[2][576] = {};

    void SetUp() override {
        settings = Settings();
        settings.Resolution = 8; // 160 x 120
        settings.Show_3D_song_intro = 0;
        settings.Show_ID3 = 0;
        applyResolution();
        plugin.errorCount = 0;
        plugin.currentWave = 0;
        plugin.currentFlame = 0;
        plugin.currentDisplay = 0;
        plugin.currentTranslation = 0;
        plugin.dataSource = 0;
        plugin.sampleBias = 128;
        plugin.randomLocked = false;
        resetFrameLoop();
        buildWaveColours();
        buildFlameTables();
        buildSineTables();
        ASSERT_TRUE(allocateFrameBuffers());
    }
    void TearDown() override { freeFrameBuffers(); }

    void setBass(uint8_t level) {
        std::memset(spectrum, 0, sizeof spectrum);
        for (int i = 0; i < 8; ++i) spectrum[0][i] = spectrum[1][i] = level;
    }
    void frame() { renderFrame(platform, spectrum, waveform); }
};
