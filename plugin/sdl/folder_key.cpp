#include "sdl/folder_key.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {
// A record of the tables is at most a few hundred bytes; a larger file is no record.
constexpr std::uintmax_t kMaxRecordBytes = 4096;
} // namespace

FolderKey::FolderKey(std::string folder) : folder_(std::move(folder)) {
    if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
}

bool FolderKey::plainName(const char* name) {
    if (!*name || std::strlen(name) > 200) return false;
    for (const char* c = name; *c; ++c)
        if (!(std::isalnum(static_cast<unsigned char>(*c)) || *c == '_')) return false;
    return true;
}

std::string FolderKey::path(const char* name) const {
    return folder_ + name;
}

bool FolderKey::exists(const char* name) const {
    std::error_code code;
    return plainName(name) && fs::is_regular_file(path(name), code);
}

bool FolderKey::valueNameAt(unsigned index, char* name) {
    if (!listed_) {
        listed_ = true;
        names_.clear();
        std::error_code code;
        for (fs::directory_iterator it(folder_, code), end; !code && it != end;
             it.increment(code)) {
            const std::string file = it->path().filename().string();
            if (plainName(file.c_str()) && it->is_regular_file(code)) names_.push_back(file);
        }
        std::sort(names_.begin(), names_.end());
    }
    if (index >= names_.size()) return false;
    std::snprintf(name, 260, "%s", names_[index].c_str());
    return true;
}

bool FolderKey::readBinary(void* out, const char* name, size_t capacity, size_t* stored) const {
    if (!plainName(name)) return false;
    std::error_code code;
    const std::uintmax_t size = fs::file_size(path(name), code);
    if (code || size > kMaxRecordBytes) return false;
    std::ifstream file(path(name), std::ios::binary);
    if (!file) return false;
    std::vector<char> bytes(static_cast<size_t>(size));
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (size_t(file.gcount()) != bytes.size()) return false;
    *stored = bytes.size();
    std::memcpy(out, bytes.data(), std::min(capacity, bytes.size()));
    return true;
}

bool FolderKey::writeBinary(const void* data, const char* name, unsigned long count) {
    if (!plainName(name)) return false;
    std::error_code code;
    fs::create_directories(folder_, code);
    std::ofstream file(path(name), std::ios::binary | std::ios::trunc);
    file.write(static_cast<const char*>(data), static_cast<std::streamsize>(count));
    listed_ = false;
    return bool(file);
}
