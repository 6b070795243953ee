#include "plugin_lifecycle.h"

#include "effects.h"
#include "guard.h"
#include "instance.h"
#include "settings.h"

namespace {
const char kSource[] = "quorbel_plugin";
}

void runConfig(void* instance, void* parent) {
    loadSettings(instance, parent);
    applyResolution();
    saveSettings();
}

void loadSettings(void*, void*) {
    // Until the registry store lands every run starts from the defaults.
    settings = Settings();
}

void saveSettings() {}

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

bool prepareEffectResources() { return true; }

void startSelectionFromSettings() {
    plugin.randomLocked = settings.Random == 0;
    plugin.waveScale = settings.WaveScale >= 0 && settings.WaveScale <= 3 ? settings.WaveScale : 0;
    plugin.currentWave = settings.Wave;
    plugin.currentFlame = settings.Flame;
    plugin.currentDisplay = settings.Display_mode;
    plugin.dataSource = settings.DataSource;
    plugin.sampleBias = plugin.dataSource == 0 ? 128 : 0;
    plugin.nextTranslation = 0;
    plugin.currentTranslation = 0;
}

long applyStartPalette() { return 0; }

void releaseRunResources() {
    guarded(kSource, __LINE__, [] { freeFrameBuffers(); });
}
