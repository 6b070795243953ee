#include "frame/songtext.h"

#include "base/random.h"

#include <cstdio>
#include <cstring>

int splitTitle(char* title, char* pieces[kMaxTitlePieces]) {
    int count = 0;
    pieces[count++] = title;
    for (char* c = title; *c; ++c) {
        if (*c != '-' && *c != '.') continue;
        *c = '\0';
        // Pieces beyond the last slot are dropped.
        if (count < kMaxTitlePieces) pieces[count++] = c + 1;
    }
    return count;
}

void pickSongText(char* title, char* part) {
    char* pieces[kMaxTitlePieces];
    const int count = splitTitle(title, pieces);
    const char* chosen = count < 3 ? pieces[0] : pieces[1 + randomNext() % (count - 2)];
    std::snprintf(part, kSongTextSize, "%s", chosen);
}

void buildIntroText(char* title, char* text, size_t size) {
    if (size == 0) return;
    char* pieces[kMaxTitlePieces];
    const int count = splitTitle(title, pieces);
    if (count < 3) {
        std::snprintf(text, size, "%s", pieces[0]);
        return;
    }
    size_t used = 0;
    text[0] = '\0';
    for (int i = 1; i < count - 1 && used + 1 < size; ++i) {
        const int written = std::snprintf(text + used, size - used, " %s", pieces[i]);
        if (written < 0) break;
        used += static_cast<size_t>(written);
        if (used >= size) used = size - 1;
    }
}
