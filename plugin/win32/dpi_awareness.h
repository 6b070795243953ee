// DPI awareness of the plug-in's window. A player that is not DPI aware gets every window of its
// threads scaled by the system: at 150 % a 1920x1080 monitor reads as 1280x720 and whatever the
// window shows is stretched, blurrily. The plug-in makes its own window per-monitor DPI aware
// where the system offers that for a thread (Windows 10 1607 and later), so that it measures and
// draws in physical pixels.
#pragma once
#include <windows.h>

// Makes the calling thread per-monitor DPI aware for the scope's life, where the system offers
// it, and gives the thread its previous awareness back at the end: the player's thread is the
// player's. Init creates the window inside one (a window keeps the awareness it was created
// with), and every Render runs inside one, since the coordinates a thread reads follow its own
// awareness.
class PerMonitorDpiScope {
  public:
    PerMonitorDpiScope();
    ~PerMonitorDpiScope();
    PerMonitorDpiScope(const PerMonitorDpiScope&) = delete;
    PerMonitorDpiScope& operator=(const PerMonitorDpiScope&) = delete;
    // True when the thread is per-monitor aware now.
    bool active() const { return previous_ != nullptr; }

  private:
    void* previous_ = nullptr;
};

// True when the calling thread is per-monitor DPI aware now.
bool threadPerMonitorAware();

// The DPI of the monitor a window is on, as its coordinates see it: 96 (100 %) for a window that
// is not per-monitor aware or where the system cannot tell.
int windowDpi(HWND window);

// AdjustWindowRectEx for a window at that DPI (the frame and caption grow with it).
void adjustWindowRectForDpi(RECT& rect, DWORD style, bool menu, DWORD exStyle, int dpi);
