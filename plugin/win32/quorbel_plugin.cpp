// The plug-in's entry points: the exported header, the module record, Config, Init, Render and
// Quit, the plug-in window and its procedure.
#include "effects/effects.h"
#include "base/errorlog.h"
#include "frame/desktop_view.h"
#include "frame/frame_loop.h"
#include "base/guard.h"
#include "base/instance.h"
#include "media/palettes.h"
#include "base/paths.h"
#include "win32/dpi_awareness.h"
#include "win32/plugin_lifecycle.h"
#include "win32/presentation.h"
#include "base/random.h"
#include "base/settings.h"
#include "win32/test_hooks.h"
#include "base/vis_module.h"
#include "win32/window_proc.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {
const char kSource[] = "quorbel_plugin";
const char kClassName[] = "Quorbel-4-MODPlug";
const char kPlayerClass[] = "Winamp v1.x";

char headerDescription[] = "Quorbel-4-MODPlug (Port of Quorbel) v1.50";
char moduleDescription[] = "All-in-one";

void config(winampVisModule* module);
int init(winampVisModule* module);
int render(winampVisModule* module);
void quit(winampVisModule* module);

winampVisModule visModule = {
    moduleDescription, nullptr, nullptr, 0, 0, 25, 25, 2, 2, {}, {}, config, init, render, quit,
    nullptr,
};

winampVisModule* getModule(int index) {
    return index == 0 ? &visModule : nullptr;
}

winampVisHeader visHeader = {kVisHeaderVersion, headerDescription, getModule};

// The frame loop's view of the platform.
class Win32FramePlatform final : public FramePlatform {
  public:
    uint32_t tickCount() override { return GetTickCount(); }
    uint32_t playPosition() override {
        HWND player = static_cast<HWND>(plugin.playerWindow);
        return player ? static_cast<uint32_t>(SendMessageA(player, WM_USER, 0, 105)) : 0;
    }
    void playerTitle(char* buffer, int size) override {
        buffer[0] = '\0';
        HWND player = static_cast<HWND>(plugin.playerWindow);
        if (!player || size <= 0) return;
        SendMessageA(player, WM_GETTEXT, static_cast<WPARAM>(size - 1),
                     reinterpret_cast<LPARAM>(buffer));
        buffer[size - 1] = '\0';
    }
    void drawSongText(const char* text) override { drawTextSurface(text); }
    bool lockTextSurface(const uint8_t** pixels, long* pitch) override {
        return ::lockTextSurface(pixels, pitch);
    }
    void unlockTextSurface() override { ::unlockTextSurface(); }
    int bytesPerPixel() override { return presentationBytesPerPixel(); }
    void copyFrame() override { presentFrameCopy(); }
    void drawOverlay(const char* text) override { presentOverlay(text); }
    void showFrame() override { presentShow(); }
};

Win32FramePlatform framePlatform;
bool classRegistered = false;
// Set from a successful Init until Quit.
std::atomic<bool> runActive{false};

void takeHandles(winampVisModule* module) {
    plugin.dllInstance = module->hDllInstance;
    plugin.parentWindow = module->hwndParent;
}

void takeHostDirectory() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        setHostDirectory("");
        return;
    }
    char* slash = std::strrchr(path, '\\');
    if (slash) slash[1] = '\0';
    setHostDirectory(slash ? path : "");
}

bool registerWindowClass() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = visWindowProc;
    windowClass.hInstance = static_cast<HINSTANCE>(plugin.dllInstance);
    windowClass.lpszClassName = kClassName;
    if (plugin.windowMode == 1) {
        windowClass.style = CS_HREDRAW | CS_VREDRAW;
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        windowClass.hIcon =
            LoadIconA(static_cast<HINSTANCE>(plugin.dllInstance), MAKEINTRESOURCEA(121));
    }
    if (!RegisterClassA(&windowClass)) return false;
    classRegistered = true;
    return true;
}

// The window for the first way Init tries; a fall-back restyles it (setupPresentation).
HWND createVisWindow(winampVisModule* module, PresentationWay way) {
    HWND parent = static_cast<HWND>(module->hwndParent);
    HINSTANCE instance = static_cast<HINSTANCE>(plugin.dllInstance);
    if (way == PresentationWay::ModeChange)
        return CreateWindowExA(WS_EX_TOPMOST, kClassName, module->description, WS_POPUP, 0, 0,
                               GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), parent,
                               nullptr, instance, nullptr);
    if (way == PresentationWay::DesktopFullScreen) {
        const MonitorArea monitor = playerMonitor();
        return CreateWindowExA(WS_EX_TOPMOST, kClassName, module->description, WS_POPUP, monitor.x,
                               monitor.y, monitor.width, monitor.height, parent, nullptr, instance,
                               nullptr);
    }
    return CreateWindowExA(0, kClassName, "Quorbel-4-MODPlug", WS_OVERLAPPEDWINDOW, 0, 0,
                           plugin.frameWidth, plugin.frameHeight, parent, nullptr, instance,
                           nullptr);
}

void destroyVisWindow() {
    if (plugin.visWindow) DestroyWindow(static_cast<HWND>(plugin.visWindow));
    plugin.visWindow = nullptr;
    if (classRegistered) UnregisterClassA(kClassName, static_cast<HINSTANCE>(plugin.dllInstance));
    classRegistered = false;
}

// Releases what a failed Init acquired, so that the library stays ready for another attempt.
int failInit() {
    releaseRunResources();
    releasePresentation();
    displayPaletteHook = nullptr;
    destroyVisWindow();
    return 1;
}

void reportDirectDrawFailure(long result) {
    char text[128];
    char message[256];
    directDrawErrorText(result, text, sizeof text);
    wsprintfA(message, "Direct Draw Init Failed (%08lx)\n%s\n", static_cast<unsigned long>(result),
              text);
    MessageBoxA(static_cast<HWND>(plugin.visWindow), message, "ERROR", MB_OK);
}

// Sets up the first way of presenting that works, in the order of presentationWays, with the
// start palette. A fall-back that worked is logged and noticed once over the frame; the stored
// settings stay as they are. 0, or the result of the first way when none worked.
long presentFirstWorkingWay(PresentationWay* ways, int count) {
    PresentationFailure failures[kMaxPresentationWays];
    showNotice(""); // a notice of an earlier run that ended early
    for (int i = 0; i < count; ++i) {
        long result = testPresentationFailure(static_cast<int>(ways[i]));
        if (result == 0) result = setupPresentation(ways[i]);
        if (result == 0) result = applyStartPalette();
        if (result == 0) {
            if (i > 0) {
                char line[kLogLineSize];
                formatFallbackLogLine(line, sizeof line, failures, i, ways[i]);
                if (settings.Log_Errors_To_File) LogWriter("%s", line);
                showNotice(fallbackInfoText(ways[0], ways[i]));
            }
            return 0;
        }
        failures[i] = {ways[i], result};
        abandonPresentation();
    }
    return count > 0 ? failures[0].code : 1;
}

void config(winampVisModule* module) {
    takeHandles(module);
    takeHostDirectory();
    runConfig(module->hDllInstance, module->hwndParent, runActive);
}

int initRun(winampVisModule* module) {
    plugin.errorCount = 0;
    resetLogStatus();
    takeHandles(module);
    takeHostDirectory();
    loadSettings(plugin.dllInstance, plugin.parentWindow);
    if (settings.Log_Errors_To_File) writeLogHeader();
    applyResolution();
    startBitmapLibrary();
    buildFlameTables();
    randomSeed(static_cast<uint32_t>(std::time(nullptr)));
    buildWaveColours();
    clearLoaderThreads();

    const long created = createDirectDraw();
    if (plugin.windowMode == 1 && directDrawExists() && !checkDesktopFormat()) {
        MessageBoxA(nullptr,
                    "Windowed mode is only supported on 8, 16 and 24 bits display modes.\nTo use "
                    "windowed mode please change to one of this modes Display Settings.",
                    "Quorbel-4-MODPlug Display Error", MB_ICONERROR);
        return failInit();
    }

    volatile bool buffersReady = false;
    guarded(kSource, __LINE__, [&] { buffersReady = allocateFrameBuffers(); });
    if (!buffersReady) return failInit();
    if (!prepareEffectResources()) return failInit();
    startSelectionFromSettings();
    buildSineTables();

    if (!registerWindowClass()) {
        MessageBoxA(static_cast<HWND>(plugin.parentWindow), "Error registering window class",
                    "blah", MB_OK);
        return failInit();
    }
    PresentationWay ways[kMaxPresentationWays];
    const int wayCount =
        presentationWays(plugin.windowMode == 0, settings.Fullscreen_On_Desktop != 0, ways);
    long result = created;
    {
        // The window is made per-monitor DPI aware (it keeps the awareness it is created
        // with), and the set-up measures its monitor in physical pixels. The dialogs before and
        // the messages after are the player's.
        PerMonitorDpiScope dpiAware;
        HWND window = createVisWindow(module, ways[0]);
        if (!window) {
            MessageBoxA(static_cast<HWND>(plugin.parentWindow), "Error creating window", "Error",
                        MB_OK);
            return failInit();
        }
        plugin.visWindow = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(module));
        ShowWindow(window, SW_SHOWNORMAL);
        plugin.playerWindow = FindWindowA(kPlayerClass, nullptr);
        if (result == 0) result = presentFirstWorkingWay(ways, wayCount);
    }
    if (result != 0) {
        reportDirectDrawFailure(result);
        return failInit();
    }
    installTestHooks();
    runActive = true;
    return 0;
}

int init(winampVisModule* module) {
    volatile int result = 1;
    guarded(kSource, __LINE__, [&] { result = initRun(module); });
    return result;
}

int render(winampVisModule* module) {
    // The window's coordinates in the window's own terms (physical pixels).
    PerMonitorDpiScope dpiAware;
    // The frame loop guards its own risky steps; this outer guard keeps a fault in any other
    // step from reaching the host.
    guarded(kSource, __LINE__,
            [&] { renderFrame(framePlatform, module->spectrumData, module->waveformData); });
    traceFrame();
    return 0;
}

void quit(winampVisModule* module) {
    // After a failed Init there is no running state to store.
    if (settings.Save_On_Exit && runActive) saveRunningState();
    runActive = false;
    releaseRunResources();
    releasePresentation();
    displayPaletteHook = nullptr;
    if (settings.Log_Errors_To_File) writeLogFooter();
    if (settings.Errors_Warning && plugin.errorCount > 0) {
        char text[512];
        formatErrorSummary(text, sizeof text, static_cast<unsigned>(plugin.errorCount.load()),
                           settings.Log_Errors_To_File && logLineWritten());
        MessageBoxA(static_cast<HWND>(module->hwndParent), text, "Quorbel-4-Winamp Errors",
                    MB_ICONWARNING);
    }
    destroyVisWindow();
    removeTestHooks();
}
} // namespace

extern "C" __declspec(dllexport) winampVisHeader* winampVisGetHeader() {
    return &visHeader;
}
