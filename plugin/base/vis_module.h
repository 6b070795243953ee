// The Winamp visualisation plug-in interface: the header record returned by the one export
// winampVisGetHeader, and the module record that the host fills and calls. Shared by the
// plug-in and our host. Window and instance handles are opaque pointers here.
#pragma once
#include <cstddef>

struct winampVisModule {
    char* description;
    void* hwndParent;
    void* hDllInstance;
    int sRate;
    int nCh;
    int latencyMs;
    int delayMs;
    int spectrumNch;
    int waveformNch;
    unsigned char spectrumData[2][576];
    unsigned char waveformData[2][576];
    void (*Config)(winampVisModule* module);
    int (*Init)(winampVisModule* module);
    int (*Render)(winampVisModule* module);
    void (*Quit)(winampVisModule* module);
    void* userData;
};

struct winampVisHeader {
    int version;
    char* description;
    winampVisModule* (*getModule)(int index);
};

using winampVisGetHeaderType = winampVisHeader* (*)();

constexpr int kVisHeaderVersion = 0x101;

#if defined(_WIN32) && !defined(_WIN64)
// The players' layout, field by field, for the 32-bit build.
static_assert(offsetof(winampVisModule, description) == 0, "layout");
static_assert(offsetof(winampVisModule, hwndParent) == 4, "layout");
static_assert(offsetof(winampVisModule, hDllInstance) == 8, "layout");
static_assert(offsetof(winampVisModule, sRate) == 12, "layout");
static_assert(offsetof(winampVisModule, nCh) == 16, "layout");
static_assert(offsetof(winampVisModule, latencyMs) == 20, "layout");
static_assert(offsetof(winampVisModule, delayMs) == 24, "layout");
static_assert(offsetof(winampVisModule, spectrumNch) == 28, "layout");
static_assert(offsetof(winampVisModule, waveformNch) == 32, "layout");
static_assert(offsetof(winampVisModule, spectrumData) == 36, "layout");
static_assert(offsetof(winampVisModule, waveformData) == 1188, "layout");
static_assert(offsetof(winampVisModule, Config) == 2340, "layout");
static_assert(offsetof(winampVisModule, Init) == 2344, "layout");
static_assert(offsetof(winampVisModule, Render) == 2348, "layout");
static_assert(offsetof(winampVisModule, Quit) == 2352, "layout");
static_assert(offsetof(winampVisModule, userData) == 2356, "layout");
static_assert(sizeof(winampVisModule) == 2360, "layout");
static_assert(offsetof(winampVisHeader, version) == 0, "layout");
static_assert(offsetof(winampVisHeader, description) == 4, "layout");
static_assert(offsetof(winampVisHeader, getModule) == 8, "layout");
#endif
