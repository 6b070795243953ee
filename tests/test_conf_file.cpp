// The settings as a text file: every value of the field table round-trips, odd, missing and
// out-of-range values get the registry's defaults, broken lines are reported once and
// skipped, a start never writes the user's file and a save keeps everything else in it.
#include "base/conf_file.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
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

// A record whose every value differs from its default, inside the ranges the file accepts,
// found through the field table (so new fields are covered without naming them).
Settings unusualRecord() {
    const Settings defaults;
    Settings record;
    record.Version = kSettingsVersion;
    for (int i = 1; i < kSettingFieldCount; ++i) {
        const SettingField& field = settingFields[i];
        int32_t low, high;
        if (field.number) {
            EXPECT_TRUE(settingRange(field.name, low, high)) << field.name;
            record.*field.number = defaults.*field.number == high ? low : high;
        } else {
            std::snprintf(record.*field.text, kSettingTextSize, " name %d = with spaces.MAP ", i);
        }
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
    for (int i = 1; i < kSettingFieldCount; ++i) {
        int32_t low, high;
        if (settingFields[i].number && settingRange(settingFields[i].name, low, high))
            record.*settingFields[i].number = i % 2 ? low : high;
    }
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
    // A comment on top says how the file is read, then the values.
    const std::string text = readFile(path);
    EXPECT_EQ(text[0], '#');
    EXPECT_EQ(text.substr(text.size() - confText(defaults).size()), confText(defaults));

    // The second start is no first run and leaves the file alone.
    Steps again;
    ASSERT_TRUE(loadConfFile(path, record, again.steps(), messages));
    EXPECT_EQ(again.firstRuns, 0);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(readFile(path), text);
}

TEST(ConfFile, OddMissingAndOutOfRangeValuesGetTheDefaultsAndTheFileIsLeftAlone) {
    HostFolder folder("conf");
    const std::string path = folder.path + "quorbel.conf";
    const std::string text = "Version=336\r\n"
                             "  Wave =  7  \r\n"
                             "Flame=seven\n"
                             "WaveScale=2147483648\n"
                             "Random=-2147483648\n"
                             "Frequency_Id3_Change=\n"
                             "Resolution=99\n"
                             "Palette= spaced.map\n"
                             "Flame=4x\n"
                             "Frequency_Pic_Show=128\n"
                             "Beat_detection_sensitivity=99\n";
    writeFile(path, text);
    Settings record;
    std::vector<std::string> messages;
    Steps steps;
    ASSERT_TRUE(loadConfFile(path, record, steps.steps(), messages));
    const Settings defaults;
    EXPECT_EQ(record.Wave, 7);
    EXPECT_EQ(record.Frequency_Pic_Show, 128);
    EXPECT_STREQ(record.Palette, " spaced.map");
    EXPECT_EQ(record.Random, defaults.Random);
    EXPECT_EQ(record.Resolution, defaults.Resolution);
    EXPECT_EQ(record.Flame, defaults.Flame);
    EXPECT_EQ(record.WaveScale, defaults.WaveScale);
    EXPECT_EQ(record.Frequency_Id3_Change, defaults.Frequency_Id3_Change);
    EXPECT_EQ(record.Beat_detection_sensitivity, defaults.Beat_detection_sensitivity);
    EXPECT_EQ(record.Picture[0], '\0');
    ASSERT_EQ(messages.size(), 7u);
    EXPECT_NE(messages[0].find("line 3: Flame: not a whole number"), std::string::npos);
    EXPECT_NE(messages[1].find("line 4: WaveScale"), std::string::npos);
    EXPECT_NE(
        messages[2].find("line 5: Random: -2147483648 is outside 0..1, the default 1 is used"),
        std::string::npos);
    EXPECT_NE(messages[3].find("line 6: Frequency_Id3_Change"), std::string::npos);
    EXPECT_NE(messages[4].find("line 7: Resolution: 99 is outside 0..8, the default 0 is used"),
              std::string::npos);
    EXPECT_NE(messages[5].find("line 9: Flame"), std::string::npos);
    EXPECT_NE(messages[6].find("line 11: Beat_detection_sensitivity: 99 is outside 100..254"),
              std::string::npos);
    // The defaults are this run's only: the user's file is as it was.
    EXPECT_EQ(readFile(path), text);
}

TEST(ConfFile, CommentsAfterValuesAreAllowed) {
    ConfKey key;
    Settings record = loadText("Wave=5 # my favourite\n"
                               "Flame=9\t#warm\n"
                               "Palette=GOLD.MAP   # the gold one\n"
                               "Picture=a#b.gif\n"
                               "WaveScale=2#3\n",
                               key);
    EXPECT_EQ(record.Wave, 5);
    EXPECT_EQ(record.Flame, 9);
    EXPECT_STREQ(record.Palette, "GOLD.MAP");
    EXPECT_STREQ(record.Picture, "a#b.gif"); // a '#' inside a value is no comment
    EXPECT_EQ(record.WaveScale, Settings().WaveScale);
    ASSERT_EQ(key.problems().size(), 1u);
    EXPECT_EQ(key.problems()[0], "line 5: WaveScale: not a whole number, the default is used");
}

TEST(ConfFile, FileNamesThatNameFoldersOrHoldControlBytesGetTheDefault) {
    ConfKey key;
    Settings record = loadText("Palette=../../etc/passwd\n"
                               "Transformation=/tmp/x.tab\n"
                               "Picture=\x1b]0;title\x07.gif\n",
                               key);
    EXPECT_STREQ(record.Palette, "VOLCANO.MAP");
    EXPECT_STREQ(record.Transformation, "");
    EXPECT_STREQ(record.Picture, "");
    ASSERT_EQ(key.problems().size(), 3u);
    EXPECT_EQ(key.problems()[0],
              "line 1: Palette: \"../../etc/passwd\" is no file name of the maps "
              "folder, the default \"VOLCANO.MAP\" is used");
    EXPECT_NE(key.problems()[1].find("of the tabs folder"), std::string::npos);
    EXPECT_NE(key.problems()[2].find("\\x1B]0;title\\x07.gif"), std::string::npos);
    for (const std::string& problem : key.problems())
        for (char c : problem) EXPECT_GE(static_cast<unsigned char>(c), 0x20u) << problem;
}

TEST(ConfFile, PrintableTextEscapesWhatCouldSteerATerminal) {
    EXPECT_EQ(printableText("plain é ü €"), "plain é ü €");
    EXPECT_EQ(printableText("\x1b[2J\x7f\t"), "\\x1B[2J\\x7F\\x09");
    EXPECT_EQ(printableText("\xc2\x9b"
                            "1m"),
              "\\xC2\\x9B1m"); // the C1 CSI, as UTF-8
    EXPECT_EQ(printableText("\x9b"
                            "1m"),
              "\\x9B1m");                               // and as a byte
    EXPECT_EQ(printableText("\xe2\x82"), "\\xE2\\x82"); // a cut sequence
}

TEST(ConfFile, SaveRewritesValuesInPlaceAndKeepsEverythingElse) {
    HostFolder folder("conf");
    const std::string path = folder.path + "quorbel.conf";
    const std::string text = "# my settings\r\n"
                             "\r\n"
                             "  Wave =  4  # my favourite\r\n"
                             "Colour=blue\r\n"
                             "Flame=seven ; odd\r\n"
                             "no line at all\r\n"
                             "Random=1\r\n"
                             "Flame=2\r\n"
                             "Palette=GOLD.MAP";
    writeFile(path, text);
    Settings record;
    record.Version = kSettingsVersion;
    record.Wave = 6;
    record.Flame = 7;
    std::snprintf(record.Palette, sizeof record.Palette, "%s", "GOLD.MAP");
    std::string error;
    ASSERT_TRUE(saveConfFile(path, record, error)) << error;
    const std::string saved = readFile(path);
    // The last Flame line is the one that counts, so it takes the value; the earlier one
    // stays as the user wrote it. Lines already holding their value are untouched.
    const std::string kept = "# my settings\r\n"
                             "\r\n"
                             "  Wave =  6  # my favourite\r\n"
                             "Colour=blue\r\n"
                             "Flame=seven ; odd\r\n"
                             "no line at all\r\n"
                             "Random=1\r\n"
                             "Flame=7\r\n"
                             "Palette=GOLD.MAP\r\n";
    ASSERT_EQ(saved.substr(0, kept.size()), kept);
    ConfKey key;
    Settings back = loadText(saved, key);
    expectSameRecord(record, back);
    // Every value the file lacked is appended once, in table order, with the file's line ends.
    const std::string appended = saved.substr(kept.size());
    EXPECT_EQ(appended.substr(0, 13), "Version=336\r\n");
    EXPECT_EQ(appended.find("Wave="), std::string::npos);
    EXPECT_EQ(appended.find("Random="), std::string::npos);
    EXPECT_NE(appended.find("\r\nShow_3D_song_intro=1\r\n"), std::string::npos);

    // Saving the same record again leaves the file byte for byte.
    ASSERT_TRUE(saveConfFile(path, record, error)) << error;
    EXPECT_EQ(readFile(path), saved);
}

TEST(ConfFile, ALastLineWithoutItsEndIsEndedBeforeTheValuesAppended) {
    Settings record;
    record.Version = kSettingsVersion;
    record.Wave = 7;
    for (const std::string text : {"Wave=3", "Wave=3\r", "# x\r\nWave=bad\r"}) {
        const std::string merged = mergeConfText(text, record);
        ConfKey key;
        Settings back = loadText(merged, key);
        EXPECT_TRUE(key.problems().empty()) << merged;
        expectSameRecord(record, back);
        EXPECT_EQ(mergeConfText(merged, record), merged);
    }
}

TEST(ConfFile, AFailedSaveLeavesTheUsersFileWhole) {
    HostFolder folder("conf");
    const std::string path = folder.path + "quorbel.conf";
    const std::string text = "# mine\nWave=4\n";
    writeFile(path, text);
    Settings record;
    record.Wave = 9;
    std::string error;
    confWriteFaultAfter = 10; // the disk is full after ten bytes
    EXPECT_FALSE(saveConfFile(path, record, error));
    confWriteFaultAfter = -1;
    EXPECT_NE(error.find("left as it was"), std::string::npos) << error;
    EXPECT_EQ(readFile(path), text);
    EXPECT_FALSE(std::filesystem::exists(path + ".new"));

    // A file that cannot be read is not replaced.
    writeFile(path, std::string(2 << 20, '#'));
    EXPECT_FALSE(saveConfFile(path, record, error));
    EXPECT_EQ(readFile(path).size(), size_t(2 << 20));
    // And without a folder for the settings there is nothing to write.
    EXPECT_FALSE(saveConfFile("", record, error));
    EXPECT_FALSE(error.empty());
}

TEST(ConfFile, SaveFollowsALinkAndKeepsThePermissions) {
    namespace fs = std::filesystem;
    HostFolder folder("conf");
    const std::string real = folder.sub("dotfiles") + "quorbel.conf";
    const std::string path = folder.path + "quorbel.conf";
    writeFile(real, "Wave=4\n");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(real, path);
    Settings record;
    record.Wave = 9;
    std::string error;
    ASSERT_TRUE(saveConfFile(path, record, error)) << error;
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(readFile(real).substr(0, 7), "Wave=9\n");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST(ConfFile, WithoutAFileNothingIsReadOrWritten) {
    Settings record = unusualRecord();
    std::vector<std::string> messages;
    Steps steps;
    ASSERT_TRUE(loadConfFile("", record, steps.steps(), messages));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(record.Wave, Settings().Wave);
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
    // Never a path relative to the current folder.
    EXPECT_EQ(confFilePath(nullptr, nullptr), "");
    EXPECT_EQ(confFilePath("relative", "also/relative"), "");
    EXPECT_EQ(confFilePath(nullptr, ""), "");
}
