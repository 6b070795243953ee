// The current letter object is freed at Quit.
#pragma once
#if __has_include("objects.h")
#include "objects.h"
inline void freeCurrentObject() {
    freeLetterObject();
}
#else
inline void freeCurrentObject() {}
#endif
