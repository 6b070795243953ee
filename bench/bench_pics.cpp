// Pictures and screen shots at 640x480 and 320x200: reading a picture file (decode, flip and
// scale to the frame), the scaling alone, writing a screen shot, and laying a picture into the
// frame (the full copy and the pass that fills only black pixels).
#include "base/frame_steps.h"
#include "gbm.h"
#include "base/instance.h"
#include "media/palettes.h"
#include "base/paths.h"
#include "media/pics.h"
#include "base/settings.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const struct Size { int w, h, resolution; } kSizes[] = {{640, 480, 0}, {320, 200, 3}};

// A folder of our own for the files the benchmarks read and write.
class BenchFolder {
  public:
    BenchFolder() : path("/tmp/quorbel_bench_pics_" + std::to_string(getpid()) + "/") {
        std::system(("rm -rf '" + path + "' && mkdir -p '" + path + "pics'").c_str());
        setHostDirectory(path);
    }
    ~BenchFolder() { std::system(("rm -rf '" + path + "'").c_str()); }
    const std::string path;
};

void useResolution(int resolution) {
    settings = Settings();
    settings.Resolution = resolution;
    applyResolution();
}

// Smooth bands with some grain, like our pictures: a w x h picture, top row first.
std::vector<uint8_t> picturePixels(int w, int h) {
    std::vector<uint8_t> px(static_cast<size_t>(w) * h);
    uint32_t state = 1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            state = state * 214013u + 2531011u;
            const int grain = static_cast<int>((state >> 16) & 3);
            px[static_cast<size_t>(y) * w + x] =
                static_cast<uint8_t>(1 + ((x * x / 900 + y * y / 700 + grain) % 255));
        }
    return px;
}

bool writePictureFile(const std::string& path, int w, int h) {
    std::vector<uint8_t> px = picturePixels(w, h);
    std::vector<uint8_t> bottomFirst(px.size());
    for (int y = 0; y < h; ++y)
        std::memcpy(&bottomFirst[static_cast<size_t>(h - 1 - y) * w],
                    &px[static_cast<size_t>(y) * w], w);
    GBMRGB colours[256];
    for (int i = 0; i < 256; ++i)
        colours[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i / 2),
                      static_cast<uint8_t>(255 - i)};
    GBM header = {};
    header.w = w;
    header.h = h;
    header.bpp = 8;
    const int file = gbm_io_create(path.c_str(), GBM_O_WRONLY | GBM_O_BINARY);
    if (file == -1) return false;
    const bool ok =
        gbm_write(path.c_str(), file, GBM_FT_GIF, &header, colours, bottomFirst.data(), "") == 0;
    gbm_io_close(file);
    return ok;
}

// loadPicture of a 640 x 480 file into a frame of the size given.
void loadPictureFile(benchmark::State& state, const Size& size, bool ownColours) {
    BenchFolder folder;
    gbm_init();
    useResolution(size.resolution);
    settings.Set_Pic_Palette = ownColours ? 1 : 0;
    if (!writePictureFile(folder.path + "pics/picture.gif", 640, 480)) {
        state.SkipWithError("cannot write the picture");
        gbm_deinit();
        return;
    }
    listPictures();
    for (auto _ : state) {
        uint8_t* target = nullptr;
        if (!loadPicture(target, 1)) {
            state.SkipWithError("cannot read the picture");
            break;
        }
        benchmark::DoNotOptimize(target);
        std::free(target);
    }
    state.SetItemsProcessed(state.iterations());
    gbm_deinit();
}

void scaleOnly(benchmark::State& state, int sw, int sh, const Size& size) {
    const std::vector<uint8_t> source = picturePixels(sw, sh);
    std::vector<uint8_t> out(static_cast<size_t>(size.w) * size.h);
    for (auto _ : state) {
        scalePicture(source.data(), sw, sh, sw, out.data(), size.w, size.h);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size.w * size.h);
}

void screenshot(benchmark::State& state, const Size& size) {
    BenchFolder folder;
    gbm_init();
    useResolution(size.resolution);
    const std::vector<uint8_t> frame = picturePixels(size.w, size.h);
    const std::string shot = folder.path + "shot_0.gif";
    for (auto _ : state) {
        saveScreenshot(frame.data());
        state.PauseTiming();
        if (std::remove(shot.c_str()) != 0) state.SkipWithError("no shot written");
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations());
    gbm_deinit();
}

// The picture event with every picture in memory (no loader thread): the copy over the frame,
// or with "Set_Pic_On_Background" the pass over a frame that is black in about half its pixels.
void layPicture(benchmark::State& state, const Size& size, bool onBackground) {
    useResolution(size.resolution);
    settings.Load_All_Pics = 1;
    settings.Set_Pic_On_Background = onBackground ? 1 : 0;
    std::vector<uint8_t> picture = picturePixels(size.w, size.h);
    const size_t n = picture.size();
    std::vector<uint8_t> background(n + 2 * size.w);
    // Black with bright blobs, as a flame leaves it.
    for (int y = 0; y < size.h; ++y)
        for (int x = 0; x < size.w; ++x)
            background[static_cast<size_t>(y) * size.w + x] =
                ((x / 23 + y / 17) % 2 && (x * 7 + y * 3) % 11 > 2)
                    ? static_cast<uint8_t>(1 + (x + y) % 200)
                    : 0;
    std::vector<uint8_t> frame = background;
    pictureCount = 1;
    loadedPictures[1] = picture.data();
    plugin.currentBuffer = frame.data();
    for (auto _ : state) {
        currentPicture = 1;
        runPictureEvent();
        benchmark::ClobberMemory();
        if (onBackground) {
            state.PauseTiming();
            std::memcpy(frame.data(), background.data(), n);
            state.ResumeTiming();
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
    loadedPictures[1] = nullptr;
    pictureCount = 0;
    currentPicture = 0;
    plugin.currentBuffer = nullptr;
}

void registerAll() {
    for (const Size& size : kSizes) {
        const std::string res = std::to_string(size.w) + "x" + std::to_string(size.h);
        benchmark::RegisterBenchmark(
            ("Pictures/Load640x480/" + res).c_str(),
            [=](benchmark::State& st) { loadPictureFile(st, size, false); })
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Pictures/Load640x480OwnColours/" + res).c_str(),
                                     [=](benchmark::State& st) { loadPictureFile(st, size, true); })
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Pictures/Scale640x480/" + res).c_str(),
                                     [=](benchmark::State& st) { scaleOnly(st, 640, 480, size); })
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("Pictures/Scale1000x800/" + res).c_str(),
                                     [=](benchmark::State& st) { scaleOnly(st, 1000, 800, size); })
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("Pictures/Screenshot/" + res).c_str(),
                                     [=](benchmark::State& st) { screenshot(st, size); })
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Pictures/LayCopy/" + res).c_str(),
                                     [=](benchmark::State& st) { layPicture(st, size, false); })
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("Pictures/LayOnBackground/" + res).c_str(),
                                     [=](benchmark::State& st) { layPicture(st, size, true); })
            ->Unit(benchmark::kMicrosecond);
    }
}

const int registered = (registerAll(), 0);

} // namespace
