// Fault guards: run a block so that a processor fault inside it (an access violation, an
// integer division by zero, an illegal instruction, a stack overflow) abandons the block
// instead of taking the host down. The fault is counted and reported to the error log with
// the source name and line of the guarded block, and execution continues after it.
//
// Use:   guarded("palettes", __LINE__, [&] { ...risky block... });
//
// The block is left by a long jump: destructors of objects created inside it do not run, so
// keep owning objects (std::string, std::vector, ...) outside the block, and make locals that
// are changed inside the block and read after it volatile.
#pragma once
#include <cstdint>

// Windows exception codes; the native build maps signals onto them.
constexpr uint32_t kExceptionAccessViolation = 0xC0000005;
constexpr uint32_t kExceptionIllegalInstruction = 0xC000001D;
constexpr uint32_t kExceptionIntDivideByZero = 0xC0000094;
constexpr uint32_t kExceptionIntOverflow = 0xC0000095;
constexpr uint32_t kExceptionFltInvalidOperation = 0xC0000090;
constexpr uint32_t kExceptionStackOverflow = 0xC00000FD;
constexpr uint32_t kExceptionInPageError = 0xC0000006;

// Runs fn(context) under a guard. True when it ran to its end, false when a fault was caught
// (the fault has then been counted and reported). A null source catches without reporting.
bool runGuarded(const char* source, int line, void (*fn)(void*), void* context);

template <class F> bool guarded(const char* source, int line, F&& block) {
    return runGuarded(
        source, line, [](void* c) { (*static_cast<F*>(c))(); }, &block);
}

// The code of the fault most recently caught by a guard on the calling thread.
uint32_t lastExceptionCode();
