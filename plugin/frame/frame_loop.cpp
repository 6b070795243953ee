#include "frame/frame_loop.h"

#include "effects/effects.h"
#include "base/frame_steps.h"
#include "base/guard.h"
#include "base/instance.h"
#include "base/random.h"
#include "control/selection.h"
#include "base/settings.h"
#include "frame/songtext.h"

#include <cstdio>
#include <cstring>

namespace {
const char kSource[] = "quorbel_plugin";
constexpr int kObjectsWave = 18;

// A countdown that reaches 0 (or a setting of 0 or below, which would never act) reloads from
// its setting, taken as at least 1.
bool countDown(int& countdown, int setting) {
    if (--countdown > 0) return false;
    countdown = setting > 0 ? setting : 1;
    return true;
}

void loadCountdowns() {
    plugin.randomCountdown = settings.Frequency_Random_Change;
    plugin.songTextCountdown = settings.Frequency_Id3_Change;
    plugin.pictureCountdown = settings.Frequency_Pic_Show;
    plugin.introStepInterval = static_cast<uint32_t>(settings.Frequency_Random_Change) * 8u + 492u;
    plugin.countdownsLoaded = true;
}

void introStep(FramePlatform& platform) {
    if (!plugin.introActive) {
        plugin.introActive = true;
        plugin.introPosition = -1;
        if (plugin.currentWave != kObjectsWave) {
            randomChange();
            plugin.currentWave = kObjectsWave;
        }
        char title[1024];
        platform.playerTitle(title, sizeof title);
        buildIntroText(title, plugin.introText, sizeof plugin.introText);
    }
    // Force a beat for this frame.
    plugin.beatLevel = 255;
    plugin.previousBeatLevel = 0;
    plugin.songTextCountdown = 1;

    const int length = static_cast<int>(std::strlen(plugin.introText));
    ++plugin.introPosition;
    while (plugin.introPosition <= length) {
        if (loadIntroLetter(plugin.introText[plugin.introPosition])) break;
        ++plugin.introPosition;
    }
    if (plugin.introPosition > length) {
        plugin.introPosition = 0;
        randomChange();
    }
}

void songIntro(FramePlatform& platform) {
    const uint32_t now = platform.tickCount();
    if (now - plugin.introLastCheck <= plugin.introStepInterval) return;
    plugin.introLastCheck = now;
    const int32_t position = static_cast<int32_t>(platform.playPosition());
    const uint32_t seconds = static_cast<uint32_t>(position / 1000);
    if (seconds < 10 || plugin.introPosition != 0 || plugin.currentWave == kObjectsWave) {
        introStep(platform);
    } else if (plugin.introActive) {
        randomChange();
        plugin.introActive = false;
    }
}

void showSongText(FramePlatform& platform) {
    plugin.songTextPending = true;
    static char title[1024];
    static char part[kSongTextSize];
    platform.playerTitle(title, sizeof title);
    part[0] = '\0';
    guarded(kSource, __LINE__, [&] { pickSongText(title, part); });
    guarded(kSource, __LINE__, [&] { platform.drawSongText(part); });
}

void beatRule(FramePlatform& platform) {
    const int threshold = settings.Beat_detection_sensitivity;
    if (plugin.beatLevel > threshold && plugin.previousBeatLevel <= threshold) {
        if (!plugin.introActive && !plugin.randomLocked &&
            countDown(plugin.randomCountdown, settings.Frequency_Random_Change))
            randomChange();
        if (settings.Show_ID3 && countDown(plugin.songTextCountdown, settings.Frequency_Id3_Change))
            showSongText(platform);
        if (countDown(plugin.pictureCountdown, settings.Frequency_Pic_Show))
            plugin.picturePending = true;
    }
    plugin.previousBeatLevel = plugin.beatLevel;
}

void stampSongText(FramePlatform& platform) {
    const int width = plugin.frameWidth;
    const int textWidth = plugin.textSurfaceWidth;
    const int textHeight = plugin.textSurfaceHeight;
    const int x = randomNext() % (width - textWidth);
    const int y = randomNext() % (plugin.frameHeight - textHeight);
    const uint8_t* pixels = nullptr;
    long pitch = 0;
    if (platform.lockTextSurface(&pixels, &pitch)) {
        const int bytes = platform.bytesPerPixel();
        // The surface is unlocked whatever the stamp ran into: a surface left locked fails
        // every later lock.
        guarded(kSource, __LINE__, [&] {
            for (int r = 0; r < textHeight; ++r) {
                const uint8_t* row = pixels + static_cast<long>(r) * pitch;
                uint8_t* out = plugin.currentBuffer + static_cast<long>(y + r) * width + x;
                for (int c = 0; c < textWidth; ++c) {
                    const uint8_t* pixel = row + c * bytes;
                    for (int b = 0; b < bytes; ++b)
                        if (pixel[b]) {
                            out[c] = 255;
                            break;
                        }
                }
            }
        });
        platform.unlockTextSurface();
    }
    plugin.songTextPending = false;
}

void updateInfoText(FramePlatform& platform) {
    const uint32_t now = platform.tickCount();
    if (now - plugin.fpsLastTick <= 1000) return;
    const int fps = plugin.frameCounter;
    plugin.frameCounter = 0;
    plugin.fpsLastTick = now;
    std::snprintf(plugin.infoText, sizeof plugin.infoText, "W: %s, F: %s, P: %s, T: %s, FPS: %d",
                  waveTable[plugin.currentWave].name, flameTable[plugin.currentFlame].name,
                  currentPaletteName(), currentTranslationName(), fps);
}

// Stored or stepped indices outside their tables fall back to the first entry.
void keepSelectionInTables() {
    if (plugin.currentWave < 0 || plugin.currentWave >= kWaveCount) plugin.currentWave = 0;
    if (plugin.currentFlame < 0 || plugin.currentFlame >= kFlameCount) plugin.currentFlame = 0;
    if (plugin.currentDisplay < 0 || plugin.currentDisplay >= kDisplayCount)
        plugin.currentDisplay = 0;
}
} // namespace

void (*frameFaultHook)(FrameStep step) = nullptr;

void weightSpectrum(uint8_t spectrum[2][576]) {
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 576; ++i) {
            const int v =
                static_cast<int>(static_cast<float>((i + 220) * spectrum[ch][i]) * 0.0045454544f);
            spectrum[ch][i] = static_cast<uint8_t>(v > 255 ? 255 : v);
        }
}

int bassLevel(const uint8_t spectrum[2][576]) {
    int level = 0;
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 8; ++i)
            if (spectrum[ch][i] > level) level = spectrum[ch][i];
    return level;
}

void showNotice(const char* text) {
    std::snprintf(plugin.noticeText, sizeof plugin.noticeText, "%s", text ? text : "");
    plugin.noticeShownSince = 0;
}

void resetFrameLoop() {
    plugin.beatLevel = plugin.previousBeatLevel = 0;
    plugin.randomCountdown = plugin.songTextCountdown = plugin.pictureCountdown = 0;
    plugin.countdownsLoaded = false;
    plugin.songTextPending = plugin.picturePending = plugin.screenshotPending = false;
    plugin.introActive = false;
    plugin.introPosition = 0;
    plugin.introText[0] = '\0';
    plugin.introLastCheck = 0;
    plugin.introStepInterval = 0;
    plugin.frameCounter = 0;
    plugin.fpsLastTick = 0;
    plugin.infoText[0] = '\0';
    plugin.noticeText[0] = '\0';
    plugin.noticeShownSince = 0;
}

void renderFrame(FramePlatform& platform, uint8_t spectrum[2][576], uint8_t waveform[2][576]) {
    if (!plugin.countdownsLoaded) loadCountdowns();

    plugin.beatLevel = bassLevel(spectrum);
    if (settings.Show_3D_song_intro) songIntro(platform);
    beatRule(platform);

    const uint8_t* audio;
    if (plugin.dataSource == 0) {
        audio = &waveform[0][0];
    } else {
        weightSpectrum(spectrum);
        audio = &spectrum[0][0];
    }

    exchangeFrameBuffers();
    keepSelectionInTables();

    guarded(kSource, __LINE__, [&] {
        if (frameFaultHook) frameFaultHook(FrameStep::Flame);
        flameTable[plugin.currentFlame].flame();
    });
    if (plugin.currentTranslation != 0)
        guarded(kSource, __LINE__, [&] { applyCurrentTranslation(); });
    if (plugin.picturePending && !pictureLoaderBusy() && runPictureEvent())
        plugin.picturePending = false;

    keepSelectionInTables();
    uint8_t* const frame = plugin.currentBuffer;
    guarded(kSource, __LINE__, [&] {
        if (frameFaultHook) frameFaultHook(FrameStep::Wave);
        waveTable[plugin.currentWave].wave(frame, audio);
    });
    keepSelectionInTables();
    std::memset(plugin.currentBuffer + static_cast<size_t>(plugin.frameWidth) * plugin.frameHeight,
                0, plugin.frameWidth);

    if (plugin.songTextPending) stampSongText(platform);
    ++plugin.frameCounter;
    if (settings.Show_Quorbel_Info) updateInfoText(platform);
    if (plugin.screenshotPending) {
        plugin.screenshotPending = false;
        saveScreenshot(plugin.currentBuffer);
    }

    guarded(kSource, __LINE__, [&] { platform.copyFrame(); });
    if (plugin.noticeText[0]) {
        // The clock reads 0 now and then (it wraps); a start of 0 means "not yet shown".
        const uint32_t now = platform.tickCount() | 1;
        if (plugin.noticeShownSince == 0) plugin.noticeShownSince = now;
        if (now - plugin.noticeShownSince < kNoticeMilliseconds)
            platform.drawOverlay(plugin.noticeText);
        else
            plugin.noticeText[0] = '\0';
    }
    if (settings.Show_Quorbel_Info && !plugin.noticeText[0]) platform.drawOverlay(plugin.infoText);
    guarded(kSource, __LINE__, [&] { platform.showFrame(); });
}
