// What the three table tools share: reading numbers from the command line, the program name
// for the usage text, a float-to-integer conversion that is defined for every value, and the
// exit on a write error.
#pragma once
#include <cstdio>

// A decimal integer at the start of text: leading white space, an optional sign, then digits
// up to the first other character. 0 when there is no number; values beyond the int range
// saturate.
int readIntArgument(const char* text);

// A decimal number at the start of text: leading white space, an optional sign, digits with
// an optional fraction, and an optional exponent. 0 when there is no number. Only this plain
// decimal form is read (no "inf", "nan" or hexadecimal), so every build reads the same value.
double readDoubleArgument(const char* text);

// The program's name as the usage text shows it: the part of argv[0] after the last backslash
// (natively also after the last slash); the whole text when it has none.
const char* programName(const char* argv0);

// Truncation toward zero. A value outside the int range, or not a number, gives INT_MIN, the
// value the x86 conversion instruction gives, instead of undefined behaviour.
int truncateToInt(double value);

// value limited to low..high.
int clampArgument(int value, int low, int high);

// Reports a failed write of the output file ("disk full?"), closes file when it is open, and
// gives the tools' exit code for it, 3.
int failWriting(std::FILE* file);
