#include "options.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower((unsigned char)c));
    return s;
}

// A whole decimal number in [minimum, maximum].
bool parseNumber(const std::string& text, long long minimum, long long maximum, long long& out) {
    if (text.empty() || text.size() > 18) return false;
    size_t i = 0;
    bool negative = false;
    if (text[0] == '-') {
        negative = true;
        i = 1;
        if (text.size() == 1) return false;
    }
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (!std::isdigit((unsigned char)text[i])) return false;
        value = value * 10 + (text[i] - '0');
    }
    if (negative) value = -value;
    if (value < minimum || value > maximum) return false;
    out = value;
    return true;
}

constexpr long long kMaxFrame = 100000000;

// "FRAME:REST" with FRAME >= 1.
bool splitFrame(const std::string& text, int& frame, std::string& rest) {
    size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    long long f;
    if (!parseNumber(text.substr(0, colon), 1, kMaxFrame, f)) return false;
    frame = int(f);
    rest = text.substr(colon + 1);
    return true;
}

// "WxH" or "WxHxBITS": sizes 1..16384, bits 8, 16, 24 or 32.
bool parseDisplayMode(const std::string& text, int& width, int& height, int& bits) {
    std::vector<long long> parts;
    size_t start = 0;
    for (;;) {
        const size_t x = text.find('x', start);
        long long v;
        if (!parseNumber(text.substr(start, x == std::string::npos ? x : x - start), 1, 16384, v))
            return false;
        parts.push_back(v);
        if (x == std::string::npos) break;
        start = x + 1;
    }
    if (parts.size() < 2 || parts.size() > 3) return false;
    if (parts.size() == 3 && parts[2] != 8 && parts[2] != 16 && parts[2] != 24 && parts[2] != 32)
        return false;
    width = int(parts[0]);
    height = int(parts[1]);
    bits = parts.size() == 3 ? int(parts[2]) : 0;
    return true;
}

struct NamedKey {
    const char* name;
    int code;
};

const NamedKey kNamedKeys[] = {
    {"backspace", 0x08}, {"back", 0x08},    {"tab", 0x09},        {"return", 0x0D},
    {"enter", 0x0D},     {"pause", 0x13},   {"capslock", 0x14},   {"escape", 0x1B},
    {"esc", 0x1B},       {"space", 0x20},   {"pageup", 0x21},     {"prior", 0x21},
    {"pagedown", 0x22},  {"next", 0x22},    {"end", 0x23},        {"home", 0x24},
    {"left", 0x25},      {"up", 0x26},      {"right", 0x27},      {"down", 0x28},
    {"insert", 0x2D},    {"delete", 0x2E},  {"numpad0", 0x60},    {"numpad1", 0x61},
    {"numpad2", 0x62},   {"numpad3", 0x63}, {"numpad4", 0x64},    {"numpad5", 0x65},
    {"numpad6", 0x66},   {"numpad7", 0x67}, {"numpad8", 0x68},    {"numpad9", 0x69},
    {"multiply", 0x6A},  {"add", 0x6B},     {"subtract", 0x6D},   {"decimal", 0x6E},
    {"divide", 0x6F},    {"numlock", 0x90}, {"scrolllock", 0x91},
};

} // namespace

int virtualKeyFromName(const std::string& name) {
    if (name.size() == 1) {
        unsigned char c = (unsigned char)std::toupper((unsigned char)name[0]);
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return c;
        return -1;
    }
    std::string n = lower(name);
    for (const NamedKey& k : kNamedKeys)
        if (n == k.name) return k.code;
    if (n.size() >= 2 && n[0] == 'f') {
        long long f;
        if (parseNumber(n.substr(1), 1, 24, f)) return int(0x70 + f - 1);
    }
    if (n.size() > 2 && n[0] == '0' && n[1] == 'x') {
        char* end = nullptr;
        long v = std::strtol(n.c_str() + 2, &end, 16);
        if (*end == 0 && n.size() <= 4 && v >= 1 && v <= 0xFE) return int(v);
        return -1;
    }
    if (n.size() > 2 && n.compare(0, 2, "vk") == 0) {
        long long v;
        if (parseNumber(n.substr(2), 1, 254, v)) return int(v);
    }
    return -1;
}

bool isExtendedKey(int vk) {
    switch (vk) {
    case 0x21:
    case 0x22:
    case 0x23:
    case 0x24: // Page Up/Down, End, Home
    case 0x25:
    case 0x26:
    case 0x27:
    case 0x28: // arrows
    case 0x2D:
    case 0x2E: // Insert, Delete
    case 0x6F:
    case 0x90: // Divide, Num Lock
    case 0xA3:
    case 0xA5: // right Ctrl, right Alt
    case 0x5B:
    case 0x5C:
    case 0x5D: // Windows keys, Apps
        return true;
    default:
        return false;
    }
}

unsigned standardScanCode(int vk) {
    static const char letters[] = "\x1E\x30\x2E\x20\x12\x21\x22\x23\x17\x24\x25\x26\x32"
                                  "\x31\x18\x19\x10\x13\x1F\x14\x16\x2F\x11\x2D\x15\x2C";
    static const unsigned char numpad[10] = {0x52, 0x4F, 0x50, 0x51, 0x4B,
                                             0x4C, 0x4D, 0x47, 0x48, 0x49};
    if (vk >= 'A' && vk <= 'Z') return (unsigned char)letters[vk - 'A'];
    if (vk >= '1' && vk <= '9') return unsigned(0x02 + vk - '1');
    if (vk == '0') return 0x0B;
    if (vk >= 0x70 && vk <= 0x79) return unsigned(0x3B + vk - 0x70); // F1..F10
    if (vk == 0x7A) return 0x57;                                     // F11
    if (vk == 0x7B) return 0x58;                                     // F12
    if (vk >= 0x60 && vk <= 0x69) return numpad[vk - 0x60];
    switch (vk) {
    case 0x08:
        return 0x0E; // Backspace
    case 0x09:
        return 0x0F; // Tab
    case 0x0D:
        return 0x1C; // Return
    case 0x1B:
        return 0x01; // Escape
    case 0x20:
        return 0x39; // Space
    case 0x21:
        return 0x49; // Page Up
    case 0x22:
        return 0x51; // Page Down
    case 0x23:
        return 0x4F; // End
    case 0x24:
        return 0x47; // Home
    case 0x25:
        return 0x4B; // Left
    case 0x26:
        return 0x48; // Up
    case 0x27:
        return 0x4D; // Right
    case 0x28:
        return 0x50; // Down
    case 0x2D:
        return 0x52; // Insert
    case 0x2E:
        return 0x53; // Delete
    case 0x6A:
        return 0x37; // Multiply
    case 0x6B:
        return 0x4E; // Add
    case 0x6D:
        return 0x4A; // Subtract
    case 0x6E:
        return 0x53; // Decimal
    case 0x6F:
        return 0x35; // Divide
    case 0x90:
        return 0x45; // Num Lock
    default:
        return 0;
    }
}

uint32_t keyDownLParam(unsigned scanCode, bool extended) {
    return 1u | (uint32_t(scanCode & 0xFF) << 16) | (extended ? (1u << 24) : 0u);
}

std::string quoteEventText(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                out += "\\x";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += char(c);
            }
        }
    }
    out += '"';
    return out;
}

bool isVisualisationPluginName(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    std::string name = lower(slash == std::string::npos ? path : path.substr(slash + 1));
    return name.size() > 8 && name.compare(0, 4, "vis_") == 0 &&
           name.compare(name.size() - 4, 4, ".dll") == 0;
}

const char* hostUsage() {
    return "Usage: host.exe [options] vis_NAME.dll ...\n"
           "\n"
           "A small Winamp-compatible player for visualisation plug-ins. It loads each\n"
           "vis_*.dll named, fills the module's parent window and instance, and either\n"
           "runs it (Init, Render at the frame rate on a visualisation thread, Quit) or\n"
           "calls its Config. Every event is printed as one line (see host/README.md).\n"
           "\n"
           "Audio:\n"
           "  --wav FILE              play a PCM WAV file (8/16 bit, mono/stereo, any rate);\n"
           "                          without it a built-in demo track plays (120 bpm)\n"
           "  --mute                  no sound output even when a sound device exists\n"
           "  --position MS           start playing at MS milliseconds\n"
           "\n"
           "Run:\n"
           "  --frames N              call Quit after N frames (default: run until the\n"
           "                          plug-in's window closes)\n"
           "  --fps N                 frames a second, 1..1000 (default 40)\n"
           "  --fast                  render as fast as possible; the play position is\n"
           "                          frame x 1000 / fps ms, so runs are repeatable; no sound\n"
           "  --runs N                start the plug-in N times in a row (default 1)\n"
           "  --config                call Config (on the main thread) instead of a run\n"
           "  --config-at FRAME       call Config on the main thread before that frame of the\n"
           "                          run; the run waits until Config returns\n"
           "  --probe-module          report whether getModule(0) gives the same pointer\n"
           "                          twice and getModule(1) and getModule(-1) give null\n"
           "  --expect-init-fail      a failing Init is the expected outcome\n"
           "  --quit-after-failed-init  call Quit even when Init failed\n"
           "  --dpi-unaware           run the visualisation thread DPI unaware, as players\n"
           "                          without a DPI manifest run on Windows\n"
           "\n"
           "Player window (class \"Winamp v1.x\"):\n"
           "  --title TEXT            window title, the playlist line\n"
           "                          (default \"1. Artist - Title - Winamp\")\n"
           "\n"
           "Script (frames count from 1; changes and keys come before that frame's Render,\n"
           "captures after it; each option may be repeated):\n"
           "  --key FRAME:KEY         press KEY in the plug-in's window; KEY is a letter,\n"
           "                          digit, name (escape, space, return, tab, left, right,\n"
           "                          up, down, home, end, pageup, pagedown, insert, delete,\n"
           "                          f1..f24, numpad0..numpad9, ...) or a code (0x70,\n"
           "                          vk112), optionally after shift+ and/or ctrl+\n"
           "  --set-title FRAME:TEXT  change the player window's title\n"
           "  --set-position FRAME:MS jump the play position to MS milliseconds\n"
           "  --capture FRAME:FILE    save the plug-in window's client area as a 24-bit BMP\n"
           "  --display-mode FRAME:WxH[xBITS]   change the display mode from the main thread\n"
           "                          (ChangeDisplaySettings), as another program would\n"
           "  --capture-from-screen   capture from the screen instead of the window DC\n"
           "  --dialog CAPTION BUTTON press BUTTON (its text, or #ID) in the dialog or message\n"
           "                          box with that caption when it appears (a trailing *\n"
           "                          in CAPTION matches any rest); the run fails when it\n"
           "                          never appears\n"
           "  --dialog-optional CAPTION BUTTON   the same, but the dialog need not appear\n"
           "  --dialog-step CAPTION STEP   before the button of the next --dialog with that\n"
           "                          CAPTION is pressed, do STEP (in order, on the current\n"
           "                          page of a property sheet): page=N selects page N\n"
           "                          (from 0), set=ID:VALUE sets a combo or list selection,\n"
           "                          check state or trackbar position, text=ID:TEXT sets a\n"
           "                          control's text, press=BUTTON presses a button and waits\n"
           "                          until it was handled, show reports the controls\n"
           "\n"
           "Output:\n"
           "  --log FILE              append every event line to FILE as well\n"
           "  --help                  this text\n"
           "\n"
           "Exit codes: 0 success, 1 the plug-in crashed the host, 2 bad command line,\n"
           "3 plug-in not loadable (no file, no winampVisGetHeader, bad header, no module),\n"
           "4 Init failed (or succeeded with --expect-init-fail), 5 a scripted dialog never\n"
           "appeared or had no such button, 6 a scripted key or capture could not be done.\n";
}

bool parseDialogStep(const std::string& text, DialogStep& step, std::string& error) {
    DialogStep s;
    s.source = text;
    const size_t equals = text.find('=');
    const std::string name = text.substr(0, equals);
    const std::string rest = equals == std::string::npos ? "" : text.substr(equals + 1);
    long long v = 0;
    if (name == "show" && equals == std::string::npos) {
        s.kind = DialogStep::Kind::Show;
    } else if (name == "page" && equals != std::string::npos) {
        if (!parseNumber(rest, 0, 99, v)) {
            error = "page=N needs a page number 0..99: " + text;
            return false;
        }
        s.kind = DialogStep::Kind::Page;
        s.value = long(v);
    } else if ((name == "set" || name == "text") && equals != std::string::npos) {
        const size_t colon = rest.find(':');
        if (colon == std::string::npos || !parseNumber(rest.substr(0, colon), 0, 65535, v)) {
            error = name + "=ID:VALUE needs a control id 0..65535: " + text;
            return false;
        }
        s.id = int(v);
        const std::string value = rest.substr(colon + 1);
        if (name == "text") {
            s.kind = DialogStep::Kind::Text;
            s.text = value;
        } else {
            if (!parseNumber(value, -0x7FFFFFFFll, 0x7FFFFFFFll, v)) {
                error = "set=ID:VALUE needs a number: " + text;
                return false;
            }
            s.kind = DialogStep::Kind::Set;
            s.value = long(v);
        }
    } else if (name == "press" && !rest.empty()) {
        s.kind = DialogStep::Kind::Press;
        s.text = rest;
    } else {
        error = "unknown step (page=N, set=ID:VALUE, text=ID:TEXT, press=BUTTON, show): " + text;
        return false;
    }
    step = s;
    return true;
}

bool parseHostOptions(const std::vector<std::string>& args, HostOptions& out, std::string& error) {
    HostOptions o;
    auto need = [&](size_t& i, size_t count) {
        if (i + count >= args.size()) {
            error = args[i] + " needs " + (count == 1 ? "a value" : "two values");
            return false;
        }
        return true;
    };
    auto number = [&](const std::string& option, const std::string& text, long long minimum,
                      long long maximum, long long& value) {
        if (parseNumber(text, minimum, maximum, value)) return true;
        error = option + ": not a number in " + std::to_string(minimum) + ".." +
                std::to_string(maximum) + ": " + text;
        return false;
    };

    // Steps wait for the next --dialog of their caption.
    std::vector<std::pair<std::string, DialogStep>> pendingSteps;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        long long v;
        if (a == "--help" || a == "-h" || a == "/?") {
            o.help = true;
            out = o;
            return true;
        } else if (a == "--wav") {
            if (!need(i, 1)) return false;
            o.wavFile = args[++i];
        } else if (a == "--mute") {
            o.mute = true;
        } else if (a == "--position") {
            if (!need(i, 1) || !number(a, args[i + 1], 0, 0xFFFFFFFFll, v)) return false;
            o.startMs = uint32_t(v);
            ++i;
        } else if (a == "--frames") {
            if (!need(i, 1) || !number(a, args[i + 1], 0, kMaxFrame, v)) return false;
            o.frames = int(v);
            ++i;
        } else if (a == "--fps") {
            if (!need(i, 1) || !number(a, args[i + 1], 1, 1000, v)) return false;
            o.fps = int(v);
            ++i;
        } else if (a == "--fast") {
            o.fast = true;
        } else if (a == "--runs") {
            if (!need(i, 1) || !number(a, args[i + 1], 1, 1000, v)) return false;
            o.runs = int(v);
            ++i;
        } else if (a == "--config") {
            o.config = true;
        } else if (a == "--config-at") {
            if (!need(i, 1) || !number(a, args[i + 1], 1, kMaxFrame, v)) return false;
            o.configFrames.push_back(int(v));
            ++i;
        } else if (a == "--probe-module") {
            o.probeModule = true;
        } else if (a == "--expect-init-fail") {
            o.expectInitFail = true;
        } else if (a == "--quit-after-failed-init") {
            o.quitAfterFailedInit = true;
        } else if (a == "--dpi-unaware") {
            o.dpiUnaware = true;
        } else if (a == "--title") {
            if (!need(i, 1)) return false;
            o.title = args[++i];
        } else if (a == "--key") {
            if (!need(i, 1)) return false;
            ScriptedKey k;
            std::string keyText;
            if (!splitFrame(args[i + 1], k.frame, keyText)) {
                error = "--key: expected FRAME:KEY, got " + args[i + 1];
                return false;
            }
            k.text = keyText;
            std::string rest = keyText;
            for (;;) {
                std::string l = lower(rest);
                if (l.compare(0, 6, "shift+") == 0 && rest.size() > 6) {
                    k.shift = true;
                    rest = rest.substr(6);
                } else if (l.compare(0, 5, "ctrl+") == 0 && rest.size() > 5) {
                    k.ctrl = true;
                    rest = rest.substr(5);
                } else {
                    break;
                }
            }
            k.virtualKey = virtualKeyFromName(rest);
            if (k.virtualKey < 0) {
                error = "--key: unknown key name: " + rest;
                return false;
            }
            o.keys.push_back(k);
            ++i;
        } else if (a == "--set-title") {
            if (!need(i, 1)) return false;
            ScriptedTitle t;
            if (!splitFrame(args[i + 1], t.frame, t.text)) {
                error = "--set-title: expected FRAME:TEXT, got " + args[i + 1];
                return false;
            }
            o.titles.push_back(t);
            ++i;
        } else if (a == "--set-position") {
            if (!need(i, 1)) return false;
            ScriptedPosition p;
            std::string ms;
            if (!splitFrame(args[i + 1], p.frame, ms) || !parseNumber(ms, 0, 0xFFFFFFFFll, v)) {
                error = "--set-position: expected FRAME:MS, got " + args[i + 1];
                return false;
            }
            p.ms = uint32_t(v);
            o.positions.push_back(p);
            ++i;
        } else if (a == "--capture") {
            if (!need(i, 1)) return false;
            ScriptedCapture c;
            if (!splitFrame(args[i + 1], c.frame, c.file) || c.file.empty()) {
                error = "--capture: expected FRAME:FILE, got " + args[i + 1];
                return false;
            }
            o.captures.push_back(c);
            ++i;
        } else if (a == "--display-mode") {
            if (!need(i, 1)) return false;
            ScriptedDisplayMode m;
            std::string mode;
            if (!splitFrame(args[i + 1], m.frame, mode) ||
                !parseDisplayMode(mode, m.width, m.height, m.bits)) {
                error = "--display-mode: expected FRAME:WIDTHxHEIGHT or FRAME:WIDTHxHEIGHTxBITS, "
                        "got " +
                        args[i + 1];
                return false;
            }
            o.displayModes.push_back(m);
            ++i;
        } else if (a == "--capture-from-screen") {
            o.captureFromScreen = true;
        } else if (a == "--dialog" || a == "--dialog-optional") {
            if (!need(i, 2)) return false;
            ScriptedDialog d;
            d.caption = args[i + 1];
            d.button = args[i + 2];
            d.optional = a == "--dialog-optional";
            if (d.button.empty()) {
                error = a + ": empty button name";
                return false;
            }
            for (auto step = pendingSteps.begin(); step != pendingSteps.end();) {
                if (step->first == d.caption) {
                    d.steps.push_back(step->second);
                    step = pendingSteps.erase(step);
                } else {
                    ++step;
                }
            }
            o.dialogs.push_back(d);
            i += 2;
        } else if (a == "--dialog-step") {
            if (!need(i, 2)) return false;
            DialogStep step;
            std::string reason;
            if (!parseDialogStep(args[i + 2], step, reason)) {
                error = "--dialog-step: " + reason;
                return false;
            }
            pendingSteps.emplace_back(args[i + 1], step);
            i += 2;
        } else if (a == "--log") {
            if (!need(i, 1)) return false;
            o.logFile = args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option: " + a;
            return false;
        } else if (isVisualisationPluginName(a)) {
            o.plugins.push_back(a);
        } else {
            error = "not a visualisation plug-in (players load only vis_*.dll): " + a;
            return false;
        }
    }
    if (!pendingSteps.empty()) {
        error = "--dialog-step " + pendingSteps.front().first +
                ": no --dialog with that caption follows";
        return false;
    }
    if (o.plugins.empty()) {
        error = "no plug-in named (host.exe --help for usage)";
        return false;
    }
    if (o.config && (!o.keys.empty() || !o.captures.empty() || !o.titles.empty() ||
                     !o.positions.empty() || !o.configFrames.empty() || !o.displayModes.empty())) {
        error = "--config shows the configuration only: keys, captures, titles, positions, "
                "--config-at and --display-mode need a run";
        return false;
    }
    out = o;
    return true;
}

bool expandArgumentFiles(const std::vector<std::string>& args, std::vector<std::string>& out,
                         std::string& error) {
    out.clear();
    for (const std::string& a : args) {
        if (a.size() < 2 || a[0] != '@') {
            out.push_back(a);
            continue;
        }
        std::FILE* file = std::fopen(a.c_str() + 1, "rb");
        if (!file) {
            error = "cannot read the argument file " + a.substr(1);
            return false;
        }
        std::string line;
        bool pending = false;
        for (int c; (c = std::fgetc(file)) != EOF;) {
            if (c == '\n') {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                out.push_back(line);
                line.clear();
                pending = false;
            } else {
                line.push_back(static_cast<char>(c));
                pending = true;
            }
        }
        if (pending) out.push_back(line);
        std::fclose(file);
    }
    return true;
}
