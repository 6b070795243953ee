#include "win32/presentation.h"

#include "effects/effects.h"
#include "base/instance.h"
#include "base/guard.h"
#include "base/random.h"
#include "frame/ddraw_errors.h"
#include "frame/desktop_view.h"
#include "frame/display_copy.h"
#include "media/palettes.h"
#include "media/pixel_format.h"
#include "frame/frame_loop.h"
#include "win32/dpi_awareness.h"
#include "win32/test_hooks.h"

#include <windows.h>
#include <ddraw.h>

#include <cstdio>
#include <cstring>

namespace {
const char kSource[] = "quorbel_plugin";

IDirectDraw* directDraw = nullptr;
IDirectDrawSurface* primarySurface = nullptr;
IDirectDrawSurface* backSurface = nullptr;
IDirectDrawSurface* textSurface = nullptr;
IDirectDrawPalette* screenPalette = nullptr;
bool windowMoved = true;
RECT destRect = {};
RECT clientRect = {};
PresentationWay presentedWay = PresentationWay::ModeChange;
// The desktop ways: the frame's place in the client area, and the back surface's size (the
// frame times the whole factor, or the frame itself where the blit stretches it to fit).
DesktopPlacement placement = {};
int backWidth = 0, backHeight = 0;

const char* const kTypefaces[4] = {"Arial", "Courier New", "Script", "Times New Roman"};

HWND visWindow() {
    return static_cast<HWND>(plugin.visWindow);
}

template <class T> void release(T*& object) {
    if (object) object->Release();
    object = nullptr;
}

// Surfaces the test build has made report lost (QUORBEL_TEST_LOSE_SURFACES_AT): each answers
// DDERR_SURFACELOST, as DirectDraw answers for a lost surface, until it is restored.
IDirectDrawSurface* markedLost[3] = {};

bool isMarkedLost(IDirectDrawSurface* surface) {
    if (!surface) return false;
    for (IDirectDrawSurface* marked : markedLost)
        if (marked == surface) return true;
    return false;
}

void unmarkLost(IDirectDrawSurface* surface) {
    for (IDirectDrawSurface*& marked : markedLost)
        if (marked == surface) marked = nullptr;
}

void clearLostMarks() {
    for (IDirectDrawSurface*& marked : markedLost) marked = nullptr;
}

void markEverySurfaceLost() {
    markedLost[0] = primarySurface;
    markedLost[1] = backSurface;
    markedLost[2] = textSurface;
}

// The surface calls of the frame, through the test build's lost marks.
HRESULT lockSurface(IDirectDrawSurface* surface, DDSURFACEDESC* desc, DWORD flags) {
    if (isMarkedLost(surface)) return DDERR_SURFACELOST;
    return surface->Lock(nullptr, desc, flags, nullptr);
}

HRESULT getSurfaceDC(IDirectDrawSurface* surface, HDC* dc) {
    if (isMarkedLost(surface)) return DDERR_SURFACELOST;
    return surface->GetDC(dc);
}

HRESULT blt(IDirectDrawSurface* target, RECT* targetRect, IDirectDrawSurface* source,
            RECT* sourceRect, DWORD flags, DDBLTFX* effects) {
    if (isMarkedLost(target) || isMarkedLost(source)) return DDERR_SURFACELOST;
    return target->Blt(targetRect, source, sourceRect, flags, effects);
}

HRESULT flip(IDirectDrawSurface* surface) {
    if (isMarkedLost(surface)) return DDERR_SURFACELOST;
    return surface->Flip(nullptr, 0);
}

// Restoring a flip chain's primary surface restores its back buffer with it.
HRESULT restoreSurface(IDirectDrawSurface* surface) {
    unmarkLost(surface);
    if (surface == primarySurface && presentedWay == PresentationWay::ModeChange)
        unmarkLost(backSurface);
    return surface->Restore();
}

DDSURFACEDESC describe(DWORD flags, DWORD caps) {
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = flags;
    desc.ddsCaps.dwCaps = caps;
    return desc;
}

HRESULT createTextSurface(DWORD extraCaps) {
    DDSURFACEDESC desc = describe(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH,
                                  DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY | extraCaps);
    desc.dwHeight = plugin.textSurfaceHeight;
    desc.dwWidth = plugin.textSurfaceWidth;
    return directDraw->CreateSurface(&desc, &textSurface, nullptr);
}

HRESULT setupFullScreen() {
    const DWORD modeXCaps = plugin.modeX ? DDSCAPS_MODEX : 0;
    HRESULT result = directDraw->SetCooperativeLevel(
        visWindow(), DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | (plugin.modeX ? DDSCL_ALLOWMODEX : 0));
    if (result != DD_OK) return result;
    result = directDraw->SetDisplayMode(plugin.frameWidth, plugin.frameHeight, 8);
    if (result != DD_OK) return result;
    DDSURFACEDESC desc =
        describe(DDSD_CAPS | DDSD_BACKBUFFERCOUNT,
                 DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | modeXCaps);
    desc.dwBackBufferCount = 1;
    result = directDraw->CreateSurface(&desc, &primarySurface, nullptr);
    if (result != DD_OK) return result;
    DDSCAPS backCaps = {DDSCAPS_BACKBUFFER};
    result = primarySurface->GetAttachedSurface(&backCaps, &backSurface);
    if (result != DD_OK) return result;
    DDSURFACEDESC backDesc = {};
    backDesc.dwSize = sizeof backDesc;
    result = backSurface->GetSurfaceDesc(&backDesc);
    if (result != DD_OK) return result;
    pixelFormat.pixelDepth = static_cast<int>(backDesc.ddpfPixelFormat.dwRGBBitCount);
    return createTextSurface(modeXCaps);
}

// The primary surface of the desktop, clipped to the plug-in window.
HRESULT createClippedPrimary(HWND window) {
    HRESULT result = directDraw->SetCooperativeLevel(window, DDSCL_NORMAL);
    if (result != DD_OK) return result;
    DDSURFACEDESC desc = describe(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE);
    result = directDraw->CreateSurface(&desc, &primarySurface, nullptr);
    if (result != DD_OK) return result;
    IDirectDrawClipper* clipper = nullptr;
    result = directDraw->CreateClipper(0, &clipper, nullptr);
    if (result != DD_OK) return result;
    result = clipper->SetHWnd(0, window);
    if (result == DD_OK) result = primarySurface->SetClipper(clipper);
    // The primary surface holds the clipper from here on; ours is not needed.
    clipper->Release();
    return result;
}

HRESULT createBackSurface(int width, int height) {
    DDSURFACEDESC backDesc = describe(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH, DDSCAPS_OFFSCREENPLAIN);
    backDesc.dwHeight = static_cast<DWORD>(height);
    backDesc.dwWidth = static_cast<DWORD>(width);
    return directDraw->CreateSurface(&backDesc, &backSurface, nullptr);
}

// Sizes the window so that its client area is width x height at 100 %, grown by the DPI of its
// monitor for a per-monitor aware window, with the frame and caption of a normal window (a
// full-screen popup that falls back becomes one). The DPI it was sized for.
int arrangeNormalWindow(HWND window, int width, int height) {
    if (static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & WS_POPUP) {
        SetWindowLongA(window, GWL_STYLE, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        SetWindowLongA(window, GWL_EXSTYLE, 0);
        SetWindowTextA(window, "Quorbel-4-MODPlug");
    }
    const int dpi = windowDpi(window);
    RECT rect = {0, 0, scaleForDpi(width, dpi), scaleForDpi(height, dpi)};
    adjustWindowRectForDpi(rect, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)),
                           GetMenu(window) != nullptr,
                           static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)), dpi);
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return dpi;
}

HRESULT createWindowedSurfaces() {
    HRESULT result = createClippedPrimary(visWindow());
    if (result != DD_OK) return result;
    result = createBackSurface(plugin.frameWidth, plugin.frameHeight);
    if (result != DD_OK) return result;
    return createTextSurface(0);
}

HRESULT setupWindowed() {
    arrangeNormalWindow(visWindow(), plugin.frameWidth, plugin.frameHeight);
    return createWindowedSurfaces();
}

// The frame shown at its place in the client area, at the desktop's depth, the rest black.
HRESULT setupDesktopView(const DesktopPlacement& place) {
    if (!checkDesktopFormat()) return DDERR_INVALIDPIXELFORMAT;
    placement = place;
    if (placement.width <= 0 || placement.height <= 0) return DDERR_INVALIDRECT;
    const int scale = placement.scale >= 1 ? placement.scale : 1;
    backWidth = plugin.frameWidth * scale;
    backHeight = plugin.frameHeight * scale;
    HRESULT result = createClippedPrimary(visWindow());
    if (result != DD_OK) return result;
    result = createBackSurface(backWidth, backHeight);
    if (result != DD_OK) return result;
    return createTextSurface(0);
}

// The monitor's rectangle in the calling thread's coordinates: physical pixels for a thread
// that is per-monitor DPI aware.
MonitorArea monitorArea(HMONITOR monitor) {
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    MonitorArea area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (monitor && GetMonitorInfoA(monitor, &info))
        area = {static_cast<int>(info.rcMonitor.left), static_cast<int>(info.rcMonitor.top),
                static_cast<int>(info.rcMonitor.right - info.rcMonitor.left),
                static_cast<int>(info.rcMonitor.bottom - info.rcMonitor.top)};
    // The test build's system at another scale (Wine reads monitors alike at every DPI).
    const int systemDpi = testSystemDpi();
    if (systemDpi > 0 && !threadPerMonitorAware())
        area = {area.x * 96 / systemDpi, area.y * 96 / systemDpi, area.width * 96 / systemDpi,
                area.height * 96 / systemDpi};
    return area;
}

// The monitor the plug-in window is on now (it may have been moved to another one, or the
// monitor it was on may have gone).
MonitorArea windowMonitor() {
    return monitorArea(MonitorFromWindow(visWindow(), MONITOR_DEFAULTTONEAREST));
}

HRESULT setupDesktopFullScreen(const MonitorArea& monitor) {
    HWND window = visWindow();
    if (!(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & WS_POPUP)) {
        SetWindowLongA(window, GWL_STYLE, WS_POPUP | WS_VISIBLE);
        SetWindowLongA(window, GWL_EXSTYLE, WS_EX_TOPMOST);
    }
    SetWindowPos(window, HWND_TOPMOST, monitor.x, monitor.y, monitor.width, monitor.height,
                 SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    return setupDesktopView(
        placeOnMonitor(plugin.frameWidth, plugin.frameHeight, monitor.width, monitor.height));
}

HRESULT setupWindow640() {
    const int dpi = arrangeNormalWindow(visWindow(), 640, 480);
    return setupDesktopView(
        placeInScaledView(plugin.frameWidth, plugin.frameHeight, 640, 480, dpi));
}

// The client area's size.
void clientSize(int& width, int& height) {
    RECT client = {};
    GetClientRect(visWindow(), &client);
    width = client.right - client.left;
    height = client.bottom - client.top;
}

// ---------------------------------------------------------------------------------------------
// Lost surfaces and display changes. A lock screen, a UAC prompt, a monitor that slept or another
// program's mode change leaves DirectDraw's surfaces lost: each one that reports lost is restored
// before the frame is written. Where a restore cannot bring it back (the display mode is no
// longer the one it was made for) and after a display change, the way of showing is set up anew
// for the display as it is now: the monitor's new size, the desktop's new depth.

bool rebuildPending = false;
// Frames to wait before the next attempt after a set-up that failed (the display may be
// unavailable for a while: a lock screen, a monitor switched off).
int rebuildWait = 0;
constexpr int kRebuildRetryFrames = 25;

// Sets up the current way again. The window stays; for a window its size stays as the user left
// it, and the frame is placed in the client area as it is.
HRESULT rebuildPresentation() {
    clearLostMarks();
    release(screenPalette);
    release(textSurface);
    release(backSurface);
    release(primarySurface);
    windowMoved = true;
    HRESULT result = DDERR_UNSUPPORTED;
    int width = 0, height = 0;
    switch (presentedWay) {
    case PresentationWay::ModeChange:
        result = setupFullScreen();
        break;
    case PresentationWay::DesktopFullScreen:
        result = setupDesktopFullScreen(windowMonitor());
        break;
    case PresentationWay::Window:
        result = checkDesktopFormat() ? createWindowedSurfaces() : DDERR_INVALIDPIXELFORMAT;
        break;
    case PresentationWay::Window640:
        clientSize(width, height);
        result =
            setupDesktopView(placeOnMonitor(plugin.frameWidth, plugin.frameHeight, width, height));
        break;
    }
    // The palette object again, and the palette's pixel forms for the desktop's depth now.
    if (result == DD_OK) result = applyPalette();
    // The set-up's own moves of the window ask for nothing more.
    rebuildPending = false;
    if (result != DD_OK) {
        release(screenPalette);
        release(textSurface);
        release(backSurface);
        release(primarySurface);
    }
    return result;
}

bool isLost(IDirectDrawSurface* surface) {
    return isMarkedLost(surface) || surface->IsLost() == DDERR_SURFACELOST;
}

// Before each frame copy: restores what reports lost, and sets the way up anew where that is
// needed. False when there is nothing to show this frame.
bool recoverSurfaces() {
    if (testLoseSurfacesNow()) markEverySurfaceLost();
    if (!rebuildPending && primarySurface) {
        // A flip chain's back buffer comes back with its primary surface.
        IDirectDrawSurface* const surfaces[] = {
            primarySurface, presentedWay == PresentationWay::ModeChange ? nullptr : backSurface,
            textSurface};
        for (IDirectDrawSurface* surface : surfaces) {
            if (!surface || !isLost(surface)) continue;
            const HRESULT result = restoreSurface(surface);
            if (result == DDERR_WRONGMODE) {
                rebuildPending = true;
                break;
            }
            // Not now (the lock screen is still up): again with the next frame.
            if (result != DD_OK) return false;
            if (surface == textSurface) {
                DDBLTFX fill = {};
                fill.dwSize = sizeof fill;
                blt(textSurface, nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill);
            }
        }
        if (!rebuildPending) return true;
    }
    if (rebuildWait > 0) {
        --rebuildWait;
        return false;
    }
    // The display mode is changed back only while the plug-in's window is in front: another
    // program that took the display keeps it.
    if (presentedWay == PresentationWay::ModeChange && GetForegroundWindow() != visWindow())
        return false;
    rebuildPending = false;
    if (rebuildPresentation() == DD_OK) return true;
    rebuildWait = kRebuildRetryFrames;
    return false;
}

// Black over the client area outside the frame's place: the window's background is never
// erased, so the bars are filled with every frame.
void fillBars(const RECT& client) {
    const RECT frame = {client.left + placement.x, client.top + placement.y,
                        client.left + placement.x + placement.width,
                        client.top + placement.y + placement.height};
    const RECT bars[4] = {
        {client.left, client.top, client.right, frame.top},
        {client.left, frame.bottom, client.right, client.bottom},
        {client.left, frame.top, frame.left, frame.bottom},
        {frame.right, frame.top, client.right, frame.bottom},
    };
    DDBLTFX fill = {};
    fill.dwSize = sizeof fill;
    fill.dwFillColor = 0;
    for (const RECT& bar : bars) {
        if (bar.right <= bar.left || bar.bottom <= bar.top) continue;
        RECT area = bar;
        blt(primarySurface, &area, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill);
    }
}

} // namespace

long createDirectDraw() {
    return DirectDrawCreate(nullptr, &directDraw, nullptr);
}

bool directDrawExists() {
    return directDraw != nullptr;
}

bool checkDesktopFormat() {
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof desc;
    directDraw->GetDisplayMode(&desc);
    // Today's desktops are all 32 bits per pixel: they are shown like the 24-bit ones.
    return acceptDesktopFormat(static_cast<int>(desc.ddpfPixelFormat.dwRGBBitCount),
                               desc.ddpfPixelFormat.dwRBitMask, desc.ddpfPixelFormat.dwGBitMask,
                               desc.ddpfPixelFormat.dwBBitMask, pixelFormat);
}

MonitorArea playerMonitor() {
    HWND player = static_cast<HWND>(plugin.parentWindow);
    return monitorArea(MonitorFromWindow(player ? player : visWindow(), MONITOR_DEFAULTTOPRIMARY));
}

long setupPresentation(PresentationWay way) {
    windowMoved = true;
    presentedWay = way;
    placement = {};
    HRESULT result = DDERR_UNSUPPORTED;
    switch (way) {
    case PresentationWay::ModeChange:
        result = setupFullScreen();
        break;
    case PresentationWay::DesktopFullScreen:
        result = setupDesktopFullScreen(playerMonitor());
        break;
    case PresentationWay::Window:
        result = setupWindowed();
        break;
    case PresentationWay::Window640:
        result = setupWindow640();
        break;
    }
    // What the set-up itself changed (the window's place, a mode given back by a way that
    // failed before) needs no second set-up.
    rebuildPending = false;
    rebuildWait = 0;
    return result;
}

void abandonPresentation() {
    const bool modeChanged = presentedWay == PresentationWay::ModeChange;
    clearLostMarks();
    release(screenPalette);
    release(textSurface);
    release(backSurface);
    release(primarySurface);
    if (directDraw && modeChanged) {
        directDraw->RestoreDisplayMode();
        directDraw->SetCooperativeLevel(visWindow(), DDSCL_NORMAL);
    }
}

long setDisplayPalette(const PaletteBlock& palette) {
    // Surfaces that are being set up anew get the palette with their set-up.
    if (!primarySurface) return DD_OK;
    bool created = false;
    if (!screenPalette) {
        PALETTEENTRY entries[256];
        std::memcpy(entries, palette.entries, sizeof entries);
        const HRESULT result =
            directDraw->CreatePalette(DDPCAPS_8BIT, entries, &screenPalette, nullptr);
        if (result != DD_OK) return result;
        created = true;
    }
    if (pixelFormat.pixelDepth != 8) return DD_OK;
    if (created) {
        const HRESULT result = isMarkedLost(primarySurface)
                                   ? DDERR_SURFACELOST
                                   : primarySurface->SetPalette(screenPalette);
        if (result == DDERR_SURFACELOST) {
            restoreSurface(primarySurface);
            return DDERR_SURFACELOST;
        }
        return result;
    }
    PALETTEENTRY entries[256];
    std::memcpy(entries, palette.entries, sizeof entries);
    return screenPalette->SetEntries(0, 0, 256, entries);
}

void presentFrameCopy() {
    if (plugin.currentDisplay < 0 || plugin.currentDisplay > 3) plugin.currentDisplay = 0;
    if (!recoverSurfaces()) return;
    if (!backSurface || !currentPaletteEntries) return;
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof desc;
    if (lockSurface(backSurface, &desc, DDLOCK_WAIT) != DD_OK) return;
    // A fault in the copy must not leave the surface locked: every later Lock, GetDC and Blt
    // would fail for the rest of the run. The copy has a guard of its own, and the unlock
    // comes after it whatever happened.
    guarded(kSource, __LINE__, [&] {
        if (frameFaultHook) frameFaultHook(FrameStep::Copy);
        if (placement.scale > 1)
            copyFrameScaled(plugin.currentBuffer, plugin.frameWidth, plugin.frameHeight,
                            plugin.currentDisplay, static_cast<uint8_t*>(desc.lpSurface),
                            desc.lPitch, pixelFormat.pixelDepth, *currentPaletteEntries,
                            placement.scale);
        else
            copyFrame(plugin.currentBuffer, plugin.frameWidth, plugin.frameHeight,
                      plugin.currentDisplay, static_cast<uint8_t*>(desc.lpSurface), desc.lPitch,
                      pixelFormat.pixelDepth, *currentPaletteEntries);
    });
    backSurface->Unlock(nullptr);
}

void presentOverlay(const char* text) {
    if (!backSurface) return;
    HDC dc = nullptr;
    if (getSurfaceDC(backSurface, &dc) != DD_OK) return;
    // The surface's device context locks it: it is released whatever the drawing did.
    guarded(kSource, __LINE__, [&] {
        SetBkColor(dc, 0);
        SetTextColor(dc, 0xFFFFFF);
        TextOutA(dc, 0, 0, text, static_cast<int>(std::strlen(text)));
    });
    backSurface->ReleaseDC(dc);
}

void presentShow() {
    if (!primarySurface) return;
    if (presentedWay == PresentationWay::ModeChange) {
        // A surface still drawing is flipped again, a bounded number of times.
        for (int attempt = 0; attempt < 1000; ++attempt) {
            const HRESULT result = flip(primarySurface);
            if (result == DDERR_WASSTILLDRAWING) continue;
            if (result == DDERR_SURFACELOST) restoreSurface(primarySurface);
            break;
        }
        return;
    }
    const bool desktopView = placement.width > 0;
    if (windowMoved) {
        GetClientRect(visWindow(), &clientRect);
        POINT origin = {0, 0};
        ClientToScreen(visWindow(), &origin);
        OffsetRect(&clientRect, origin.x, origin.y);
        destRect = clientRect;
        if (desktopView)
            destRect = {clientRect.left + placement.x, clientRect.top + placement.y,
                        clientRect.left + placement.x + placement.width,
                        clientRect.top + placement.y + placement.height};
        windowMoved = false;
    }
    if (desktopView) fillBars(clientRect);
    RECT source = {0, 0, desktopView ? backWidth : plugin.frameWidth,
                   desktopView ? backHeight : plugin.frameHeight};
    if (blt(primarySurface, &destRect, backSurface, &source, DDBLT_WAIT, nullptr) ==
        DDERR_SURFACELOST)
        restoreSurface(primarySurface);
}

bool lockTextSurface(const uint8_t** pixels, long* pitch) {
    if (!textSurface) return false;
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof desc;
    if (lockSurface(textSurface, &desc, DDLOCK_WAIT | DDLOCK_READONLY) != DD_OK) return false;
    *pixels = static_cast<const uint8_t*>(desc.lpSurface);
    *pitch = desc.lPitch;
    return true;
}

void unlockTextSurface() {
    if (textSurface) textSurface->Unlock(nullptr);
}

void drawTextSurface(const char* text) {
    const char* typeface = kTypefaces[randomNext() % 4];
    if (!textSurface) return;
    DDBLTFX fill = {};
    fill.dwSize = sizeof fill;
    fill.dwFillColor = 0;
    blt(textSurface, nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill);
    HDC dc = nullptr;
    if (getSurfaceDC(textSurface, &dc) != DD_OK) return;
    const int length = static_cast<int>(std::strlen(text));
    // Changed inside the guard and read after it.
    HFONT volatile fonts[6] = {};
    HGDIOBJ volatile original = nullptr;
    // The surface's device context locks it: it is released whatever the drawing did.
    guarded(kSource, __LINE__, [&] {
        int fitted = 0;
        static const int kHeights[6] = {48, 40, 32, 24, 16, 8};
        for (int i = 0; i < 6 && !fitted; ++i) {
            fonts[i] = CreateFontA(kHeights[i], 0, 0, 0, 400, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                   VARIABLE_PITCH, typeface);
            if (!fonts[i]) continue;
            HGDIOBJ previous = SelectObject(dc, fonts[i]);
            if (!original) original = previous;
            SIZE extent = {};
            GetTextExtentPointA(dc, text, length, &extent);
            if (extent.cx <= plugin.textSurfaceWidth) fitted = kHeights[i];
        }
        if (fitted >= 16) {
            SetTextColor(dc, 0xFFFFFF);
            SetBkColor(dc, 0);
            TextOutA(dc, 0, 0, text, length);
        }
    });
    if (original) SelectObject(dc, original);
    textSurface->ReleaseDC(dc);
    for (HFONT font : fonts)
        if (font) DeleteObject(font);
}

int presentationBytesPerPixel() {
    return pixelFormat.pixelDepth / 8;
}

void releasePresentation() {
    clearLostMarks();
    release(screenPalette);
    release(textSurface);
    release(backSurface);
    release(primarySurface);
    release(directDraw);
}

void markWindowMoved() {
    windowMoved = true;
    // Full screen on the desktop covers the monitor it is on: moved to another one (or resized
    // by the system), it is placed anew over that one.
    if (presentedWay != PresentationWay::DesktopFullScreen || !primarySurface) return;
    // Minimised (the desktop shown), it stays so.
    if (IsIconic(visWindow())) return;
    RECT window = {};
    GetWindowRect(visWindow(), &window);
    const MonitorArea monitor = windowMonitor();
    if (window.left != monitor.x || window.top != monitor.y ||
        window.right - window.left != monitor.width || window.bottom - window.top != monitor.height)
        rebuildPending = true;
}

void presentationDisplayChanged() {
    // The flip chain's own mode changes come here too; a change by another program leaves its
    // surfaces lost, which the next frame finds.
    if (presentedWay != PresentationWay::ModeChange) rebuildPending = true;
}

void presentationDpiChanged(const RECT* suggested) {
    switch (presentedWay) {
    case PresentationWay::ModeChange:
        return;
    case PresentationWay::DesktopFullScreen:
        rebuildPending = true;
        return;
    case PresentationWay::Window:
    case PresentationWay::Window640:
        // A per-monitor aware window takes the size the system suggests for the new DPI.
        if (suggested)
            SetWindowPos(visWindow(), nullptr, suggested->left, suggested->top,
                         suggested->right - suggested->left, suggested->bottom - suggested->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        windowMoved = true;
        if (presentedWay == PresentationWay::Window640) rebuildPending = true;
        return;
    }
}

void directDrawErrorText(long code, char* buffer, unsigned size) {
    DirectDrawErrorText(code, buffer, size);
}
