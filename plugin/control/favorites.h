// Favourites (bookmarked effects recalled with M and Shift-M) and forbidden combinations
// (never chosen by the random change): the in-memory tables, and their registry side written
// once for any key type with the operations of the plug-in's registry key (exists,
// valueNameAt, readBinary, writeBinary), so that tests can use a key in memory.
#pragma once
#include "control/favorite_records.h"

#include <cstddef>
#include <cstdio>

struct Favorite {
    int wave, flame, translation, palette, number, display;
};
struct Forbidden {
    int wave, flame, number, display; // -1 for any
};

extern Favorite favorites[kMaxFavorites];
extern int favoriteCount;
extern int currentFavorite;
extern Forbidden forbiddens[kMaxForbiddens];
extern int forbiddenCount;

// A decoded record as a table entry: palette and translation names turned into list positions
// (a name no longer listed gives the first palette and no translation).
Favorite favoriteFromFields(const FavoriteFields& fields, unsigned number);
// The live selection as a record.
FavoriteFields currentSelectionFields();

// Applies favourite i as stored (forbiddens do not apply to favourites), loads its table and
// applies its palette. Positions without an entry do nothing.
void selectFavorite(int i);
// M (+1) and Shift-M (-1): the next or previous favourite with wrap-around, then selected.
void stepFavorite(int direction);

// True when no forbidden entry rejects the triple. An entry rejects exactly when every one of
// its fields that is not -1 matches; an entry of three wildcards rejects nothing.
bool isAllowed(int wave, int flame, int display);

// The list lines of the configuration pages.
void favoriteLine(const Favorite& favorite, char* out, size_t size);
void forbiddenLine(const Forbidden& forbidden, char* out, size_t size);

// Walks every value of key in registry order, reading each record into a 526-byte buffer,
// while count stays below limit; store(name, record, length) decodes and keeps one.
template <class Key, class Store>
void forEachRecord(Key& key, const int& count, int limit, Store store) {
    char name[260];
    uint8_t record[kRecordBufferSize];
    for (unsigned index = 0; count < limit && key.valueNameAt(index, name); ++index) {
        size_t stored = 0;
        if (key.readBinary(record, name, sizeof record, &stored))
            store(name, record, stored < sizeof record ? stored : sizeof record);
    }
}

template <class Key> void loadFavoritesFrom(Key& key) {
    favoriteCount = 0;
    forEachRecord(key, favoriteCount, kMaxFavorites,
                  [](const char* name, const uint8_t* record, size_t length) {
                      FavoriteFields fields;
                      if (decodeFavorite(record, length, fields))
                          favorites[favoriteCount++] =
                              favoriteFromFields(fields, valueNumber(name));
                  });
}

// Ctrl-M: stores the live selection under the lowest free number from 0 (at most 200) and
// appends it to the table, also when the registry write failed.
template <class Key> void addFavoriteTo(Key& key) {
    char name[32];
    unsigned n = 0;
    for (;; ++n) {
        std::snprintf(name, sizeof name, "Favorite_%u", n);
        if (n >= kMaxFavorites || !key.exists(name)) break;
    }
    if (n >= kMaxFavorites) return;
    const FavoriteFields fields = currentSelectionFields();
    uint8_t record[kRecordBufferSize];
    const size_t length = encodeFavorite(fields, record, sizeof record);
    key.writeBinary(record, name, static_cast<unsigned long>(length));
    if (favoriteCount >= kMaxFavorites) return;
    favorites[favoriteCount] = favoriteFromFields(fields, n);
    currentFavorite = favoriteCount++;
}

template <class Key> void loadForbiddensFrom(Key& key) {
    forbiddenCount = 0;
    forEachRecord(key, forbiddenCount, kMaxForbiddens,
                  [](const char* name, const uint8_t* record, size_t length) {
                      ForbiddenFields fields;
                      if (decodeForbidden(record, length, fields))
                          forbiddens[forbiddenCount++] = {fields.wave, fields.flame,
                                                          static_cast<int>(valueNumber(name)),
                                                          fields.display};
                  });
}

// Stores a forbidden combination under the lowest free number from 1 (below 100); the number,
// or 0 when nothing was added.
template <class Key> unsigned addForbiddenTo(Key& key, int wave, int flame, int display) {
    char name[32];
    unsigned n = 1;
    for (;; ++n) {
        std::snprintf(name, sizeof name, "Forbiden_%u", n);
        if (n >= kMaxForbiddens || !key.exists(name)) break;
    }
    if (n >= kMaxForbiddens) return 0;
    uint8_t record[12];
    encodeForbidden({wave, flame, display}, record, sizeof record);
    key.writeBinary(record, name, 12ul);
    if (forbiddenCount < kMaxForbiddens)
        forbiddens[forbiddenCount++] = {wave, flame, static_cast<int>(n), display};
    return n;
}
