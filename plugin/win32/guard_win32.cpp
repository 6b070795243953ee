// Windows fault guard: a vectored exception handler notices processor and system exceptions
// on a thread that has an active guard, stores the code and jumps back to the guard.
#include "base/errorlog.h"
#include "base/guard.h"

#include <windows.h>
#include <malloc.h>
#include <setjmp.h>

namespace {
thread_local jmp_buf* activeGuard = nullptr;
thread_local uint32_t threadExceptionCode = 0;
INIT_ONCE handlerInstalled = INIT_ONCE_STATIC_INIT;

constexpr DWORD kSetThreadName = 0x406D1388;

LONG CALLBACK onException(EXCEPTION_POINTERS* info) {
    const DWORD code = info->ExceptionRecord->ExceptionCode;
    // Debugger notifications (thread names, debug prints, informational codes) go on.
    if (code == kSetThreadName || (code & 0xC0000000u) == 0x40000000u)
        return EXCEPTION_CONTINUE_SEARCH;
    jmp_buf* const guard = activeGuard;
    if (!guard) return EXCEPTION_CONTINUE_SEARCH;
    threadExceptionCode = code;
    longjmp(*guard, 1);
}

BOOL CALLBACK installHandler(PINIT_ONCE, PVOID, PVOID*) {
    AddVectoredExceptionHandler(1, onException);
    return TRUE;
}
} // namespace

uint32_t lastExceptionCode() {
    return threadExceptionCode;
}

bool runGuarded(const char* source, int line, void (*fn)(void*), void* context) {
    InitOnceExecuteOnce(&handlerInstalled, installHandler, nullptr, nullptr);
    jmp_buf jump;
    jmp_buf* const outer = activeGuard;
    if (setjmp(jump) == 0) {
        activeGuard = &jump;
        fn(context);
        activeGuard = outer;
        return true;
    }
    activeGuard = outer;
    // After a stack overflow the stack's guard page must be put back for the next one.
    if (threadExceptionCode == EXCEPTION_STACK_OVERFLOW) _resetstkoflw();
    if (source) reportException(source, line);
    return false;
}
