// The error log and the exception reports: "c:\quorbel_errors.log" when Log_Errors_To_File is
// set, and the summary shown at Quit when Errors_Warning is set.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t kLogLineSize = 1024;

// The log file; tests point it elsewhere.
const char* logPath();
void setLogPath(const char* path);

// Formats one line (printf style) into a 1024-byte buffer, cut safely when longer, replaces
// every CR and LF by a space and appends it with a line end. A line that cannot be written is
// dropped silently.
void LogWriter(const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Whether any line reached the file since the last resetLogStatus (Init resets it), so that the
// summary never claims a log file that could not be written.
bool logLineWritten();
void resetLogStatus();

// "--------- Quorbel-4-Winamp 1.50 ------- D.M.YYYY. h:m:s------\n" (before LogWriter turns
// the line feed into a space).
void formatLogHeader(char* out, size_t size, unsigned day, unsigned month, unsigned year,
                     unsigned hour, unsigned minute, unsigned second);
// Writes the header line with the current local date and time.
void writeLogHeader();
void writeLogFooter();

// The description line for an exception code ("\t EXCEPTION_...:  ...").
const char* exceptionDescription(uint32_t code);

// Counts one intercepted exception and, when Log_Errors_To_File is set, writes its four lines
// with the code last caught on the calling thread.
void reportException(const char* source, int line);

// The text of the summary box for count errors. loggedToFile picks the log-file text.
void formatErrorSummary(char* out, size_t size, unsigned count, bool loggedToFile);
