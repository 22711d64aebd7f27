// Throughput of DKS2VKM's stages on generated exports (see tools/asegen).
//   pipeline_bench <script.dks>... [benchmark flags]
// Each script's first LOD file gets a loadScene benchmark (bytes per second);
// each script gets conversion and VKM-serialisation benchmarks.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "modelconv/convert.h"
#include "modelconv/model_script.h"
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

void convertModel(benchmark::State& state, const std::string& script) {
    modelconv::ModelDefinition definition;
    modelconv::loadModelScript(definition, script, nullOutput());
    for (auto _ : state) {
        modelconv::ConvertedModel model;
        modelconv::convert(definition, model, nullOutput());
        benchmark::DoNotOptimize(model.elements.data());
    }
}

void serialiseModel(benchmark::State& state, const std::string& script) {
    modelconv::ModelDefinition definition;
    modelconv::loadModelScript(definition, script, nullOutput());
    modelconv::ConvertedModel model;
    modelconv::convert(definition, model, nullOutput());
    for (auto _ : state) benchmark::DoNotOptimize(model.bytes().data());
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::string script = argv[i];
        const std::filesystem::path ase = std::filesystem::path(script).replace_extension(".ase");
        const std::string name = ase.filename().string();
        benchmark::RegisterBenchmark(("loadScene/" + name).c_str(), loadScene, ase.string())
            ->Unit(benchmark::kMillisecond)->MinTime(1.0);
        benchmark::RegisterBenchmark(("convert/" + name).c_str(), convertModel, script)
            ->Unit(benchmark::kMillisecond)->MinTime(1.0);
        benchmark::RegisterBenchmark(("serialise/" + name).c_str(), serialiseModel, script)
            ->Unit(benchmark::kMillisecond)->MinTime(1.0);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
