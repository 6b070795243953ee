#include "table_test_files.h"
#include "media/translation_table.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::vector<uint32_t> identityRecords(uint32_t blend = 8) {
    std::vector<uint32_t> records(kGridPixels);
    for (int i = 0; i < kGridPixels; ++i) records[i] = (blend << 24) + uint32_t(i);
    return records;
}

// Reads records (written to a file first) at a frame size; unset entries stay 0xCDCDCDCD.
std::vector<uint32_t> readAt(const TempFolder& folder, const std::vector<uint32_t>& records,
                             int width, int height) {
    const std::string path = folder.file("t.tab");
    writeRecords(path, records);
    std::vector<uint32_t> table(size_t(width) * height, 0xCDCDCDCDu);
    EXPECT_TRUE(readTranslationTable(path, table.data(), width, height));
    return table;
}

// A file of 307,200 records that are all `fill` except the given ones.
std::vector<uint32_t> recordsWith(std::initializer_list<std::pair<int, uint32_t>> set,
                                  uint32_t fill = 0x08000000u) {
    std::vector<uint32_t> records(kGridPixels, fill);
    for (auto& [index, value] : set) records[index] = value;
    return records;
}

} // namespace

TEST(TranslationTableFormat, WriterIsLittleEndianWithOneCallPerRow) {
    TempFolder folder;
    const std::string path = folder.file("w.tab");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    EXPECT_TRUE(writeTranslationRecord(f, 0x08000001u));
    std::vector<uint32_t> many(1500, 0x0C04B000u);
    EXPECT_TRUE(writeTranslationRecords(f, many.data(), many.size()));
    std::fclose(f);
    const std::vector<uint8_t> bytes = readBytes(path);
    ASSERT_EQ(bytes.size(), 4u * 1501);
    EXPECT_EQ(bytes[0], 0x01);
    EXPECT_EQ(bytes[1], 0x00);
    EXPECT_EQ(bytes[2], 0x00);
    EXPECT_EQ(bytes[3], 0x08);
    EXPECT_EQ(bytes[4 * 1500 + 1], 0xB0);
    EXPECT_EQ(bytes[4 * 1500 + 2], 0x04);
    EXPECT_EQ(bytes[4 * 1500 + 3], 0x0C);
}

TEST(TranslationTableFormat, WriterReportsAFailedWrite) {
    std::FILE* f = std::fopen("/dev/full", "wb");
    ASSERT_TRUE(f);
    std::setvbuf(f, nullptr, _IONBF, 0);
    EXPECT_FALSE(writeTranslationRecord(f, 1));
    std::fclose(f);
}

TEST(TranslationTableRead, IdentityFileAtEveryFrameSize) {
    TempFolder folder;
    const auto identity = identityRecords();
    struct Size {
        int w, h;
    };
    // Each frame pixel takes the grid pixel that lands on it, whose source converts back to
    // the frame pixel itself.
    for (Size s :
         {Size{640, 480}, Size{320, 240}, Size{640, 400}, Size{320, 200}, Size{160, 120}}) {
        const auto table = readAt(folder, identity, s.w, s.h);
        for (int y = 0; y < s.h; ++y)
            for (int x = 0; x < s.w; ++x)
                ASSERT_EQ(table[size_t(y) * s.w + x], 0x08000000u + uint32_t(y * s.w + x))
                    << s.w << "x" << s.h << " at " << x << "," << y;
    }
}

TEST(TranslationTableRead, GuardRowValueKeptAndEverythingElseOutOfRangeZeroAt640x480) {
    TempFolder folder;
    const auto table = readAt(
        folder,
        recordsWith({{0, 0x05000000u + 307200}, {1, 0x06000000u + 307201}, {2, 0xFFFFFFFFu}}), 640,
        480);
    EXPECT_EQ(table[0], 0x05000000u + 307200); // the first guard-row byte, always 0
    EXPECT_EQ(table[1], 0x06000000u);          // blend survives, source becomes 0
    EXPECT_EQ(table[2], 0xFF000000u);
}

TEST(TranslationTableRead, BandAt640x400) {
    TempFolder folder;
    // File rows 40..439 are used: file row 100 is frame row 60.
    const int row100 = 100 * 640;
    const auto table = readAt(folder,
                              recordsWith({{row100 + 0, 0x08000000u + gridIndex(7, 10)},
                                           {row100 + 1, 0x08000000u + gridIndex(0, 440)},
                                           {row100 + 2, 0x08000000u + gridIndex(1, 440)},
                                           {row100 + 3, 0x08000000u + gridIndex(5, 439)}}),
                              640, 400);
    const int frameRow60 = 60 * 640;
    EXPECT_EQ(table[frameRow60 + 0], 0x08000000u);                 // above the band
    EXPECT_EQ(table[frameRow60 + 1], 0x08000000u + 256000);        // the guard-row value
    EXPECT_EQ(table[frameRow60 + 2], 0x08000000u);                 // below the band
    EXPECT_EQ(table[frameRow60 + 3], 0x08000000u + 399 * 640 + 5); // last frame row
}

TEST(TranslationTableRead, BandAt320x200) {
    TempFolder folder;
    // File row 100 (even, inside 40..439) is frame row 30; columns 0, 2, 4, ... are used.
    const int row100 = 100 * 640;
    const auto table = readAt(folder,
                              recordsWith({{row100 + 0, 0x08000000u + gridIndex(0, 440)},
                                           {row100 + 2, 0x08000000u + gridIndex(1, 440)},
                                           {row100 + 4, 0x08000000u + gridIndex(0, 441)},
                                           {row100 + 6, 0x08000000u + gridIndex(1, 441)},
                                           {row100 + 8, 0x08000000u + gridIndex(2, 440)},
                                           {row100 + 10, 0x08000000u + gridIndex(5, 39)},
                                           {row100 + 12, 0x08000000u + gridIndex(639, 38)},
                                           {row100 + 14, 0x08000000u + gridIndex(639, 439)}}),
                              320, 200);
    const int frameRow30 = 30 * 320;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(table[frameRow30 + i], 0x08000000u + 64000) << i;
    EXPECT_EQ(table[frameRow30 + 4], 0x08000000u); // (2, 440) is one past the guard value
    EXPECT_EQ(table[frameRow30 + 5], 0x08000000u); // above the band
    EXPECT_EQ(table[frameRow30 + 6], 0x08000000u);
    EXPECT_EQ(table[frameRow30 + 7], 0x08000000u + 199 * 320 + 319);
}

TEST(TranslationTableRead, ShortFileLeavesNoStaleOrUnsetEntries) {
    TempFolder folder;
    const std::string path = folder.file("short.tab");
    // One full row, half of the next and two bytes of a further record.
    {
        std::vector<uint32_t> records = identityRecords();
        records.resize(640 + 320);
        writeRecords(path, records);
        std::FILE* f = std::fopen(path.c_str(), "ab");
        std::fputc(0x11, f);
        std::fputc(0x22, f);
        std::fclose(f);
    }
    std::vector<uint32_t> table(640 * 480, 0xCDCDCDCDu);
    ASSERT_TRUE(readTranslationTable(path, table.data(), 640, 480));
    for (int k = 0; k < 960; ++k) ASSERT_EQ(table[k], 0x08000000u + k) << k;
    // Row 1's missing half must not repeat row 0, and nothing is left unset.
    for (int k = 960; k < 640 * 480; ++k) ASSERT_EQ(table[k], 0u) << k;

    // At 320x240 file row 2 is used; here it is missing entirely.
    std::vector<uint32_t> small(320 * 240, 0xCDCDCDCDu);
    ASSERT_TRUE(readTranslationTable(path, small.data(), 320, 240));
    for (int k = 0; k < 320; ++k) ASSERT_EQ(small[k], 0x08000000u + k) << k;
    for (int k = 320; k < 320 * 240; ++k) ASSERT_EQ(small[k], 0u) << k;

    // An empty file at 640x400: every record is missing.
    const std::string empty = folder.file("empty.tab");
    writeRecords(empty, {});
    std::vector<uint32_t> banded(640 * 400, 0xCDCDCDCDu);
    ASSERT_TRUE(readTranslationTable(empty, banded.data(), 640, 400));
    for (uint32_t e : banded) ASSERT_EQ(e, 0u);
}

TEST(TranslationTableRead, MissingFileLeavesTheTableAlone) {
    std::vector<uint32_t> table(640 * 480, 0x12345678u);
    EXPECT_FALSE(readTranslationTable("/nonexistent/none.tab", table.data(), 640, 480));
    for (uint32_t e : table) ASSERT_EQ(e, 0x12345678u);
}

TEST(TranslationTableRead, OddFrameSizesStayInsideTheTable) {
    TempFolder folder;
    const std::string path = folder.file("big.tab");
    writeRecords(path, recordsWith({}, 0xFFFFFFFFu));
    struct Size {
        int w, h;
    };
    for (Size s : {Size{500, 300}, Size{800, 600}, Size{1, 1}, Size{640, 479}}) {
        // One sentinel past the end catches a write beyond the table.
        std::vector<uint32_t> table(size_t(s.w) * s.h + 1, 0xCDCDCDCDu);
        ASSERT_TRUE(readTranslationTable(path, table.data(), s.w, s.h));
        EXPECT_EQ(table.back(), 0xCDCDCDCDu) << s.w << "x" << s.h;
        for (size_t k = 0; k + 1 < table.size(); ++k)
            ASSERT_LE(entrySourceIndex(table[k]), uint32_t(s.w * s.h)) << s.w << "x" << s.h;
    }
}

namespace {
// A frame buffer as the plug-in holds it: width x (height + 2) bytes, zero guard rows.
struct Frames {
    int w, h;
    std::vector<uint8_t> previous, current;
    Frames(int width, int height)
        : w(width), h(height), previous(size_t(width) * (height + 2), 0),
          current(size_t(width) * (height + 2), 0) {}
};
} // namespace

TEST(ApplyTranslation, IdentityMovesTheImageOnePixelDownAndRight) {
    Frames f(8, 6);
    for (int i = 0; i < f.w * f.h; ++i) f.previous[i] = uint8_t(100 + i);
    std::fill(f.current.begin(), f.current.end(), 0xEE); // what the flame left
    std::vector<uint32_t> table(f.w * f.h);
    for (int k = 0; k < f.w * f.h; ++k) table[k] = uint32_t(k);
    applyTranslationTable(table.data(), f.previous.data(), f.current.data(), f.w, f.h);

    EXPECT_EQ(f.previous[0], 0);                                       // the mark for "no source"
    for (int p = 0; p <= f.w; ++p) EXPECT_EQ(f.current[p], 0xEE) << p; // row 0 and (0, 1)
    EXPECT_EQ(f.current[f.w + 1], 0); // came from pixel 0, just cleared
    for (int p = f.w + 2; p < f.w * f.h; ++p) EXPECT_EQ(f.current[p], 100 + p - f.w - 1) << p;
    for (size_t p = f.w * f.h; p < f.current.size(); ++p) EXPECT_EQ(f.current[p], 0xEE) << p;
}

TEST(ApplyTranslation, EntriesPointingAtZeroOrTheGuardRowGiveZero) {
    Frames f(16, 10);
    std::fill(f.previous.begin(), f.previous.begin() + f.w * f.h, 250);
    std::vector<uint32_t> table(f.w * f.h);
    for (int k = 0; k < f.w * f.h; ++k) table[k] = k % 2 ? uint32_t(f.w * f.h) : 0u;
    applyTranslationTable(table.data(), f.previous.data(), f.current.data(), f.w, f.h);
    for (int p = f.w + 1; p < f.w * f.h; ++p) ASSERT_EQ(f.current[p], 0) << p;
}

TEST(ApplyTranslation, BlendDarkensAndStopsAtZero) {
    Frames f(4, 4);
    f.previous[5] = 200;
    std::vector<uint32_t> table(16, makeEntry(5, 0));
    table[0] = makeEntry(5, 255);
    table[1] = makeEntry(5, 12);
    table[2] = makeEntry(5, 200);
    applyTranslationTable(table.data(), f.previous.data(), f.current.data(), f.w, f.h);
    EXPECT_EQ(f.current[5], 0);   // 200 - 255 stops at 0
    EXPECT_EQ(f.current[6], 188); // 200 - 12
    EXPECT_EQ(f.current[7], 0);   // 200 - 200
    EXPECT_EQ(f.current[8], 200); // blend 0 copies
}
