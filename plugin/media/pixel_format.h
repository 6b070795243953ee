// The pixel format of the surface the frame is copied into: its depth and, on 16-, 24- and
// 32-bit desktops, the channel masks the desktop reports.
#pragma once
#include <cstdint>

struct PixelFormat {
    int pixelDepth = 8; // bits per pixel: 8, 16, 24 or 32 (anything else gets no frame copy)
    uint32_t redMask = 0;
    uint32_t greenMask = 0;
    uint32_t blueMask = 0;
    int redBits = 0; // set bits in each mask
    int greenBits = 0;
    int blueBits = 0;
};

// The number of set bits over all 32 positions of mask.
inline int countMaskBits(uint32_t mask) {
    int count = 0;
    for (int bit = 0; bit < 32; ++bit) count += (mask >> bit) & 1u;
    return count;
}

// A format with the given depth and masks, its bit counts filled in.
inline PixelFormat makePixelFormat(int pixelDepth, uint32_t redMask, uint32_t greenMask,
                                   uint32_t blueMask) {
    PixelFormat format;
    format.pixelDepth = pixelDepth;
    format.redMask = redMask;
    format.greenMask = greenMask;
    format.blueMask = blueMask;
    format.redBits = countMaskBits(redMask);
    format.greenBits = countMaskBits(greenMask);
    format.blueBits = countMaskBits(blueMask);
    return format;
}

// The windowed desktop check: format gets the desktop's depth and, when the frame can be shown
// at that depth (8, 16, 24 or 32 bits per pixel), its masks; false for any other depth. A
// 32-bit desktop that reports no masks is taken as the usual X8R8G8B8.
inline bool acceptDesktopFormat(int depth, uint32_t redMask, uint32_t greenMask, uint32_t blueMask,
                                PixelFormat& format) {
    format.pixelDepth = depth;
    if (depth != 8 && depth != 16 && depth != 24 && depth != 32) return false;
    if (depth == 32 && redMask == 0 && greenMask == 0 && blueMask == 0) {
        redMask = 0xFF0000u;
        greenMask = 0x00FF00u;
        blueMask = 0x0000FFu;
    }
    format = makePixelFormat(depth, redMask, greenMask, blueMask);
    return true;
}

// The format of the back surface. The Windows layer sets it during the desktop format check
// (windowed) or the full-screen set-up (8 bits, no masks); palettes read it to compute their
// pixel forms.
extern PixelFormat pixelFormat;
