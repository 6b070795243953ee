#include "base/loader_thread.h"

#include <windows.h>

namespace {
struct Start {
    LoaderThread* loader;
    void (*body)(void*);
    void* argument;
};

DWORD WINAPI run(void* raw) {
    Start start = *static_cast<Start*>(raw);
    delete static_cast<Start*>(raw);
    start.body(start.argument);
    start.loader->busy.store(false, std::memory_order_release);
    return 0;
}
} // namespace

bool startLoader(LoaderThread& loader, void (*body)(void*), void* argument) {
    if (loader.busy.load(std::memory_order_acquire)) return false;
    if (loader.handle) CloseHandle(static_cast<HANDLE>(loader.handle));
    loader.handle = nullptr;
    loader.busy.store(true, std::memory_order_release);
    auto* start = new Start{&loader, body, argument};
    HANDLE thread = CreateThread(nullptr, 0, run, start, CREATE_SUSPENDED, nullptr);
    if (!thread) {
        delete start;
        loader.busy.store(false, std::memory_order_release);
        return false;
    }
    SetThreadPriority(thread, THREAD_PRIORITY_BELOW_NORMAL);
    loader.handle = thread;
    ResumeThread(thread);
    return true;
}

bool waitForLoader(LoaderThread& loader, unsigned milliseconds) {
    if (!loader.handle) return !loader.busy.load(std::memory_order_acquire);
    HANDLE thread = static_cast<HANDLE>(loader.handle);
    if (WaitForSingleObject(thread, milliseconds) != WAIT_OBJECT_0) return false;
    CloseHandle(thread);
    loader.handle = nullptr;
    return true;
}
