// The flames and the frame copy at 640x480, each as a ratio to a memcpy of the same bytes
// measured in the same run: the frame's bytes for a flame, the destination's bytes for a frame
// copy (for the scaled copy of the desktop full screen, the scaled destination's). Built natively
// and in both Windows builds (the latter run under Wine), so that the figures of the loops the
// shipped DLL runs are measured, not inferred. Each figure is the fastest of several rounds, which
// keeps the ratios steady on a busy machine.
//
//   kernel_ratios [rounds] [loops]     (default 15 rounds; loops of the flames: avx512bw, avx2,
//                                       sse2 or scalar, default the widest the processor runs)
//
// The first line names the loops in use by the instruction sets they need, after
// QUORBEL_CPU_OFF (base/cpu_features.h), and the features they were chosen from.
#include "frame/display_copy.h"
#include "base/cpu_features.h"
#include "effects/effects.h"
#include "effects/flames.h"
#include "base/instance.h"
#include "media/palettes.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 640, kHeight = 480;
volatile uint8_t sink;

template <class F> double fastestNanoseconds(int rounds, int perRound, F&& work) {
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < perRound; ++i) work();
        const double ns =
            std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
                .count() /
            perRound;
        if (ns < best) best = ns;
    }
    return best;
}

double memcpyNanoseconds(int rounds, size_t bytes) {
    std::vector<uint8_t> a(bytes, 1), b(bytes, 2);
    return fastestNanoseconds(rounds, 200, [&] {
        std::memcpy(a.data(), b.data(), bytes);
        sink = a[bytes / 2];
    });
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const char* build =
#if defined(_WIN64)
        "Windows 64-bit";
#elif defined(_WIN32)
        "Windows 32-bit";
#else
        "native";
#endif
    buildFlameTables();
    if (argc > 2) {
        const std::string loops = argv[2];
        const FlameKernels which = loops == "scalar" ? FlameKernels::Scalar
                                   : loops == "sse2" ? FlameKernels::Sse2
                                   : loops == "avx2" ? FlameKernels::Avx2
                                                     : FlameKernels::Avx512Bw;
        if (!useFlameKernels(which))
            std::fprintf(stderr, "kernel_ratios: the %s loops do not run here; measuring %s\n",
                         loops.c_str(), flameKernelsInUse());
    }
    std::printf("%s build; flames: %s, frame copy: %s (8-bit %s, 16-bit %s, 24-bit %s, 32-bit %s); "
                "%dx%d, fastest of %d rounds\n",
                build, flameKernelsInUse(), frameCopyKernels(), frameCopyLoops(8),
                frameCopyLoops(16), frameCopyLoops(24), frameCopyLoops(32), kWidth, kHeight,
                rounds);
    const char* off = std::getenv("QUORBEL_CPU_OFF");
    std::printf("features: %s%s%s\n", cpuFeatureNames(cpuFeatures()).c_str(),
                off ? "; QUORBEL_CPU_OFF=" : "", off ? off : "");
    std::printf("%-28s %10s %8s\n", "step", "ns", "xMemcpy");

    std::vector<uint8_t> a(static_cast<size_t>(kWidth) * (kHeight + 2)), b(a.size());
    std::mt19937 rng(7);
    for (size_t i = 0; i < a.size(); ++i) {
        a[i] = static_cast<uint8_t>(rng());
        b[i] = static_cast<uint8_t>(rng());
    }
    plugin.frameWidth = kWidth;
    plugin.frameHeight = kHeight;
    plugin.currentBuffer = a.data();
    plugin.previousBuffer = b.data();

    const size_t frameBytes = static_cast<size_t>(kWidth) * kHeight;
    const double frameFloor = memcpyNanoseconds(rounds, frameBytes);
    std::printf("%-28s %10.0f %8.2f\n", "memcpy of the frame", frameFloor, 1.0);
    for (int f = 0; f < kFlameCount; ++f) {
        const FlameFunction flame = flameTable[f].flame;
        const double ns = fastestNanoseconds(rounds, 50, [&] {
            flame();
            // Keep the frames alive: the fades would otherwise reach black and stay there.
            plugin.currentBuffer[frameBytes / 2 + kWidth / 2] = 255;
        });
        char name[40];
        std::snprintf(name, sizeof name, "flame %d %s", f, flameTable[f].name);
        std::printf("%-28s %10.0f %8.2f\n", name, ns, ns / frameFloor);
    }

    PaletteBlock palette = {};
    for (int i = 0; i < kPaletteColours; ++i) {
        palette.pixels16[i] = static_cast<uint16_t>(i * 257);
        palette.pixels32[i] = static_cast<uint32_t>(i) * 0x010101u;
    }
    for (int depth : {8, 16, 24, 32}) {
        const long pitch = static_cast<long>(kWidth) * (depth / 8);
        const size_t bytes = static_cast<size_t>(pitch) * kHeight;
        std::vector<uint8_t> destination(bytes);
        const double floor = memcpyNanoseconds(rounds, bytes);
        for (int display = 0; display < 4; ++display) {
            const double ns = fastestNanoseconds(rounds, 50, [&] {
                copyFrame(a.data(), kWidth, kHeight, display, destination.data(), pitch, depth,
                          palette);
                sink = destination[bytes / 2];
            });
            char name[40];
            std::snprintf(name, sizeof name, "copy %d-bit display %d", depth, display);
            std::printf("%-28s %10.0f %8.2f\n", name, ns, ns / floor);
        }
    }

    // Full screen on the desktop: the frame at x2 into 32-bit pixels, against a memcpy of the
    // 1280x960 destination.
    {
        const int scale = 2;
        const long pitch = static_cast<long>(kWidth) * scale * 4;
        const size_t bytes = static_cast<size_t>(pitch) * kHeight * scale;
        std::vector<uint8_t> destination(bytes);
        const double floor = memcpyNanoseconds(rounds, bytes);
        for (int display = 0; display < 4; ++display) {
            const double ns = fastestNanoseconds(rounds, 20, [&] {
                copyFrameScaled(a.data(), kWidth, kHeight, display, destination.data(), pitch, 32,
                                palette, scale);
                sink = destination[bytes / 2];
            });
            char name[40];
            std::snprintf(name, sizeof name, "copy x2 32-bit display %d", display);
            std::printf("%-28s %10.0f %8.2f\n", name, ns, ns / floor);
        }
    }
    return 0;
}
