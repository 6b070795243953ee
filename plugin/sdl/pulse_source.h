// System sound for the native program: a capture source of the PulseAudio server (PipeWire's
// PulseAudio server is the same to a client), by default the monitor of the default output,
// "@DEFAULT_MONITOR@", read on a thread of its own into a ring of the newest samples.
#pragma once
#include "media/audio.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class PulseCapture {
  public:
    static constexpr int kRate = 44100;
    ~PulseCapture();
    // Connects to source ("" for the default output's monitor). False with a reason when there
    // is no sound server. A source that does not exist (yet) is no failure: the capture says so
    // through messages() and tries again every second, as it does when the source goes away.
    bool start(const std::string& source, std::string& error);
    void stop();

    // Waits until at least frames sample frames were captured since the start, or timeoutMs
    // passed (for a source that gives nothing); returns how many were captured.
    int64_t waitFor(int64_t frames, int timeoutMs);
    // The waveform and spectrum blocks of the audio just before endSample (at most the number
    // captured; older than the ring holds is silence).
    void fill(int64_t endSample, unsigned char waveform[2][576], unsigned char spectrum[2][576]);
    // What the capture thread has to say since the last call (a source missing, gone, back).
    std::vector<std::string> messages();
    const std::string& sourceName() const { return source_; }

  private:
    void run();
    void note(const std::string& text);
    std::string source_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable arrived_;
    AudioClip ring_; // guarded by mutex_: index i holds sample frame i modulo its size
    int64_t captured_ = 0;
    std::vector<std::string> messages_;
};

// The capture sources of the server: (name, description) pairs. False with a reason when
// there is no sound server.
bool listPulseSources(std::vector<std::pair<std::string, std::string>>& sources,
                      std::string& error);
