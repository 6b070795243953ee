#include "base/errorlog.h"
#include "base/guard.h"
#include "base/instance.h"
#include "base/settings.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {
char logFile[260] = "c:\\quorbel_errors.log";
std::atomic<bool> anyLineWritten{false};

struct ExceptionText {
    uint32_t code;
    const char* text;
};

const ExceptionText exceptionTexts[] = {
    {0x80000001, "\t EXCEPTION_GUARD_PAGE:  A very deep and not well documented Windows Memory "
                 "Management error has occured."},
    {0x80000002, "\t EXCEPTION_DATATYPE_MISALIGNMENT:  The thread attempted to read or write "
                 "data that is misaligned on hardware that does not provide alignment. For "
                 "example, 16-bit values must be aligned on 2-byte boundaries, 32-bit values on "
                 "4-byte boundaries, and so on."},
    {0x80000003, "\t EXCEPTION_BREAKPOINT:  A breakpoint was encountered."},
    {0x80000004, "\t EXCEPTION_SINGLE_STEP:  A trace trap or other single-instruction mechanism "
                 "signaled that one instruction has been executed."},
    {0xC0000005, "\t EXCEPTION_ACCESS_VIOLATION:  The thread attempted to read from or write to "
                 "a virtual address for which it does not have the appropriate access."},
    {0xC0000006, "\t EXCEPTION_IN_PAGE_ERROR:  The thread tried to access a page that was not "
                 "present, and the system was unable to load the page. For example, this "
                 "exception might occur if a network connection is lost while running a program "
                 "over the network."},
    {0xC0000008, "\t EXCEPTION_INVALID_HANDLE:  A very deep and not well documented Windows "
                 "Memory Management error has occured."},
    {0xC000001D, "\t EXCEPTION_ILLEGAL_INSTRUCTION:  The thread tried to execute an invalid "
                 "instruction."},
    {0xC0000025, "\t EXCEPTION_NONCONTINUABLE_EXCEPTION:  The thread attempted to continue "
                 "execution after a noncontinuable exception occurred."},
    {0xC0000026, "\t EXCEPTION_INVALID_DISPOSITION:  An exception handler returned an invalid "
                 "disposition to the exception dispatcher. Programmers using a high-level "
                 "language such as C should never encounter this exception."},
    {0xC000008C, "\t EXCEPTION_ARRAY_BOUNDS_EXCEEDED:  The thread attempted to access an array "
                 "element that is out of bounds, and the underlying hardware supports bounds "
                 "checking."},
    {0xC000008D, "\t EXCEPTION_FLT_DENORMAL_OPERAND:  One of the operands in a floating-point "
                 "operation is denormal. A denormal value is one that is too small to represent "
                 "as a standard floating-point value."},
    {0xC000008E, "\t EXCEPTION_FLT_DIVIDE_BY_ZERO:  The thread attempted to divide a "
                 "floating-point value by a floating-point divisor of zero."},
    {0xC000008F, "\t EXCEPTION_FLT_INEXACT_RESULT:  The result of a floating-point operation "
                 "cannot be represented exactly as a decimal fraction."},
    {0xC0000090, "\t EXCEPTION_FLT_INVALID_OPERATION:  This exception represents any "
                 "floating-point exception not included in this list."},
    {0xC0000091, "\t EXCEPTION_FLT_OVERFLOW:  The exponent of a floating-point operation is "
                 "greater than the magnitude allowed by the corresponding type."},
    {0xC0000092, "\t EXCEPTION_FLT_STACK_CHECK:  The stack overflowed or underflowed as the "
                 "result of a floating-point operation."},
    {0xC0000093, "\t EXCEPTION_FLT_UNDERFLOW:  The exponent of a floating-point operation is "
                 "less than the magnitude allowed by the corresponding type."},
    {0xC0000094, "\t EXCEPTION_INT_DIVIDE_BY_ZERO:  The thread attempted to divide an integer "
                 "value by an integer divisor of zero."},
    {0xC0000095, "\t EXCEPTION_INT_OVERFLOW:  The result of an integer operation caused a carry "
                 "out of the most significant bit of the result."},
    {0xC0000096, "\t EXCEPTION_PRIV_INSTRUCTION:  The thread attempted to execute an "
                 "instruction whose operation is not allowed in the current machine mode."},
    {0xC00000FD, "\t EXCEPTION_STACK_OVERFLOW:  The thread used up its stack."},
};

struct PendingLine {
    char* line;
    bool written;
};

void appendLine(void* context) {
    PendingLine* pending = static_cast<PendingLine*>(context);
    FILE* file = std::fopen(logFile, "a");
    if (!file) return;
    const bool ok = std::fputs(pending->line, file) >= 0 && std::fputs("\n", file) >= 0;
    pending->written = std::fclose(file) == 0 && ok;
}
} // namespace

const char* logPath() {
    return logFile;
}

void setLogPath(const char* path) {
    std::snprintf(logFile, sizeof logFile, "%s", path);
}

void LogWriter(const char* format, ...) {
    char line[kLogLineSize];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (length < 0) return;
    for (char* c = line; *c; ++c)
        if (*c == '\r' || *c == '\n') *c = ' ';
    PendingLine pending = {line, false};
    runGuarded(nullptr, __LINE__, appendLine, &pending);
    if (pending.written) anyLineWritten = true;
}

bool logLineWritten() {
    return anyLineWritten;
}

void resetLogStatus() {
    anyLineWritten = false;
}

void formatLogHeader(char* out, size_t size, unsigned day, unsigned month, unsigned year,
                     unsigned hour, unsigned minute, unsigned second) {
    std::snprintf(out, size, "--------- Quorbel-4-Winamp 1.50 ------- %u.%u.%u. %u:%u:%u------\n",
                  day, month, year, hour, minute, second);
}

void writeLogHeader() {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    char header[128];
    if (local)
        formatLogHeader(header, sizeof header, local->tm_mday, local->tm_mon + 1,
                        local->tm_year + 1900, local->tm_hour, local->tm_min, local->tm_sec);
    else
        formatLogHeader(header, sizeof header, 0, 0, 0, 0, 0, 0);
    LogWriter("%s", header);
}

void writeLogFooter() {
    LogWriter("--------- End ------------------------");
}

const char* exceptionDescription(uint32_t code) {
    for (const ExceptionText& entry : exceptionTexts)
        if (entry.code == code) return entry.text;
    return "\t Unknown Win32 Exception Code";
}

void reportException(const char* source, int line) {
    // Read the code first: a fault inside the writes below must not replace it.
    const uint32_t code = lastExceptionCode();
    ++plugin.errorCount;
    if (!settings.Log_Errors_To_File) return;
    struct Lines {
        const char* source;
        int line;
    } lines = {source, line};
    runGuarded(
        nullptr, __LINE__,
        [](void* c) {
            const Lines* l = static_cast<const Lines*>(c);
            LogWriter("Win32 Exception thrown:");
            LogWriter("\t FILE: %s", l->source);
            LogWriter("\t LINE #%d", l->line);
        },
        &lines);
    LogWriter("%s", exceptionDescription(code));
}

void formatErrorSummary(char* out, size_t size, unsigned count, bool loggedToFile) {
    if (loggedToFile)
        std::snprintf(out, size,
                      "There were %u errors logged to file 'c:\\quorbel_errors.log'\nPlease send "
                      "this file via email to author [quorbel-errors@quorbel.example]",
                      count);
    else
        std::snprintf(out, size,
                      "There were %u errors detected and intercepted.\nYou can enable/disable "
                      "error logging in Configure->General tab.\nYou can also disable this error "
                      "warning on the same place.",
                      count);
}
