#include "media/pics.h"

#include "base/file_lists.h"
#include "base/frame_steps.h"
#include "gbm.h"
#include "base/guard.h"
#include "base/instance.h"
#include "base/paths.h"
#include "base/random.h"
#include "base/settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {
const char kSource[] = "pics";

// The loader writes the colours of the picture it prepares here; the picture event copies them
// into the block on screen, so the screen never shows a mixture of two pictures' colours.
PaletteBlock loaderPalette;
PaletteBlock shownPicturePalette;

size_t frameBytes() {
    return static_cast<size_t>(plugin.frameWidth) * plugin.frameHeight;
}

long rowBytes(int width, int bpp) {
    return (static_cast<long>(width) * bpp + 31) / 32 * 4;
}

void flipRows(uint8_t* data, long pitch, int height, uint8_t* row) {
    for (int k = 0; k < height / 2; ++k) {
        uint8_t* top = data + k * pitch;
        uint8_t* bottom = data + static_cast<long>(height - 1 - k) * pitch;
        std::memcpy(row, top, pitch);
        std::memcpy(top, bottom, pitch);
        std::memcpy(bottom, row, pitch);
    }
}

void paletteFromRecords(const GBMRGB* records, PaletteBlock& block) {
    for (int i = 0; i < 256; ++i) block.entries[i] = {records[i].r, records[i].g, records[i].b, 0};
    computePixelForms(block, pixelFormat);
}

void loaderBody(void*) {
    guarded(kSource, __LINE__, [] {
        std::free(pictureBuffer);
        pictureBuffer = nullptr;
    });
    guarded(kSource, __LINE__, [] { loadPicture(pictureBuffer, currentPicture); });
}

// The colours that belong to the picture about to be laid.
PaletteBlock* pictureColours() {
    if (settings.Load_All_Pics) return loadedPicturePalettes[currentPicture];
    shownPicturePalette = loaderPalette;
    return &shownPicturePalette;
}

PaletteBlock* eventPalette = nullptr;
} // namespace

char pictureNames[kMaxPictures + 1][256];
int pictureCount = 0;
int currentPicture = 0;
uint8_t* pictureBuffer = nullptr;
uint8_t* loadedPictures[kMaxPictures + 1];
PaletteBlock* loadedPicturePalettes[kMaxPictures + 1];
LoaderThread pictureLoader;

void listPictures() {
    pictureCount = listNumberedFiles(kSource, "pics", ".gif", pictureNames, kMaxPictures,
                                     settings.Picture, &currentPicture);
}

bool scalePicture(const uint8_t* source, int sourceWidth, int sourceHeight, long sourcePitch,
                  uint8_t* destination, int destinationWidth, int destinationHeight) {
    int* steps =
        static_cast<int*>(std::malloc(sizeof(int) * (destinationWidth + destinationHeight + 2)));
    if (!steps) return false;
    int* columnSteps = steps;
    int* rowSteps = steps + destinationWidth + 1;
    for (int i = 0; i < destinationWidth; ++i)
        columnSteps[i] =
            static_cast<int>(static_cast<long long>(i + 1) * sourceWidth / destinationWidth -
                             static_cast<long long>(i) * sourceWidth / destinationWidth);
    for (int j = 0; j < destinationHeight; ++j)
        rowSteps[j] =
            static_cast<int>(static_cast<long long>(j + 1) * sourceHeight / destinationHeight -
                             static_cast<long long>(j) * sourceHeight / destinationHeight);
    const uint8_t* sourceRow = source;
    uint8_t* out = destination;
    for (int j = 0; j < destinationHeight; ++j) {
        if (sourceWidth == destinationWidth) {
            std::memcpy(out, sourceRow, destinationWidth);
        } else {
            const uint8_t* in = sourceRow;
            for (int i = 0; i < destinationWidth; ++i) {
                out[i] = *in;
                in += columnSteps[i];
            }
        }
        out += destinationWidth;
        sourceRow += rowSteps[j] * sourcePitch;
    }
    std::free(steps);
    return true;
}

bool loadPicture(uint8_t*& target, int index) {
    if (index == 0) return true;
    if (index < 0 || index > pictureCount) {
        currentPicture = 0;
        return false;
    }
    char path[1024];
    std::snprintf(path, sizeof path, "%s%s", dataFolder("pics").c_str(), pictureNames[index]);
    int filetype = 0;
    GBM header = {};
    static thread_local GBMRGB records[256];
    if (gbm_guess_filetype(path, &filetype) != GBM_ERR_OK) {
        currentPicture = 0;
        return false;
    }
    const int file = gbm_io_open(path, GBM_O_RDONLY | GBM_O_BINARY);
    if (file == -1) {
        currentPicture = 0;
        return false;
    }
    uint8_t* raw = nullptr;
    bool read = gbm_read_header(path, file, filetype, &header, "") == GBM_ERR_OK &&
                gbm_read_palette(file, filetype, &header, records) == GBM_ERR_OK;
    const long pitch = read ? rowBytes(header.w, header.bpp) : 0;
    if (read) {
        raw = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(pitch) * header.h));
        read = raw && gbm_read_data(file, filetype, &header, raw) == GBM_ERR_OK;
    }
    gbm_io_close(file);
    if (!read || header.bpp != 8) {
        std::free(raw);
        currentPicture = 0;
        return false;
    }
    uint8_t* row = static_cast<uint8_t*>(std::malloc(pitch));
    uint8_t* scaled = static_cast<uint8_t*>(std::malloc(frameBytes()));
    const bool converted = row && scaled;
    if (converted) {
        flipRows(raw, pitch, header.h, row);
        if (!scalePicture(raw, header.w, header.h, pitch, scaled, plugin.frameWidth,
                          plugin.frameHeight)) {
            std::free(scaled);
            scaled = nullptr;
        }
    }
    std::free(row);
    std::free(raw);
    if (!converted || !scaled) {
        std::free(scaled);
        currentPicture = 0;
        return false;
    }
    target = scaled;
    if (settings.Set_Pic_Palette) {
        if (!settings.Load_All_Pics) {
            paletteFromRecords(records, loaderPalette);
        } else {
            PaletteBlock* block = static_cast<PaletteBlock*>(std::malloc(sizeof(PaletteBlock)));
            if (block) {
                paletteFromRecords(records, *block);
                loadedPicturePalettes[index] = block;
            }
        }
    }
    return true;
}

void startPictureLoad() {
    if (settings.Load_All_Pics || pictureLoader.busy.load(std::memory_order_acquire)) return;
    startLoader(pictureLoader, loaderBody, nullptr);
}

void loadAllPictures(void (*progress)(int position, void* context), void* context) {
    for (int i = 1; i <= pictureCount; ++i) {
        if (progress) progress(i - 1, context);
        guarded(kSource, __LINE__, [&] { loadPicture(loadedPictures[i], i); });
    }
    if (progress) progress(pictureCount, context);
}

void applyPicturePalette() {
    if (!eventPalette) return;
    currentPaletteEntries = eventPalette;
    if (displayPaletteHook) displayPaletteHook(*eventPalette);
}

void startPictures() {
    if (!settings.Load_All_Pics) startPictureLoad();
}

bool pictureLoaderBusy() {
    return pictureLoader.busy.load(std::memory_order_acquire);
}

bool runPictureEvent() {
    bool laid = false;
    if (currentPicture >= 1 && currentPicture <= pictureCount) {
        const uint8_t* picture =
            settings.Load_All_Pics ? loadedPictures[currentPicture] : pictureBuffer;
        if (picture) {
            uint8_t* const frame = plugin.currentBuffer;
            const size_t n = frameBytes();
            guarded("quorbel_plugin", __LINE__, [&] {
                if (settings.Set_Pic_On_Background) {
                    for (size_t k = 0; k < n; ++k)
                        if (frame[k] == 0) frame[k] = picture[k];
                } else {
                    std::memcpy(frame, picture, n);
                }
            });
            if (settings.Set_Pic_Palette) {
                eventPalette = pictureColours();
                applyPicturePalette();
            }
        }
        laid = true;
    }
    currentPicture = pictureCount == 0 ? 0 : randomNext() % pictureCount + 1;
    // Without pictures there is nothing for a loader to do.
    if (pictureCount > 0) startPictureLoad();
    return laid;
}

void shutDownPictures() {
    if (!waitForLoader(pictureLoader, 60000)) return; // still writing: leave its buffers
    if (settings.Load_All_Pics) {
        for (int i = 1; i <= kMaxPictures; ++i) {
            guarded(kSource, __LINE__, [&] { std::free(loadedPictures[i]); });
            loadedPictures[i] = nullptr;
            if (settings.Set_Pic_Palette) {
                // A picture's colours still on screen stay valid for the next run, which shows
                // them until its first palette change (and keeps them without palette files).
                PaletteBlock* const block = loadedPicturePalettes[i];
                if (block && currentPaletteEntries == block) {
                    shownPicturePalette = *block;
                    currentPaletteEntries = &shownPicturePalette;
                }
                guarded(kSource, __LINE__, [&] { std::free(loadedPicturePalettes[i]); });
                loadedPicturePalettes[i] = nullptr;
            }
        }
    } else {
        guarded(kSource, __LINE__, [] { std::free(pictureBuffer); });
        pictureBuffer = nullptr;
    }
    eventPalette = nullptr;
}

void saveScreenshot(const uint8_t* frame) {
    const int width = plugin.frameWidth;
    const int height = plugin.frameHeight;
    uint8_t* volatile copy = nullptr;
    guarded(kSource, __LINE__, [&] {
        copy = static_cast<uint8_t*>(std::malloc(frameBytes()));
        if (copy) std::memcpy(copy, frame, frameBytes());
    });
    if (!copy) return;
    static char path[1024];
    guarded(kSource, __LINE__, [&] {
        for (unsigned n = 0;; ++n) {
            std::snprintf(path, sizeof path, "%sshot_%u.gif", hostDirectory().c_str(), n);
            if (!fileExists(path)) break;
        }
    });
    volatile int filetype = 0;
    volatile int file = -1;
    guarded(kSource, __LINE__, [&] {
        int type = 0;
        gbm_guess_filetype(path, &type);
        filetype = type;
        file = gbm_io_create(path, GBM_O_WRONLY | GBM_O_BINARY);
    });
    if (file != -1) {
        guarded(kSource, __LINE__, [&] {
            GBM header = {};
            header.w = width;
            header.h = height;
            header.bpp = 8;
            static GBMRGB records[256];
            const PaletteBlock* colours = settings.Load_All_Palettes &&
                                                  plugin.currentPalette >= 0 &&
                                                  plugin.currentPalette < paletteCount &&
                                                  loadedPalettes[plugin.currentPalette]
                                              ? loadedPalettes[plugin.currentPalette]
                                              : &sharedPalette;
            for (int i = 0; i < 256; ++i)
                records[i] = {colours->entries[i].red, colours->entries[i].green,
                              colours->entries[i].blue};
            static uint8_t row[640];
            flipRows(copy, width, height, row);
            const bool written =
                gbm_write(path, file, filetype, &header, records, copy, "") == GBM_ERR_OK;
            gbm_io_close(file);
            if (!written) std::remove(path);
        });
    }
    guarded(kSource, __LINE__, [&] { std::free(copy); });
}
