// PluginInstance: the process-wide state of the plug-in, one per loaded library. Each module
// reads and writes the values it owns here; there are no locks (see ARCHITECTURE.md for which
// values another thread may touch).
#pragma once
#include <atomic>
#include <cstdint>

struct PluginInstance {
    // Entry and lifecycle. Window and module handles are kept as opaque pointers so that the
    // portable core can hold them.
    void* dllInstance = nullptr;
    void* parentWindow = nullptr;
    void* visWindow = nullptr;
    void* playerWindow = nullptr;
    std::atomic<int> errorCount{0};
    int dataSource = 0; // 0 scope (waveform), 1 analyser (spectrum)

    // Resolution values, set by applyResolution.
    int frameWidth = 640;
    int frameHeight = 480;
    int textSurfaceWidth = 300;
    int textSurfaceHeight = 150;
    int modeX = 0;
    int windowMode = 0; // 0 full screen, 1 windowed

    // Frame buffers: frameWidth x (frameHeight + 2) bytes each, exchanged by pointer.
    uint8_t* currentBuffer = nullptr;
    uint8_t* previousBuffer = nullptr;

    // Live selection.
    int sampleBias = 0x80;
    int waveScale = 0;
    int currentWave = 0;
    int currentFlame = 0;
    int currentDisplay = 0;
    int currentPalette = 0;
    int currentTranslation = 0;
    int nextTranslation = 0;
    bool randomLocked = false;

    // Frame loop state.
    int beatLevel = 0;
    int previousBeatLevel = 0;
    int randomCountdown = 0;
    int songTextCountdown = 0;
    int pictureCountdown = 0;
    bool countdownsLoaded = false;
    bool songTextPending = false;
    bool picturePending = false;
    bool screenshotPending = false;
    bool introActive = false;
    int introPosition = 0;
    char introText[1024] = {};
    uint32_t introLastCheck = 0;
    uint32_t introStepInterval = 0;
    int frameCounter = 0;
    uint32_t fpsLastTick = 0;
    char infoText[512] = {};
    // A notice shown over the frame for kNoticeMilliseconds from the first frame that draws it
    // (noticeShownSince 0 until then); "" when there is none.
    char noticeText[128] = {};
    uint32_t noticeShownSince = 0;
};

extern PluginInstance plugin;
