// Native fault guard: signal handlers on an alternate stack jump back to the innermost active
// guard of the faulting thread. Signals map onto the Windows exception codes of the same
// meaning so that reports read the same on both builds.
#include "base/errorlog.h"
#include "base/guard.h"

#include <csetjmp>
#include <csignal>
#include <cstddef>
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
pthread_once_t handlersInstalled = PTHREAD_ONCE_INIT;

constexpr int kGuardedSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
// What handled each signal before us (the default action, or a sanitizer's handler): a fault
// outside every guard goes there.
struct sigaction previousActions[sizeof kGuardedSignals / sizeof kGuardedSignals[0]];

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
        // Not ours to handle: give the signal back to whoever had it before us. A processor
        // fault happens again when this handler returns and reaches that handler (or the
        // default action ends the process); a signal that was sent is sent again.
        for (size_t i = 0; i < sizeof kGuardedSignals / sizeof kGuardedSignals[0]; ++i)
            if (kGuardedSignals[i] == signal) sigaction(signal, &previousActions[i], nullptr);
        if (info->si_code <= 0) raise(signal);
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
    for (size_t i = 0; i < sizeof kGuardedSignals / sizeof kGuardedSignals[0]; ++i)
        sigaction(kGuardedSignals[i], &action, &previousActions[i]);
}

// The handler runs on an alternate signal stack, so that a stack overflow can be caught too.
// A thread that already has one (set by the program, or by AddressSanitizer, which gives every
// thread its own and unmaps it when the thread ends) keeps it. Otherwise the guard gives the
// thread a stack of its own for as long as the thread lives: when the thread ends, the stack
// that was there before is restored and ours freed.
constexpr size_t kAlternateStackSize = 64 * 1024;
constexpr size_t kSmallestUsableStack = 16 * 1024;

class AlternateStack {
  public:
    void ensure() {
        if (checked_) return;
        checked_ = true;
        stack_t current = {};
        if (sigaltstack(nullptr, &current) != 0) return;
        if (!(current.ss_flags & SS_DISABLE) && current.ss_size >= kSmallestUsableStack) return;
        void* memory = std::malloc(kAlternateStackSize);
        if (!memory) return;
        stack_t ours = {};
        ours.ss_sp = memory;
        ours.ss_size = kAlternateStackSize;
        if (sigaltstack(&ours, nullptr) != 0) {
            std::free(memory);
            return;
        }
        memory_ = memory;
        previous_ = current;
    }
    ~AlternateStack() {
        if (!memory_) return;
        stack_t current = {};
        if (sigaltstack(nullptr, &current) == 0 && current.ss_sp == memory_ &&
            !(current.ss_flags & SS_ONSTACK)) {
            if (previous_.ss_flags & SS_DISABLE) {
                stack_t none = {};
                none.ss_flags = SS_DISABLE;
                sigaltstack(&none, nullptr);
            } else {
                previous_.ss_flags = 0;
                sigaltstack(&previous_, nullptr);
            }
        } else if (current.ss_sp == memory_) {
            return; // still in use (cannot happen while a thread ends normally): keep it
        }
        std::free(memory_);
    }

  private:
    bool checked_ = false;
    void* memory_ = nullptr;
    stack_t previous_ = {};
};

thread_local AlternateStack alternateStack;
} // namespace

bool runGuarded(const char* source, int line, void (*fn)(void*), void* context) {
    pthread_once(&handlersInstalled, installHandlers);
    alternateStack.ensure();
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
