// host.exe: a small Winamp-compatible player for visualisation plug-ins, our demo player and
// the harness of the Wine tests. See host/README.md for the command line and the event lines.
#include "media/audio.h"
#include "dialogs.h"
#include "events.h"
#include "options.h"
#include "sound.h"
#include "base/vis_module.h"
#include "win32_util.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

enum ExitCode {
    kExitOk = 0,
    kExitCrash = 1,
    kExitUsage = 2,
    kExitLoad = 3,
    kExitInit = 4,
    kExitDialog = 5,
    kExitScript = 6,
};

HostOptions options;
AudioClip audio;
HWND mainWindow = nullptr;
volatile LONG exitCode = kExitOk;
volatile LONG positionMs = 0;   // song position answered to WM_USER / 105
volatile DWORD visThreadId = 0; // the visualisation thread of the current run, 0 between runs

void setExitCode(int code) {
    InterlockedCompareExchange(&exitCode, code, kExitOk);
}

// ---------------------------------------------------------------------------------------------
// Where each thread is, for crash reports.

struct CallSite {
    volatile DWORD thread = 0;
    const char* volatile call = nullptr; // the plug-in operation running, or null
    volatile LONG frame = 0;
};
CallSite mainSite, visSite;

CallSite* siteOfThread(DWORD thread) {
    if (thread == mainSite.thread) return &mainSite;
    if (thread == visSite.thread) return &visSite;
    return nullptr;
}

class PluginCall {
  public:
    PluginCall(CallSite& site, const char* call) : site_(site), previous_(site.call) {
        site_.call = call;
    }
    ~PluginCall() { site_.call = previous_; }

  private:
    CallSite& site_;
    const char* previous_;
};

bool isFault(DWORD code) {
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_NONCONTINUABLE_EXCEPTION:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
        return true;
    default:
        return false;
    }
}

void describeFault(char* out, size_t size, const char* event, EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    DWORD thread = GetCurrentThreadId();
    CallSite* site = siteOfThread(thread);
    const char* threadName = site == &mainSite ? "main" : site == &visSite ? "vis" : "other";
    std::string module = moduleNameAt(record->ExceptionAddress);
    snprintf(out, size, "%s code=0x%08lX address=0x%08lX module=%s thread=%s call=%s frame=%ld",
             event, (unsigned long)record->ExceptionCode,
             (unsigned long)(uintptr_t)record->ExceptionAddress, quoteEventText(module).c_str(),
             threadName, site && site->call ? site->call : "none", site ? (long)site->frame : 0L);
}

// The last handler in the vectored chain: a fault that reaches it while the plug-in runs was
// not taken by any of the plug-in's own guards.
LONG CALLBACK faultWatch(EXCEPTION_POINTERS* info) {
    DWORD code = info->ExceptionRecord->ExceptionCode;
    if (!isFault(code)) return EXCEPTION_CONTINUE_SEARCH;
    CallSite* site = siteOfThread(GetCurrentThreadId());
    if (site && site->call) {
        char line[768];
        describeFault(line, sizeof line, "fault", info);
        emitEventRaw(line);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG WINAPI crashFilter(EXCEPTION_POINTERS* info) {
    char line[768];
    describeFault(line, sizeof line, "crash", info);
    emitEventRaw(line);
    emitEventRaw("exit code=1");
    TerminateProcess(GetCurrentProcess(), kExitCrash);
    return EXCEPTION_EXECUTE_HANDLER;
}

void* faultWatchHandle = nullptr;

// Keeps the crash filter installed and the fault watch last in the vectored chain, also after
// a plug-in installed handlers of its own.
void assertCrashHandlers() {
    SetUnhandledExceptionFilter(crashFilter);
    if (faultWatchHandle) RemoveVectoredExceptionHandler(faultWatchHandle);
    faultWatchHandle = AddVectoredExceptionHandler(0, faultWatch);
}

// ---------------------------------------------------------------------------------------------
// The player's main window.

const char kPlayerClass[] = "Winamp v1.x";

// Sent by the visualisation thread for --config-at: the main thread calls Config on the module
// in lParam, as a player does when the user configures the plug-in during a run.
const UINT kConfigDuringRun = WM_APP + 1;
// Sent by the visualisation thread for --display-mode: the main thread changes the display mode
// (the ScriptedDisplayMode in lParam), as another program would; the system tells every
// top-level window with WM_DISPLAYCHANGE.
const UINT kChangeDisplayMode = WM_APP + 2;

// The mode before the first --display-mode change: the host gives it back before it ends (Wine
// keeps the current mode for the next programs of the prefix).
bool displayModeChanged = false;
DEVMODEA modeBefore = {};

void changeDisplayMode(const ScriptedDisplayMode& mode, int frame) {
    if (!displayModeChanged) {
        modeBefore.dmSize = sizeof modeBefore;
        if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &modeBefore))
            modeBefore.dmSize = 0;
    }
    DEVMODEA dm = {};
    dm.dmSize = sizeof dm;
    dm.dmPelsWidth = DWORD(mode.width);
    dm.dmPelsHeight = DWORD(mode.height);
    dm.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    if (mode.bits) {
        dm.dmBitsPerPel = DWORD(mode.bits);
        dm.dmFields |= DM_BITSPERPEL;
    }
    const LONG result = ChangeDisplaySettingsA(&dm, 0);
    if (result == DISP_CHANGE_SUCCESSFUL) displayModeChanged = true;
    emitEventf("display-mode frame=%d width=%d height=%d bits=%d result=%ld screen=%dx%d", frame,
               mode.width, mode.height, mode.bits, long(result), GetSystemMetrics(SM_CXSCREEN),
               GetSystemMetrics(SM_CYSCREEN));
    if (result != DISP_CHANGE_SUCCESSFUL) setExitCode(kExitScript);
}

const char* keyMessageName(UINT message) {
    switch (message) {
    case WM_KEYDOWN:
        return "keydown";
    case WM_KEYUP:
        return "keyup";
    case WM_SYSKEYDOWN:
        return "syskeydown";
    case WM_SYSKEYUP:
        return "syskeyup";
    case WM_CHAR:
        return "char";
    default:
        return nullptr;
    }
}

LRESULT CALLBACK playerWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (const char* name = keyMessageName(message)) {
        emitEventf("forwarded msg=%s wparam=%s lparam=%s", name, hex32(wParam).c_str(),
                   hex32(lParam).c_str());
        return 0;
    }
    switch (message) {
    case kConfigDuringRun: {
        auto* module = reinterpret_cast<winampVisModule*>(lParam);
        emitEventf("config frame=%d", int(wParam));
        {
            PluginCall call(mainSite, "Config");
            module->Config(module);
        }
        assertCrashHandlers();
        emitEventf("config-done frame=%d", int(wParam));
        return 0;
    }
    case kChangeDisplayMode:
        changeDisplayMode(*reinterpret_cast<const ScriptedDisplayMode*>(lParam), int(wParam));
        return 0;
    case WM_USER:
        switch (lParam) {
        case 0:
            return 0x5666; // version
        case 104:
            return 1; // playing
        case 105:     // output time: 0 position (ms), 1 length (s), 2 length (ms)
            if (wParam == 0) return positionMs;
            if (wParam == 1) return LRESULT(audio.lengthMs() / 1000);
            if (wParam == 2) return LRESULT(audio.lengthMs());
            return -1;
        case 124:
            return 1; // playlist length
        case 125:
            return 0; // playlist position
        default:
            return 0;
        }
    case WM_CLOSE:
        // Closing the player ends the visualisation run; the window itself lives on until
        // the host has finished.
        if (DWORD thread = visThreadId) {
            emitEvent("player-close");
            PostThreadMessageA(thread, WM_QUIT, 0, 0);
        }
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

bool createPlayerWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = playerWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = HBRUSH(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = kPlayerClass;
    if (!RegisterClassA(&wc)) return false;
    int width = 275, height = 116;
    int x = GetSystemMetrics(SM_CXSCREEN) - width - 8;
    int y = GetSystemMetrics(SM_CYSCREEN) - height - 8;
    mainWindow =
        CreateWindowExA(0, kPlayerClass, options.title.c_str(), WS_OVERLAPPEDWINDOW, x < 0 ? 0 : x,
                        y < 0 ? 0 : y, width, height, nullptr, nullptr, wc.hInstance, nullptr);
    if (!mainWindow) return false;
    ShowWindow(mainWindow, SW_SHOWNOACTIVATE);
    return true;
}

BOOL WINAPI consoleControl(DWORD type) {
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT || type == CTRL_CLOSE_EVENT) {
        if (DWORD thread = visThreadId) {
            emitEvent("interrupt");
            PostThreadMessageA(thread, WM_QUIT, 0, 0);
            return TRUE;
        }
    }
    return FALSE;
}

// ---------------------------------------------------------------------------------------------
// Windows of the visualisation thread.

struct WindowList {
    std::vector<HWND> windows;
};

BOOL CALLBACK collectWindow(HWND hwnd, LPARAM param) {
    if (!isSystemHelperWindow(hwnd)) reinterpret_cast<WindowList*>(param)->windows.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> threadWindows(DWORD thread) {
    WindowList list;
    EnumThreadWindows(thread, collectWindow, reinterpret_cast<LPARAM>(&list));
    return list.windows;
}

// The window that receives the keys: the focus window of this (the visualisation) thread, or
// else its first visible top-level window.
HWND pluginKeyWindow() {
    DWORD self = GetCurrentThreadId();
    HWND focus = GetFocus();
    if (focus && GetWindowThreadProcessId(focus, nullptr) == self) return focus;
    HWND active = GetActiveWindow();
    if (active && GetWindowThreadProcessId(active, nullptr) == self) return active;
    for (HWND hwnd : threadWindows(self))
        if (IsWindowVisible(hwnd)) return hwnd;
    return nullptr;
}

HWND pluginMainWindow() {
    HWND hwnd = pluginKeyWindow();
    return hwnd ? GetAncestor(hwnd, GA_ROOT) : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Captures.

bool writeBmp(const std::string& file, int width, int height, const void* bits, int stride) {
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    DWORD imageBytes = DWORD(stride) * DWORD(height);
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + imageBytes;
    ih.biSize = sizeof ih;
    ih.biWidth = width;
    ih.biHeight = height;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biCompression = BI_RGB;
    ih.biSizeImage = imageBytes;
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(h, &fh, sizeof fh, &written, nullptr) && written == sizeof fh &&
              WriteFile(h, &ih, sizeof ih, &written, nullptr) && written == sizeof ih &&
              WriteFile(h, bits, imageBytes, &written, nullptr) && written == imageBytes;
    CloseHandle(h);
    return ok;
}

bool captureWindow(HWND hwnd, const std::string& file, int& width, int& height,
                   std::string& reason) {
    RECT rc;
    if (!GetClientRect(hwnd, &rc) || rc.right <= 0 || rc.bottom <= 0) {
        reason = "empty client area";
        return false;
    }
    width = rc.right;
    height = rc.bottom;
    POINT origin = {0, 0};
    HWND source = options.captureFromScreen ? nullptr : hwnd;
    if (options.captureFromScreen) ClientToScreen(hwnd, &origin);
    HDC sourceDc = GetDC(source);
    if (!sourceDc) {
        reason = "no device context";
        return false;
    }
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height; // bottom-up, as stored in the file
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(sourceDc);
    HBITMAP dib = CreateDIBSection(sourceDc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (memory && dib && bits) {
        HGDIOBJ old = SelectObject(memory, dib);
        ok = BitBlt(memory, 0, 0, width, height, sourceDc, origin.x, origin.y, SRCCOPY);
        GdiFlush();
        SelectObject(memory, old);
        if (!ok) reason = "BitBlt failed";
        if (ok) {
            ok = writeBmp(file, width, height, bits, (width * 3 + 3) & ~3);
            if (!ok) reason = "cannot write the file";
        }
    } else {
        reason = "cannot create the bitmap";
    }
    if (dib) DeleteObject(dib);
    if (memory) DeleteDC(memory);
    ReleaseDC(source, sourceDc);
    return ok;
}

// ---------------------------------------------------------------------------------------------
// The visualisation thread: Init, Render at the frame rate with its own message loop, Quit.

struct Run {
    winampVisModule* module = nullptr;
    int number = 1;
};

// Dispatches the waiting messages; false when WM_QUIT arrived.
bool pumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) return false;
        TranslateMessage(&msg);
        PluginCall call(visSite, "WindowProc");
        DispatchMessageA(&msg);
    }
    return true;
}

void sendKey(const ScriptedKey& key, int frame) {
    HWND target = pluginKeyWindow();
    int vk = key.virtualKey;
    unsigned scan = MapVirtualKeyA(UINT(vk), 0 /* MAPVK_VK_TO_VSC */);
    if (scan == 0) scan = standardScanCode(vk);
    uint32_t lParam = keyDownLParam(scan, isExtendedKey(vk));
    emitEventf("key frame=%d key=%s vk=0x%02X lparam=%s shift=%d ctrl=%d window=%s", frame,
               quoteEventText(key.text).c_str(), unsigned(vk), hex32(lParam).c_str(),
               key.shift ? 1 : 0, key.ctrl ? 1 : 0,
               quoteEventText(target ? windowClass(target) : std::string()).c_str());
    if (!target) {
        emitEventf("key-failed frame=%d reason=\"no plug-in window\"", frame);
        setExitCode(kExitScript);
        return;
    }
    // GetKeyState in the plug-in's window procedure reads this thread's keyboard state.
    BYTE saved[256], state[256];
    GetKeyboardState(saved);
    std::memcpy(state, saved, sizeof state);
    auto set = [&](int code, bool down) { state[code] = down ? 0x80 : 0x00; };
    set(VK_SHIFT, key.shift);
    set(VK_LSHIFT, key.shift);
    set(VK_RSHIFT, false);
    set(VK_CONTROL, key.ctrl);
    set(VK_LCONTROL, key.ctrl);
    set(VK_RCONTROL, false);
    set(vk, true);
    SetKeyboardState(state);
    {
        PluginCall call(visSite, "WindowProc");
        SendMessageA(target, WM_KEYDOWN, WPARAM(vk), LPARAM(lParam));
    }
    SetKeyboardState(saved);
}

void captureFrame(const ScriptedCapture& capture, int frame) {
    if (options.captureFromScreen) {
        // The screen shows a window's drawing once the system has flushed it, which happens
        // when the thread looks for messages and finds none.
        MSG msg;
        if (!pumpMessages()) PostQuitMessage(0);
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    }
    HWND hwnd = pluginMainWindow();
    std::string reason = "no plug-in window";
    int width = 0, height = 0;
    // What is on the screen, pixel for pixel, whatever the DPI of the plug-in's window.
    PhysicalPixelsScope physical;
    if (hwnd && captureWindow(hwnd, capture.file, width, height, reason)) {
        emitEventf("capture frame=%d file=%s width=%d height=%d", frame,
                   quoteEventText(capture.file).c_str(), width, height);
    } else {
        emitEventf("capture-failed frame=%d file=%s reason=%s", frame,
                   quoteEventText(capture.file).c_str(), quoteEventText(reason).c_str());
        setExitCode(kExitScript);
    }
}

// The play position: in --fast mode frame x 1000 / fps, otherwise the clock.
class PlayClock {
  public:
    explicit PlayClock(uint32_t startMs) : baseMs_(startMs), baseTick_(timeGetTime()) {}
    int64_t at(int frameIndex) const {
        if (options.fast) return baseMs_ + int64_t(frameIndex - baseFrame_) * 1000 / options.fps;
        return baseMs_ + int64_t(DWORD(timeGetTime() - baseTick_));
    }
    void jump(uint32_t ms, int frameIndex) {
        baseMs_ = ms;
        baseFrame_ = frameIndex;
        baseTick_ = timeGetTime();
    }

  private:
    int64_t baseMs_;
    int baseFrame_ = 0;
    DWORD baseTick_;
};

// The position within the song (the clip repeats): what the player window answers.
uint32_t songPositionMs(int64_t playedMs) {
    uint32_t length = audio.lengthMs();
    if (length == 0 || playedMs < 0) return 0;
    return uint32_t(playedMs % length);
}

void reportWindowsAfterQuit(DWORD thread) {
    std::vector<HWND> left = threadWindows(thread);
    if (left.empty()) {
        emitEvent("windows-gone gone=1");
        return;
    }
    emitEventf("windows-gone gone=0 left=%u", unsigned(left.size()));
    for (HWND hwnd : left)
        emitEventf("window-left class=%s title=%s visible=%d",
                   quoteEventText(windowClass(hwnd)).c_str(),
                   quoteEventText(windowText(hwnd)).c_str(), IsWindowVisible(hwnd) ? 1 : 0);
}

void callQuit(winampVisModule* module, int rendered) {
    {
        PluginCall call(visSite, "Quit");
        module->Quit(module);
    }
    emitEventf("quit frame=%d", rendered);
    reportWindowsAfterQuit(GetCurrentThreadId());
}

void visualise(Run& run) {
    winampVisModule* module = run.module;
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE); // this thread's message queue
    visSite.frame = 0;

    int result;
    {
        PluginCall call(visSite, "Init");
        result = module->Init(module);
    }
    assertCrashHandlers();
    emitEventf("init result=%d run=%d", result, run.number);
    if ((result == 0) == options.expectInitFail) {
        emitEventf("init-unexpected result=%d expected=%s", result,
                   options.expectInitFail ? "failure" : "success");
        setExitCode(kExitInit);
    }
    if (result != 0) {
        if (options.quitAfterFailedInit) callQuit(module, 0);
        return;
    }

    SoundOutput sound;
    PlayClock clock(options.startMs);
    if (!options.mute && !options.fast) {
        std::string reason;
        if (sound.start(audio, sampleAtMs(audio, options.startMs), reason))
            emitEvent("sound device=waveout");
        else
            emitEvent("sound device=none reason=" + quoteEventText(reason));
    }

    const DWORD startTick = timeGetTime();
    int rendered = 0;
    bool closed = false;
    for (;;) {
        if (!pumpMessages()) {
            closed = true;
            break;
        }
        if (options.frames > 0 && rendered >= options.frames) break;
        if (!options.fast) {
            // Wait for this frame's time, handling messages meanwhile.
            DWORD due = startTick + DWORD(int64_t(rendered) * 1000 / options.fps);
            for (;;) {
                LONG wait = LONG(due - timeGetTime());
                if (wait <= 0) break;
                MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(wait), QS_ALLINPUT);
                if (!pumpMessages()) {
                    closed = true;
                    break;
                }
            }
            if (closed) break;
        }

        const int frame = rendered + 1;
        visSite.frame = frame;
        for (const ScriptedTitle& t : options.titles) {
            if (t.frame != frame) continue;
            SetWindowTextA(mainWindow, t.text.c_str());
            emitEventf("title frame=%d text=%s", frame, quoteEventText(t.text).c_str());
        }
        for (const ScriptedPosition& p : options.positions) {
            if (p.frame != frame) continue;
            clock.jump(p.ms, rendered);
            sound.seek(sampleAtMs(audio, p.ms));
            emitEventf("position frame=%d ms=%u", frame, unsigned(p.ms));
        }
        bool keys = false;
        for (const ScriptedKey& k : options.keys) {
            if (k.frame != frame) continue;
            sendKey(k, frame);
            keys = true;
        }
        // What the keys posted (a WM_CLOSE after Escape, say) is handled before the frame,
        // as a player's message loop would.
        if (keys && !pumpMessages()) {
            closed = true;
            break;
        }

        // The mode changes on the main thread; this thread answers the WM_DISPLAYCHANGE sent
        // to its windows meanwhile.
        for (const ScriptedDisplayMode& m : options.displayModes)
            if (m.frame == frame)
                SendMessageA(mainWindow, kChangeDisplayMode, WPARAM(frame),
                             reinterpret_cast<LPARAM>(&m));

        // The run waits for Config, still answering what is sent to its windows meanwhile.
        for (int at : options.configFrames)
            if (at == frame)
                SendMessageA(mainWindow, kConfigDuringRun, WPARAM(frame),
                             reinterpret_cast<LPARAM>(module));

        int64_t playedMs = clock.at(rendered);
        int64_t sample = sampleAtMs(audio, playedMs);
        InterlockedExchange(&positionMs, LONG(songPositionMs(playedMs)));
        fillVisData(audio, sample, module->waveformData, module->spectrumData);
        {
            PluginCall call(visSite, "Render");
            result = module->Render(module);
        }
        if (rendered == 0) assertCrashHandlers();
        ++rendered;
        if (result != 0) emitEventf("render frame=%d result=%d", frame, result);
        for (const ScriptedCapture& c : options.captures)
            if (c.frame == frame) captureFrame(c, frame);
    }
    sound.stop();
    if (closed) emitEventf("window-closed frame=%d", rendered);
    visSite.frame = rendered;
    callQuit(module, rendered);
    emitEventf("frames rendered=%d reason=%s", rendered, closed ? "closed" : "frames");
}

DWORD WINAPI visThread(void* param) {
    try {
        visSite.thread = GetCurrentThreadId();
        if (options.dpiUnaware) emitEventf("dpi-unaware done=%d", makeThreadDpiUnaware() ? 1 : 0);
        visualise(*static_cast<Run*>(param));
    } catch (...) {
        emitEvent("error message=\"visualisation thread failed\"");
        setExitCode(kExitCrash);
    }
    return 0;
}

void pumpMainUntil(HANDLE thread) {
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) break;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    // Keys that the plug-in posted to the player window before it ended.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// ---------------------------------------------------------------------------------------------
// One plug-in: load, header, module, Config or the runs, unload.

void reportUnsentScript(int lastFrame) {
    for (const ScriptedKey& k : options.keys)
        if (k.frame > lastFrame) emitEventf("unsent kind=key frame=%d", k.frame);
    for (const ScriptedCapture& c : options.captures)
        if (c.frame > lastFrame) emitEventf("unsent kind=capture frame=%d", c.frame);
    for (const ScriptedDisplayMode& m : options.displayModes)
        if (m.frame > lastFrame) emitEventf("unsent kind=display-mode frame=%d", m.frame);
}

void runPlugin(const std::string& path) {
    char full[MAX_PATH * 2] = {0};
    if (!GetFullPathNameA(path.c_str(), sizeof full, full, nullptr))
        lstrcpynA(full, path.c_str(), sizeof full);
    // The altered search path finds libraries beside the plug-in (gbm.dll) first.
    HMODULE library = LoadLibraryExA(full, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!library) {
        emitEventf("load-failed path=%s error=%lu", quoteEventText(full).c_str(),
                   (unsigned long)GetLastError());
        setExitCode(kExitLoad);
        return;
    }
    emitEvent("load path=" + quoteEventText(full));
    assertCrashHandlers();

    FARPROC exported = GetProcAddress(library, "winampVisGetHeader");
    auto getHeader = reinterpret_cast<winampVisGetHeaderType>(reinterpret_cast<void*>(exported));
    if (!getHeader) {
        emitEvent("header-missing export=\"winampVisGetHeader\"");
        setExitCode(kExitLoad);
        FreeLibrary(library);
        return;
    }
    winampVisHeader* header;
    {
        PluginCall call(mainSite, "winampVisGetHeader");
        header = getHeader();
    }
    if (!header) {
        emitEvent("header-null");
        setExitCode(kExitLoad);
        FreeLibrary(library);
        return;
    }
    emitEventf("header version=0x%X description=%s", unsigned(header->version),
               quoteEventText(header->description ? header->description : "").c_str());
    if (header->version != kVisHeaderVersion || !header->getModule) {
        emitEventf("header-bad version=0x%X expected=0x%X", unsigned(header->version),
                   unsigned(kVisHeaderVersion));
        setExitCode(kExitLoad);
        FreeLibrary(library);
        return;
    }

    winampVisModule* module;
    {
        PluginCall call(mainSite, "getModule");
        module = header->getModule(0);
        if (options.probeModule) {
            winampVisModule* again = header->getModule(0);
            winampVisModule* one = header->getModule(1);
            winampVisModule* minusOne = header->getModule(-1);
            emitEventf("module-probe same=%d index1_null=%d indexm1_null=%d",
                       again == module ? 1 : 0, one == nullptr ? 1 : 0,
                       minusOne == nullptr ? 1 : 0);
        }
    }
    if (!module) {
        emitEvent("module-null index=0");
        setExitCode(kExitLoad);
        FreeLibrary(library);
        return;
    }
    emitEventf("module index=0 description=%s",
               quoteEventText(module->description ? module->description : "").c_str());
    module->hwndParent = mainWindow;
    module->hDllInstance = library;
    module->sRate = audio.sampleRate;
    module->nCh = audio.sourceChannels;

    if (options.config) {
        emitEvent("config");
        {
            PluginCall call(mainSite, "Config");
            module->Config(module);
        }
        assertCrashHandlers();
        emitEvent("config-done");
    } else {
        for (int r = 1; r <= options.runs; ++r) {
            Run run;
            run.module = module;
            run.number = r;
            DWORD id = 0;
            HANDLE thread = CreateThread(nullptr, 0, visThread, &run, CREATE_SUSPENDED, &id);
            if (!thread) {
                emitEvent("error message=\"cannot start the visualisation thread\"");
                setExitCode(kExitCrash);
                break;
            }
            visThreadId = id;
            ResumeThread(thread);
            pumpMainUntil(thread);
            visThreadId = 0;
            CloseHandle(thread);
            reportUnsentScript(visSite.frame);
        }
    }

    FreeLibrary(library);
    emitEvent("unload");
}

std::string describeAudio() {
    std::string source = options.wavFile.empty() ? "demo" : "wav";
    char line[256];
    snprintf(line, sizeof line, " rate=%d channels=%d bits=%d length_ms=%u", audio.sampleRate,
             audio.sourceChannels, audio.sourceBits, unsigned(audio.lengthMs()));
    std::string text = "audio source=" + source;
    if (!options.wavFile.empty()) text += " file=" + quoteEventText(options.wavFile);
    return text + line;
}

int hostMain(int argc, char** argv) {
    std::vector<std::string> args;
    std::string error;
    if (!expandArgumentFiles(std::vector<std::string>(argv + 1, argv + argc), args, error) ||
        !parseHostOptions(args, options, error)) {
        // Report into the log file too when one was asked for.
        for (size_t i = 0; i + 1 < args.size(); ++i)
            if (args[i] == "--log") openEventLog(args[i + 1]);
        emitEvent("error message=" + quoteEventText(error));
        fprintf(stderr, "host: %s\n", error.c_str());
        return kExitUsage;
    }
    if (options.help) {
        fputs(hostUsage(), stdout);
        fflush(stdout);
        return kExitOk;
    }
    if (!options.logFile.empty()) openEventLog(options.logFile);
    mainSite.thread = GetCurrentThreadId();
    assertCrashHandlers();
    SetConsoleCtrlHandler(consoleControl, TRUE);
    timeBeginPeriod(1);

    emitEventf("start fps=%d fast=%d mute=%d frames=%d runs=%d", options.fps, options.fast ? 1 : 0,
               options.mute ? 1 : 0, options.frames, options.runs);
    if (options.wavFile.empty()) {
        audio = makeDemoTrack();
    } else if (!loadWavFile(options.wavFile, audio, error)) {
        emitEvent("audio-failed file=" + quoteEventText(options.wavFile) +
                  " reason=" + quoteEventText(error));
        emitEventf("exit code=%d", kExitUsage);
        return kExitUsage;
    }
    emitEvent(describeAudio());

    if (!createPlayerWindow()) {
        emitEventf("error message=\"cannot create the player window\" code=%lu",
                   (unsigned long)GetLastError());
        emitEventf("exit code=%d", kExitCrash);
        return kExitCrash;
    }
    emitEvent("player title=" + quoteEventText(options.title));
    startDialogWatcher(options.dialogs);

    for (const std::string& plugin : options.plugins) runPlugin(plugin);

    if (!stopDialogWatcher()) setExitCode(kExitDialog);
    if (displayModeChanged) {
        modeBefore.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
        emitEventf("display-mode-restored result=%ld",
                   long(ChangeDisplaySettingsA(modeBefore.dmSize ? &modeBefore : nullptr, 0)));
    }
    DestroyWindow(mainWindow);
    timeEndPeriod(1);
    int code = int(exitCode);
    emitEventf("exit code=%d", code);
    return code;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return hostMain(argc, argv);
    } catch (...) {
        emitEvent("error message=\"unexpected failure\"");
        return kExitCrash;
    }
}
