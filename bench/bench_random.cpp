#include "base/random.h"

#include <benchmark/benchmark.h>

// The random source is drawn per pixel by the table generators: keep it cheap.
static void BM_RandomNext(benchmark::State& state) {
    randomSeed(1);
    for (auto _ : state) benchmark::DoNotOptimize(randomNext());
}
BENCHMARK(BM_RandomNext);
