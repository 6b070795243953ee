// Presentation through DirectDraw: the display set-up for full screen and windowed mode, the
// frame copy into the back surface, the flip or window blit, the text surface and the release.
#pragma once
#include <cstdint>

struct PaletteBlock;

// Creates the DirectDraw object on the default display device (Init step 10). 0 on success.
long createDirectDraw();
bool directDrawExists();
// Windowed mode: reads the desktop format; false when its depth is not 8, 16 or 24 bits.
bool checkDesktopFormat();
// Sets up the surfaces for the current window mode. 0 or the first failing DirectDraw result.
long setupPresentation();
// The display side of applyPalette.
long setDisplayPalette(const PaletteBlock& palette);
// Frame loop steps.
void presentFrameCopy();
void presentOverlay(const char* text);
void presentShow();
bool lockTextSurface(const uint8_t** pixels, long* pitch);
void unlockTextSurface();
void drawTextSurface(const char* text);
int presentationBytesPerPixel();
// Releases the palette object, the surfaces and the DirectDraw object (Quit).
void releasePresentation();
// Set when the window moved or changed size.
void markWindowMoved();
// The text of a DirectDraw result for messages.
void directDrawErrorText(long code, char* buffer, unsigned size);
