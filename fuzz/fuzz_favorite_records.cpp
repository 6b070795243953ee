// Fuzzes the stored forms of favourites and forbidden combinations and their loading.
//
// Input: one byte n, then n bytes of a value name (no terminator), then a record. The name
// and the record go through valueNumber, decodeFavorite, decodeForbidden and
// upgradeFavoriteRecord, each given an exactly sized copy so that AddressSanitizer sees any
// read or write past it; decoded records must encode and decode back to the same fields.
// Then a key in memory holds more values than the tables take (201 to 264), named
// "Favorite_%u"/"Forbiden_%u" or with the fuzzed name, holding the record as it is, cut short
// or repeated past the 526-byte record buffer, and both loads run over it: the tables must
// stay within their sizes and every loaded index within its list.
#include "control/favorite_records.h"
#include "control/favorites.h"
#include "media/palettes.h"
#include "media/translations.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {
void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
}

// The registry side of the loads, as RegistryKey offers it: names come back terminated within
// 260 characters, readBinary copies at most capacity bytes and tells the stored size. Value i
// is named "<prefix><i>" or, for every fourth, the fuzzed name (which then finds value 0);
// values point into buffers that outlive the key. Built anew for every input without
// allocating, so that the short run stays short.
struct MemoryKey {
    struct Value {
        const char* data = nullptr;
        size_t size = 0;
    };
    const char* prefix;
    std::string fuzzed; // as valueNameAt gives it: up to its first NUL, at most 259 characters
    std::vector<Value> values;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> written;

    MemoryKey(const char* valuePrefix, const std::string& fuzzedName)
        : prefix(valuePrefix),
          fuzzed(fuzzedName.c_str(), std::min<size_t>(std::strlen(fuzzedName.c_str()), 259)) {}

    static bool fuzzedAt(unsigned i) { return i % 4 == 0; }

    // The value of that name: its index, values.size() + k for the k-th written one, or -1.
    long find(const char* name) const {
        for (size_t k = 0; k < written.size(); ++k)
            if (written[k].first == name) return static_cast<long>(values.size() + k);
        if (fuzzed == name && !values.empty()) return 0;
        const size_t length = std::strlen(prefix);
        if (std::strncmp(name, prefix, length) != 0) return -1;
        const char* digits = name + length;
        if (!*digits || (digits[0] == '0' && digits[1]) || std::strlen(digits) > 6) return -1;
        unsigned i = 0;
        for (const char* c = digits; *c; ++c) {
            if (*c < '0' || *c > '9') return -1;
            i = i * 10 + static_cast<unsigned>(*c - '0');
        }
        return i < values.size() && !fuzzedAt(i) ? static_cast<long>(i) : -1;
    }
    bool exists(const char* name) const { return find(name) >= 0; }
    bool valueNameAt(unsigned index, char* name) const {
        if (index >= values.size() + written.size()) return false;
        if (index >= values.size()) {
            std::snprintf(name, 260, "%s", written[index - values.size()].first.c_str());
        } else if (fuzzedAt(index)) {
            std::memcpy(name, fuzzed.c_str(), fuzzed.size() + 1);
        } else {
            std::snprintf(name, 260, "%s%u", prefix, index);
        }
        return true;
    }
    bool readBinary(void* out, const char* name, size_t capacity, size_t* stored) const {
        const long at = find(name);
        if (at < 0) return false;
        const uint8_t* data;
        size_t size;
        if (static_cast<size_t>(at) >= values.size()) {
            const std::vector<uint8_t>& v = written[at - values.size()].second;
            data = v.data();
            size = v.size();
        } else {
            data = reinterpret_cast<const uint8_t*>(values[at].data);
            size = values[at].size;
        }
        if (stored) *stored = size;
        if (size) std::memcpy(out, data, std::min(capacity, size));
        return true;
    }
    bool writeBinary(const void* data, const char* name, unsigned long count) {
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        written.emplace_back(name, std::vector<uint8_t>(bytes, bytes + count));
        return true;
    }
};

void setLists() {
    static bool done = false;
    if (done) return;
    done = true;
    const char* palettes[] = {"VOLCANO.MAP", "AMBER.MAP", "P.MAP"};
    paletteCount = 3;
    for (int i = 0; i < paletteCount; ++i)
        std::snprintf(paletteNames[i], sizeof paletteNames[i], "%s", palettes[i]);
    translationCount = 2;
    std::snprintf(translationNames[1], sizeof translationNames[1], "%s", "rotate.tab");
    std::snprintf(translationNames[2], sizeof translationNames[2], "%s", "space.tab");
}

int32_t wholeInt(const uint8_t* data) {
    return static_cast<int32_t>(data[0] | data[1] << 8 | data[2] << 16 |
                                static_cast<uint32_t>(data[3]) << 24);
}

bool sameFavorite(const FavoriteFields& a, const FavoriteFields& b) {
    return a.wave == b.wave && a.flame == b.flame && a.display == b.display &&
           std::strcmp(a.palette, b.palette) == 0 && std::strcmp(a.translation, b.translation) == 0;
}

void fuzzRecord(const std::vector<uint8_t>& record) {
    // Exactly sized copies: a read past the record is a heap overflow.
    std::vector<uint8_t> exact(record);
    const uint8_t* data = exact.empty() ? nullptr : exact.data();
    static const uint8_t empty[1] = {0};
    if (!data) data = empty;

    FavoriteFields fields;
    if (decodeFavorite(data, exact.size(), fields)) {
        check(std::strlen(fields.palette) < kNameSize, "palette name within its field");
        check(std::strlen(fields.translation) < kNameSize, "translation name within its field");
        for (int32_t v : {fields.wave, fields.flame, fields.display})
            check(v >= -128 && v <= 127, "fields are signed low bytes");
        std::vector<uint8_t> encoded(kRecordBufferSize);
        const size_t length = encodeFavorite(fields, encoded.data(), encoded.size());
        check(length == 14 + std::strlen(fields.palette) + std::strlen(fields.translation),
              "encoded length is 14 + Lp + Lt");
        encoded.resize(length);
        FavoriteFields back;
        check(decodeFavorite(encoded.data(), encoded.size(), back), "encoded record decodes");
        check(sameFavorite(fields, back), "favourite round trip");
    }

    ForbiddenFields forbidden;
    if (decodeForbidden(data, exact.size(), forbidden)) {
        check(exact.size() >= 12, "forbidden records have 12 bytes");
        std::vector<uint8_t> encoded(12);
        check(encodeForbidden(forbidden, encoded.data(), encoded.size()) == 12, "12 bytes");
        ForbiddenFields back;
        check(decodeForbidden(encoded.data(), encoded.size(), back), "forbidden decodes");
        check(back.wave == forbidden.wave && back.flame == forbidden.flame &&
                  back.display == forbidden.display,
              "forbidden round trip");
    } else {
        check(exact.size() < 12, "every 12-byte record is a forbidden");
    }

    // The upgrade into a buffer of the record buffer's size plus the new field, and into one
    // that may be too small.
    for (size_t capacity : {kRecordBufferSize + 4, exact.size() + 3}) {
        std::vector<uint8_t> out(capacity ? capacity : 1);
        const size_t length = upgradeFavoriteRecord(data, exact.size(), out.data(), capacity);
        if (!length) continue;
        check(length <= capacity, "the upgrade stays within its buffer");
        FavoriteFields old, upgraded;
        check(decodeFavorite(data, exact.size(), old), "only readable records are upgraded");
        out.resize(length);
        check(decodeFavorite(out.data(), out.size(), upgraded), "the upgrade decodes");
        check(upgraded.display == 0, "the upgrade adds display 0");
        int32_t wave = wholeInt(data);
        wave = wave >= 18 && wave <= 20 ? 18 : wave == 21 ? 19 : wave;
        check(wholeInt(out.data()) == wave, "waves 18..20 become 18, 21 becomes 19");
        check(wholeInt(out.data() + 4) == wholeInt(data + 4), "the flame is kept whole");
        check(std::strcmp(old.palette, upgraded.palette) == 0 &&
                  std::strcmp(old.translation, upgraded.translation) == 0,
              "the names are kept");
    }
}

void fuzzLoads(const std::string& name, const std::vector<uint8_t>& record) {
    // The record repeated past the record buffer, for the values longer than it.
    std::vector<uint8_t> repeated;
    if (!record.empty())
        while (repeated.size() < kRecordBufferSize + 100)
            repeated.insert(repeated.end(), record.begin(), record.end());

    MemoryKey favoritesKey("Favorite_", name), forbiddensKey("Forbiden_", name);
    const unsigned count = 201 + (record.empty() ? 0 : record[0] % 64);
    for (unsigned i = 0; i < count; ++i) {
        MemoryKey::Value value;
        value.data = reinterpret_cast<const char*>(record.data());
        value.size = record.size();
        if (i % 3 == 1 && !repeated.empty()) {
            value.data = reinterpret_cast<const char*>(repeated.data());
            value.size = kRecordBufferSize + 1 + i % 99;
        } else if (i % 3 == 2) {
            value.size = (i * 13) % (record.size() + 1);
        }
        favoritesKey.values.push_back(value);
        forbiddensKey.values.push_back(value);
    }

    loadFavoritesFrom(favoritesKey);
    check(favoriteCount >= 0 && favoriteCount <= kMaxFavorites, "at most 200 favourites");
    char line[1400];
    for (int i = 0; i < favoriteCount; ++i) {
        const Favorite& f = favorites[i];
        check(f.palette >= 0 && f.palette < paletteCount, "palette within the list");
        check(f.translation >= 0 && f.translation <= translationCount,
              "translation within the list");
        if (i % 16 == 0 || i == favoriteCount - 1) favoriteLine(f, line, sizeof line);
    }
    loadForbiddensFrom(forbiddensKey);
    check(forbiddenCount >= 0 && forbiddenCount <= kMaxForbiddens, "at most 100 forbiddens");
    for (int i = 0; i < forbiddenCount; i += 16) forbiddenLine(forbiddens[i], line, sizeof line);
    for (int wave = -1; wave < 21; wave += 7) isAllowed(wave, wave & 15, wave & 3);

    // Adding to a full table neither overflows it nor the numbering.
    addFavoriteTo(favoritesKey);
    check(favoriteCount <= kMaxFavorites, "an add keeps the table size");
    addForbiddenTo(forbiddensKey, -1, -1, -1);
    check(forbiddenCount <= kMaxForbiddens, "an add keeps the table size");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    setLists();
    if (size == 0) return 0;
    const size_t nameLength = std::min<size_t>(data[0], size - 1);
    // The name as bytes with no terminator of its own; a NUL inside ends it as a C string.
    const std::string name(reinterpret_cast<const char*>(data + 1), nameLength);
    const std::vector<uint8_t> record(data + 1 + nameLength, data + size);

    std::vector<char> terminated(name.begin(), name.end());
    terminated.push_back('\0');
    valueNumber(terminated.data());

    fuzzRecord(record);
    fuzzLoads(name, record);
    return 0;
}
