// soak: the real frame loop (the portable core with the frame-loop tests' platform) for many
// frames at 640 x 480, as a visualisation lives inside a player for hours.
//
//   soak [FRAMES] [--seed N] [--folder DIR] [--keep]
//
// FRAMES (default 100000) frames of music with beats, at 60 frames per second of the test
// platform's clock, song after song. At random moments it presses every key command of the key
// table, adds favourites (Ctrl-M) and deletes them (as the configuration sheet does), and makes
// a frame step fault. Random changes on beats switch palettes and translations, and beats show
// pictures, while both loader threads run. The data folders hold truncated and corrupted
// palette, table and picture files beside good ones, and from 40% to 60% of the run files are
// rewritten in place while the loaders may be reading them.
//
// It ends with exit status 0 when no fault reached the caller, every caught fault is one the
// soak made (counted in the error count and logged), and memory is flat: the resident size at
// the end within 5% of the one at 10% of the run (both taken with the loaders idle). Under a
// sanitizer the resident size also holds the sanitizer's quarantine and shadow memory, so
// there the allocator's live bytes are compared instead (LeakSanitizer checks for leaks at
// exit). It prints frame-time percentiles and the counts of every event it drove. Everything
// random comes from the seed; only the frame times and the loader threads' timing differ
// between runs, and nothing is asserted about those.
#include "effects/effects.h"
#include "base/errorlog.h"
#include "fake_platform.h"
#include "fault_injection.h"
#include "control/favorites.h"
#include "frame/frame_loop.h"
#include "gbm.h"
#include "base/guard.h"
#include "base/instance.h"
#include "control/keys.h"
#include "memory_key.h"
#include "effects/objects.h"
#include "media/palettes.h"
#include "base/paths.h"
#include "media/pics.h"
#include "base/random.h"
#include "base/settings.h"
#include "media/builtin_tables.h"
#include "media/translations.h"

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define SOAK_UNDER_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SOAK_UNDER_SANITIZER 1
#endif
#ifdef SOAK_UNDER_SANITIZER
#include <sanitizer/allocator_interface.h>
#endif

namespace fs = std::filesystem;

namespace {
using Bytes = std::vector<uint8_t>;

MemoryKey favoritesKey;
MemoryKey forbiddensKey;

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes bytes in four pieces with a flush after each, so that a loader reading the file at the
// same time may see it empty, part-written or whole.
void writeFileInPieces(const fs::path& path, const Bytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    const size_t piece = bytes.size() / 4 + 1;
    for (size_t at = 0; at < bytes.size(); at += piece) {
        std::fwrite(bytes.data() + at, 1, std::min(piece, bytes.size() - at), f);
        std::fflush(f);
    }
    std::fclose(f);
}

void writeFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// The broken forms of a good file.
Bytes truncated(const Bytes& good, double share) {
    return Bytes(good.begin(), good.begin() + static_cast<long>(good.size() * share));
}
Bytes overwritten(Bytes bytes, std::mt19937& rng, size_t from, size_t count) {
    for (size_t i = from; i < std::min(bytes.size(), from + count); ++i)
        bytes[i] = static_cast<uint8_t>(rng());
    return bytes;
}
Bytes noise(std::mt19937& rng, size_t size) {
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    return bytes;
}

// One data file of the soak's folders with the good and broken contents it may be given.
struct DataFile {
    fs::path path;
    std::vector<Bytes> contents; // [0] is what it starts with
};

struct Folders {
    fs::path root;
    std::vector<DataFile> files; // the files rewritten midway
    int good = 0, broken = 0;
};

// Lays out the host folder: our palettes, pictures and letter objects, two generated tables,
// and truncated, corrupted, empty and foreign files among them.
void layOut(Folders& folders, std::mt19937& rng) {
    const fs::path source = QUORBEL_SOURCE_DIR;
    const fs::path root = folders.root;
    fs::remove_all(root);
    for (const char* sub : {"maps", "tabs", "pics", "objs"}) fs::create_directories(root / sub);
    fs::copy(source / "data/objs", root / "objs");

    auto add = [&](const fs::path& path, std::vector<Bytes> contents, bool good) {
        writeFile(path, contents[0]);
        folders.files.push_back({path, std::move(contents)});
        ++(good ? folders.good : folders.broken);
    };

    // Palettes.
    std::vector<Bytes> palettes;
    for (const auto& entry : fs::directory_iterator(source / "data/maps")) {
        palettes.push_back(readFile(entry.path()));
        add(root / "maps" / entry.path().filename(), {palettes.back()}, true);
    }
    const Bytes& palette = palettes.front();
    Bytes signs(palette);
    for (size_t i = 0; i < signs.size(); i += 7)
        if (signs[i] >= '0' && signs[i] <= '9') signs[i] = "-x9"[i % 3];
    const std::vector<Bytes> brokenPalettes = {truncated(palette, 0.4),
                                               overwritten(palette, rng, palette.size() / 3, 200),
                                               signs, noise(rng, 3000), Bytes()};
    const char* paletteNames[] = {"CUT.MAP", "NOISY.MAP", "SIGNS.MAP", "BINARY.MAP", "EMPTY.MAP"};
    for (size_t i = 0; i < brokenPalettes.size(); ++i) {
        std::vector<Bytes> contents = {brokenPalettes[i], palette};
        contents.insert(contents.end(), brokenPalettes.begin(), brokenPalettes.end());
        add(root / "maps" / paletteNames[i], contents, false);
    }

    // Tables: two of the built-in ones, and broken ones.
    generateSpaceTable((root / "tabs/space.tab").string());
    generateRotateTable((root / "tabs/rotate.tab").string());
    const Bytes space = readFile(root / "tabs/space.tab");
    const Bytes rotate = readFile(root / "tabs/rotate.tab");
    const std::vector<Bytes> brokenTables = {
        truncated(space, 0.3), overwritten(rotate, rng, rotate.size() / 2, 65536),
        noise(rng, space.size()), truncated(rotate, 0.5), Bytes()};
    const char* tableNames[] = {"cut.tab", "spliced.tab", "noise.tab", "half.tab", "empty.tab"};
    add(root / "tabs/space.tab", {space, rotate, brokenTables[0], brokenTables[1]}, true);
    add(root / "tabs/rotate.tab", {rotate, space, brokenTables[2], brokenTables[3]}, true);
    for (size_t i = 0; i < brokenTables.size(); ++i)
        add(root / "tabs" / tableNames[i], {brokenTables[i], space, brokenTables[(i + 1) % 5]},
            false);

    // Pictures.
    std::vector<Bytes> pictures;
    for (const auto& entry : fs::directory_iterator(source / "data/pics")) {
        pictures.push_back(readFile(entry.path()));
        add(root / "pics" / entry.path().filename(), {pictures.back()}, true);
    }
    const Bytes& picture = pictures.front();
    const std::vector<Bytes> brokenPictures = {
        truncated(picture, 0.5),
        overwritten(picture, rng, 800, 400),
        overwritten(picture, rng, 6, 8), // the screen description
        readFile(source / "tests/data/sixteen_colours.gif"),
        noise(rng, 5000),
        Bytes()};
    const char* pictureNames[] = {"cut.gif",     "noisy.gif", "screen.gif",
                                  "sixteen.gif", "noise.gif", "empty.gif"};
    for (size_t i = 0; i < brokenPictures.size(); ++i) {
        std::vector<Bytes> contents = {brokenPictures[i], picture};
        contents.insert(contents.end(), brokenPictures.begin(), brokenPictures.end());
        add(root / "pics" / pictureNames[i], contents, false);
    }
    // Every good file may also be replaced by a broken one of its kind and back.
    for (DataFile& file : folders.files) {
        const std::string folder = file.path.parent_path().filename().string();
        const std::vector<Bytes>& broken = folder == "maps"   ? brokenPalettes
                                           : folder == "tabs" ? brokenTables
                                                              : brokenPictures;
        if (file.contents.size() == 1) {
            file.contents.push_back(broken[file.contents[0].size() % broken.size()]);
            file.contents.push_back(file.contents[0]);
        }
    }
}

// The platform: the frame-loop tests' fake, with a text surface holding a few lit pixels, and
// a frame copy that reads the frame through the palette in use, as presentation does.
class SoakPlatform : public FakePlatform {
  public:
    std::vector<uint8_t> textSurface;
    uint64_t checksum = 0;

    bool lockTextSurface(const uint8_t** pixels, long* pitch) override {
        const size_t size = static_cast<size_t>(plugin.textSurfaceWidth) * plugin.textSurfaceHeight;
        if (textSurface.size() != size) {
            textSurface.assign(size, 0);
            for (size_t i = 0; i < size; i += 13) textSurface[i] = 1;
        }
        *pixels = textSurface.data();
        *pitch = plugin.textSurfaceWidth;
        return true;
    }
    void copyFrame() override {
        const PaletteBlock* palette = currentPaletteEntries;
        const size_t n = static_cast<size_t>(plugin.frameWidth) * plugin.frameHeight;
        uint64_t sum = 0;
        for (size_t i = 0; i < n; i += 61) sum += palette->entries[plugin.currentBuffer[i]].red;
        checksum += sum;
    }
};

// The display side of a palette change: reads the whole block, as the screen palette does.
uint64_t paletteSum = 0;
long paletteShown(const PaletteBlock& block) {
    for (const PaletteEntry& entry : block.entries)
        paletteSum += entry.red + entry.green + entry.blue;
    return 0;
}

size_t residentBytes() {
    long pages = 0, resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return static_cast<size_t>(resident) * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

size_t liveHeapBytes() {
#ifdef SOAK_UNDER_SANITIZER
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

// One song: a title, a length and a tempo.
struct Song {
    std::string title;
    uint32_t lengthMs = 0;
    uint32_t beatMs = 0;
};

Song nextSong(std::mt19937& rng, int number) {
    static const char* const titles[] = {
        "Artist - A Title",
        "The Longest Song Title Anyone Ever Gave A Track, Part %d (Extended Mix)",
        "\xc4\xd6\xdc \xe9t\xe9 - caf\xe9 \\ / : * ? \" < > |",
        "",
        "%d",
        "Band - Song (live)"};
    Song song;
    char title[256];
    std::snprintf(title, sizeof title, titles[rng() % 6], number);
    std::string text = std::to_string(number) + ". " + title;
    if (rng() % 8 == 0) text += std::string(3000, 'x'); // a huge title
    song.title = text + " - Winamp";
    song.lengthMs = 60000 + rng() % 180000;
    song.beatMs = 300 + rng() % 500;
    return song;
}

struct KeyCommand {
    const char* name;
    unsigned vk;
    bool shift, ctrl;
};
const KeyCommand kKeys[] = {
    {"Space", 0x20, false, false},  {"D", 'D', false, false},
    {"Shift-D", 'D', true, false},  {"F", 'F', false, false},
    {"Shift-F", 'F', true, false},  {"H", 'H', false, false},
    {"Shift-H", 'H', true, false},  {"I", 'I', false, false},
    {"L", 'L', false, false},       {"M", 'M', false, false},
    {"Shift-M", 'M', true, false},  {"Ctrl-M", 'M', false, true},
    {"P", 'P', false, false},       {"Shift-P", 'P', true, false},
    {"S", 'S', false, false},       {"Ctrl-S", 'S', false, true},
    {"T", 'T', false, false},       {"Shift-T", 'T', true, false},
    {"W", 'W', false, false},       {"Shift-W", 'W', true, false},
    {"Escape", 0x1B, false, false}, {"F5 (the player's)", 0x74, false, false}};
constexpr int kKeyCount = sizeof kKeys / sizeof kKeys[0];

bool faultNextStep = false;
FrameStep faultStep = FrameStep::Flame;

int countLogLines(const fs::path& path, const char* text) {
    std::ifstream in(path);
    int count = 0;
    for (std::string line; std::getline(in, line);)
        if (line == text) ++count;
    return count;
}

double percentile(std::vector<double> sorted, double share) {
    if (sorted.empty()) return 0;
    const size_t at = std::min(sorted.size() - 1, static_cast<size_t>(share * sorted.size()));
    return sorted[at];
}

void removeScreenshots(const fs::path& root, int& count) {
    for (const auto& entry : fs::directory_iterator(root))
        if (entry.path().extension() == ".gif") {
            fs::remove(entry.path());
            ++count;
        }
}
} // namespace

int main(int argc, char** argv) {
    long frames = 100000;
    uint32_t seed = 20260515;
    std::string folder;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seed" && i + 1 < argc) {
            seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--folder" && i + 1 < argc) {
            folder = argv[++i];
        } else if (arg == "--keep") {
            keep = true;
        } else if (!arg.empty() && arg[0] != '-') {
            frames = std::strtol(arg.c_str(), nullptr, 10);
        } else {
            std::fprintf(stderr, "usage: soak [FRAMES] [--seed N] [--folder DIR] [--keep]\n");
            return 2;
        }
    }
    if (frames < 100) {
        std::fprintf(stderr, "soak: at least 100 frames\n");
        return 2;
    }
    if (folder.empty()) folder = (fs::temp_directory_path() / "quorbel_soak").string();

    std::mt19937 rng(seed);
    Folders folders;
    folders.root = folder;
    layOut(folders, rng);
    setHostDirectory(folders.root.string() + "/");
    const fs::path logPath = folders.root / "errors.log";
    setLogPath(logPath.c_str());

    // Start as Init does, with the settings a lively session would have.
    settings = Settings();
    settings.Resolution = 0; // 640 x 480
    settings.Frequency_Random_Change = 2;
    settings.Frequency_Id3_Change = 5;
    settings.Frequency_Pic_Show = 3;
    settings.Show_Quorbel_Info = 1;
    settings.Log_Errors_To_File = 1;
    std::snprintf(settings.Transformation, sizeof settings.Transformation, "space.tab");
    std::snprintf(settings.Picture, sizeof settings.Picture, "cut.gif");
    plugin.errorCount = 0;
    resetLogStatus();
    writeLogHeader();
    applyResolution();
    gbm_init();
    buildFlameTables();
    randomSeed(seed);
    buildWaveColours();
    resetFrameLoop();
    if (!allocateFrameBuffers()) {
        std::fprintf(stderr, "soak: no frame buffers\n");
        return 1;
    }
    listTranslations();
    if (!allocateTranslationBuffers()) {
        std::fprintf(stderr, "soak: no translation buffers\n");
        return 1;
    }
    enumeratePalettes();
    listPictures();
    plugin.randomLocked = false;
    plugin.waveScale = settings.WaveScale;
    plugin.currentWave = settings.Wave;
    plugin.currentFlame = settings.Flame;
    plugin.currentDisplay = settings.Display_mode;
    plugin.dataSource = 0;
    plugin.sampleBias = 128;
    startTranslations();
    startPictures();
    addForbiddenTo(forbiddensKey, 3, -1, -1);
    addForbiddenTo(forbiddensKey, -1, 5, 2);
    loadFavoritesFrom(favoritesKey);
    loadForbiddensFrom(forbiddensKey);
    addFavoriteCommand = [] { addFavoriteTo(favoritesKey); };
    buildSineTables();
    displayPaletteHook = paletteShown;
    applyPalette();
    frameFaultHook = [](FrameStep step) {
        if (faultNextStep && step == faultStep) {
            faultNextStep = false;
            causeAccessViolation();
        }
    };

    std::printf("soak: %ld frames at %dx%d, seed %u, in %s: %d good and %d broken data files "
                "(%d palettes, %d tables, %d pictures listed)\n",
                frames, plugin.frameWidth, plugin.frameHeight, seed, folders.root.c_str(),
                folders.good, folders.broken, paletteCount, translationCount, pictureCount);
    std::fflush(stdout);

    SoakPlatform platform;
    uint8_t spectrum[2][576] = {};
    uint8_t waveform[2][576] = {};
    std::map<std::string, long> events;
    std::vector<double> frameMs;
    frameMs.reserve(static_cast<size_t>(frames));
    int faultsMade = 0, faultsAtCaller = 0, songs = 0, screenshots = 0;
    long beats = 0, randomChangesSeen = 0, picturesShown = 0, paletteSwitches = 0,
         translationSwitches = 0;
    size_t residentAt10 = 0, heapAt10 = 0, residentAtEnd = 0, heapAtEnd = 0;
    const long at10 = frames / 10;
    const long rewriteFrom = frames * 4 / 10, rewriteTo = frames * 6 / 10;

    Song song = nextSong(rng, ++songs);
    uint32_t songStart = 0;
    uint32_t nextBeat = 0;
    int beatFrames = 0;
    auto quiesce = [] {
        waitForLoader(translationLoader, 60000);
        waitForLoader(pictureLoader, 60000);
    };

    for (long frame = 1; frame <= frames; ++frame) {
        // The clock runs at 60 frames per second; songs follow one another.
        platform.ticks = static_cast<uint32_t>(frame * 1000 / 60);
        if (platform.ticks - songStart >= song.lengthMs) {
            song = nextSong(rng, ++songs);
            songStart = platform.ticks;
            nextBeat = platform.ticks;
            settings.Set_Pic_Palette = songs % 2;
            settings.Set_Pic_On_Background = (songs / 2) % 2;
            ++events["song changes"];
        }
        platform.position = platform.ticks - songStart;
        platform.title = song.title;

        // Music: a beat of loud bass for three frames on every beat of the song's tempo, a
        // quieter, changing sound between them.
        if (platform.ticks >= nextBeat) {
            nextBeat += song.beatMs;
            beatFrames = 3;
            ++beats;
        }
        const int bass = beatFrames > 0 ? 225 + static_cast<int>(rng() % 31)
                                        : 30 + static_cast<int>(rng() % 140);
        if (beatFrames > 0) --beatFrames;
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < 576; ++i) {
                spectrum[ch][i] =
                    static_cast<uint8_t>(i < 8 ? bass : (rng() % 256) * 64 / (i + 64));
                const double swing = std::sin((frame * 37 + i * 11) * 0.0123) * bass / 2;
                waveform[ch][i] = static_cast<uint8_t>(128 + static_cast<int>(swing) +
                                                       static_cast<int>(rng() % 9) - 4);
            }

        // Keys, favourites and faults at random moments.
        if (rng() % 24 == 0) {
            const KeyCommand& key = kKeys[rng() % kKeyCount];
            const int palette = plugin.currentPalette, translation = plugin.currentTranslation;
            handleKeyCommand(key.vk, key.shift, key.ctrl);
            ++events[std::string("key ") + key.name];
            if (plugin.currentPalette != palette) ++paletteSwitches;
            if (plugin.currentTranslation != translation) ++translationSwitches;
        }
        if (rng() % 400 == 0 || favoriteCount > 150) {
            if (!favoritesKey.order.empty()) {
                // Deleted as the configuration sheet does: the value goes, the table is read
                // again.
                favoritesKey.erase(favoritesKey.order[rng() % favoritesKey.order.size()]);
                loadFavoritesFrom(favoritesKey);
                if (currentFavorite >= favoriteCount) currentFavorite = 0;
                ++events["favourites deleted"];
            }
        }
        if (rng() % 1500 == 0) {
            faultNextStep = true;
            faultStep = rng() % 2 ? FrameStep::Flame : FrameStep::Wave;
            ++faultsMade;
        }
        // Midway, files are rewritten in place while the loaders may read them.
        if (frame >= rewriteFrom && frame < rewriteTo && rng() % 40 == 0) {
            DataFile& file = folders.files[rng() % folders.files.size()];
            writeFileInPieces(file.path, file.contents[rng() % file.contents.size()]);
            ++events["files rewritten during loads"];
        }

        const int palette = plugin.currentPalette, translation = plugin.currentTranslation;
        const bool picturePending = plugin.picturePending;
        const int pendingBefore = plugin.randomCountdown;
        const auto start = std::chrono::steady_clock::now();
        // The host's outer guard: a fault that no guard of the loop caught ends up here.
        if (!guarded("soak", __LINE__, [&] { renderFrame(platform, spectrum, waveform); }))
            ++faultsAtCaller;
        const auto end = std::chrono::steady_clock::now();
        frameMs.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        if (plugin.randomCountdown > pendingBefore) ++randomChangesSeen;
        ++events[plugin.currentTranslation != 0 ? "frames with a translation"
                                                : "frames with a flame"];
        if (picturePending && !plugin.picturePending) ++picturesShown;
        if (plugin.currentPalette != palette) ++paletteSwitches;
        if (plugin.currentTranslation != translation) ++translationSwitches;
        if (frame % 500 == 0) removeScreenshots(folders.root, screenshots);

        if (frame == at10 || frame == frames) {
            quiesce();
            (frame == at10 ? residentAt10 : residentAtEnd) = residentBytes();
            (frame == at10 ? heapAt10 : heapAtEnd) = liveHeapBytes();
        }
        if (frame % (frames / 10) == 0) {
            std::printf("soak: frame %ld, resident %.1f MiB, errors %d\n", frame,
                        residentBytes() / 1048576.0, plugin.errorCount.load());
            std::fflush(stdout);
        }
    }
    removeScreenshots(folders.root, screenshots);

    // Quit.
    frameFaultHook = nullptr;
    addFavoriteCommand = nullptr;
    freeLetterObject();
    shutDownPictures();
    shutDownTranslations();
    gbm_deinit();
    freeFrameBuffers();
    displayPaletteHook = nullptr;
    writeLogFooter();
    const int logged = countLogLines(logPath, "Win32 Exception thrown:");

    std::vector<double> sorted = frameMs;
    std::sort(sorted.begin(), sorted.end());
    std::printf("soak: frame times p50 %.3f ms, p99 %.3f ms, max %.3f ms\n",
                percentile(sorted, 0.5), percentile(sorted, 0.99), sorted.back());
    std::printf("soak: resident %.1f MiB at frame %ld, %.1f MiB at frame %ld; live heap %.1f MiB "
                "and %.1f MiB\n",
                residentAt10 / 1048576.0, at10, residentAtEnd / 1048576.0, frames,
                heapAt10 / 1048576.0, heapAtEnd / 1048576.0);
    events["beats"] = beats;
    events["random changes on beats"] = randomChangesSeen;
    events["pictures shown"] = picturesShown;
    events["palette switches"] = paletteSwitches;
    events["translation switches"] = translationSwitches;
    events["screen shots saved"] = screenshots;
    events["faults made in frame steps"] = faultsMade;
    events["favourites at the end"] = favoriteCount;
    events["songs"] = songs;
    for (const auto& [name, count] : events)
        std::printf("soak:   %-40s %ld\n", name.c_str(), count);
    std::printf("soak: error count %d, faults logged %d, faults reaching the caller %d, frame "
                "checksum %llu\n",
                plugin.errorCount.load(), logged, faultsAtCaller,
                static_cast<unsigned long long>(platform.checksum));

    bool ok = true;
    auto check = [&](bool condition, const char* what) {
        if (!condition) {
            std::printf("soak: FAILED: %s\n", what);
            ok = false;
        }
    };
    check(faultsAtCaller == 0, "a fault reached the caller");
    check(plugin.errorCount == faultsMade, "the error count is not the number of faults made");
    check(logged == faultsMade, "the error log does not hold one report per fault made");
    for (const KeyCommand& key : kKeys)
        check(events[std::string("key ") + key.name] > 0 || frames < 20000,
              "a key command was never pressed");
#ifdef SOAK_UNDER_SANITIZER
    // Live bytes, with room for one prepared picture more or less at either sample.
    const size_t picture = static_cast<size_t>(plugin.frameWidth) * plugin.frameHeight;
    check(heapAtEnd <= heapAt10 + heapAt10 / 20 + picture, "the live heap grew by more than 5%");
#else
    check(residentAtEnd <= residentAt10 + residentAt10 / 20,
          "the resident size grew by more than 5%");
#endif
    if (!keep) fs::remove_all(folders.root);
    std::printf("soak: %s\n", ok ? "passed" : "FAILED");
    return ok ? 0 : 1;
}
