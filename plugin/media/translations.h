// Translation tables in use: the list of tabs\*.tab, the current table and the one the
// background loader prepares, all tables at once when "Load_All_Trans" is set, and the
// per-frame step.
#pragma once
#include "base/loader_thread.h"

#include <cstdint>

constexpr int kMaxTranslations = 99; // entry 0 of the name list stands for none

extern char translationNames[kMaxTranslations + 1][256];
extern int translationCount;
extern uint32_t* currentTable;
extern uint32_t* spareTable;
extern uint32_t* preloadedTables[kMaxTranslations + 1];
extern LoaderThread translationLoader;

// Lists the tables (files beyond the 99th are ignored) and sets currentTranslation to the
// position of the "Transformation" setting, compared exactly.
void listTranslations();

// Makes table `index` available: with Load_All_Trans currentTable points at the preloaded
// table; otherwise the file is read into target. A file that cannot be opened sets index to 0.
void loadTranslation(uint32_t* target, int& index);

// The two tables of the load-ahead mode. False when either cannot be obtained.
bool allocateTranslationBuffers();

// Loads every listed table into preloadedTables, calling progress(i - 1) before table i and
// progress(count) at the end.
void loadAllTranslations(void (*progress)(int position, void* context), void* context);

// With Load_All_Trans selects the preloaded current table; otherwise starts the loader for
// nextTranslation unless one runs.
bool startNextTranslationLoad();
bool translationLoaderBusy();

// The random change's hand-over: when the loader is idle the prepared table becomes current,
// the next one is drawn and its load started. Returns false (nothing changed) while it runs.
bool takePreparedTranslation();

// Start-up after listing: the next table drawn, the current one loaded, the loader started.
void startTranslations();

// Quit: waits at most 60,000 ms for the loader, then frees the tables. Tables a loader still
// writes are left allocated.
void shutDownTranslations();
