// Native fault guard: signal handlers on an alternate stack jump back to the innermost active
// guard of the faulting thread. Signals map onto the Windows exception codes of the same
// meaning so that reports read the same on both builds.
#include "errorlog.h"
#include "guard.h"

#include <csetjmp>
#include <initializer_list>
#include <csignal>
#include <cstdlib>
#include <pthread.h>

namespace {
thread_local uint32_t threadExceptionCode = 0;
} // namespace

uint32_t lastExceptionCode() {
    return threadExceptionCode;
}

#ifdef QUORBEL_NO_FAULT_GUARDS
// Sanitizer and fuzzing builds: faults must reach the sanitizer, so guards only run the block.
bool runGuarded(const char*, int, void (*fn)(void*), void* context) {
    fn(context);
    return true;
}
#else
namespace {
thread_local sigjmp_buf* activeGuard = nullptr;
thread_local void* alternateStack = nullptr;
pthread_once_t handlersInstalled = PTHREAD_ONCE_INIT;

uint32_t codeForSignal(int signal, const siginfo_t* info) {
    switch (signal) {
    case SIGFPE:
        if (info->si_code == FPE_INTDIV) return kExceptionIntDivideByZero;
        if (info->si_code == FPE_INTOVF) return kExceptionIntOverflow;
        return kExceptionFltInvalidOperation;
    case SIGILL:
        return kExceptionIllegalInstruction;
    case SIGBUS:
        return kExceptionInPageError;
    default:
        return kExceptionAccessViolation;
    }
}

void onFault(int signal, siginfo_t* info, void*) {
    if (!activeGuard) {
        // Not ours to handle: let the default action end the process.
        std::signal(signal, SIG_DFL);
        return;
    }
    threadExceptionCode = codeForSignal(signal, info);
    siglongjmp(*activeGuard, 1);
}

void installHandlers() {
    struct sigaction action = {};
    action.sa_sigaction = onFault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL}) sigaction(signal, &action, nullptr);
}

void ensureAlternateStack() {
    if (alternateStack) return;
    const size_t size = 64 * 1024;
    alternateStack = std::malloc(size);
    if (!alternateStack) return;
    stack_t stack = {};
    stack.ss_sp = alternateStack;
    stack.ss_size = size;
    sigaltstack(&stack, nullptr);
}
} // namespace

bool runGuarded(const char* source, int line, void (*fn)(void*), void* context) {
    pthread_once(&handlersInstalled, installHandlers);
    ensureAlternateStack();
    sigjmp_buf jump;
    sigjmp_buf* const outer = activeGuard;
    if (sigsetjmp(jump, 1) == 0) {
        activeGuard = &jump;
        fn(context);
        activeGuard = outer;
        return true;
    }
    activeGuard = outer;
    if (source) reportException(source, line);
    return false;
}
#endif
