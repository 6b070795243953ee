// Fuzzes reading a picture for the frame: arbitrary file bytes through loadPicture (gbm, the
// 256-colour check, the flip and the scaling) into each frame size. The last byte picks the
// resolution row and whether the picture's own colours are read.
#include "gbm.h"
#include "base/instance.h"
#include "base/paths.h"
#include "media/pics.h"
#include "base/settings.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
const std::string& folder() {
    static const std::string path = [] {
        const std::string p = "/tmp/quorbel_fuzz_picture_" + std::to_string(getpid()) + "/";
        std::system(("mkdir -p '" + p + "pics'").c_str());
        setHostDirectory(p);
        std::atexit([] { std::system(("rm -rf '" + hostDirectory() + "'").c_str()); });
        gbm_init();
        return p;
    }();
    return path;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size < 2) return 0;
    const std::string& host = folder();
    const uint8_t choice = bytes[size - 1];
    FILE* file = std::fopen((host + "pics/fuzz.gif").c_str(), "wb");
    if (!file) return 0;
    std::fwrite(bytes, 1, size - 1, file);
    std::fclose(file);

    settings = Settings();
    settings.Resolution = choice % kResolutionCount;
    settings.Set_Pic_Palette = (choice >> 4) & 1;
    applyResolution();
    listPictures();
    if (pictureCount != 1) std::abort();
    currentPicture = 1;
    uint8_t* target = nullptr;
    if (loadPicture(target, 1)) {
        if (!target) std::abort();
        // Every byte of the converted picture is written: reading them all lets the sanitizer
        // see a short buffer or uninitialised bytes.
        unsigned sum = 0;
        const size_t n = static_cast<size_t>(plugin.frameWidth) * plugin.frameHeight;
        for (size_t i = 0; i < n; ++i) sum += target[i];
        if (sum == 0xFFFFFFFFu) std::abort();
        std::free(target);
    } else if (target || currentPicture != 0) {
        std::abort();
    }
    return 0;
}
