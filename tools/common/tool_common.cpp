#include "tool_common.h"

#include <climits>
#include <cstdlib>
#include <string>

namespace {
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
} // namespace

int readIntArgument(const char* text) {
    if (!text) return 0;
    while (isBlank(*text)) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    long long value = 0;
    for (; isDigit(*text); ++text) {
        value = value * 10 + (*text - '0');
        if (value > 1LL + INT_MAX) value = 1LL + INT_MAX; // saturate, keep reading digits
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return int(value);
}

double readDoubleArgument(const char* text) {
    if (!text) return 0.0;
    while (isBlank(*text)) ++text;
    // Copy the longest plain decimal prefix and let strtod round it correctly.
    std::string number;
    const char* p = text;
    if (*p == '+' || *p == '-') number += *p++;
    bool digits = false;
    while (isDigit(*p)) number += *p++, digits = true;
    if (*p == '.') {
        number += *p++;
        while (isDigit(*p)) number += *p++, digits = true;
    }
    if (!digits) return 0.0;
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        if (*q == '+' || *q == '-') ++q;
        if (isDigit(*q)) {
            while (p < q) number += *p++;
            while (isDigit(*p)) number += *p++;
        }
    }
    return std::strtod(number.c_str(), nullptr);
}

const char* programName(const char* argv0) {
    if (!argv0) return "";
    const char* name = argv0;
    for (const char* p = argv0; *p; ++p) {
#ifdef _WIN32
        if (*p == '\\') name = p + 1;
#else
        if (*p == '\\' || *p == '/') name = p + 1;
#endif
    }
    return name;
}

int truncateToInt(double value) {
    if (!(value > -2147483649.0 && value < 2147483648.0)) return INT_MIN;
    return int(value);
}

int clampArgument(int value, int low, int high) {
    return value < low ? low : (value > high ? high : value);
}

int failWriting(std::FILE* file) {
    std::printf("\n*** Error while writing to output file (disk full?)\n");
    if (file) std::fclose(file);
    return 3;
}
