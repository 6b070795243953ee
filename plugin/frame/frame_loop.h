// The frame loop: one call builds one frame from the host's audio and puts it on the screen.
#pragma once
#include <cstdint>

// What the loop needs from the platform layer (the host's player window, the clock, the text
// surface and the display). The Windows layer implements it with Win32 and DirectDraw; tests
// implement it with fakes.
class FramePlatform {
  public:
    virtual ~FramePlatform() = default;
    virtual uint32_t tickCount() = 0;
    // Play position of the current song in milliseconds (0 without a player window).
    virtual uint32_t playPosition() = 0;
    // The player window's title, at most size - 1 characters ("" without a player window).
    virtual void playerTitle(char* buffer, int size) = 0;
    // Draws the song-text part into the text surface.
    virtual void drawSongText(const char* text) = 0;
    // Locks the text surface for reading; false when it cannot be locked.
    virtual bool lockTextSurface(const uint8_t** pixels, long* pitch) = 0;
    virtual void unlockTextSurface() = 0;
    // Bytes per pixel of the text and back surfaces (pixelDepth / 8).
    virtual int bytesPerPixel() = 0;
    // Copies currentBuffer into the back surface through the current display function.
    virtual void copyFrame() = 0;
    // Draws the effect-information line over the back surface.
    virtual void drawOverlay(const char* text) = 0;
    // Flips (full screen) or blits into the window.
    virtual void showFrame() = 0;
};

// Weights the spectrum of both channels in place for analyser mode:
// v = min(255, trunc((i + 220) * v * (float)(1/220))).
void weightSpectrum(uint8_t spectrum[2][576]);

// The largest of the eight lowest bins of both channels.
int bassLevel(const uint8_t spectrum[2][576]);

// One frame. spectrum and waveform are the host's arrays (the spectrum is weighted in place in
// analyser mode).
void renderFrame(FramePlatform& platform, uint8_t spectrum[2][576], uint8_t waveform[2][576]);

// A test seam: when set, called inside the guarded flame and wave steps and, by the platform,
// inside the frame copy while the back surface is locked (a test build uses it to inject
// faults). Null in normal use.
enum class FrameStep { Flame, Wave, Copy };
extern void (*frameFaultHook)(FrameStep step);

// Shows text over the frame, in the place of the effect information, for the first
// kNoticeMilliseconds of frames from the next one (Init uses it to say how it presents the frame
// when it had to fall back). A longer text is cut.
constexpr uint32_t kNoticeMilliseconds = 5000;
void showNotice(const char* text);

// Clears the once-per-library frame-loop state (countdowns, intro, overlay); tests use it.
void resetFrameLoop();
