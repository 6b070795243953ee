#include "win32/plugin_lifecycle.h"

#include "win32/config_sheet.h"
#include "effects/effects.h"
#include "effects/objects.h"
#include "base/frame_steps.h"
#include "win32/favorites_store.h"
#include "control/keys.h"
#include "control/selection.h"
#include "gbm.h"
#include "media/palettes.h"
#include "media/pics.h"
#include "win32/presentation.h"
#include "win32/keymng.h"
#include "win32/loading_dialog.h"
#include "win32/settings_dialogs.h"
#include "media/translations.h"
#include "base/guard.h"
#include "base/instance.h"
#include "base/settings.h"

#include <cstdio>
#include <cstdlib>

namespace {
const char kSource[] = "quorbel_plugin";
}

namespace {
// Reads the settings into record, with the first-start dialogs owned by parent.
void loadSettingsInto(Settings& record, void* instance, void* parent) {
    struct Owner {
        void* instance;
        void* parent;
    } owner = {instance, parent};
    SettingsLoadSteps steps = {[](void* c) {
                                   const Owner* o = static_cast<const Owner*>(c);
                                   firstRunDialog(o->instance, o->parent);
                               },
                               [](void* c, int32_t stored) {
                                   const Owner* o = static_cast<const Owner*>(c);
                                   showWhatsNew(o->instance, o->parent, stored);
                               },
                               [](void*) { upgradeFavorites(); }, &owner};
    RegistryKey key;
    openQuorbelKey(key, nullptr);
    loadSettingsFrom(key, record, steps);
}

void saveSettingsFrom(const Settings& record) {
    RegistryKey key;
    if (openQuorbelKey(key, nullptr)) saveSettingsTo(key, record);
}
} // namespace

void runConfig(void* instance, void* parent, bool runActive) {
    if (runActive) {
        // A visualisation runs on another thread. It keeps the frame size, buffers, lists and
        // tables it started with, and the sheet shows those (the run only appends to the
        // favourite and forbidden tables). The sheet edits a copy that is saved; the run then
        // takes the copy's values, except the load-everything modes, which its tables and
        // loaders were set up for: those take effect at the next start.
        Settings edited = settings;
        loadSettingsInto(edited, instance, parent);
        showConfigurationSheetFor(instance, parent, edited);
        saveSettingsFrom(edited);
        edited.Load_All_Palettes = settings.Load_All_Palettes;
        edited.Load_All_Trans = settings.Load_All_Trans;
        edited.Load_All_Pics = settings.Load_All_Pics;
        settings = edited;
        return;
    }
    loadSettings(instance, parent);
    applyResolution();
    listTranslations();
    enumeratePalettes();
    listPictures();
    loadFavorites();
    loadForbiddens();
    showConfigurationSheet(instance, parent);
    saveSettings();
}

void loadSettings(void* instance, void* parent) {
    loadSettingsInto(settings, instance, parent);
}

void saveSettings() {
    saveSettingsFrom(settings);
}

void saveRunningState() {
    settings.Random = plugin.randomLocked ? 0 : 1;
    settings.Wave = plugin.currentWave;
    settings.WaveScale = plugin.waveScale;
    settings.Flame = plugin.currentFlame;
    settings.DataSource = plugin.dataSource;
    std::snprintf(settings.Palette, sizeof settings.Palette, "%s", currentPaletteName());
    std::snprintf(settings.Transformation, sizeof settings.Transformation, "%s",
                  currentTranslationName());
    saveSettings();
}

void startBitmapLibrary() {
    gbm_init();
}

void clearLoaderThreads() {}

bool prepareEffectResources() {
    listTranslations();
    if (!settings.Load_All_Trans) {
        if (!allocateTranslationBuffers()) return false;
    } else {
        runLoadingDialog(
            "Allocating and loading all translations...", translationCount,
            [](void (*progress)(int, void*), void* bar) { loadAllTranslations(progress, bar); });
    }
    enumeratePalettes();
    if (settings.Load_All_Palettes)
        runLoadingDialog("Loading all palettes...", paletteCount,
                         [](void (*progress)(int, void*), void* bar) {
                             struct Bar {
                                 void (*progress)(int, void*);
                                 void* bar;
                             } target = {progress, bar};
                             loadAllPalettes(
                                 [](int done, int, void* c) {
                                     const Bar* b = static_cast<const Bar*>(c);
                                     b->progress(done, b->bar);
                                 },
                                 &target);
                         });
    listPictures();
    if (settings.Load_All_Pics)
        runLoadingDialog(
            "Allocating and loading all pictures...", pictureCount,
            [](void (*progress)(int, void*), void* bar) { loadAllPictures(progress, bar); });
    return true;
}

void startSelectionFromSettings() {
    takeSelectionFromSettings();
    startTranslations();
    startPictures();
    loadFavorites();
    loadForbiddens();
    addFavoriteCommand = addFavorite;
}

long applyStartPalette() {
    displayPaletteHook = setDisplayPalette;
    return applyPalette();
}

void releaseRunResources() {
    freeLetterObject();
    if (settings.Load_All_Palettes) guarded("palettes", __LINE__, [] { freePalettes(); });
    shutDownPictures();
    shutDownTranslations();
    gbm_deinit();
    guarded(kSource, __LINE__, [] {
        std::free(plugin.currentBuffer);
        plugin.currentBuffer = nullptr;
    });
    guarded(kSource, __LINE__, [] {
        std::free(plugin.previousBuffer);
        plugin.previousBuffer = nullptr;
    });
}
