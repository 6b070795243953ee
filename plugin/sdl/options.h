// The command line of the native program. Portable: no SDL, unit tested natively.
#pragma once
#include <string>
#include <vector>

struct NativeKey {
    int frame = 0;   // pressed before this frame (frames count from 1)
    unsigned vk = 0; // the key table's key code (a Windows virtual-key code)
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
    std::string text; // as given, for the log
};

struct NativeCapture {
    int frame = 0; // captured after this frame
    std::string file;
    bool window = false; // the window's picture (the frame scaled into it), not the frame
};

struct NativeOptions {
    bool demo = false;
    std::string playFile; // --play
    std::string source;   // --source: a capture source of the sound server
    bool listSources = false;
    int frames = 0; // 0: until Esc or the window closes
    int fps = 60;
    bool fast = false; // as fast as it goes, on a clock of frames / fps; no sound out
    bool mute = false;
    bool window = false; // a window also for the full-screen resolutions
    int windowWidth = 0; // --window-size: the window's size at the start (0: the frame's)
    int windowHeight = 0;
    bool config = false;
    bool help = false;
    bool seedGiven = false;
    unsigned seed = 0;
    std::string logFile;
    std::vector<NativeKey> keys;
    std::vector<NativeCapture> captures;
};

// Parses the arguments after the program name. False with a one-line reason on a bad command
// line (a capture after the last of --frames is one); --help sets help and stops there.
bool parseNativeOptions(const std::vector<std::string>& args, NativeOptions& out,
                        std::string& error);

// Whether the folder of every capture exists (checked at the start, so that a long run does
// not end in a capture that cannot be saved); false with a one-line reason.
bool checkCaptureFolders(const NativeOptions& options, std::string& error);

// A key as the command line names it: [shift+][ctrl+]NAME, NAME a letter, a digit, "space",
// "esc"/"escape", "enter", "f1".."f12" (any case). False when unknown.
bool parseKeyName(const std::string& text, unsigned& vk, bool& shift, bool& ctrl, bool& alt);

// The usage lines of --help (without the About and Tips texts).
const char* nativeUsage();
