// The test platform of the frame loop: a clock, a player title and play position set by the
// test, no text surface, and counts of what the loop asked for. The frame-loop tests and the
// soak (tests/programs/soak.cpp) use it.
#pragma once
#include "frame/frame_loop.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class FakePlatform : public FramePlatform {
  public:
    uint32_t ticks = 0;
    std::vector<std::string> overlays; // the first 64 drawOverlay texts, in order
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
    void drawOverlay(const char* text) override {
        if (overlays.size() < 64) overlays.emplace_back(text);
    }
    void showFrame() override { ++framesShown; }
};
