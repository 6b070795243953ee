#include "base/conf_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

// A conf file larger than this is not read (no settings file is near it).
constexpr size_t kMaxConfBytes = 1 << 20;

int fieldIndex(const std::string& name) {
    for (int i = 0; i < kSettingFieldCount; ++i)
        if (name == settingFields[i].name) return i;
    return -1;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string trimmed(const char* begin, const char* end) {
    while (begin < end && isBlank(*begin)) ++begin;
    while (end > begin && isBlank(end[-1])) --end;
    return std::string(begin, end);
}

// A decimal integer of 32 bits, with an optional sign.
bool parseNumber(const std::string& text, int32_t& value) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > int64_t(1) << 31) return false;
    }
    int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT32_MAX) return false;
    value = int32_t(signedValue);
    return true;
}

// What a text value keeps: the bytes before a NUL, a CR or a LF, at most capacity - 1.
std::string storedText(const char* text, size_t capacity) {
    size_t length = 0;
    while (text[length] && text[length] != '\r' && text[length] != '\n' && length + 1 < capacity)
        ++length;
    return std::string(text, length);
}

// A file name of the data folders: no folder in it, no control bytes.
bool isPlainFileName(const std::string& name) {
    if (name == "." || name == "..") return false;
    for (unsigned char c : name)
        if (c == '/' || c == '\\' || c < 0x20 || c == 0x7F) return false;
    return true;
}

const char* folderOf(const char* name) {
    if (std::strcmp(name, "Palette") == 0) return "maps";
    if (std::strcmp(name, "Transformation") == 0) return "tabs";
    return "pics";
}

// One line of the file as the reader and the merge see it.
struct Line {
    const char* begin; // the line without its end (and without a CR before the LF)
    const char* end;
    const char* lineEnd;              // where the LF (or the end of the data) is
    int field = -1;                   // a Name=value line of a field of the record
    const char* valueBegin = nullptr; // the value's bytes (a number's without blanks)
    const char* valueEnd = nullptr;
    bool structured = false; // a Name=value line at all (else skipped or broken)
    bool nameOnly = false;   // a line with no '=': broken
};

std::vector<Line> splitLines(const char* data, size_t size) {
    std::vector<Line> lines;
    const char* end = data + size;
    for (const char* at = data; at < end;) {
        const char* lineEnd = static_cast<const char*>(std::memchr(at, '\n', size_t(end - at)));
        if (!lineEnd) lineEnd = end;
        Line line;
        line.begin = at;
        line.lineEnd = lineEnd;
        line.end = lineEnd > at && lineEnd[-1] == '\r' ? lineEnd - 1 : lineEnd;
        at = lineEnd < end ? lineEnd + 1 : end;
        const char* first = line.begin;
        while (first < line.end && isBlank(*first)) ++first;
        if (first == line.end || *first == '#' || *first == ';') {
            lines.push_back(line);
            continue;
        }
        const char* equals =
            static_cast<const char*>(std::memchr(first, '=', size_t(line.end - first)));
        if (!equals) {
            line.nameOnly = true;
            lines.push_back(line);
            continue;
        }
        line.structured = true;
        line.field = fieldIndex(trimmed(first, equals));
        // The value ends at a comment: a '#' after a blank, with the blanks before it.
        const char* valueEnd = line.end;
        for (const char* c = equals + 1; c < line.end; ++c)
            if (*c == '#' && c > equals + 1 && isBlank(c[-1])) {
                valueEnd = c;
                while (valueEnd > equals + 1 && isBlank(valueEnd[-1])) --valueEnd;
                break;
            }
        line.valueBegin = equals + 1;
        line.valueEnd = valueEnd;
        if (line.field >= 0 && settingFields[line.field].number) {
            while (line.valueBegin < line.valueEnd && isBlank(*line.valueBegin)) ++line.valueBegin;
            while (line.valueEnd > line.valueBegin && isBlank(line.valueEnd[-1])) --line.valueEnd;
        }
        lines.push_back(line);
    }
    return lines;
}

// A line's value as the key holds it; false with the reason when it is unusable.
bool lineValue(const Line& line, std::string& value, std::string& why) {
    const SettingField& field = settingFields[line.field];
    const Settings defaults;
    const std::string raw(line.valueBegin, line.valueEnd);
    if (field.number) {
        int32_t number;
        if (!parseNumber(raw, number)) {
            why = std::string(field.name) + ": not a whole number, the default is used";
            return false;
        }
        int32_t low, high;
        if (settingRange(field.name, low, high) && (number < low || number > high)) {
            why = std::string(field.name) + ": " + std::to_string(number) + " is outside " +
                  std::to_string(low) + ".." + std::to_string(high) + ", the default " +
                  std::to_string(defaults.*field.number) + " is used";
            return false;
        }
        value = std::to_string(number);
        return true;
    }
    value = storedText(raw.c_str(), kSettingTextSize);
    if (!isPlainFileName(value)) {
        why = std::string(field.name) + ": \"" + printableText(value.substr(0, 64)) +
              "\" is no file name of the " + folderOf(field.name) + " folder, the default \"" +
              defaults.*field.text + "\" is used";
        return false;
    }
    return true;
}

std::string fieldValue(const Settings& record, const SettingField& field) {
    if (field.number) return std::to_string(record.*field.number);
    return storedText(record.*field.text, kSettingTextSize);
}

bool ensureFolderOf(const std::string& path, std::string& error) {
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) return true;
    std::error_code code;
    std::filesystem::create_directories(folder, code);
    if (code) {
        error = "cannot create the folder " + folder.string() + ": " + code.message();
        return false;
    }
    return true;
}

// Writes text to a new file beside path and renames it over path once it is whole (flushed
// to the disk), so that path holds either the old text or the new one. A link at path is
// followed (its target is replaced); an existing file's permissions are kept.
bool writeFileSafely(const std::string& path, const std::string& text, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code code;
    fs::path target = path;
    for (int hops = 0; hops < 16 && fs::is_symlink(target, code); ++hops) {
        fs::path next = fs::read_symlink(target, code);
        if (code) break;
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    if (!ensureFolderOf(target.string(), error)) return false;
    const bool existed = fs::exists(target, code);
    const fs::perms perms = existed ? fs::status(target, code).permissions() : fs::perms::none;
    const std::string temporary = target.string() + ".new";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        error = "cannot write " + temporary + ": " + std::strerror(errno);
        return false;
    }
    size_t length = text.size();
    if (confWriteFaultAfter >= 0 && size_t(confWriteFaultAfter) < length)
        length = size_t(confWriteFaultAfter);
    bool whole = std::fwrite(text.data(), 1, length, file) == length && length == text.size();
    int failure = whole ? 0 : (confWriteFaultAfter >= 0 ? ENOSPC : errno);
    if (std::fflush(file) != 0 && whole) {
        whole = false;
        failure = errno;
    }
#ifndef _WIN32
    if (whole && fsync(fileno(file)) != 0) {
        whole = false;
        failure = errno;
    }
#endif
    if (std::fclose(file) != 0 && whole) {
        whole = false;
        failure = errno;
    }
    if (!whole) {
        error = "cannot write " + temporary + ": " + std::strerror(failure) + "; " +
                target.string() + " is left as it was";
        fs::remove(temporary, code);
        return false;
    }
    if (existed) fs::permissions(temporary, perms, code);
    fs::rename(temporary, target, code);
    if (code) {
        error = "cannot replace " + target.string() + ": " + code.message();
        fs::remove(temporary, code);
        return false;
    }
    return true;
}

// Reads a whole file of at most kMaxConfBytes; false with a reason when it cannot.
bool readConf(const std::string& path, std::string& bytes, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (file) {
        file.seekg(0, std::ios::end);
        std::streamoff length = file.tellg();
        file.seekg(0, std::ios::beg);
        if (length < 0 || size_t(length) > kMaxConfBytes) {
            error = path + ": larger than a settings file can be, not read";
            return false;
        }
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    if (!file && !file.eof()) {
        error = path + ": cannot be read";
        return false;
    }
    return true;
}

const char kNewFileComment[] =
    "# quorbel's settings, one Name=value line each (the names of the plug-in's registry\n"
    "# values). A '#' after a blank starts a comment. quorbel reads this file at every start\n"
    "# and writes it only at the end of a run with Save_On_Exit=1, keeping comments and\n"
    "# lines it does not know; a value it cannot use is reported and its default used.\n";

} // namespace

long confWriteFaultAfter = -1;

bool settingRange(const char* name, int32_t& low, int32_t& high) {
    struct Range {
        const char* name;
        int32_t low, high;
    };
    static const Range kRanges[] = {
        {"Wave", 0, 19},
        {"WaveScale", 0, 3},
        {"Flame", 0, 15},
        {"Resolution", 0, 8},
        {"Frequency_Random_Change", 1, 64},
        {"Frequency_Id3_Change", 1, 64},
        {"Frequency_Pic_Show", 1, 128},
        {"Beat_detection_sensitivity", 100, 254},
        {"Display_mode", 0, 3},
    };
    for (const Range& range : kRanges)
        if (std::strcmp(name, range.name) == 0) {
            low = range.low;
            high = range.high;
            return true;
        }
    const int index = fieldIndex(name);
    if (index <= 0 || !settingFields[index].number) return false; // "Version", texts
    low = 0;                                                      // every other number is a switch
    high = 1;
    return true;
}

std::string printableText(const std::string& text) {
    std::string out;
    auto escape = [&](unsigned char c) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        out += hex;
    };
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c < 0x20 || c == 0x7F)
                escape(c);
            else
                out += char(c);
            ++i;
            continue;
        }
        // A whole UTF-8 sequence of a character that is no C1 control passes; anything else
        // is shown byte by byte.
        const int length = c >= 0xF0 && c <= 0xF4  ? 4
                           : c >= 0xE0             ? 3
                           : c >= 0xC2 && c < 0xE0 ? 2
                                                   : 0;
        bool whole = length > 0 && i + size_t(length) <= text.size();
        for (int k = 1; whole && k < length; ++k)
            whole = (static_cast<unsigned char>(text[i + size_t(k)]) & 0xC0) == 0x80;
        if (whole && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) whole = false;
        if (!whole) {
            escape(c);
            ++i;
            continue;
        }
        out.append(text, i, size_t(length));
        i += size_t(length);
    }
    return out;
}

void ConfKey::problem(size_t line, const std::string& what) {
    problems_.push_back("line " + std::to_string(line) + ": " + what);
}

void ConfKey::parse(const char* data, size_t size) {
    values_.clear();
    problems_.clear();
    changed_ = false;
    size_t lineNumber = 0;
    for (const Line& line : splitLines(data, size)) {
        ++lineNumber;
        if (line.nameOnly) {
            problem(lineNumber, "not a Name=value line, skipped");
            continue;
        }
        if (!line.structured) continue;
        if (line.field < 0) {
            const char* first = line.begin;
            while (isBlank(*first)) ++first;
            const char* equals =
                static_cast<const char*>(std::memchr(first, '=', size_t(line.end - first)));
            // Names are shown cut, so that a huge line gives a short message.
            problem(lineNumber, "unknown setting \"" +
                                    printableText(trimmed(first, equals).substr(0, 64)) +
                                    "\", skipped");
            continue;
        }
        const std::string name = settingFields[line.field].name;
        std::string value, why;
        if (!lineValue(line, value, why)) {
            problem(lineNumber, why);
            values_.erase(name);
            continue;
        }
        values_[name] = value;
    }
}

std::string ConfKey::text() const {
    std::string out;
    for (int i = 0; i < kSettingFieldCount; ++i) {
        auto found = values_.find(settingFields[i].name);
        if (found == values_.end()) continue;
        out += settingFields[i].name;
        out += '=';
        out += found->second;
        out += '\n';
    }
    return out;
}

bool ConfKey::exists(const char* name) const {
    return values_.count(name) != 0;
}

int32_t ConfKey::getDword(int32_t fallback, const char* name) {
    auto found = values_.find(name);
    int32_t value;
    if (found != values_.end() && parseNumber(found->second, value)) return value;
    writeDword(fallback, name);
    return fallback;
}

bool ConfKey::getString(char* destination, const char* fallback, const char* name,
                        size_t capacity) {
    if (capacity == 0) return false;
    auto found = values_.find(name);
    if (found == values_.end()) {
        writeString(fallback, name);
        found = values_.find(name);
    }
    std::string text = storedText(found->second.c_str(), capacity);
    std::memcpy(destination, text.c_str(), text.size() + 1);
    return true;
}

bool ConfKey::writeDword(int32_t value, const char* name) {
    std::string text = std::to_string(value);
    std::string& slot = values_[name];
    if (slot != text) changed_ = true;
    slot = text;
    return true;
}

bool ConfKey::writeString(const char* text, const char* name) {
    std::string stored = storedText(text, kSettingTextSize);
    auto found = values_.find(name);
    if (found == values_.end() || found->second != stored) changed_ = true;
    values_[name] = stored;
    return true;
}

std::string confFilePath(const char* xdgConfigHome, const char* home) {
    std::string base;
    if (xdgConfigHome && xdgConfigHome[0] == '/')
        base = xdgConfigHome;
    else if (home && home[0] == '/')
        base = std::string(home) + "/.config";
    else
        return std::string();
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/quorbel/quorbel.conf";
}

bool loadConfFile(const std::string& path, Settings& record, const SettingsLoadSteps& steps,
                  std::vector<std::string>& messages) {
    ConfKey key;
    std::error_code code;
    const bool present = !path.empty() && std::filesystem::exists(path, code);
    if (present) {
        std::string bytes, error;
        if (!readConf(path, bytes, error)) {
            messages.push_back(error + ", the defaults are used");
            record = Settings();
            record.Version = kSettingsVersion;
            return false;
        }
        key.parse(bytes.data(), bytes.size());
        for (const std::string& problem : key.problems()) messages.push_back(path + ": " + problem);
    }
    loadSettingsFrom(key, record, steps);
    if (!present && !path.empty()) {
        // The first start: a file of the defaults for the user to find and edit.
        std::string error;
        if (!writeFileSafely(path, kNewFileComment + key.text(), error))
            messages.push_back(error + "; the settings are the defaults and are not kept");
    }
    return true;
}

std::string confText(const Settings& record) {
    ConfKey key;
    key.writeDword(record.Version, "Version");
    saveSettingsTo(key, record);
    return key.text();
}

std::string mergeConfText(const std::string& existing, const Settings& record) {
    const std::vector<Line> lines = splitLines(existing.data(), existing.size());
    // The line that counts for each field: the last with its name.
    std::vector<int> counting(kSettingFieldCount, -1);
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].field >= 0) counting[size_t(lines[i].field)] = int(i);
    // Appended lines end as the file's lines do.
    std::string eol = "\n";
    for (const Line& line : lines)
        if (line.end != line.lineEnd) eol = "\r\n";
    std::vector<std::string> replacement(lines.size());
    std::vector<bool> replaced(lines.size(), false);
    std::string appended;
    for (int f = 0; f < kSettingFieldCount; ++f) {
        const SettingField& field = settingFields[f];
        const std::string value = fieldValue(record, field);
        const int at = counting[size_t(f)];
        if (at < 0) {
            appended += std::string(field.name) + "=" + value + eol;
            continue;
        }
        const Line& line = lines[size_t(at)];
        std::string held, why;
        if (lineValue(line, held, why) && held == value) continue;
        replacement[size_t(at)] =
            std::string(line.begin, line.valueBegin) + value + std::string(line.valueEnd, line.end);
        replaced[size_t(at)] = true;
    }
    std::string out;
    out.reserve(existing.size() + appended.size() + 64);
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (replaced[i])
            out += replacement[i] + std::string(line.end, line.lineEnd);
        else
            out.append(line.begin, line.lineEnd);
        if (line.lineEnd < existing.data() + existing.size()) out += '\n';
    }
    // A last line without its LF gets one (after its CR, when it has one) before the values
    // appended.
    if (!appended.empty() && !out.empty() && out.back() != '\n')
        out += out.back() == '\r' ? std::string("\n") : eol;
    return out + appended;
}

bool saveConfFile(const std::string& path, const Settings& record, std::string& error) {
    if (path.empty()) {
        error = "no folder for the settings (neither XDG_CONFIG_HOME nor a home folder): "
                "they are not saved";
        return false;
    }
    std::error_code code;
    if (!std::filesystem::exists(path, code))
        return writeFileSafely(path, kNewFileComment + confText(record), error);
    std::string existing;
    if (!readConf(path, existing, error)) {
        error += ": the settings are not saved, so that it is not lost";
        return false;
    }
    return writeFileSafely(path, mergeConfText(existing, record), error);
}
