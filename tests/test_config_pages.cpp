// What the configuration pages show and store: slider conversions, combo lists and selections,
// New Forbidden's fields and the change history that What's New lists.
#include "control/config_pages.h"

#include "effects/effects.h"
#include "media/palettes.h"
#include "media/pics.h"
#include "base/settings.h"
#include "media/translations.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string> texts(ComboList list) {
    std::vector<std::string> out;
    for (int i = 0; i < comboCount(list); ++i) out.push_back(comboText(list, i));
    return out;
}

// Lists of files as the enumerations leave them; emptied again afterwards.
class ConfigLists : public ::testing::Test {
  protected:
    void SetUp() override {
        paletteCount = 2;
        std::snprintf(paletteNames[0], sizeof paletteNames[0], "VOLCANO.MAP");
        std::snprintf(paletteNames[1], sizeof paletteNames[1], "ICE.MAP");
        translationCount = 1;
        std::snprintf(translationNames[1], sizeof translationNames[1], "space.tab");
        pictureCount = 2;
        std::snprintf(pictureNames[1], sizeof pictureNames[1], "rings.gif");
        std::snprintf(pictureNames[2], sizeof pictureNames[2], "plasma.gif");
    }
    void TearDown() override { paletteCount = translationCount = pictureCount = 0; }
};

} // namespace

TEST(ConfigSliders, SensitivityShowsTheThresholdFromTheRightAndStoresItBack) {
    EXPECT_EQ(sensitivityPosition(200), 55); // the default
    EXPECT_EQ(sensitivityFromPosition(155), 100);
    EXPECT_EQ(sensitivityFromPosition(1), 254);
    for (int position = kSensitivityMin; position <= kSensitivityMax; ++position)
        EXPECT_EQ(sensitivityPosition(sensitivityFromPosition(position)), position);
    // Stored thresholds outside 100..254 show at the nearer end, and so store an end value.
    EXPECT_EQ(sensitivityPosition(0), kSensitivityMax);
    EXPECT_EQ(sensitivityPosition(255), kSensitivityMin);
    EXPECT_EQ(sensitivityPosition(-5), kSensitivityMax);
    EXPECT_EQ(sensitivityFromPosition(0), 254);
    EXPECT_EQ(sensitivityFromPosition(400), 100);
}

TEST(ConfigSliders, ScaleRunsTheOtherWayAndIntervalsAreTheirSettings) {
    EXPECT_EQ(scalePosition(1), 2); // the default
    EXPECT_EQ(waveScaleFromPosition(0), 3);
    EXPECT_EQ(waveScaleFromPosition(3), 0);
    EXPECT_EQ(scalePosition(7), 0);
    EXPECT_EQ(scalePosition(-1), 3);
    EXPECT_EQ(waveScaleFromPosition(9), 0);

    EXPECT_EQ(intervalPosition(8, kBeatIntervalMax), 8);
    EXPECT_EQ(intervalPosition(0, kBeatIntervalMax), 1); // a failed read gives 0
    EXPECT_EQ(intervalPosition(100, kBeatIntervalMax), 64);
    EXPECT_EQ(intervalPosition(100, kPictureIntervalMax), 100);
    EXPECT_EQ(intervalFromPosition(128, kPictureIntervalMax), 128);
    EXPECT_EQ(intervalFromPosition(0, kPictureIntervalMax), 1);
}

TEST(ConfigCombos, FixedListsHoldTheTableTextsInIndexOrder) {
    const auto resolutions = texts(ComboList::Resolutions);
    ASSERT_EQ(resolutions.size(), 9u);
    EXPECT_EQ(resolutions[0], "640x480 (256 colors) full screen");
    EXPECT_EQ(resolutions[8], "160x120 windowed");
    EXPECT_EQ(
        texts(ComboList::Displays),
        (std::vector<std::string>{"Normal 1x1", "Kaleidoscope 2x2", "Weidth 2x1", "Height 1x2"}));
    ASSERT_EQ(comboCount(ComboList::Waves), kWaveCount);
    ASSERT_EQ(comboCount(ComboList::Flames), kFlameCount);
    for (int i = 0; i < kWaveCount; ++i) {
        EXPECT_EQ(comboText(ComboList::Waves, i), std::string(waveTable[i].description));
        EXPECT_EQ(comboText(ComboList::ForbiddenWaves, i + 1),
                  std::string(waveTable[i].description));
    }
    for (int i = 0; i < kFlameCount; ++i)
        EXPECT_EQ(comboText(ComboList::Flames, i), std::string(flameTable[i].description));
    for (ComboList list :
         {ComboList::ForbiddenWaves, ComboList::ForbiddenFlames, ComboList::ForbiddenDisplays})
        EXPECT_EQ(comboText(list, 0), std::string("*"));
    EXPECT_EQ(comboCount(ComboList::ForbiddenDisplays), 5);
    EXPECT_EQ(comboText(ComboList::ForbiddenDisplays, 4), std::string("Height 1x2"));
    // Outside a list: an empty text, never a slot past the table.
    EXPECT_EQ(comboText(ComboList::Waves, kWaveCount), std::string(""));
    EXPECT_EQ(comboText(ComboList::Displays, -1), std::string(""));
}

TEST_F(ConfigLists, FileListsFollowTheEnumerationsWithNoneFirst) {
    EXPECT_EQ(texts(ComboList::Palettes), (std::vector<std::string>{"VOLCANO.MAP", "ICE.MAP"}));
    EXPECT_EQ(texts(ComboList::Translations), (std::vector<std::string>{"<none>", "space.tab"}));
    EXPECT_EQ(texts(ComboList::Pictures),
              (std::vector<std::string>{"<none>", "rings.gif", "plasma.gif"}));
    // The current positions select their lines; positions without a file select nothing.
    EXPECT_EQ(listSelection(ComboList::Palettes, 1), 1);
    EXPECT_EQ(listSelection(ComboList::Palettes, 2), -1);
    EXPECT_EQ(listSelection(ComboList::Translations, 0), 0);
    EXPECT_EQ(listSelection(ComboList::Translations, 2), -1);
    EXPECT_EQ(listSelection(ComboList::Pictures, 2), 2);
    EXPECT_EQ(listSelection(ComboList::Pictures, -1), -1);
}

TEST_F(ConfigLists, EmptyOrOverfullCountsStayInsideTheNameTables) {
    paletteCount = 0;
    translationCount = 0;
    EXPECT_EQ(comboCount(ComboList::Palettes), 0);
    EXPECT_EQ(texts(ComboList::Translations), (std::vector<std::string>{"<none>"}));
    EXPECT_EQ(listSelection(ComboList::Palettes, 0), -1);
    pictureCount = kMaxPictures + 50;
    EXPECT_EQ(comboCount(ComboList::Pictures), kMaxPictures + 1);
    paletteCount = -3;
    EXPECT_EQ(comboCount(ComboList::Palettes), 0);
}

TEST(ConfigCombos, IndexSettingsOutsideTheirListShowAndStoreTheFirstEntry) {
    EXPECT_EQ(comboSelection(ComboList::Waves, 19), 19);
    EXPECT_EQ(comboSelection(ComboList::Waves, 25), 0);
    EXPECT_EQ(comboSelection(ComboList::Displays, 7), 0);
    EXPECT_EQ(comboSelection(ComboList::Resolutions, -1), 0);
    EXPECT_EQ(settingFromSelection(ComboList::Flames, 15), 15);
    // A text typed into the box leaves no selection (-1).
    EXPECT_EQ(settingFromSelection(ComboList::Flames, -1), 0);
    EXPECT_EQ(settingFromSelection(ComboList::Resolutions, -1), 0);
    EXPECT_EQ(settingFromSelection(ComboList::Resolutions, 9), 0);
}

TEST(ConfigCombos, NewForbiddenFieldsAreTheSelectionMinusOneAndStarIsAny) {
    EXPECT_EQ(forbiddenFieldFromSelection(ComboList::ForbiddenWaves, 0), -1);
    EXPECT_EQ(forbiddenFieldFromSelection(ComboList::ForbiddenWaves, 1), 0);
    EXPECT_EQ(forbiddenFieldFromSelection(ComboList::ForbiddenWaves, kWaveCount), kWaveCount - 1);
    EXPECT_EQ(forbiddenFieldFromSelection(ComboList::ForbiddenDisplays, 2), 1);
    // A typed text means any, not -2, and nothing past a table.
    EXPECT_EQ(forbiddenFieldFromSelection(ComboList::ForbiddenFlames, -1), -1);
    EXPECT_EQ(forbiddenFieldFromSelection(ComboList::ForbiddenFlames, kFlameCount + 1), -1);
}

TEST(ConfigHistory, NewestFirstAndOnlyVersionsNewerThanTheStoredOne) {
    int32_t versions[kHistoryVersionCount];
    auto shown = [&](int32_t stored) {
        return std::vector<int32_t>(versions, versions + historyVersions(stored, versions));
    };
    EXPECT_EQ(shown(0x131), (std::vector<int32_t>{0x150, 0x140}));
    EXPECT_EQ(shown(0x140), (std::vector<int32_t>{0x150}));
    EXPECT_EQ(shown(0x150), (std::vector<int32_t>{0x150}));
    EXPECT_EQ(shown(0x130), (std::vector<int32_t>{0x150, 0x140, 0x131}));
    EXPECT_EQ(shown(0), (std::vector<int32_t>{0x150, 0x140, 0x131, 0x130, 0x120, 0x101}));
    EXPECT_EQ(shown(0x101), (std::vector<int32_t>{0x150, 0x140, 0x131, 0x130, 0x120}));
}
