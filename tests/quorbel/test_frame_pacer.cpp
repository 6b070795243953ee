// The native program's frame times: late frames are dropped, never made up.
#include "sdl/frame_pacer.h"

#include <gtest/gtest.h>

TEST(FramePacer, FramesOnTimeAreAllShownFromTheStart) {
    // Sample frames at 44100 a second, 60 frames a second: 735 apart, counted from the start
    // (what the clock read before it is no frame's).
    FramePacer pacer(44100, 60);
    pacer.start(50000);
    for (int frame = 0; frame < 600; ++frame) {
        ASSERT_EQ(pacer.due(), 50000 + 735 * frame);
        // Up to a frame's time late is still the frame's own.
        pacer.go(pacer.due() + (frame % 3 == 0 ? 734 : 0));
    }
    EXPECT_EQ(pacer.dropped(), 0);
    // Milliseconds at 60 a second do not divide: frames on time still drop none.
    FramePacer ms(1000, 60);
    ms.start(0);
    for (int frame = 0; frame < 600; ++frame) ms.go(ms.due());
    EXPECT_EQ(ms.dropped(), 0);
    EXPECT_EQ(ms.due(), 10000);
}

TEST(FramePacer, AStallDropsTheFramesItCoveredAndTheNextIsDueAfterIt) {
    FramePacer pacer(44100, 60);
    pacer.start(0);
    pacer.go(0);
    // Half a second late: the 29 frames whose time passed during it are not shown, and the next
    // one is due after now (no burst of frames to catch up).
    const int64_t now = 22050 + 100;
    pacer.go(now);
    EXPECT_EQ(pacer.dropped(), 29);
    EXPECT_GT(pacer.due(), now);
    EXPECT_EQ(pacer.due(), 31 * 735);
    // A frame that goes early (a wait that gave up) is shown as the next one, nothing dropped.
    pacer.go(pacer.due() - 500);
    EXPECT_EQ(pacer.dropped(), 29);
    EXPECT_EQ(pacer.due(), 32 * 735);
    // A clock that jumps back (before the start) drops nothing and keeps the order.
    pacer.go(-5);
    EXPECT_EQ(pacer.due(), 33 * 735);
    EXPECT_EQ(pacer.dropped(), 29);
    // A new start forgets all.
    pacer.start(1000);
    EXPECT_EQ(pacer.due(), 1000);
    EXPECT_EQ(pacer.dropped(), 0);
}
