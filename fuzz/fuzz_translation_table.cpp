// Fuzzes the table reader with arbitrary file contents and lengths at every frame size: every
// entry of the table must be written and stay within 0..width * height, the range that the
// per-frame pass may read from a frame buffer of width * (height + 2) bytes.
#include "media/translation_table.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
// The whole-table loops run uninstrumented: the checks would cost far more than the reader
// itself and find nothing new (the reader's own writes stay under AddressSanitizer).
#define QUORBEL_PLAIN_LOOP __attribute__((no_sanitize("address", "undefined", "coverage")))
QUORBEL_PLAIN_LOOP void fillTable(uint32_t* table, size_t count) {
    for (size_t i = 0; i < count; ++i) table[i] = 0xAAAAAAAAu;
}
QUORBEL_PLAIN_LOOP uint32_t highestSource(const uint32_t* table, size_t count) {
    uint32_t highest = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t s = table[i] & kSourceIndexMask;
        highest = s > highest ? s : highest;
    }
    return highest;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int sizes[][2] = {{640, 480}, {640, 400}, {320, 240}, {320, 200}, {160, 120}};
    // The first byte picks the frame size; the rest is the file.
    const int pick = size > 0 ? data[0] % 5 : 0;
    const int width = sizes[pick][0], height = sizes[pick][1];
    const uint8_t* file = size > 0 ? data + 1 : data;
    const size_t fileSize = size > 0 ? size - 1 : 0;

    std::FILE* f = fileSize > 0 ? fmemopen(const_cast<uint8_t*>(file), fileSize, "rb")
                                : std::fopen("/dev/null", "rb");
    if (!f) return 0;
    // Exactly sized, so AddressSanitizer sees any write past the table; kept from run to run
    // so that a run costs no fresh pages. The fill is an impossible entry (source 0xAAAAAA).
    static std::vector<uint32_t> tables[5];
    std::vector<uint32_t>& table = tables[pick];
    if (table.empty()) table.resize(size_t(width) * height);
    fillTable(table.data(), table.size());
    uint8_t row[kTableRowBytes];
    readTranslationTable(f, table.data(), width, height, row);
    std::fclose(f);

    if (highestSource(table.data(), table.size()) > uint32_t(width * height)) std::abort();
    return 0;
}
