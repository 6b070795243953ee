// The stored forms of favourites and forbidden combinations (binary registry values,
// little-endian): encoding, decoding with every bound checked, and the 1.40 upgrade.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t kRecordBufferSize = 526;
constexpr int kMaxFavorites = 200;
constexpr int kMaxForbiddens = 100;
constexpr int kNameSize = 256;

struct FavoriteFields {
    int32_t wave;
    int32_t flame;
    char palette[kNameSize];
    char translation[kNameSize];
    int32_t display;
};

struct ForbiddenFields {
    int32_t wave, flame, display; // -1 for any
};

// wave, flame, palette name, translation name, display: 14 + Lp + Lt bytes. Names longer than
// 255 characters are cut. Returns the length written into out (capacity at least
// kRecordBufferSize).
size_t encodeFavorite(const FavoriteFields& fields, uint8_t* out, size_t capacity);

// Reads a stored favourite of length bytes. The integers are taken from their low bytes as
// signed 8-bit values. False when the record is shorter than its fixed fields or a name has no
// terminator inside it; a missing display field reads as 0.
bool decodeFavorite(const uint8_t* data, size_t length, FavoriteFields& fields);

// A 1.40 favourite (no display field) into the current form: waves 18, 19 and 20 become 18
// and 21 becomes 19, and a display field of 0 follows the translation name. Returns the new
// length, or 0 when the record cannot be read.
size_t upgradeFavoriteRecord(const uint8_t* data, size_t length, uint8_t* out, size_t capacity);

// Forbidden records: 12 bytes.
size_t encodeForbidden(const ForbiddenFields& fields, uint8_t* out, size_t capacity);
bool decodeForbidden(const uint8_t* data, size_t length, ForbiddenFields& fields);

// The decimal number after the first '_' of a value name ("Favorite_12" gives 12); 0 when
// none follows.
unsigned valueNumber(const char* name);
