#include "base/loader_thread.h"

#include <cerrno>
#include <ctime>
#include <pthread.h>
#include <sched.h>

namespace {
struct Start {
    LoaderThread* loader;
    void (*body)(void*);
    void* argument;
};

void* run(void* raw) {
    Start start = *static_cast<Start*>(raw);
    delete static_cast<Start*>(raw);
    start.body(start.argument);
    start.loader->busy.store(false, std::memory_order_release);
    return nullptr;
}

void joinPrevious(LoaderThread& loader) {
    if (!loader.handle) return;
    pthread_t* thread = static_cast<pthread_t*>(loader.handle);
    pthread_join(*thread, nullptr);
    delete thread;
    loader.handle = nullptr;
}
} // namespace

bool startLoader(LoaderThread& loader, void (*body)(void*), void* argument) {
    if (loader.busy.load(std::memory_order_acquire)) return false;
    joinPrevious(loader);
    loader.busy.store(true, std::memory_order_release);
    auto* thread = new pthread_t;
    auto* start = new Start{&loader, body, argument};
    if (pthread_create(thread, nullptr, run, start) != 0) {
        delete start;
        delete thread;
        loader.busy.store(false, std::memory_order_release);
        return false;
    }
    loader.handle = thread;
    return true;
}

bool waitForLoader(LoaderThread& loader, unsigned milliseconds) {
    if (!loader.handle) return !loader.busy.load(std::memory_order_acquire);
    pthread_t* thread = static_cast<pthread_t*>(loader.handle);
    timespec deadline;
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += milliseconds / 1000;
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    if (pthread_timedjoin_np(*thread, nullptr, &deadline) != 0) return false;
    delete thread;
    loader.handle = nullptr;
    return true;
}
