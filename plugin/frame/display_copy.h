// The frame copy: the 8-bit indexed frame into a locked surface, through one of the four
// display functions and converted to the surface's pixel depth.
#pragma once
#include "media/palettes.h"

#include <cstdint>

constexpr int kDisplayNormal = 0;       // "Normal 1x1"
constexpr int kDisplayKaleidoscope = 1; // "Kaleidoscope 2x2"
constexpr int kDisplayWeidth = 2;       // "Weidth 2x1"
constexpr int kDisplayHeight = 3;       // "Height 1x2"

// Copies the width x height frame (one palette index per byte, rows width bytes apart) into
// destination, whose rows are pitch bytes apart (as the surface lock reports; never assumed to
// be width x bytes per pixel). Which source pixel each destination pixel shows:
//   0 Normal:       (x, y) <- (x, y)
//   1 Kaleidoscope: (k, r), (W-1-k, r), (k, H-1-r), (W-1-k, H-1-r) <- (2k, 2r)
//   2 Weidth:       (x, r), (x, H-1-r) <- (x, 2r)
//   3 Height:       (k, y), (W-1-k, y) <- (2k, y)
// A display outside 0..3 is taken as 0. pixelDepth 8 writes the index itself, 16 writes
// palette.pixels16[index], 24 writes bits 0-7, 8-15 and 16-23 of palette.pixels32[index] as
// three bytes, 32 writes palette.pixels32[index] as it stands; any other depth writes nothing.
// Every destination pixel of the width x height area is written (for an odd size the middle column
// or row shows the last source column or row) and no byte outside it; the destination is never
// read. The 24-bit vector rows store 16 bytes for every 12, so some bytes inside a row are written
// twice, the right value last.
void copyFrame(const uint8_t* frame, int width, int height, int display, uint8_t* destination,
               long pitch, int pixelDepth, const PaletteBlock& palette);

// The same copy with plain C++ row loops only: what copyFrame does where no vector unit is
// available. copyFrame chooses its loops per copy by cpuFeatures() (base/cpu_features.h): for
// the mirrored 8-bit rows AVX-512VBMI, else SSE2; for the 16-bit rows AVX-512BW, else AVX2; for
// the 24- and 32-bit rows AVX-512VBMI, else AVX2. The tests check them all.
void copyFrameGeneric(const uint8_t* frame, int width, int height, int display,
                      uint8_t* destination, long pitch, int pixelDepth,
                      const PaletteBlock& palette);

// The copy of copyFrame with every frame pixel shown as a scale x scale block: destination
// pixel (X, Y) shows what copyFrame would put at (X / scale, Y / scale). The width x scale by
// height x scale area is written in full, and nothing outside it; rows are pitch bytes apart. A
// scale below 1, a size of 0 or an unknown depth writes nothing.
void copyFrameScaled(const uint8_t* frame, int width, int height, int display, uint8_t* destination,
                     long pitch, int pixelDepth, const PaletteBlock& palette, int scale);

// The loops copyFrame uses now for a depth, named by the instruction sets they need:
// "avx512vbmi", "avx512bw", "avx2", "sse2" or "scalar" ("scalar" for a depth it does not copy).
const char* frameCopyLoops(int pixelDepth);
// The widest of them over the four depths.
const char* frameCopyKernels();

// The frame loop's copy into the locked back surface: plugin.currentBuffer at frameWidth x
// frameHeight with plugin.currentDisplay (a value outside 0..3 is corrected to 0 first),
// pixelFormat.pixelDepth and *currentPaletteEntries.
void copyCurrentFrame(uint8_t* destination, long pitch);
