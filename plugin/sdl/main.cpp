// quorbel: the visualiser as a native program. The same core the plug-in runs (frame loop,
// effects, tables, palettes, pictures, favourites, selection, keys), fed by the built-in demo
// track or a sound file, shown in an SDL window; settings in a text file, data in the user's
// folders.
#include "base/conf_file.h"
#include "base/errorlog.h"
#include "base/frame_steps.h"
#include "base/instance.h"
#include "base/paths.h"
#include "base/random.h"
#include "base/settings.h"
#include "control/favorites.h"
#include "control/keys.h"
#include "control/selection.h"
#include "effects/effects.h"
#include "effects/objects.h"
#include "frame/frame_loop.h"
#include "gbm.h"
#include "media/audio.h"
#include "media/builtin_tables.h"
#include "media/palettes.h"
#include "media/pics.h"
#include "media/pixel_format.h"
#include "media/translations.h"
#include "sdl/data_folders.h"
#include "sdl/folder_key.h"
#include "sdl/frame_pacer.h"
#include "sdl/help_texts.h"
#include "sdl/options.h"
#ifdef QUORBEL_PULSE
#include "sdl/pulse_source.h"
#endif
#ifdef QUORBEL_MPRIS
#include "sdl/mpris.h"
#endif
#include "sdl/sdl_view.h"
#include "sdl/sound_file.h"

#include <SDL.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::FILE* eventLog = nullptr;
int currentFrame = 0;

// One line on standard error, "quorbel: ...", and the same line in the event log.
void say(const char* format, ...) {
    char line[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    // Names of files and settings may hold bytes that would steer the terminal.
    const std::string shown = printableText(line);
    std::fprintf(stderr, "quorbel: %s\n", shown.c_str());
    if (eventLog) std::fprintf(eventLog, "frame %d message %s\n", currentFrame, shown.c_str());
}

// One event line of the log: "frame N WHAT ...".
void event(const char* format, ...) {
    if (!eventLog) return;
    std::fprintf(eventLog, "frame %d ", currentFrame);
    va_list args;
    va_start(args, format);
    std::vfprintf(eventLog, format, args);
    va_end(args);
    std::fputc('\n', eventLog);
}

// A text for an event line: in double quotes, with \\, \" and \xHH for control bytes, so that
// a title of any bytes stays one line.
std::string eventText(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

// The installed data (share/quorbel beside the program's bin/), else the configured install
// prefix's, else the source tree's data/ (a program run from its build folder).
std::string installedDataFolder() {
    std::error_code code;
    fs::path program = fs::read_symlink("/proc/self/exe", code);
    if (!code) {
        fs::path beside = program.parent_path().parent_path() / "share" / "quorbel";
        if (fs::is_directory(beside / "maps", code)) return beside.string();
    }
    if (fs::is_directory(fs::path(QUORBEL_INSTALL_DATA_DIR) / "maps", code))
        return QUORBEL_INSTALL_DATA_DIR;
    return QUORBEL_SOURCE_DATA_DIR;
}

// The sound: a clip (the demo track) or a file streamed, played in a loop, out of the default
// device unless muted, its play position counted by the device.
struct Sound {
    AudioClip clip; // the demo track; for a file only its rate and channels
    std::unique_ptr<SoundStream> file;
    std::string source; // "demo" or the file
    SDL_AudioDeviceID device = 0;
    std::atomic<int64_t> played{0};

    uint32_t lengthMs() const { return file ? file->lengthMs() : clip.lengthMs(); }
    void visData(int64_t endSample, unsigned char waveform[2][576],
                 unsigned char spectrum[2][576]) {
        if (!file) return fillVisData(clip, endSample, waveform, spectrum);
        file->visData(endSample, waveform, spectrum);
        const std::string problem = file->takeProblem();
        if (!problem.empty()) say("%s", problem.c_str());
    }

    static void fill(void* context, Uint8* stream, int bytes) {
        Sound* sound = static_cast<Sound*>(context);
        int16_t* out = reinterpret_cast<int16_t*>(stream);
        const int frames = bytes / 4;
        if (sound->file) {
            const int64_t at = sound->played.load();
            sound->file->read(at, frames, out);
            sound->played.store(at + frames);
            return;
        }
        const size_t length = sound->clip.frameCount();
        int64_t at = sound->played.load();
        for (int i = 0; i < frames; ++i, ++at) {
            const size_t index = length ? size_t(at % int64_t(length)) : 0;
            out[2 * i] = length ? sound->clip.samples[0][index] : 0;
            out[2 * i + 1] = length ? sound->clip.samples[1][index] : 0;
        }
        sound->played.store(at);
    }

    void start() {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            say("no sound out (%s); showing without it", SDL_GetError());
            return;
        }
        SDL_AudioSpec want = {}, have = {};
        want.freq = clip.sampleRate;
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = 1024;
        want.callback = fill;
        want.userdata = this;
        device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (!device) {
            say("no sound out (%s); showing without it", SDL_GetError());
            return;
        }
        SDL_PauseAudioDevice(device, 0);
    }
    void stop() {
        if (device) SDL_CloseAudioDevice(device);
        device = 0;
    }
};

// What the log and the summary follow of the live selection.
struct Selection {
    int wave, flame, palette, translation, display, scale, input;
    bool locked;
    static Selection now() {
        return {plugin.currentWave,        plugin.currentFlame,   plugin.currentPalette,
                plugin.currentTranslation, plugin.currentDisplay, plugin.waveScale,
                plugin.dataSource,         plugin.randomLocked};
    }
    bool operator!=(const Selection& o) const {
        return wave != o.wave || flame != o.flame || palette != o.palette ||
               translation != o.translation || display != o.display || scale != o.scale ||
               input != o.input || locked != o.locked;
    }
};

void logSelection(const char* cause) {
    const int wave =
        plugin.currentWave >= 0 && plugin.currentWave < kWaveCount ? plugin.currentWave : 0;
    const int flame =
        plugin.currentFlame >= 0 && plugin.currentFlame < kFlameCount ? plugin.currentFlame : 0;
    const int display = plugin.currentDisplay >= 0 && plugin.currentDisplay < kDisplayCount
                            ? plugin.currentDisplay
                            : 0;
    event("%s wave=%d \"%s\" flame=%d \"%s\" palette=\"%s\" translation=\"%s\" display=%d \"%s\" "
          "scale=%d input=%s random=%s",
          cause, wave, waveTable[wave].name, flame, flameTable[flame].name, currentPaletteName(),
          currentTranslationName(), display, displayTable[display].name, plugin.waveScale,
          plugin.dataSource ? "analyser" : "scope", plugin.randomLocked ? "locked" : "on");
}

// The key table's code of an SDL key, 0 for keys it has none for.
unsigned keyCodeOf(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return unsigned('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return unsigned('0' + (key - SDLK_0));
    if (key >= SDLK_F1 && key <= SDLK_F12) return 0x70u + unsigned(key - SDLK_F1);
    switch (key) {
    case SDLK_SPACE:
        return 0x20;
    case SDLK_ESCAPE:
        return 0x1B;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return 0x0D;
    default:
        return 0;
    }
}

struct Run {
    bool quit = false;
    long beats = 0, randomChanges = 0, keys = 0;
    int failedCaptures = 0; // counted among the errors, and in the exit status
};

// A key through the key table; true when it ended the run.
void pressKey(Run& run, SdlView& view, unsigned vk, bool shift, bool ctrl, bool alt,
              const std::string& name) {
    if (vk == 0x7A || (vk == 0x0D && alt)) { // F11, Alt+Enter
        view.toggleFullScreen();
        event("key %s full-screen", name.c_str());
        return;
    }
    ++run.keys;
    const Selection before = Selection::now();
    const KeyAction action = handleKeyCommand(vk, shift, ctrl);
    if (action == KeyAction::Close) {
        event("key %s close", name.c_str());
        run.quit = true;
        return;
    }
    if (action == KeyAction::Forward) {
        event("key %s none", name.c_str());
        return;
    }
    if (Selection::now() != before)
        logSelection(("key " + name).c_str());
    else
        event("key %s", name.c_str());
}

void printHelp() {
    std::printf("%s\nKeys:\n", nativeUsage());
    std::string tips = kHelpTIPS;
    // The key names and their texts, one key a line; the keys whose texts speak of the
    // plug-in say what they do here.
    size_t start = 0;
    while (start < tips.size()) {
        size_t end = tips.find('\n', start);
        if (end == std::string::npos) end = tips.size();
        std::string line = tips.substr(start, end - start);
        size_t tab = line.find('\t');
        if (tab != std::string::npos) {
            std::string key = line.substr(0, tab);
            std::string text = line.substr(tab + 1);
            if (key == "ESC") text = "ends quorbel (as closing the window does)";
            if (key == "Ctrl-S") text = "take a shot (shot_N.gif in the data folder)";
            if (key.size() < 8) key.resize(8, ' ');
            line = "  " + key + " " + text;
        }
        if (!line.empty()) std::printf("%s\n", line.c_str());
        start = end + 1;
    }
    std::printf("  F11      full screen on and off (also Alt+Enter)\n\n"
                "quorbel, of Quorbel-4-Winamp v1.50: the visualiser as a program of its own,\n"
                "flames, translations and waves that dance to whatever the computer plays.\n"
                "By the Quorbel-4-Winamp team. Free to use and to pass on unchanged. Provided\n"
                "as is, without any warranty.\n");
}

// The settings: loaded through the conf file; the first run writes the built-in tables the
// user's tabs folder lacks (none without one), with a progress line that says what came of it.
void loadSettingsFile(const std::string& path, const std::string& tabs) {
    struct FirstRun {
        std::string tabs;
    } firstRun{tabs};
    SettingsLoadSteps steps = {[](void* c) {
                                   const FirstRun* f = static_cast<const FirstRun*>(c);
                                   if (f->tabs.empty() || missingBuiltInTables(f->tabs) == 0)
                                       return;
                                   std::fprintf(stderr,
                                                "quorbel: first start: writing the five "
                                                "built-in tables into %s ",
                                                printableText(f->tabs).c_str());
                                   const int failed = writeMissingBuiltInTables(
                                       f->tabs,
                                       [](int position, void*) {
                                           std::fprintf(stderr, "%d ", position);
                                           std::fflush(stderr);
                                       },
                                       nullptr);
                                   if (failed)
                                       std::fprintf(stderr,
                                                    "- %d could not be written (is the disk "
                                                    "full?); the next start tries again\n",
                                                    failed);
                                   else
                                       std::fprintf(stderr, "done\n");
                               },
                               nullptr, nullptr, &firstRun};
    std::vector<std::string> messages;
    loadConfFile(path, settings, steps, messages);
    for (const std::string& message : messages) say("%s", message.c_str());
}

FolderKey* favoritesKey = nullptr;

// The title as the core takes a player's window title apart: "1. " before, " - Quorbel" after
// (nothing for no title).
std::string windowTitle(const std::string& title) {
    return title.empty() ? std::string() : "1. " + title + " - Quorbel";
}

} // namespace

int main(int argc, char** argv) {
    NativeOptions options;
    std::string error;
    if (!parseNativeOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "quorbel: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        printHelp();
        return 0;
    }
    if (!checkCaptureFolders(options, error)) {
        std::fprintf(stderr, "quorbel: %s\n", printableText(error).c_str());
        return 2;
    }

    const std::string home = userHome(std::getenv("HOME"));
    const std::string confPath = confFilePath(std::getenv("XDG_CONFIG_HOME"), home.c_str());
    // Without a settings folder the records go nowhere (a folder no one can make).
    const std::string confFolder = confPath.empty()
                                       ? std::string("/nonexistent/")
                                       : fs::path(confPath).parent_path().string() + "/";
    if (options.config) {
        // The values as the program would read them; the file is not written.
        std::vector<uint8_t> bytes;
        if (std::FILE* f = std::fopen(confPath.c_str(), "rb")) {
            uint8_t buffer[65536];
            size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0 && bytes.size() < (1u << 20))
                bytes.insert(bytes.end(), buffer, buffer + n);
            std::fclose(f);
            std::printf("%s\n", confPath.c_str());
        } else if (confPath.empty()) {
            std::printf("no settings file (no home folder and no XDG_CONFIG_HOME): the "
                        "defaults\n");
        } else {
            std::printf("%s (not written yet: the defaults)\n", confPath.c_str());
        }
        ConfKey key;
        key.parse(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        for (const std::string& problem : key.problems())
            std::fprintf(stderr, "quorbel: %s: %s\n", confPath.c_str(), problem.c_str());
        Settings record;
        loadSettingsFrom(key, record, SettingsLoadSteps{nullptr, nullptr, nullptr, nullptr});
        std::printf("%s", confText(record).c_str());
        return 0;
    }

    if (!options.logFile.empty()) {
        eventLog = std::fopen(options.logFile.c_str(), "w");
        if (!eventLog) {
            std::fprintf(stderr, "quorbel: cannot write the log %s: %s\n", options.logFile.c_str(),
                         std::strerror(errno));
            return 2;
        }
        std::setvbuf(eventLog, nullptr, _IOLBF, 0);
    }

    // The sound first: a file that is not sound ends the program before any window opens.
    if (options.listSources) {
#ifdef QUORBEL_PULSE
        std::vector<std::pair<std::string, std::string>> sources;
        if (!listPulseSources(sources, error)) {
            std::fprintf(stderr, "quorbel: no sound server: %s\n", error.c_str());
            return 2;
        }
        for (const auto& source : sources)
            std::printf("%s\t%s\n", source.first.c_str(), source.second.c_str());
        return 0;
#else
        std::fprintf(stderr, "quorbel: built without PulseAudio (libpulse-dev)\n");
        return 2;
#endif
    }

    Sound sound;
    std::string title;
#ifdef QUORBEL_PULSE
    PulseCapture capture;
#endif
    bool live = false;
    if (options.playFile.empty() && !options.demo) {
        // System sound: the monitor of the default output, or the source asked for.
#ifdef QUORBEL_PULSE
        const PulseCapture::Start started = capture.start(options.source, error);
        if (started == PulseCapture::Start::UnknownSource) {
            say("%s (see --list-sources)", error.c_str());
            return 2;
        }
        if (started == PulseCapture::Start::Capturing) {
            live = true;
            sound.source = "system:" + capture.sourceName();
            sound.clip.sampleRate = PulseCapture::kRate;
        } else if (!options.source.empty()) {
            say("no sound server (%s) for the source %s: start PulseAudio or PipeWire's "
                "pipewire-pulse",
                error.c_str(), options.source.c_str());
            return 2;
        } else {
            say("no sound server (%s): start PulseAudio or PipeWire's pipewire-pulse to show "
                "what the computer plays; showing the demo track",
                error.c_str());
        }
#else
        if (!options.source.empty()) {
            say("built without PulseAudio (libpulse-dev): no --source");
            return 2;
        }
#endif
    }
    if (!live && !options.playFile.empty()) {
        sound.file = std::make_unique<SoundStream>();
        if (!sound.file->open(options.playFile, title, error)) {
            say("%s: cannot play it: %s", options.playFile.c_str(), error.c_str());
            return 2;
        }
        sound.source = options.playFile;
        sound.clip.sampleRate = sound.file->sampleRate();
        sound.clip.sourceChannels = sound.file->sourceChannels();
    } else if (!live) {
        sound.clip = makeDemoTrack();
        sound.source = "demo";
        title = "Quorbel - Demo track";
    }
    if (live)
        event("audio source=%s rate=%d channels=2", eventText(sound.source).c_str(),
              sound.clip.sampleRate);
    else
        event("audio source=%s rate=%d channels=%d length_ms=%u", eventText(sound.source).c_str(),
              sound.clip.sampleRate, sound.clip.sourceChannels, sound.lengthMs());

    // Without a display SDL falls back to its offscreen driver, which shows nothing: that is no
    // display unless asked for by name (SDL_VIDEODRIVER=offscreen, for captures without one).
    // Without either display variable there is none to try (and SDL's probing would print
    // lines of its own); with only DISPLAY, X11 is the one.
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const bool named = asked && *asked;
    if (!named && !(x11 && *x11) && !(wayland && *wayland)) {
        say("no display: neither DISPLAY nor WAYLAND_DISPLAY is set (start it in a desktop "
            "session, or set SDL_VIDEODRIVER=offscreen to run without showing)");
        return 2;
    }
    if (!named && !(wayland && *wayland)) SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    const bool videoStarted = SDL_Init(0) == 0 && SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    const char* driver = videoStarted ? SDL_GetCurrentVideoDriver() : nullptr;
    const bool invisible =
        driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    if (!videoStarted || (invisible && !named)) {
        say("no display: %s (set DISPLAY or WAYLAND_DISPLAY to a running display)",
            videoStarted ? "no X11 or Wayland display to connect to" : SDL_GetError());
        SDL_Quit();
        return 2;
    }

    // Data and settings in the user's folders.
    DataPlace data = prepareDataPlace(userDataFolder(std::getenv("XDG_DATA_HOME"), home),
                                      installedDataFolder(), std::getenv("XDG_RUNTIME_DIR"));
    for (const std::string& message : data.messages) say("%s", message.c_str());
    setHostDirectory(data.hostFolder);
    const std::string errorLog = data.hostFolder + "quorbel_errors.log";
    setLogPath(errorLog.c_str());
    plugin.errorCount = 0;
    resetLogStatus();
    loadSettingsFile(confPath, data.userWritable ? data.hostFolder + "tabs/" : std::string());
    if (settings.Log_Errors_To_File) writeLogHeader();
    applyResolution();

    SdlView view;
    if (!view.open(plugin.windowMode == 0 && !options.window, error)) {
        say("no window: %s", error.c_str());
        SDL_Quit();
        return 2;
    }
    if (options.windowWidth > 0) view.resizeWindow(options.windowWidth, options.windowHeight);
    if (!view.fontProblem().empty()) say("%s", view.fontProblem().c_str());

        // With system sound the title is the playing media player's, asked again every second of
        // sound; the answers come from a thread of their own (the first is waited for here).
#ifdef QUORBEL_MPRIS
    MprisTitles mpris;
    bool titlesAsked = false;
    if (live) {
        if (mpris.open(error)) {
            titlesAsked = true;
            mpris.ask();
            mpris.take(title, 2 * MprisTitles::kCallTimeoutMs);
        } else {
            event("no session bus (%s): no song titles", error.c_str());
        }
    }
#endif
    view.title = windowTitle(title);
    event("title %s", eventText(title).c_str());
    uint32_t songStart = 0;
    int64_t titleSecond = 0;

    // The core, as the plug-in's Init starts it.
    pixelFormat = makePixelFormat(32, 0xFF0000u, 0x00FF00u, 0x0000FFu);
    gbm_init();
    buildFlameTables();
    randomSeed(options.seedGiven ? options.seed : uint32_t(std::time(nullptr)));
    buildWaveColours();
    resetFrameLoop();
    if (!allocateFrameBuffers()) {
        say("no memory for the frame buffers");
        return 1;
    }
    listTranslations();
    if (settings.Load_All_Trans)
        loadAllTranslations(nullptr, nullptr);
    else if (!allocateTranslationBuffers()) {
        say("no memory for the translation buffers");
        return 1;
    }
    enumeratePalettes();
    if (settings.Load_All_Palettes) loadAllPalettes();
    listPictures();
    if (settings.Load_All_Pics) loadAllPictures(nullptr, nullptr);
    takeSelectionFromSettings();
    startTranslations();
    startPictures();
    FolderKey favorites(confFolder + "Favorites");
    FolderKey forbiddens(confFolder + "Forbidens");
    favoritesKey = &favorites;
    loadFavoritesFrom(favorites);
    loadForbiddensFrom(forbiddens);
    addFavoriteCommand = [] {
        const unsigned failed = favoritesKey->failedWrites();
        addFavoriteTo(*favoritesKey);
        if (favoritesKey->failedWrites() == failed)
            event("favorite added");
        else
            say("the favourite is kept for this run only: %s", favoritesKey->lastError().c_str());
    };
    buildSineTables();
    displayPaletteHook = [](const PaletteBlock&) -> long { return 0; };
    applyPalette();
    logSelection("start");

    if (!live && !options.fast && !options.mute) sound.start();

    Run run;
    uint8_t spectrum[2][576], waveform[2][576];
    int previousLevel = 0;
    int64_t endSample = 0;
    const uint64_t startTicks = SDL_GetTicks64();
    // Real time paces the frames in milliseconds, live sound in its own sample frames.
    FramePacer pacer(live ? sound.clip.sampleRate : 1000, options.fps);
    pacer.start(int64_t(startTicks));
    [[maybe_unused]] int64_t liveStart = 0; // the sound's count at the first frame
    for (int frame = 1; !run.quit && (options.frames == 0 || frame <= options.frames); ++frame) {
        currentFrame = frame;
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            if (e.type == SDL_QUIT) {
                event("window closed");
                run.quit = true;
            } else if (e.type == SDL_KEYDOWN && !e.key.repeat) {
                const unsigned vk = keyCodeOf(e.key.keysym.sym);
                if (!vk) continue;
                const Uint16 mod = e.key.keysym.mod;
                pressKey(run, view, vk, mod & KMOD_SHIFT, mod & KMOD_CTRL, mod & KMOD_ALT,
                         SDL_GetKeyName(e.key.keysym.sym));
            }
        }
        for (const NativeKey& key : options.keys)
            if (key.frame == frame)
                pressKey(run, view, key.vk, key.shift, key.ctrl, key.alt, key.text);
        if (run.quit) break;

        // The clock: live sound's own, else frames / fps when fast, else real time; the play
        // position from the sound device where one plays.
        if (live) {
#ifdef QUORBEL_PULSE
            // Each frame waits for its share of the sound, counted from the first frame (the
            // capture counts silence while the source gives nothing, so the wait is a bound).
            if (frame == 1) {
                liveStart = capture.captured();
                pacer.start(liveStart);
            }
            endSample = capture.waitFor(pacer.due(), 1000);
            pacer.go(endSample);
            for (const PulseCapture::Message& message : capture.messages()) {
                if (message.quiet)
                    event("%s", message.text.c_str());
                else
                    say("%s", message.text.c_str());
            }
            const uint32_t ticks = uint32_t((endSample - liveStart) * 1000 / PulseCapture::kRate);
#ifdef QUORBEL_MPRIS
            if (titlesAsked && (endSample - liveStart) / PulseCapture::kRate != titleSecond) {
                titleSecond = (endSample - liveStart) / PulseCapture::kRate;
                mpris.ask();
            }
            std::string now;
            if (titlesAsked && mpris.take(now)) {
                if (now != title) {
                    // A new song: its play position starts again.
                    title = now;
                    view.title = windowTitle(title);
                    songStart = ticks;
                    event("title %s", eventText(title).c_str());
                }
            }
#endif
            view.ticks = ticks;
            view.position = ticks - songStart;
            capture.fill(endSample, waveform, spectrum);
#endif
        } else {
            uint32_t ticks;
            if (options.fast) {
                ticks = uint32_t(int64_t(frame - 1) * 1000 / options.fps);
            } else {
                const uint64_t due = uint64_t(pacer.due());
                const uint64_t now = SDL_GetTicks64();
                if (due > now) SDL_Delay(uint32_t(due - now)); // pacing to the frame rate
                const uint64_t went = SDL_GetTicks64();
                pacer.go(int64_t(went));
                ticks = uint32_t(went - startTicks);
            }
            view.ticks = ticks;
            endSample = sound.device ? sound.played.load() : sampleAtMs(sound.clip, ticks);
            view.position = uint32_t(int64_t(endSample) * 1000 / sound.clip.sampleRate);
            sound.visData(endSample, waveform, spectrum);
        }
        const int level = bassLevel(spectrum);
        const int threshold = settings.Beat_detection_sensitivity;
        if (level > threshold && previousLevel <= threshold) {
            ++run.beats;
            event("beat level=%d", level);
        }
        previousLevel = level;

        for (const NativeCapture& capture : options.captures)
            if (capture.frame == frame && capture.window) view.keepWindowPicture();
        const Selection before = Selection::now();
        renderFrame(view, spectrum, waveform);
        if (Selection::now() != before) {
            ++run.randomChanges;
            logSelection("change");
        }

        for (const NativeCapture& capture : options.captures)
            if (capture.frame == frame) {
                if (capture.window ? view.saveWindow(capture.file, error)
                                   : view.saveFrame(capture.file, error))
                    event("capture %s", eventText(capture.file).c_str());
                else {
                    ++run.failedCaptures;
                    say("cannot save the frame to %s: %s", capture.file.c_str(), error.c_str());
                }
            }
    }
    const int framesShown = currentFrame - (run.quit ? 1 : 0);
    sound.stop();
#ifdef QUORBEL_PULSE
    capture.stop();
    for (const PulseCapture::Message& message : capture.messages())
        if (!message.quiet) say("%s", message.text.c_str());
#endif
#ifdef QUORBEL_MPRIS
    mpris.close();
#endif

    if (settings.Save_On_Exit) {
        settings.Random = plugin.randomLocked ? 0 : 1;
        settings.Wave = plugin.currentWave;
        settings.WaveScale = plugin.waveScale;
        settings.Flame = plugin.currentFlame;
        settings.DataSource = plugin.dataSource;
        std::snprintf(settings.Palette, sizeof settings.Palette, "%s", currentPaletteName());
        std::snprintf(settings.Transformation, sizeof settings.Transformation, "%s",
                      currentTranslationName());
        if (!saveConfFile(confPath, settings, error)) say("%s", error.c_str());
    }

    freeLetterObject();
    if (settings.Load_All_Palettes) freePalettes();
    shutDownPictures();
    shutDownTranslations();
    gbm_deinit();
    freeFrameBuffers();
    view.close();
    SDL_Quit();
    {
        std::vector<std::string> messages;
        finishDataPlace(data, messages);
        for (const std::string& message : messages) say("%s", message.c_str());
    }

    // Faults caught, captures that could not be saved, and records that could not be stored.
    const int errors = plugin.errorCount.load() + run.failedCaptures +
                       int(favorites.failedWrites() + forbiddens.failedWrites());
    char counts[256], audio[128];
    std::snprintf(counts, sizeof counts,
                  "frames=%d late_frames=%lld beats=%ld random_changes=%ld keys=%ld", framesShown,
                  static_cast<long long>(pacer.dropped()), run.beats, run.randomChanges, run.keys);
    std::snprintf(audio, sizeof audio, "audio_frames=%lld errors=%d",
                  static_cast<long long>(endSample), errors);
    const std::string summary =
        std::string(counts) + " source=" + eventText(sound.source) + " " + audio;
    std::printf("quorbel: %s\n", summary.c_str());
    event("summary %s", summary.c_str());
    if (settings.Log_Errors_To_File && plugin.errorCount.load() > 0) writeLogFooter();
    if (eventLog) std::fclose(eventLog);
    return run.failedCaptures ? 1 : 0;
}
