// The ".map" reader on arbitrary bytes: it must never read outside the text, and whatever it
// accepts must fill all 256 entries with flags 0.
#include "media/palettes.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PaletteEntry entries[kPaletteColours];
    std::memset(entries, 0x77, sizeof entries);
    // A copy of exactly size bytes, so that any read past the end reaches the sanitizer.
    char* text = static_cast<char*>(std::malloc(size ? size : 1));
    if (!text) return 0;
    if (size) std::memcpy(text, data, size);
    const bool read = parsePaletteText(text, size, entries);
    std::free(text);
    for (const PaletteEntry& e : entries) {
        if (read && e.flags != 0) std::abort();
        if (!read && (e.red != 0x77 || e.flags != 0x77)) std::abort();
    }
    if (read) {
        PaletteBlock block = {};
        std::memcpy(block.entries, entries, sizeof entries);
        computePixelForms(block, makePixelFormat(16, 0x7C00, 0x03E0, 0x001F));
    }
    return 0;
}
