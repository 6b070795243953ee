#include "control/favorite_records.h"

#include <cstring>

namespace {
void putInt(uint8_t* out, int32_t value) {
    const uint32_t v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

int32_t lowByte(const uint8_t* data) {
    return static_cast<int8_t>(data[0]);
}

size_t boundedLength(const char* text) {
    size_t length = 0;
    while (length < kNameSize - 1 && text[length]) ++length;
    return length;
}

// Copies a NUL-terminated name that starts at data[at] and must end before limit; false when
// no terminator is found.
bool readName(const uint8_t* data, size_t at, size_t limit, char* name, size_t* next) {
    for (size_t end = at; end < limit; ++end) {
        if (data[end]) continue;
        size_t length = end - at;
        if (length > kNameSize - 1) length = kNameSize - 1;
        std::memcpy(name, data + at, length);
        name[length] = '\0';
        *next = end + 1;
        return true;
    }
    return false;
}
} // namespace

size_t encodeFavorite(const FavoriteFields& fields, uint8_t* out, size_t capacity) {
    const size_t lp = boundedLength(fields.palette);
    const size_t lt = boundedLength(fields.translation);
    const size_t length = 14 + lp + lt;
    if (length > capacity) return 0;
    putInt(out, fields.wave);
    putInt(out + 4, fields.flame);
    std::memcpy(out + 8, fields.palette, lp);
    out[8 + lp] = 0;
    std::memcpy(out + 9 + lp, fields.translation, lt);
    out[9 + lp + lt] = 0;
    putInt(out + 10 + lp + lt, fields.display);
    return length;
}

bool decodeFavorite(const uint8_t* data, size_t length, FavoriteFields& fields) {
    if (length < 10) return false;
    size_t at = 8;
    if (!readName(data, at, length, fields.palette, &at)) return false;
    if (!readName(data, at, length, fields.translation, &at)) return false;
    fields.wave = lowByte(data);
    fields.flame = lowByte(data + 4);
    fields.display = at + 4 <= length ? lowByte(data + at) : 0;
    return true;
}

size_t upgradeFavoriteRecord(const uint8_t* data, size_t length, uint8_t* out, size_t capacity) {
    FavoriteFields fields;
    if (!decodeFavorite(data, length, fields)) return 0;
    // Keep the stored integers whole apart from the wave renumbering.
    int32_t wave = static_cast<int32_t>(data[0] | data[1] << 8 | data[2] << 16 |
                                        static_cast<uint32_t>(data[3]) << 24);
    if (wave == 18 || wave == 19 || wave == 20)
        wave = 18;
    else if (wave == 21)
        wave = 19;
    fields.wave = wave;
    fields.flame = static_cast<int32_t>(data[4] | data[5] << 8 | data[6] << 16 |
                                        static_cast<uint32_t>(data[7]) << 24);
    fields.display = 0;
    return encodeFavorite(fields, out, capacity);
}

size_t encodeForbidden(const ForbiddenFields& fields, uint8_t* out, size_t capacity) {
    if (capacity < 12) return 0;
    putInt(out, fields.wave);
    putInt(out + 4, fields.flame);
    putInt(out + 8, fields.display);
    return 12;
}

bool decodeForbidden(const uint8_t* data, size_t length, ForbiddenFields& fields) {
    if (length < 12) return false;
    fields.wave = lowByte(data);
    fields.flame = lowByte(data + 4);
    fields.display = lowByte(data + 8);
    return true;
}

unsigned valueNumber(const char* name) {
    const char* underscore = std::strchr(name, '_');
    if (!underscore) return 0;
    // A number too large for 32 bits (a value written by hand) stays at the largest one instead
    // of wrapping onto a small number that a real entry may have.
    const unsigned largest = 0xFFFFFFFFu;
    unsigned number = 0;
    for (const char* c = underscore + 1; *c >= '0' && *c <= '9'; ++c) {
        const unsigned digit = static_cast<unsigned>(*c - '0');
        number = number > (largest - digit) / 10 ? largest : number * 10 + digit;
    }
    return number;
}
