#include "sdl/options.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

std::string lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A whole number from min to max.
bool parseInt(const std::string& text, int min, int max, int& value) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    long v = std::strtol(text.c_str(), nullptr, 10);
    if (v < min || v > max) return false;
    value = int(v);
    return true;
}

// "FRAME:REST" with FRAME >= 1 and a non-empty REST.
bool splitFrame(const std::string& text, int& frame, std::string& rest) {
    size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    rest = text.substr(colon + 1);
    return parseInt(text.substr(0, colon), 1, 100000000, frame) && !rest.empty();
}

} // namespace

bool parseKeyName(const std::string& text, unsigned& vk, bool& shift, bool& ctrl, bool& alt) {
    std::string name = lower(text);
    shift = ctrl = alt = false;
    for (;;) {
        if (name.compare(0, 6, "shift+") == 0 && name.size() > 6) {
            shift = true;
            name = name.substr(6);
        } else if (name.compare(0, 5, "ctrl+") == 0 && name.size() > 5) {
            ctrl = true;
            name = name.substr(5);
        } else if (name.compare(0, 4, "alt+") == 0 && name.size() > 4) {
            alt = true;
            name = name.substr(4);
        } else {
            break;
        }
    }
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0]))) {
        vk = unsigned(std::toupper(static_cast<unsigned char>(name[0])));
        return true;
    }
    if (name == "space")
        vk = 0x20;
    else if (name == "esc" || name == "escape")
        vk = 0x1B;
    else if (name == "enter" || name == "return")
        vk = 0x0D;
    else if (name.size() >= 2 && name[0] == 'f') {
        int n;
        if (!parseInt(name.substr(1), 1, 12, n)) return false;
        vk = 0x70u + unsigned(n - 1);
    } else {
        return false;
    }
    return true;
}

bool parseNativeOptions(const std::vector<std::string>& args, NativeOptions& out,
                        std::string& error) {
    NativeOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            v = args[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            o.help = true;
            out = o;
            return true;
        } else if (a == "--demo") {
            o.demo = true;
        } else if (a == "--play") {
            if (!value(o.playFile)) return false;
        } else if (a == "--source") {
            if (!value(o.source)) return false;
            if (o.source.empty()) {
                error = "--source takes the name of a capture source (see --list-sources)";
                return false;
            }
        } else if (a == "--list-sources") {
            o.listSources = true;
        } else if (a == "--frames") {
            if (!value(v)) return false;
            if (!parseInt(v, 1, 100000000, o.frames)) {
                error = "--frames takes a number of frames from 1, not \"" + v + "\"";
                return false;
            }
        } else if (a == "--fps") {
            if (!value(v)) return false;
            if (!parseInt(v, 1, 1000, o.fps)) {
                error = "--fps takes a number from 1 to 1000, not \"" + v + "\"";
                return false;
            }
        } else if (a == "--fast") {
            o.fast = true;
        } else if (a == "--mute") {
            o.mute = true;
        } else if (a == "--window") {
            o.window = true;
        } else if (a == "--window-size") {
            if (!value(v)) return false;
            const size_t x = v.find('x');
            if (x == std::string::npos || !parseInt(v.substr(0, x), 160, 16384, o.windowWidth) ||
                !parseInt(v.substr(x + 1), 120, 16384, o.windowHeight)) {
                error = "--window-size takes WIDTHxHEIGHT from 160x120, not \"" + v + "\"";
                return false;
            }
            o.window = true;
        } else if (a == "--config") {
            o.config = true;
        } else if (a == "--seed") {
            if (!value(v)) return false;
            int seed;
            if (!parseInt(v, 0, 999999999, seed)) {
                error = "--seed takes a number, not \"" + v + "\"";
                return false;
            }
            o.seed = unsigned(seed);
            o.seedGiven = true;
        } else if (a == "--log") {
            if (!value(o.logFile)) return false;
        } else if (a == "--key") {
            if (!value(v)) return false;
            NativeKey key;
            std::string name;
            if (!splitFrame(v, key.frame, name) ||
                !parseKeyName(name, key.vk, key.shift, key.ctrl, key.alt)) {
                error = "--key takes FRAME:KEY (such as 10:w or 20:shift+p), not \"" + v + "\"";
                return false;
            }
            key.text = name;
            o.keys.push_back(key);
        } else if (a == "--capture" || a == "--capture-window") {
            if (!value(v)) return false;
            NativeCapture capture;
            capture.window = a == "--capture-window";
            if (!splitFrame(v, capture.frame, capture.file)) {
                error = a + " takes FRAME:FILE, not \"" + v + "\"";
                return false;
            }
            o.captures.push_back(capture);
        } else {
            error = "unknown argument \"" + a + "\" (see quorbel --help)";
            return false;
        }
    }
    if (int(o.demo) + int(!o.playFile.empty()) + int(!o.source.empty()) > 1) {
        error = "--demo, --play and --source exclude each other";
        return false;
    }
    for (const NativeCapture& capture : o.captures)
        if (o.frames > 0 && capture.frame > o.frames) {
            error = "--capture" + std::string(capture.window ? "-window " : " ") +
                    std::to_string(capture.frame) + ":" + capture.file +
                    " comes after the last of the " + std::to_string(o.frames) + " frames";
            return false;
        }
    out = o;
    return true;
}

bool checkCaptureFolders(const NativeOptions& options, std::string& error) {
    for (const NativeCapture& capture : options.captures) {
        std::filesystem::path folder = std::filesystem::path(capture.file).parent_path();
        if (folder.empty()) folder = ".";
        std::error_code code;
        if (!std::filesystem::is_directory(folder, code)) {
            error = "cannot save captures to " + capture.file + ": the folder " + folder.string() +
                    (std::filesystem::exists(folder, code) ? " is no folder" : " does not exist");
            return false;
        }
    }
    return true;
}

const char* nativeUsage() {
    return "usage: quorbel [--source NAME | --play FILE | --demo] [options]\n"
           "\n"
           "Shows the music in a window: by default what the computer plays (the monitor of\n"
           "the default output of the PulseAudio or PipeWire sound server), or another\n"
           "capture source (--source NAME; --list-sources lists them), a sound file (--play\n"
           "FILE: WAV, FLAC, Ogg Vorbis and what else libsndfile reads) or the built-in demo\n"
           "track (--demo, also where no sound server runs).\n"
           "\n"
           "  --frames N          end after N frames (otherwise Esc or closing the window)\n"
           "  --fps N             frames a second (default 60)\n"
           "  --fast              as fast as it goes, on a clock of frames / fps; no sound\n"
           "  --mute              no sound out\n"
           "  --window            a window also for the full-screen resolutions\n"
           "  --window-size WxH   a window of that size to start with\n"
           "  --key FRAME:KEY     press KEY before frame FRAME: a letter, digit, space, esc,\n"
           "                      enter or f1..f12, optionally after shift+, ctrl+ and/or alt+\n"
           "  --capture FRAME:FILE  save the frame as shown after frame FRAME (BMP, or\n"
           "                      PNG for a name ending in .png)\n"
           "  --capture-window FRAME:FILE  the same of the whole window, the frame scaled\n"
           "  --log FILE          event lines: keys, effect changes, beats, titles, errors\n"
           "  --seed N            the random choices from seed N\n"
           "  --list-sources      list the sound server's capture sources, and end\n"
           "  --config            print the settings file's path and values, and end\n"
           "  --help              this text\n"
           "\n"
           "F11 or Alt+Enter toggles full screen. Settings: $XDG_CONFIG_HOME/quorbel/quorbel.conf\n"
           "(default ~/.config); palettes, tables, pictures and letter objects from\n"
           "$XDG_DATA_HOME/quorbel/ (default ~/.local/share), filled from the installed\n"
           "share/quorbel/ on every start with what the user's folder lacks.\n"
           "Exit status: 0 when it ran, 1 when it ran but a capture could not be saved, 2 on a\n"
           "bad command line, a file that is not sound, or no display.\n";
}
