// Command line of the host and the text form of its event lines. Portable: no Windows headers,
// unit tested natively.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ScriptedKey {
    int frame = 0;      // delivered before this frame's Render (frames count from 1)
    int virtualKey = 0; // Windows virtual-key code
    bool shift = false;
    bool ctrl = false;
    std::string text; // as given on the command line, for the event line
};

struct ScriptedTitle {
    int frame = 0;
    std::string text;
};

struct ScriptedPosition {
    int frame = 0;
    uint32_t ms = 0;
};

// A display mode change made before that frame's Render, from the player's main thread, the way
// another program (a game, a remote desktop, the system's display settings) changes the mode.
struct ScriptedDisplayMode {
    int frame = 0;
    int width = 0, height = 0;
    int bits = 0; // 0: the depth stays
};

struct ScriptedCapture {
    int frame = 0; // captured after this frame's Render
    std::string file;
};

// A step done in a scripted dialog before its button is pressed. In a property sheet the
// controls are those of the current page.
struct DialogStep {
    enum class Kind {
        Page,  // page=N: select page N (from 0) of a property sheet
        Set,   // set=ID:VALUE: combo or list selection, check state, trackbar position
        Text,  // text=ID:TEXT: a control's text (a combo box's selection is cleared first)
        Press, // press=BUTTON: press a button (text or #ID) and wait until it was handled
        Show,  // show: report the pages and the current page's controls
    };
    Kind kind = Kind::Show;
    int id = 0;
    long value = 0;
    std::string text;   // Text: the text; Press: the button
    std::string source; // as given, for the event line
};

struct ScriptedDialog {
    std::string caption; // exact caption; a trailing '*' matches any rest
    std::string button;  // button text without '&', or "#ID"
    bool optional = false;
    std::vector<DialogStep> steps; // done in order before the button is pressed
};

struct HostOptions {
    std::vector<std::string> plugins;
    std::string wavFile; // empty: the built-in demo track
    std::string title = "1. Artist - Title - Winamp";
    int fps = 40;
    bool fast = false;
    bool mute = false;
    int frames = 0; // 0: until the plug-in's window closes
    int runs = 1;
    uint32_t startMs = 0;
    bool config = false;
    std::vector<int> configFrames; // --config-at: Config on the main thread during the run
    bool probeModule = false;
    bool expectInitFail = false;
    bool quitAfterFailedInit = false;
    bool captureFromScreen = false;
    bool dpiUnaware = false; // the visualisation thread is not DPI aware, like most players
    std::string logFile;
    bool help = false;

    std::vector<ScriptedKey> keys;
    std::vector<ScriptedTitle> titles;
    std::vector<ScriptedPosition> positions;
    std::vector<ScriptedCapture> captures;
    std::vector<ScriptedDisplayMode> displayModes;
    std::vector<ScriptedDialog> dialogs;
};

// Parses the arguments after the program name. False with a one-line reason on a bad command
// line; --help sets help and stops there.
// One --dialog-step STEP. False with a reason when it is not one of the forms above.
bool parseDialogStep(const std::string& text, DialogStep& step, std::string& error);

bool parseHostOptions(const std::vector<std::string>& args, HostOptions& out, std::string& error);

// Replaces every argument "@FILE" by the lines of FILE, one argument a line (a line end of
// CR LF or LF; the last line may have none), for scripts longer than a command line may be
// (32,767 characters on Windows). The lines are taken as they are, "@" included. False with a
// reason when a file cannot be read.
bool expandArgumentFiles(const std::vector<std::string>& args, std::vector<std::string>& out,
                         std::string& error);

// The usage text printed by --help.
const char* hostUsage();

// Virtual-key code for a key name: a letter or digit, a name such as "escape", "space",
// "f1".."f24", "left", "pageup", or a code written "0x70" / "vk112". -1 when unknown.
int virtualKeyFromName(const std::string& name);

// True for keys whose WM_KEYDOWN lParam carries the extended-key bit (arrows, Insert, Delete,
// Home, End, Page Up/Down, Num Lock, Divide, the right-hand Ctrl and Alt, ...).
bool isExtendedKey(int virtualKey);

// Scan code (set 1, US layout) of a key, for systems that map none; 0 when not known.
unsigned standardScanCode(int virtualKey);

// WM_KEYDOWN lParam for a first press: repeat count 1, the scan code, the extended bit.
uint32_t keyDownLParam(unsigned scanCode, bool extended);

// Text field of an event line: in double quotes, with \\, \", \n, \r, \t and \xHH escapes so
// that the line stays one line of printable ASCII.
std::string quoteEventText(const std::string& text);

// A plug-in file name that players load: "vis_*.dll", compared without regard to case, on the
// file-name part of the path (after the last '\\' or '/').
bool isVisualisationPluginName(const std::string& path);
