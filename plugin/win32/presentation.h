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
// Frame loop steps. The frame copy first restores the surfaces that report lost, and sets the
// way of showing up anew where that cannot bring them back or the display changed.
void presentFrameCopy();
void presentOverlay(const char* text);
void presentShow();
bool lockTextSurface(const uint8_t** pixels, long* pitch);
void unlockTextSurface();
void drawTextSurface(const char* text);
int presentationBytesPerPixel();
// Releases the palette object, the surfaces and the DirectDraw object (Quit).
void releasePresentation();
// The window moved or changed size (WM_MOVE, WM_SIZE): the blit's target is read anew, and full
// screen on the desktop that is no longer exactly over its monitor is placed anew.
void markWindowMoved();
// The display changed (WM_DISPLAYCHANGE: another size or depth, a monitor added or gone): the
// next frame sets the way of showing up anew for the display as it is.
void presentationDisplayChanged();
// The window's monitor has another DPI (WM_DPICHANGED), with the window rectangle the system
// suggests for it (may be null): windows take it, and the frame is placed anew.
struct tagRECT;
void presentationDpiChanged(const tagRECT* suggested);
// The text of a DirectDraw result for messages.
void directDrawErrorText(long code, char* buffer, unsigned size);
