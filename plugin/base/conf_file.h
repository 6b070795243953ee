// The settings as a text file, for the native program: the values of the settings record, one
// "Name=value" line each, under the record's names, in the order of its field table. The file
// is read into a ConfKey, which has the key operations the settings' load and save are written
// against (loadSettingsFrom, saveSettingsTo), so that missing and odd values get the defaults
// the registry code gives them, and it is written back from the key.
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
    // the first '=' (a trailing CR of a CRLF line is not part of it). Each of these is reported
    // once, by its line number, into problems() and skipped, so that its value is missing:
    //   a line without '=', a name that is no field of the settings record, a number value that
    //   is not a decimal integer of 32 bits (blanks around it are allowed).
    // Texts longer than the record holds are cut to its 255 bytes, and at a NUL byte, as the
    // registry read does. When a name is given twice, the last line counts.
    void parse(const char* data, size_t size);

    // The file's text: one line per value the key holds, in the order of the field table.
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

// The file's path: $XDG_CONFIG_HOME/quorbel/quorbel.conf, where an empty or relative
// XDG_CONFIG_HOME counts as unset and gives $HOME/.config. Either argument may be null; with
// neither usable the path is relative, ".config/quorbel/quorbel.conf".
std::string confFilePath(const char* xdgConfigHome, const char* home);

// Loads the settings from the file at path: reads it (a missing file reads as empty, which is
// the first run: steps.firstRun is called), fills the record through loadSettingsFrom and,
// when that stored a default or the version, writes the file back (creating its folder). The
// lines of problems of the file, and a file that cannot be read or written, are appended to
// messages, each once. Returns false only when an existing file could not be read (the record
// then holds the defaults).
bool loadConfFile(const std::string& path, Settings& record, const SettingsLoadSteps& steps,
                  std::vector<std::string>& messages);

// Writes every value of the record, "Version" too, to the file at path (creating its folder);
// false with a reason in error when it cannot.
bool saveConfFile(const std::string& path, const Settings& record, std::string& error);

// The record as the file's text (the lines saveConfFile writes).
std::string confText(const Settings& record);
