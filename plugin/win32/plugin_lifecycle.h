// The steps of Config, Init and Quit that belong to the settings, the effect resources and the
// selection, in the order the entry points run them.
#pragma once

// Config: settings, resolution, the file lists, favourites and forbiddens, the property sheet,
// and the settings saved whatever closed it. While a run is active only the settings record is
// reloaded and saved.
void runConfig(void* instance, void* parent, bool runActive);

void loadSettings(void* instance, void* parent);
void saveSettings();
// Quit with Save_On_Exit: the running selection back into the settings, then saved.
void saveRunningState();

void startBitmapLibrary();
void clearLoaderThreads();
// Init: translations, palettes and pictures listed, their buffers allocated or all loaded.
// False when a buffer the run needs cannot be obtained.
bool prepareEffectResources();
// Init: the live selection from the settings, the first translation, the loader threads,
// favourites and forbiddens.
void startSelectionFromSettings();
// Init: the first palette on the display (0 or a DirectDraw result).
long applyStartPalette();
// Quit (and a failed Init): the letter object, palettes, loader threads, tables, pictures,
// the bitmap library and the frame buffers, in that order, each free under its own guard.
void releaseRunResources();
