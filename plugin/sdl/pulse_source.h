// System sound for the native program: a capture source of the PulseAudio server (PipeWire's
// PulseAudio server is the same to a client), by default the monitor of the default output,
// "@DEFAULT_MONITOR@", read on a thread of its own into a ring of the newest samples.
//
// The thread runs its own PulseAudio main loop, never blocked in a call to the server: it
// polls with a short time-out, so that stop() ends it at once whatever the server does (gone,
// stopped, its source suspended). While the source sends nothing the thread writes silence at
// the sound's rate, so the sample count is a clock that always runs: the frames keep their
// rate on silence, and pick up the sound when it comes back.
#pragma once
#include "media/audio.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct pa_context;
struct pa_mainloop;
struct pa_stream;

class PulseCapture {
  public:
    static constexpr int kRate = 44100;
    enum class Start {
        Capturing,     // the thread runs (the source may still be missing: it tries again)
        NoServer,      // no sound server answers
        UnknownSource, // the source asked for is none of the server's
    };
    ~PulseCapture();
    // Connects to source ("" for the default output's monitor), waiting at most a few seconds
    // for the server. A default source that is missing, and any source that goes away later, is
    // no failure: the capture says so through messages() and tries again every second. A source
    // named by the user must exist at the start; the error then lists the server's sources.
    Start start(const std::string& source, std::string& error);
    // Ends the capture thread; returns at once whatever the server does.
    void stop();

    // The sample frames counted so far (captured, and silence while the source sends nothing).
    int64_t captured();
    // Waits until at least frames sample frames were counted, or timeoutMs passed; returns how
    // many were counted.
    int64_t waitFor(int64_t frames, int timeoutMs);
    // The waveform and spectrum blocks of the audio just before endSample (at most the number
    // counted; older than the ring holds is silence).
    void fill(int64_t endSample, unsigned char waveform[2][576], unsigned char spectrum[2][576]);

    struct Message {
        std::string text;
        bool quiet; // for the event log only (the first capture at the start)
    };
    // What the capture thread has to say since the last call (a source missing, gone, silent,
    // back).
    std::vector<Message> messages();
    const std::string& sourceName() const { return source_; }

  private:
    using Clock = std::chrono::steady_clock;
    void run();
    void tick(Clock::time_point now);
    void connectContext();
    void openStream();
    void dropStream();
    void dropContext();
    void lost(const std::string& why);
    void onContextState();
    void onStreamState();
    void onRead();
    void append(const int16_t* frames, size_t count);
    void note(const std::string& text, bool quiet = false);

    std::string source_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    // The capture thread's own (and start()'s before the thread runs).
    pa_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    bool streaming_ = false;  // stream_ is ready
    bool saidGone_ = false;   // the last thing said is that the source is not there
    bool saidSilent_ = false; // "no sound from ..." was said and nothing came since
    bool everStreamed_ = false;
    Clock::time_point nextAttempt_;
    Clock::time_point lastSound_;  // the newest sound from the server (or the start)
    Clock::time_point heardSince_; // the stream's start or its newest sound, for the silence
    int64_t soundMark_ = 0;        // the count at lastSound_

    std::mutex mutex_;
    std::condition_variable arrived_;
    AudioClip ring_; // guarded by mutex_: index i holds sample frame i modulo its size
    int64_t captured_ = 0;
    std::vector<Message> messages_;
};

// The capture sources of the server: (name, description) pairs. False with a reason when
// there is no sound server (or it does not answer within a few seconds).
bool listPulseSources(std::vector<std::pair<std::string, std::string>>& sources,
                      std::string& error);
