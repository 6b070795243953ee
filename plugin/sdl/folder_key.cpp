#include "sdl/folder_key.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

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
    listed_ = false;
    const std::string target = path(name);
    // Not a plain name, so never listed as a record.
    const std::string temporary = target + ".new";
    const auto fail = [&](const std::string& what, int code) {
        lastError_ = "cannot store " + target + ": " + what + (code ? ": " : "") +
                     (code ? std::strerror(code) : "");
        ++failedWrites_;
        return false;
    };
    std::error_code made;
    fs::create_directories(folder_, made);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return fail("cannot create " + temporary, errno);
    const char* bytes = static_cast<const char*>(data);
    size_t left = count;
    int code = 0;
    while (left > 0) {
        const ssize_t wrote = ::write(fd, bytes, left);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            code = wrote < 0 ? errno : ENOSPC;
            break;
        }
        bytes += wrote;
        left -= size_t(wrote);
    }
    // On the disk before it takes the record's name (a device such as a pipe cannot sync, and
    // needs not).
    if (!code && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) code = errno;
    if (::close(fd) != 0 && !code && errno != EINTR) code = errno;
    std::error_code removed;
    if (code) {
        fs::remove(temporary, removed);
        return fail("cannot write", code);
    }
    std::error_code renamed;
    fs::rename(temporary, target, renamed);
    if (renamed) {
        fs::remove(temporary, removed);
        return fail(renamed.message(), 0);
    }
    return true;
}
