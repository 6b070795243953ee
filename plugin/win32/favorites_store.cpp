#include "win32/favorites_store.h"

#include "control/favorite_records.h"
#include "control/favorites.h"
#include "win32/keymng.h"

#include <cstdio>

namespace {
bool deleteNumbered(const char* subKey, const char* format, unsigned number) {
    RegistryKey key;
    if (!openQuorbelKey(key, subKey)) return false;
    char name[32];
    std::snprintf(name, sizeof name, format, number);
    return key.deleteValue(name);
}
} // namespace

void loadFavorites() {
    RegistryKey key;
    openQuorbelKey(key, "Favorites");
    loadFavoritesFrom(key);
}

void addFavorite() {
    RegistryKey key;
    openQuorbelKey(key, "Favorites");
    addFavoriteTo(key);
}

bool deleteFavorite(unsigned number) {
    return deleteNumbered("Favorites", "Favorite_%u", number);
}

void loadForbiddens() {
    RegistryKey key;
    openQuorbelKey(key, "Forbidens");
    loadForbiddensFrom(key);
}

unsigned addForbidden(int wave, int flame, int display) {
    RegistryKey key;
    openQuorbelKey(key, "Forbidens");
    return addForbiddenTo(key, wave, flame, display);
}

bool deleteForbidden(unsigned number) {
    return deleteNumbered("Forbidens", "Forbiden_%u", number);
}

void upgradeFavorites() {
    RegistryKey key;
    if (!openQuorbelKey(key, "Favorites")) return;
    char name[260];
    for (DWORD index = 0; key.valueNameAt(index, name); ++index) {
        uint8_t stored[kRecordBufferSize];
        size_t length = 0;
        if (!key.readBinary(stored, name, sizeof stored, &length)) continue;
        if (length > sizeof stored) continue; // not a record this version wrote
        uint8_t upgraded[kRecordBufferSize + 4];
        const size_t newLength = upgradeFavoriteRecord(stored, length, upgraded, sizeof upgraded);
        if (newLength) key.writeBinary(upgraded, name, static_cast<DWORD>(newLength));
    }
}
