#include "media/translations.h"

#include "base/file_lists.h"
#include "base/frame_steps.h"
#include "base/guard.h"
#include "base/instance.h"
#include "base/paths.h"
#include "base/random.h"
#include "base/settings.h"
#include "media/translation_table.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {
const char kSource[] = "translations";

size_t tableBytes() {
    return static_cast<size_t>(plugin.frameWidth) * plugin.frameHeight * sizeof(uint32_t);
}

// Reads table `index` into target through a row buffer of its own; false when the file
// cannot be opened.
bool readListed(uint32_t* target, int index) {
    volatile bool opened = true;
    uint8_t* volatile rowBuffer = nullptr;
    guarded(kSource, __LINE__,
            [&] { rowBuffer = static_cast<uint8_t*>(std::malloc(kTableRowBytes)); });
    if (!rowBuffer) return true; // no memory: skipped silently
    static thread_local char path[1024];
    const std::string folder = dataFolder("tabs");
    std::snprintf(path, sizeof path, "%s%s", folder.c_str(), translationNames[index]);
    guarded(kSource, __LINE__, [&] {
        opened =
            readTranslationTable(path, target, plugin.frameWidth, plugin.frameHeight, rowBuffer);
    });
    guarded(kSource, __LINE__, [&] { std::free(rowBuffer); });
    return opened;
}

void loaderBody(void*) {
    guarded(kSource, __LINE__, [] { loadTranslation(spareTable, plugin.nextTranslation); });
}

void freeTable(uint32_t*& table) {
    guarded(kSource, __LINE__, [&] { std::free(table); });
    table = nullptr;
}
} // namespace

char translationNames[kMaxTranslations + 1][256];
int translationCount = 0;
uint32_t* currentTable = nullptr;
uint32_t* spareTable = nullptr;
uint32_t* preloadedTables[kMaxTranslations + 1];
LoaderThread translationLoader;

void listTranslations() {
    translationCount =
        listNumberedFiles(kSource, "tabs", ".tab", translationNames, kMaxTranslations,
                          settings.Transformation, &plugin.currentTranslation);
}

void loadTranslation(uint32_t* target, int& index) {
    if (settings.Load_All_Trans) {
        currentTable = index >= 1 && index <= translationCount ? preloadedTables[index] : nullptr;
        return;
    }
    if (translationCount < 1 || index < 1 || index > translationCount || !target) return;
    if (!readListed(target, index)) index = 0;
}

bool allocateTranslationBuffers() {
    guarded(kSource, __LINE__, [] {
        currentTable = static_cast<uint32_t*>(std::calloc(tableBytes(), 1));
        spareTable = static_cast<uint32_t*>(std::calloc(tableBytes(), 1));
    });
    return currentTable && spareTable;
}

void loadAllTranslations(void (*progress)(int position, void* context), void* context) {
    for (int i = 1; i <= translationCount; ++i) {
        if (progress) progress(i - 1, context);
        uint32_t* table = nullptr;
        guarded(kSource, __LINE__,
                [&] { table = static_cast<uint32_t*>(std::calloc(tableBytes(), 1)); });
        if (!table) continue;
        if (readListed(table, i))
            preloadedTables[i] = table;
        else
            freeTable(table);
    }
    if (progress) progress(translationCount, context);
}

bool startNextTranslationLoad() {
    if (settings.Load_All_Trans) {
        loadTranslation(currentTable, plugin.currentTranslation);
        return true;
    }
    if (translationLoader.busy.load(std::memory_order_acquire)) return true;
    return startLoader(translationLoader, loaderBody, nullptr);
}

bool translationLoaderBusy() {
    return translationLoader.busy.load(std::memory_order_acquire);
}

bool takePreparedTranslation() {
    if (translationLoaderBusy()) return false;
    plugin.currentTranslation = plugin.nextTranslation;
    uint32_t* const prepared = spareTable;
    spareTable = currentTable;
    currentTable = prepared;
    plugin.nextTranslation = randomNext() % translationCount + 1;
    startNextTranslationLoad();
    return true;
}

void startTranslations() {
    plugin.nextTranslation = translationCount == 0 ? 0 : randomNext() % translationCount + 1;
    loadTranslation(currentTable, plugin.currentTranslation);
    if (!settings.Load_All_Trans) startNextTranslationLoad();
    if (plugin.currentTranslation != 0) plugin.currentFlame = 0;
}

void shutDownTranslations() {
    if (!waitForLoader(translationLoader, 60000)) return; // still writing: leave its tables
    if (settings.Load_All_Trans) {
        for (int i = 1; i <= kMaxTranslations; ++i)
            if (preloadedTables[i]) freeTable(preloadedTables[i]);
        currentTable = nullptr;
    } else {
        freeTable(currentTable);
        freeTable(spareTable);
    }
}

void applyCurrentTranslation() {
    if (plugin.currentTranslation < 1 || plugin.currentTranslation > translationCount ||
        !currentTable)
        return;
    applyTranslationTable(currentTable, plugin.previousBuffer, plugin.currentBuffer,
                          plugin.frameWidth, plugin.frameHeight);
}

const char* currentTranslationName() {
    const int index = plugin.currentTranslation;
    return index >= 1 && index <= translationCount ? translationNames[index] : "";
}
