// Full screen on the desktop: where the frame goes on a monitor without a display mode change,
// and the order of the ways of presenting that Init tries when one fails.
#pragma once
#include <cstddef>

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

// A length of 100 % pixels at a monitor's dpi (96 is 100 %, 144 is 150 %), rounded to the
// nearest pixel: the size a per-monitor DPI aware window gives what a window that is not aware
// shows at that size, stretched by the system. A dpi of 0 or less counts as 96.
int scaleForDpi(int length, int dpi);

// The frame placed by whole pixels in a window whose client area is viewWidth x viewHeight at
// 100 %, the window being per-monitor DPI aware on a monitor of dpi: the client area is
// scaleForDpi of the view, and the frame gets the largest whole factor that fits it.
DesktopPlacement placeInScaledView(int frameWidth, int frameHeight, int viewWidth, int viewHeight,
                                   int dpi);

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

// A way that Init tried and could not set up, with the DirectDraw result it failed with.
struct PresentationFailure {
    PresentationWay way;
    long code;
};

// The error log's line about a fall-back that worked, for instance "Presentation: full screen
// display mode failed (80004001 DDERR_UNSUPPORTED); shown as full screen on the desktop", with
// every failed way in the order tried. Cut to size - 1 characters.
void formatFallbackLogLine(char* out, size_t size, const PresentationFailure* failures, int count,
                           PresentationWay shown);
