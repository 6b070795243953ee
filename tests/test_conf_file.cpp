// The settings as a text file: every value of the field table round-trips, odd and missing
// values get the registry's defaults, broken lines are reported once and skipped.
#include "base/conf_file.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Steps {
    int firstRuns = 0;
    std::vector<int32_t> whatsNew;
    SettingsLoadSteps steps() {
        return {[](void* c) { ++static_cast<Steps*>(c)->firstRuns; },
                [](void* c, int32_t v) { static_cast<Steps*>(c)->whatsNew.push_back(v); }, nullptr,
                this};
    }
};

// A record whose every value differs from its default and from every other value, found
// through the field table (so new fields are covered without naming them).
Settings unusualRecord() {
    Settings record;
    record.Version = kSettingsVersion;
    for (int i = 1; i < kSettingFieldCount; ++i) {
        const SettingField& field = settingFields[i];
        if (field.number)
            record.*field.number = (i % 2 ? -1000 : 1000) * i - 7;
        else
            std::snprintf(record.*field.text, kSettingTextSize, " name %d = with spaces.MAP ", i);
    }
    return record;
}

void expectSameRecord(const Settings& a, const Settings& b) {
    for (int i = 0; i < kSettingFieldCount; ++i) {
        const SettingField& field = settingFields[i];
        if (field.number)
            EXPECT_EQ(a.*field.number, b.*field.number) << field.name;
        else
            EXPECT_STREQ(a.*field.text, b.*field.text) << field.name;
    }
}

Settings loadText(const std::string& text, ConfKey& key) {
    key.parse(text.data(), text.size());
    Settings record;
    Steps steps;
    loadSettingsFrom(key, record, steps.steps());
    return record;
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

TEST(ConfFile, EveryValueOfTheTableRoundTripsInTableOrder) {
    const Settings record = unusualRecord();
    const std::string text = confText(record);
    // One line per field, in the table's order, under the record's names.
    std::istringstream lines(text);
    std::string line;
    int index = 0;
    while (std::getline(lines, line)) {
        ASSERT_LT(index, kSettingFieldCount);
        EXPECT_EQ(line.substr(0, line.find('=')), settingFields[index].name);
        ++index;
    }
    EXPECT_EQ(index, kSettingFieldCount);

    ConfKey key;
    Settings back = loadText(text, key);
    EXPECT_TRUE(key.problems().empty());
    EXPECT_FALSE(key.changed());
    expectSameRecord(record, back);
}

TEST(ConfFile, RoundTripsExtremesThroughAFile) {
    HostFolder folder("conf");
    Settings record = unusualRecord();
    for (int i = 1; i < kSettingFieldCount; ++i)
        if (settingFields[i].number)
            record.*settingFields[i].number = i % 2 ? INT32_MIN : INT32_MAX;
    std::memset(record.Palette, 'x', kSettingTextSize - 1);
    record.Palette[kSettingTextSize - 1] = '\0';
    record.Picture[0] = '\0';
    const std::string path = folder.path + "new/quorbel/quorbel.conf";
    std::string error;
    ASSERT_TRUE(saveConfFile(path, record, error)) << error;

    Settings back;
    std::vector<std::string> messages;
    Steps steps;
    ASSERT_TRUE(loadConfFile(path, back, steps.steps(), messages));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(steps.firstRuns, 0);
    EXPECT_TRUE(steps.whatsNew.empty());
    expectSameRecord(record, back);
}

TEST(ConfFile, AMissingFileIsTheFirstRunAndIsWrittenWithTheDefaults) {
    HostFolder folder("conf");
    const std::string path = folder.path + "cfg/quorbel/quorbel.conf";
    Settings record = unusualRecord();
    std::vector<std::string> messages;
    Steps steps;
    ASSERT_TRUE(loadConfFile(path, record, steps.steps(), messages));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(steps.firstRuns, 1);
    Settings defaults;
    defaults.Version = kSettingsVersion;
    expectSameRecord(record, defaults);
    EXPECT_EQ(readFile(path), confText(defaults));

    // The second start is no first run and leaves the file alone.
    Steps again;
    ASSERT_TRUE(loadConfFile(path, record, again.steps(), messages));
    EXPECT_EQ(again.firstRuns, 0);
    EXPECT_TRUE(messages.empty());
}

TEST(ConfFile, OddAndMissingValuesGetTheDefaultsAndTheFileIsCompleted) {
    HostFolder folder("conf");
    const std::string path = folder.path + "quorbel.conf";
    writeFile(path, "Version=336\r\n"
                    "  Wave =  7  \r\n"
                    "Flame=seven\n"
                    "WaveScale=2147483648\n"
                    "Random=-2147483648\n"
                    "Frequency_Id3_Change=\n"
                    "Resolution=99\n"
                    "Palette= spaced.map\n"
                    "Flame=4x\n");
    Settings record;
    std::vector<std::string> messages;
    Steps steps;
    ASSERT_TRUE(loadConfFile(path, record, steps.steps(), messages));
    const Settings defaults;
    EXPECT_EQ(record.Wave, 7);
    EXPECT_EQ(record.Random, INT32_MIN);
    EXPECT_EQ(record.Resolution, 99); // taken as stored, as the registry's load does
    EXPECT_STREQ(record.Palette, " spaced.map");
    EXPECT_EQ(record.Flame, defaults.Flame);
    EXPECT_EQ(record.WaveScale, defaults.WaveScale);
    EXPECT_EQ(record.Frequency_Id3_Change, defaults.Frequency_Id3_Change);
    EXPECT_EQ(record.Picture[0], '\0');
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_NE(messages[0].find("line 3: Flame: not a whole number"), std::string::npos);
    EXPECT_NE(messages[1].find("line 4: WaveScale"), std::string::npos);
    EXPECT_NE(messages[2].find("line 6: Frequency_Id3_Change"), std::string::npos);
    EXPECT_NE(messages[3].find("line 9: Flame"), std::string::npos);

    // The file now holds every value, the defaults where the values were odd or missing.
    EXPECT_EQ(readFile(path), confText(record));
    messages.clear();
    ASSERT_TRUE(loadConfFile(path, record, steps.steps(), messages));
    EXPECT_TRUE(messages.empty());
}

TEST(ConfFile, BrokenLinesAreReportedOnceAndSkipped) {
    ConfKey key;
    Settings record = loadText("# a comment\n"
                               "; another\n"
                               "\t \n"
                               "Wave 5\n"
                               "Colour=3\n"
                               "=4\n"
                               "Flame=9\n"
                               "wave=6\n",
                               key);
    EXPECT_EQ(record.Flame, 9);
    EXPECT_EQ(record.Wave, Settings().Wave); // names count with their case, as on Windows
    ASSERT_EQ(key.problems().size(), 4u);
    EXPECT_EQ(key.problems()[0], "line 4: not a Name=value line, skipped");
    EXPECT_EQ(key.problems()[1], "line 5: unknown setting \"Colour\", skipped");
    EXPECT_EQ(key.problems()[2], "line 6: unknown setting \"\", skipped");
    EXPECT_EQ(key.problems()[3], "line 8: unknown setting \"wave\", skipped");
    // Without a Version line the load is a first run and stores the version.
    EXPECT_EQ(record.Version, kSettingsVersion);
    EXPECT_TRUE(key.changed());
}

TEST(ConfFile, HugeLinesAndStrayBytesStayInsideTheRecord) {
    std::string text = "Palette=" + std::string(100000, 'p') + "\n";
    text += std::string(100000, 'n') + "=1\n";
    text += "Picture=a";
    text += '\0';
    text += "b\n";
    text += "Transformation=last line without end";
    text += "\nWave=" + std::string(100000, '9') + "\n";
    ConfKey key;
    Settings record = loadText(text, key);
    EXPECT_EQ(std::strlen(record.Palette), size_t(kSettingTextSize - 1));
    EXPECT_STREQ(record.Picture, "a");
    EXPECT_STREQ(record.Transformation, "last line without end");
    EXPECT_EQ(record.Wave, Settings().Wave);
    ASSERT_EQ(key.problems().size(), 2u);
    EXPECT_LT(key.problems()[0].size(), 120u);
}

TEST(ConfFile, ATooLargeOrUnreadableFileGivesTheDefaultsAndOneMessage) {
    HostFolder folder("conf");
    const std::string path = folder.path + "quorbel.conf";
    writeFile(path, "Wave=5\n" + std::string(2 << 20, '#'));
    Settings record = unusualRecord();
    std::vector<std::string> messages;
    Steps steps;
    EXPECT_FALSE(loadConfFile(path, record, steps.steps(), messages));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(record.Wave, Settings().Wave);
    // The file is left as it was for the user to look at.
    EXPECT_GT(readFile(path).size(), size_t(2 << 20));

    messages.clear();
    const std::string folderPath = folder.sub("a_folder");
    EXPECT_FALSE(loadConfFile(folderPath, record, steps.steps(), messages));
    EXPECT_EQ(messages.size(), 1u);
}

TEST(ConfFile, PathFollowsXdgConfigHomeThenHome) {
    EXPECT_EQ(confFilePath("/x/cfg", "/home/u"), "/x/cfg/quorbel/quorbel.conf");
    EXPECT_EQ(confFilePath("/x/cfg/", "/home/u"), "/x/cfg/quorbel/quorbel.conf");
    EXPECT_EQ(confFilePath("", "/home/u"), "/home/u/.config/quorbel/quorbel.conf");
    EXPECT_EQ(confFilePath("relative", "/home/u"), "/home/u/.config/quorbel/quorbel.conf");
    EXPECT_EQ(confFilePath(nullptr, nullptr), ".config/quorbel/quorbel.conf");
}
