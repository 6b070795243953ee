#include "win32/dpi_awareness.h"

namespace {
// The calls of Windows 10 1607 and later, looked up at run time: the plug-in also runs on
// systems without them (and under Wine versions that lack some).
using SetThreadContextFn = void*(WINAPI*)(void*);
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using GetThreadContextFn = void*(WINAPI*)();
using AwarenessFromContextFn = int(WINAPI*)(void*);
constexpr int kPerMonitorAwareness = 2; // DPI_AWARENESS_PER_MONITOR_AWARE

// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 (Windows 10 1703) and _PER_MONITOR_AWARE (1607).
void* const kPerMonitorAwareV2 = reinterpret_cast<void*>(static_cast<intptr_t>(-4));
void* const kPerMonitorAware = reinterpret_cast<void*>(static_cast<intptr_t>(-3));

FARPROC user32Call(const char* name) {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 ? GetProcAddress(user32, name) : nullptr;
}

template <class F> F lookUp(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(user32Call(name)));
}

SetThreadContextFn setThreadContext() {
    static const SetThreadContextFn call =
        lookUp<SetThreadContextFn>("SetThreadDpiAwarenessContext");
    return call;
}
} // namespace

PerMonitorDpiScope::PerMonitorDpiScope() {
    const SetThreadContextFn set = setThreadContext();
    if (!set) return;
    previous_ = set(kPerMonitorAwareV2);
    if (!previous_) previous_ = set(kPerMonitorAware);
}

PerMonitorDpiScope::~PerMonitorDpiScope() {
    if (previous_) setThreadContext()(previous_);
}

bool threadPerMonitorAware() {
    static const GetThreadContextFn get =
        lookUp<GetThreadContextFn>("GetThreadDpiAwarenessContext");
    static const AwarenessFromContextFn awareness =
        lookUp<AwarenessFromContextFn>("GetAwarenessFromDpiAwarenessContext");
    return get && awareness && awareness(get()) == kPerMonitorAwareness;
}

int windowDpi(HWND window) {
    static const GetDpiForWindowFn call = lookUp<GetDpiForWindowFn>("GetDpiForWindow");
    const UINT dpi = call && window ? call(window) : 0;
    return dpi > 0 ? static_cast<int>(dpi) : 96;
}

void adjustWindowRectForDpi(RECT& rect, DWORD style, bool menu, DWORD exStyle, int dpi) {
    static const AdjustForDpiFn call = lookUp<AdjustForDpiFn>("AdjustWindowRectExForDpi");
    if (call && call(&rect, style, menu, exStyle, static_cast<UINT>(dpi))) return;
    AdjustWindowRectEx(&rect, style, menu, exStyle);
}
