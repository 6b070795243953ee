// Deliberate processor faults for the tests of the fault guards. They are made so that no
// sanitizer check stops them before the processor faults and the guard's handler runs:
// - the access violation is a write to a page mapped without any access, not through null
//   (UBSan checks null pointers; AddressSanitizer and ThreadSanitizer see an ordinary address
//   whose shadow says nothing against it, so the write itself faults);
// - the division by zero is compiled without UBSan's check for it, in a function of its own.
#pragma once
#include <sys/mman.h>

#include <cstddef>

inline volatile int* inaccessiblePage() {
    static void* const page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return page == MAP_FAILED ? nullptr : static_cast<volatile int*>(page);
}

// A write the processor refuses (SIGSEGV natively, an access violation in the reports).
inline void causeAccessViolation() {
    *inaccessiblePage() = 1;
}

inline volatile int faultQuotient = 0;

// An integer division by zero (SIGFPE with FPE_INTDIV). The quotient goes to a volatile, so
// the division cannot be left out.
__attribute__((noinline, no_sanitize("integer-divide-by-zero"))) inline void
causeIntegerDivisionByZero() {
    static volatile int divisor = 0;
    faultQuotient = 10 / divisor;
}
