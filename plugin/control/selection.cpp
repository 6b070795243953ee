#include "control/selection.h"

#include "effects/effects.h"
#include "control/favorites.h"
#include "base/frame_steps.h"
#include "base/instance.h"
#include "media/palettes.h"
#include "base/random.h"
#include "base/settings.h"
#include "media/translations.h"

namespace {
// Forbiddens that exclude every triple must not hang the change: after this many draws the
// last triple drawn stays.
constexpr int kMaxDraws = 1000;
} // namespace

void randomChange() {
    plugin.currentPalette = paletteCount > 0 ? randomNext() % paletteCount : 0;
    for (int draw = 0; draw < kMaxDraws; ++draw) {
        plugin.currentWave = randomNext() % kWaveCount;
        plugin.currentFlame = randomNext() % kFlameCount;
        const int r = randomNext() % 6;
        plugin.currentDisplay = r < 3 ? 0 : r - 2;
        if (isAllowed(plugin.currentWave, plugin.currentFlame, plugin.currentDisplay)) break;
    }
    if (randomNext() % 16 < 6 && translationCount > 0) {
        plugin.currentFlame = 0;
        takePreparedTranslation();
    } else {
        plugin.currentTranslation = 0;
    }
    applyPalette();
}

const char* currentPaletteName() {
    return plugin.currentPalette >= 0 && plugin.currentPalette < paletteCount
               ? paletteNames[plugin.currentPalette]
               : "";
}

void takeSelectionFromSettings() {
    plugin.randomLocked = settings.Random == 0;
    plugin.waveScale = settings.WaveScale >= 0 && settings.WaveScale <= 3 ? settings.WaveScale : 0;
    plugin.currentWave = settings.Wave;
    plugin.currentFlame = settings.Flame;
    plugin.currentDisplay = settings.Display_mode;
    plugin.dataSource = settings.DataSource;
    plugin.sampleBias = plugin.dataSource == 0 ? 128 : 0;
}
