// Presentation until the DirectDraw layer lands: every step succeeds and nothing is shown.
#include "presentation.h"

#include <cstdio>

long createDirectDraw() { return 0; }
bool directDrawExists() { return true; }
bool checkDesktopFormat() { return true; }
long setupPresentation() { return 0; }
long setDisplayPalette(const PaletteBlock&) { return 0; }
void presentFrameCopy() {}
void presentOverlay(const char*) {}
void presentShow() {}
bool lockTextSurface(const uint8_t**, long*) { return false; }
void unlockTextSurface() {}
void drawTextSurface(const char*) {}
int presentationBytesPerPixel() { return 1; }
void releasePresentation() {}
void markWindowMoved() {}
void directDrawErrorText(long code, char* buffer, unsigned size) {
    std::snprintf(buffer, size, "%s", code == 0 ? "OK!!!" : "Unknown DirectDraw error");
}
