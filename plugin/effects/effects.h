// The effect tables (waves, flames, display functions), the two frame buffers and the shared
// wave tables: waveColours and the three sine tables.
#pragma once
#include <cstdint>

constexpr int kWaveCount = 20;
constexpr int kFlameCount = 16;
constexpr int kDisplayCount = 4;
constexpr int kAudioBlockSize = 1152; // channel 0 in bytes 0..575, channel 1 in 576..1151
constexpr int kChannelSamples = 576;

// A wave draws the audio block into the frame (currentBuffer).
using WaveFunction = void (*)(uint8_t* frame, const uint8_t* audio);
// A flame turns previousBuffer (the last frame) into the start of the new currentBuffer.
using FlameFunction = void (*)();

struct EffectEntry {
    WaveFunction wave;   // set in waveTable entries
    FlameFunction flame; // set in flameTable entries; display entries have neither
    int32_t enabled;
    char name[20];
    char description[100];
};

extern const EffectEntry waveTable[kWaveCount];
extern const EffectEntry flameTable[kFlameCount];
extern const EffectEntry displayTable[kDisplayCount];

// Shared wave tables, built at start.
extern int waveColours[512];
extern double sineByDegree[360];
extern int sineAcrossWidth[640]; // first frameWidth entries are used
extern int sine640[640];

// waveColours: k for 0..255, 511 - k for 256..511.
void buildWaveColours();
// sineByDegree, sine640 and sineAcrossWidth (which needs frameWidth).
void buildSineTables();

// Allocates currentBuffer and then previousBuffer, frameWidth x (frameHeight + 2) bytes each,
// zero-filled. False when either fails (what was obtained stays allocated for freeFrameBuffers).
bool allocateFrameBuffers();
void freeFrameBuffers();
// Frame loop step: exchange currentBuffer and previousBuffer.
void exchangeFrameBuffers();

// Wave functions, by table index.
void waveDotHor(uint8_t* frame, const uint8_t* audio);
void waveDotVert(uint8_t* frame, const uint8_t* audio);
void waveLineHor(uint8_t* frame, const uint8_t* audio);
void waveLineVert(uint8_t* frame, const uint8_t* audio);
void waveSpike(uint8_t* frame, const uint8_t* audio);
void waveSpikeHollow(uint8_t* frame, const uint8_t* audio);
void waveWalking(uint8_t* frame, const uint8_t* audio);
void waveFalling(uint8_t* frame, const uint8_t* audio);
void waveLissa(uint8_t* frame, const uint8_t* audio);
void waveLight(uint8_t* frame, const uint8_t* audio);
void waveVell0(uint8_t* frame, const uint8_t* audio);
void waveVell2(uint8_t* frame, const uint8_t* audio);
void waveOmbix(uint8_t* frame, const uint8_t* audio);
void wavePyro(uint8_t* frame, const uint8_t* audio);
void waveSpiral(uint8_t* frame, const uint8_t* audio);
void waveWarp(uint8_t* frame, const uint8_t* audio);
void waveCorner(uint8_t* frame, const uint8_t* audio);
void waveLaser(uint8_t* frame, const uint8_t* audio);
void waveObjects(uint8_t* frame, const uint8_t* audio);
void waveSchool(uint8_t* frame, const uint8_t* audio);

// Flame functions, by table index.
void flameClear();
void flameOverwrite();
void flameUpSlow();
void flameUpFast();
void flameLeftSlow();
void flameLeftFast();
void flameRightSlow();
void flameRightFast();
void flameWater();
void flameWaterSubtle();
void flameSkyline();
void flameWeird();
void flameZzz();
void flameFade();
void flameDown();
void flameTest();
// Builds quarterFade, halfFade and any other flame look-up tables; called once at start.
void buildFlameTables();
