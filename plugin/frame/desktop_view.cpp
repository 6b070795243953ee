#include "frame/desktop_view.h"

#include <cstdint>

DesktopPlacement placeOnMonitor(int frameWidth, int frameHeight, int monitorWidth,
                                int monitorHeight) {
    if (frameWidth <= 0 || frameHeight <= 0 || monitorWidth <= 0 || monitorHeight <= 0)
        return {0, 0, 0, 0, 0};
    const int across = monitorWidth / frameWidth;
    const int down = monitorHeight / frameHeight;
    const int scale = across < down ? across : down;
    int width, height;
    if (scale >= 1) {
        width = frameWidth * scale;
        height = frameHeight * scale;
    } else if (int64_t(monitorWidth) * frameHeight <= int64_t(monitorHeight) * frameWidth) {
        // The monitor is narrower than the frame's aspect: the width fills it.
        width = monitorWidth;
        height = int(int64_t(frameHeight) * monitorWidth / frameWidth);
    } else {
        height = monitorHeight;
        width = int(int64_t(frameWidth) * monitorHeight / frameHeight);
    }
    return {scale, (monitorWidth - width) / 2, (monitorHeight - height) / 2, width, height};
}

int presentationWays(bool fullScreenRow, bool fullScreenOnDesktop,
                     PresentationWay ways[kMaxPresentationWays]) {
    int count = 0;
    if (!fullScreenRow)
        ways[count++] = PresentationWay::Window;
    else if (!fullScreenOnDesktop)
        ways[count++] = PresentationWay::ModeChange;
    ways[count++] = PresentationWay::DesktopFullScreen;
    ways[count++] = PresentationWay::Window640;
    return count;
}

const char* presentationWayName(PresentationWay way) {
    switch (way) {
    case PresentationWay::ModeChange:
        return "full screen display mode";
    case PresentationWay::DesktopFullScreen:
        return "full screen on the desktop";
    case PresentationWay::Window:
        return "window";
    case PresentationWay::Window640:
        return "640x480 window";
    }
    return "";
}

const char* fallbackInfoText(PresentationWay first, PresentationWay shown) {
    const bool onDesktop = shown == PresentationWay::DesktopFullScreen;
    if (first == PresentationWay::Window)
        return onDesktop ? "The window could not be set up: shown on the desktop"
                         : "The window could not be set up: shown in a 640x480 window";
    return onDesktop ? "Full screen mode could not be set: shown on the desktop"
                     : "Full screen mode could not be set: shown in a window";
}
