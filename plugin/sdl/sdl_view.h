// The native program's window: an SDL window and renderer, the frame (through the display
// function and the palette) in a streaming texture scaled with its aspect kept, the song-text
// surface and the effect-information line drawn with a TrueType font. It is the frame loop's
// FramePlatform; the clock, play position and title are set by the program before each frame.
#pragma once
#include "frame/frame_loop.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdint>
#include <string>
#include <vector>

class SdlView : public FramePlatform {
  public:
    ~SdlView() override;
    // Opens the window at the frame size (or over the desktop when fullScreen), the renderer and
    // the textures, and looks for the fonts. False with a reason when there is no window.
    bool open(bool fullScreen, std::string& error);
    void close();
    // Full screen over the desktop: through the window manager, or where none runs that does
    // it (a bare X server), as a borderless window of the display's size.
    void setFullScreen(bool on);
    bool isFullScreen() const;
    void toggleFullScreen();
    void resizeWindow(int width, int height);
    // A message about the fonts (none found) for the log; "" when they were found.
    const std::string& fontProblem() const { return fontProblem_; }

    // Saves the frame as last shown (frame size, after the display function) as a BMP file,
    // or PNG for a name ending in ".png".
    bool saveFrame(const std::string& path, std::string& error) const;
    // The next showFrame keeps the window's picture (the frame scaled into the window, the rest
    // black), which saveWindow then saves as saveFrame does.
    void keepWindowPicture() { keepWindow_ = true; }
    bool saveWindow(const std::string& path, std::string& error) const;
    // The frame as last shown, 0x00RRGGBB per pixel, frameWidth x frameHeight.
    const std::vector<uint32_t>& shownPixels() const { return back_; }

    // Set by the program before each frame.
    uint32_t ticks = 0;
    uint32_t position = 0;
    std::string title;

    uint32_t tickCount() override { return ticks; }
    uint32_t playPosition() override { return position; }
    void playerTitle(char* buffer, int size) override;
    void drawSongText(const char* text) override;
    bool lockTextSurface(const uint8_t** pixels, long* pitch) override;
    void unlockTextSurface() override {}
    int bytesPerPixel() override { return 1; }
    void copyFrame() override;
    void drawOverlay(const char* text) override;
    void showFrame() override;

  private:
    TTF_Font* font(int typeface, int height);
    void resizeSurfaces();
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    bool ttfStarted_ = false;
    int width_ = 0, height_ = 0;
    std::vector<uint32_t> back_; // the back surface, 32 bits a pixel
    std::vector<uint8_t> text_;  // the text surface, one byte a pixel (0 background)
    std::vector<std::string> typefaces_;
    struct OpenFont {
        int typeface, height;
        TTF_Font* font;
    };
    std::vector<OpenFont> fonts_;
    std::string fontProblem_;
    bool keepWindow_ = false;
    std::vector<uint32_t> picture_; // the window's picture kept, 0x00RRGGBB
    int windowWidth_ = 0, windowHeight_ = 0;
    bool ownFullScreen_ = false;       // full screen as a borderless window of our own
    SDL_Rect windowed_ = {0, 0, 0, 0}; // the window's place before that
};
