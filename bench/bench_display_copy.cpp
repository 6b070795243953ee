// The frame copy runs once per frame for every display function and pixel depth. Each case is
// reported with "memcpy_us", a memcpy of the same number of destination bytes timed in the
// same benchmark, and "x_memcpy", the copy's time as a multiple of that floor. Both are timed
// in thread CPU time, so that a busy machine taking the processor away does not skew them.
#include "frame/display_copy.h"
#include "media/palettes.h"
#include "media/pixel_format.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <cstring>
#include <vector>

namespace {

struct CopyCase {
    int width, height, depth, display;
    int scale = 0; // 0: copyFrame; 1 or more: copyFrameScaled by that factor
};

PaletteBlock benchPalette(int depth) {
    PaletteBlock block = {};
    for (int i = 0; i < kPaletteColours; ++i)
        block.entries[i] = PaletteEntry{uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 0};
    computePixelForms(block, depth == 16 ? makePixelFormat(16, 0xF800, 0x07E0, 0x001F)
                                         : makePixelFormat(depth, 0xFF0000, 0xFF00, 0xFF));
    return block;
}

double threadSeconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void BM_CopyFrame(benchmark::State& state, CopyCase c) {
    std::vector<uint8_t> frame(static_cast<size_t>(c.width) * (c.height + 2));
    uint32_t seed = 12345;
    for (uint8_t& v : frame) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<uint8_t>(seed >> 24);
    }
    const PaletteBlock palette = benchPalette(c.depth);
    const int factor = c.scale > 0 ? c.scale : 1;
    const long pitch = static_cast<long>(c.width) * factor * (c.depth / 8);
    const size_t bytes = static_cast<size_t>(pitch) * c.height * factor;
    std::vector<uint8_t> destination(bytes), memcpySource(bytes, 1);

    const double copyStart = threadSeconds();
    for (auto _ : state) {
        if (c.scale > 0)
            copyFrameScaled(frame.data(), c.width, c.height, c.display, destination.data(), pitch,
                            c.depth, palette, c.scale);
        else
            copyFrame(frame.data(), c.width, c.height, c.display, destination.data(), pitch,
                      c.depth, palette);
        benchmark::ClobberMemory();
    }
    const double copySeconds = threadSeconds() - copyStart;
    const auto iterations = state.iterations();

    const double memcpyStart = threadSeconds();
    for (benchmark::IterationCount i = 0; i < iterations; ++i) {
        std::memcpy(destination.data(), memcpySource.data(), bytes);
        benchmark::ClobberMemory();
    }
    const double memcpySeconds = threadSeconds() - memcpyStart;

    state.counters["memcpy_us"] = memcpySeconds * 1e6 / static_cast<double>(iterations);
    state.counters["x_memcpy"] = memcpySeconds > 0 ? copySeconds / memcpySeconds : 0;
    state.SetBytesProcessed(static_cast<int64_t>(iterations) * static_cast<int64_t>(bytes));
}

const char* const kDisplayNames[] = {"normal", "kaleidoscope", "weidth", "height"};

int registerCopyBenchmarks() {
    const int sizes[][2] = {{640, 480}, {320, 200}};
    for (const auto& size : sizes)
        for (int depth : {8, 16, 24, 32})
            for (int display = 0; display < 4; ++display) {
                const std::string name = "BM_CopyFrame/" + std::to_string(size[0]) + "x" +
                                         std::to_string(size[1]) + "/" + std::to_string(depth) +
                                         "bit/" + kDisplayNames[display];
                benchmark::RegisterBenchmark(name.c_str(), BM_CopyFrame,
                                             CopyCase{size[0], size[1], depth, display})
                    ->Unit(benchmark::kMicrosecond);
            }
    // Full screen on the desktop: 640x480 twice as large into a 32-bit desktop, beside the plain
    // copy above; the floor is a memcpy of the 1280x960 destination.
    for (int display = 0; display < 4; ++display) {
        const std::string name =
            std::string("BM_CopyFrameScaled/640x480x2/32bit/") + kDisplayNames[display];
        benchmark::RegisterBenchmark(name.c_str(), BM_CopyFrame, CopyCase{640, 480, 32, display, 2})
            ->Unit(benchmark::kMicrosecond);
    }
    return 0;
}
const int registered = registerCopyBenchmarks();

} // namespace
