#include "fault_injection.h"
#include "frame_fixture.h"
#include "base/guard.h"

TEST(AnalyserWeighting, RaisesHighBinsAndKeepsTheLowest) {
    uint8_t spectrum[2][576] = {};
    spectrum[0][0] = 200;
    spectrum[1][0] = 200;
    spectrum[0][575] = 200;
    spectrum[1][100] = 100;
    weightSpectrum(spectrum);
    EXPECT_EQ(spectrum[0][0], 200);
    EXPECT_EQ(spectrum[1][0], 200);
    EXPECT_EQ(spectrum[0][575], 255);
    EXPECT_EQ(spectrum[1][100], 145); // 320 * 100 / 220
}

TEST(AnalyserWeighting, BassLevelIsTheLargestOfTheEightLowestBinsOfBothChannels) {
    uint8_t spectrum[2][576] = {};
    spectrum[0][8] = 255; // not a bass bin
    spectrum[1][7] = 90;
    spectrum[0][3] = 80;
    EXPECT_EQ(bassLevel(spectrum), 90);
}

TEST_F(FrameLoopTest, ASteadyLoudInputGivesOneBeat) {
    settings.Frequency_Pic_Show = 100;
    setBass(250);
    for (int i = 0; i < 10; ++i) frame();
    EXPECT_EQ(plugin.pictureCountdown, 99);
    setBass(100);
    frame();
    setBass(250);
    frame();
    EXPECT_EQ(plugin.pictureCountdown, 98);
}

TEST_F(FrameLoopTest, AThresholdOf255NeverSeesABeat) {
    settings.Beat_detection_sensitivity = 255;
    settings.Frequency_Pic_Show = 100;
    for (int i = 0; i < 6; ++i) {
        setBass(i % 2 ? 255 : 0);
        frame();
    }
    EXPECT_EQ(plugin.pictureCountdown, 100);
}

TEST_F(FrameLoopTest, CountdownsLoadOnceAndReloadAtZero) {
    settings.Frequency_Pic_Show = 2;
    settings.Frequency_Random_Change = 3;
    for (int beat = 0; beat < 2; ++beat) {
        setBass(0);
        frame();
        setBass(255);
        frame();
    }
    EXPECT_TRUE(plugin.picturePending);
    EXPECT_EQ(plugin.pictureCountdown, 2);
    EXPECT_EQ(plugin.randomCountdown, 1);
    EXPECT_EQ(plugin.introStepInterval, 3u * 8 + 492);
    // A later change of the setting is used at the next reload, not at once.
    settings.Frequency_Random_Change = 5;
    setBass(0);
    frame();
    setBass(255);
    frame();
    EXPECT_EQ(plugin.randomCountdown, 5);
}

TEST_F(FrameLoopTest, ALockedRandomChangeStillCountsSongTextAndPictures) {
    plugin.randomLocked = true;
    settings.Show_ID3 = 1;
    settings.Frequency_Id3_Change = 10;
    settings.Frequency_Pic_Show = 10;
    setBass(0);
    frame();
    setBass(255);
    frame();
    EXPECT_EQ(plugin.randomCountdown, settings.Frequency_Random_Change);
    EXPECT_EQ(plugin.songTextCountdown, 9);
    EXPECT_EQ(plugin.pictureCountdown, 9);
}

TEST_F(FrameLoopTest, FrequenciesOfZeroActOnEveryBeat) {
    settings.Frequency_Pic_Show = 0;
    setBass(0);
    frame();
    setBass(255);
    frame();
    EXPECT_TRUE(plugin.picturePending);
    EXPECT_EQ(plugin.pictureCountdown, 1);
}

TEST_F(FrameLoopTest, SongTextIsPickedAndDrawnOnItsBeat) {
    settings.Show_ID3 = 1;
    settings.Frequency_Id3_Change = 1;
    platform.title = "7. Band - Tune - Winamp";
    setBass(0);
    frame();
    setBass(255);
    frame();
    EXPECT_EQ(platform.songTexts, 1);
    EXPECT_TRUE(platform.lastSongText == " Band " || platform.lastSongText == " Tune ");
    // The text surface could not be locked: the stamp is skipped and not retried.
    EXPECT_FALSE(plugin.songTextPending);
}

TEST_F(FrameLoopTest, SelectionOutsideTheTablesFallsBackToTheFirstEntry) {
    plugin.currentWave = 25;
    plugin.currentFlame = -1;
    plugin.currentDisplay = 7;
    frame();
    EXPECT_EQ(plugin.currentWave, 0);
    EXPECT_EQ(plugin.currentFlame, 0);
    EXPECT_EQ(plugin.currentDisplay, 0);
    EXPECT_EQ(platform.framesShown, 1);
}

TEST_F(FrameLoopTest, BuffersAreExchangedAndTheGuardRowCleared) {
    uint8_t* const first = plugin.currentBuffer;
    const size_t n = static_cast<size_t>(plugin.frameWidth) * plugin.frameHeight;
    std::memset(plugin.previousBuffer + n, 7, plugin.frameWidth);
    frame();
    EXPECT_EQ(plugin.previousBuffer, first);
    for (int x = 0; x < plugin.frameWidth; ++x) ASSERT_EQ(plugin.currentBuffer[n + x], 0);
}

TEST_F(FrameLoopTest, AFaultInAFrameStepIsCountedAndTheFrameGoesOn) {
    frameFaultHook = [](FrameStep step) {
        if (step == FrameStep::Flame) causeAccessViolation();
    };
    frame();
    frame();
    frameFaultHook = nullptr;
    EXPECT_EQ(plugin.errorCount, 2);
    EXPECT_EQ(platform.framesShown, 2);
    EXPECT_EQ(lastExceptionCode(), kExceptionAccessViolation);
}

// A text surface whose pixels cannot be read: the stamp faults while the surface is locked.
class UnreadableTextPlatform : public FakePlatform {
  public:
    int locks = 0, unlocks = 0;
    bool lockTextSurface(const uint8_t** pixels, long* pitch) override {
        ++locks;
        *pixels = reinterpret_cast<const uint8_t*>(const_cast<int*>(inaccessiblePage()));
        *pitch = 0;
        return true;
    }
    void unlockTextSurface() override { ++unlocks; }
};

TEST_F(FrameLoopTest, AFaultWhileTheSongTextIsStampedLeavesTheTextSurfaceUnlocked) {
    ASSERT_NE(inaccessiblePage(), nullptr);
    UnreadableTextPlatform unreadable;
    settings.Show_ID3 = 1;
    settings.Frequency_Id3_Change = 1;
    setBass(0);
    renderFrame(unreadable, spectrum, waveform);
    setBass(255);
    // The plug-in's Render has a guard of its own around the frame.
    guarded(nullptr, 0, [&] { renderFrame(unreadable, spectrum, waveform); });
    EXPECT_EQ(unreadable.locks, 1);
    EXPECT_EQ(unreadable.unlocks, 1);
    EXPECT_EQ(plugin.errorCount, 1);
    EXPECT_EQ(lastExceptionCode(), kExceptionAccessViolation);
    // The frame went on to the screen.
    EXPECT_EQ(unreadable.framesShown, 2);
    EXPECT_FALSE(plugin.songTextPending);
}

TEST_F(FrameLoopTest, TheIntroSpellsTheTitleAndEndsAfterTenSeconds) {
    settings.Show_3D_song_intro = 1;
    platform.title = "3. Ab - Cd - Winamp";
    platform.position = 2000;
    platform.ticks = 1000;
    frame();
    EXPECT_TRUE(plugin.introActive);
    EXPECT_STREQ(plugin.introText, "  Ab   Cd ");
    EXPECT_EQ(plugin.beatLevel, 255);
    // No letter object loads here, so the text is used up at once and starts again.
    EXPECT_EQ(plugin.introPosition, 0);
    // Past ten seconds the "Objects" wave keeps the intro going...
    plugin.currentWave = 18;
    platform.position = 12000;
    platform.ticks += 557; // more than 8 * 8 + 492 ms later
    frame();
    EXPECT_TRUE(plugin.introActive);
    // ...until another wave is on (the "Objects" wave hands over to wave 0 without an object).
    plugin.currentWave = 0;
    platform.ticks += 556; // exactly the interval: not yet
    frame();
    EXPECT_TRUE(plugin.introActive);
    platform.ticks += 1;
    frame();
    EXPECT_FALSE(plugin.introActive);
}

TEST_F(FrameLoopTest, ANoticeShowsForFiveSecondsFromItsFirstFrameInPlaceOfTheInfo) {
    settings.Show_Quorbel_Info = 1;
    platform.ticks = 0xFFFFF000u; // the clock wraps while the notice shows
    frame();
    ASSERT_FALSE(platform.overlays.empty());
    EXPECT_NE(platform.overlays.back(), "shown on the desktop");

    showNotice("shown on the desktop");
    platform.overlays.clear();
    frame();
    platform.ticks += kNoticeMilliseconds - 2;
    frame();
    EXPECT_EQ(platform.overlays,
              (std::vector<std::string>{"shown on the desktop", "shown on the desktop"}));

    platform.overlays.clear();
    platform.ticks += 2;
    frame(); // the information line again, once the notice is over
    frame();
    ASSERT_EQ(platform.overlays.size(), 2u);
    EXPECT_NE(platform.overlays[0], "shown on the desktop");

    // Without the information line only the notice is drawn; a new notice starts anew, and an
    // empty one draws nothing.
    settings.Show_Quorbel_Info = 0;
    showNotice(std::string(300, 'n').c_str());
    platform.overlays.clear();
    frame();
    ASSERT_EQ(platform.overlays.size(), 1u);
    EXPECT_EQ(platform.overlays[0], std::string(127, 'n'));
    showNotice("");
    frame();
    EXPECT_EQ(platform.overlays.size(), 1u);
}
