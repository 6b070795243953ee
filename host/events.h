// Event lines of the host: "host EVENT key=value ...", one line each, written whole to
// standard output and, with --log, appended to a file. Safe to call from any thread.
#pragma once
#include <string>

void openEventLog(const std::string& path);
void emitEvent(const std::string& line);
// printf-style; the result must not need quoting (use quoteEventText for texts).
void emitEventf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// For the crash filter: no heap use, does not wait long for the output lock.
void emitEventRaw(const char* line);
