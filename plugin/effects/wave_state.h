// The private state the waves keep from frame to frame. It lives for the life of the plug-in
// and survives switching to other waves and back; resetEffectState() (effect_state.h) restores it.
#pragma once
#include "effects/draw.h"

struct LineHorState {
    int lastLevel = 0;
};

struct WalkingState {
    int walkX = 128;
};

struct FallingState {
    int fallY = 0;
};

struct Vell0State {
    int fly1X = 160, fly1Y = 100;
    int fly2X = 160, fly2Y = 100;
};

struct OmbixState {
    bool started = false;
    int phaseX = 40, phaseY = 0;
    int ring1X = 0, ring1Y = 0, ring2X = 0, ring2Y = 0;
};

struct CornerState {
    BeatState beat;
    int cornerX = 0, cornerY = 0;
};

struct LaserState {
    int laser1X = 0, laser2X = 0;
};

// "Pyro": 20 groups of 21 slots; the first slot of a group is a rocket, the others its sparks.
constexpr int kPyroSlots = 420;
constexpr int kPyroGroup = 21;
constexpr int kPyroSparksPerBurst = 19; // a burst leaves the group's last slot alone
struct PyroSlot {
    int vx, vy, x, y, age, colour; // age -1: free
};
struct PyroState {
    bool started = false;
    PyroSlot slots[kPyroSlots] = {};
    int launchSpeed = 0;
};

struct SpiralState {
    int colourPhase = 0, anglePhase = 0, changeTimer = 0, multiplier = 0, lastVolume = 0;
};

constexpr int kWarpStars = 20;
struct WarpStar {
    int radius, radiusStep, angle, angleStep, rays, colour, slowdown; // radius -1: free
};
struct WarpState {
    bool started = false;
    WarpStar stars[kWarpStars] = {};
    int centreX = 0, centreY = 0, maxRadius = 0;
};

constexpr int kSchoolFish = 30;
struct Fish {
    double vx, vy;
    int x, y, colour;
};
struct SchoolState {
    bool started = false;
    Fish fish[kSchoolFish] = {};
    int kicks = 0, nextFish = 0;
    int heading = 45; // degrees
    int speed = 0;
};

struct WaveState {
    LineHorState lineHor;
    WalkingState walking;
    FallingState falling;
    Vell0State vell0;
    OmbixState ombix;
    CornerState corner;
    LaserState laser;
    PyroState pyro;
    SpiralState spiral;
    WarpState warp;
    SchoolState school;
};

extern WaveState waveState;
