#include "control/keys.h"

#include "effects/effects.h"
#include "control/favorites.h"
#include "base/instance.h"
#include "media/palettes.h"
#include "control/selection.h"
#include "media/translations.h"

void (*addFavoriteCommand)() = nullptr;

namespace {
constexpr unsigned kEscape = 0x1B;
constexpr unsigned kSpace = 0x20;

// The index is changed first, then compared with its bounds.
void step(int& value, bool backward, int count) {
    value += backward ? -1 : 1;
    if (value > count - 1) value = 0;
    if (value < 0) value = count - 1;
}

void toggleInput() {
    if (++plugin.dataSource > 1) {
        plugin.dataSource = 0;
        plugin.sampleBias = 128;
    } else {
        plugin.sampleBias = 0;
    }
}
} // namespace

KeyAction handleKeyCommand(unsigned vk, bool shift, bool ctrl) {
    switch (vk) {
    case kEscape:
        return KeyAction::Close;
    case kSpace:
        randomChange();
        break;
    case 'D':
        step(plugin.currentDisplay, shift, kDisplayCount);
        break;
    case 'F':
        step(plugin.currentFlame, shift, kFlameCount);
        plugin.currentTranslation = 0;
        break;
    case 'H':
        step(plugin.waveScale, shift, 4);
        break;
    case 'I':
        toggleInput();
        break;
    case 'L':
        plugin.randomLocked = !plugin.randomLocked;
        break;
    case 'M':
        if (ctrl) {
            if (addFavoriteCommand) addFavoriteCommand();
        } else {
            stepFavorite(shift ? -1 : 1);
        }
        break;
    case 'P':
        if (paletteCount > 0) {
            step(plugin.currentPalette, shift, paletteCount);
            applyPalette();
        }
        break;
    case 'S':
        if (ctrl)
            plugin.screenshotPending = true;
        else
            toggleInput();
        break;
    case 'T':
        step(plugin.currentTranslation, shift, translationCount + 1);
        plugin.currentFlame = 0;
        loadTranslation(currentTable, plugin.currentTranslation);
        break;
    case 'W':
        step(plugin.currentWave, shift, kWaveCount);
        break;
    default:
        return KeyAction::Forward;
    }
    return KeyAction::Handled;
}
