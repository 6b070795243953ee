// Fuzzes the letter-object reader: each input is written as a letter file and loaded, and a
// loaded object is turned once by the "Objects" wave on a small frame, so that odd coordinates
// reach the drawing too.
#include "effects/draw.h"
#include "effects/effects.h"
#include "base/instance.h"
#include "effects/objects.h"
#include "base/paths.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string& folderToRemove() {
    static std::string folder;
    return folder;
}

struct Setting {
    std::string host;
    std::vector<uint8_t> frame, audio;
    Setting() : frame(160 * 122), audio(kAudioBlockSize) {
        // Memory-backed where the system has it: the file is rewritten for every input.
        char inMemory[] = "/dev/shm/quorbel_fuzz_objects_XXXXXX";
        char onDisk[] = "/tmp/quorbel_fuzz_objects_XXXXXX";
        const char* folder = mkdtemp(inMemory);
        if (!folder) folder = mkdtemp(onDisk);
        if (!folder) std::abort();
        host = std::string(folder) + "/";
        mkdir((host + "objs").c_str(), 0700);
        folderToRemove() = host;
        std::atexit([] { std::system(("rm -rf " + folderToRemove()).c_str()); });
        setHostDirectory(host);
        plugin.frameWidth = 160;
        plugin.frameHeight = 120;
        buildWaveColours();
        buildSineTables();
        for (size_t i = 0; i < audio.size(); ++i) audio[i] = static_cast<uint8_t>(i * 37);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setting setting;
    const std::string path = setting.host + "objs/Q.obj";
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    const ObjectSegment* before = currentObject;
    if (loadLetterObject('q')) {
        int segments = 0;
        for (const ObjectSegment* s = currentObject; s->x1 != -1; ++s, ++segments)
            if (s->x1 < 0 || s->y1 < 0 || s->z1 < 0 || s->x2 < 0 || s->y2 < 0 || s->z2 < 0)
                std::abort();
        if (segments != currentObjectSegments()) std::abort();
        plugin.sampleBias = size % 2 ? 0x80 : 0;
        waveObjects(setting.frame.data(), setting.audio.data());
    } else if (currentObject != before) {
        std::abort(); // a failed load keeps the previous object
    }
    if (size % 7 == 0) freeLetterObject();
    return 0;
}
