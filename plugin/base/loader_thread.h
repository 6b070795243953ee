// A background loader thread with a busy mark that reads busy from before the thread can run
// until its body has finished writing. The visualisation thread touches a loader's buffers only
// while the mark is clear.
#pragma once
#include <atomic>

struct LoaderThread {
    std::atomic<bool> busy{false};
    void* handle = nullptr; // owned by the starting thread; closed at the next start or wait
};

// Starts body(argument) at below-normal priority, unless the loader is busy (then false). The
// mark is set before the thread exists and cleared by the thread after body returns.
bool startLoader(LoaderThread& loader, void (*body)(void*), void* argument);

// Waits at most milliseconds for a running loader; true when it has ended (or none ran).
bool waitForLoader(LoaderThread& loader, unsigned milliseconds);
