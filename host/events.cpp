#include "events.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

struct Output {
    CRITICAL_SECTION lock;
    HANDLE log = INVALID_HANDLE_VALUE;
    Output() { InitializeCriticalSection(&lock); }
};

Output& output() {
    static Output o;
    return o;
}

void writeAll(HANDLE h, const char* data, DWORD size) {
    if (h == INVALID_HANDLE_VALUE || h == nullptr) return;
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(h, data, size, &written, nullptr) || written == 0) return;
        data += written;
        size -= written;
    }
}

void writeLine(const char* text, size_t size) {
    Output& o = output();
    writeAll(GetStdHandle(STD_OUTPUT_HANDLE), text, DWORD(size));
    writeAll(o.log, text, DWORD(size));
}

} // namespace

void openEventLog(const std::string& path) {
    Output& o = output();
    // Appending: the probe plug-in may write its own lines into the same file.
    o.log = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void emitEvent(const std::string& line) {
    std::string text = "host " + line + "\n";
    Output& o = output();
    EnterCriticalSection(&o.lock);
    writeLine(text.data(), text.size());
    LeaveCriticalSection(&o.lock);
}

void emitEventf(const char* format, ...) {
    char buffer[2048];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    emitEvent(buffer);
}

void emitEventRaw(const char* line) {
    char buffer[1024];
    int n = snprintf(buffer, sizeof buffer, "host %s\n", line);
    if (n < 0) return;
    if (n >= int(sizeof buffer)) n = int(sizeof buffer) - 1;
    Output& o = output();
    // The faulting thread may have been interrupted while holding the lock.
    bool locked = false;
    for (int i = 0; i < 50 && !locked; ++i) {
        locked = TryEnterCriticalSection(&o.lock);
        if (!locked) Sleep(10);
    }
    writeLine(buffer, size_t(n));
    if (locked) LeaveCriticalSection(&o.lock);
}
