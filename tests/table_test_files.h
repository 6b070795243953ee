// Helpers for the translation table tests: a temporary folder that removes itself, whole-file
// reads and record access.
#pragma once
#include "media/translation_table.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

class TempFolder {
  public:
    TempFolder() {
        char pattern[] = "/tmp/quorbel_tables_XXXXXX";
        const char* made = mkdtemp(pattern);
        path_ = made ? made : "/tmp";
    }
    ~TempFolder() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

inline std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

// The records of a table file, decoded little-endian (a trailing partial record is dropped).
inline std::vector<uint32_t> readRecords(const std::string& path) {
    const std::vector<uint8_t> bytes = readBytes(path);
    std::vector<uint32_t> records(bytes.size() / 4);
    for (size_t i = 0; i < records.size(); ++i) records[i] = decodeRecord(&bytes[i * 4]);
    return records;
}

inline void writeRecords(const std::string& path, const std::vector<uint32_t>& records) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    writeTranslationRecords(f, records.data(), records.size());
    std::fclose(f);
}

// FNV-1a over a whole file: pins generated tables without committing 1.2 MB files.
inline uint64_t fileHash(const std::string& path) {
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : readBytes(path)) h = (h ^ b) * 1099511628211ull;
    return h;
}
