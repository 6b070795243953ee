#include "win32/keymng.h"

#include "base/guard.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
const char kSource[] = "keymng";
const char kSettingsPath[] = "SOFTWARE\\Quorbel\\Quorbel-4-Winamp";

#ifdef QUORBEL_TEST_HOOKS
// Test build: QUORBEL_TEST_DENY_HKLM=1 makes the machine-wide key fail to open, and
// QUORBEL_TEST_DENY_REGISTRY=1 makes every key fail.
bool denied(HKEY root) {
    if (std::getenv("QUORBEL_TEST_DENY_REGISTRY")) return true;
    return root == HKEY_LOCAL_MACHINE && std::getenv("QUORBEL_TEST_DENY_HKLM");
}
#else
bool denied(HKEY) {
    return false;
}
#endif

// Reads a value into a temporary buffer of its stored size and hands it to use().
template <class Use> bool readStored(HKEY handle, const char* name, Use use) {
    if (!handle) return false;
    DWORD size = 0;
    if (RegQueryValueExA(handle, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return false;
    BYTE* volatile buffer = nullptr;
    volatile bool ok = false;
    guarded(kSource, __LINE__, [&] {
        buffer = static_cast<BYTE*>(std::malloc(size ? size : 1));
        if (!buffer) return;
        DWORD read = size;
        if (RegQueryValueExA(handle, name, nullptr, nullptr, buffer, &read) != ERROR_SUCCESS)
            return;
        use(buffer, read);
        ok = true;
    });
    std::free(buffer);
    return ok;
}
} // namespace

RegistryKey::RegistryKey() : handle(nullptr), root(nullptr) {
    path[0] = '\0';
}

RegistryKey::~RegistryKey() {
    if (handle) RegCloseKey(handle);
}

bool RegistryKey::open(HKEY rootKey, const char* subKey) {
    if (handle) RegCloseKey(handle);
    handle = nullptr;
    if (denied(rootKey)) return false;
    HKEY opened = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(rootKey, subKey, 0, const_cast<char*>(""), REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &opened, &disposition) != ERROR_SUCCESS)
        return false;
    handle = opened;
    root = rootKey;
    std::snprintf(path, sizeof path, "%s", subKey);
    return true;
}

bool RegistryKey::exists(const char* name) {
    DWORD size = 0;
    return handle &&
           RegQueryValueExA(handle, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
}

int32_t RegistryKey::readDword(const char* name) {
    volatile int32_t value = 0;
    readStored(handle, name, [&](const BYTE* data, DWORD size) {
        int32_t number = 0;
        std::memcpy(&number, data, size < 4 ? size : 4);
        value = number;
    });
    return value;
}

bool RegistryKey::writeDword(int32_t value, const char* name) {
    if (!handle) return false;
    return RegSetValueExA(handle, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4) ==
           ERROR_SUCCESS;
}

bool RegistryKey::readString(char* destination, const char* name, size_t capacity) {
    if (capacity == 0) return false;
    destination[0] = '\0';
    return readStored(handle, name, [&](const BYTE* data, DWORD size) {
        size_t length = 0;
        while (length < size && data[length] && length + 1 < capacity) ++length;
        std::memcpy(destination, data, length);
        destination[length] = '\0';
    });
}

bool RegistryKey::writeString(const char* text, const char* name) {
    if (!handle) return false;
    return RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
}

int32_t RegistryKey::getDword(int32_t fallback, const char* name) {
    if (!handle) return 0;
    if (exists(name)) return readDword(name);
    return writeDword(fallback, name) ? fallback : 0;
}

bool RegistryKey::getString(char* destination, const char* fallback, const char* name,
                            size_t capacity) {
    if (capacity == 0) return false;
    destination[0] = '\0';
    if (!handle) return false;
    if (exists(name)) return readString(destination, name, capacity);
    if (!writeString(fallback, name)) return false;
    std::snprintf(destination, capacity, "%s", fallback);
    return true;
}

bool RegistryKey::readBinary(void* destination, const char* name, size_t capacity,
                             size_t* storedSize) {
    return readStored(handle, name, [&](const BYTE* data, DWORD size) {
        if (storedSize) *storedSize = size;
        std::memcpy(destination, data, size < capacity ? size : capacity);
    });
}

bool RegistryKey::writeBinary(const void* data, const char* name, DWORD count) {
    if (!handle) return false;
    return RegSetValueExA(handle, name, 0, REG_BINARY, static_cast<const BYTE*>(data), count) ==
           ERROR_SUCCESS;
}

bool RegistryKey::valueNameAt(DWORD index, char* name) {
    if (!handle) return false;
    DWORD length = 260;
    const LONG result =
        RegEnumValueA(handle, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_SUCCESS) return true;
    if (result != ERROR_MORE_DATA) return false;
    // A value exists here, but its name (written by hand: the registry allows 16383
    // characters) does not fit. Give its first 259 characters, which name no value of ours,
    // so that a walk goes on to the values after it instead of ending here.
    DWORD longest = 0;
    if (RegQueryInfoKeyA(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &longest, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    char* volatile full = nullptr;
    volatile bool ok = false;
    guarded(kSource, __LINE__, [&] {
        full = static_cast<char*>(std::malloc(longest + 1));
        if (!full) return;
        DWORD fullLength = longest + 1;
        if (RegEnumValueA(handle, index, full, &fullLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            return;
        std::snprintf(name, 260, "%s", full);
        ok = true;
    });
    std::free(full);
    return ok;
}

bool RegistryKey::deleteValue(const char* name) {
    return handle && RegDeleteValueA(handle, name) == ERROR_SUCCESS;
}

bool openQuorbelKey(RegistryKey& key, const char* subKey) {
    char path[300];
    if (subKey)
        std::snprintf(path, sizeof path, "%s\\%s", kSettingsPath, subKey);
    else
        std::snprintf(path, sizeof path, "%s", kSettingsPath);
    return key.open(HKEY_LOCAL_MACHINE, path) || key.open(HKEY_CURRENT_USER, path);
}
