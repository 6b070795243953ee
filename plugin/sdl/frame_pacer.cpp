#include "sdl/frame_pacer.h"

FramePacer::FramePacer(int64_t unitsPerSecond, int fps)
    : unitsPerSecond_(unitsPerSecond > 0 ? unitsPerSecond : 1), fps_(fps > 0 ? fps : 1) {}

void FramePacer::start(int64_t now) {
    start_ = now;
    next_ = 0;
    dropped_ = 0;
}

int64_t FramePacer::at(int64_t slot) const {
    return start_ + slot * unitsPerSecond_ / fps_;
}

int64_t FramePacer::due() const {
    return at(next_);
}

void FramePacer::go(int64_t now) {
    int64_t slot = next_;
    if (now > start_) {
        // The newest frame whose time has come.
        const int64_t reached = (now - start_) * fps_ / unitsPerSecond_;
        if (reached > slot) {
            dropped_ += reached - slot;
            slot = reached;
        }
    }
    next_ = slot + 1;
}
