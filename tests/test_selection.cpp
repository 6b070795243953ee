#include "control/favorites.h"
#include "base/instance.h"
#include "control/keys.h"
#include "memory_key.h"
#include "media/palettes.h"
#include "base/random.h"
#include "control/selection.h"
#include "base/settings.h"
#include "media/translations.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {
constexpr unsigned kLeft = 0x25, kF5 = 0x74;

class SelectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings = Settings();
        settings.Load_All_Trans = 1; // no loader thread in these tests
        plugin.currentWave = plugin.currentFlame = plugin.currentDisplay = 0;
        plugin.currentTranslation = plugin.nextTranslation = 0;
        plugin.currentPalette = 0;
        plugin.dataSource = 0;
        plugin.sampleBias = 128;
        plugin.waveScale = 1;
        plugin.screenshotPending = false;
        translationCount = 0;
        paletteCount = 0;
        forbiddenCount = 0;
        favoriteCount = 0;
        currentFavorite = 0;
        addFavoriteCommand = nullptr;
        randomSeed(12345);
    }
    void setTranslations(int count) {
        translationCount = count;
        for (int i = 1; i <= count; ++i)
            std::snprintf(translationNames[i], sizeof translationNames[i], "t%d.tab", i);
    }
    void setPalettes(int count) {
        paletteCount = count;
        for (int i = 0; i < count; ++i)
            std::snprintf(paletteNames[i], sizeof paletteNames[i], "P%d.MAP", i);
    }
};

} // namespace

TEST_F(SelectionTest, WavesFlamesAndDisplaysWrapBothWays) {
    for (int i = 0; i < 20; ++i) handleKeyCommand('W', false, false);
    EXPECT_EQ(plugin.currentWave, 0);
    handleKeyCommand('W', true, false);
    EXPECT_EQ(plugin.currentWave, 19);
    handleKeyCommand('W', false, true); // Ctrl is not looked at for W
    EXPECT_EQ(plugin.currentWave, 0);
    handleKeyCommand('F', true, false);
    EXPECT_EQ(plugin.currentFlame, 15);
    handleKeyCommand('D', true, false);
    EXPECT_EQ(plugin.currentDisplay, 3);
    handleKeyCommand('D', false, false);
    EXPECT_EQ(plugin.currentDisplay, 0);
    handleKeyCommand('H', false, false);
    handleKeyCommand('H', false, false);
    handleKeyCommand('H', false, false);
    EXPECT_EQ(plugin.waveScale, 0);
}

TEST_F(SelectionTest, TranslationKeysWrapThroughNoneAndClearTheFlame) {
    setTranslations(5);
    plugin.currentFlame = 7;
    handleKeyCommand('T', true, false);
    EXPECT_EQ(plugin.currentTranslation, 5);
    EXPECT_EQ(plugin.currentFlame, 0);
    handleKeyCommand('T', false, false);
    EXPECT_EQ(plugin.currentTranslation, 0);
    handleKeyCommand('T', false, false);
    handleKeyCommand('F', false, false); // a flame by key switches the translation off
    EXPECT_EQ(plugin.currentTranslation, 0);
    EXPECT_EQ(plugin.currentFlame, 1);
}

TEST_F(SelectionTest, InputTogglesAndScreenShots) {
    handleKeyCommand('I', true, true);
    EXPECT_EQ(plugin.dataSource, 1);
    EXPECT_EQ(plugin.sampleBias, 0);
    handleKeyCommand('I', false, false);
    EXPECT_EQ(plugin.dataSource, 0);
    EXPECT_EQ(plugin.sampleBias, 128);
    handleKeyCommand('S', true, false);
    EXPECT_EQ(plugin.dataSource, 1);
    EXPECT_FALSE(plugin.screenshotPending);
    handleKeyCommand('S', true, true);
    EXPECT_EQ(plugin.dataSource, 1);
    EXPECT_TRUE(plugin.screenshotPending);
    EXPECT_EQ(handleKeyCommand(0x1B, false, false), KeyAction::Close);
    handleKeyCommand('L', false, false);
    EXPECT_TRUE(plugin.randomLocked);
}

TEST_F(SelectionTest, KeysTheTableDoesNotUseAreForwarded) {
    for (unsigned vk : {unsigned('1'), unsigned('0'), kLeft, kF5, unsigned('Z'), unsigned('X')})
        EXPECT_EQ(handleKeyCommand(vk, false, false), KeyAction::Forward) << vk;
    EXPECT_EQ(handleKeyCommand('W', false, false), KeyAction::Handled);
}

TEST_F(SelectionTest, FavouriteKeys) {
    static int added;
    added = 0;
    addFavoriteCommand = [] { ++added; };
    handleKeyCommand('M', true, true); // Ctrl-Shift-M adds too
    EXPECT_EQ(added, 1);
    handleKeyCommand('M', false, false); // no favourites: nothing happens
    EXPECT_EQ(plugin.currentWave, 0);
    favoriteCount = 2;
    favorites[0] = {4, 2, 0, 0, 0, 1};
    favorites[1] = {9, 3, 0, 0, 1, 2};
    handleKeyCommand('M', false, false);
    EXPECT_EQ(currentFavorite, 1);
    EXPECT_EQ(plugin.currentWave, 9);
    handleKeyCommand('M', false, false);
    EXPECT_EQ(currentFavorite, 0);
    EXPECT_EQ(plugin.currentDisplay, 1);
    handleKeyCommand('M', true, false);
    EXPECT_EQ(currentFavorite, 1);
}

TEST_F(SelectionTest, PaletteKeysDoNothingWithoutPalettes) {
    handleKeyCommand('P', false, false);
    EXPECT_EQ(plugin.currentPalette, 0);
    setPalettes(3);
    handleKeyCommand('P', true, false);
    EXPECT_EQ(plugin.currentPalette, 2);
    handleKeyCommand('P', false, false);
    EXPECT_EQ(plugin.currentPalette, 0);
}

TEST_F(SelectionTest, RandomChangeDrawsDisplaysAndTranslationsInTheirShares) {
    setTranslations(3);
    const int draws = 16000;
    int display0 = 0, display3 = 0, translated = 0;
    for (int i = 0; i < draws; ++i) {
        randomChange();
        display0 += plugin.currentDisplay == 0;
        display3 += plugin.currentDisplay == 3;
        if (plugin.currentTranslation != 0) {
            ++translated;
            EXPECT_EQ(plugin.currentFlame, 0);
        }
    }
    EXPECT_NEAR(display0, draws / 2, draws / 40);
    EXPECT_NEAR(display3, draws / 6, draws / 40);
    EXPECT_NEAR(translated, draws * 6 / 16, draws / 40);
    translationCount = 0;
    for (int i = 0; i < 200; ++i) {
        randomChange();
        ASSERT_EQ(plugin.currentTranslation, 0);
    }
}

TEST_F(SelectionTest, ForbiddensShapeTheRandomChangeAndNeverHangIt) {
    forbiddens[0] = {-1, -1, 0, 0};
    forbiddenCount = 1;
    for (int i = 0; i < 500; ++i) {
        randomChange();
        ASSERT_NE(plugin.currentDisplay, 0);
    }
    for (int d = 1; d < 4; ++d) forbiddens[d] = {-1, -1, d, d};
    forbiddenCount = 4;
    randomChange(); // everything is forbidden: the change still ends
    SUCCEED();
}

TEST(ForbiddenEntries, RejectOnlyTheWholeCombination) {
    forbiddens[0] = {6, 8, 1, -1}; // "Walking" with "Water", any display
    forbiddens[1] = {-1, -1, 2, -1};
    forbiddenCount = 2;
    EXPECT_FALSE(isAllowed(6, 8, 3));
    EXPECT_TRUE(isAllowed(5, 8, 3));
    EXPECT_TRUE(isAllowed(6, 9, 3));
    forbiddens[1] = {-1, -1, 2, 1}; // display 1 alone
    EXPECT_FALSE(isAllowed(0, 0, 1));
    EXPECT_TRUE(isAllowed(0, 0, 2));
    forbiddens[0] = {-1, 3, 4, -1};
    forbiddens[1] = {-1, -1, 5, -1}; // all wildcards: forbids nothing
    EXPECT_TRUE(isAllowed(1, 2, 3));
    forbiddenCount = 0;
}

TEST_F(SelectionTest, FavouritesTakeTheLowestFreeNumberAndRoundTrip) {
    setPalettes(2);
    setTranslations(2);
    MemoryKey key;
    plugin.currentWave = 6;
    plugin.currentFlame = 0;
    plugin.currentPalette = 1;
    plugin.currentTranslation = 2;
    plugin.currentDisplay = 3;
    for (int i = 0; i < 3; ++i) addFavoriteTo(key);
    EXPECT_EQ(key.order, (std::vector<std::string>{"Favorite_0", "Favorite_1", "Favorite_2"}));
    const std::vector<uint8_t>& record = key.values["Favorite_0"];
    EXPECT_EQ(record.size(), 14u + 6 + 6);
    key.erase("Favorite_1");
    addFavoriteTo(key);
    EXPECT_TRUE(key.exists("Favorite_1"));
    EXPECT_EQ(favorites[currentFavorite].number, 1);
    loadFavoritesFrom(key);
    ASSERT_EQ(favoriteCount, 3);
    EXPECT_EQ(favorites[0].wave, 6);
    EXPECT_EQ(favorites[0].palette, 1);
    EXPECT_EQ(favorites[0].translation, 2);
    EXPECT_EQ(favorites[0].display, 3);
    char line[600];
    favoriteLine(favorites[0], line, sizeof line);
    EXPECT_STREQ(line, "Walking --- Blank the buffer --- P1.MAP --- t2.tab --- Height 1x2");
}

TEST_F(SelectionTest, FavouritesWhoseFilesAreGoneKeepTheFirstPaletteAndNoTranslation) {
    MemoryKey key;
    FavoriteFields fields = {3, 4, "GONE.MAP", "gone.tab", 1};
    uint8_t record[kRecordBufferSize];
    key.writeBinary(record, "Favorite_7", encodeFavorite(fields, record, sizeof record));
    key.writeBinary("\x01\x02", "Favorite_8", 2); // too short: skipped
    setPalettes(2);
    loadFavoritesFrom(key);
    ASSERT_EQ(favoriteCount, 1);
    EXPECT_EQ(favorites[0].number, 7);
    EXPECT_EQ(favorites[0].palette, 0);
    EXPECT_EQ(favorites[0].translation, 0);
}

TEST_F(SelectionTest, AtMost200FavouritesAndNoMoreThan99Forbiddens) {
    MemoryKey key;
    for (int i = 0; i < 205; ++i) addFavoriteTo(key);
    EXPECT_EQ(key.values.size(), 200u);
    EXPECT_EQ(favoriteCount, 200);
    loadFavoritesFrom(key);
    EXPECT_EQ(favoriteCount, 200);
    MemoryKey forbidden;
    unsigned last = 0;
    for (int i = 0; i < 101; ++i) last = addForbiddenTo(forbidden, -1, -1, -1);
    EXPECT_EQ(last, 0u);
    EXPECT_EQ(forbidden.values.size(), 99u);
    EXPECT_TRUE(forbidden.exists("Forbiden_1"));
    EXPECT_FALSE(forbidden.exists("Forbiden_0"));
    loadForbiddensFrom(forbidden);
    EXPECT_EQ(forbiddenCount, 99);
    char line[200];
    forbiddenLine({-1, 2, 1, 1}, line, sizeof line);
    EXPECT_STREQ(line, "* --- Up Slow --- Kaleidoscope 2x2");
    forbiddenCount = 0;
}
