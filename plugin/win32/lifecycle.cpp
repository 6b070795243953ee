#include "plugin_lifecycle.h"

#include "effects.h"
#include "favorites.h"
#include "keymng.h"
#include "loading_dialog.h"
#include "objects_hook.h"
#include "settings_dialogs.h"
#include "translations.h"
#include "guard.h"
#include "instance.h"
#include "settings.h"

#include <cstdlib>

namespace {
const char kSource[] = "quorbel_plugin";
}

void runConfig(void* instance, void* parent) {
    loadSettings(instance, parent);
    applyResolution();
    listTranslations();
    saveSettings();
}

void loadSettings(void* instance, void* parent) {
    struct Owner {
        void* instance;
        void* parent;
    } owner = {instance, parent};
    SettingsLoadSteps steps = {
        [](void* c) {
            const Owner* o = static_cast<const Owner*>(c);
            firstRunDialog(o->instance, o->parent);
        },
        [](void* c, int32_t stored) {
            const Owner* o = static_cast<const Owner*>(c);
            showWhatsNew(o->instance, o->parent, stored);
        },
        [](void*) { upgradeFavorites(); },
        &owner};
    RegistryKey key;
    openQuorbelKey(key, nullptr);
    loadSettingsFrom(key, settings, steps);
}

void saveSettings() {
    RegistryKey key;
    if (openQuorbelKey(key, nullptr)) saveSettingsTo(key, settings);
}

void saveRunningState() {
    settings.Random = plugin.randomLocked ? 0 : 1;
    settings.Wave = plugin.currentWave;
    settings.WaveScale = plugin.waveScale;
    settings.Flame = plugin.currentFlame;
    settings.DataSource = plugin.dataSource;
    saveSettings();
}

void startBitmapLibrary() {}

void clearLoaderThreads() {}

bool prepareEffectResources() {
    listTranslations();
    if (!settings.Load_All_Trans) {
        if (!allocateTranslationBuffers()) return false;
    } else {
        runLoadingDialog("Allocating and loading all translations...", translationCount,
                         [](void (*progress)(int, void*), void* bar) {
                             loadAllTranslations(progress, bar);
                         });
    }
    return true;
}

void startSelectionFromSettings() {
    plugin.randomLocked = settings.Random == 0;
    plugin.waveScale = settings.WaveScale >= 0 && settings.WaveScale <= 3 ? settings.WaveScale : 0;
    plugin.currentWave = settings.Wave;
    plugin.currentFlame = settings.Flame;
    plugin.currentDisplay = settings.Display_mode;
    plugin.dataSource = settings.DataSource;
    plugin.sampleBias = plugin.dataSource == 0 ? 128 : 0;
    startTranslations();
}

long applyStartPalette() { return 0; }

void releaseRunResources() {
    freeCurrentObject();
    shutDownTranslations();
    guarded(kSource, __LINE__, [] {
        std::free(plugin.currentBuffer);
        plugin.currentBuffer = nullptr;
    });
    guarded(kSource, __LINE__, [] {
        std::free(plugin.previousBuffer);
        plugin.previousBuffer = nullptr;
    });
}
