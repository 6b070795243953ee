// Presentation through DirectDraw: the display set-up for full screen and windowed mode, the
// frame copy into the back surface, the flip or window blit, the text surface and the release.
#pragma once
#include "frame/desktop_view.h"

#include <cstdint>

struct PaletteBlock;

// Creates the DirectDraw object on the default display device (Init step 10). 0 on success.
long createDirectDraw();
bool directDrawExists();
// Reads the desktop format into pixelFormat; false when it is not one the frame copy writes
// (8, 16, 24 or 32 bits).
bool checkDesktopFormat();
// The full rectangle of the monitor the player's window is on, in screen coordinates.
struct MonitorArea {
    int x, y, width, height;
};
MonitorArea playerMonitor();
// Sets up the window and the surfaces for one way of presenting: the display mode change and
// flip chain, the borderless window over the player's monitor, the resolution row's window or
// the 640x480 window. 0 or the first failing DirectDraw result (DDERR_INVALIDPIXELFORMAT for a
// desktop the frame copy cannot write).
long setupPresentation(PresentationWay way);
// After a failed setupPresentation: releases the palette object and the surfaces and gives the
// display mode back, keeping the DirectDraw object for the next way.
void abandonPresentation();
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
