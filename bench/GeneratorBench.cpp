#include "BenchSupport.h"

#include <benchmark/benchmark.h>

using namespace bench_support;

namespace
{
    juce::ScopedJuceInitialiser_GUI juceForBenchmarks;

    enum Mode { parallel, beam, beamContinue };

    void configure (KadenzoAudioProcessor& p, Mode mode)
    {
        set (p, "variationtype", mode == parallel ? 0.0f : 1.0f);
        set (p, "continue", mode == beamContinue ? 8.0f : 0.0f);
        set (p, "maxcontext", 16);
        set (p, "maxcontextmin", 16);
        set (p, "maxcontextmax", 16);
    }

    void generateOn (benchmark::State& state, const juce::File& model, Mode mode, bool realistic)
    {
        Folder folder;
        model.copyFileTo (folder.folder.getChildFile ("0.bin"));
        KadenzoAudioProcessor p (folder.folder, juce::PluginHostType::UnknownHost);
        if (! realistic)
            configure (p, mode);
        else
            set (p, "variationtype", mode == parallel ? 0.0f : 1.0f);
        for (auto _ : state)
            p.generate (-1, false);
        state.SetLabel (model.getFileName().toStdString() + " " + std::to_string (model.getSize()) + " bytes");
    }

    juce::File trieFile (const char* name, const ModelWriter::Node& root)
    {
        static Folder folder;
        const auto file = folder.folder.getChildFile (name);
        if (! file.existsAsFile())
        {
            const auto bytes = ModelWriter::serialise (root);
            file.replaceWithData (bytes.data(), bytes.size());
        }
        return file;
    }

    juce::File worstCaseFile() { return trieFile ("worst.bin", worstCaseTrie()); }
    juce::File realisticFile() { return trieFile ("realistic.bin", realisticTrie()); }
}

static void GenerateWorstCaseParallel (benchmark::State& s) { generateOn (s, worstCaseFile(), parallel, false); }
static void GenerateWorstCaseBeam (benchmark::State& s) { generateOn (s, worstCaseFile(), beam, false); }
static void GenerateWorstCaseBeamContinue (benchmark::State& s) { generateOn (s, worstCaseFile(), beamContinue, false); }
static void GenerateShippedParallel (benchmark::State& s) { generateOn (s, largestShippedModel(), parallel, true); }
static void GenerateShippedBeam (benchmark::State& s) { generateOn (s, largestShippedModel(), beam, true); }

// Every variation at temperature 1, the parameter's default: no powers to take.
static void generateAtTemperatureOne (benchmark::State& state, const juce::File& model)
{
    Folder folder;
    model.copyFileTo (folder.folder.getChildFile ("0.bin"));
    KadenzoAudioProcessor p (folder.folder, juce::PluginHostType::UnknownHost);
    set (p, "temperaturemin", 1.0f);
    set (p, "temperaturemax", 1.0f);
    for (auto _ : state)
        p.generate (-1, false);
}

static void GenerateRealisticParallel (benchmark::State& s) { generateAtTemperatureOne (s, realisticFile()); }
static void GenerateShippedParallelTemperatureOne (benchmark::State& s) { generateAtTemperatureOne (s, largestShippedModel()); }
BENCHMARK (GenerateRealisticParallel)->Unit (benchmark::kMicrosecond);
BENCHMARK (GenerateShippedParallelTemperatureOne)->Unit (benchmark::kMicrosecond);

// Loading is one read of the whole file into memory.
static void LoadLargestShippedModel (benchmark::State& state)
{
    const auto file = largestShippedModel();
    for (auto _ : state)
    {
        juce::MemoryBlock block;
        benchmark::DoNotOptimize (file.loadFileAsData (block));
    }
    state.SetLabel (std::to_string (file.getSize()) + " bytes");
}

BENCHMARK (GenerateWorstCaseParallel)->Unit (benchmark::kMicrosecond);
BENCHMARK (GenerateWorstCaseBeam)->Unit (benchmark::kMicrosecond);
BENCHMARK (GenerateWorstCaseBeamContinue)->Unit (benchmark::kMicrosecond);
BENCHMARK (GenerateShippedParallel)->Unit (benchmark::kMicrosecond);
BENCHMARK (GenerateShippedBeam)->Unit (benchmark::kMicrosecond);
BENCHMARK (LoadLargestShippedModel)->Unit (benchmark::kMillisecond);
