// Translation tables: reading and resampling a table file, the per-frame pass next to the
// memory floor of the same run, the built-in generators and the three table tools.
#include "media/builtin_tables.h"
#include "media/translation_table.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A scratch folder for the run, removed at exit.
struct Scratch {
    std::string folder;
    Scratch() {
        char pattern[] = "/tmp/quorbel_bench_tables_XXXXXX";
        const char* made = mkdtemp(pattern);
        folder = made ? made : "/tmp";
    }
    ~Scratch() {
        if (folder != "/tmp") std::system(("rm -rf '" + folder + "'").c_str());
    }
    std::string file(const char* name) const { return folder + "/" + name; }
};

Scratch& scratch() {
    static Scratch s;
    return s;
}

// The built-in tables, generated once for the reading and applying benchmarks.
const std::string& tableFile(const char* name) {
    static bool made = false;
    static std::string path;
    if (!made) {
        generateBuiltInTables(scratch().folder, false, nullptr, nullptr);
        made = true;
    }
    path = scratch().file(name);
    return path;
}

void BM_ReadTable(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1));
    const std::string path = tableFile("rotate.tab");
    std::vector<uint32_t> table(size_t(w) * h);
    for (auto _ : state) {
        readTranslationTable(path, table.data(), w, h);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kTableFileBytes);
    state.SetLabel(std::to_string(w) + "x" + std::to_string(h));
}
BENCHMARK(BM_ReadTable)->Args({640, 480})->Args({320, 200})->Unit(benchmark::kMicrosecond);

// The same from a file image in memory: the conversion without the file system.
void BM_ReadTableFromMemory(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1));
    std::vector<char> image(kTableFileBytes);
    if (std::FILE* f = std::fopen(tableFile("rotate.tab").c_str(), "rb")) {
        if (std::fread(image.data(), 1, image.size(), f) != image.size())
            state.SkipWithError("short");
        std::fclose(f);
    }
    std::vector<uint32_t> table(size_t(w) * h);
    for (auto _ : state) {
        std::FILE* f = fmemopen(image.data(), image.size(), "rb");
        readTranslationTable(f, table.data(), w, h);
        std::fclose(f);
        benchmark::ClobberMemory();
    }
    state.SetLabel(std::to_string(w) + "x" + std::to_string(h));
}
BENCHMARK(BM_ReadTableFromMemory)
    ->Args({640, 480})
    ->Args({320, 200})
    ->Unit(benchmark::kMicrosecond);

struct FrameSetup {
    int w, h;
    std::vector<uint32_t> table;
    std::vector<uint8_t> previous, current;
    FrameSetup(const char* tableName, int width, int height)
        : w(width), h(height), table(size_t(width) * height),
          previous(size_t(width) * (height + 2)), current(size_t(width) * (height + 2)) {
        readTranslationTable(tableFile(tableName), table.data(), w, h);
        for (size_t i = 0; i < size_t(w) * h; ++i) previous[i] = uint8_t(i * 7 + (i >> 9));
    }
};

const char* const kApplyTables[] = {"rotate.tab", "space.tab", "huricane.tab"};

void BM_ApplyTranslation(benchmark::State& state) {
    FrameSetup f(kApplyTables[state.range(2)], int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        applyTranslationTable(f.table.data(), f.previous.data(), f.current.data(), f.w, f.h);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t(f.w) * f.h * 5);
    state.SetLabel(std::string(kApplyTables[state.range(2)]) + " " + std::to_string(f.w) + "x" +
                   std::to_string(f.h));
}
BENCHMARK(BM_ApplyTranslation)
    ->Args({640, 480, 0})
    ->Args({640, 480, 1})
    ->Args({640, 480, 2})
    ->Args({320, 200, 0})
    ->Unit(benchmark::kMicrosecond);

// The floor for one pass: read every 4-byte entry once and write every frame byte once, as
// fast as the machine streams it (vectorised, no gather, no dependence between pixels).
#if defined(__GNUC__) && !defined(__clang__)
__attribute__((optimize("O3")))
#endif
void streamEntriesToFrame(const uint32_t* __restrict in, uint8_t* __restrict out, int n) {
    for (int k = 0; k < n; ++k) out[k] = uint8_t(in[k] >> 24);
}

void BM_ApplyMemoryFloor(benchmark::State& state) {
    FrameSetup f("rotate.tab", int(state.range(0)), int(state.range(1)));
    const int n = f.w * (f.h - 1) - 1;
    for (auto _ : state) {
        streamEntriesToFrame(f.table.data(), f.current.data() + f.w + 1, n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t(f.w) * f.h * 5);
    state.SetLabel(std::to_string(f.w) + "x" + std::to_string(f.h));
}
BENCHMARK(BM_ApplyMemoryFloor)->Args({640, 480})->Args({320, 200})->Unit(benchmark::kMicrosecond);

void (*const kGenerators[])(const std::string&) = {generateSpaceTable, generateRotateTable,
                                                   generateSpiralDownTable, generateHurricaneTable,
                                                   generateBigWheelTable};

void BM_GenerateTable(benchmark::State& state) {
    const int i = int(state.range(0));
    const std::string path = scratch().file("generated.tab");
    for (auto _ : state) kGenerators[i](path);
    state.SetLabel(builtInTableName(i, false));
}
BENCHMARK(BM_GenerateTable)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GenerateBuiltInTables(benchmark::State& state) {
    const std::string folder = scratch().file("all");
    std::system(("mkdir -p '" + folder + "'").c_str());
    for (auto _ : state) generateBuiltInTables(folder, true, nullptr, nullptr);
    state.SetLabel("all five tables");
}
BENCHMARK(BM_GenerateBuiltInTables)->Unit(benchmark::kMillisecond)->UseRealTime();

// The tools are found beside this program's build folder: <build>/bench/.. /tools/NAME.
std::string toolPath(const char* name) {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return name;
    std::string dir(self, size_t(n));
    dir = dir.substr(0, dir.rfind('/'));
    return dir + "/../tools/" + name;
}

void runTool(benchmark::State& state, const char* name, const std::string& arguments) {
    const std::string tool = toolPath(name);
    if (access(tool.c_str(), X_OK) != 0) {
        state.SkipWithError("tool not built");
        return;
    }
    const std::string command =
        "'" + tool + "' '" + scratch().file("tool.tab") + "' " + arguments + " > /dev/null";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("tool failed");
}

void BM_Tool_spiralmaker(benchmark::State& state) {
    runTool(state, "spiralmaker", "4");
}
void BM_Tool_spiralmaker64(benchmark::State& state) {
    runTool(state, "spiralmaker", "64");
}
void BM_Tool_hurricanemaker(benchmark::State& state) {
    runTool(state, "hurricanemaker", "");
}
void BM_Tool_spaceflightmaker(benchmark::State& state) {
    runTool(state, "spaceflightmaker", "");
}
BENCHMARK(BM_Tool_spiralmaker)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Tool_spiralmaker64)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Tool_hurricanemaker)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Tool_spaceflightmaker)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
