#include "control/favorites.h"

#include "effects/effects.h"
#include "base/instance.h"
#include "media/palettes.h"
#include "base/frame_steps.h"
#include "media/translations.h"

#include <cstring>

Favorite favorites[kMaxFavorites];
int favoriteCount = 0;
int currentFavorite = 0;
Forbidden forbiddens[kMaxForbiddens];
int forbiddenCount = 0;

namespace {
const char* description(const EffectEntry* table, int count, int index) {
    return index >= 0 && index < count ? table[index].description : "?";
}

const char* wildcardDescription(const EffectEntry* table, int count, int index) {
    return index < 0 ? "*" : description(table, count, index);
}
} // namespace

Favorite favoriteFromFields(const FavoriteFields& fields, unsigned number) {
    Favorite favorite = {fields.wave, fields.flame, 0, 0, static_cast<int>(number), fields.display};
    for (int i = 0; i < paletteCount; ++i)
        if (std::strcmp(paletteNames[i], fields.palette) == 0) {
            favorite.palette = i;
            break;
        }
    if (fields.translation[0])
        for (int i = 1; i <= translationCount; ++i)
            if (std::strcmp(translationNames[i], fields.translation) == 0) {
                favorite.translation = i;
                break;
            }
    return favorite;
}

FavoriteFields currentSelectionFields() {
    FavoriteFields fields = {};
    fields.wave = plugin.currentWave;
    fields.flame = plugin.currentFlame;
    if (plugin.currentPalette >= 0 && plugin.currentPalette < paletteCount)
        std::snprintf(fields.palette, sizeof fields.palette, "%s",
                      paletteNames[plugin.currentPalette]);
    std::snprintf(fields.translation, sizeof fields.translation, "%s", currentTranslationName());
    fields.display = plugin.currentDisplay;
    return fields;
}

void selectFavorite(int i) {
    if (i < 0 || i >= favoriteCount) return;
    const Favorite& favorite = favorites[i];
    plugin.currentWave = favorite.wave;
    plugin.currentFlame = favorite.flame;
    plugin.currentTranslation = favorite.translation;
    plugin.currentPalette = favorite.palette;
    plugin.currentDisplay = favorite.display;
    loadTranslation(currentTable, plugin.currentTranslation);
    applyPalette();
}

void stepFavorite(int direction) {
    if (favoriteCount == 0) return;
    currentFavorite += direction;
    if (currentFavorite > favoriteCount - 1) currentFavorite = 0;
    if (currentFavorite < 0) currentFavorite = favoriteCount - 1;
    selectFavorite(currentFavorite);
}

bool isAllowed(int wave, int flame, int display) {
    for (int i = 0; i < forbiddenCount; ++i) {
        const Forbidden& entry = forbiddens[i];
        if (entry.wave < 0 && entry.flame < 0 && entry.display < 0) continue;
        if ((entry.wave < 0 || entry.wave == wave) && (entry.flame < 0 || entry.flame == flame) &&
            (entry.display < 0 || entry.display == display))
            return false;
    }
    return true;
}

void favoriteLine(const Favorite& favorite, char* out, size_t size) {
    const char* palette = favorite.palette >= 0 && favorite.palette < paletteCount
                              ? paletteNames[favorite.palette]
                              : "";
    const char* translation = favorite.translation >= 1 && favorite.translation <= translationCount
                                  ? translationNames[favorite.translation]
                                  : "";
    std::snprintf(out, size, "%s --- %s --- %s --- %s --- %s",
                  description(waveTable, kWaveCount, favorite.wave),
                  description(flameTable, kFlameCount, favorite.flame), palette, translation,
                  description(displayTable, kDisplayCount, favorite.display));
}

void forbiddenLine(const Forbidden& forbidden, char* out, size_t size) {
    std::snprintf(out, size, "%s --- %s --- %s",
                  wildcardDescription(waveTable, kWaveCount, forbidden.wave),
                  wildcardDescription(flameTable, kFlameCount, forbidden.flame),
                  wildcardDescription(displayTable, kDisplayCount, forbidden.display));
}
