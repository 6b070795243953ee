// Drawing routines shared by the waves and the letter objects, and the two audio measures.
// Every routine draws into a frame of plugin.frameWidth x plugin.frameHeight pixels and
// never writes outside its W x H image bytes.
#pragma once
#include "base/instance.h"

#include <cstdint>

// Writes pixel (x, y) when it lies inside the frame; otherwise nothing.
void putPixel(uint8_t* frame, int x, int y, int colour);

// A column from yA to yB (either order), both ends clamped into 0..H-1. x is not clipped: an
// x outside 0..W-1 lands on a neighbouring row. Byte 0 and bytes from W*H on are never written.
void drawVerticalLine(uint8_t* frame, int yA, int yB, int x, int colour);

// A row from xA to xB (either order) on row y. When both ends lie left of the frame (or both
// at or right of its width) they are moved by whole widths together until one is inside; then
// each is clamped into 0..W-1. Byte 0 and bytes from W*H on are never written.
void drawHorizontalLine(uint8_t* frame, int xA, int xB, int y, int colour);

// A line from (x1, y1) towards (x2, y2) with the end point itself not drawn. The ends are
// clamped into 0..W and 0..H first (W and H themselves allowed, so x = W lands on column 0 of
// the next row). Byte 0 and bytes from W*H on are never written.
void drawLine(uint8_t* frame, int x1, int y1, int x2, int y2, int colour);

// sineByDegree[a mod 360] for any a, negative ones included.
double sinDegrees(int a);

// The level of channel ch (0 or 1) at position k: the raw byte XOR plugin.sampleBias. The
// block is read as a ring of 1152 bytes: a position past the end of channel 0 continues into
// channel 1, and one past the end of channel 1 continues at the start of channel 0.
inline int sampleLevel(const uint8_t* audio, int ch, int k) {
    return audio[(576 * ch + k) % 1152] ^ plugin.sampleBias;
}

// Audio activity: the sum of the 575 absolute differences between neighbouring raw bytes of
// channel ch.
int act(const uint8_t* audio, int ch);

// Volume history of a beat detector.
struct BeatState {
    int lastVolume = 0;
    int riseTotal = 0;
};

struct BeatMeasure {
    int beat;
    int volume;
};

// The volume is the mean activity of both channels / 288, falling by at most 9 per frame. A
// beat is reported on the first falling frame after a rise, with the size of the whole rise.
BeatMeasure measureBeat(BeatState& state, const uint8_t* audio);

// The beat detector shared by "Pyro", "Warp" and "School".
extern BeatState beatState;
