#include <benchmark/benchmark.h>
#include "toolkit/portable/placement.h"
static void BM_Centre(benchmark::State& s) {
    for (auto _ : s) benchmark::DoNotOptimize(tk::CenteredOrigin(1920, 1103));
}
BENCHMARK(BM_Centre);
