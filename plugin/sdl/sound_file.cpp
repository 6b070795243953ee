#include "sdl/sound_file.h"

#include <sndfile.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

std::string fileTitle(const std::string& path) {
    size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

} // namespace

bool loadSoundFile(const std::string& path, AudioClip& out, std::string& title,
                   std::string& error) {
    SF_INFO info = {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        error = sf_strerror(nullptr);
        return false;
    }
    struct Closer {
        SNDFILE* file;
        ~Closer() { sf_close(file); }
    } closer{file};
    if (info.channels < 1 || info.samplerate < 1000 || info.samplerate > 1000000) {
        error = "not a sound this program plays (channels or sample rate)";
        return false;
    }
    if (info.frames <= 0) {
        error = "no samples";
        return false;
    }
    // More than an hour of stereo at 192 kHz is not decoded into memory.
    if (info.frames > int64_t(192000) * 3600) {
        error = "longer than this program plays";
        return false;
    }
    // A WAV file whose data chunk promises more than the file holds is cut: libsndfile plays
    // what is there and says so only in its log ("data : 352800 (should be 117600)").
    char log[8192] = {};
    sf_command(file, SFC_GET_LOG_INFO, log, sizeof log - 1);
    for (const char* line = log; line && *line;) {
        const char* end = std::strchr(line, '\n');
        const std::string text(line, end ? size_t(end - line) : std::strlen(line));
        if (text.compare(0, 6, "data :") == 0 && text.find("(should be") != std::string::npos) {
            long long claimed = 0, held = 0;
            if (std::sscanf(text.c_str(), "data : %lld (should be %lld)", &claimed, &held) == 2 &&
                held < claimed) {
                error = "truncated (the data chunk claims " + std::to_string(claimed) +
                        " bytes, the file holds " + std::to_string(held) + ")";
                return false;
            }
        }
        line = end ? end + 1 : nullptr;
    }
    AudioClip clip;
    clip.sampleRate = info.samplerate;
    clip.sourceChannels = info.channels >= 2 ? 2 : 1;
    clip.sourceBits = 16;
    clip.samples[0].reserve(size_t(info.frames));
    clip.samples[1].reserve(size_t(info.frames));
    std::vector<short> block(size_t(4096) * size_t(info.channels));
    sf_count_t total = 0;
    for (;;) {
        sf_count_t read = sf_readf_short(file, block.data(), 4096);
        if (read <= 0) break;
        for (sf_count_t f = 0; f < read; ++f) {
            const short* frame = block.data() + size_t(f) * size_t(info.channels);
            clip.samples[0].push_back(frame[0]);
            clip.samples[1].push_back(info.channels >= 2 ? frame[1] : frame[0]);
        }
        total += read;
    }
    if (sf_error(file) != SF_ERR_NO_ERROR) {
        error = sf_strerror(file);
        return false;
    }
    if (total == 0) {
        error = "no samples";
        return false;
    }
    // Formats that know their length (WAV, FLAC) tell a cut file by the samples missing.
    if (total < info.frames) {
        error = "truncated: " + std::to_string(total) + " of " + std::to_string(info.frames) +
                " sample frames";
        return false;
    }
    const char* artist = sf_get_string(file, SF_STR_ARTIST);
    const char* name = sf_get_string(file, SF_STR_TITLE);
    if (name && *name)
        title = artist && *artist ? std::string(artist) + " - " + name : std::string(name);
    else
        title = fileTitle(path);
    out = std::move(clip);
    return true;
}
