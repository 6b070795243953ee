// Writes a sound file for quorbel's tests through libsndfile: a bass drum every half second
// (or silence), stereo 16-bit at 44.1 kHz, in the format its extension names (.wav, .flac,
// .ogg), optionally cut to its first BYTES bytes afterwards.
//
//     write_sound PATH SECONDS [silent] [cut=BYTES]
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: write_sound PATH SECONDS [silent] [cut=BYTES]\n");
        return 2;
    }
    const std::string path = argv[1];
    const long seconds = std::atol(argv[2]);
    bool silent = false;
    long cut = -1;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "silent") == 0) silent = true;
        if (std::strncmp(argv[i], "cut=", 4) == 0) cut = std::atol(argv[i] + 4);
    }
    const std::string extension = path.substr(path.find_last_of('.') + 1);
    SF_INFO info = {};
    info.samplerate = 44100;
    info.channels = 2;
    if (extension == "flac")
        info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    else if (extension == "ogg")
        info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    else
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        std::fprintf(stderr, "write_sound: %s\n", sf_strerror(nullptr));
        return 1;
    }
    const int rate = info.samplerate;
    std::vector<short> block(size_t(rate) * 2);
    for (long second = 0; second < seconds; ++second) {
        for (int i = 0; i < rate; ++i) {
            const double t = double(i % (rate / 2)) / rate;
            const short v =
                silent ? 0 : short(0.8 * 32767 * std::exp(-t / 0.08) * std::sin(2 * M_PI * 60 * t));
            block[size_t(i) * 2] = block[size_t(i) * 2 + 1] = v;
        }
        if (sf_writef_short(file, block.data(), rate) != rate) {
            std::fprintf(stderr, "write_sound: %s\n", sf_strerror(file));
            return 1;
        }
    }
    sf_close(file);
    if (cut >= 0 && truncate(path.c_str(), cut) != 0) {
        std::perror("write_sound: truncate");
        return 1;
    }
    return 0;
}
