#include "frame/desktop_view.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

struct Monitor {
    int width, height;
};

const Monitor kMonitors[] = {{1920, 1080}, {3840, 2160}, {2560, 1440}, {1366, 768}, {2560, 1080},
                             {1280, 1024}, {1024, 768},  {800, 600},   {640, 480},  {320, 240},
                             {300, 200},   {200, 400},   {1, 1}};
// The frame sizes of the four full-screen rows.
const Monitor kFrames[] = {{640, 480}, {640, 400}, {320, 240}, {320, 200}};

} // namespace

TEST(DesktopPlacement, KnownMonitorsGetTheWholeFactorAndTheBarsExpected) {
    struct Case {
        Monitor frame, monitor;
        DesktopPlacement expected;
    } cases[] = {
        {{640, 480}, {1920, 1080}, {2, 320, 60, 1280, 960}},
        {{320, 240}, {1920, 1080}, {4, 320, 60, 1280, 960}},
        {{640, 480}, {1024, 768}, {1, 192, 144, 640, 480}},
        {{640, 400}, {1366, 768}, {1, 363, 184, 640, 400}},
        {{320, 200}, {2560, 1080}, {5, 480, 40, 1600, 1000}},
        {{640, 480}, {3840, 2160}, {4, 640, 120, 2560, 1920}},
        {{640, 480}, {640, 480}, {1, 0, 0, 640, 480}},
        // No whole factor fits: fitted with the aspect kept, the narrower way filled.
        {{640, 480}, {320, 240}, {0, 0, 0, 320, 240}},
        {{640, 480}, {300, 200}, {0, 17, 0, 266, 200}},
        {{640, 400}, {200, 400}, {0, 0, 137, 200, 125}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.frame.width << "x" << c.frame.height << " on "
                                        << c.monitor.width << "x" << c.monitor.height);
        const DesktopPlacement p =
            placeOnMonitor(c.frame.width, c.frame.height, c.monitor.width, c.monitor.height);
        EXPECT_EQ(p.scale, c.expected.scale);
        EXPECT_EQ(p.x, c.expected.x);
        EXPECT_EQ(p.y, c.expected.y);
        EXPECT_EQ(p.width, c.expected.width);
        EXPECT_EQ(p.height, c.expected.height);
    }
}

// A 1920x1080 monitor at 150 % reads as 1280x720 to a window that is not DPI aware, which gets the
// 640x480 frame only once and is then stretched by the system; measured in physical pixels (a
// per-monitor aware window) it takes the frame twice, in whole pixels.
TEST(DesktopPlacement, FullScreenAtAScaleIsPlacedByPhysicalPixels) {
    const int physicalWidth = scaleForDpi(1280, 144), physicalHeight = scaleForDpi(720, 144);
    EXPECT_EQ(physicalWidth, 1920);
    EXPECT_EQ(physicalHeight, 1080);
    const DesktopPlacement scaledDown = placeOnMonitor(640, 480, 1280, 720);
    EXPECT_EQ(scaledDown.scale, 1);
    const DesktopPlacement physical = placeOnMonitor(640, 480, physicalWidth, physicalHeight);
    EXPECT_EQ(physical.scale, 2);
    EXPECT_EQ(physical.x, 320);
    EXPECT_EQ(physical.y, 60);
    EXPECT_EQ(physical.width, 1280);
    EXPECT_EQ(physical.height, 960);
    // 4K at 200 % reads as 1920x1080: four times in physical pixels, not two.
    EXPECT_EQ(placeOnMonitor(640, 480, scaleForDpi(1920, 192), scaleForDpi(1080, 192)).scale, 4);
}

TEST(DesktopPlacement, ScaleForDpiRoundsToTheNearestPixelAndTakesOddDpisAs100Percent) {
    EXPECT_EQ(scaleForDpi(640, 96), 640);
    EXPECT_EQ(scaleForDpi(640, 120), 800); // 125 %
    EXPECT_EQ(scaleForDpi(480, 168), 840); // 175 %
    EXPECT_EQ(scaleForDpi(1366, 144), 2049);
    EXPECT_EQ(scaleForDpi(333, 144), 500); // 499.5 rounds up
    EXPECT_EQ(scaleForDpi(640, 0), 640);
    EXPECT_EQ(scaleForDpi(640, -144), 640);
    EXPECT_EQ(scaleForDpi(0, 144), 0);
    // No overflow for the largest sizes a system reports.
    EXPECT_EQ(scaleForDpi(1 << 20, 480), 5 << 20);
}

// The 640x480 window of the last resort keeps its size on the screen at every scale (a window
// that is per-monitor aware is sized in physical pixels), and the frame in it goes by whole
// pixels.
TEST(DesktopPlacement, TheWindowOfTheLastResortGrowsWithTheScaleAndKeepsWholePixels) {
    struct Case {
        Monitor frame;
        int dpi;
        DesktopPlacement expected;
    } cases[] = {
        {{640, 480}, 96, {1, 0, 0, 640, 480}},
        {{640, 480}, 120, {1, 80, 60, 640, 480}},   // 800x600: once, centred
        {{640, 480}, 144, {1, 160, 120, 640, 480}}, // 960x720
        {{640, 480}, 192, {2, 0, 0, 1280, 960}},    // exactly twice
        {{320, 240}, 144, {3, 0, 0, 960, 720}},
        {{320, 200}, 144, {3, 0, 60, 960, 600}},
        {{320, 240}, 0, {2, 0, 0, 640, 480}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.frame.width << "x" << c.frame.height << " at " << c.dpi << " dpi");
        const DesktopPlacement p =
            placeInScaledView(c.frame.width, c.frame.height, 640, 480, c.dpi);
        EXPECT_EQ(p.scale, c.expected.scale);
        EXPECT_EQ(p.x, c.expected.x);
        EXPECT_EQ(p.y, c.expected.y);
        EXPECT_EQ(p.width, c.expected.width);
        EXPECT_EQ(p.height, c.expected.height);
    }
}

// On every monitor, every row's frame lies inside it, centred, scaled by the largest whole
// factor that fits (or fitted with its aspect kept when none does).
TEST(DesktopPlacement, EveryRowOnEveryMonitorIsCentredInsideAndAsLargeAsAllowed) {
    for (const Monitor& frame : kFrames)
        for (const Monitor& monitor : kMonitors) {
            SCOPED_TRACE(testing::Message() << frame.width << "x" << frame.height << " on "
                                            << monitor.width << "x" << monitor.height);
            const DesktopPlacement p =
                placeOnMonitor(frame.width, frame.height, monitor.width, monitor.height);
            EXPECT_GE(p.x, 0);
            EXPECT_GE(p.y, 0);
            EXPECT_LE(p.x + p.width, monitor.width);
            EXPECT_LE(p.y + p.height, monitor.height);
            EXPECT_LE(monitor.width - p.width - 2 * p.x, 1);
            EXPECT_LE(monitor.height - p.height - 2 * p.y, 1);
            if (p.scale >= 1) {
                EXPECT_EQ(p.width, frame.width * p.scale);
                EXPECT_EQ(p.height, frame.height * p.scale);
                const bool nextFits = frame.width * (p.scale + 1) <= monitor.width &&
                                      frame.height * (p.scale + 1) <= monitor.height;
                EXPECT_FALSE(nextFits);
            } else {
                EXPECT_TRUE(frame.width > monitor.width || frame.height > monitor.height);
                EXPECT_TRUE(p.width == monitor.width || p.height == monitor.height);
                // The aspect is kept to within the rounding of one pixel.
                EXPECT_NEAR(double(p.width) * frame.height, double(p.height) * frame.width,
                            double(frame.width));
            }
        }
}

TEST(DesktopPlacement, EmptySizesGiveAnEmptyPlacement) {
    for (const auto& sizes : {Monitor{0, 480}, Monitor{640, 0}, Monitor{-640, 480}}) {
        const DesktopPlacement p = placeOnMonitor(sizes.width, sizes.height, 1920, 1080);
        EXPECT_EQ(p.width, 0);
        EXPECT_EQ(p.height, 0);
        const DesktopPlacement q = placeOnMonitor(640, 480, sizes.width, sizes.height);
        EXPECT_EQ(q.width, 0);
        EXPECT_EQ(q.height, 0);
    }
}

TEST(PresentationWays, EachStartFallsBackToTheDesktopThenTheWindow) {
    using W = PresentationWay;
    struct Case {
        bool fullScreenRow, onDesktop;
        std::vector<W> expected;
    } cases[] = {
        {true, true, {W::DesktopFullScreen, W::Window640}},
        {true, false, {W::ModeChange, W::DesktopFullScreen, W::Window640}},
        {false, true, {W::Window, W::DesktopFullScreen, W::Window640}},
        {false, false, {W::Window, W::DesktopFullScreen, W::Window640}},
    };
    for (const Case& c : cases) {
        PresentationWay ways[kMaxPresentationWays];
        const int count = presentationWays(c.fullScreenRow, c.onDesktop, ways);
        EXPECT_EQ(std::vector<W>(ways, ways + count), c.expected)
            << c.fullScreenRow << " " << c.onDesktop;
    }
}

TEST(PresentationWays, TheInfoLineNamesWhatFailedAndWhereTheFrameIsShown) {
    using W = PresentationWay;
    EXPECT_STREQ(fallbackInfoText(W::ModeChange, W::DesktopFullScreen),
                 "Full screen mode could not be set: shown on the desktop");
    EXPECT_STREQ(fallbackInfoText(W::DesktopFullScreen, W::Window640),
                 "Full screen mode could not be set: shown in a window");
    EXPECT_STREQ(fallbackInfoText(W::Window, W::DesktopFullScreen),
                 "The window could not be set up: shown on the desktop");
}

TEST(PresentationWays, TheLogLineNamesEveryFailedStepWithItsCode) {
    using W = PresentationWay;
    char line[512];
    const PresentationFailure one[] = {{W::ModeChange, long(0x80004001u)}};
    formatFallbackLogLine(line, sizeof line, one, 1, W::DesktopFullScreen);
    EXPECT_STREQ(line, "Presentation: full screen display mode failed (80004001 "
                       "DDERR_UNSUPPORTED); shown as full screen on the desktop");

    // Two failures, one of them a code no table row names; a sign-extended 64-bit long reads
    // as its 32 bits.
    const PresentationFailure two[] = {{W::Window, -2005532527L}, {W::DesktopFullScreen, 0x1234}};
    formatFallbackLogLine(line, sizeof line, two, 2, W::Window640);
    EXPECT_STREQ(line, "Presentation: window failed (88760091 DDERR_INVALIDPIXELFORMAT); full "
                       "screen on the desktop failed (00001234 Unknown DirectDraw error); shown "
                       "as 640x480 window");

    // A short buffer holds a cut, terminated line; a size of 0 writes nothing.
    char shortLine[20];
    std::memset(shortLine, 'x', sizeof shortLine);
    formatFallbackLogLine(shortLine, sizeof shortLine, two, 2, W::Window640);
    EXPECT_STREQ(shortLine, "Presentation: windo");
    char untouched = 'x';
    formatFallbackLogLine(&untouched, 0, two, 2, W::Window640);
    EXPECT_EQ(untouched, 'x');
}
