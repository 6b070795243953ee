// The frame times of the native program on a clock of its own units (sample frames of the
// captured sound, or milliseconds): frame k after the start is due at start + k / fps seconds.
// A frame that goes once the next one's time has passed as well takes the place of every frame
// whose time has passed: late frames are dropped, never made up by frames shown unpaced.
// Portable, unit tested natively.
#pragma once
#include <cstdint>

class FramePacer {
  public:
    FramePacer(int64_t unitsPerSecond, int fps);
    // The clock's reading when the first frame goes.
    void start(int64_t now);
    // When the next frame is due.
    int64_t due() const;
    // The next frame goes at now (its time reached, or as late as it came).
    void go(int64_t now);
    // Frames dropped so far because they came late.
    int64_t dropped() const { return dropped_; }

  private:
    int64_t at(int64_t slot) const;
    int64_t unitsPerSecond_;
    int64_t fps_;
    int64_t start_ = 0;
    int64_t next_ = 0; // the next frame's place on the clock, in frames from the start
    int64_t dropped_ = 0;
};
