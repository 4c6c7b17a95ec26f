// How long the launcher spends turning its artwork into pixels and its background into a window shape.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "toolkit/portable/picture.h"
#include "toolkit/portable/region_runs.h"

namespace {

std::vector<uint8_t> ReadAsset(const char* name) {
    std::ifstream file(std::string(THORNVALE_ASSETS_DIR) + "/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

void BM_DecodeBackgroundGif(benchmark::State& state) {
    const auto bytes = ReadAsset("LauncherBackground.gif");
    for (auto _ : state) benchmark::DoNotOptimize(tk::DecodePicture(bytes));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_DecodeBackgroundGif)->Unit(benchmark::kMillisecond);

void BM_ScanBackgroundOutline(benchmark::State& state) {
    const auto picture = tk::DecodePicture(ReadAsset("LauncherBackground.gif"));
    if (!picture) {
        state.SkipWithError("background does not decode");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(tk::ScanOpaqueRuns(*picture, 0x00FFFFFF));
}
BENCHMARK(BM_ScanBackgroundOutline)->Unit(benchmark::kMicrosecond);

void BM_DecodeButtonJpeg(benchmark::State& state) {
    const auto bytes = ReadAsset("OfficialSiteButtonImage.jpg");
    for (auto _ : state) benchmark::DoNotOptimize(tk::DecodePicture(bytes));
}
BENCHMARK(BM_DecodeButtonJpeg)->Unit(benchmark::kMicrosecond);

}  // namespace
