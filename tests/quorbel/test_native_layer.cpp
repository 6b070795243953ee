// The native program's command line and its favourite records' folder.
#include "sdl/folder_key.h"
#include "sdl/options.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {
bool parse(const std::vector<std::string>& args, NativeOptions& out, std::string& error) {
    return parseNativeOptions(args, out, error);
}
} // namespace

TEST(NativeOptions, ScriptedKeysCapturesAndClock) {
    NativeOptions o;
    std::string error;
    ASSERT_TRUE(parse({"--play", "a.flac", "--frames", "300", "--fps", "30", "--fast", "--key",
                       "10:W", "--key", "20:shift+alt+ctrl+m", "--key", "30:F12", "--key", "40:esc",
                       "--capture", "50:out:put.png", "--seed", "42"},
                      o, error))
        << error;
    EXPECT_EQ(o.playFile, "a.flac");
    EXPECT_EQ(o.frames, 300);
    EXPECT_EQ(o.fps, 30);
    EXPECT_TRUE(o.fast);
    ASSERT_EQ(o.keys.size(), 4u);
    EXPECT_EQ(o.keys[0].vk, unsigned('W'));
    EXPECT_FALSE(o.keys[0].shift);
    EXPECT_EQ(o.keys[1].vk, unsigned('M'));
    EXPECT_TRUE(o.keys[1].shift && o.keys[1].ctrl && o.keys[1].alt);
    EXPECT_FALSE(o.keys[0].alt || o.keys[2].alt);
    EXPECT_EQ(o.keys[2].vk, 0x7Bu);
    EXPECT_EQ(o.keys[3].vk, 0x1Bu);
    ASSERT_EQ(o.captures.size(), 1u);
    EXPECT_EQ(o.captures[0].frame, 50);
    EXPECT_EQ(o.captures[0].file, "out:put.png"); // only the first colon splits
    EXPECT_TRUE(o.seedGiven);
    EXPECT_EQ(o.seed, 42u);
}

TEST(NativeOptions, BadCommandLinesSayWhy) {
    const std::vector<std::vector<std::string>> bad = {
        {"--frames"},          {"--frames", "0"},         {"--frames", "-5"},
        {"--fps", "1001"},     {"--key", "0:w"},          {"--key", "5:"},
        {"--key", "5:shift+"}, {"--key", "5:alt+"},       {"--key", "5:f13"},
        {"--key", "5:ww"},     {"--capture", "x:f"},      {"--capture", "3:"},
        {"--source", ""},      {"--demo", "--play", "f"}, {"--play", "f", "--source", "s"},
        {"--nonsense"}};
    for (const auto& args : bad) {
        NativeOptions o;
        std::string error;
        EXPECT_FALSE(parse(args, o, error)) << args[0];
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
    NativeOptions o;
    std::string error;
    ASSERT_TRUE(parse({"--help", "--nonsense"}, o, error));
    EXPECT_TRUE(o.help);
}

TEST(NativeFolderKey, FavouritesRoundTripThroughTheFolder) {
    const std::string folder = std::string(QUORBEL_BINARY_DIR) + "/tmp-folder-key/Favorites";
    std::filesystem::remove_all(folder);
    {
        FolderKey key(folder);
        EXPECT_FALSE(key.exists("Favorite_0"));
        char name[260];
        EXPECT_FALSE(key.valueNameAt(0, name)); // no folder yet
        const uint8_t record[5] = {1, 2, 3, 4, 5};
        ASSERT_TRUE(key.writeBinary(record, "Favorite_1", 5));
        ASSERT_TRUE(key.writeBinary(record, "Favorite_0", 3));
        EXPECT_FALSE(key.writeBinary(record, "../escape", 5));
        EXPECT_FALSE(key.writeBinary(record, "", 5));
        ASSERT_TRUE(key.valueNameAt(0, name));
        EXPECT_STREQ(name, "Favorite_0");
        ASSERT_TRUE(key.valueNameAt(1, name));
        EXPECT_STREQ(name, "Favorite_1");
        EXPECT_FALSE(key.valueNameAt(2, name));
    }
    // Files that are no records are passed over: other names, and files too large to be one.
    std::ofstream(folder + "/notes.txt") << "x";
    std::ofstream(folder + "/Favorite_9", std::ios::binary) << std::string(100000, 'x');
    FolderKey key(folder);
    uint8_t out[8] = {};
    size_t stored = 0;
    ASSERT_TRUE(key.readBinary(out, "Favorite_1", 2, &stored));
    EXPECT_EQ(stored, 5u); // the stored size, with only the capacity copied
    EXPECT_EQ(out[1], 2);
    EXPECT_EQ(out[2], 0);
    EXPECT_FALSE(key.readBinary(out, "Favorite_9", sizeof out, &stored));
    EXPECT_FALSE(key.readBinary(out, "Favorite_7", sizeof out, &stored));
    char name[260];
    EXPECT_TRUE(key.valueNameAt(2, name)); // Favorite_9 is listed, its read fails
    EXPECT_FALSE(key.valueNameAt(3, name));
    std::filesystem::remove_all(folder);
}

// A full disk, as /dev/full makes one: the write of the record (which goes beside it first)
// fails with the reason, is counted, and leaves the folder as it was.
TEST(NativeFolderKey, AWriteToAFullDiskIsReportedAndLosesNothing) {
    namespace fs = std::filesystem;
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    const std::string folder = std::string(QUORBEL_BINARY_DIR) + "/tmp-folder-key-full";
    fs::remove_all(folder);
    FolderKey key(folder);
    const uint8_t kept[3] = {7, 8, 9};
    ASSERT_TRUE(key.writeBinary(kept, "Favorite_0", 3));
    EXPECT_EQ(key.failedWrites(), 0u);
    for (const char* name : {"Favorite_0", "Favorite_1"}) {
        fs::create_symlink("/dev/full", folder + "/" + name + ".new");
        const uint8_t record[5] = {1, 2, 3, 4, 5};
        EXPECT_FALSE(key.writeBinary(record, name, 5)) << name;
        EXPECT_NE(key.lastError().find("No space left on device"), std::string::npos)
            << key.lastError();
        EXPECT_NE(key.lastError().find(name), std::string::npos) << key.lastError();
        EXPECT_FALSE(fs::is_symlink(folder + "/" + name + ".new")) << "the half record stays";
    }
    EXPECT_EQ(key.failedWrites(), 2u);
    // The record that was there is unchanged, the new one is not there at all.
    uint8_t out[8] = {};
    size_t stored = 0;
    ASSERT_TRUE(key.readBinary(out, "Favorite_0", sizeof out, &stored));
    EXPECT_EQ(stored, 3u);
    EXPECT_EQ(out[0], 7);
    EXPECT_FALSE(key.exists("Favorite_1"));
    char name[260];
    ASSERT_TRUE(key.valueNameAt(0, name));
    EXPECT_STREQ(name, "Favorite_0");
    EXPECT_FALSE(key.valueNameAt(1, name));
    EXPECT_TRUE(fs::exists("/dev/full"));
    fs::remove_all(folder);
}
