// RegistryKey: the only way the plug-in touches the registry. One object per operation,
// opened, used for a handful of values and closed when it goes out of scope.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

class RegistryKey {
  public:
    RegistryKey();
    virtual ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Opens (creating when missing) the sub-key under root with full access.
    bool open(HKEY root, const char* subKey);
    bool isOpen() const { return handle != nullptr; }

    bool exists(const char* name);
    int32_t readDword(const char* name);
    bool writeDword(int32_t value, const char* name);
    // Copies the stored text up to its first NUL, cut to capacity - 1 characters.
    bool readString(char* destination, const char* name, size_t capacity = 256);
    bool writeString(const char* text, const char* name);
    // Read-or-create: a missing value is written with the default and the default returned.
    int32_t getDword(int32_t fallback, const char* name);
    bool getString(char* destination, const char* fallback, const char* name,
                   size_t capacity = 256);
    // Copies at most capacity bytes of the stored record; storedSize receives the full size.
    bool readBinary(void* destination, const char* name, size_t capacity,
                    size_t* storedSize = nullptr);
    bool writeBinary(const void* data, const char* name, DWORD count);
    // The name of the value at index (capacity 260 characters; a longer name comes back cut to
    // its first 259); false past the last one.
    bool valueNameAt(DWORD index, char* name);
    bool deleteValue(const char* name);

  private:
    HKEY handle;
    HKEY root;
    char path[260];
};

// The plug-in's keys: "SOFTWARE\Quorbel\Quorbel-4-Winamp" and its sub-keys "Favorites" and
// "Forbidens" (subKey null for the settings key itself). HKEY_LOCAL_MACHINE comes first, so
// existing installations keep working; when it cannot be opened for writing (a player run
// without administrator rights) the same path under HKEY_CURRENT_USER is used.
bool openQuorbelKey(RegistryKey& key, const char* subKey);
