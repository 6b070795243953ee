#include "base/instance.h"
#include "base/settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {
// A registry key in memory with the read-or-create behaviour of the real one.
struct FakeKey {
    bool open = true;
    std::map<std::string, int32_t> numbers;
    std::map<std::string, std::string> texts;
    std::vector<std::string> writes;

    bool exists(const char* name) const {
        return open && (numbers.count(name) || texts.count(name));
    }
    bool writeDword(int32_t value, const char* name) {
        if (!open) return false;
        numbers[name] = value;
        writes.push_back(name);
        return true;
    }
    bool writeString(const char* text, const char* name) {
        if (!open) return false;
        texts[name] = text;
        writes.push_back(name);
        return true;
    }
    int32_t getDword(int32_t fallback, const char* name) {
        if (!open) return 0;
        if (numbers.count(name)) return numbers[name];
        return writeDword(fallback, name) ? fallback : 0;
    }
    bool getString(char* destination, const char* fallback, const char* name) {
        destination[0] = '\0';
        if (!open) return false;
        if (texts.count(name)) {
            std::snprintf(destination, kSettingTextSize, "%s", texts[name].c_str());
            return true;
        }
        if (!writeString(fallback, name)) return false;
        std::snprintf(destination, kSettingTextSize, "%s", fallback);
        return true;
    }
};

struct Shown {
    int firstRuns = 0;
    std::vector<int32_t> whatsNew;
    int upgrades = 0;
};

SettingsLoadSteps stepsFor(Shown& shown) {
    return {[](void* c) { ++static_cast<Shown*>(c)->firstRuns; },
            [](void* c, int32_t stored) { static_cast<Shown*>(c)->whatsNew.push_back(stored); },
            [](void* c) { ++static_cast<Shown*>(c)->upgrades; }, &shown};
}
} // namespace

TEST(SettingsLoad, AFirstRunStoresEveryDefaultAndTheVersion) {
    FakeKey key;
    Settings record;
    Shown shown;
    loadSettingsFrom(key, record, stepsFor(shown));
    EXPECT_EQ(shown.firstRuns, 1);
    EXPECT_EQ(shown.whatsNew, std::vector<int32_t>{0}); // every history text
    EXPECT_EQ(key.numbers.size() + key.texts.size(), 27u);
    EXPECT_EQ(key.numbers["Version"], 336);
    EXPECT_EQ(key.numbers["Wave"], 2);
    EXPECT_EQ(key.numbers["Beat_detection_sensitivity"], 200);
    EXPECT_EQ(key.texts["Palette"], "VOLCANO.MAP");
    EXPECT_EQ(key.texts["Transformation"], "");
    EXPECT_EQ(record.Frequency_Pic_Show, 32);
    EXPECT_EQ(key.writes.front(), "Version");
    EXPECT_EQ(key.numbers["Fullscreen_On_Desktop"], 1);
    EXPECT_EQ(key.writes.back(), "Fullscreen_On_Desktop");

    Shown again;
    Settings second;
    loadSettingsFrom(key, second, stepsFor(again));
    EXPECT_EQ(again.firstRuns, 0);
    EXPECT_TRUE(again.whatsNew.empty());
}

TEST(SettingsLoad, StoredValuesAreTakenAsStored) {
    FakeKey key;
    key.numbers = {{"Version", 0x150}, {"Wave", 25}, {"Resolution", -1}};
    key.texts = {{"Palette", "volcano.map"}};
    Settings record;
    Shown shown;
    loadSettingsFrom(key, record, stepsFor(shown));
    EXPECT_EQ(record.Wave, 25);
    EXPECT_EQ(record.Resolution, -1);
    EXPECT_STREQ(record.Palette, "volcano.map");
}

TEST(SettingsLoad, ARecordFromBeforeTheDesktopFullScreenGetsItsDefaultOnce) {
    FakeKey key;
    Settings record;
    Shown shown;
    loadSettingsFrom(key, record, stepsFor(shown));
    key.numbers.erase("Fullscreen_On_Desktop");
    key.writes.clear();
    Settings older;
    older.Fullscreen_On_Desktop = 0;
    loadSettingsFrom(key, older, stepsFor(shown));
    EXPECT_EQ(older.Fullscreen_On_Desktop, 1);
    EXPECT_EQ(key.writes, std::vector<std::string>{"Fullscreen_On_Desktop"});

    key.numbers["Fullscreen_On_Desktop"] = 0;
    loadSettingsFrom(key, older, stepsFor(shown));
    EXPECT_EQ(older.Fullscreen_On_Desktop, 0);
}

TEST(SettingsLoad, Version140UpgradesFavouritesOnceAndShowsWhatsNew) {
    FakeKey key;
    key.numbers["Version"] = 0x140;
    Settings record;
    Shown shown;
    loadSettingsFrom(key, record, stepsFor(shown));
    EXPECT_EQ(shown.upgrades, 1);
    EXPECT_EQ(shown.whatsNew, std::vector<int32_t>{0x140});
    EXPECT_EQ(key.numbers["Version"], 0x150);
    Shown again;
    loadSettingsFrom(key, record, stepsFor(again));
    EXPECT_EQ(again.upgrades, 0);
}

TEST(SettingsLoad, OtherOldVersionsOnlyShowWhatsNew) {
    FakeKey key;
    key.numbers["Version"] = 0x130;
    Settings record;
    Shown shown;
    loadSettingsFrom(key, record, stepsFor(shown));
    EXPECT_EQ(shown.upgrades, 0);
    EXPECT_EQ(shown.whatsNew, std::vector<int32_t>{0x130});
}

TEST(SettingsLoad, AnUnopenableKeyReadsZeroAndShowsTheDialogs) {
    FakeKey key;
    key.open = false;
    Settings record;
    Shown shown;
    loadSettingsFrom(key, record, stepsFor(shown));
    EXPECT_EQ(shown.firstRuns, 1);
    EXPECT_EQ(shown.whatsNew.size(), 2u);
    EXPECT_EQ(record.Beat_detection_sensitivity, 0);
    EXPECT_STREQ(record.Palette, "");
    EXPECT_TRUE(key.writes.empty());
}

TEST(SettingsSave, WritesEveryValueButTheVersionInTableOrder) {
    FakeKey key;
    Settings record;
    record.Wave = 7;
    saveSettingsTo(key, record);
    ASSERT_EQ(key.writes.size(), 26u);
    EXPECT_EQ(key.writes.front(), "Random");
    EXPECT_EQ(key.writes[6], "Palette");
    EXPECT_EQ(key.numbers.count("Version"), 0u);
    EXPECT_EQ(key.numbers["Wave"], 7);
}

TEST(Resolution, EveryRowAndTheFallbackToRowZero) {
    struct Row {
        int index, width, height, textWidth, textHeight, modeX, windowMode;
    };
    const Row rows[] = {
        {0, 640, 480, 300, 150, 0, 0}, {1, 640, 400, 300, 150, 0, 0}, {2, 320, 240, 150, 75, 1, 0},
        {3, 320, 200, 150, 75, 1, 0},  {4, 640, 480, 300, 150, 0, 1}, {5, 640, 400, 300, 150, 0, 1},
        {6, 320, 240, 150, 75, 1, 1},  {7, 320, 200, 150, 75, 1, 1},  {8, 160, 120, 100, 60, 1, 1},
        {9, 640, 480, 300, 150, 0, 0}, {-1, 640, 480, 300, 150, 0, 0}};
    for (const Row& row : rows) {
        settings.Resolution = row.index;
        applyResolution();
        EXPECT_EQ(plugin.frameWidth, row.width) << row.index;
        EXPECT_EQ(plugin.frameHeight, row.height) << row.index;
        EXPECT_EQ(plugin.textSurfaceWidth, row.textWidth) << row.index;
        EXPECT_EQ(plugin.textSurfaceHeight, row.textHeight) << row.index;
        EXPECT_EQ(plugin.modeX, row.modeX) << row.index;
        EXPECT_EQ(plugin.windowMode, row.windowMode) << row.index;
    }
    settings = Settings();
}
