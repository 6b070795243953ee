// The favourites and forbiddens of the native program: the binary records of the registry's
// keys, one file per value in a folder beside the settings file, named after the value. The
// key operations are those the favourite tables are templates over.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

class FolderKey {
  public:
    // The folder is created at the first write.
    explicit FolderKey(std::string folder);
    bool exists(const char* name) const;
    // The value names in the order of their names (as the folder lists them, sorted).
    bool valueNameAt(unsigned index, char* name);
    bool readBinary(void* out, const char* name, size_t capacity, size_t* stored) const;
    // Written beside the record and renamed over it once it is on the disk, so that a failed
    // write (a full disk) leaves the folder as it was. False when it failed: counted, with the
    // reason in lastError().
    bool writeBinary(const void* data, const char* name, unsigned long count);
    unsigned failedWrites() const { return failedWrites_; }
    const std::string& lastError() const { return lastError_; }

  private:
    // Only names the favourite tables write: letters, digits and '_'.
    static bool plainName(const char* name);
    std::string path(const char* name) const;
    std::string folder_;
    std::vector<std::string> names_;
    bool listed_ = false;
    unsigned failedWrites_ = 0;
    std::string lastError_;
};
