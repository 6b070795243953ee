// Translation tables: the "*.tab" file of 640 x 480 little-endian records, the in-memory
// table for the current frame size, the conversion between the two, the one writer of
// records that the built-in generators and the table tools share, and the per-frame pass
// that applies a table.
//
// A record (in a file) and an entry (in memory) are one 32-bit value: bits 0..23 hold the
// source pixel, bits 24..31 the blend that is subtracted from the source's colour index. In a
// file the source is a grid number y * 640 + x; in memory it is a pixel number of the current
// frame, 0..frameWidth * frameHeight (the top value addresses the first guard-row byte).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

constexpr int kGridWidth = 640;
constexpr int kGridHeight = 480;
constexpr int kGridPixels = kGridWidth * kGridHeight;   // 307,200 records
constexpr int kTableRowBytes = kGridWidth * 4;          // 2,560 bytes per file row
constexpr long kTableFileBytes = long(kGridPixels) * 4; // 1,228,800 bytes per file
constexpr uint32_t kSourceIndexMask = 0x00FFFFFFu;

using TranslationEntry = uint32_t;

inline uint32_t entrySourceIndex(TranslationEntry entry) {
    return entry & kSourceIndexMask;
}
inline uint32_t entryBlend(TranslationEntry entry) {
    return entry >> 24;
}
inline TranslationEntry makeEntry(uint32_t sourceIndex, uint32_t blend) {
    return (sourceIndex & kSourceIndexMask) | (blend << 24);
}
// Grid number of grid pixel (x, y).
inline uint32_t gridIndex(int x, int y) {
    return uint32_t(y * kGridWidth + x);
}

// How the 640 x 480 grid is cut to a frame: bandRows rows dropped at the top and at the
// bottom, then every sampleStep-th row and column taken. The five frame sizes of the plug-in
// give (640x480: 0, 1), (640x400: 40, 1), (320x240: 0, 2), (320x200: 40, 2), (160x120: 0, 4).
// Any other size follows the same rule: step = 640 / frameWidth (at least 1), band =
// (480 - frameHeight * step) / 2 (at least 0); the reader never stores more than
// frameWidth * frameHeight entries whatever the size.
int sampleStep(int frameWidth, int frameHeight);
int bandRows(int frameWidth, int frameHeight);

struct TableResampling {
    int frameWidth;
    int frameHeight;
    int bandRows;
    int sampleStep;
};
TableResampling tableResampling(int frameWidth, int frameHeight);

// Converts one file record to a table entry for the frame: the grid source (sx, sy) becomes
// frame pixel (sx / step, (sy - band) / step) with truncating division; anything that lands
// outside 0..frameWidth * frameHeight becomes 0 (the top value, the guard row, stays). The
// blend is carried over unchanged.
TranslationEntry resampleEntry(uint32_t record, const TableResampling& resampling);

// Little-endian record bytes, whatever the host's byte order.
inline uint32_t decodeRecord(const uint8_t* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}
inline void encodeRecord(uint32_t record, uint8_t* bytes) {
    bytes[0] = uint8_t(record);
    bytes[1] = uint8_t(record >> 8);
    bytes[2] = uint8_t(record >> 16);
    bytes[3] = uint8_t(record >> 24);
}

// Reads an open table file into table (frameWidth * frameHeight entries), one file row of
// 640 records at a time through rowBuffer (2,560 bytes; a buffer of the reader's own when
// null). Every entry of the table is written. Records missing from a short file (including a
// trailing partial record) become source 0 with blend 0. The file is not closed.
void readTranslationTable(std::FILE* file, uint32_t* table, int frameWidth, int frameHeight,
                          uint8_t* rowBuffer = nullptr);
// Opens path with "rb", reads it as above and closes it. False, with the table untouched, when
// the file cannot be opened; true otherwise (the contents are never judged).
bool readTranslationTable(const char* path, uint32_t* table, int frameWidth, int frameHeight,
                          uint8_t* rowBuffer = nullptr);
inline bool readTranslationTable(const std::string& path, uint32_t* table, int frameWidth,
                                 int frameHeight, uint8_t* rowBuffer = nullptr) {
    return readTranslationTable(path.c_str(), table, frameWidth, frameHeight, rowBuffer);
}

// The writer of records: writes count records little-endian with one write call per 640
// records (one call for a single record or a row). True when every byte was accepted.
bool writeTranslationRecords(std::FILE* file, const uint32_t* records, size_t count);
inline bool writeTranslationRecord(std::FILE* file, uint32_t record) {
    return writeTranslationRecords(file, &record, 1);
}

// The per-frame pass: sets pixel 0 of previous to colour index 0, then for
// k = 0 .. width * (height - 1) - 2 stores into pixel k + width + 1 of current the colour of
// previous[sourceIndex of table[k]] less its blend (0 when the blend is larger). previous
// must hold width * (height + 2) bytes (the guard rows are read), current width * height;
// the first width + 1 pixels of current are left as they are.
void applyTranslationTable(const uint32_t* table, uint8_t* previous, uint8_t* current, int width,
                           int height);
