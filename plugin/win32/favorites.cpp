#include "favorites.h"

#include "favorite_records.h"
#include "keymng.h"

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
