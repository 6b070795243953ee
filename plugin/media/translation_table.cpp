#include "media/translation_table.h"

#include <cstring>

int sampleStep(int frameWidth, int frameHeight) {
    int step = frameWidth > 0 ? kGridWidth / frameWidth : 1;
    return step < 1 ? 1 : step;
}

int bandRows(int frameWidth, int frameHeight) {
    int band = (kGridHeight - frameHeight * sampleStep(frameWidth, frameHeight)) / 2;
    if (band < 0) return 0;
    return band > kGridHeight / 2 ? kGridHeight / 2 : band;
}

TableResampling tableResampling(int frameWidth, int frameHeight) {
    return {frameWidth, frameHeight, bandRows(frameWidth, frameHeight),
            sampleStep(frameWidth, frameHeight)};
}

namespace {

// The conversion with the step known at compile time where it is one of the plug-in's (the
// division by a constant then costs no divide instruction); Step 0 means "read it from r".
template <int Step> inline TranslationEntry resample(uint32_t record, const TableResampling& r) {
    const int step = Step ? Step : r.sampleStep;
    // Signed arithmetic with division and remainder truncating toward zero, as C++ does.
    const int a = int(record & kSourceIndexMask) - r.bandRows * kGridWidth;
    int converted = (a / kGridWidth) / step * r.frameWidth + (a % kGridWidth) / step;
    if (converted > r.frameWidth * r.frameHeight || converted < 0) converted = 0;
    return (uint32_t(converted) & kSourceIndexMask) | (record & 0xFF000000u);
}

// Stores the entries of one used file row; returns the new count of stored entries.
template <int Step>
size_t resampleRow(const uint8_t* row, uint32_t* table, size_t stored, size_t total,
                   const TableResampling& r) {
    const int step = Step ? Step : r.sampleStep;
    for (int x = 0; x < kGridWidth && stored < total; x += step)
        table[stored++] = resample<Step>(decodeRecord(row + x * 4), r);
    return stored;
}

} // namespace

TranslationEntry resampleEntry(uint32_t record, const TableResampling& r) {
    return resample<0>(record, r);
}

void readTranslationTable(std::FILE* file, uint32_t* table, int frameWidth, int frameHeight,
                          uint8_t* rowBuffer) {
    if (frameWidth <= 0 || frameHeight <= 0) return;
    uint8_t ownBuffer[kTableRowBytes];
    uint8_t* row = rowBuffer ? rowBuffer : ownBuffer;
    const TableResampling r = tableResampling(frameWidth, frameHeight);
    const size_t total = size_t(frameWidth) * size_t(frameHeight);
    size_t stored = 0;

    for (int y = 0; y < kGridHeight && stored < total; ++y) {
        const size_t got = std::fread(row, 1, kTableRowBytes, file);
        // Whatever a short read did not deliver is a missing record: source 0, blend 0. A
        // trailing partial record counts as missing too.
        const size_t whole = got / 4 * 4;
        std::memset(row + whole, 0, kTableRowBytes - whole);

        if (y >= r.bandRows && y < kGridHeight - r.bandRows && y % r.sampleStep == 0) {
            switch (r.sampleStep) {
            case 1:
                stored = resampleRow<1>(row, table, stored, total, r);
                break;
            case 2:
                stored = resampleRow<2>(row, table, stored, total, r);
                break;
            case 4:
                stored = resampleRow<4>(row, table, stored, total, r);
                break;
            default:
                stored = resampleRow<0>(row, table, stored, total, r);
                break;
            }
        }
        // Past the end of the file every record is 0, and a zero record converts to entry 0
        // at every frame size: the rest of the table is zero.
        if (got < size_t(kTableRowBytes)) break;
    }
    if (stored < total) std::memset(table + stored, 0, (total - stored) * sizeof(uint32_t));
}

bool readTranslationTable(const char* path, uint32_t* table, int frameWidth, int frameHeight,
                          uint8_t* rowBuffer) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    readTranslationTable(file, table, frameWidth, frameHeight, rowBuffer);
    std::fclose(file);
    return true;
}

bool writeTranslationRecords(std::FILE* file, const uint32_t* records, size_t count) {
    uint8_t bytes[kTableRowBytes];
    while (count > 0) {
        const size_t chunk = count < size_t(kGridWidth) ? count : size_t(kGridWidth);
        for (size_t i = 0; i < chunk; ++i) encodeRecord(records[i], bytes + i * 4);
        if (std::fwrite(bytes, 1, chunk * 4, file) != chunk * 4) return false;
        records += chunk;
        count -= chunk;
    }
    return true;
}

void applyTranslationTable(const uint32_t* table, uint8_t* previous, uint8_t* current, int width,
                           int height) {
    previous[0] = 0;
    const int n = width * (height - 1) - 1;
    uint8_t* out = current + width + 1;
    for (int k = 0; k < n; ++k) {
        const uint32_t e = table[k];
        const unsigned s = previous[e & kSourceIndexMask];
        const unsigned blend = e >> 24;
        out[k] = uint8_t(s >= blend ? s - blend : 0);
    }
}
