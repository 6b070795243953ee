// A small frame (160 x 120) with the default settings and a fake platform, for tests of the
// frame loop and the steps it calls.
#pragma once
#include "effects.h"
#include "frame_loop.h"
#include "instance.h"
#include "settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

class FakePlatform : public FramePlatform {
  public:
    uint32_t ticks = 0;
    uint32_t position = 0;
    std::string title = "1. Artist - Title - Winamp";
    int framesShown = 0;
    int songTexts = 0;
    std::string lastSongText;

    uint32_t tickCount() override { return ticks; }
    uint32_t playPosition() override { return position; }
    void playerTitle(char* buffer, int size) override {
        std::snprintf(buffer, size, "%s", title.c_str());
    }
    void drawSongText(const char* text) override {
        ++songTexts;
        lastSongText = text;
    }
    bool lockTextSurface(const uint8_t**, long*) override { return false; }
    void unlockTextSurface() override {}
    int bytesPerPixel() override { return 1; }
    void copyFrame() override {}
    void drawOverlay(const char*) override {}
    void showFrame() override { ++framesShown; }
};

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
