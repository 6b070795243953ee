#include "base/instance.h"
#include "base/settings.h"
#include "temp_folder.h"
#include "media/translation_table.h"
#include "media/translations.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace {
// A table whose every record points at itself with the given blend.
void writeIdentityTable(const std::string& path, uint32_t blend) {
    std::vector<uint32_t> records(kGridPixels);
    for (int i = 0; i < kGridPixels; ++i) records[i] = makeEntry(i, blend);
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    writeTranslationRecords(file, records.data(), records.size());
    std::fclose(file);
}

class TranslationsTest : public ::testing::Test {
  protected:
    HostFolder folder{"translations"};
    std::string tabs = folder.sub("tabs");

    void SetUp() override {
        settings = Settings();
        settings.Resolution = 8;
        applyResolution();
        plugin.currentTranslation = 0;
        plugin.nextTranslation = 0;
    }
    void TearDown() override { shutDownTranslations(); }
};
} // namespace

TEST_F(TranslationsTest, TheSettingNamesTheStartTableExactly) {
    for (const char* name : {"a.tab", "rotate.tab", "c.tab"}) writeIdentityTable(tabs + name, 8);
    std::FILE* other = std::fopen((tabs + "notes.txt").c_str(), "w");
    std::fclose(other);
    std::snprintf(settings.Transformation, sizeof settings.Transformation, "ROTATE.TAB");
    listTranslations();
    EXPECT_EQ(translationCount, 3);
    EXPECT_EQ(plugin.currentTranslation, 0);
    std::snprintf(settings.Transformation, sizeof settings.Transformation, "rotate.tab");
    listTranslations();
    EXPECT_STREQ(translationNames[plugin.currentTranslation], "rotate.tab");
}

TEST_F(TranslationsTest, NoMoreThan99AreListed) {
    for (int i = 0; i < 101; ++i) {
        std::FILE* file = std::fopen((tabs + std::to_string(i) + ".tab").c_str(), "wb");
        std::fclose(file);
    }
    listTranslations();
    EXPECT_EQ(translationCount, 99);
}

TEST_F(TranslationsTest, TheLoaderPreparesTheNextTableAndTheHandOverSwapsThem) {
    writeIdentityTable(tabs + "one.tab", 8);
    listTranslations();
    ASSERT_TRUE(allocateTranslationBuffers());
    plugin.currentTranslation = 0;
    startTranslations();
    EXPECT_EQ(plugin.nextTranslation, 1);
    ASSERT_TRUE(waitForLoader(translationLoader, 60000));
    EXPECT_FALSE(translationLoaderBusy());
    uint32_t* const prepared = spareTable;
    EXPECT_EQ(prepared[5], makeEntry(5, 8));
    ASSERT_TRUE(takePreparedTranslation());
    EXPECT_EQ(currentTable, prepared);
    EXPECT_EQ(plugin.currentTranslation, 1);
}

TEST_F(TranslationsTest, ADeletedFileMakesTheNextChangeEndWithoutATranslation) {
    writeIdentityTable(tabs + "gone.tab", 8);
    listTranslations();
    ASSERT_TRUE(allocateTranslationBuffers());
    std::remove((tabs + "gone.tab").c_str());
    startTranslations();
    ASSERT_TRUE(waitForLoader(translationLoader, 60000));
    EXPECT_EQ(plugin.nextTranslation, 0);
    ASSERT_TRUE(takePreparedTranslation());
    EXPECT_EQ(plugin.currentTranslation, 0);
}

TEST_F(TranslationsTest, AKeyLoadOfAMissingFileSwitchesTheTranslationOff) {
    writeIdentityTable(tabs + "here.tab", 8);
    listTranslations();
    ASSERT_TRUE(allocateTranslationBuffers());
    std::remove((tabs + "here.tab").c_str());
    int index = 1;
    loadTranslation(currentTable, index);
    EXPECT_EQ(index, 0);
    index = 7; // outside the list: nothing happens
    loadTranslation(currentTable, index);
    EXPECT_EQ(index, 7);
}

TEST_F(TranslationsTest, LoadAllReadsEveryTableAndReportsProgress) {
    settings.Load_All_Trans = 1;
    for (const char* name : {"a.tab", "b.tab", "c.tab"}) writeIdentityTable(tabs + name, 12);
    listTranslations();
    std::vector<int> positions;
    loadAllTranslations([](int p, void* c) { static_cast<std::vector<int>*>(c)->push_back(p); },
                        &positions);
    EXPECT_EQ(positions, (std::vector<int>{0, 1, 2, 3}));
    int index = 2;
    loadTranslation(nullptr, index);
    ASSERT_EQ(currentTable, preloadedTables[2]);
    EXPECT_EQ(currentTable[0], makeEntry(0, 12));
}
