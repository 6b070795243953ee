// Full screen on the desktop: where the frame goes on a monitor without a display mode change,
// and the order of the ways of presenting that Init tries when one fails.
#pragma once

// The frame's place on a monitor of monitorWidth x monitorHeight pixels, from its top left.
// scale is the largest whole factor that fits both ways; where none >= 1 fits, scale is 0 and
// the frame is fitted with its aspect kept (width and height then follow the narrower way).
// The rest of the monitor is black. Sizes of 0 or less give an empty placement.
struct DesktopPlacement {
    int scale;
    int x, y, width, height;
};
DesktopPlacement placeOnMonitor(int frameWidth, int frameHeight, int monitorWidth,
                                int monitorHeight);

// The ways of presenting, in the order Init tries them.
enum class PresentationWay {
    ModeChange,        // the resolution row's full-screen display mode and flip chain
    DesktopFullScreen, // a borderless window over the whole monitor, at the desktop's depth
    Window,            // the resolution row's window
    Window640,         // a 640x480 window at the desktop's depth, the last resort
};
constexpr int kMaxPresentationWays = 3;

// The ways to try for a resolution row (full screen or windowed) and the full-screen setting,
// first choice first; returns how many were written into ways. Every way appears once.
int presentationWays(bool fullScreenRow, bool fullScreenOnDesktop,
                     PresentationWay ways[kMaxPresentationWays]);

// What a way is called in the error log's line about a fall-back.
const char* presentationWayName(PresentationWay way);

// The info line shown once when Init could not present the first way and shows shown instead.
const char* fallbackInfoText(PresentationWay first, PresentationWay shown);
