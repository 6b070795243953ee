#include "base/conf_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace {

// A conf file larger than this is not read (no settings file is near it).
constexpr size_t kMaxConfBytes = 1 << 20;

const SettingField* fieldNamed(const std::string& name) {
    for (int i = 0; i < kSettingFieldCount; ++i)
        if (name == settingFields[i].name) return &settingFields[i];
    return nullptr;
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

bool writeFile(const std::string& path, const std::string& text, std::string& error) {
    if (!ensureFolderOf(path, error)) return false;
    // Written beside the file and renamed over it, so that a reader never sees half of it.
    std::string temporary = path + ".new";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file) {
            error = "cannot write " + temporary + ": " + std::strerror(errno);
            return false;
        }
        file << text;
        file.flush();
        if (!file) {
            error = "cannot write " + temporary;
            return false;
        }
    }
    std::error_code code;
    std::filesystem::rename(temporary, path, code);
    if (code) {
        error = "cannot replace " + path + ": " + code.message();
        std::filesystem::remove(temporary, code);
        return false;
    }
    return true;
}

} // namespace

void ConfKey::problem(size_t line, const std::string& what) {
    problems_.push_back("line " + std::to_string(line) + ": " + what);
}

void ConfKey::parse(const char* data, size_t size) {
    values_.clear();
    problems_.clear();
    changed_ = false;
    size_t lineNumber = 0;
    const char* end = data + size;
    for (const char* line = data; line < end;) {
        const char* lineEnd = static_cast<const char*>(std::memchr(line, '\n', size_t(end - line)));
        if (!lineEnd) lineEnd = end;
        const char* next = lineEnd < end ? lineEnd + 1 : end;
        ++lineNumber;
        if (lineEnd > line && lineEnd[-1] == '\r') --lineEnd;
        const char* first = line;
        while (first < lineEnd && isBlank(*first)) ++first;
        line = next;
        if (first == lineEnd || *first == '#' || *first == ';') continue;

        const char* equals = static_cast<const char*>(std::memchr(first, '=', lineEnd - first));
        if (!equals) {
            problem(lineNumber, "not a Name=value line, skipped");
            continue;
        }
        std::string name = trimmed(first, equals);
        const SettingField* field = fieldNamed(name);
        if (!field) {
            // Names are shown cut, so that a huge line gives a short message.
            problem(lineNumber, "unknown setting \"" + name.substr(0, 64) + "\", skipped");
            continue;
        }
        std::string value(equals + 1, lineEnd);
        if (field->number) {
            int32_t number;
            if (!parseNumber(trimmed(value.data(), value.data() + value.size()), number)) {
                problem(lineNumber,
                        std::string(field->name) + ": not a whole number, the default is used");
                values_.erase(name);
                continue;
            }
            value = std::to_string(number);
        } else {
            value = storedText(value.c_str(), kSettingTextSize);
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
    else if (home && home[0])
        base = std::string(home) + "/.config";
    else
        base = ".config";
    if (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/quorbel/quorbel.conf";
}

bool loadConfFile(const std::string& path, Settings& record, const SettingsLoadSteps& steps,
                  std::vector<std::string>& messages) {
    ConfKey key;
    std::error_code code;
    bool present = std::filesystem::exists(path, code);
    if (present) {
        std::ifstream file(path, std::ios::binary);
        std::string bytes;
        if (file) {
            file.seekg(0, std::ios::end);
            std::streamoff length = file.tellg();
            file.seekg(0, std::ios::beg);
            if (length < 0 || size_t(length) > kMaxConfBytes) {
                messages.push_back(path + ": larger than a settings file can be, not read");
                record = Settings();
                record.Version = kSettingsVersion;
                return false;
            }
            bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        }
        if (!file && !file.eof()) {
            messages.push_back(path + ": cannot be read, the defaults are used");
            record = Settings();
            record.Version = kSettingsVersion;
            return false;
        }
        key.parse(bytes.data(), bytes.size());
        for (const std::string& problem : key.problems()) messages.push_back(path + ": " + problem);
    }
    loadSettingsFrom(key, record, steps);
    if (key.changed() || !present) {
        std::string error;
        if (!writeFile(path, key.text(), error)) messages.push_back(error);
    }
    return true;
}

std::string confText(const Settings& record) {
    ConfKey key;
    key.writeDword(record.Version, "Version");
    saveSettingsTo(key, record);
    return key.text();
}

bool saveConfFile(const std::string& path, const Settings& record, std::string& error) {
    return writeFile(path, confText(record), error);
}
