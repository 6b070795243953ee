#include "win32_util.h"

#include <cstdio>

std::string windowText(HWND hwnd) {
    int length = GetWindowTextLengthA(hwnd);
    if (length <= 0) return std::string();
    std::string text(size_t(length) + 1, '\0');
    int got = GetWindowTextA(hwnd, &text[0], length + 1);
    text.resize(got > 0 ? size_t(got) : 0);
    return text;
}

std::string windowClass(HWND hwnd) {
    char name[256] = {0};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

std::string moduleNameAt(const void* address) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &module))
        return std::string();
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(module, path, MAX_PATH);
    std::string p = path;
    size_t slash = p.find_last_of("\\/");
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

bool isSystemHelperWindow(HWND hwnd) {
    std::string c = windowClass(hwnd);
    return lstrcmpiA(c.c_str(), "IME") == 0 || lstrcmpiA(c.c_str(), "MSCTFIME UI") == 0;
}

std::string hex32(unsigned long value) {
    char buffer[16];
    snprintf(buffer, sizeof buffer, "0x%08lX", value);
    return buffer;
}

namespace {
using SetThreadDpiContextFn = void*(WINAPI*)(void*);

SetThreadDpiContextFn setThreadDpiContext() {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 ? reinterpret_cast<SetThreadDpiContextFn>(reinterpret_cast<void*>(
                        GetProcAddress(user32, "SetThreadDpiAwarenessContext")))
                  : nullptr;
}
} // namespace

bool makeThreadDpiUnaware() {
    SetThreadDpiContextFn set = setThreadDpiContext();
    // DPI_AWARENESS_CONTEXT_UNAWARE
    return set && set(reinterpret_cast<void*>(static_cast<intptr_t>(-1))) != nullptr;
}

PhysicalPixelsScope::PhysicalPixelsScope() {
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE
    if (SetThreadDpiContextFn set = setThreadDpiContext())
        previous_ = set(reinterpret_cast<void*>(static_cast<intptr_t>(-3)));
}

PhysicalPixelsScope::~PhysicalPixelsScope() {
    if (previous_) setThreadDpiContext()(previous_);
}
