// Sound files for the native program, through libsndfile: WAV, FLAC, Ogg Vorbis and the other
// formats it reads, streamed: decoded as the sound and the frames need it into a buffer of a
// bounded size, never whole, so that an hour of music takes no more memory than a second.
#pragma once
#include "media/audio.h"

#include <sndfile.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class SoundStream {
  public:
    ~SoundStream();
    // Opens the file at path and its title: "Artist - Title" from the file's tags, the title
    // alone, or the file name without its folder and extension. False with a one-line reason
    // in the user's words when it is missing, a folder, not a sound file, holds no sound or is
    // cut short (its end is not there).
    bool open(const std::string& path, std::string& title, std::string& error);

    int sampleRate() const { return info_.samplerate; }
    int sourceChannels() const { return info_.channels >= 2 ? 2 : 1; }
    int64_t frameCount() const { return info_.frames; }
    uint32_t lengthMs() const;

    // count stereo frames (left, right, ...) from first, an index into the file repeated
    // endlessly (negative indexes are silence before the start); mono fills both channels.
    // Safe to call from the sound device's thread and the frame loop's at once.
    void read(int64_t first, int count, int16_t* interleaved);
    // The audio blocks of the frame just before endSample, as fillVisData gives them for the
    // whole file.
    void visData(int64_t endSample, unsigned char waveform[2][576], unsigned char spectrum[2][576]);
    // What went wrong reading the file while it played (it plays silence from there), once;
    // "" when nothing did.
    std::string takeProblem();
    // The frames the buffer holds now (at most kBufferFrames).
    int64_t bufferedFrames() const;

    static constexpr int kBufferFrames = 1 << 16;

  private:
    void fill(int64_t position, int count); // makes [position, position + count) buffered
    void fail(const std::string& what);
    mutable std::mutex mutex_;
    SNDFILE* file_ = nullptr;
    SF_INFO info_ = {};
    std::string path_;
    std::vector<int16_t> buffer_; // stereo frames from bufferStart_
    int64_t bufferStart_ = 0;
    int64_t bufferLength_ = 0;
    std::vector<short> decoded_; // one block as the file's channels give it
    bool failed_ = false;
    std::string problem_;
};
