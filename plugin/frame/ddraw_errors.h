// Texts for DirectDraw result codes, for the start-up failure message
// ("Direct Draw Init Failed (%08lx)\n%s\n"). The table holds the numeric codes of the DirectDraw
// header, so this file needs no Windows header.
#pragma once
#include <cstddef>
#include <cstdint>

struct DirectDrawErrorRow {
    uint32_t code;    // the result code as the 32-bit HRESULT bit pattern
    const char* text; // the symbolic name, padded as shown in messages
};

// Row 0 is result 0 ("OK!!!"); rows 1..99 are the named DirectDraw errors in ascending order
// of code.
constexpr int kDirectDrawErrorRowCount = 100;
extern const DirectDrawErrorRow directDrawErrorTable[kDirectDrawErrorRowCount];

// The text for a code that is not in the table.
extern const char* const kUnknownDirectDrawErrorText;

// The row text for code, or kUnknownDirectDrawErrorText. Only the low 32 bits of code count,
// so a result passed through a 64-bit long (sign-extended or not) finds the same row.
const char* directDrawErrorString(long code);

// Copies the text for code into buffer (cut to size - 1 characters, always terminated when
// size > 0) and returns buffer.
char* DirectDrawErrorText(long code, char* buffer, size_t size);
