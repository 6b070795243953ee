// Placeholder bodies until the effects land: every wave draws nothing and every flame but
// "Clear" leaves the frame as the exchange made it.
#include "effects.h"
#include "instance.h"

#include <cstring>

void waveDotHor(uint8_t*, const uint8_t*) {}
void waveDotVert(uint8_t*, const uint8_t*) {}
void waveLineHor(uint8_t*, const uint8_t*) {}
void waveLineVert(uint8_t*, const uint8_t*) {}
void waveSpike(uint8_t*, const uint8_t*) {}
void waveSpikeHollow(uint8_t*, const uint8_t*) {}
void waveWalking(uint8_t*, const uint8_t*) {}
void waveFalling(uint8_t*, const uint8_t*) {}
void waveLissa(uint8_t*, const uint8_t*) {}
void waveLight(uint8_t*, const uint8_t*) {}
void waveVell0(uint8_t*, const uint8_t*) {}
void waveVell2(uint8_t*, const uint8_t*) {}
void waveOmbix(uint8_t*, const uint8_t*) {}
void wavePyro(uint8_t*, const uint8_t*) {}
void waveSpiral(uint8_t*, const uint8_t*) {}
void waveWarp(uint8_t*, const uint8_t*) {}
void waveCorner(uint8_t*, const uint8_t*) {}
void waveLaser(uint8_t*, const uint8_t*) {}
void waveObjects(uint8_t*, const uint8_t*) {}
void waveSchool(uint8_t*, const uint8_t*) {}

void flameClear() {
    std::memset(plugin.currentBuffer, 0, static_cast<size_t>(plugin.frameWidth) * plugin.frameHeight);
}
void flameOverwrite() {}
void flameUpSlow() {}
void flameUpFast() {}
void flameLeftSlow() {}
void flameLeftFast() {}
void flameRightSlow() {}
void flameRightFast() {}
void flameWater() {}
void flameWaterSubtle() {}
void flameSkyline() {}
void flameWeird() {}
void flameZzz() {}
void flameFade() {}
void flameDown() {}
void flameTest() {}
void buildFlameTables() {}
