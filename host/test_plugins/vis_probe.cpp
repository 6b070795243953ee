// vis_probe.dll: a minimal visualisation plug-in for testing the host. It logs every call as
// a "probe ..." line on standard output (and appends it to $QUORBEL_PROBE_LOG when set),
// opens a 320x240 window owned by hwndParent, paints a pattern derived from the audio data,
// uses the letter keys (logging the Shift and Ctrl state it sees), closes on Escape and
// forwards every other key to hwndParent.
//
// Pattern (client area 320x240, painted at every Render):
//   left half    one colour: red = bass level (largest of spectrum bins 0..7 of both
//                channels), green = newest waveform sample of channel 0 + 128, blue = the
//                Render count modulo 256;
//   right half   eight 20-pixel stripes: black, white, red, green, blue, yellow, cyan,
//                magenta, over all rows but the last 40, which are grey (128,128,128).
//
// Environment switches:
//   QUORBEL_PROBE_CRASH=render:N[:div0] | init | config | quit   fault at that point
//   QUORBEL_PROBE_INIT_FAIL=1        Init returns 1 without opening a window
//   QUORBEL_PROBE_LEAK_WINDOW=1      Quit leaves the window open
//   QUORBEL_PROBE_MESSAGEBOX=CAPTION|TEXT   Init shows a Yes/No message box first
//   QUORBEL_PROBE_CONFIGBOX=CAPTION|TEXT    Config shows an OK/Cancel box (default caption
//                                            "vis_probe configuration")
//   QUORBEL_PROBE_DDRAW=1            present the pattern through DirectDraw (an off-screen
//                                    surface blitted to the primary surface, clipped to the
//                                    window) instead of GDI, as windowed plug-ins do
#include "base/vis_module.h"

#include <windows.h>
#include <ddraw.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
const char kClassName[] = "vis_probe";

HINSTANCE dllInstance = nullptr;
DWORD loaderThread = 0;
DWORD initThread = 0;
HWND window = nullptr;
int renderCount = 0;
COLORREF leftColour = RGB(0, 0, 0);
winampVisModule* activeModule = nullptr;

// DirectDraw presentation (QUORBEL_PROBE_DDRAW=1).
IDirectDraw* directDraw = nullptr;
IDirectDrawSurface* primary = nullptr;
IDirectDrawSurface* back = nullptr;
IDirectDrawClipper* clipper = nullptr;

void logLine(const char* format, ...) {
    char line[1024];
    int n = snprintf(line, sizeof line, "probe ");
    va_list args;
    va_start(args, format);
    int m = vsnprintf(line + n, sizeof line - size_t(n) - 1, format, args);
    va_end(args);
    if (m < 0) return;
    n += m;
    if (n > int(sizeof line) - 2) n = int(sizeof line) - 2;
    line[n++] = '\n';
    DWORD written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, DWORD(n), &written, nullptr);
    char path[MAX_PATH];
    if (GetEnvironmentVariableA("QUORBEL_PROBE_LOG", path, sizeof path)) {
        HANDLE h = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            WriteFile(h, line, DWORD(n), &written, nullptr);
            CloseHandle(h);
        }
    }
}

std::string env(const char* name) {
    char value[1024];
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

// Text for a log field: printable ASCII in double quotes, the rest as \xHH.
std::string quoted(const char* text) {
    std::string out = "\"";
    for (const unsigned char* p = (const unsigned char*)text; *p; ++p) {
        if (*p == '"' || *p == '\\') {
            out += '\\';
            out += char(*p);
        } else if (*p < 0x20 || *p >= 0x7F) {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", *p);
            out += hex;
        } else {
            out += char(*p);
        }
    }
    return out + "\"";
}

void crashNow(bool divide) {
    if (divide) {
        volatile int zero = 0;
        volatile int value = 10 / zero;
        (void)value;
    } else {
        *(volatile int*)nullptr = 1;
    }
}

void crashIfAsked(const char* place, int count) {
    std::string crashText = env("QUORBEL_PROBE_CRASH");
    if (crashText.empty()) return;
    std::string where = crashText.substr(0, crashText.find(':'));
    if (where != place) return;
    bool divide = crashText.find(":div0") != std::string::npos;
    if (where == "render") {
        size_t colon = crashText.find(':');
        int at = colon == std::string::npos ? 1 : std::atoi(crashText.c_str() + colon + 1);
        if (count != at) return;
    }
    logLine("crashing place=%s count=%d kind=%s", place, count, divide ? "div0" : "access");
    crashNow(divide);
}

void splitBox(const std::string& crashText, const char* defaultCaption, std::string& caption,
              std::string& text) {
    size_t bar = crashText.find('|');
    caption = bar == std::string::npos ? defaultCaption : crashText.substr(0, bar);
    text = bar == std::string::npos ? crashText : crashText.substr(bar + 1);
}

void paint(HDC dc) {
    RECT left = {0, 0, kWidth / 2, kHeight};
    HBRUSH brush = CreateSolidBrush(leftColour);
    FillRect(dc, &left, brush);
    DeleteObject(brush);
    static const COLORREF stripes[8] = {RGB(0, 0, 0),     RGB(255, 255, 255), RGB(255, 0, 0),
                                        RGB(0, 255, 0),   RGB(0, 0, 255),     RGB(255, 255, 0),
                                        RGB(0, 255, 255), RGB(255, 0, 255)};
    for (int i = 0; i < 8; ++i) {
        RECT r = {kWidth / 2 + i * 20, 0, kWidth / 2 + (i + 1) * 20, kHeight - 40};
        HBRUSH b = CreateSolidBrush(stripes[i]);
        FillRect(dc, &r, b);
        DeleteObject(b);
    }
    RECT bottom = {kWidth / 2, kHeight - 40, kWidth, kHeight};
    HBRUSH grey = CreateSolidBrush(RGB(128, 128, 128));
    FillRect(dc, &bottom, grey);
    DeleteObject(grey);
}

void releaseDirectDraw() {
    if (back) back->Release();
    if (clipper) clipper->Release();
    if (primary) primary->Release();
    if (directDraw) directDraw->Release();
    back = nullptr;
    clipper = nullptr;
    primary = nullptr;
    directDraw = nullptr;
}

// 0 on success, else the failing DirectDraw result.
HRESULT setUpDirectDraw(HWND hwnd) {
    HRESULT r = DirectDrawCreate(nullptr, &directDraw, nullptr);
    if (r == DD_OK) r = directDraw->SetCooperativeLevel(hwnd, DDSCL_NORMAL);
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    if (r == DD_OK) r = directDraw->CreateSurface(&desc, &primary, nullptr);
    if (r == DD_OK) r = directDraw->CreateClipper(0, &clipper, nullptr);
    if (r == DD_OK) r = clipper->SetHWnd(0, hwnd);
    if (r == DD_OK) r = primary->SetClipper(clipper);
    DDSURFACEDESC off = {};
    off.dwSize = sizeof off;
    off.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    off.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    off.dwWidth = kWidth;
    off.dwHeight = kHeight;
    if (r == DD_OK) r = directDraw->CreateSurface(&off, &back, nullptr);
    return r;
}

void paint(HDC dc);

void presentDirectDraw(HWND hwnd) {
    HDC dc;
    if (back->GetDC(&dc) != DD_OK) return;
    paint(dc);
    back->ReleaseDC(dc);
    RECT target = {0, 0, kWidth, kHeight};
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    OffsetRect(&target, origin.x, origin.y);
    primary->Blt(&target, back, nullptr, DDBLT_WAIT, nullptr);
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (back)
            presentDirectDraw(hwnd);
        else
            paint(dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_KEYDOWN: {
        int shift = (GetKeyState(VK_SHIFT) & 0x8000) ? 1 : 0;
        int ctrl = (GetKeyState(VK_CONTROL) & 0x8000) ? 1 : 0;
        if (wParam == VK_ESCAPE) {
            logLine("key vk=0x%02X lparam=0x%08lX shift=%d ctrl=%d action=close", unsigned(wParam),
                    (unsigned long)lParam, shift, ctrl);
            PostMessageA(hwnd, WM_CLOSE, 0, 0);
            return 0;
        }
        if (wParam >= 'A' && wParam <= 'Z') {
            logLine("key vk=0x%02X lparam=0x%08lX shift=%d ctrl=%d action=used", unsigned(wParam),
                    (unsigned long)lParam, shift, ctrl);
            return 0;
        }
        logLine("key vk=0x%02X lparam=0x%08lX shift=%d ctrl=%d action=forwarded", unsigned(wParam),
                (unsigned long)lParam, shift, ctrl);
        if (activeModule) PostMessageA(HWND(activeModule->hwndParent), WM_KEYDOWN, wParam, lParam);
        return 0;
    }
    case WM_DESTROY:
        logLine("destroy");
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

void config(winampVisModule* module) {
    logLine("config thread=%s parent=%s", GetCurrentThreadId() == loaderThread ? "loader" : "other",
            module->hwndParent && IsWindow(HWND(module->hwndParent)) ? "window" : "none");
    crashIfAsked("config", 0);
    std::string caption, text;
    splitBox(env("QUORBEL_PROBE_CONFIGBOX"), "vis_probe configuration", caption, text);
    if (text.empty()) text = "Nothing to configure.";
    int answer = MessageBoxA(HWND(module->hwndParent), text.c_str(), caption.c_str(), MB_OKCANCEL);
    logLine("config-done answer=%d", answer);
}

int init(winampVisModule* module) {
    initThread = GetCurrentThreadId();
    activeModule = module;
    renderCount = 0;
    HWND parent = HWND(module->hwndParent);
    char parentClass[64] = "";
    if (parent) GetClassNameA(parent, parentClass, sizeof parentClass);
    HDC screen = GetDC(nullptr);
    int depth = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
    logLine("init thread=%s parent_class=%s instance=%s depth=%d",
            initThread == loaderThread ? "loader" : "other", quoted(parentClass).c_str(),
            module->hDllInstance == dllInstance ? "match" : "mismatch", depth);
    crashIfAsked("init", 0);
    std::string box = env("QUORBEL_PROBE_MESSAGEBOX");
    if (!box.empty()) {
        std::string caption, text;
        splitBox(box, "vis_probe", caption, text);
        int answer = MessageBoxA(parent, text.c_str(), caption.c_str(), MB_YESNO);
        logLine("messagebox answer=%d", answer);
    }
    if (env("QUORBEL_PROBE_INIT_FAIL") == "1") {
        logLine("init-fail");
        return 1;
    }
    WNDCLASSA wc = {};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = HINSTANCE(module->hDllInstance);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);
    RECT r = {0, 0, kWidth, kHeight};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
    window = CreateWindowExA(0, kClassName, "vis_probe", WS_OVERLAPPEDWINDOW, 0, 0,
                             r.right - r.left, r.bottom - r.top, parent, nullptr,
                             HINSTANCE(module->hDllInstance), nullptr);
    if (!window) {
        logLine("init-fail reason=window");
        return 1;
    }
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    SetForegroundWindow(window);
    SetFocus(window);
    if (env("QUORBEL_PROBE_DDRAW") == "1") {
        HRESULT r = setUpDirectDraw(window);
        logLine("directdraw result=0x%08lX", (unsigned long)r);
        if (r != DD_OK) {
            releaseDirectDraw();
            DestroyWindow(window);
            window = nullptr;
            return 1;
        }
    }
    RECT client;
    GetClientRect(window, &client);
    logLine("window width=%ld height=%ld owner=%s", client.right, client.bottom,
            GetWindow(window, GW_OWNER) == parent ? "parent" : "other");
    return 0;
}

int render(winampVisModule* module) {
    ++renderCount;
    int level = 0;
    for (int c = 0; c < 2; ++c)
        for (int k = 0; k < 8; ++k)
            if (module->spectrumData[c][k] > level) level = module->spectrumData[c][k];
    int w0 = (signed char)module->waveformData[0][575];
    int w1 = (signed char)module->waveformData[1][575];
    int w0first = (signed char)module->waveformData[0][0];
    leftColour = RGB(level, (w0 + 128) & 0xFF, renderCount & 0xFF);

    long position = -1;
    char title[256] = "";
    HWND player = FindWindowA("Winamp v1.x", nullptr);
    if (player) {
        position = long(SendMessageA(player, WM_USER, 0, 105));
        GetWindowTextA(player, title, sizeof title);
    }
    logLine("render n=%d thread=%s colour=0x%06lX beat=%d w0=%d w1=%d w0first=%d pos=%ld "
            "title=%s",
            renderCount, GetCurrentThreadId() == initThread ? "init" : "other",
            (unsigned long)(GetRValue(leftColour) << 16 | GetGValue(leftColour) << 8 |
                            GetBValue(leftColour)),
            level, w0, w1, w0first, position, quoted(title).c_str());
    crashIfAsked("render", renderCount);
    if (window && back) {
        presentDirectDraw(window);
    } else if (window) {
        HDC dc = GetDC(window);
        paint(dc);
        ReleaseDC(window, dc);
        GdiFlush();
    }
    return 0;
}

void quit(winampVisModule* module) {
    logLine("quit thread=%s renders=%d", GetCurrentThreadId() == initThread ? "init" : "other",
            renderCount);
    crashIfAsked("quit", 0);
    releaseDirectDraw();
    if (window && env("QUORBEL_PROBE_LEAK_WINDOW") != "1") {
        DestroyWindow(window);
        UnregisterClassA(kClassName, HINSTANCE(module->hDllInstance));
    }
    window = nullptr;
    activeModule = nullptr;
}

char moduleDescription[] = "Probe module";
char headerDescription[] = "vis_probe test plug-in";

winampVisModule probeModule = {moduleDescription,
                               nullptr,
                               nullptr,
                               0,
                               0,
                               25,
                               25,
                               2,
                               2,
                               {},
                               {},
                               config,
                               init,
                               render,
                               quit,
                               nullptr};

winampVisModule* getModule(int index) {
    logLine("getmodule index=%d", index);
    return index == 0 ? &probeModule : nullptr;
}

winampVisHeader probeHeader = {kVisHeaderVersion, headerDescription, getModule};

} // namespace

extern "C" __declspec(dllexport) winampVisHeader* winampVisGetHeader() {
    logLine("header");
    return &probeHeader;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        dllInstance = instance;
        loaderThread = GetCurrentThreadId();
    }
    return TRUE;
}
