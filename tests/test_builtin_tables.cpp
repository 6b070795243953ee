#include "media/builtin_tables.h"
#include "base/random.h"
#include "table_test_files.h"
#include "media/translation_table.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <thread>

namespace {

// The five tables of a first run, generated once on a fresh thread (random state 1), as the
// first-run dialog does before anything seeds that thread.
class BuiltInTables : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder;
        std::thread([] { generateBuiltInTables(folder_->path(), true, nullptr, nullptr); }).join();
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }
    static std::string path(const char* name) { return folder_->file(name); }
    static std::vector<uint32_t> records(const char* name) { return readRecords(path(name)); }
    static uint32_t at(const std::vector<uint32_t>& r, int x, int y) { return r[gridIndex(x, y)]; }
    static uint32_t source(int x, int y, uint32_t blend = 8) {
        return gridIndex(x, y) + (blend << 24);
    }

    static TempFolder* folder_;
};
TempFolder* BuiltInTables::folder_ = nullptr;

const char* const kFirstRunNames[] = {"space.tab", "rotate.tab", "down_spiral.tab", "huricane.tab",
                                      "big_wheel.tab"};

} // namespace

TEST_F(BuiltInTables, EveryFileIsAFullTableWithOneBlendAndSourcesInTheGrid) {
    const uint32_t blends[] = {8, 8, 12, 8, 8};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(readBytes(path(kFirstRunNames[i])).size(), size_t(kTableFileBytes))
            << kFirstRunNames[i];
        const auto r = records(kFirstRunNames[i]);
        for (size_t k = 0; k < r.size(); ++k) {
            ASSERT_LT(entrySourceIndex(r[k]), uint32_t(kGridPixels))
                << kFirstRunNames[i] << " " << k;
            ASSERT_EQ(entryBlend(r[k]), blends[i]) << kFirstRunNames[i] << " " << k;
        }
    }
}

// Pinned contents. The Windows build writes these same bytes (its SSE arithmetic matches the
// native build; with x87 arithmetic "rotate.tab" and "down_spiral.tab" come out different).
// A change here means the tables users generate have changed.
TEST_F(BuiltInTables, ContentsArePinned) {
    EXPECT_EQ(fileHash(path("space.tab")), 0xab7aace349d2fb0dull);
    EXPECT_EQ(fileHash(path("rotate.tab")), 0x5773eb038c1393a0ull);
    EXPECT_EQ(fileHash(path("down_spiral.tab")), 0xf2c18be2e3cae24cull);
    EXPECT_EQ(fileHash(path("huricane.tab")), 0x0f4960b3b4eebe7cull);
    EXPECT_EQ(fileHash(path("big_wheel.tab")), 0xce9fbc5c2a90f630ull);
}

TEST_F(BuiltInTables, SpaceStreamsOutOfTheCentre) {
    const auto r = records("space.tab");
    // (0, 0) takes a point 11% to 21% of the way toward the centre.
    const uint32_t corner = entrySourceIndex(at(r, 0, 0));
    EXPECT_GE(corner % 640, 35u);
    EXPECT_LE(corner % 640, 67u);
    EXPECT_GE(corner / 640, 26u);
    EXPECT_LE(corner / 640, 50u);
    // From the opposite corner the source moves 35 to 66 columns toward the centre.
    const uint32_t far = entrySourceIndex(at(r, 639, 479));
    EXPECT_GE(far % 640, 639u - 66);
    EXPECT_LE(far % 640, 639u - 35);
    // The centre is always a newborn star; with the flight formula it would point at itself.
    EXPECT_NE(at(r, 320, 240), source(320, 240));
}

TEST_F(BuiltInTables, RotateRowZero) {
    const auto r = records("rotate.tab");
    EXPECT_EQ(at(r, 0, 0), 153840u + (8u << 24));
    EXPECT_EQ(at(r, 639, 0), source(400, 240));
    EXPECT_EQ(at(r, 320, 0), source(320, 240));
}

TEST_F(BuiltInTables, RotateUsesTheSinglePrecisionConstants) {
    const auto r = records("rotate.tab");
    // Column 320 uses -pi/2 (single) above row 320: sin is a little above -1 and cos a little
    // below 0, so ceil gives colOff 1 and rowOff 0 (the double constant would give rowOff 1).
    EXPECT_EQ(at(r, 320, 250), source(321, 250));
    // Below row 320 it is +pi/2 (single): colOff = ceil(-9 * 0.99999999999999900) = -8.
    EXPECT_EQ(at(r, 320, 330), source(312, 330));
    // Left of the centre on row 240, theta = pi (single): sin(pi) is a tiny negative, so
    // colOff = ceil(tiny positive) = 1, and rowOff = ceil(-1 + 4e-15) = 0.
    EXPECT_EQ(at(r, 310, 240), source(311, 240));
    // Right of it theta = 0: colOff 0 and rowOff = ceil(0.1 * 10) = 1.
    EXPECT_EQ(at(r, 330, 240), source(330, 241));
    // Column 0 jumps to column 320 and three quarters of the way to row 240.
    EXPECT_EQ(at(r, 0, 479), source(320, 479 - 179));
}

TEST_F(BuiltInTables, BigWheelFarPixelsMoveThreeColumnsTowardTheHub) {
    const auto r = records("big_wheel.tab");
    EXPECT_EQ(at(r, 639, 479), source(636, 479)); // distance 613
    EXPECT_EQ(at(r, 1, 479), source(4, 479));     // distance 542, left of the hub
    EXPECT_EQ(at(r, 639, 300), source(636, 300)); // distance 485
    // Column 0 is the exception: column 256, row 479 - trunc(0.75 * 479).
    EXPECT_EQ(at(r, 0, 479), source(256, 120));
    // Row 0 pulls toward the hub column.
    EXPECT_EQ(at(r, 0, 0), source(192, 0));
    EXPECT_EQ(at(r, 256, 0), source(256, 0));
    // Just inside distance 480 the rotation applies: never the fixed 3-column step.
    EXPECT_NE(at(r, 639, 215), source(636, 215)); // distance 439
}

TEST_F(BuiltInTables, HurricaneWrapsColumnsWithinTheRow) {
    const auto r = records("huricane.tab");
    // Far left of the eye in row 0 the source lies 19 to 30 columns to the left of column 0:
    // it wraps to the end of the same row.
    const uint32_t s = entrySourceIndex(at(r, 0, 0));
    EXPECT_EQ(s / 640, 0u);
    EXPECT_GE(s % 640, 640u - 30);
    EXPECT_LE(s % 640, 640u - 19);
    // Right of column 639 in the lowest rows it wraps to the start of the row.
    const uint32_t e = entrySourceIndex(at(r, 639, 479));
    EXPECT_EQ(e / 640, 479u);
    EXPECT_LE(e % 640, 15u);
}

TEST(BuiltInTableGeneration, OnlySpaceAndHurricaneDrawRandomNumbers) {
    TempFolder folder;
    const std::string p = folder.file("t.tab");
    randomSeed(1);
    generateRotateTable(p);
    generateSpiralDownTable(p);
    generateBigWheelTable(p);
    EXPECT_EQ(randomState(), 1u);
    generateHurricaneTable(p);
    EXPECT_NE(randomState(), 1u);
}

TEST(BuiltInTableGeneration, SmokeAndDownSpiralAreIdentical) {
    TempFolder folder;
    randomSeed(5);
    generateBuiltInTables(folder.path() + "/", true, nullptr, nullptr);
    randomSeed(6);
    generateBuiltInTables(folder.path(), false, nullptr, nullptr);
    const auto smoke = readBytes(folder.file("smoke.tab"));
    EXPECT_EQ(smoke.size(), size_t(kTableFileBytes));
    EXPECT_TRUE(smoke == readBytes(folder.file("down_spiral.tab")));
    for (const char* name : {"space.tab", "rotate.tab", "huricane.tab", "big_wheel.tab"})
        EXPECT_EQ(readBytes(folder.file(name)).size(), size_t(kTableFileBytes)) << name;
}

namespace {
void recordProgress(int position, void* context) {
    static_cast<std::vector<int>*>(context)->push_back(position);
}
} // namespace

TEST(BuiltInTableGeneration, ProgressAdvancesAlsoWhenNothingCanBeWritten) {
    TempFolder folder;
    std::vector<int> positions;
    generateBuiltInTables(folder.file("missing"), true, recordProgress, &positions);
    EXPECT_EQ(positions, (std::vector<int>{1, 2, 3, 4, 5}));
    struct stat st;
    EXPECT_NE(stat(folder.file("missing").c_str(), &st), 0); // the folder is not created
}
