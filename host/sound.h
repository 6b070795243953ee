// Sound output through waveOut: streams the clip (repeated endlessly) from a feeder thread.
#pragma once
#include "media/audio.h"

#include <cstdint>
#include <string>

class SoundOutput {
  public:
    // Opens the default device and starts playing at sample startSample. False (with a
    // reason) when there is no device or it cannot be opened; the host then runs silently.
    bool start(const AudioClip& clip, int64_t startSample, std::string& reason);
    // Continues playback from sample (takes effect with the next queued buffer).
    void seek(int64_t sample);
    void stop();
    ~SoundOutput() { stop(); }

  private:
    struct State;
    State* state_ = nullptr;
};
