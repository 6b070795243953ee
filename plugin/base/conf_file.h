// The settings as a text file, for the native program: the values of the settings record, one
// "Name=value" line each, under the record's names. The file is read into a ConfKey, which has
// the key operations the settings' load and save are written against (loadSettingsFrom,
// saveSettingsTo), so that missing and odd values get the defaults the registry code gives
// them. The file is the user's: a start only reads it (the defaults it stores for missing or
// bad values stay in memory); only a save writes it, value by value in the lines where they
// stand, keeping comments, blank lines, unknown lines and their order.
#pragma once
#include "base/settings.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Parses and writes the file's lines; holds the values by name, as texts.
class ConfKey {
  public:
    // Reads the lines of a file's bytes into the key (the values it held before are dropped).
    // Empty lines, lines of blanks and lines starting with '#' or ';' are skipped silently. A
    // line is "Name=value": blanks around the name are ignored, the value is everything after
    // the first '=' (a trailing CR of a CRLF line is not part of it) up to a comment, which
    // starts at a '#' after a blank and takes the blanks before it along ("Wave=5 # mine").
    // Each of these is reported once, by its line number, into problems() and skipped, so
    // that its value is missing and the default is used:
    //   a line without '=', a name that is no field of the settings record, a number value that
    //   is not a decimal integer of 32 bits (blanks around it are allowed), a number outside
    //   the range the settings pages offer (settingRange), a file name (Palette,
    //   Transformation, Picture) that names a folder or holds control bytes.
    // Texts longer than the record holds are cut to its 255 bytes, and at a NUL byte, as the
    // registry read does. When a name is given twice, the last line counts. The messages show
    // control bytes of the file as \xHH.
    void parse(const char* data, size_t size);

    // One line per value the key holds, in the order of the field table.
    std::string text() const;

    // The key operations of the settings' load and save.
    bool exists(const char* name) const;
    int32_t getDword(int32_t fallback, const char* name);
    bool getString(char* destination, const char* fallback, const char* name,
                   size_t capacity = kSettingTextSize);
    bool writeDword(int32_t value, const char* name);
    bool writeString(const char* text, const char* name);

    // What parse found wrong, one line each ("line 3: ...").
    const std::vector<std::string>& problems() const { return problems_; }
    // Whether a write changed a value since the last parse (so the file needs writing).
    bool changed() const { return changed_; }

  private:
    void problem(size_t line, const std::string& what);
    std::map<std::string, std::string> values_;
    std::vector<std::string> problems_;
    bool changed_ = false;
};

// The range of a number the settings pages offer ("Wave" 0..19, "Frequency_Pic_Show" 1..128,
// a switch 0..1); false for "Version" and the texts, which have none.
bool settingRange(const char* name, int32_t& low, int32_t& high);

// The text with control bytes, DEL, the C1 controls and bytes that are no UTF-8 shown as \xHH,
// so that it cannot steer a terminal.
std::string printableText(const std::string& text);

// The file's path: $XDG_CONFIG_HOME/quorbel/quorbel.conf, where an empty or relative
// XDG_CONFIG_HOME counts as unset and gives HOME/.config (HOME absolute). Either argument may
// be null; with neither usable the path is "": there is no settings file (never one relative
// to the current folder).
std::string confFilePath(const char* xdgConfigHome, const char* home);

// Loads the settings from the file at path: reads it, fills the record through
// loadSettingsFrom (the defaults of missing and bad values in the record only) and never
// writes an existing file. A missing file is the first run (steps.firstRun is called) and is
// created with the defaults, under a comment saying how the file is read. An empty path is
// no file: the defaults, nothing written. The problems of the file, and a file that cannot be
// read or created, are appended to messages, each once. Returns false only when an existing
// file could not be read (the record then holds the defaults).
bool loadConfFile(const std::string& path, Settings& record, const SettingsLoadSteps& steps,
                  std::vector<std::string>& messages);

// Writes every value of the record, "Version" too, into the file at path as it is now
// (mergeConfText), or a new file (creating its folder). The file is written beside its place
// and renamed over it once it is whole, so that a crash or a full disk leaves the old one; a
// link is followed, and the file keeps its permissions. A file that exists but cannot be read
// is not replaced. False with a reason in error when it cannot be written.
bool saveConfFile(const std::string& path, const Settings& record, std::string& error);

// The existing file's text with the record's values put in: each value in the line that
// counts for it (the last with its name), its blanks and comment kept, a line that already
// holds the value left byte for byte; values the file lacks appended in table order. Every
// other line stays as it is, where it is.
std::string mergeConfText(const std::string& existing, const Settings& record);

// The record as plain lines in table order (a new file's values, --config).
std::string confText(const Settings& record);

// For tests: the next writes of the settings file stop after this many bytes, as on a full
// disk (-1: no fault).
extern long confWriteFaultAfter;
