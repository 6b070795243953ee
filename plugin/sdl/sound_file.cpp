#include "sdl/sound_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

constexpr int kBlockFrames = 4096;

std::string fileTitle(const std::string& path) {
    size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

std::string seconds(int64_t frames, int rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", double(frames) / rate);
    return text;
}

// libsndfile's log of a WAV file whose data chunk promises more than the file holds: it plays
// what is there and says so only there ("data : 352800 (should be 117600)").
bool wavDataCut(SNDFILE* file, long long& claimed, long long& held) {
    char log[8192] = {};
    sf_command(file, SFC_GET_LOG_INFO, log, sizeof log - 1);
    for (const char* line = log; line && *line;) {
        const char* end = std::strchr(line, '\n');
        const std::string text(line, end ? size_t(end - line) : std::strlen(line));
        if (text.compare(0, 6, "data :") == 0 && text.find("(should be") != std::string::npos &&
            std::sscanf(text.c_str(), "data : %lld (should be %lld)", &claimed, &held) == 2 &&
            held < claimed)
            return true;
        line = end ? end + 1 : nullptr;
    }
    return false;
}

} // namespace

SoundStream::~SoundStream() {
    if (file_) sf_close(file_);
}

uint32_t SoundStream::lengthMs() const {
    if (info_.samplerate <= 0 || info_.frames <= 0) return 0;
    const int64_t ms = info_.frames * 1000 / info_.samplerate;
    return ms == 0 ? 1 : uint32_t(std::min<int64_t>(ms, 0xFFFFFFFF));
}

bool SoundStream::open(const std::string& path, std::string& title, std::string& error) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        error = errno == ENOENT ? "no such file"
                                : std::string("cannot be read: ") + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(status.st_mode)) {
        error = "a folder, not a sound file";
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        error = "not a sound file (not even a plain file)";
        return false;
    }
    if (status.st_size == 0) {
        error = "an empty file, not a sound file";
        return false;
    }
    SF_INFO info = {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        if (sf_error(nullptr) == SF_ERR_SYSTEM) {
            std::string why = sf_strerror(nullptr);
            const std::string prefix = "System error : ";
            if (why.compare(0, prefix.size(), prefix) == 0) why = why.substr(prefix.size());
            if (!why.empty() && why.back() == '.') why.pop_back();
            error = "cannot be read: " + why;
        } else {
            error = "not a sound file (none of the formats WAV, FLAC, Ogg Vorbis and the others "
                    "libsndfile reads)";
        }
        return false;
    }
    struct Closer {
        SNDFILE*& file;
        ~Closer() {
            if (file) sf_close(file);
        }
    } closer{file};
    if (info.channels < 1 || info.samplerate < 1000 || info.samplerate > 1000000) {
        error = "not a sound this program plays (" + std::to_string(info.channels) +
                " channels at " + std::to_string(info.samplerate) + " Hz)";
        return false;
    }
    // Ogg files are measured by their last page: a file cut short has none.
    if (info.frames == SF_COUNT_MAX) {
        error = "cut short: its end is missing";
        return false;
    }
    if (info.frames <= 0) {
        error = "holds no sound";
        return false;
    }
    long long claimed = 0, held = 0;
    if (wavDataCut(file, claimed, held)) {
        error = "cut short: it holds " + std::to_string(held) + " of the " +
                std::to_string(claimed) + " bytes of sound its header promises";
        return false;
    }
    // The end that the header promises must be there (a cut FLAC file loses it): its last
    // block is read, then the stream starts again from the beginning.
    decoded_.assign(size_t(kBlockFrames) * size_t(info.channels), 0);
    const sf_count_t tail = std::min<sf_count_t>(info.frames, kBlockFrames);
    if (sf_seek(file, info.frames - tail, SEEK_SET) < 0 ||
        sf_readf_short(file, decoded_.data(), tail) != tail || sf_error(file) != SF_ERR_NO_ERROR ||
        sf_seek(file, 0, SEEK_SET) != 0) {
        error = "cut short: it ends before the " + seconds(info.frames, info.samplerate) +
                " its header promises";
        return false;
    }
    const char* artist = sf_get_string(file, SF_STR_ARTIST);
    const char* name = sf_get_string(file, SF_STR_TITLE);
    if (name && *name)
        title = artist && *artist ? std::string(artist) + " - " + name : std::string(name);
    else
        title = fileTitle(path);
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_) sf_close(file_);
    file_ = file;
    file = nullptr;
    info_ = info;
    path_ = path;
    buffer_.assign(size_t(kBufferFrames) * 2, 0);
    bufferStart_ = 0;
    bufferLength_ = 0;
    failed_ = false;
    problem_.clear();
    return true;
}

void SoundStream::fail(const std::string& what) {
    if (failed_) return;
    failed_ = true;
    problem_ = path_ + ": " + what + "; silence from here";
}

void SoundStream::fill(int64_t position, int count) {
    const int64_t end = position + count;
    if (position >= bufferStart_ && end <= bufferStart_ + bufferLength_) return;
    // Not just ahead of what is held: start again there.
    if (position < bufferStart_ || position > bufferStart_ + bufferLength_ + kBufferFrames / 4) {
        bufferStart_ = position;
        bufferLength_ = 0;
        if (!failed_ && sf_seek(file_, position, SEEK_SET) != position)
            fail("it cannot be read at " + seconds(position, info_.samplerate));
    }
    while (bufferStart_ + bufferLength_ < end) {
        // Room for a block: the frames before position go first.
        if (bufferLength_ + kBlockFrames > kBufferFrames) {
            const int64_t drop =
                std::min(bufferLength_ + kBlockFrames - kBufferFrames, position - bufferStart_);
            std::memmove(buffer_.data(), buffer_.data() + 2 * drop,
                         size_t(bufferLength_ - drop) * 2 * sizeof(int16_t));
            bufferStart_ += drop;
            bufferLength_ -= drop;
        }
        const int64_t at = bufferStart_ + bufferLength_;
        const int want = int(std::min<int64_t>(kBlockFrames, info_.frames - at));
        int16_t* out = buffer_.data() + 2 * bufferLength_;
        sf_count_t got = 0;
        if (!failed_ && want > 0) {
            got = sf_readf_short(file_, decoded_.data(), want);
            if (got < want)
                fail(sf_error(file_) != SF_ERR_NO_ERROR
                         ? "it cannot be read past " +
                               seconds(at + std::max<sf_count_t>(got, 0), info_.samplerate) +
                               " (cut short or damaged)"
                         : "it ends early, at " + seconds(at + got, info_.samplerate));
            if (got < 0) got = 0;
        }
        const int channels = info_.channels;
        for (sf_count_t f = 0; f < got; ++f) {
            const short* frame = decoded_.data() + size_t(f) * size_t(channels);
            out[2 * f] = frame[0];
            out[2 * f + 1] = channels >= 2 ? frame[1] : frame[0];
        }
        // What could not be read is silence.
        std::fill(out + 2 * got, out + 2 * std::max(want, 1), int16_t(0));
        bufferLength_ += std::max(want, 1);
    }
}

void SoundStream::read(int64_t first, int count, int16_t* interleaved) {
    std::lock_guard<std::mutex> lock(mutex_);
    while (count > 0) {
        if (first < 0 || !file_ || info_.frames <= 0) {
            const int n = first < 0 ? int(std::min<int64_t>(count, -first)) : count;
            std::fill(interleaved, interleaved + 2 * n, int16_t(0));
            interleaved += 2 * n;
            first += n;
            count -= n;
            continue;
        }
        const int64_t position = first % info_.frames;
        const int n = int(std::min<int64_t>(
            {int64_t(count), info_.frames - position, int64_t(kBufferFrames / 2)}));
        fill(position, n);
        std::memcpy(interleaved, buffer_.data() + 2 * (position - bufferStart_),
                    size_t(n) * 2 * sizeof(int16_t));
        interleaved += 2 * n;
        first += n;
        count -= n;
    }
}

void SoundStream::visData(int64_t endSample, unsigned char waveform[2][576],
                          unsigned char spectrum[2][576]) {
    int16_t frames[2 * kSpectrumWindow];
    read(endSample - kSpectrumWindow, kSpectrumWindow, frames);
    AudioClip window;
    window.sampleRate = info_.samplerate;
    window.samples[0].resize(kSpectrumWindow);
    window.samples[1].resize(kSpectrumWindow);
    for (int i = 0; i < kSpectrumWindow; ++i) {
        window.samples[0][size_t(i)] = frames[2 * i];
        window.samples[1][size_t(i)] = frames[2 * i + 1];
    }
    fillVisData(window, kSpectrumWindow, waveform, spectrum);
}

std::string SoundStream::takeProblem() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string problem;
    problem.swap(problem_);
    return problem;
}

int64_t SoundStream::bufferedFrames() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bufferLength_;
}
