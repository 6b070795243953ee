// mingw-w64's default (win32) thread model leaves std::mutex and std::condition_variable out,
// and GoogleTest's thread support uses them. This test program runs on one thread; these small
// ones on the Win32 primitives let GoogleTest build with that compiler, the one the plug-in is
// built with. Included before everything in the Windows unit tests and their GoogleTest.
#pragma once
#include <condition_variable>
#include <mutex>
#if !defined(_GLIBCXX_HAS_GTHREADS)
#include <windows.h>
namespace std {
class mutex {
  public:
    void lock() { AcquireSRWLockExclusive(&lock_); }
    void unlock() { ReleaseSRWLockExclusive(&lock_); }
    bool try_lock() { return TryAcquireSRWLockExclusive(&lock_) != 0; }
    SRWLOCK* native_handle() { return &lock_; }

  private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};
class condition_variable {
  public:
    void notify_one() { WakeConditionVariable(&variable_); }
    void notify_all() { WakeAllConditionVariable(&variable_); }
    template <class Predicate> void wait(unique_lock<mutex>& held, Predicate ready) {
        while (!ready())
            SleepConditionVariableSRW(&variable_, held.mutex()->native_handle(), INFINITE, 0);
    }

  private:
    CONDITION_VARIABLE variable_ = CONDITION_VARIABLE_INIT;
};
} // namespace std
#endif
