#include "settings.h"
#include "instance.h"

Settings settings;

const ResolutionRow resolutionTable[kResolutionCount] = {
    {"640x480 (256 colors) full screen", 640, 480, 300, 150, 0, 0},
    {"640x400 (256 colors) full screen", 640, 400, 300, 150, 0, 0},
    {"320x240 (256 colors) full screen", 320, 240, 150, 75, 1, 0},
    {"320x200 (256 colors) full screen", 320, 200, 150, 75, 1, 0},
    {"640x480 windowed", 640, 480, 300, 150, 0, 1},
    {"640x400 windowed", 640, 400, 300, 150, 0, 1},
    {"320x240 windowed", 320, 240, 150, 75, 1, 1},
    {"320x200 windowed", 320, 200, 150, 75, 1, 1},
    {"160x120 windowed", 160, 120, 100, 60, 1, 1},
};

void applyResolution() {
    int index = settings.Resolution;
    if (index < 0 || index >= kResolutionCount) index = 0;
    const ResolutionRow& row = resolutionTable[index];
    plugin.frameWidth = row.frameWidth;
    plugin.frameHeight = row.frameHeight;
    plugin.textSurfaceWidth = row.textSurfaceWidth;
    plugin.textSurfaceHeight = row.textSurfaceHeight;
    plugin.modeX = row.modeX;
    plugin.windowMode = row.windowMode;
}
