// The WAV reader of the players (media/audio) on arbitrary bytes.
#include "media/audio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    AudioClip clip;
    std::string error;
    if (parseWav(data, size, clip, error)) {
        // A parsed clip must be safe to play from anywhere.
        unsigned char wave[2][576], spectrum[2][576];
        fillVisData(clip, int64_t(clip.frameCount()) + 17, wave, spectrum);
        if (clip.samples[0].size() != clip.samples[1].size() || clip.lengthMs() == 0)
            __builtin_trap();
    }
    return 0;
}
