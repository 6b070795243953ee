// Fuzzes taking a player title apart: the song-text part into its 128 bytes and the intro text
// into the 1024 bytes the frame loop gives it (and into a small buffer), each buffer exactly
// that size on the heap so that AddressSanitizer sees any write past it.
#include "frame/songtext.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    // The player hands over at most 1023 characters, cut at the first NUL.
    const size_t length = size < 1023 ? size : 1023;
    std::vector<char> title(bytes, bytes + length);
    title.push_back('\0');

    std::vector<char> copy = title;
    char* part = static_cast<char*>(std::malloc(kSongTextSize));
    pickSongText(copy.data(), part);
    if (std::strlen(part) >= static_cast<size_t>(kSongTextSize)) std::abort();
    std::free(part);

    for (size_t bufferSize : {static_cast<size_t>(1024), static_cast<size_t>(7)}) {
        copy = title;
        char* text = static_cast<char*>(std::malloc(bufferSize));
        buildIntroText(copy.data(), text, bufferSize);
        if (std::strlen(text) >= bufferSize) std::abort();
        std::free(text);
    }

    copy = title;
    char* pieces[kMaxTitlePieces];
    const int count = splitTitle(copy.data(), pieces);
    if (count < 1 || count > kMaxTitlePieces) std::abort();
    for (int i = 0; i < count; ++i)
        if (pieces[i] < copy.data() || pieces[i] >= copy.data() + copy.size()) std::abort();
    return 0;
}
