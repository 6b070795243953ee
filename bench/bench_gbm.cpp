#include "gbm.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kW = 640, kH = 480;

std::string benchPath(const char* name) {
    return "/tmp/quorbel_bench_" + std::to_string(getpid()) + "_" + name;
}

// A frame like the visualiser's: smooth flame gradients with some noise in them.
std::vector<uint8_t> frame(bool noise) {
    std::vector<uint8_t> px((size_t)kW * kH);
    uint32_t state = 1;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            state = state * 214013u + 2531011u;
            const int grain = (int)((state >> 16) & 7);
            const int v =
                noise ? (int)((state >> 16) & 255) : ((x * x / 700 + y * 3 / 4) & 255) ^ grain;
            px[(size_t)y * kW + x] = (uint8_t)v;
        }
    return px;
}

std::vector<GBMRGB> palette() {
    std::vector<GBMRGB> p(256);
    for (int i = 0; i < 256; ++i) p[i] = {(uint8_t)i, (uint8_t)(i / 2), (uint8_t)(255 - i)};
    return p;
}

// What a screen shot does: copy the frame, flip it for gbm (bottom row first), write it.
bool screenshot(const std::string& path, const std::vector<uint8_t>& frameBuffer,
                const std::vector<GBMRGB>& colours) {
    std::vector<uint8_t> copy(frameBuffer);
    std::vector<uint8_t> row(kW);
    for (int k = 0; k < kH / 2; ++k) {
        uint8_t* a = &copy[(size_t)k * kW];
        uint8_t* b = &copy[(size_t)(kH - 1 - k) * kW];
        std::memcpy(row.data(), a, kW);
        std::memcpy(a, b, kW);
        std::memcpy(b, row.data(), kW);
    }
    int ft = 0;
    gbm_guess_filetype(path.c_str(), &ft);
    const int fd = gbm_io_create(path.c_str(), GBM_O_WRONLY | GBM_O_BINARY);
    if (fd == -1) return false;
    GBM header{};
    header.w = kW;
    header.h = kH;
    header.bpp = 8;
    const GBM_ERR rc = gbm_write(path.c_str(), fd, ft, &header, colours.data(), copy.data(), "");
    gbm_io_close(fd);
    return rc == GBM_ERR_OK;
}

void writeShot(benchmark::State& state, bool noise) {
    const std::vector<uint8_t> px = frame(noise);
    const std::vector<GBMRGB> colours = palette();
    const std::string path = benchPath("shot.gif");
    for (auto _ : state)
        if (!screenshot(path, px, colours)) state.SkipWithError("write failed");
    std::remove(path.c_str());
}

void decode(benchmark::State& state, bool noise) {
    const std::string path = benchPath(noise ? "noise.gif" : "frame.gif");
    if (!screenshot(path, frame(noise), palette())) {
        state.SkipWithError("write failed");
        return;
    }
    std::vector<uint8_t> data((size_t)kW * kH);
    GBMRGB colours[256];
    for (auto _ : state) {
        int ft = 0;
        gbm_guess_filetype(path.c_str(), &ft);
        const int fd = gbm_io_open(path.c_str(), GBM_O_RDONLY | GBM_O_BINARY);
        GBM header;
        GBM_ERR rc = gbm_read_header(path.c_str(), fd, ft, &header, "");
        if (rc == GBM_ERR_OK) rc = gbm_read_palette(fd, ft, &header, colours);
        if (rc == GBM_ERR_OK) rc = gbm_read_data(fd, ft, &header, data.data());
        gbm_io_close(fd);
        if (rc != GBM_ERR_OK) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(data.data());
    }
    std::remove(path.c_str());
}

} // namespace

// A picture read by the loader thread.
static void BM_GbmDecode640x480(benchmark::State& state) {
    decode(state, false);
}
BENCHMARK(BM_GbmDecode640x480)->Unit(benchmark::kMillisecond);
static void BM_GbmDecode640x480Noise(benchmark::State& state) {
    decode(state, true);
}
BENCHMARK(BM_GbmDecode640x480Noise)->Unit(benchmark::kMillisecond);

// A screen shot, written inside one frame: copy, flip and gbm_write of a 640x480 frame.
static void BM_GbmScreenshot640x480(benchmark::State& state) {
    writeShot(state, false);
}
BENCHMARK(BM_GbmScreenshot640x480)->Unit(benchmark::kMillisecond);
static void BM_GbmScreenshot640x480Noise(benchmark::State& state) {
    writeShot(state, true);
}
BENCHMARK(BM_GbmScreenshot640x480Noise)->Unit(benchmark::kMillisecond);
