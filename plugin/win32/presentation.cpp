#include "win32/presentation.h"

#include "effects/effects.h"
#include "base/instance.h"
#include "base/random.h"
#include "frame/ddraw_errors.h"
#include "frame/desktop_view.h"
#include "frame/display_copy.h"
#include "media/palettes.h"
#include "media/pixel_format.h"

#include <windows.h>
#include <ddraw.h>

#include <cstdio>
#include <cstring>

namespace {
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

// Sizes the window so that its client area is width x height, with the frame and caption of a
// normal window (a full-screen popup that falls back becomes one).
void arrangeNormalWindow(HWND window, int width, int height) {
    if (static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & WS_POPUP) {
        SetWindowLongA(window, GWL_STYLE, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        SetWindowLongA(window, GWL_EXSTYLE, 0);
        SetWindowTextA(window, "Quorbel-4-MODPlug");
    }
    RECT rect = {0, 0, width, height};
    AdjustWindowRectEx(&rect, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)),
                       GetMenu(window) != nullptr,
                       static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)));
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

HRESULT setupWindowed() {
    HWND window = visWindow();
    arrangeNormalWindow(window, plugin.frameWidth, plugin.frameHeight);
    HRESULT result = createClippedPrimary(window);
    if (result != DD_OK) return result;
    result = createBackSurface(plugin.frameWidth, plugin.frameHeight);
    if (result != DD_OK) return result;
    return createTextSurface(0);
}

// The frame shown scaled in a view of viewWidth x viewHeight (the client area), at the desktop's
// depth, the rest black.
HRESULT setupDesktopView(int viewWidth, int viewHeight) {
    if (!checkDesktopFormat()) return DDERR_INVALIDPIXELFORMAT;
    placement = placeOnMonitor(plugin.frameWidth, plugin.frameHeight, viewWidth, viewHeight);
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

HRESULT setupDesktopFullScreen() {
    const MonitorArea monitor = playerMonitor();
    HWND window = visWindow();
    if (!(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & WS_POPUP)) {
        SetWindowLongA(window, GWL_STYLE, WS_POPUP | WS_VISIBLE);
        SetWindowLongA(window, GWL_EXSTYLE, WS_EX_TOPMOST);
    }
    SetWindowPos(window, HWND_TOPMOST, monitor.x, monitor.y, monitor.width, monitor.height,
                 SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    return setupDesktopView(monitor.width, monitor.height);
}

HRESULT setupWindow640() {
    arrangeNormalWindow(visWindow(), 640, 480);
    return setupDesktopView(640, 480);
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
        primarySurface->Blt(&area, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill);
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
    HMONITOR monitor = MonitorFromWindow(player ? player : visWindow(), MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (monitor && GetMonitorInfoA(monitor, &info))
        return {static_cast<int>(info.rcMonitor.left), static_cast<int>(info.rcMonitor.top),
                static_cast<int>(info.rcMonitor.right - info.rcMonitor.left),
                static_cast<int>(info.rcMonitor.bottom - info.rcMonitor.top)};
    return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

long setupPresentation(PresentationWay way) {
    windowMoved = true;
    presentedWay = way;
    placement = {};
    switch (way) {
    case PresentationWay::ModeChange:
        return setupFullScreen();
    case PresentationWay::DesktopFullScreen:
        return setupDesktopFullScreen();
    case PresentationWay::Window:
        return setupWindowed();
    case PresentationWay::Window640:
        return setupWindow640();
    }
    return DDERR_UNSUPPORTED;
}

void abandonPresentation() {
    const bool modeChanged = presentedWay == PresentationWay::ModeChange;
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
        const HRESULT result = primarySurface->SetPalette(screenPalette);
        if (result == DDERR_SURFACELOST) {
            primarySurface->Restore();
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
    if (!backSurface || !currentPaletteEntries) return;
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof desc;
    if (backSurface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return;
    if (placement.scale > 1)
        copyFrameScaled(plugin.currentBuffer, plugin.frameWidth, plugin.frameHeight,
                        plugin.currentDisplay, static_cast<uint8_t*>(desc.lpSurface), desc.lPitch,
                        pixelFormat.pixelDepth, *currentPaletteEntries, placement.scale);
    else
        copyFrame(plugin.currentBuffer, plugin.frameWidth, plugin.frameHeight,
                  plugin.currentDisplay, static_cast<uint8_t*>(desc.lpSurface), desc.lPitch,
                  pixelFormat.pixelDepth, *currentPaletteEntries);
    backSurface->Unlock(nullptr);
}

void presentOverlay(const char* text) {
    if (!backSurface) return;
    HDC dc = nullptr;
    if (backSurface->GetDC(&dc) != DD_OK) return;
    SetBkColor(dc, 0);
    SetTextColor(dc, 0xFFFFFF);
    TextOutA(dc, 0, 0, text, static_cast<int>(std::strlen(text)));
    backSurface->ReleaseDC(dc);
}

void presentShow() {
    if (!primarySurface) return;
    if (presentedWay == PresentationWay::ModeChange) {
        // A surface still drawing is flipped again, a bounded number of times.
        for (int attempt = 0; attempt < 1000; ++attempt) {
            const HRESULT result = primarySurface->Flip(nullptr, 0);
            if (result == DDERR_WASSTILLDRAWING) continue;
            if (result == DDERR_SURFACELOST) primarySurface->Restore();
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
    if (primarySurface->Blt(&destRect, backSurface, &source, DDBLT_WAIT, nullptr) ==
        DDERR_SURFACELOST)
        primarySurface->Restore();
}

bool lockTextSurface(const uint8_t** pixels, long* pitch) {
    if (!textSurface) return false;
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof desc;
    if (textSurface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK)
        return false;
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
    textSurface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fill);
    HDC dc = nullptr;
    if (textSurface->GetDC(&dc) != DD_OK) return;
    const int length = static_cast<int>(std::strlen(text));
    HFONT fonts[6] = {};
    HGDIOBJ original = nullptr;
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
    if (original) SelectObject(dc, original);
    textSurface->ReleaseDC(dc);
    for (HFONT font : fonts)
        if (font) DeleteObject(font);
}

int presentationBytesPerPixel() {
    return pixelFormat.pixelDepth / 8;
}

void releasePresentation() {
    release(screenPalette);
    release(textSurface);
    release(backSurface);
    release(primarySurface);
    release(directDraw);
}

void markWindowMoved() {
    windowMoved = true;
}

void directDrawErrorText(long code, char* buffer, unsigned size) {
    DirectDrawErrorText(code, buffer, size);
}
