// Throughput of DKS2VKM's stages on generated exports (see tools/asegen).
//   pipeline_bench <export.ase>... [benchmark flags]
// Each export gets a loadScene benchmark reporting bytes per second.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "sceneread/scene_reader.h"

namespace {

std::FILE* nullOutput() {
    static std::FILE* sink = std::fopen("/dev/null", "w");
    return sink;
}

void loadScene(benchmark::State& state, const std::string& file) {
    const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(file));
    for (auto _ : state) {
        sceneread::Scene scene;
        sceneread::loadScene(scene, file, nullOutput());
        benchmark::DoNotOptimize(scene.geometryObjects.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::string file = argv[i];
        const std::string name = std::filesystem::path(file).filename().string();
        benchmark::RegisterBenchmark(("loadScene/" + name).c_str(), loadScene, file)
            ->Unit(benchmark::kMillisecond)
            ->MinTime(2.0);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
