#include "base/instance.h"
#include "media/palettes.h"
#include "base/paths.h"
#include "media/pixel_format.h"
#include "base/settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace std::string_literals;

namespace {

struct Rgb {
    int r, g, b;
};

bool sameColour(const PaletteEntry& e, Rgb c) {
    return e.red == c.r && e.green == c.g && e.blue == c.b && e.flags == 0;
}

// Parses text; entries start filled with a marker so that untouched entries show.
bool parse(const std::string& text, PaletteEntry (&entries)[kPaletteColours]) {
    std::memset(entries, 0x77, sizeof entries);
    return parsePaletteText(text.data(), text.size(), entries);
}

std::string numberedLines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += std::to_string(i) + " " + std::to_string(255 - i) + " " +
                std::to_string((i * 3) & 255) + "\n";
    return text;
}

} // namespace

// ---- The ".map" format -------------------------------------------------------------------------

TEST(PaletteFile, ShortFileFillsTheRestWithBlack) {
    PaletteEntry e[kPaletteColours];
    ASSERT_TRUE(parse(numberedLines(100), e));
    for (int i = 0; i < 100; ++i) EXPECT_TRUE(sameColour(e[i], {i, 255 - i, (i * 3) & 255})) << i;
    for (int i = 100; i < 256; ++i) EXPECT_TRUE(sameColour(e[i], {0, 0, 0})) << i;
}

TEST(PaletteFile, LinesAfterThe256thAreIgnored) {
    PaletteEntry e[kPaletteColours];
    ASSERT_TRUE(parse(numberedLines(300), e));
    EXPECT_TRUE(sameColour(e[255], {255, 0, (255 * 3) & 255}));
    EXPECT_TRUE(sameColour(e[0], {0, 255, 0}));
}

TEST(PaletteFile, TextAfterTheThreeNumbersIsAComment) {
    PaletteEntry e[kPaletteColours];
    ASSERT_TRUE(parse("255 128 0 warm orange, 7 8 9\n1 2 3\t# 4 5 6\n", e));
    EXPECT_TRUE(sameColour(e[0], {255, 128, 0}));
    EXPECT_TRUE(sameColour(e[1], {1, 2, 3}));
    EXPECT_TRUE(sameColour(e[2], {0, 0, 0}));
}

TEST(PaletteFile, NumbersMayRunOnToTheNextLine) {
    PaletteEntry e[kPaletteColours];
    ASSERT_TRUE(parse("0 0\n64 64 64\n10 20 30\n", e));
    EXPECT_TRUE(sameColour(e[0], {0, 0, 64}));
    EXPECT_TRUE(sameColour(e[1], {10, 20, 30})); // the rest of "64 64 64" was skipped
    // Blank lines are white space before a number, not entries.
    ASSERT_TRUE(parse("\n\n5 6 7\n\n8 9 10\n", e));
    EXPECT_TRUE(sameColour(e[0], {5, 6, 7}));
    EXPECT_TRUE(sameColour(e[1], {8, 9, 10}));
}

TEST(PaletteFile, NumbersKeepTheirLowEightBits) {
    PaletteEntry e[kPaletteColours];
    ASSERT_TRUE(parse("300 -1 0\n256 -256 +17\n4294967297 -4294967295 99999999999999999999\n", e));
    EXPECT_TRUE(sameColour(e[0], {44, 255, 0}));
    EXPECT_TRUE(sameColour(e[1], {0, 0, 17}));
    // 2^32 + 1 -> 1, -(2^32 - 1) -> 1, 10^20 - 1 -> 255.
    EXPECT_TRUE(sameColour(e[2], {1, 1, 255}));
}

TEST(PaletteFile, UnreadableFirstEntryGivesNoPalette) {
    for (const char* text : {"", "\n", "   \r\n\t\n", "red green blue\n1 2 3\n", "1 2\n",
                             "1 2 x\n4 5 6\n", "- 1 2 3\n",
                             "\x1A"
                             "1 2 3\n"}) {
        PaletteEntry e[kPaletteColours];
        EXPECT_FALSE(parse(text, e)) << '"' << text << '"';
        EXPECT_EQ(e[0].red, 0x77); // nothing written
    }
    PaletteEntry e[kPaletteColours];
    EXPECT_FALSE(parsePaletteText(nullptr, 10, e));
}

TEST(PaletteFile, UnreadableLaterEntryIsBlackAndReadingGoesOn) {
    PaletteEntry e[kPaletteColours];
    ASSERT_TRUE(parse("1 1 1\nfoo bar\n2 2 2\n7 x 9\n4 4 4\n\0\0\0\n5 5 5"s, e));
    EXPECT_TRUE(sameColour(e[0], {1, 1, 1}));
    EXPECT_TRUE(sameColour(e[1], {0, 0, 0}));
    EXPECT_TRUE(sameColour(e[2], {2, 2, 2}));
    EXPECT_TRUE(sameColour(e[3], {0, 0, 0})); // partly read: black, not (7, 0, 0)
    EXPECT_TRUE(sameColour(e[4], {4, 4, 4}));
    EXPECT_TRUE(sameColour(e[5], {0, 0, 0}));
    EXPECT_TRUE(sameColour(e[6], {5, 5, 5}));
    EXPECT_TRUE(sameColour(e[7], {0, 0, 0}));
}

TEST(PaletteFile, LongLineIsSkippedWholeWhateverItHolds) {
    // A comment of 400 characters full of numbers: none of them becomes an entry.
    std::string comment;
    while (comment.size() < 400) comment += " 99 98 97";
    for (size_t extra : {240, 253, 254, 255, 400}) {
        PaletteEntry e[kPaletteColours];
        ASSERT_TRUE(parse("10 20 30" + comment.substr(0, extra) + "\n40 50 60\n", e));
        EXPECT_TRUE(sameColour(e[0], {10, 20, 30})) << extra;
        EXPECT_TRUE(sameColour(e[1], {40, 50, 60})) << extra;
        EXPECT_TRUE(sameColour(e[2], {0, 0, 0})) << extra;
    }
}

TEST(PaletteFile, WindowsLineEndsAndTextEndMarker) {
    PaletteEntry e[kPaletteColours];
    ASSERT_TRUE(parse("1 2 3\r\n4\r\n5 6 junk\r\n7 8 9\r\n\x1A"
                      "10 11 12\r\n",
                      e));
    EXPECT_TRUE(sameColour(e[0], {1, 2, 3}));
    EXPECT_TRUE(sameColour(e[1], {4, 5, 6}));
    EXPECT_TRUE(sameColour(e[2], {7, 8, 9}));
    EXPECT_TRUE(sameColour(e[3], {0, 0, 0})); // Ctrl-Z ends a text file
}

// ---- Pixel forms -------------------------------------------------------------------------------

TEST(PixelFormat, CountsBitsOverAllPositions) {
    EXPECT_EQ(countMaskBits(0), 0);
    EXPECT_EQ(countMaskBits(0xF800), 5);
    EXPECT_EQ(countMaskBits(0x07E0), 6);
    EXPECT_EQ(countMaskBits(0xFF000000u), 8);
    EXPECT_EQ(countMaskBits(0x80000001u), 2);
    EXPECT_EQ(countMaskBits(0xFFFFFFFFu), 32);
    const PixelFormat f = makePixelFormat(16, 0x7C00, 0x03E0, 0x001F);
    EXPECT_EQ(f.redBits, 5);
    EXPECT_EQ(f.greenBits, 5);
    EXPECT_EQ(f.blueBits, 5);
}

TEST(PixelForms, Pixels16For565TakesTheTopBitsOfEachChannel) {
    PaletteBlock block = {};
    for (int i = 0; i < kPaletteColours; ++i)
        block.entries[i] = {uint8_t(i), uint8_t(i * 37), uint8_t(255 - i), 0};
    computePixelForms(block, makePixelFormat(16, 0xF800, 0x07E0, 0x001F));
    for (int i = 0; i < kPaletteColours; ++i) {
        const PaletteEntry& e = block.entries[i];
        EXPECT_EQ(block.pixels16[i],
                  ((e.red & 0xF8) << 8) | ((e.green & 0xFC) << 3) | (e.blue >> 3))
            << i;
    }
}

TEST(PixelForms, Pixels16For555PutsEachChannelInItsOwnField) {
    PaletteBlock block = {};
    block.entries[0] = {255, 0, 0, 0};
    block.entries[1] = {0, 255, 0, 0};
    block.entries[2] = {0, 0, 255, 0};
    block.entries[3] = {255, 255, 255, 0};
    block.entries[4] = {0x80, 0, 0, 0};
    block.entries[5] = {0, 0x80, 0, 0};
    block.entries[6] = {0x10, 0x20, 0x40, 0};
    computePixelForms(block, makePixelFormat(16, 0x7C00, 0x03E0, 0x001F));
    EXPECT_EQ(block.pixels16[0], 0x7C00);
    EXPECT_EQ(block.pixels16[1], 0x03E0);
    EXPECT_EQ(block.pixels16[2], 0x001F);
    EXPECT_EQ(block.pixels16[3], 0x7FFF);
    EXPECT_EQ(block.pixels16[4], 0x4000); // half red stays red
    EXPECT_EQ(block.pixels16[5], 0x0200); // half green stays green
    EXPECT_EQ(block.pixels16[6], (2 << 10) | (4 << 5) | 8);
}

TEST(PixelForms, Pixels16ForOtherLayouts) {
    PaletteBlock block = {};
    block.entries[0] = {0xFF, 0x80, 0x10, 0};
    // Blue in the high bits (5-6-5 reversed).
    computePixelForms(block, makePixelFormat(16, 0x001F, 0x07E0, 0xF800));
    EXPECT_EQ(block.pixels16[0], (0x10 >> 3) << 11 | (0x80 >> 2) << 5 | (0xFF >> 3));
    // 4-4-4 with the top four bits unused.
    computePixelForms(block, makePixelFormat(16, 0x0F00, 0x00F0, 0x000F));
    EXPECT_EQ(block.pixels16[0], 0x0F81);
}

TEST(PixelForms, Pixels32RepeatsEachChannelAndMasksIt) {
    PaletteBlock block = {};
    block.entries[0] = {0x12, 0x34, 0x56, 0};
    block.entries[1] = {255, 255, 255, 0};
    computePixelForms(block, makePixelFormat(24, 0xFF0000, 0x00FF00, 0x0000FF));
    EXPECT_EQ(block.pixels32[0], 0x123456u);
    EXPECT_EQ(block.pixels32[1], 0xFFFFFFu);
    computePixelForms(block, makePixelFormat(24, 0x0000FF, 0x00FF00, 0xFF0000));
    EXPECT_EQ(block.pixels32[0], 0x563412u);
    // No masks (an 8-bit display): no pixel forms.
    computePixelForms(block, makePixelFormat(8, 0, 0, 0));
    EXPECT_EQ(block.pixels32[0], 0u);
    EXPECT_EQ(block.pixels16[0], 0u);
}

// ---- The palette list and the palette in use ---------------------------------------------------

namespace {

const PaletteBlock* hookBlock = nullptr;
int hookCalls = 0;
long hookResult = 0;
long recordingHook(const PaletteBlock& block) {
    hookBlock = &block;
    ++hookCalls;
    return hookResult;
}

class PaletteState : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/quorbel_palettes_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        maps_ = root_ + "/maps/";
        ASSERT_EQ(mkdir(maps_.c_str(), 0755), 0);
        setHostDirectory(root_ + "/");
        savedSettings_ = settings;
        settings.Load_All_Palettes = 0;
        plugin.currentPalette = 0;
        pixelFormat = makePixelFormat(16, 0xF800, 0x07E0, 0x001F);
        hookBlock = nullptr;
        hookCalls = 0;
        hookResult = 0;
        displayPaletteHook = recordingHook;
    }
    void TearDown() override {
        freePalettes();
        std::memset(paletteNames, 0, sizeof paletteNames);
        paletteCount = 0;
        plugin.currentPalette = 0;
        currentPaletteEntries = &sharedPalette;
        displayPaletteHook = nullptr;
        pixelFormat = PixelFormat();
        settings = savedSettings_;
        setHostDirectory("");
        std::system(("rm -rf '" + root_ + "'").c_str());
    }
    void write(const std::string& name, const std::string& text) {
        std::ofstream(maps_ + name, std::ios::binary) << text;
    }
    // A file whose every entry is (r, g, b).
    void writeSolid(const std::string& name, Rgb c) {
        std::string text;
        for (int i = 0; i < kPaletteColours; ++i)
            text +=
                std::to_string(c.r) + " " + std::to_string(c.g) + " " + std::to_string(c.b) + "\n";
        write(name, text);
    }
    int indexOf(const std::string& name) {
        for (int i = 0; i < paletteCount; ++i)
            if (name == paletteNames[i]) return i;
        return -1;
    }
    std::set<std::string> listed() {
        return std::set<std::string>(paletteNames, paletteNames + paletteCount);
    }

    std::string root_, maps_;
    Settings savedSettings_;
};

} // namespace

TEST_F(PaletteState, ListsMapFilesOfAnyCaseAndMatchesTheSettingExactly) {
    writeSolid("VOLCANO.MAP", {1, 2, 3});
    writeSolid("ocean.map", {4, 5, 6});
    writeSolid("Mixed.Map", {7, 8, 9});
    write("notes.txt", "1 2 3\n");
    write("map", "1 2 3\n");
    write(".map", "1 2 3\n");
    ASSERT_EQ(mkdir((maps_ + "folder.map").c_str(), 0755), 0);

    std::strcpy(settings.Palette, "VOLCANO.MAP");
    enumeratePalettes();
    EXPECT_EQ(listed(), (std::set<std::string>{"VOLCANO.MAP", "ocean.map", "Mixed.Map"}));
    EXPECT_EQ(plugin.currentPalette, indexOf("VOLCANO.MAP"));

    std::strcpy(settings.Palette, "Mixed.Map");
    enumeratePalettes();
    EXPECT_EQ(plugin.currentPalette, indexOf("Mixed.Map"));

    // A name differing only in case does not match: the current palette is kept (here 0).
    plugin.currentPalette = 0;
    std::strcpy(settings.Palette, "volcano.map");
    enumeratePalettes();
    EXPECT_EQ(plugin.currentPalette, 0);
}

TEST_F(PaletteState, ListsAtMost200Files) {
    for (int i = 0; i < 201; ++i) write("P" + std::to_string(i) + ".MAP", "1 2 3\n");
    plugin.currentPalette = 150;
    enumeratePalettes();
    EXPECT_EQ(paletteCount, kMaxPalettes);
    EXPECT_EQ(listed().size(), 200u);
    // The setting names the one file left out: the index stays where it was.
    int missing = -1;
    for (int i = 0; i < 201; ++i)
        if (indexOf("P" + std::to_string(i) + ".MAP") < 0) missing = i;
    ASSERT_GE(missing, 0);
    std::snprintf(settings.Palette, sizeof settings.Palette, "P%d.MAP", missing);
    enumeratePalettes();
    EXPECT_EQ(plugin.currentPalette, 150);
}

TEST_F(PaletteState, NoMapsFolderGivesAnEmptyListAndKeepsTheColours) {
    std::system(("rm -rf '" + maps_ + "'").c_str());
    plugin.currentPalette = 3;
    enumeratePalettes();
    EXPECT_EQ(paletteCount, 0);
    EXPECT_EQ(plugin.currentPalette, 0);
    const PaletteBlock before = *currentPaletteEntries;
    hookResult = 42;
    EXPECT_EQ(applyPalette(), 42);
    EXPECT_EQ(std::memcmp(before.entries, currentPaletteEntries->entries, sizeof before.entries),
              0);
    EXPECT_EQ(hookBlock, currentPaletteEntries);
}

TEST_F(PaletteState, OnDemandReadsTheFileEachTimeAndKeepsColoursWhenItCannot) {
    writeSolid("A.MAP", {255, 0, 0});
    writeSolid("B.MAP", {0, 0, 255});
    enumeratePalettes();
    plugin.currentPalette = indexOf("A.MAP");
    EXPECT_EQ(applyPalette(), 0);
    EXPECT_EQ(currentPaletteEntries, &sharedPalette);
    EXPECT_TRUE(sameColour(sharedPalette.entries[200], {255, 0, 0}));
    EXPECT_EQ(sharedPalette.pixels16[200], 0xF800); // pixel forms for the current display
    EXPECT_EQ(hookBlock, &sharedPalette);
    EXPECT_EQ(hookCalls, 1);

    // An edited file shows the next time it becomes current.
    writeSolid("A.MAP", {0, 255, 0});
    EXPECT_EQ(applyPalette(), 0);
    EXPECT_TRUE(sameColour(sharedPalette.entries[0], {0, 255, 0}));

    // Unreadable (broken first line, or gone): the colours stay.
    write("B.MAP", "broken\n1 2 3\n");
    plugin.currentPalette = indexOf("B.MAP");
    applyPalette();
    EXPECT_TRUE(sameColour(sharedPalette.entries[0], {0, 255, 0}));
    std::remove((maps_ + "B.MAP").c_str());
    hookResult = static_cast<long>(static_cast<int32_t>(0x887601C2u));
    EXPECT_EQ(applyPalette(), hookResult); // the display step's result is passed on
    EXPECT_TRUE(sameColour(sharedPalette.entries[0], {0, 255, 0}));
    EXPECT_EQ(currentPaletteEntries, &sharedPalette);
}

TEST_F(PaletteState, WithoutADisplayHookApplyingGivesZero) {
    writeSolid("A.MAP", {1, 2, 3});
    enumeratePalettes();
    displayPaletteHook = nullptr;
    EXPECT_EQ(applyPalette(), 0);
    EXPECT_TRUE(sameColour(currentPaletteEntries->entries[9], {1, 2, 3}));
}

TEST_F(PaletteState, LoadAllKeepsEveryPaletteAndUnreadableOnesAreBlack) {
    writeSolid("A.MAP", {255, 0, 0});
    writeSolid("B.MAP", {0, 0, 255});
    write("BAD.MAP", "not a palette\n");
    settings.Load_All_Palettes = 1;
    enumeratePalettes();
    std::vector<std::pair<int, int>> progress;
    loadAllPalettes(
        [](int done, int total, void* context) {
            static_cast<std::vector<std::pair<int, int>>*>(context)->push_back({done, total});
        },
        &progress);
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
    for (int i = 0; i < paletteCount; ++i) ASSERT_NE(loadedPalettes[i], nullptr);

    plugin.currentPalette = indexOf("B.MAP");
    applyPalette();
    EXPECT_EQ(currentPaletteEntries, loadedPalettes[indexOf("B.MAP")]);
    EXPECT_EQ(currentPaletteEntries->pixels16[17], 0x001F);

    // Load-all shows the colours read at start, even when the file changes.
    writeSolid("A.MAP", {0, 255, 0});
    plugin.currentPalette = indexOf("A.MAP");
    applyPalette();
    EXPECT_TRUE(sameColour(currentPaletteEntries->entries[0], {255, 0, 0}));

    plugin.currentPalette = indexOf("BAD.MAP");
    applyPalette();
    ASSERT_EQ(currentPaletteEntries, loadedPalettes[indexOf("BAD.MAP")]);
    for (const PaletteEntry& e : currentPaletteEntries->entries)
        EXPECT_TRUE(sameColour(e, {0, 0, 0}));
}

TEST_F(PaletteState, LoadAllLoadsAPaletteThatWasNotLoadedYet) {
    writeSolid("A.MAP", {9, 9, 9});
    settings.Load_All_Palettes = 1;
    enumeratePalettes();
    ASSERT_EQ(loadedPalettes[0], nullptr);
    applyPalette();
    ASSERT_NE(loadedPalettes[0], nullptr);
    EXPECT_EQ(currentPaletteEntries, loadedPalettes[0]);
    EXPECT_TRUE(sameColour(loadedPalettes[0]->entries[3], {9, 9, 9}));
}

TEST_F(PaletteState, CurrentPaletteOutsideTheListFallsBackToTheFirst) {
    writeSolid("A.MAP", {5, 5, 5});
    enumeratePalettes();
    for (int index : {-1, 1, 500}) {
        plugin.currentPalette = index;
        applyPalette();
        EXPECT_EQ(plugin.currentPalette, 0);
        EXPECT_TRUE(sameColour(currentPaletteEntries->entries[0], {5, 5, 5}));
    }
    EXPECT_FALSE(loadPalette(-1));
    EXPECT_FALSE(loadPalette(1));
}

TEST_F(PaletteState, FreeingKeepsTheColoursInUse) {
    writeSolid("A.MAP", {10, 20, 30});
    settings.Load_All_Palettes = 1;
    enumeratePalettes();
    loadAllPalettes();
    applyPalette();
    freePalettes();
    EXPECT_EQ(loadedPalettes[0], nullptr);
    EXPECT_EQ(currentPaletteEntries, &sharedPalette);
    EXPECT_TRUE(sameColour(currentPaletteEntries->entries[100], {10, 20, 30}));
    // Listing again also frees what the old list had loaded.
    loadAllPalettes();
    ASSERT_NE(loadedPalettes[0], nullptr);
    enumeratePalettes();
    EXPECT_EQ(loadedPalettes[0], nullptr);
}

// ---- Our own palettes --------------------------------------------------------------------------

TEST(PaletteData, ShippedPalettesReadFullyAndVolcanoIsTheDefault) {
    const std::string root = std::string(QUORBEL_SOURCE_DIR) + "/data/";
    setHostDirectory(root);
    const Settings saved = settings;
    settings = Settings();
    plugin.currentPalette = 0;
    enumeratePalettes();
    EXPECT_GE(paletteCount, 30);
    ASSERT_GE(plugin.currentPalette, 0);
    EXPECT_STREQ(paletteNames[plugin.currentPalette], "VOLCANO.MAP");

    int darkToBright = 0;
    for (int i = 0; i < paletteCount; ++i) {
        SCOPED_TRACE(paletteNames[i]);
        const std::string path = dataPath("maps", paletteNames[i]);
        std::ifstream in(path, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        size_t lines = 0;
        for (char c : text) lines += c == '\n';
        EXPECT_EQ(lines, 256u); // every entry present: no black fill
        PaletteBlock block = {};
        ASSERT_TRUE(readPaletteFile(path.c_str(), block, makePixelFormat(8, 0, 0, 0)));
        auto light = [&](int k) {
            const PaletteEntry& e = block.entries[k];
            return 3 * e.red + 6 * e.green + e.blue;
        };
        if (light(0) < light(128) && light(128) < light(255)) ++darkToBright;
        if (std::string(paletteNames[i]) == "VOLCANO.MAP") {
            EXPECT_TRUE(sameColour(block.entries[0], {0, 0, 0}));
            EXPECT_TRUE(sameColour(block.entries[255], {255, 255, 255}));
            for (int k = 1; k < 256; ++k) EXPECT_GE(light(k), light(k - 1)) << k;
        }
    }
    EXPECT_GE(darkToBright * 4, paletteCount * 3); // most palettes darken towards index 0

    freePalettes();
    paletteCount = 0;
    plugin.currentPalette = 0;
    settings = saved;
    setHostDirectory("");
}
