// The native program's command line and its favourite records' folder.
#include "sdl/data_folders.h"
#include "sdl/folder_key.h"
#include "sdl/options.h"
#include "sdl/sound_file.h"

#include <sndfile.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
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

TEST(NativeOptions, CapturesThatCannotBeMadeAreRefusedAtTheStart) {
    NativeOptions o;
    std::string error;
    EXPECT_FALSE(parse({"--frames", "10", "--capture", "11:a.bmp"}, o, error));
    EXPECT_NE(error.find("after the last of the 10 frames"), std::string::npos) << error;
    EXPECT_FALSE(parse({"--capture-window", "20:a.bmp", "--frames", "19"}, o, error));
    ASSERT_TRUE(parse({"--frames", "10", "--capture", "10:a.bmp"}, o, error)) << error;
    ASSERT_TRUE(parse({"--capture", "500:a.bmp"}, o, error)) << error; // no end: any frame
    EXPECT_TRUE(checkCaptureFolders(o, error)) << error;               // the current folder
    const std::string here = std::string(QUORBEL_BINARY_DIR);
    ASSERT_TRUE(parse(
        {"--capture", "5:" + here + "/a.png", "--capture", "6:" + here + "/no_such_folder/b.bmp"},
        o, error));
    EXPECT_FALSE(checkCaptureFolders(o, error));
    EXPECT_NE(error.find("no_such_folder does not exist"), std::string::npos) << error;
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

namespace {
std::string freshFolder(const std::string& name) {
    const std::string folder = std::string(QUORBEL_BINARY_DIR) + "/tmp-native-" + name + "-" +
                               ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}
} // namespace

TEST(NativeDataFolders, NeverTheCurrentFolder) {
    EXPECT_EQ(userHome("/home/u"), "/home/u");
    // Without an absolute HOME the account's home counts, which is absolute or nothing.
    const std::string fallback = userHome(nullptr);
    EXPECT_TRUE(fallback.empty() || fallback[0] == '/') << fallback;
    EXPECT_EQ(userHome("relative"), fallback);
    EXPECT_EQ(userDataFolder("/x/data/", "/home/u"), "/x/data/quorbel/");
    EXPECT_EQ(userDataFolder("relative", "/home/u"), "/home/u/.local/share/quorbel/");
    EXPECT_EQ(userDataFolder(nullptr, ""), "");
}

TEST(NativeDataFolders, AFolderThatCannotBeWrittenGivesWayToTheInstalledData) {
    namespace fs = std::filesystem;
    const std::string root = freshFolder("data");
    const std::string installed = root + "/installed";
    for (const char* folder : {"maps", "objs", "pics"})
        fs::create_directories(installed + "/" + folder);
    std::ofstream(installed + "/maps/A.MAP") << "0 0 0\n";
    // Beneath a file no folder can be made, by root either.
    std::ofstream(root + "/file") << "x";
    DataPlace place = prepareDataPlace(root + "/file/quorbel/", installed, root.c_str());
    EXPECT_FALSE(place.userWritable);
    ASSERT_EQ(place.messages.size(), 1u);
    EXPECT_NE(place.messages[0].find("cannot write the data folder " + root + "/file/quorbel/"),
              std::string::npos);
    ASSERT_FALSE(place.runFolder.empty());
    EXPECT_EQ(place.runFolder.rfind(root + "/quorbel-run-", 0), 0u) << place.runFolder;
    EXPECT_TRUE(fs::exists(place.hostFolder + "maps/A.MAP"));
    EXPECT_EQ(missingBuiltInTables(place.hostFolder + "tabs"), 0);
    // A shot of the run is kept, and said; the tables and links go.
    std::ofstream(place.hostFolder + "shot_0.gif") << "GIF";
    std::vector<std::string> messages;
    const std::string run = place.runFolder;
    finishDataPlace(place, messages);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(run), std::string::npos);
    EXPECT_TRUE(fs::exists(run + "/shot_0.gif"));
    EXPECT_FALSE(fs::exists(run + "/tabs"));
    EXPECT_TRUE(fs::exists(installed + "/maps/A.MAP"));

    // A writable one is filled, and the user's files win.
    const std::string user = root + "/user/quorbel/";
    fs::create_directories(user + "maps");
    std::ofstream(user + "maps/A.MAP") << "mine\n";
    place = prepareDataPlace(user, installed, root.c_str());
    EXPECT_TRUE(place.userWritable);
    EXPECT_TRUE(place.messages.empty());
    EXPECT_EQ(place.hostFolder, user);
    std::ifstream mine(user + "maps/A.MAP");
    std::string line;
    std::getline(mine, line);
    EXPECT_EQ(line, "mine");
    fs::remove_all(root);
}

TEST(NativeDataFolders, TheFirstStartWritesOnlyTheTablesThatAreMissing) {
    const std::string tabs = freshFolder("tabs");
    std::ofstream(tabs + "/rotate.tab") << "the user's own";
    std::ofstream(tabs + "/smoke.tab") << "made again by the page";
    EXPECT_EQ(missingBuiltInTables(tabs), 3);
    std::vector<int> progress;
    EXPECT_EQ(writeMissingBuiltInTables(
                  tabs, [](int at, void* c) { static_cast<std::vector<int>*>(c)->push_back(at); },
                  &progress),
              0);
    EXPECT_EQ(progress, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(missingBuiltInTables(tabs), 0);
    EXPECT_EQ(std::filesystem::file_size(tabs + "/rotate.tab"), 14u);
    EXPECT_FALSE(std::filesystem::exists(tabs + "/down_spiral.tab"));
    // Into a folder that cannot be written each one fails, and none is left half written.
    EXPECT_EQ(writeMissingBuiltInTables(tabs + "/rotate.tab/sub", nullptr, nullptr), 5);
    std::filesystem::remove_all(tabs);
}

namespace {
// A sound file of frames frames written through libsndfile: a pattern in which every frame
// differs from its neighbours, so that any misplaced sample shows.
std::vector<int16_t> writeSound(const std::string& path, int format, int channels, int frames) {
    SF_INFO info = {};
    info.samplerate = 44100;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<int16_t> samples(size_t(frames) * size_t(channels));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t((i * 7919 + (i % 3) * 101) % 60000 - 30000);
    sf_writef_short(file, samples.data(), frames);
    sf_close(file);
    return samples;
}
} // namespace

TEST(NativeSoundStream, ReadsWhatTheFileHoldsAnywhereInItsLoopWithABoundedBuffer) {
    const std::string folder = freshFolder("sound");
    for (int channels : {2, 1}) {
        const std::string path = folder + "/s" + std::to_string(channels) + ".flac";
        const int frames = 3 * SoundStream::kBufferFrames + 123;
        const std::vector<int16_t> samples =
            writeSound(path, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, channels, frames);
        SoundStream stream;
        std::string title, error;
        ASSERT_TRUE(stream.open(path, title, error)) << error;
        EXPECT_EQ(title, "s" + std::to_string(channels));
        EXPECT_EQ(stream.frameCount(), frames);
        auto expected = [&](int64_t index, int channel) -> int16_t {
            if (index < 0) return 0;
            const size_t at = size_t(index % frames) * size_t(channels);
            return samples[at + (channels == 2 ? size_t(channel) : 0)];
        };
        // In order through the file twice (across the loop's seam) in the sound device's
        // blocks, then jumps back and forth, and a stretch before the start.
        std::vector<int64_t> starts;
        for (int64_t at = -3000; at < 2 * frames; at += 1024) starts.push_back(at);
        for (int64_t at : {int64_t(frames) - 500, int64_t(5), int64_t(frames) * 7 + 40000,
                           int64_t(100000), int64_t(-1)})
            starts.push_back(at);
        std::vector<int16_t> out(2 * 1500);
        for (int64_t first : starts) {
            stream.read(first, 1500, out.data());
            for (int i = 0; i < 1500; ++i)
                for (int c = 0; c < 2; ++c)
                    ASSERT_EQ(out[size_t(2 * i + c)], expected(first + i, c))
                        << "channels " << channels << " frame " << first + i;
            EXPECT_LE(stream.bufferedFrames(), SoundStream::kBufferFrames);
        }
        EXPECT_EQ(stream.takeProblem(), "");

        // The audio blocks are the ones the whole file in memory gives.
        AudioClip whole;
        for (int i = 0; i < frames; ++i)
            for (int c = 0; c < 2; ++c) whole.samples[c].push_back(expected(i, c));
        for (int64_t end : {int64_t(100), int64_t(50000), int64_t(frames) + 700}) {
            unsigned char wave[2][576], spectrum[2][576], wave2[2][576], spectrum2[2][576];
            stream.visData(end, wave, spectrum);
            fillVisData(whole, end, wave2, spectrum2);
            EXPECT_EQ(std::memcmp(wave, wave2, sizeof wave), 0) << end;
            EXPECT_EQ(std::memcmp(spectrum, spectrum2, sizeof spectrum), 0) << end;
        }
    }
    std::filesystem::remove_all(folder);
}

TEST(NativeSoundStream, FilesThatAreNoSoundSayWhatIsWrongInTheUsersWords) {
    const std::string folder = freshFolder("nosound");
    auto reason = [](const std::string& path) {
        SoundStream stream;
        std::string title, error;
        EXPECT_FALSE(stream.open(path, title, error)) << path;
        EXPECT_EQ(error.find('\n'), std::string::npos);
        return error;
    };
    writeSound(folder + "/whole.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 200000);
    writeSound(folder + "/whole.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 200000);
    writeSound(folder + "/whole.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 200000);
    ASSERT_EQ(truncate((folder + "/whole.flac").c_str(), 100000), 0);
    ASSERT_EQ(truncate((folder + "/whole.ogg").c_str(), 20000), 0);
    ASSERT_EQ(truncate((folder + "/whole.wav").c_str(), 100000), 0);
    EXPECT_EQ(reason(folder + "/whole.flac").rfind("cut short", 0), 0u);
    EXPECT_EQ(reason(folder + "/whole.ogg").rfind("cut short", 0), 0u);
    EXPECT_EQ(reason(folder + "/whole.wav").rfind("cut short", 0), 0u);
    EXPECT_EQ(reason(folder), "a folder, not a sound file");
    EXPECT_EQ(reason(folder + "/none.wav"), "no such file");
    std::ofstream(folder + "/empty.wav");
    EXPECT_EQ(reason(folder + "/empty.wav"), "an empty file, not a sound file");
    std::ofstream(folder + "/notes.txt") << std::string(1000, 'x');
    EXPECT_EQ(reason(folder + "/notes.txt").rfind("not a sound file", 0), 0u);
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
